#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "QuorvaneException.h"

// The application's text files (scripts, history, settings).
//
// Reading: a UTF-8 or UTF-16 byte-order mark names the encoding; else the
// bytes are UTF-8 when they are valid UTF-8; else they are in the 8-bit code
// page the caller names (windows-1251 unless the settings say otherwise).
// CR LF, a lone LF and a lone CR each end a line, and a last line without a
// line end counts.
//
// Writing: in the format the file was read in (its mark included), every
// line, the last included, ended by CR LF; a new file is UTF-8 without a
// mark. Text the format cannot hold is never replaced: encoding reports the
// characters and writing throws EUnencodableText, so the caller can ask.

class ETextFileError : public EQuorvaneException
{
public:
    using EQuorvaneException::EQuorvaneException;
};

// How a file's bytes stand for its characters.
struct TTextFormat
{
    enum class TKind { Utf8, Utf16LE, Utf16BE, CodePage };
    TKind Kind = TKind::Utf8;
    bool ByteOrderMark = false;
    QString CodePage; // only for TKind::CodePage: a name CodePages.h supports

    // "UTF-8", "UTF-8 с BOM", "UTF-16LE", "windows-1251".
    [[nodiscard]] QString Name() const;
    [[nodiscard]] bool IsUnicode() const { return Kind != TKind::CodePage; }
    friend bool operator==(const TTextFormat &, const TTextFormat &) = default;

    [[nodiscard]] static TTextFormat Utf8() { return {}; }
    [[nodiscard]] static TTextFormat InCodePage(const QString &Name);
};

// The code page of 8-bit files when nothing else is known.
inline constexpr const char *DefaultCodePage = "windows-1251";

class EUnencodableText : public ETextFileError
{
public:
    EUnencodableText(const QString &FileName, TTextFormat Format, QString Characters);
    [[nodiscard]] const TTextFormat &Format() const { return m_format; }
    // The characters the format cannot hold, each once.
    [[nodiscard]] const QString &Characters() const { return m_characters; }

private:
    TTextFormat m_format;
    QString m_characters;
};

// The format of bytes read from a file, by the rules above. An unsupported
// code page name falls back to DefaultCodePage.
[[nodiscard]] TTextFormat DetectTextFormat(const QByteArray &Bytes, const QString &CodePage = QString());
// Bytes in a format as text; a byte-order mark is dropped.
[[nodiscard]] QString DecodeText(const QByteArray &Bytes, const TTextFormat &Format);
// Text in a format, with its byte-order mark when it has one. False when the
// format cannot hold every character; *Unencodable then lists them.
bool EncodeText(const QString &Text, const TTextFormat &Format, QByteArray *Bytes, QString *Unencodable = nullptr);

[[nodiscard]] QStringList SplitTextLines(const QString &text);
// Every line followed by CR LF.
[[nodiscard]] QString JoinTextLines(const QStringList &lines);
// The lines as a new file holds them: UTF-8, CR LF.
[[nodiscard]] QByteArray EncodeTextLines(const QStringList &lines);

struct TTextFileContent
{
    QStringList Lines;
    TTextFormat Format;
};

// Throws ETextFileError when the file cannot be read.
[[nodiscard]] TTextFileContent ReadTextFile(const QString &fileName, const QString &codePage = QString());
[[nodiscard]] QStringList ReadTextFileLines(const QString &fileName);
// Replaces the file as a whole: a failed write leaves the old file intact.
// Throws EUnencodableText (and writes nothing) when the format cannot hold
// the text, ETextFileError when the file cannot be written.
void WriteTextFile(const QString &fileName, const QStringList &lines, const TTextFormat &format);
// WriteTextFile in UTF-8.
void WriteTextFileLines(const QString &fileName, const QStringList &lines);
