#pragma once

// A generated script that may be too long to keep in memory: its items are
// held as lines while they are few, and go to a temporary file (UTF-8, each
// item followed by CR LF, as quorvane-script writes) once they pass a size.
// The file belongs to a TScriptSpool, which removes it when it goes unless
// the script was moved to a file of the user's.

#include "ScriptBuilder.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

class TScript;

class TScriptSpool
{
public:
    TScriptSpool(QString Path, qint64 Bytes, qint64 Lines);
    ~TScriptSpool();
    TScriptSpool(const TScriptSpool &) = delete;
    TScriptSpool &operator=(const TScriptSpool &) = delete;

    // Empty once moved away.
    [[nodiscard]] const QString &Path() const { return m_path; }
    [[nodiscard]] qint64 Bytes() const { return m_bytes; }
    // Lines of the text (an item with CR LF inside counts each of them).
    [[nodiscard]] qint64 Lines() const { return m_lines; }

    // The text as the editor's lines. Throws EQuorvaneException when the
    // file cannot be read.
    [[nodiscard]] QStringList ReadLines() const;
    // Gives the file the name FileName: a rename, or on another file system
    // a copy beside FileName under a name of its own renamed once whole, so
    // that FileName never holds part of a script. The spool is empty
    // afterwards. Throws EQuorvaneException (FileName untouched) on failure.
    void MoveTo(const QString &FileName);

private:
    QString m_path;
    qint64 m_bytes = 0;
    qint64 m_lines = 0;
};

// The generator's sink for the workbench: lines in memory up to MemoryChars
// characters, then a temporary file in Folder. Throws EQuorvaneException
// when the file cannot be made or written. A spool that is never finished
// removes its file.
class TScriptSpoolSink : public TScriptLineSink
{
public:
    static constexpr qint64 DefaultMemoryChars = qint64(8) * 1024 * 1024;

    explicit TScriptSpoolSink(qint64 MemoryChars = DefaultMemoryChars, QString Folder = QString());
    ~TScriptSpoolSink() override;
    TScriptSpoolSink(const TScriptSpoolSink &) = delete;
    TScriptSpoolSink &operator=(const TScriptSpoolSink &) = delete;

    void AddLine(const QString &Item) override;
    void AddUtf8Line(QByteArrayView Item) override;
    // After a complete generation: the script gets the lines, or the spool
    // with its file and no lines.
    void Finish(TScript &Script);
    [[nodiscard]] bool Spooled() const { return m_file != nullptr; }

private:
    void Spool();

    qint64 m_memoryChars;
    QString m_folder;
    QStringList m_lines;
    qint64 m_chars = 0;
    qint64 m_lineCount = 0;
    QString m_path;
    std::FILE *m_file = nullptr;
    std::unique_ptr<TScriptFileSink> m_sink;
};
