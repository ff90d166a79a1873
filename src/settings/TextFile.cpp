#include "TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringEncoder>

QString DecodeLocalText(const QByteArray &bytes)
{
    // Only a byte-order mark names another encoding; plain 8-bit text is the
    // locale's. The decoder drops the mark itself.
    const auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::System));
    return decoder.decode(bytes);
}

QStringList SplitTextLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QByteArray EncodeTextLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines) {
        text += line;
        text += u"\r\n";
    }
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QStringList ReadTextFileLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ETextFileError(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ETextFileError(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
    return SplitTextLines(DecodeLocalText(bytes));
}

void WriteTextFileLines(const QString &fileName, const QStringList &lines)
{
    QSaveFile file(fileName);
    const QByteArray bytes = EncodeTextLines(lines);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ETextFileError(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
}
