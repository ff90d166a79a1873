#include "TextFile.h"

#include "CodePages.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

const QByteArray utf8Mark("\xEF\xBB\xBF", 3);
const QByteArray utf16LEMark("\xFF\xFE", 2);
const QByteArray utf16BEMark("\xFE\xFF", 2);

QStringConverter::Encoding QtEncoding(TTextFormat::TKind Kind)
{
    switch (Kind) {
    case TTextFormat::TKind::Utf16LE:
        return QStringConverter::Utf16LE;
    case TTextFormat::TKind::Utf16BE:
        return QStringConverter::Utf16BE;
    default:
        return QStringConverter::Utf8;
    }
}

QByteArray MarkOf(TTextFormat::TKind Kind)
{
    switch (Kind) {
    case TTextFormat::TKind::Utf8:
        return utf8Mark;
    case TTextFormat::TKind::Utf16LE:
        return utf16LEMark;
    case TTextFormat::TKind::Utf16BE:
        return utf16BEMark;
    case TTextFormat::TKind::CodePage:
        break;
    }
    return {};
}

bool IsValidUtf8(const QByteArray &Bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // decode() converts only when its result becomes a QString.
    const QString text = decoder.decode(Bytes);
    return !decoder.hasError();
}

// A lone surrogate has no UTF encoding either.
void CollectLoneSurrogates(const QString &Text, QString *Unencodable)
{
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const QChar c = Text.at(i);
        if (c.isHighSurrogate() && i + 1 < Text.size() && Text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate() && Unencodable && !Unencodable->contains(c))
            *Unencodable += c;
    }
}

} // namespace

QString TTextFormat::Name() const
{
    switch (Kind) {
    case TKind::Utf8:
        return ByteOrderMark ? QStringLiteral("UTF-8 с BOM") : QStringLiteral("UTF-8");
    case TKind::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case TKind::Utf16BE:
        return QStringLiteral("UTF-16BE");
    case TKind::CodePage:
        break;
    }
    return CodePage;
}

TTextFormat TTextFormat::InCodePage(const QString &Name)
{
    TTextFormat format;
    format.Kind = TKind::CodePage;
    format.CodePage = CanonicalCodePage(Name);
    if (format.CodePage.isEmpty())
        format.CodePage = QString::fromLatin1(DefaultCodePage);
    return format;
}

EUnencodableText::EUnencodableText(const QString &FileName, TTextFormat Format, QString Characters)
    : ETextFileError(QStringLiteral("В кодировке %1 нет символов «%2»; файл «%3» не записан.")
                         .arg(Format.Name(), Characters, FileName))
    , m_format(std::move(Format))
    , m_characters(std::move(Characters))
{
}

TTextFormat DetectTextFormat(const QByteArray &Bytes, const QString &CodePage)
{
    TTextFormat format;
    if (Bytes.startsWith(utf8Mark)) {
        format.ByteOrderMark = true;
        return format;
    }
    if (Bytes.startsWith(utf16LEMark) || Bytes.startsWith(utf16BEMark)) {
        format.Kind = Bytes.startsWith(utf16LEMark) ? TTextFormat::TKind::Utf16LE : TTextFormat::TKind::Utf16BE;
        format.ByteOrderMark = true;
        return format;
    }
    if (IsValidUtf8(Bytes))
        return format;
    return TTextFormat::InCodePage(CodePage);
}

QString DecodeText(const QByteArray &Bytes, const TTextFormat &Format)
{
    if (Format.Kind == TTextFormat::TKind::CodePage)
        return DecodeCodePage(Bytes, Format.CodePage);
    QByteArrayView body(Bytes);
    const QByteArray mark = MarkOf(Format.Kind);
    if (Format.ByteOrderMark && body.startsWith(mark))
        body = body.sliced(mark.size());
    QStringDecoder decoder(QtEncoding(Format.Kind), QStringConverter::Flag::Stateless);
    return decoder.decode(body);
}

bool EncodeText(const QString &Text, const TTextFormat &Format, QByteArray *Bytes, QString *Unencodable)
{
    if (Format.Kind == TTextFormat::TKind::CodePage)
        return EncodeCodePage(Text, Format.CodePage, Bytes, Unencodable);
    QString lone;
    CollectLoneSurrogates(Text, &lone);
    if (!lone.isEmpty()) {
        if (Unencodable)
            *Unencodable = lone;
        return false;
    }
    QStringEncoder encoder(QtEncoding(Format.Kind), QStringConverter::Flag::Stateless);
    QByteArray bytes = Format.ByteOrderMark ? MarkOf(Format.Kind) : QByteArray();
    bytes += encoder.encode(Text);
    if (Bytes)
        *Bytes = std::move(bytes);
    return true;
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

QString JoinTextLines(const QStringList &lines)
{
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += u"\r\n";
    }
    return text;
}

QByteArray EncodeTextLines(const QStringList &lines)
{
    QByteArray bytes;
    EncodeText(JoinTextLines(lines), TTextFormat::Utf8(), &bytes);
    return bytes;
}

TTextFileContent ReadTextFile(const QString &fileName, const QString &codePage)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ETextFileError(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ETextFileError(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
    TTextFileContent content;
    content.Format = DetectTextFormat(bytes, codePage);
    content.Lines = SplitTextLines(DecodeText(bytes, content.Format));
    return content;
}

QStringList ReadTextFileLines(const QString &fileName)
{
    return ReadTextFile(fileName).Lines;
}

void WriteTextFile(const QString &fileName, const QStringList &lines, const TTextFormat &format)
{
    QByteArray bytes;
    QString unencodable;
    if (!EncodeText(JoinTextLines(lines), format, &bytes, &unencodable))
        throw EUnencodableText(fileName, format, unencodable);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ETextFileError(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
}

void WriteTextFileLines(const QString &fileName, const QStringList &lines)
{
    WriteTextFile(fileName, lines, TTextFormat::Utf8());
}
