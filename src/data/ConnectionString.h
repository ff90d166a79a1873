#pragma once

// Turns the facade's named connection properties into an ODBC connection
// string for unixODBC and the FreeTDS driver (or another SQL Server driver
// named in the settings).

#include <QString>
#include <QStringList>

// Where a "Data Source" text leads.
struct TServerTarget
{
    // A host (an IP literal or a name), optionally with an instance name
    // and a port; or an entry of the FreeTDS configuration.
    QString Host;
    QString Instance;
    int Port = 0;            // 0: none given
    QString ConfigEntry;     // non-empty: the freetds.conf section to use

    friend bool operator==(const TServerTarget &, const TServerTarget &) = default;
};

// "(local)", "." and "localhost" (any case) mean 127.0.0.1 on port 1433,
// with "\instance" they mean that instance on 127.0.0.1; "host,port" and
// "host\instance" are split as SQL Server users write them ("tcp:" in front
// is dropped); a bare name that is a section of the FreeTDS configuration
// (compared ignoring case, as FreeTDS does) names that section.
[[nodiscard]] TServerTarget MapDataSource(const QString &dataSource, const QStringList &configEntries);

// True for the FreeTDS driver, by its registered name or library path.
[[nodiscard]] bool IsFreeTdsDriver(const QString &driver);

// One attribute value in braces. Both unixODBC and FreeTDS end a braced
// value at the first "}" that a ";" follows and neither knows the "}}"
// escape, so a value that holds "};" cannot be passed safely and is refused
// (EDataAccessError naming the property); any other "}" stays as it is for
// FreeTDS and is doubled for drivers that follow the ODBC rule.
[[nodiscard]] QString BraceValue(const QString &propertyName, const QString &value, bool freeTds);

struct TConnectionProperties
{
    QString Driver = QStringLiteral("FreeTDS");
    QString DataSource;      // "Data Source"
    QString UserId;          // "User ID"
    QString Password;        // "Password"
    QString InitialCatalog;  // "Initial Catalog"; empty: the login's default database
    QString ApplicationName = QStringLiteral("Quorvane");
    QString WorkstationId = QStringLiteral("QUORVANE-WS");
};

// The complete string for SQLDriverConnect.
[[nodiscard]] QString BuildConnectionString(const TConnectionProperties &properties, const QStringList &configEntries);
