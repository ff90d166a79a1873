#include "ConnectionString.h"

#include "DataErrors.h"
#include "FreeTdsConfig.h"

#include <QFileInfo>

namespace {

bool isLocalAlias(const QString &host)
{
    return host.isEmpty() || host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0
        || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

const QString loopback = QStringLiteral("127.0.0.1");
constexpr int defaultPort = 1433;

} // namespace

TServerTarget MapDataSource(const QString &dataSource, const QStringList &configEntries)
{
    QString text = dataSource.trimmed();
    if (text.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        text = text.mid(4).trimmed();

    TServerTarget target;
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        bool ok = false;
        const int port = text.mid(comma + 1).trimmed().toInt(&ok);
        if (ok && port > 0 && port <= 65535) {
            target.Port = port;
            text = text.left(comma).trimmed();
        }
    }
    const qsizetype backslash = text.indexOf(QLatin1Char('\\'));
    if (backslash >= 0) {
        target.Instance = text.mid(backslash + 1).trimmed();
        text = text.left(backslash).trimmed();
    }

    if (isLocalAlias(text)) {
        target.Host = loopback;
        if (target.Port == 0 && target.Instance.isEmpty())
            target.Port = defaultPort;
        return target;
    }
    if (target.Port == 0 && target.Instance.isEmpty()) {
        for (const QString &entry : configEntries)
            if (entry.compare(text, Qt::CaseInsensitive) == 0) {
                target.ConfigEntry = entry;
                return target;
            }
    }
    target.Host = text;
    return target;
}

QString EncryptionText(TEncryption Encryption)
{
    switch (Encryption) {
    case TEncryption::No:
        return QStringLiteral("no");
    case TEncryption::Require:
        return QStringLiteral("require");
    case TEncryption::Request:
        break;
    }
    return QStringLiteral("request");
}

std::optional<TEncryption> EncryptionFromText(const QString &Text)
{
    const QString text = Text.trimmed();
    for (TEncryption e : {TEncryption::No, TEncryption::Request, TEncryption::Require})
        if (text.compare(EncryptionText(e), Qt::CaseInsensitive) == 0)
            return e;
    return std::nullopt;
}

bool IsFreeTdsDriver(const QString &driver)
{
    const QString name = QFileInfo(driver.trimmed()).fileName();
    return name.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("libtdsodbc"), Qt::CaseInsensitive);
}

QString BraceValue(const QString &propertyName, const QString &value, bool freeTds)
{
    if (value.contains(QLatin1String("};")) || value.contains(QChar(0)))
        throw EDataAccessError(
            QStringLiteral("Значение «%1» содержит символы «};», которые нельзя передать драйверу ODBC.").arg(propertyName));
    QString body = value;
    if (!freeTds)
        body.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + body + QLatin1Char('}');
}

QString BuildConnectionString(const TConnectionProperties &properties, const QStringList &configEntries)
{
    const bool freeTds = IsFreeTdsDriver(properties.Driver);
    // Only FreeTDS reads freetds.conf.
    const TServerTarget target = MapDataSource(properties.DataSource, freeTds ? configEntries : QStringList());
    const TConnectionSecurity &security = properties.Security;

    QStringList parts;
    auto add = [&](const QString &keyword, const QString &property, const QString &value) {
        parts << keyword + QLatin1Char('=') + BraceValue(property, value, freeTds);
    };
    add(QStringLiteral("DRIVER"), QStringLiteral("Driver"), properties.Driver);
    if (freeTds && security.ChecksCertificate()) {
        // The checks live in a section of the program's own configuration.
        TServerTarget reached = target;
        if (!target.ConfigEntry.isEmpty()) {
            for (const TFreeTdsEntry &entry : ReadFreeTdsEntries(FreeTdsConfigFiles()))
                if (entry.Name.compare(target.ConfigEntry, Qt::CaseInsensitive) == 0) {
                    reached.Host = entry.Host;
                    reached.Port = entry.Port;
                    reached.Instance = entry.Instance;
                    break;
                }
        }
        add(QStringLiteral("SERVERNAME"), QStringLiteral("Data Source"),
            FreeTdsCheckingSection(reached.Host, reached.Port, reached.Instance, security.CaFile));
    } else if (!target.ConfigEntry.isEmpty()) {
        add(QStringLiteral("SERVERNAME"), QStringLiteral("Data Source"), target.ConfigEntry);
    } else if (freeTds) {
        QString server = target.Host;
        if (!target.Instance.isEmpty())
            server += QLatin1Char('\\') + target.Instance;
        add(QStringLiteral("SERVER"), QStringLiteral("Data Source"), server);
        if (target.Port != 0)
            add(QStringLiteral("PORT"), QStringLiteral("Data Source"), QString::number(target.Port));
    } else {
        // "tcp:" keeps Microsoft's drivers from trying shared memory or
        // named pipes first.
        QString server = QStringLiteral("tcp:") + target.Host;
        if (!target.Instance.isEmpty())
            server += QLatin1Char('\\') + target.Instance;
        if (target.Port != 0)
            server += QLatin1Char(',') + QString::number(target.Port);
        add(QStringLiteral("SERVER"), QStringLiteral("Data Source"), server);
    }
    // (unixODBC keeps a wide SQL_ATTR_CURRENT_CATALOG set before the
    // connection as a narrow string, cutting it at the first zero byte.)
    if (!properties.InitialCatalog.isEmpty())
        add(QStringLiteral("DATABASE"), QStringLiteral("Initial Catalog"), properties.InitialCatalog);
    add(QStringLiteral("UID"), QStringLiteral("User ID"), properties.UserId);
    add(QStringLiteral("PWD"), QStringLiteral("Password"), properties.Password);
    add(QStringLiteral("APP"), QStringLiteral("Application Name"), properties.ApplicationName);
    add(QStringLiteral("WSID"), QStringLiteral("Workstation ID"), properties.WorkstationId);
    if (freeTds) {
        // With "auto" (the packaged default) FreeTDS retries versions on a
        // silent server without end and the login time-out never fires. A
        // fixed version keeps it: 7.4 times out like 7.1 against a stopped
        // server, and gives the types of 2005-2022 as they are (max values
        // whole, date and time types with their precision) instead of the
        // 7.1 downgrades; SQL Server 2000 answers a 7.4 login with 7.1.
        parts << QStringLiteral("TDS_Version=7.4");
        parts << QStringLiteral("ClientCharset=UTF-8");
        if (security.Encryption == TEncryption::No)
            parts << QStringLiteral("Encryption=off");
        else if (security.Encryption == TEncryption::Require)
            parts << QStringLiteral("Encryption=require");
    } else {
        // Driver 18 knows no "off": "no" still encrypts the login where the
        // server can, and the whole session where the server insists.
        parts << (security.Encryption == TEncryption::Require ? QStringLiteral("Encrypt=yes")
                                                               : QStringLiteral("Encrypt=no"));
        if (security.TrustServerCertificate)
            parts << QStringLiteral("TrustServerCertificate=yes");
    }
    // Every value, the last one too, is followed by ";": FreeTDS keeps the
    // closing brace of a braced value that ends the string.
    return parts.join(QLatin1Char(';')) + QLatin1Char(';');
}
