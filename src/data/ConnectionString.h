#pragma once

// Turns the facade's named connection properties into an ODBC connection
// string for unixODBC and the FreeTDS driver (or another SQL Server driver
// named in the settings).

#include <QString>
#include <QStringList>

#include <optional>

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

// "Шифрование": "нет", "если сервер поддерживает" (the default) and
// "обязательно", as the settings and the command line spell them.
enum class TEncryption : quint8 { No, Request, Require };

[[nodiscard]] QString EncryptionText(TEncryption Encryption);
// "no", "request", "require" (any case, blanks around); nothing for another text.
[[nodiscard]] std::optional<TEncryption> EncryptionFromText(const QString &Text);

// How the connection is protected. The server's certificate is checked only
// when encryption is required and the certificate is not trusted as it is
// (as Microsoft's ODBC Driver 18 does it).
struct TConnectionSecurity
{
    TEncryption Encryption = TEncryption::Request;
    bool TrustServerCertificate = false;
    // The CA certificates (PEM) the server's certificate must be signed by;
    // empty: the system's store.
    QString CaFile;

    [[nodiscard]] bool ChecksCertificate() const
    {
        return Encryption == TEncryption::Require && !TrustServerCertificate;
    }
    friend bool operator==(const TConnectionSecurity &, const TConnectionSecurity &) = default;
};

struct TConnectionProperties
{
    QString Driver = QStringLiteral("FreeTDS");
    QString DataSource;      // "Data Source"
    QString UserId;          // "User ID"
    QString Password;        // "Password"
    QString InitialCatalog;  // "Initial Catalog"; empty: the login's default database
    QString ApplicationName = QStringLiteral("Quorvane");
    QString WorkstationId = QStringLiteral("QUORVANE-WS");
    TConnectionSecurity Security;
};

// The complete string for SQLDriverConnect. FreeTDS gets SERVER and PORT (or
// SERVERNAME for a freetds.conf entry), a fixed TDS version and UTF-8 for
// the client's text; "Encryption" only when it is not "request", so an
// entry's own setting stays in force by default. FreeTDS takes the
// certificate checks only from a freetds.conf: when they are wanted, the
// string names a section of the program's own configuration
// (FreeTdsCheckingSection). Other drivers get the keywords of Microsoft's
// drivers: SERVER=tcp:host,port, Encrypt and TrustServerCertificate; names
// in freetds.conf mean nothing to them.
[[nodiscard]] QString BuildConnectionString(const TConnectionProperties &properties, const QStringList &configEntries);
