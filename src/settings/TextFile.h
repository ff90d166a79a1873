#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "QuorvaneException.h"

// The application's text files (settings, history, scripts): read in the
// locale's encoding unless a UTF-8 or UTF-16 byte-order mark says otherwise;
// written in the locale's encoding without a byte-order mark, every line,
// the last included, ended by CR LF. On reading, CR LF, a lone LF and a lone
// CR each end a line, and a last line without a line end counts.

class ETextFileError : public EQuorvaneException
{
public:
    using EQuorvaneException::EQuorvaneException;
};

[[nodiscard]] QString DecodeLocalText(const QByteArray &bytes);
[[nodiscard]] QStringList SplitTextLines(const QString &text);
[[nodiscard]] QByteArray EncodeTextLines(const QStringList &lines);

// Throws ETextFileError when the file cannot be read.
[[nodiscard]] QStringList ReadTextFileLines(const QString &fileName);
// Replaces the file as a whole: a failed write leaves the old file intact.
// Throws ETextFileError when the file cannot be written.
void WriteTextFileLines(const QString &fileName, const QStringList &lines);
