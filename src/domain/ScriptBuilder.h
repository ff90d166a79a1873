#pragma once

#include "GenerationResult.h"

#include <QDateTime>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <cstdio>
#include <functional>

class IParseSettings;
class TRowSet;
class TTable;

// Takes the data script one Lines item at a time. An item may itself hold
// CR LF (the INSERT and UPDATE statements do).
class TScriptLineSink
{
public:
    virtual ~TScriptLineSink() = default;
    virtual void AddLine(const QString &Item) = 0;
};

// Collects the items into a string list (a TScript's Lines).
class TScriptLinesCollector : public TScriptLineSink
{
public:
    explicit TScriptLinesCollector(QStringList &Lines) : m_lines(Lines) {}
    void AddLine(const QString &Item) override { m_lines.append(Item); }

private:
    QStringList &m_lines;
};

// Streams the items to a file as UTF-8, each followed by CR LF, through
// one reused buffer. Throws EQuorvaneException when the file refuses data.
class TScriptFileSink : public TScriptLineSink
{
public:
    explicit TScriptFileSink(std::FILE *File);
    ~TScriptFileSink() override;
    TScriptFileSink(const TScriptFileSink &) = delete;
    TScriptFileSink &operator=(const TScriptFileSink &) = delete;

    void AddLine(const QString &Item) override;
    // Writes what is buffered; the destructor does it too, but silently.
    void Flush();
    [[nodiscard]] qint64 BytesWritten() const { return m_written; }

private:
    std::FILE *m_file;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    QByteArray m_buffer;
    qsizetype m_used = 0;
    qint64 m_written = 0;
};

// What the generator needs besides the table, its rows and the settings.
struct TScriptBuildControl
{
    // The creation time written into the header.
    QDateTime Now;
    // Receives the progress reports that are passed on: every report of
    // the header and the end; a row's report only when its percent differs
    // from the last one passed on, or it is the first or the last row.
    std::function<void(int Percent, const QString &Text)> Progress;
    // Polled once per row, after its report; true breaks the generation off.
    std::function<bool()> StopRequested;
};

// Writes the data script for Table's used columns and RowSet's rows into
// Sink and says how it ended:
// - complete: the sink holds the whole script;
// - broken off (StopRequested said so, also when a read then failed): the
//   sink holds a beginning that must be thrown away;
// - failed, with the reason: a read or a write failed (the sink holds a
//   beginning to throw away), or the table as marked allows no script (a
//   key the server cannot match, nothing to carry, a carried column missing
//   from the rows: then nothing was written).
// Each carried column's value is taken from the row set field of its name
// (the exact name, else the one equal to it ignoring case); the row set
// stands on its first row. Settings may be null (no DELETE). Only what the
// Progress and StopRequested callbacks throw goes through.
[[nodiscard]] TGenerationResult BuildScript(const TTable &Table, TRowSet &RowSet, const IParseSettings *Settings,
                                            TScriptLineSink &Sink, const TScriptBuildControl &Control);

// Percent of the progress report of row K (from 0) out of N.
int RowPercent(qint64 K, qint64 N);
