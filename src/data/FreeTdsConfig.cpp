#include "FreeTdsConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char *const systemConfigFile = "/etc/freetds/freetds.conf";

struct Section
{
    QString name;
    QString host;
    QString port;
    QString instance;
};

} // namespace

QString TFreeTdsEntry::Comment() const
{
    if (Port != 0)
        return QStringLiteral("%1:%2").arg(Host).arg(Port);
    if (!Instance.isEmpty())
        return Host + QLatin1Char('\\') + Instance;
    return QStringLiteral("%1:1433").arg(Host);
}

QStringList FreeTdsConfigFiles()
{
    QStringList candidates;
    const QString fromEnvironment = qEnvironmentVariable("FREETDSCONF");
    if (!fromEnvironment.isEmpty())
        candidates << fromEnvironment;
    candidates << QDir::homePath() + QStringLiteral("/.freetds.conf");
    candidates << QString::fromLatin1(systemConfigFile);
    QStringList files;
    for (const QString &candidate : candidates)
        if (QFileInfo(candidate).isFile() && !files.contains(candidate))
            files << candidate;
    return files;
}

QList<TFreeTdsEntry> ParseFreeTdsConfig(const QString &text)
{
    QList<Section> sections;
    Section global;
    Section *current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            if (name.compare(QLatin1String("global"), Qt::CaseInsensitive) == 0) {
                current = &global;
            } else if (name.isEmpty()) {
                current = nullptr;
            } else {
                sections.append(Section{name, {}, {}, {}});
                current = &sections.last();
            }
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!current || equals < 0)
            continue;
        // Key words may be written with blanks or underscores, in any case.
        const QString key = line.left(equals).simplified().toLower().replace(QLatin1Char('_'), QLatin1Char(' '));
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("host"))
            current->host = value;
        else if (key == QLatin1String("port"))
            current->port = value;
        else if (key == QLatin1String("instance"))
            current->instance = value;
    }

    QList<TFreeTdsEntry> entries;
    for (const Section &section : sections) {
        TFreeTdsEntry entry;
        entry.Name = section.name;
        entry.Host = section.host.isEmpty() ? section.name : section.host;
        entry.Instance = section.instance;
        const QString port = section.port.isEmpty() && section.instance.isEmpty() ? global.port : section.port;
        entry.Port = port.toInt();
        if (entry.Port < 0 || entry.Port > 65535)
            entry.Port = 0;
        entries << entry;
    }
    return entries;
}

QList<TFreeTdsEntry> ReadFreeTdsEntries(const QStringList &files)
{
    QList<TFreeTdsEntry> entries;
    for (const QString &fileName : files) {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        const QList<TFreeTdsEntry> parsed = ParseFreeTdsConfig(QString::fromUtf8(file.readAll()));
        for (const TFreeTdsEntry &entry : parsed) {
            bool known = false;
            for (const TFreeTdsEntry &earlier : std::as_const(entries))
                known = known || earlier.Name.compare(entry.Name, Qt::CaseInsensitive) == 0;
            if (!known)
                entries << entry;
        }
    }
    return entries;
}

QStringList FreeTdsEntryNames()
{
    QStringList names;
    for (const TFreeTdsEntry &entry : ReadFreeTdsEntries(FreeTdsConfigFiles()))
        names << entry.Name;
    return names;
}
