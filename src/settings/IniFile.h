#pragma once

#include <QString>
#include <QStringList>

#include "TextFile.h"

// A small ini reader/writer with the behaviour users know from Windows
// profile files: section and entry names match without regard to letter
// case, writing an existing entry replaces its line in place, a new entry
// goes to the end of its section, a new section to the end of the file, and
// every other line (comments, blank lines, odd text) is kept as it was.
//
// The text itself is read by the rules of TextFile.h (an 8-bit file in
// windows-1251) and written in UTF-8, which holds every value.
//
// Values are trimmed on reading and lose one pair of enclosing quotes, as the
// profile services do. So that such values still come back unchanged, the
// writer quotes a value that has blanks at either end or is itself enclosed
// in quotes. Line breaks cannot live inside an entry: the writer turns each
// into a blank, so a value can never inject lines of its own.
class TIniFile
{
public:
    // Reads the file if it exists; a missing file is an empty one.
    // Throws ETextFileError when the file exists but cannot be read.
    explicit TIniFile(QString FileName);

    [[nodiscard]] const QString &FileName() const { return m_fileName; }

    // True and the value when the section holds the entry.
    [[nodiscard]] bool ReadString(const QString &Section, const QString &Name, QString *Value) const;
    void WriteString(const QString &Section, const QString &Name, const QString &Value);

    // Writes the lines back (atomically: the old file stays whole when
    // writing fails). Throws ETextFileError on failure.
    void UpdateFile() const;

    [[nodiscard]] const QStringList &Lines() const { return m_lines; }

private:
    struct Entry
    {
        int line = -1;
        QString value;
    };

    [[nodiscard]] Entry findEntry(const QString &Section, const QString &Name) const;
    [[nodiscard]] int findSectionEnd(const QString &Section) const;

    QString m_fileName;
    QStringList m_lines;
};
