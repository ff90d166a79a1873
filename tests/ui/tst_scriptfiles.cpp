// Script and history files lose nothing: read by byte-order mark, as UTF-8
// when valid, else in the code page of the settings; written back in the
// encoding they were read in; a character that encoding lacks is asked
// about; an unreadable history is reported once and left alone.
#include "WorkbenchFixture.h"

#include "CodePages.h"
#include "Domain.h"
#include "HistoryManager.h"
#include "MainForm.h"
#include "ScriptManager.h"
#include "ScriptMemo.h"
#include "ScriptRoutinesController.h"
#include "StartUpController.h"
#include "UiErrors.h"
#include "WorkbenchPorts.h"
#include "WorkbenchUi.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSet>
#include <QtTest>

namespace {

QByteArray Utf16(const QString &Text, bool BigEndian)
{
    QByteArray bytes(BigEndian ? "\xFE\xFF" : "\xFF\xFE", 2);
    for (QChar c : Text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes.append(BigEndian ? high : low).append(BigEndian ? low : high);
    }
    return bytes;
}

} // namespace

class TestScriptFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    QString WriteFile(const QString &Name, const QByteArray &Bytes)
    {
        const QString path = m_files.filePath(Name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write(Bytes);
        return path;
    }

    static QByteArray ReadBytes(const QString &Path)
    {
        QFile file(Path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void Start(WorkbenchFixture &Fixture)
    {
        Fixture.Form().OnFirstShow = [] {
            TStartUpController startUp;
            startUp.SetUpSettingsLocation();
            RequireWorkbenchUi().BindResultView();
            RequireWorkbenchUi().HideEditor();
            (void)ScriptRoutinesController();
            return true;
        };
        Fixture.Form().show();
        Fixture.Ui().SaveChangesHook = [](const QString &) { return TSaveChangesAnswer::Discard; };
    }

    static void Open(WorkbenchFixture &Fixture, const QString &Path)
    {
        Fixture.Ui().OpenFileNameHook = [Path](const QString &) { return Path; };
        Fixture.Form().OpenAction->trigger();
    }

    static void SaveAs(WorkbenchFixture &Fixture, const QString &Path)
    {
        Fixture.Ui().SaveFileNameHook = [Path](const QString &, const QString &) { return Path; };
        Fixture.Ui().ReplaceFileHook = [](const QString &) { return true; };
        Fixture.Form().SaveAsAction->trigger();
    }

private slots:
    void initTestCase() { QVERIFY(m_files.isValid()); }

    // Every byte of every code page decodes to a character of its own and
    // encodes back to itself; the C1 characters stand for bytes the code
    // page leaves undefined.
    void everyByteRoundTrips_data()
    {
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<QString>("alias");
        QTest::newRow("windows-1251") << "windows-1251" << "CP1251";
        QTest::newRow("windows-1252") << "windows-1252" << "cp1252";
        QTest::newRow("koi8-r") << "koi8-r" << "KOI8R";
        QTest::newRow("ibm866") << "ibm866" << "cp866";
    }

    void everyByteRoundTrips()
    {
        QFETCH(QString, codePage);
        QFETCH(QString, alias);
        QCOMPARE(CanonicalCodePage(alias), codePage);
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = DecodeCodePage(all, codePage);
        QCOMPARE(text.size(), 256);
        QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
        QByteArray back;
        QVERIFY(EncodeCodePage(text, codePage, &back));
        QCOMPARE(back, all);
        QString missing;
        QVERIFY(!EncodeCodePage(QStringLiteral("a漢b漢"), codePage, &back, &missing));
        QCOMPARE(missing, QStringLiteral("漢"));
        QVERIFY(CanonicalCodePage(QStringLiteral("utf-8")).isEmpty());
    }

    void openAndSaveByteForByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("added"); // "PRINT 1" and CR LF in the file's encoding
        const QByteArray ascii("PRINT 1\r\n");
        QTest::newRow("windows-1251") << QByteArray("SELECT '\xC6\xF3\xEA' -- \xB8\xE6\r\nGO\r\n")
                                      << QStringList{QStringLiteral("SELECT 'Жук' -- ёж"), "GO"} << ascii;
        QTest::newRow("windows-1251, byte 0x98") << QByteArray("PRINT '\x98\xC0'\r\n")
                                                 << QStringList{QStringLiteral("PRINT '") + QChar(0x98) + QStringLiteral("А'")}
                                                 << ascii;
        QTest::newRow("invalid UTF-8") << QByteArray("SELECT 'caf\xC3' + '\xFF\xD0'\r\n")
                                       << QStringList{QStringLiteral("SELECT 'cafГ' + 'яР'")} << ascii;
        QTest::newRow("UTF-8") << QStringLiteral("SELECT N'Жук'\r\n").toUtf8()
                               << QStringList{QStringLiteral("SELECT N'Жук'")} << ascii;
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + QStringLiteral("-- ёж\r\n").toUtf8()
                                    << QStringList{QStringLiteral("-- ёж")} << ascii;
        QTest::newRow("UTF-16LE mark") << Utf16(QStringLiteral("-- Жук\r\n"), false)
                                       << QStringList{QStringLiteral("-- Жук")} << Utf16(QString::fromLatin1(ascii), false).mid(2);
        QTest::newRow("UTF-16BE mark") << Utf16(QStringLiteral("-- Жук\r\n"), true)
                                       << QStringList{QStringLiteral("-- Жук")} << Utf16(QString::fromLatin1(ascii), true).mid(2);
    }

    void openAndSaveByteForByte()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, added);
        WorkbenchFixture fixture;
        Start(fixture);
        const QString path = WriteFile(QStringLiteral("read.sql"), bytes);
        Open(fixture, path);
        QCOMPARE(ScriptManager()->Current()->Lines, lines);

        const QString copy = m_files.filePath(QStringLiteral("copy.sql"));
        QFile::remove(copy);
        SaveAs(fixture, copy);
        QCOMPARE(ReadBytes(copy), bytes);

        // An edit is written in the same encoding, the rest untouched.
        fixture.Form().ScriptMemo->append(QStringLiteral("PRINT 1"));
        SaveAs(fixture, copy);
        QCOMPARE(ReadBytes(copy), bytes + added);
    }

    // A character the file's code page cannot hold is never written as '?':
    // the user is asked, and either the file stays as it was or it becomes
    // UTF-8.
    void characterOutsideTheCodePageAsks()
    {
        WorkbenchFixture fixture;
        Start(fixture);
        const QByteArray original("-- \xC6\xF3\xEA\r\n");
        const QString path = WriteFile(QStringLiteral("cp1251.sql"), original);
        Open(fixture, path);
        fixture.Form().ScriptMemo->append(QStringLiteral("PRINT N'Müller 漢'"));
        QStringList asked;
        bool toUtf8 = false;
        fixture.Ui().SaveInUtf8Hook = [&](const QString &FileName, const QString &Encoding, const QString &Characters) {
            asked << FileName + QLatin1Char('|') + Encoding + QLatin1Char('|') + Characters;
            return toUtf8;
        };
        SaveAs(fixture, path);
        QCOMPARE(asked, QStringList{path + QStringLiteral("|windows-1251|ü漢")});
        QCOMPARE(ReadBytes(path), original);
        QVERIFY(ScriptManager()->IsModified(ScriptManager()->Current()));

        // Closing asks to save; a "no" to UTF-8 keeps the script open.
        fixture.Ui().SaveChangesHook = [](const QString &) { return TSaveChangesAnswer::Save; };
        fixture.Form().CloseCurretnTabAction->trigger();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(ScriptManager()->Count(), 1);
        QCOMPARE(ReadBytes(path), original);

        toUtf8 = true;
        SaveAs(fixture, path);
        QCOMPARE(asked.size(), 3);
        QCOMPARE(ReadBytes(path), QStringLiteral("-- Жук\r\nPRINT N'Müller 漢'\r\n").toUtf8());
        // From now on the script is UTF-8: nothing more to ask.
        fixture.Form().ScriptMemo->append(QStringLiteral("\r\nPRINT 'ü'"));
        SaveAs(fixture, path);
        QCOMPARE(asked.size(), 3);
        QCOMPARE(ReadBytes(path), QStringLiteral("-- Жук\r\nPRINT N'Müller 漢'\r\nPRINT 'ü'\r\n").toUtf8());
    }

    // The 8-bit code page comes from the settings ([Files] CodePage).
    void codePageFromTheSettings()
    {
        WorkbenchFixture fixture;
        QDir().mkpath(QFileInfo(fixture.SettingsFile()).path());
        QFile settings(fixture.SettingsFile());
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Files]\r\nCodePage=koi8-r\r\n");
        settings.close();
        Start(fixture);
        const QByteArray koi8("-- \xF6\xD5\xCB\r\n"); // "Жук" in KOI8-R
        const QString path = WriteFile(QStringLiteral("koi8.sql"), koi8);
        Open(fixture, path);
        QCOMPARE(ScriptManager()->Current()->Lines, QStringList{QStringLiteral("-- Жук")});
        SaveAs(fixture, path);
        QCOMPARE(ReadBytes(path), koi8);
    }

    void newScriptIsSavedInUtf8()
    {
        WorkbenchFixture fixture;
        Start(fixture);
        fixture.Form().NewEmptyAction->trigger();
        fixture.Form().ScriptMemo->setText(QStringLiteral("PRINT N'Жук'"));
        const QString path = m_files.filePath(QStringLiteral("new.sql"));
        QFile::remove(path);
        SaveAs(fixture, path);
        QCOMPARE(ReadBytes(path), QByteArray("PRINT N'\xD0\x96\xD1\x83\xD0\xBA'\r\n"));
    }

    // The history file is read and written by the same rules.
    void historyKeepsItsEncoding()
    {
        WorkbenchFixture fixture;
        const QByteArray history("C:\\\xD1\xEA\xF0\xE8\xEF\xF2\xFB\\a.sql\r\n/tmp/b.sql\r\n"); // "Скрипты" in windows-1251
        {
            QFile file(HistoryFileName());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(history);
        }
        Start(fixture);
        const QList<QAction *> entries = fixture.Form().HistoryMenuItem->actions();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(1)->text(), QStringLiteral("C:\\Скрипты\\a.sql"));
        QCOMPARE(HistoryManager()->Format().Name(), QStringLiteral("windows-1251"));
        const QString historyFile = HistoryFileName();
        FreeScriptRoutinesController(); // saves the history, as the end of main does
        QCOMPARE(ReadBytes(historyFile), history);
    }

    // An unreadable history (here a folder where the file should be) is
    // reported once; new and open work without it, and it is not written
    // over at the end.
    void unreadableHistoryIsReportedOnce()
    {
        WorkbenchFixture fixture;
        const QString historyFile = HistoryFileName();
        QVERIFY(QDir().mkpath(historyFile));
        struct RemoveFolder
        {
            QString Path;
            ~RemoveFolder() { QDir(Path).removeRecursively(); }
        } removeFolder{historyFile};
        QStringList errors;
        const TErrorDisplay previous = SetErrorDisplay([&errors](const QString &Message) { errors << Message; });
        Start(fixture);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.at(0).startsWith(QStringLiteral("Не удалось прочитать список недавних файлов")),
                 qPrintable(errors.at(0)));

        fixture.Form().NewEmptyAction->trigger();
        fixture.Form().NewEmptyAction->trigger();
        Open(fixture, WriteFile(QStringLiteral("any.sql"), "PRINT 1\r\n"));
        QCOMPARE(ScriptManager()->Count(), 3);
        QCOMPARE(fixture.Form().HistoryMenuItem->actions().size(), 1);
        FreeScriptRoutinesController();
        SetErrorDisplay(previous);
        QCOMPARE(errors.size(), 1);
        QVERIFY(QFileInfo(historyFile).isDir());
    }
};

QTEST_MAIN(TestScriptFiles)
#include "tst_scriptfiles.moc"
