#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The 8-bit code pages script and history files may be written in, as
// tables of our own: Qt reaches windows-1251 only through ICU, which not
// every build has, and a table lets every byte survive a round trip.
//
// A byte the code page leaves undefined (0x98 in windows-1251) stands for
// the C1 control character of the same number, as Windows reads it, so any
// file decodes and encodes back to the very same bytes.

// "windows-1251", "windows-1252", "koi8-r", "ibm866".
[[nodiscard]] QStringList SupportedCodePages();
// The canonical name of a supported code page ("CP1251" -> "windows-1251");
// empty when the name is not supported.
[[nodiscard]] QString CanonicalCodePage(const QString &Name);

// Decodes bytes in the code page; every byte has a character. The name must
// be a supported one.
[[nodiscard]] QString DecodeCodePage(const QByteArray &Bytes, const QString &CodePage);
// Encodes text in the code page. Characters the code page cannot hold are
// collected, each once, in *Unencodable (when given) and written as '?';
// the result is true when there were none.
bool EncodeCodePage(const QString &Text, const QString &CodePage, QByteArray *Bytes, QString *Unencodable = nullptr);
