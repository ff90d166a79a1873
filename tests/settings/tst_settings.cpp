#include "IniFile.h"
#include "SimpleSettingsManager.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A composer with a fixed root, for the folder rules.
class TFixedRootComposer final : public TFileNameComposer
{
public:
    explicit TFixedRootComposer(QString root) : m_root(std::move(root)) {}
    ~TFixedRootComposer() override { NotifyRemoval(); }
    QString GetRootDirectory() const override { return m_root; }

private:
    QString m_root;
};

// Restores an environment variable when the test ends.
class EnvGuard
{
public:
    explicit EnvGuard(const char *name) : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {}
    ~EnvGuard()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_file = m_dir->filePath(QStringLiteral("Settings.ini"));
    }

    void composerFolders_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all") << "/r" << "Velquist" << "Quorvane" << "1.0" << "/r/Velquist/Quorvane/1.0/Settings.ini";
        QTest::newRow("no product") << "/r/" << "Velquist" << "" << "1.0" << "/r/Velquist/1.0/Settings.ini";
        QTest::newRow("none") << "/r" << "" << "" << "" << "/r/Settings.ini";
        QTest::newRow("names end with delimiter") << "/r/" << "Velquist/" << "Quorvane/" << "1.0"
                                                  << "/r/Velquist/Quorvane/1.0/Settings.ini";
        QTest::newRow("no root: executable folder") << "" << "Velquist" << "" << ""
                                                    << ExecutableDirectory() + "Velquist/Settings.ini";
    }
    void composerFolders()
    {
        QFETCH(QString, root);
        QFETCH(QString, company);
        QFETCH(QString, product);
        QFETCH(QString, version);
        QFETCH(QString, expected);
        TFixedRootComposer composer(root);
        composer.SetCompanyName(company);
        composer.SetProductName(product);
        composer.SetVersion(version);
        composer.SetJustFileName(QStringLiteral("Settings.ini"));
        QCOMPARE(composer.GetFileName(), expected);
        QVERIFY(composer.GetDirectory().endsWith(u'/'));
    }

    void applicationDataRoot_data()
    {
        QTest::addColumn<QByteArray>("appData");
        QTest::addColumn<QByteArray>("xdg");
        QTest::addColumn<QString>("expected");
        QTest::newRow("APPDATA wins") << QByteArray("/a") << QByteArray("/x") << "/a";
        QTest::newRow("XDG_CONFIG_HOME next") << QByteArray() << QByteArray("/x") << "/x";
        QTest::newRow("relative XDG ignored") << QByteArray() << QByteArray("rel") << QDir::homePath() + "/.config";
        QTest::newRow("home .config last") << QByteArray() << QByteArray() << QDir::homePath() + "/.config";
    }
    void applicationDataRoot()
    {
        QFETCH(QByteArray, appData);
        QFETCH(QByteArray, xdg);
        QFETCH(QString, expected);
        EnvGuard g1("APPDATA"), g2("XDG_CONFIG_HOME");
        appData.isEmpty() ? qunsetenv("APPDATA") : qputenv("APPDATA", appData);
        xdg.isEmpty() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", xdg);
        TApplicationDataFileNameComposer composer;
        QCOMPARE(composer.GetRootDirectory(), expected);
    }

    // First run: reading the two connection values and ending the process
    // creates the folder chain and the file, even with nothing changed.
    void firstRunCreatesFile()
    {
        EnvGuard guard("APPDATA");
        qputenv("APPDATA", m_dir->path().toLocal8Bit());
        TApplicationDataFileNameComposer composer;
        composer.SetCompanyName(QStringLiteral("Velquist"));
        composer.SetProductName(QStringLiteral("Quorvane"));
        composer.SetVersion(QStringLiteral("1.0"));
        composer.SetJustFileName(QStringLiteral("Settings.ini"));
        {
            TSimpleSettingsManager store;
            store.SetFileNameComposer(&composer);
            QCOMPARE(store.GetSetting("Connection", "Login", "")->Value(), QString());
            QCOMPARE(store.GetSetting("Connection", "ServerName", "")->Value(), QString());
        }
        const QString path = m_dir->filePath("Velquist/Quorvane/1.0/Settings.ini");
        QCOMPARE(readAll(path), QByteArray("[Connection]\r\nLogin=\r\nServerName=\r\n"));
    }

    void readsWithoutCaseAndWritesInPlace()
    {
        writeAll(m_file, "; remembered\r\n[connection]\r\nlogin = alice\r\n; note\r\n\r\n[Other]\r\nx=1\r\n");
        {
            TSimpleSettingsManager store;
            store.SetFileName(m_file);
            QCOMPARE(store.GetSetting("Connection", "Login", "default")->Value(), QStringLiteral("alice"));
            QVERIFY(!store.GetSetting("Connection", "Login", "")->Modified());
            store.SetSetting("Connection", "Login", "bob");
            store.SetSetting("Connection", "ServerName", "srv");
            store.SetSetting("New", "Key", "v");
        }
        QCOMPARE(readAll(m_file), QByteArray("; remembered\r\n[connection]\r\nlogin=bob\r\n; note\r\nServerName=srv\r\n"
                                             "\r\n[Other]\r\nx=1\r\n[New]\r\nKey=v\r\n"));
    }

    void unchangedValueIsNotWrittenBack()
    {
        const QByteArray original("[Connection]\nLogin = alice\n\n");
        writeAll(m_file, original);
        {
            TSimpleSettingsManager store;
            store.SetFileName(m_file);
            TSetting *login = store.GetSetting("Connection", "Login", "");
            login->SetValue(QStringLiteral("alice"));
            QVERIFY(!login->Modified());
        }
        QCOMPARE(readAll(m_file), original);
    }

    void emptyValueInFileIsNotTheDefault()
    {
        writeAll(m_file, "[Connection]\r\nLogin=\r\n");
        TSimpleSettingsManager store;
        store.SetFileName(m_file);
        QCOMPARE(store.GetSetting("Connection", "Login", "default")->Value(), QString());
        QCOMPARE(store.GetSetting("Connection", "Missing", "default")->Value(), QStringLiteral("default"));
    }

    void valueChangesAndEvents()
    {
        writeAll(m_file, "[Connection]\r\nLogin=alice\r\n");
        TSimpleSettingsManager store;
        store.SetFileName(m_file);
        int listChanges = 0;
        QList<QString> changed;
        store.SetOnChange([&](TSettingsList *) { ++listChanges; });
        store.SetOnSettingChange([&](TSettingsList *, TSetting *s) { changed << s->Name() + '=' + s->Value(); });

        TSetting *login = store.GetSetting("Connection", "Login", "x");
        store.GetSetting("Connection", "Login", "y");
        TSetting *server = store.GetSetting("Connection", "ServerName", "def");
        QCOMPARE(listChanges, 2);
        QVERIFY(changed.isEmpty());
        QVERIFY(server->Modified());

        login->SetValue(QStringLiteral("alice"));
        QVERIFY(changed.isEmpty());
        QVERIFY(!login->Modified());
        login->SetValue(QStringLiteral("Alice"));
        QCOMPARE(changed, QList<QString>{"Login=Alice"});
        QVERIFY(login->Modified());
        store.SetSetting("Connection", "ServerName", "srv");
        QCOMPARE(changed, (QList<QString>{"Login=Alice", "ServerName=srv"}));
        QCOMPARE(listChanges, 2);
    }

    // Names differing in case are two settings in memory but one file entry;
    // the one added later is written last.
    void caseVariantsShareOneEntry()
    {
        writeAll(m_file, "[Connection]\r\nLogin=alice\r\n");
        {
            TSimpleSettingsManager store;
            store.SetFileName(m_file);
            TSetting *a = store.GetSetting("Connection", "Login", "");
            TSetting *b = store.GetSetting("connection", "LOGIN", "");
            QVERIFY(a != b);
            QCOMPARE(b->Value(), QStringLiteral("alice"));
            b->SetValue(QStringLiteral("second"));
            a->SetValue(QStringLiteral("first"));
        }
        QCOMPARE(readAll(m_file), QByteArray("[Connection]\r\nLogin=second\r\n"));
    }

    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("plain") << "sa" << "sa";
        QTest::newRow("cyrillic") << "Пользователь" << "Пользователь";
        QTest::newRow("blanks around") << "  a b  " << "  a b  ";
        QTest::newRow("double quoted") << "\"q\"" << "\"q\"";
        QTest::newRow("single quoted") << "'q'" << "'q'";
        QTest::newRow("equals sign") << "a=b" << "a=b";
        QTest::newRow("line breaks become blanks") << "x\r\n[Evil]\ny=1" << "x [Evil] y=1";
    }
    void valuesRoundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QString, readBack);
        {
            TSimpleSettingsManager store;
            store.SetFileName(m_file);
            store.SetSetting("Connection", "Login", value);
        }
        TSimpleSettingsManager store;
        store.SetFileName(m_file);
        QCOMPARE(store.GetSetting("Connection", "Login", "")->Value(), readBack);
        TIniFile ini(m_file);
        QVERIFY(!ini.ReadString("Evil", "y", nullptr));
        QCOMPARE(ini.Lines().size(), 2);
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral("[Connection]\r\nLogin=Иван\r\n");
        QTest::newRow("locale (UTF-8)") << text.toUtf8();
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QByteArray le("\xFF\xFE");
        for (QChar c : text)
            le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        QTest::newRow("UTF-16LE mark") << le;
        QByteArray be("\xFE\xFF");
        for (QChar c : text)
            be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        QTest::newRow("UTF-16BE mark") << be;
        QTest::newRow("lone CR") << QStringLiteral("[Connection]\rLogin=Иван").toUtf8();
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        writeAll(m_file, bytes);
        {
            TSimpleSettingsManager store;
            store.SetFileName(m_file);
            QCOMPARE(store.GetSetting("Connection", "Login", "")->Value(), QStringLiteral("Иван"));
            store.SetSetting("Connection", "ServerName", "сервер");
        }
        // Rewritten in the locale's encoding, without a mark, CR LF throughout.
        QCOMPARE(readAll(m_file), QStringLiteral("[Connection]\r\nLogin=Иван\r\nServerName=сервер\r\n").toUtf8());
    }

    void saveErrorsAreSwallowed()
    {
        // The settings "file" is a folder: reading finds nothing, saving fails.
        QVERIFY(QDir().mkpath(m_file));
        {
            TSimpleSettingsManager store;
            store.SetFileName(m_file);
            QCOMPARE(store.GetSetting("Connection", "Login", "d")->Value(), QStringLiteral("d"));
        }
        QVERIFY(QFileInfo(m_file).isDir());

        // A folder that cannot be created: a file sits where it should be.
        const QString blocker = m_dir->filePath("blocker");
        writeAll(blocker, "x");
        {
            TSimpleSettingsManager store;
            store.SetFileName(blocker + "/sub/Settings.ini");
            store.SetSetting("Connection", "Login", "x");
        }
        QCOMPARE(readAll(blocker), QByteArray("x"));
    }

    void removedComposerLeavesItsFileName()
    {
        auto composer = std::make_unique<TFixedRootComposer>(m_dir->path());
        composer->SetCompanyName(QStringLiteral("Velquist"));
        composer->SetJustFileName(QStringLiteral("Settings.ini"));
        const QString expected = composer->GetFileName();
        {
            TSimpleSettingsManager store;
            store.SetFileNameComposer(composer.get());
            composer.reset();
            QCOMPARE(store.FileNameComposer(), nullptr);
            QCOMPARE(store.FileName(), expected);
            store.SetSetting("Connection", "Login", "kept");
        }
        QCOMPARE(readAll(expected), QByteArray("[Connection]\r\nLogin=kept\r\n"));
    }

    void processWideStoreSavesOnDestroy()
    {
        TSimpleSettingsManager *store = SettingsManager();
        QCOMPARE(SettingsManager(), store);
        store->SetFileName(m_file);
        store->SetSetting("Connection", "Driver", "FreeTDS");
        DestroySettingsManager();
        QCOMPARE(readAll(m_file), QByteArray("[Connection]\r\nDriver=FreeTDS\r\n"));
        DestroySettingsManager();
        QVERIFY(SettingsManager()->FileName().isEmpty());
        DestroySettingsManager();
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
