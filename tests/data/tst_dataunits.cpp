// The parts of the data layer that need no server: connection strings,
// "Data Source" forms, the FreeTDS configuration, the value text forms and
// the diagnostics funnel.

#include "ConnectionString.h"
#include "DataFacade.h"
#include "DataErrors.h"
#include "FreeTdsConfig.h"
#include "LocaleFormat.h"
#include "OdbcCore.h"
#include "OdbcCursor.h"
#include "SimpleSettingsManager.h"
#include "SqlBrowser.h"

#include <QTemporaryDir>
#include <QTest>

#include <cfloat>
#include <cmath>

Q_DECLARE_METATYPE(TServerTarget)

using namespace odbc;

namespace {

TServerTarget host(const QString &name, int port = 0, const QString &instance = {})
{
    TServerTarget target;
    target.Host = name;
    target.Port = port;
    target.Instance = instance;
    return target;
}

TServerTarget entry(const QString &name)
{
    TServerTarget target;
    target.ConfigEntry = name;
    return target;
}

} // namespace

class TestDataUnits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The settings these tests write go to a folder of their own.
        QVERIFY(m_settingsRoot.isValid());
        qputenv("APPDATA", QFile::encodeName(m_settingsRoot.path()));
    }

    void dataSourceForms_data()
    {
        QTest::addColumn<QString>("dataSource");
        QTest::addColumn<TServerTarget>("expected");
        const QString local = QStringLiteral("127.0.0.1");
        QTest::newRow("(local)") << "(local)" << host(local, 1433);
        QTest::newRow("(LOCAL)") << "(LOCAL)" << host(local, 1433);
        QTest::newRow("dot") << "." << host(local, 1433);
        QTest::newRow("localhost") << "localhost" << host(local, 1433);
        QTest::newRow("blanks") << "  (local) " << host(local, 1433);
        QTest::newRow("local with port") << "(local),14331" << host(local, 14331);
        QTest::newRow("local instance") << ".\\SQLEXPRESS" << host(local, 0, "SQLEXPRESS");
        QTest::newRow("host,port") << "127.0.0.1,2433" << host(local, 2433);
        QTest::newRow("tcp prefix") << "tcp:127.0.0.1, 2433" << host(local, 2433);
        QTest::newRow("host\\instance") << "10.1.2.3\\INST1" << host("10.1.2.3", 0, "INST1");
        QTest::newRow("instance and port") << "10.1.2.3\\INST1,1500" << host("10.1.2.3", 1500, "INST1");
        QTest::newRow("bare host") << "10.1.2.3" << host("10.1.2.3");
        QTest::newRow("config entry") << "myserver" << entry("MyServer");
        QTest::newRow("config entry with port is a host") << "myserver,1500" << host("myserver", 1500);
        QTest::newRow("port out of range stays in the name") << "10.1.2.3,70000" << host("10.1.2.3,70000");
    }

    void dataSourceForms()
    {
        QFETCH(QString, dataSource);
        QFETCH(TServerTarget, expected);
        const TServerTarget target = MapDataSource(dataSource, {QStringLiteral("MyServer")});
        QCOMPARE(target.Host, expected.Host);
        QCOMPARE(target.Port, expected.Port);
        QCOMPARE(target.Instance, expected.Instance);
        QCOMPARE(target.ConfigEntry, expected.ConfigEntry);
    }

    void bracing_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("freeTds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "sa" << true << "{sa}";
        QTest::newRow("semicolon and equals") << "a;UID=x" << true << "{a;UID=x}";
        QTest::newRow("brace FreeTDS") << "p}w{" << true << "{p}w{}";
        QTest::newRow("trailing brace FreeTDS") << "pw}" << true << "{pw}}";
        QTest::newRow("brace ODBC rule") << "p}w" << false << "{p}}w}";
        QTest::newRow("empty") << "" << true << "{}";
        QTest::newRow("cyrillic") << QStringLiteral("пароль") << true << QStringLiteral("{пароль}");
    }

    void bracing()
    {
        QFETCH(QString, value);
        QFETCH(bool, freeTds);
        QFETCH(QString, expected);
        QCOMPARE(BraceValue(QStringLiteral("Password"), value, freeTds), expected);
    }

    // Both unixODBC and FreeTDS end a braced value at "};": such a value
    // would add attributes of its own, so it is refused.
    void valueThatWouldEndTheBracesIsRefused()
    {
        for (bool freeTds : {true, false}) {
            try {
                (void)BraceValue(QStringLiteral("Password"), QStringLiteral("x};DRIVER=/tmp/evil.so"), freeTds);
                QFAIL("accepted");
            } catch (const EDataAccessError &error) {
                QVERIFY(error.Message().contains(QStringLiteral("Password")));
            }
        }
    }

    void connectionStringForFreeTds()
    {
        TConnectionProperties properties;
        properties.DataSource = QStringLiteral("(local)");
        properties.UserId = QStringLiteral("sa");
        properties.Password = QStringLiteral("se;cret");
        const QString text = BuildConnectionString(properties, {});
        QCOMPARE(text, QStringLiteral("DRIVER={FreeTDS};SERVER={127.0.0.1};PORT={1433};UID={sa};PWD={se;cret};"
                                      "APP={Quorvane};WSID={QUORVANE-WS};TDS_Version=7.4;ClientCharset=UTF-8;"));
        QVERIFY(!text.contains(QLatin1String("DATABASE")));
        properties.InitialCatalog = QStringLiteral("Продажи 2024");
        QVERIFY(BuildConnectionString(properties, {}).contains(QStringLiteral(";DATABASE={Продажи 2024};UID={sa};")));
    }

    void connectionStringForConfigEntryAndOtherDriver()
    {
        TConnectionProperties properties;
        properties.DataSource = QStringLiteral("MYSERVER");
        QVERIFY(BuildConnectionString(properties, {QStringLiteral("myserver")}).contains(QLatin1String(";SERVERNAME={myserver};")));

        properties.Driver = QStringLiteral("ODBC Driver 17 for SQL Server");
        properties.DataSource = QStringLiteral("10.0.0.5\\INST,1500");
        properties.Password = QStringLiteral("a}b");
        const QString text = BuildConnectionString(properties, {});
        QVERIFY(text.contains(QLatin1String(";SERVER={tcp:10.0.0.5\\INST,1500};")));
        QVERIFY(text.contains(QLatin1String(";PWD={a}}b};")));
        QVERIFY(!text.contains(QLatin1String("ClientCharset")));
    }

    // The whole string for each driver and each kind of encryption.
    void connectionStringPerDriver_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("dataSource");
        QTest::addColumn<int>("encryption");
        QTest::addColumn<bool>("trust");
        QTest::addColumn<QString>("expected");
        const QString freeTdsTail = QStringLiteral("UID={sa};PWD={pw};APP={Quorvane};WSID={QUORVANE-WS};TDS_Version=7.4;ClientCharset=UTF-8;");
        const QString msTail = QStringLiteral("UID={sa};PWD={pw};APP={Quorvane};WSID={QUORVANE-WS};");
        const QString ms18 = QStringLiteral("ODBC Driver 18 for SQL Server");
        QTest::newRow("FreeTDS, request: the entry's or FreeTDS's own default")
            << "FreeTDS" << "127.0.0.1,1500" << int(TEncryption::Request) << false
            << "DRIVER={FreeTDS};SERVER={127.0.0.1};PORT={1500};" + freeTdsTail;
        QTest::newRow("FreeTDS, no") << "FreeTDS" << "127.0.0.1,1500" << int(TEncryption::No) << false
                                     << "DRIVER={FreeTDS};SERVER={127.0.0.1};PORT={1500};" + freeTdsTail + "Encryption=off;";
        QTest::newRow("FreeTDS, require, trusted") << "FreeTDS" << "10.1.2.3\\SQL" << int(TEncryption::Require) << true
                                                   << "DRIVER={FreeTDS};SERVER={10.1.2.3\\SQL};" + freeTdsTail + "Encryption=require;";
        QTest::newRow("FreeTDS, no, trust means nothing") << "FreeTDS" << "(local)" << int(TEncryption::No) << true
                                                          << "DRIVER={FreeTDS};SERVER={127.0.0.1};PORT={1433};" + freeTdsTail + "Encryption=off;";
        QTest::newRow("Driver 18, request") << ms18 << "127.0.0.1,1500" << int(TEncryption::Request) << false
                                            << "DRIVER={" + ms18 + "};SERVER={tcp:127.0.0.1,1500};" + msTail + "Encrypt=no;";
        QTest::newRow("Driver 18, no") << ms18 << "(local)" << int(TEncryption::No) << false
                                       << "DRIVER={" + ms18 + "};SERVER={tcp:127.0.0.1,1433};" + msTail + "Encrypt=no;";
        QTest::newRow("Driver 18, require, checked") << ms18 << "10.1.2.3\\SQL" << int(TEncryption::Require) << false
                                                     << "DRIVER={" + ms18 + "};SERVER={tcp:10.1.2.3\\SQL};" + msTail + "Encrypt=yes;";
        QTest::newRow("Driver 18, require, trusted") << ms18 << "10.1.2.3,1433" << int(TEncryption::Require) << true
                                                     << "DRIVER={" + ms18 + "};SERVER={tcp:10.1.2.3,1433};" + msTail
                                                            + "Encrypt=yes;TrustServerCertificate=yes;";
        QTest::newRow("Driver 18, a freetds.conf name is a host name to it")
            << ms18 << "myserver" << int(TEncryption::Request) << false
            << "DRIVER={" + ms18 + "};SERVER={tcp:myserver};" + msTail + "Encrypt=no;";
    }

    void connectionStringPerDriver()
    {
        QFETCH(QString, driver);
        QFETCH(QString, dataSource);
        QFETCH(int, encryption);
        QFETCH(bool, trust);
        QFETCH(QString, expected);
        TConnectionProperties properties;
        properties.Driver = driver;
        properties.DataSource = dataSource;
        properties.UserId = QStringLiteral("sa");
        properties.Password = QStringLiteral("pw");
        properties.Security.Encryption = TEncryption(encryption);
        properties.Security.TrustServerCertificate = trust;
        QCOMPARE(BuildConnectionString(properties, {QStringLiteral("myserver")}), expected);
    }

    // FreeTDS checks a certificate only by a freetds.conf: the string names
    // a section of the program's own file, which FREETDSCONF points to, and
    // the user's own FREETDSCONF entries still resolve through it.
    void certificateChecksGoThroughAPrivateFreeTdsConfig()
    {
        QTemporaryDir dir;
        const QString userConf = dir.filePath(QStringLiteral("user.conf"));
        QFile user(userConf);
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.write("[global]\n\ttext size = 64512\n[Sales]\n\thost = 10.9.9.9\n\tport = 1600\n");
        user.close();
        qputenv("FREETDSCONF", QFile::encodeName(userConf));

        TConnectionProperties properties;
        properties.DataSource = QStringLiteral("127.0.0.1,1500");
        properties.Security.Encryption = TEncryption::Require;
        properties.Security.CaFile = dir.filePath(QStringLiteral("ca.pem"));
        const QString text = BuildConnectionString(properties, FreeTdsEntryNames());
        QVERIFY2(text.startsWith(QLatin1String("DRIVER={FreeTDS};SERVERNAME={quorvane-checked-1};UID=")), qPrintable(text));
        QVERIFY(text.endsWith(QLatin1String("Encryption=require;")));
        QVERIFY(!text.contains(QLatin1String("PORT=")));
        const QString privateConf = PrivateFreeTdsConfigFile();
        QCOMPARE(qEnvironmentVariable("FREETDSCONF"), privateConf);
        // The same server and CA give the same section; the system's store another.
        QVERIFY(BuildConnectionString(properties, {}).contains(QLatin1String("SERVERNAME={quorvane-checked-1};")));
        properties.Security.CaFile.clear();
        QVERIFY(BuildConnectionString(properties, {}).contains(QLatin1String("SERVERNAME={quorvane-checked-2};")));
        // A freetds.conf entry is reached at its host and port.
        properties.DataSource = QStringLiteral("sales");
        QVERIFY(BuildConnectionString(properties, FreeTdsEntryNames()).contains(QLatin1String("SERVERNAME={quorvane-checked-3};")));
        // Trusting the certificate needs no section.
        properties.Security.TrustServerCertificate = true;
        QVERIFY(BuildConnectionString(properties, FreeTdsEntryNames()).contains(QLatin1String("SERVERNAME={Sales};")));

        const QList<TFreeTdsEntry> entries = ReadFreeTdsEntries({privateConf});
        QStringList names;
        for (const TFreeTdsEntry &entry : entries)
            names << QStringLiteral("%1 %2:%3").arg(entry.Name, entry.Host).arg(entry.Port);
        QCOMPARE(names, QStringList({"Sales 10.9.9.9:1600", "quorvane-checked-1 127.0.0.1:1500",
                                     "quorvane-checked-2 127.0.0.1:1500", "quorvane-checked-3 10.9.9.9:1600"}));
        QFile conf(privateConf);
        QVERIFY(conf.open(QIODevice::ReadOnly));
        const QString confText = QString::fromUtf8(conf.readAll());
        QVERIFY(confText.startsWith(QLatin1String("[global]\n\ttext size = 64512\n")));
        QVERIFY(confText.contains(QStringLiteral("[quorvane-checked-1]\n\thost = 127.0.0.1\n\tport = 1500\n\tencryption = require\n"
                                                 "\tca file = %1\n\tcheck certificate hostname = yes\n")
                                      .arg(dir.filePath(QStringLiteral("ca.pem")))));
        QVERIFY(confText.contains(QLatin1String("[quorvane-checked-2]\n\thost = 127.0.0.1\n\tport = 1500\n\tencryption = require\n"
                                                "\tca file = system\n")));
        // The login dialog's list shows the user's servers, not the private sections.
        const QStringList listed = FreeTdsEntryNames();
        QVERIFY(listed.contains(QLatin1String("Sales")));
        QVERIFY2(listed.filter(QStringLiteral("quorvane-checked")).isEmpty(), qPrintable(listed.join(u',')));
        // A value that would break the file is refused.
        properties.DataSource = QStringLiteral("127.0.0.1,1500");
        properties.Security.TrustServerCertificate = false;
        properties.Security.CaFile = QStringLiteral("/tmp/a\n\tca file = /tmp/b");
        QVERIFY_THROWS_EXCEPTION(EDataAccessError, (void)BuildConnectionString(properties, {}));
    }

    void encryptionTexts()
    {
        QCOMPARE(EncryptionFromText(QStringLiteral(" Require ")), std::optional(TEncryption::Require));
        QCOMPARE(EncryptionFromText(QStringLiteral("no")), std::optional(TEncryption::No));
        QCOMPARE(EncryptionFromText(QStringLiteral("request")), std::optional(TEncryption::Request));
        QCOMPARE(EncryptionFromText(QStringLiteral("yes")), std::nullopt);
        for (TEncryption e : {TEncryption::No, TEncryption::Request, TEncryption::Require})
            QCOMPARE(EncryptionFromText(EncryptionText(e)), std::optional(e));
    }

    // Encryption and trust are settings of "Connection" too; the default
    // asks for encryption where the server can, and checks nothing.
    void securityComesFromTheSettings()
    {
        TDataAccessFacade facade;
        QCOMPARE(facade.Security(), TConnectionSecurity());
        SettingsManager()->SetSetting(QStringLiteral("Connection"), QStringLiteral("Encrypt"), QStringLiteral("require"));
        SettingsManager()->SetSetting(QStringLiteral("Connection"), QStringLiteral("TrustServerCertificate"), QStringLiteral("1"));
        SettingsManager()->SetSetting(QStringLiteral("Connection"), QStringLiteral("CaFile"), QStringLiteral("/etc/ca.pem"));
        TConnectionSecurity expected;
        expected.Encryption = TEncryption::Require;
        expected.TrustServerCertificate = true;
        expected.CaFile = QStringLiteral("/etc/ca.pem");
        QCOMPARE(facade.Security(), expected);
        SettingsManager()->SetSetting(QStringLiteral("Connection"), QStringLiteral("Encrypt"), QStringLiteral("sometimes"));
        QCOMPARE(facade.Security().Encryption, TEncryption::Request);
        TConnectionSecurity given;
        given.Encryption = TEncryption::No;
        facade.SetSecurity(given);
        QCOMPARE(facade.Security(), given);
        DestroySettingsManager();
    }

    // The driver is a setting ("Connection", "Driver"), FreeTDS by default;
    // a facade given one explicitly keeps it.
    void driverComesFromTheSettings()
    {
        TDataAccessFacade facade;
        QCOMPARE(facade.Driver(), QStringLiteral("FreeTDS"));
        SettingsManager()->SetSetting(QStringLiteral("Connection"), QStringLiteral("Driver"),
                                      QStringLiteral("ODBC Driver 17 for SQL Server"));
        QCOMPARE(facade.Driver(), QStringLiteral("ODBC Driver 17 for SQL Server"));
        facade.SetDriver(QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"));
        QCOMPARE(facade.Driver(), QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"));
        DestroySettingsManager();
    }

    void freeTdsDriverNames()
    {
        QVERIFY(IsFreeTdsDriver(QStringLiteral("FreeTDS")));
        QVERIFY(IsFreeTdsDriver(QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so")));
        QVERIFY(!IsFreeTdsDriver(QStringLiteral("ODBC Driver 18 for SQL Server")));
    }

    void configParsing()
    {
        const QString text = QStringLiteral(
            "; comment\n"
            "[global]\n"
            "  tds version = auto\n"
            "  port = 2000\n"
            "[Alpha]\n"
            "  host = 10.0.0.1\n"
            "  port = 1500\n"
            "# another comment\n"
            "[beta]\n"
            "\thost = 10.0.0.2\n"
            "[Gamma]\n"
            "  host = 10.0.0.3\n"
            "  instance = SQL2000\n"
            "[delta]\n"
            "  tds_version = 7.1\n");
        const QList<TFreeTdsEntry> entries = ParseFreeTdsConfig(text);
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[0].Name, QStringLiteral("Alpha"));
        QCOMPARE(entries[0].Comment(), QStringLiteral("10.0.0.1:1500"));
        QCOMPARE(entries[1].Comment(), QStringLiteral("10.0.0.2:2000")); // [global] port
        QCOMPARE(entries[2].Comment(), QStringLiteral("10.0.0.3\\SQL2000"));
        QCOMPARE(entries[3].Comment(), QStringLiteral("delta:2000")); // no host: the name is the host
    }

    void textForms_data()
    {
        // Each text is made with the separator its row names.
        const QChar saved = DecimalSeparator();
        auto at = [](QChar separator, auto make) {
            SetDecimalSeparator(separator);
            return make();
        };
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("decimal trailing zeros") << at(QLatin1Char(','), [&] { return exactNumberText("2.5000"); }) << QStringLiteral("2,5");
        QTest::newRow("decimal whole") << at(QLatin1Char(','), [&] { return exactNumberText("3.0000"); }) << "3";
        QTest::newRow("decimal negative") << at(QLatin1Char('.'), [&] { return exactNumberText("-0.0100"); }) << "-0.01";
        QTest::newRow("decimal bare point") << at(QLatin1Char(','), [&] { return exactNumberText(".5"); }) << "0,5";
        QTest::newRow("decimal negative zero") << at(QLatin1Char(','), [&] { return exactNumberText("-0.0000"); }) << "0";
        QTest::newRow("decimal 38 digits")
            << at(QLatin1Char('.'), [&] { return exactNumberText("-12345678901234567890.123456789012345678"); })
            << "-12345678901234567890.123456789012345678";
        QTest::newRow("float tenth") << at(QLatin1Char(','), [&] { return floatText(0.1); }) << "0,1";
        QTest::newRow("float max") << at(QLatin1Char(','), [&] { return floatText(DBL_MAX); }) << "1,7976931348623157E+308";
        QTest::newRow("float small") << at(QLatin1Char('.'), [&] { return floatText(1e-5); }) << "1E-5";
        QTest::newRow("float integral") << at(QLatin1Char('.'), [&] { return floatText(-42.0); }) << "-42";
        QTest::newRow("real tenth") << at(QLatin1Char(','), [&] { return realText(0.1f); }) << "0,1";
        QTest::newRow("real third") << at(QLatin1Char('.'), [&] { return realText(1.0f / 3.0f); }) << "0.33333334";
        SQL_TIMESTAMP_STRUCT ts{1992, 6, 19, 22, 22, 17, 0};
        QTest::newRow("datetime whole second") << at(QLatin1Char('.'), [&] { return timestampText(ts); }) << "19.06.1992 22:22:17";
        ts.fraction = 3000000;
        QTest::newRow("datetime milliseconds") << at(QLatin1Char('.'), [&] { return timestampText(ts); }) << "19.06.1992 22:22:17.003";
        SQL_TIMESTAMP_STRUCT early{1753, 1, 1, 0, 0, 0, 997000000};
        QTest::newRow("datetime early") << at(QLatin1Char('.'), [&] { return timestampText(early); }) << "01.01.1753 00:00:00.997";
        const SQLGUID guid{0x6F9619FF, 0x8B86, 0xD011, {0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF}};
        QTest::newRow("guid") << at(QLatin1Char('.'), [&] { return guidText(guid); }) << "6F9619FF-8B86-D011-B42D-00C04FC964FF";
        SetDecimalSeparator(saved);
    }

    void textForms()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    // A sql_variant value as the driver writes it in text, turned into the
    // text form of its base type.
    void variantTexts_data()
    {
        QTest::addColumn<QString>("baseType");
        QTest::addColumn<QString>("driverText");
        QTest::addColumn<QString>("expected");
        QTest::newRow("float, every digit") << "float" << "0.10000000000000001" << "0,1";
        QTest::newRow("float, 17 digits") << "float" << "0.30000000000000004" << "0,30000000000000004";
        QTest::newRow("float, exponent") << "float" << "1.7976931348623157e+308" << "1,7976931348623157E+308";
        QTest::newRow("real") << "real" << "3.40282347e+38" << "3,4028235E+38";
        QTest::newRow("decimal") << "decimal" << "1.500" << "1,5";
        QTest::newRow("numeric negative") << "numeric" << "-0.0100" << "-0,01";
        QTest::newRow("money") << "money" << "2.5000" << "2,5";
        QTest::newRow("smallmoney whole") << "smallmoney" << "3.0000" << "3";
        QTest::newRow("datetime ms") << "datetime" << "2004-03-01 10:00:00.123" << "01.03.2004 10:00:00.123";
        QTest::newRow("datetime whole") << "datetime" << "2004-03-01 10:00:00.000" << "01.03.2004 10:00:00";
        QTest::newRow("datetime early") << "datetime" << "1753-01-01 00:00:00.997" << "01.01.1753 00:00:00.997";
        QTest::newRow("smalldatetime") << "smalldatetime" << "2079-06-06 23:59:00" << "06.06.2079 23:59:00";
        QTest::newRow("varbinary") << "varbinary" << "0a0b" << "0A0B";
        QTest::newRow("binary with 0x") << "binary" << "0xff00" << "FF00";
        QTest::newRow("guid") << "uniqueidentifier" << "6f9619ff-8b86-d011-b42d-00c04fc964ff"
                              << "6F9619FF-8B86-D011-B42D-00C04FC964FF";
        QTest::newRow("int") << "int" << "42" << "42";
        QTest::newRow("bigint") << "BIGINT" << "-9223372036854775808" << "-9223372036854775808";
        QTest::newRow("nvarchar as it is") << "nvarchar" << " ёж " << " ёж ";
        QTest::newRow("varchar as it is") << "varchar" << "a\\\nb" << "a\\\nb";
    }
    void variantTexts()
    {
        QFETCH(QString, baseType);
        QFETCH(QString, driverText);
        QFETCH(QString, expected);
        const QChar saved = DecimalSeparator();
        SetDecimalSeparator(QLatin1Char(','));
        QCOMPARE(variantText(baseType, driverText), expected);
        SetDecimalSeparator(saved);
    }

    void textFormsFollowTheSeparator()
    {
        const QChar saved = DecimalSeparator();
        SetDecimalSeparator(QLatin1Char(','));
        QCOMPARE(exactNumberText("1234.5600"), QStringLiteral("1234,56"));
        SetDecimalSeparator(QLatin1Char('.'));
        QCOMPARE(exactNumberText("1234.5600"), QStringLiteral("1234.56"));
        SetDecimalSeparator(saved);
    }

    void floatTextsReadBack()
    {
        const QChar saved = DecimalSeparator();
        SetDecimalSeparator(QLatin1Char('.'));
        for (double value : {0.1, 1.0 / 3.0, 123456789.125, 5e-324, -2.2250738585072014e-308, 1e22, 9007199254740993.0}) {
            bool ok = false;
            QCOMPARE(floatText(value).toDouble(&ok), value);
            QVERIFY(ok);
        }
        SetDecimalSeparator(saved);
    }

    // A failing call brings every diagnostic record, with the vendor
    // prefixes taken off the texts.
    void funnelCarriesTheRecords()
    {
        odbc::Connection connection;
        try {
            connection.open(QStringLiteral("DRIVER={No Such Driver Quorvane};SERVER={127.0.0.1};"), 15);
            QFAIL("opened");
        } catch (const EOdbcError &error) {
            QVERIFY(!error.Diagnostics().isEmpty());
            QCOMPARE(error.Operation(), QStringLiteral("SQLDriverConnect"));
            QVERIFY(error.HasSqlState(QStringLiteral("01000")) || error.HasSqlState(QStringLiteral("IM002")));
            QVERIFY(!error.Message().isEmpty());
            QVERIFY(!error.Message().startsWith(QLatin1Char('[')));
        }
        QVERIFY(!connection.isOpen());
    }

    void serverMessagesLeadTheMessage()
    {
        const QList<TOdbcDiagnostic> records{
            {QStringLiteral("08001"), 0, QStringLiteral("Unable to connect to data source"), 0, 0},
            {QStringLiteral("28000"), 18456, QStringLiteral("Login failed for user 'sa'."), 1, 1},
            {QStringLiteral("08001"), 0, QStringLiteral("Unable to connect to data source"), 0, 0},
        };
        const EOdbcError error(QStringLiteral("SQLDriverConnect"), records);
        QCOMPARE(error.Message(), QStringLiteral("Login failed for user 'sa'.\nUnable to connect to data source"));
        QVERIFY(error.HasNativeError(18456));
        QCOMPARE(error.Diagnostics().size(), 3);
    }

    void browserResponseParsing()
    {
        const QByteArray data = "ServerName;HOST1;InstanceName;MSSQLSERVER;IsClustered;No;Version;8.00.194;tcp;1433;;"
                                "ServerName;HOST1;InstanceName;SALES;IsClustered;No;Version;8.00.760;np;\\\\HOST1\\pipe\\sql;;";
        QByteArray datagram;
        datagram.append(char(0x05));
        datagram.append(char(data.size() & 0xFF));
        datagram.append(char(data.size() >> 8));
        datagram.append(data);
        const QList<TBrowserInstance> instances = ParseBrowserResponse(datagram, QStringLiteral("10.0.0.9"));
        QCOMPARE(instances.size(), 2);
        QCOMPARE(instances[0].ServerName, QStringLiteral("HOST1"));
        QCOMPARE(instances[0].TcpPort, 1433);
        QCOMPARE(instances[0].Address, QStringLiteral("10.0.0.9"));
        QCOMPARE(instances[1].InstanceName, QStringLiteral("SALES"));
        QCOMPARE(instances[1].TcpPort, 0);
        QCOMPARE(instances[1].Version, QStringLiteral("8.00.760"));
        QVERIFY(ParseBrowserResponse(QByteArray("\x04xyz"), QString()).isEmpty());
    }

private:
    QTemporaryDir m_settingsRoot;
};

QTEST_GUILESS_MAIN(TestDataUnits)
#include "tst_dataunits.moc"
