#include "ScriptSpool.h"

#include "Domain.h"
#include "QuorvaneException.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

namespace {

// Lines an item takes in the text: one, and one more per line break in it.
qint64 linesOf(const QString &item)
{
    qint64 n = 1;
    const QChar *data = item.constData();
    for (qsizetype i = 0, size = item.size(); i < size; ++i)
        if (data[i] == u'\n' || (data[i] == u'\r' && (i + 1 == size || data[i + 1] != u'\n')))
            ++n;
    return n;
}

EQuorvaneException fileError(const QString &what, const QString &path)
{
    return EQuorvaneException(QStringLiteral("%1 «%2».").arg(what, QDir::toNativeSeparators(path)));
}

} // namespace

TScriptSpool::TScriptSpool(QString Path, qint64 Bytes, qint64 Lines)
    : m_path(std::move(Path))
    , m_bytes(Bytes)
    , m_lines(Lines)
{
}

TScriptSpool::~TScriptSpool()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

QStringList TScriptSpool::ReadLines() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(QStringLiteral("Не удалось прочитать файл скрипта"), m_path);
    // The text as the generator wrote it: items followed by CR LF; a bare
    // CR or LF inside a value ends a line of the editor too.
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = QString::fromUtf8(file.readAll()).split(breaks);
    // The last CR LF ends the last line; it opens none.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void TScriptSpool::MoveTo(const QString &FileName)
{
    if (m_path.isEmpty())
        throw EQuorvaneException(QStringLiteral("Скрипт уже сохранён."));
    const QByteArray from = QFile::encodeName(m_path);
    const QByteArray to = QFile::encodeName(FileName);
    if (std::rename(from.constData(), to.constData()) == 0) {
        m_path.clear();
        return;
    }
    // Another file system: a whole copy beside the target first.
    const QFileInfo target(FileName);
    QTemporaryFile copy(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(target.fileName())));
    QFile source(m_path);
    if (!copy.open() || !source.open(QIODevice::ReadOnly))
        throw fileError(QStringLiteral("Не удалось записать файл"), FileName);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0)
            throw fileError(QStringLiteral("Не удалось прочитать файл скрипта"), m_path);
        if (n == 0)
            break;
        if (copy.write(buffer.constData(), n) != n)
            throw fileError(QStringLiteral("Не удалось записать файл"), FileName);
    }
    if (!copy.flush())
        throw fileError(QStringLiteral("Не удалось записать файл"), FileName);
    copy.close();
    if (std::rename(QFile::encodeName(copy.fileName()).constData(), to.constData()) != 0)
        throw fileError(QStringLiteral("Не удалось записать файл"), FileName);
    copy.setAutoRemove(false);
    QFile::remove(m_path);
    m_path.clear();
}

TScriptSpoolSink::TScriptSpoolSink(qint64 MemoryChars, QString Folder)
    : m_memoryChars(MemoryChars)
    , m_folder(Folder.isEmpty() ? QDir::tempPath() : std::move(Folder))
{
}

TScriptSpoolSink::~TScriptSpoolSink()
{
    m_sink.reset();
    if (m_file)
        std::fclose(m_file);
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

void TScriptSpoolSink::AddLine(const QString &Item)
{
    m_lineCount += linesOf(Item);
    if (m_file) {
        m_sink->AddLine(Item);
        return;
    }
    m_lines.append(Item);
    m_chars += Item.size() + 2;
    if (m_chars > m_memoryChars)
        Spool();
}

void TScriptSpoolSink::AddUtf8Line(QByteArrayView Item)
{
    if (!m_file) {
        AddLine(QString::fromUtf8(Item));
        return;
    }
    qint64 lines = 1;
    for (qsizetype i = 0, n = Item.size(); i < n; ++i)
        if (Item[i] == '\n' || (Item[i] == '\r' && (i + 1 == n || Item[i + 1] != '\n')))
            ++lines;
    m_lineCount += lines;
    m_sink->AddUtf8Line(Item);
}

void TScriptSpoolSink::Spool()
{
    QTemporaryFile made(QDir(m_folder).filePath(QStringLiteral("quorvane-script-XXXXXX.sql")));
    if (!made.open())
        throw fileError(QStringLiteral("Не удалось создать временный файл скрипта в папке"), m_folder);
    made.setAutoRemove(false);
    m_path = made.fileName();
    made.close();
    m_file = std::fopen(QFile::encodeName(m_path).constData(), "wb");
    if (!m_file)
        throw fileError(QStringLiteral("Не удалось создать временный файл скрипта"), m_path);
    m_sink = std::make_unique<TScriptFileSink>(m_file);
    for (const QString &line : std::as_const(m_lines))
        m_sink->AddLine(line);
    m_lines = QStringList();
}

void TScriptSpoolSink::Finish(TScript &Script)
{
    if (!m_file) {
        Script.Lines = std::move(m_lines);
        m_lines = QStringList();
        return;
    }
    m_sink->Flush();
    const qint64 bytes = m_sink->BytesWritten();
    m_sink.reset();
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!closed)
        throw fileError(QStringLiteral("Не удалось записать временный файл скрипта"), m_path);
    Script.Lines.clear();
    Script.Spool = std::make_shared<TScriptSpool>(m_path, bytes, m_lineCount);
    m_path.clear();
}
