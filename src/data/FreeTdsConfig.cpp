#include "FreeTdsConfig.h"

#include "DataErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

namespace {

const char *const systemConfigFile = "/etc/freetds/freetds.conf";

struct Section
{
    QString name;
    QString host;
    QString port;
    QString instance;
};

// The program's own configuration (see the header). The mutex guards it
// and the one change of FREETDSCONF.
struct PrivateConfig
{
    std::mutex mutex;
    std::unique_ptr<QTemporaryDir> dir;
    QString userFile;          // FREETDSCONF as it was before
    QStringList keys;          // what each section stands for
    QStringList sections;      // their text
};

PrivateConfig &privateConfig()
{
    static PrivateConfig config;
    return config;
}

QString userConfigFile()
{
    PrivateConfig &config = privateConfig();
    std::lock_guard lock(config.mutex);
    return config.dir ? config.userFile : qEnvironmentVariable("FREETDSCONF");
}

// A value goes into the file up to the end of its line; FreeTDS cuts a
// value at ';' or '#' nowhere, but a line break would start a new setting.
QString confValue(const QString &value)
{
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) || value.contains(QChar(0))
        || value != value.trimmed())
        throw EDataAccessError(
            QStringLiteral("Значение «%1» нельзя записать в настройки FreeTDS.").arg(value.simplified()));
    return value;
}

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
    const QString fromEnvironment = userConfigFile();
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

QString FreeTdsCheckingSection(const QString &Host, int Port, const QString &Instance, const QString &CaFile)
{
    QString body = QStringLiteral("\thost = %1\n").arg(confValue(Host));
    if (Port != 0)
        body += QStringLiteral("\tport = %1\n").arg(Port);
    else if (!Instance.isEmpty())
        body += QStringLiteral("\tinstance = %1\n").arg(confValue(Instance));
    body += QStringLiteral("\tencryption = require\n");
    // "system": GnuTLS's store of the system's CA certificates.
    body += QStringLiteral("\tca file = %1\n").arg(CaFile.isEmpty() ? QStringLiteral("system") : confValue(CaFile));
    body += QStringLiteral("\tcheck certificate hostname = yes\n");

    PrivateConfig &config = privateConfig();
    std::lock_guard lock(config.mutex);
    const qsizetype known = config.keys.indexOf(body);
    const QString name = QStringLiteral("quorvane-checked-%1").arg(known >= 0 ? known + 1 : config.keys.size() + 1);
    if (known >= 0)
        return name;

    if (!config.dir) {
        auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quorvane-freetds-XXXXXX"));
        if (!dir->isValid())
            throw EDataAccessError(QStringLiteral("Не удалось создать временную папку для настроек FreeTDS: %1.")
                                       .arg(dir->errorString()));
        config.userFile = qEnvironmentVariable("FREETDSCONF");
        config.dir = std::move(dir);
    }
    QByteArray text;
    if (!config.userFile.isEmpty()) {
        QFile user(config.userFile);
        if (user.open(QIODevice::ReadOnly))
            text = user.readAll() + "\n";
    }
    QStringList sections = config.sections;
    sections << QLatin1Char('[') + name + QStringLiteral("]\n") + body;
    text += sections.join(QLatin1Char('\n')).toUtf8();
    const QString fileName = config.dir->filePath(QStringLiteral("freetds.conf"));
    // Written whole and renamed into place: a connection opening meanwhile
    // reads the old file or the new one, never half of one.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw EDataAccessError(QStringLiteral("Не удалось записать настройки FreeTDS в «%1»: %2.").arg(fileName, file.errorString()));
    config.keys << body;
    config.sections = sections;
    if (qEnvironmentVariable("FREETDSCONF") != fileName)
        qputenv("FREETDSCONF", QFile::encodeName(fileName));
    return name;
}

QString PrivateFreeTdsConfigFile()
{
    PrivateConfig &config = privateConfig();
    std::lock_guard lock(config.mutex);
    return config.dir ? config.dir->filePath(QStringLiteral("freetds.conf")) : QString();
}
