#include "IniFile.h"

#include <QFileInfo>

namespace {

bool isSectionLine(const QString &line, QString *name)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return false;
    const qsizetype close = t.indexOf(u']');
    if (name)
        *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
    return true;
}

bool isEntryLine(const QString &line, QString *name, QString *value)
{
    const QString t = line.trimmed();
    if (t.startsWith(u';'))
        return false;
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0)
        return false;
    if (name)
        *name = t.left(eq).trimmed();
    if (value) {
        QString v = t.mid(eq + 1).trimmed();
        if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        *value = v;
    }
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The text to write so that reading gives back exactly Value.
QString storedValue(QString value)
{
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front();
    if (quoted || value != value.trimmed())
        return u'"' + value + u'"';
    return value;
}

} // namespace

TIniFile::TIniFile(QString FileName) : m_fileName(std::move(FileName))
{
    if (QFileInfo::exists(m_fileName))
        m_lines = ReadTextFileLines(m_fileName);
}

TIniFile::Entry TIniFile::findEntry(const QString &Section, const QString &Name) const
{
    bool inSection = false;
    QString name;
    QString value;
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString &line = m_lines.at(i);
        if (isSectionLine(line, &name)) {
            inSection = sameName(name, Section);
        } else if (inSection && isEntryLine(line, &name, &value) && sameName(name, Name)) {
            return {i, value};
        }
    }
    return {};
}

// Index after the last non-blank line of the first section of that name;
// -1 when the file has no such section.
int TIniFile::findSectionEnd(const QString &Section) const
{
    QString name;
    int end = -1;
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString &line = m_lines.at(i);
        if (isSectionLine(line, &name)) {
            if (end >= 0)
                return end;
            if (sameName(name, Section))
                end = i + 1;
        } else if (end >= 0 && !line.trimmed().isEmpty()) {
            end = i + 1;
        }
    }
    return end;
}

bool TIniFile::ReadString(const QString &Section, const QString &Name, QString *Value) const
{
    const Entry e = findEntry(Section, Name);
    if (e.line < 0)
        return false;
    if (Value)
        *Value = e.value;
    return true;
}

void TIniFile::WriteString(const QString &Section, const QString &Name, const QString &Value)
{
    const QString text = storedValue(Value);
    const Entry e = findEntry(Section, Name);
    if (e.line >= 0) {
        // Keep the entry's name as the file spells it.
        QString name;
        isEntryLine(m_lines.at(e.line), &name, nullptr);
        m_lines[e.line] = name + u'=' + text;
        return;
    }
    const int end = findSectionEnd(Section);
    if (end >= 0) {
        m_lines.insert(end, Name + u'=' + text);
        return;
    }
    m_lines.append(u'[' + Section + u']');
    m_lines.append(Name + u'=' + text);
}

void TIniFile::UpdateFile() const
{
    WriteTextFileLines(m_fileName, m_lines);
}
