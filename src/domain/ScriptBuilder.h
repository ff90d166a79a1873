#pragma once

#include "GenerationResult.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <cstdio>
#include <functional>

class IParseSettings;
class TRowSet;
class TScriptPlan;
class TTable;

// Takes the data script one Lines item at a time. An item may itself hold
// CR LF (the INSERT and UPDATE statements do).
class TScriptLineSink
{
public:
    virtual ~TScriptLineSink() = default;
    virtual void AddLine(const QString &Item) = 0;
    // The same item in UTF-8 (the rows come so); a sink that keeps bytes
    // takes them as they are.
    virtual void AddUtf8Line(QByteArrayView Item) { AddLine(QString::fromUtf8(Item)); }
};

// The UTF-16 units (the server's characters) of UTF-8 text.
[[nodiscard]] qint64 Utf16Size(QByteArrayView Utf8);

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
    void AddUtf8Line(QByteArrayView Item) override;
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
    // A batched script ends a batch early rather than let it pass this many
    // characters (UTF-16 units, as the server counts them). The server takes
    // 65,536 packets: 134,217,728 characters at the default 4 KB packet.
    qint64 BatchChars = DefaultBatchChars;
    // An automatically batched script stays one batch up to this many
    // characters; its rows are held back (at most this much text) until
    // it is known whether it does.
    qint64 AutomaticBatchChars = DefaultAutomaticBatchChars;

    static constexpr qint64 DefaultBatchChars = qint64(32) * 1024 * 1024;
    static constexpr qint64 DefaultAutomaticBatchChars = qint64(8) * 1024 * 1024;
};

// Writes the data script for Table's used columns and RowSet's rows into
// Sink and says how it ended. Settings' batch rows choose between one batch
// (a table variable) and a batched script: a temporary table created in the
// first batch, filled in GO-separated batches, merged into the target and
// dropped in the last batch. How it ended:
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

// The statements that change the target once its rows are in Source (the
// table variable or the temporary table): the DELETE (when asked for; with
// a row filter only the rows that meet it), and the writes: the UPDATE of
// the matched rows and the INSERT of the rest (or, without keys but with
// the delete, every row), inside SET IDENTITY_INSERT when the identity
// column is carried, then the identity reseeded.
struct TTargetStatements
{
    QStringList Delete;
    QStringList Writes;
};
[[nodiscard]] TTargetStatements TargetStatements(const TScriptPlan &Plan, const QString &Source, bool DeleteTable,
                                                 const QString &RowFilter, bool OnlyChanged);

// The row set's field that carries the column Name: the exact name, else
// the only one equal to it ignoring case; -1 when there is none.
[[nodiscard]] int RowFieldIndex(const TRowSet &RowSet, const QString &Name);

// Percent of the progress report of row K (from 0) out of N.
int RowPercent(qint64 K, qint64 N);
