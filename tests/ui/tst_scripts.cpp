// The script routines through the main window: tabs and editor in step,
// open / save / history, close, and execution reported in the log.
#include "WorkbenchFixture.h"

#include "ColorRichEdit.h"
#include "Controller.h"
#include "DataFacade.h"
#include "Domain.h"
#include "HistoryManager.h"
#include "MainForm.h"
#include "ScriptManager.h"
#include "ScriptMemo.h"
#include "ScriptRoutinesController.h"
#include "StartUpController.h"
#include "TestServer.h"
#include "UiErrors.h"
#include "Translations.h"
#include "WorkbenchUi.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFile>
#include <QMenu>
#include <QTabBar>
#include <QTableView>
#include <QtTest>

class TestScripts : public QObject
{
    Q_OBJECT

    TestServer m_server;
    bool m_engine = false;
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

    // Start-up without the connect flow's dialog: views bound, routines made.
    static void StartWithoutConnecting(WorkbenchFixture &Fixture)
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
    }

    void Connect(WorkbenchFixture &Fixture)
    {
        ModalScript answers({LoginWith(m_server.dataSource(), QStringLiteral("sa"),
                                       QString::fromLatin1(TestServer::password))});
        Fixture.Form().show();
        QVERIFY(answers.Done());
        QVERIFY(!Fixture.Form().TerminateRequested());
    }

    static void Execute(WorkbenchFixture &Fixture, const QString &Text)
    {
        ScriptManager()->AddScriptFromText(Text);
        Fixture.Form().ExecuteAction->trigger();
        // The run goes to a worker; the log is complete once it has ended.
        if (!WaitForExecution())
            qFatal("the script did not end");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        TDataAccessFacade facade;
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        const TSQLServer server(m_server.dataSource());
        try {
            facade.SetServer(&server);
            m_engine = !facade.ExecuteScriptText(QStringLiteral("SELECT 1"), 10).HasErrors();
        } catch (const std::exception &) {
            m_engine = false;
        }
        QVERIFY2(m_engine, "the test server answers no query");
    }

    void rowsChangedMessage_data()
    {
        QTest::addColumn<qint64>("n");
        QTest::addColumn<QString>("message");
        QTest::newRow("0") << qint64(0) << QString();
        QTest::newRow("1") << qint64(1) << QStringLiteral("Одна строка изменина");
        QTest::newRow("2") << qint64(2) << QStringLiteral("Две строки изменино");
        QTest::newRow("3") << qint64(3) << QStringLiteral("Три строки изменино");
        QTest::newRow("4") << qint64(4) << QStringLiteral("Четыри строки изменино");
        QTest::newRow("5") << qint64(5) << QStringLiteral("5 строк изменино");
        QTest::newRow("11") << qint64(11) << QStringLiteral("11 строк изменино");
        QTest::newRow("21") << qint64(21) << QStringLiteral("21 строк изменино");
        QTest::newRow("negative") << qint64(-7) << QStringLiteral("-7 строк изменино");
    }

    void rowsChangedMessage()
    {
        QFETCH(qint64, n);
        QFETCH(QString, message);
        QCOMPARE(TScriptRoutinesController::RowsChangedMessage(n), message);
    }

    void tabsAndEditorStayInStep()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        TMainForm &form = fixture.Form();
        QStringList asked;
        fixture.Ui().SaveChangesHook = [&asked](const QString &Name) {
            asked << Name;
            return TSaveChangesAnswer::Discard;
        };
        QVERIFY(!form.ScriptMemo->isVisible());
        QVERIFY(!form.TabControl->isEnabled());

        form.NewEmptyAction->trigger();
        QVERIFY(form.ScriptMemo->isVisible());
        QVERIFY(form.TabControl->isEnabled());
        form.ScriptMemo->setText(QStringLiteral("SELECT 1\r\nSELECT 2"));
        QCOMPARE(ScriptManager()->Current()->Lines, QStringList({QStringLiteral("SELECT 1"), QStringLiteral("SELECT 2")}));

        form.NewEmptyAction->trigger();
        QCOMPARE(form.TabControl->count(), 2);
        QCOMPARE(form.TabControl->currentIndex(), 1);
        QCOMPARE(form.TabControl->tabText(1), QStringLiteral("(Без имени)"));
        QVERIFY(form.ScriptMemo->text().isEmpty());
        form.ScriptMemo->setText(QStringLiteral("PRINT 'b'"));

        // The user picks the first tab: the editor shows its text again.
        form.TabControl->setCurrentIndex(0);
        QCOMPARE(ScriptManager()->ItemIndex(), 0);
        QCOMPARE(form.ScriptMemo->text(), QStringLiteral("SELECT 1\r\nSELECT 2\r\n"));
        QCOMPARE(ScriptManager()->Items(1)->Lines, QStringList{QStringLiteral("PRINT 'b'")});
        QVERIFY(!form.ScriptMemo->isUndoAvailable()); // another script's edits are not undone here

        // Middle button over the other tab closes the current one (the first).
        const QPoint overSecond = form.TabControl->tabRect(1).center();
        QTest::mouseRelease(form.TabControl, Qt::MiddleButton, {}, overSecond);
        QCOMPARE(ScriptManager()->Count(), 1);
        QCOMPARE(form.ScriptMemo->text(), QStringLiteral("PRINT 'b'\r\n"));
        QTest::mouseRelease(form.TabControl, Qt::RightButton, {}, form.TabControl->tabRect(0).center());
        QCOMPARE(ScriptManager()->Count(), 1);

        // Ctrl+W closes the last script: the editor goes.
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.ScriptMemo, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(ScriptManager()->Count(), 0);
        QCOMPARE(form.TabControl->count(), 0);
        QVERIFY(!form.ScriptMemo->isVisible());
        QVERIFY(!form.TabControl->isEnabled());
        QCOMPARE(asked.size(), 2); // both scripts held typed text
    }

    // Closing a script whose text no file holds asks first; the answer
    // decides whether it is saved, dropped, or stays open.
    void closingUnsavedTextAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("giveFileName");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("written");
        QTest::newRow("save") << int(TSaveChangesAnswer::Save) << true << true << true;
        QTest::newRow("save, file dialog cancelled") << int(TSaveChangesAnswer::Save) << false << false << false;
        QTest::newRow("discard") << int(TSaveChangesAnswer::Discard) << true << true << false;
        QTest::newRow("cancel") << int(TSaveChangesAnswer::Cancel) << true << false << false;
    }

    void closingUnsavedTextAsks()
    {
        QFETCH(int, answer);
        QFETCH(bool, giveFileName);
        QFETCH(bool, closed);
        QFETCH(bool, written);
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        const QString path = m_files.filePath(QStringLiteral("unsaved-%1.sql").arg(QTest::currentDataTag()));
        QFile::remove(path);
        QStringList asked;
        fixture.Ui().SaveChangesHook = [&](const QString &Name) {
            asked << Name;
            return TSaveChangesAnswer(answer);
        };
        fixture.Ui().SaveFileNameHook = [&](const QString &, const QString &) {
            return giveFileName ? path : QString();
        };
        fixture.Form().NewEmptyAction->trigger();
        fixture.Form().ScriptMemo->setText(QStringLiteral("SELECT 1"));
        fixture.Form().CloseCurretnTabAction->trigger();
        QCOMPARE(asked, QStringList{QStringLiteral("(Без имени)")});
        QCOMPARE(ScriptManager()->Count(), closed ? 0 : 1);
        QCOMPARE(QFile::exists(path), written);
        if (written)
            QCOMPARE(ReadBytes(path), QByteArray("SELECT 1\r\n"));
    }

    // Nothing to lose: an empty new script, a file as read, a file as saved.
    void closingSavedTextAsksNothing()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        int asked = 0;
        fixture.Ui().SaveChangesHook = [&asked](const QString &) {
            ++asked;
            return TSaveChangesAnswer::Cancel;
        };
        fixture.Form().NewEmptyAction->trigger();
        fixture.Form().CloseCurretnTabAction->trigger();
        QCOMPARE(ScriptManager()->Count(), 0);

        const QString path = WriteFile(QStringLiteral("as-read.sql"), "SELECT 1\r\n");
        fixture.Ui().OpenFileNameHook = [path](const QString &) { return path; };
        fixture.Form().OpenAction->trigger();
        fixture.Form().CloseCurretnTabAction->trigger();
        QCOMPARE(ScriptManager()->Count(), 0);

        fixture.Form().OpenAction->trigger();
        fixture.Form().ScriptMemo->append(QStringLiteral("SELECT 2"));
        const QString copy = m_files.filePath(QStringLiteral("as-saved.sql"));
        fixture.Ui().SaveFileNameHook = [copy](const QString &, const QString &) { return copy; };
        fixture.Form().SaveAsAction->trigger();
        fixture.Form().CloseCurretnTabAction->trigger();
        QCOMPARE(ScriptManager()->Count(), 0);
        QCOMPARE(asked, 0);

        // An edit after opening is unsaved again.
        fixture.Form().OpenAction->trigger();
        fixture.Form().ScriptMemo->append(QStringLiteral("SELECT 3"));
        fixture.Form().CloseCurretnTabAction->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(ScriptManager()->Count(), 1);
    }

    // Closing the window asks about each unsaved script; "Отмена" keeps the
    // window open, saving an opened file writes it back in place.
    void closingTheWindowAsksForEachUnsavedScript()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        TMainForm &form = fixture.Form();
        const QString path = WriteFile(QStringLiteral("window.sql"), "SELECT 1\r\n");
        fixture.Ui().OpenFileNameHook = [path](const QString &) { return path; };
        form.OpenAction->trigger();
        form.ScriptMemo->append(QStringLiteral("SELECT 2"));
        form.NewEmptyAction->trigger(); // empty: not asked about
        form.NewEmptyAction->trigger();
        form.ScriptMemo->setText(QStringLiteral("PRINT 'x'"));

        QStringList asked;
        QList<TSaveChangesAnswer> answers{TSaveChangesAnswer::Save, TSaveChangesAnswer::Cancel};
        fixture.Ui().SaveChangesHook = [&](const QString &Name) {
            asked << Name + QLatin1Char('@') + QString::number(ScriptManager()->ItemIndex());
            return answers.takeFirst();
        };
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QCOMPARE(asked, QStringList({QStringLiteral("window.sql@0"), QStringLiteral("(Без имени)@2")}));
        QCOMPARE(ReadBytes(path), QByteArray("SELECT 1\r\nSELECT 2\r\n"));
        QCOMPARE(ScriptManager()->Count(), 3);

        asked.clear();
        answers = {TSaveChangesAnswer::Discard};
        QVERIFY(form.close());
        QCOMPARE(asked, QStringList{QStringLiteral("(Без имени)@2")});
    }

    // Qt's own dialogs (file dialogs, message box buttons) speak the
    // workbench's language, not the desktop's.
    void standardDialogsSpeakRussian()
    {
        QVERIFY(InstallRussianQtTranslation());
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(buttons.button(QDialogButtonBox::Save)->text(), QStringLiteral("Сохранить"));
    }

    // Keys typed after "new" or "open" belong in the new script, not in the
    // database box that had the focus (typing there switches databases).
    void aNewOrOpenedScriptTakesTheFocus()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        TMainForm &form = fixture.Form();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.DataBasesComboBoxEx->setFocus();
        QTRY_VERIFY(form.DataBasesComboBoxEx->hasFocus());
        QTest::keyClick(form.DataBasesComboBoxEx, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(ScriptManager()->Count(), 1);
        QTRY_VERIFY(form.ScriptMemo->hasFocus());

        form.DataBasesComboBoxEx->setFocus();
        QTRY_VERIFY(form.DataBasesComboBoxEx->hasFocus());
        const QString path = WriteFile(QStringLiteral("focus.sql"), "SELECT 1\r\n");
        fixture.Ui().OpenFileNameHook = [path](const QString &) { return path; };
        form.OpenAction->trigger();
        QCOMPARE(ScriptManager()->Count(), 2);
        QTRY_VERIFY(form.ScriptMemo->hasFocus());
    }

    // "Скрипт для нескольких таблиц…" sits in "Файл" and under "Новый", shows
    // Ctrl+Alt+N, and the key runs the command from anywhere in the window.
    void severalTablesCommandHasMenusAndShortCut()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        TMainForm &form = fixture.Form();
        int runs = 0;
        form.OnCreateSeveralTablesScript = [&runs] { ++runs; };
        QCOMPARE(form.CreateSeveralTablesScriptAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+N")));
        const auto entryOf = [](const QMenu *menu) -> QAction * {
            for (QAction *entry : menu->actions())
                if (entry->iconText() == QStringLiteral("Скрипт для нескольких таблиц…"))
                    return entry;
            return nullptr;
        };
        auto *file = form.findChild<QMenu *>(QStringLiteral("FileMenuItem"));
        QVERIFY(file);
        for (const QMenu *menu : {static_cast<const QMenu *>(file), static_cast<const QMenu *>(form.NewPopupMenu)}) {
            QAction *entry = entryOf(menu);
            QVERIFY2(entry, qPrintable(menu->objectName()));
            entry->trigger();
        }
        QCOMPARE(runs, 2);
        QVERIFY(entryOf(file)->text().contains(QStringLiteral("Ctrl+Alt+N")));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.ScriptMemo->setFocus();
        QTest::keyClick(form.ScriptMemo, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(runs, 3);
        // The table wizard's key stays its own.
        QTest::keyClick(form.ScriptMemo, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(runs, 3);
    }

    void openingTheSamePathTwiceGivesOneTab()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        const QString path = WriteFile(QStringLiteral("same.sql"), "SELECT 1\r\n");
        fixture.Ui().OpenFileNameHook = [path](const QString &) { return path; };
        fixture.Form().OpenAction->trigger();
        fixture.Form().ScriptMemo->append(QStringLiteral("-- edited"));
        fixture.Form().NewEmptyAction->trigger();
        fixture.Form().OpenAction->trigger();
        QCOMPARE(ScriptManager()->Count(), 2);
        QCOMPARE(ScriptManager()->ItemIndex(), 0);
        QCOMPARE(fixture.Form().TabControl->tabText(0), QStringLiteral("same.sql"));
        QVERIFY(fixture.Form().ScriptMemo->text().contains(QStringLiteral("-- edited")));
        QCOMPARE(HistoryManager()->Count(), 1);
    }

    void scriptFilesHonourByteOrderMarks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + QStringLiteral("SELECT 'Ж'\r\nGO").toUtf8();
        QByteArray utf16("\xFF\xFE", 2);
        const QString text = QStringLiteral("SELECT 'Ж'\nGO");
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        QTest::newRow("UTF-16 mark, lone LF") << utf16;
    }

    void scriptFilesHonourByteOrderMarks()
    {
        QFETCH(QByteArray, bytes);
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        const QString path = WriteFile(QStringLiteral("marked.sql"), bytes);
        std::unique_ptr<TScript> script = ScriptRoutinesController().LoadScript(path);
        QVERIFY(script);
        QCOMPARE(script->Lines, QStringList({QStringLiteral("SELECT 'Ж'"), QStringLiteral("GO")}));
        QVERIFY(!ScriptRoutinesController().LoadScript(m_files.filePath(QStringLiteral("missing.sql"))));
    }

    void historyMenusListNewestFirst()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        TMainForm &form = fixture.Form();
        QVERIFY(!form.HistoryMenuItem->isEnabled());
        QVERIFY(form.HistoryMenuItem->actions().isEmpty());
        QVERIFY(form.ToolBarOpenPopupMenu->actions().isEmpty());

        const QString a = WriteFile(QStringLiteral("a.sql"), "-- a\r\n");
        const QString b = WriteFile(QStringLiteral("b & c.sql"), "-- b\r\n");
        const QString c = WriteFile(QStringLiteral("c.sql"), "-- c\r\n");
        for (const QString &path : {a, b, c}) {
            fixture.Ui().OpenFileNameHook = [path](const QString &) { return path; };
            form.OpenAction->trigger();
        }
        QVERIFY(form.HistoryMenuItem->isEnabled());
        for (QMenu *menu : {form.HistoryMenuItem, form.ToolBarOpenPopupMenu}) {
            const QList<QAction *> entries = menu->actions();
            QCOMPARE(entries.size(), 3);
            QCOMPARE(entries.at(0)->text(), c);
            QCOMPARE(entries.at(1)->text(), QString(b).replace(QLatin1Char('&'), QStringLiteral("&&")));
            QCOMPARE(entries.at(2)->text(), a);
        }
        // Choosing b (index 1) opens it and moves it to the newest place
        // while its own menu entry is being replaced.
        form.CloseCurretnTabAction->trigger(); // c
        form.CloseCurretnTabAction->trigger(); // b
        QCOMPARE(ScriptManager()->Count(), 1);
        form.ToolBarOpenPopupMenu->actions().at(1)->trigger();
        QCOMPARE(ScriptManager()->Current()->FileName, b);
        QCOMPARE(form.HistoryMenuItem->actions().at(0)->text(), QString(b).replace(QLatin1Char('&'), QStringLiteral("&&")));

        // A file that is gone is skipped silently and keeps its entry.
        QVERIFY(QFile::remove(a));
        QStringList errors;
        const TErrorDisplay previous = SetErrorDisplay([&errors](const QString &message) { errors << message; });
        form.HistoryMenuItem->actions().last()->trigger();
        SetErrorDisplay(previous);
        QVERIFY(errors.isEmpty());
        QCOMPARE(ScriptManager()->Count(), 2);
        QCOMPARE(HistoryManager()->Count(), 3);
    }

    void saveAsAppendsSqlOnlyWithoutExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no extension") << "report" << "report.sql";
        QTest::newRow("own extension") << "report.txt" << "report.txt";
        QTest::newRow("dot in a folder name only") << "dir.d/report" << "dir.d/report.sql";
    }

    void saveAsAppendsSqlOnlyWithoutExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        QDir(m_files.path()).mkpath(QStringLiteral("dir.d"));
        fixture.Form().NewEmptyAction->trigger();
        fixture.Form().ScriptMemo->setText(QStringLiteral("SELECT 1\nSELECT 'Ж'"));
        QString proposed;
        fixture.Ui().SaveFileNameHook = [&](const QString &, const QString &name) {
            proposed = name;
            return m_files.filePath(typed);
        };
        fixture.Form().SaveAsAction->trigger();
        QCOMPARE(proposed, QStringLiteral("(Без имени)"));
        const QString path = m_files.filePath(saved);
        QCOMPARE(ReadBytes(path), (QStringLiteral("SELECT 1\r\nSELECT 'Ж'\r\n")).toLocal8Bit());
        QCOMPARE(fixture.Form().TabControl->tabText(0), QFileInfo(path).fileName());
        QCOMPARE(ScriptManager()->Current()->FileName, path);
        QCOMPARE(HistoryManager()->Count(), 0); // saving does not add to the history
    }

    // Saving over another existing file asks first; "no" leaves both the
    // file and the script as they were. The script's own file is not asked.
    void saveAsOverAnExistingFileAsks()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        const QString other = WriteFile(QStringLiteral("other.sql"), "PRINT 'keep me'\r\n");
        fixture.Form().NewEmptyAction->trigger();
        fixture.Form().ScriptMemo->setText(QStringLiteral("SELECT 1"));
        QString target = other;
        fixture.Ui().SaveFileNameHook = [&](const QString &, const QString &) { return target; };
        QStringList asked;
        bool replace = false;
        fixture.Ui().ReplaceFileHook = [&](const QString &FileName) {
            asked << FileName;
            return replace;
        };

        fixture.Form().SaveAsAction->trigger();
        QCOMPARE(asked, QStringList{other});
        QCOMPARE(ReadBytes(other), QByteArray("PRINT 'keep me'\r\n"));
        QCOMPARE(ScriptManager()->Current()->Name, QStringLiteral("(Без имени)"));

        replace = true;
        fixture.Form().SaveAsAction->trigger();
        QCOMPARE(ReadBytes(other), QByteArray("SELECT 1\r\n"));
        QCOMPARE(ScriptManager()->Current()->FileName, other);

        asked.clear();
        fixture.Form().ScriptMemo->setText(QStringLiteral("SELECT 1\r\nSELECT 2"));
        fixture.Form().SaveAsAction->trigger(); // its own file again
        QVERIFY(asked.isEmpty());
        QCOMPARE(ReadBytes(other), QByteArray("SELECT 1\r\nSELECT 2\r\n"));
    }

    void failedSaveIsShownAndKeepsTheName()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        fixture.Form().NewEmptyAction->trigger();
        fixture.Ui().SaveFileNameHook = [&](const QString &, const QString &) {
            return m_files.filePath(QStringLiteral("no-such-folder/x.sql"));
        };
        QStringList errors;
        const TErrorDisplay previous = SetErrorDisplay([&errors](const QString &message) { errors << message; });
        fixture.Form().SaveAsAction->trigger();
        SetErrorDisplay(previous);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(ScriptManager()->Current()->Name, QStringLiteral("(Без имени)"));
        QVERIFY(ScriptManager()->Current()->FileName.isEmpty());
    }

    void executeReportsChangedRows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QColor>("color");
        QTest::newRow("0") << 0 << QStringLiteral("Ничего не изменилось") << QColor(0, 0, 255);
        QTest::newRow("1") << 1 << QStringLiteral("Одна строка изменина") << QColor(0, 128, 0);
        QTest::newRow("4") << 4 << QStringLiteral("Четыри строки изменино") << QColor(0, 128, 0);
        QTest::newRow("5") << 5 << QStringLiteral("5 строк изменино") << QColor(0, 128, 0);
    }

    void executeReportsChangedRows()
    {
        QFETCH(int, rows);
        QFETCH(QString, message);
        QFETCH(QColor, color);
        WorkbenchFixture fixture;
        Connect(fixture);
        // Two statements: the counts are added up (rows split 2 + rest).
        const QString table = QStringLiteral("t%1").arg(rows);
        QStringList script{QStringLiteral("CREATE TABLE %1 (id int)").arg(table)};
        for (int i = 0; i < rows; ++i)
            script << QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table).arg(i);
        Execute(fixture, script.join(QStringLiteral("\r\n")));
        const QStringList lines = LogLines(fixture.Form());
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).endsWith(QLatin1Char(' ') + message), qPrintable(lines.at(0)));
        QCOMPARE(LogLineColor(fixture.Form(), message), color);
        QVERIFY(!fixture.Form().ResultDBGrid->isVisible());
    }

    void executeReportsErrorsAndPrints()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        Execute(fixture, QStringLiteral("PRINT 'hello from the server'\r\nSELECT * FROM no_such_table"));
        const QStringList lines = LogLines(fixture.Form());
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(0).endsWith(QStringLiteral(" hello from the server")));
        QCOMPARE(LogLineColor(fixture.Form(), QStringLiteral("hello from the server")), QColor(0, 0, 255));
        QVERIFY2(lines.at(1).contains(QStringLiteral(" Ошибка 208")), qPrintable(lines.at(1)));
        QVERIFY(lines.at(1).contains(QStringLiteral("no_such_table")));
        QCOMPARE(LogLineColor(fixture.Form(), QStringLiteral("Ошибка 208")), QColor(255, 0, 0));
        QVERIFY(lines.at(2).endsWith(QStringLiteral(" Ошибка")));
        // The next run starts with an empty log.
        Execute(fixture, QStringLiteral("PRINT 'again'"));
        QCOMPARE(LogLines(fixture.Form()).size(), 2);
    }

    void executeShowsTheLastResultSet()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        Execute(fixture, QStringLiteral("SELECT 1 AS a\r\nSELECT 'x' AS name, NULL AS missing"));
        QTableView *grid = fixture.Form().ResultDBGrid;
        QVERIFY(grid->isVisible());
        QAbstractItemModel *model = grid->model();
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("name"));
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("x"));
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("NULL"));
        QVERIFY(fixture.Form().ResultColorRichEdit->isVisible());
        // A run without rows drops them and hides the grid.
        Execute(fixture, QStringLiteral("PRINT 'no rows'"));
        QVERIFY(!grid->isVisible());
        QCOMPARE(grid->model()->rowCount(), 0);
    }

    // The server goes away and comes back on the same port: one run fails,
    // the next one works again without reconnecting by hand.
    void executeRecoversAfterTheServerCameBack()
    {
        auto first = std::make_unique<TestServer>();
        QVERIFY2(first->start(), qPrintable(first->errorText()));
        const int port = first->port();
        WorkbenchFixture fixture;
        {
            ModalScript answers({LoginWith(first->dataSource(), QStringLiteral("sa"),
                                           QString::fromLatin1(TestServer::password))});
            fixture.Form().show();
            QVERIFY(answers.Done());
        }
        Execute(fixture, QStringLiteral("SELECT 1"));
        QVERIFY2(LogLines(fixture.Form()).last().endsWith(QStringLiteral("Ничего не изменилось")),
                 qPrintable(LogLines(fixture.Form()).join(QLatin1Char('\n'))));

        first.reset();
        Execute(fixture, QStringLiteral("SELECT 1"));
        QVERIFY2(LogLines(fixture.Form()).last().endsWith(
                     QStringLiteral("Связь с сервером прервана; следующее выполнение откроет её заново.")),
                 qPrintable(LogLines(fixture.Form()).join(QLatin1Char('\n'))));

        TestServer second({QStringLiteral("--port"), QString::number(port)});
        QVERIFY2(second.start(), qPrintable(second.errorText()));
        Execute(fixture, QStringLiteral("SELECT 1"));
        QVERIFY2(LogLines(fixture.Form()).last().endsWith(QStringLiteral("Ничего не изменилось")),
                 qPrintable(LogLines(fixture.Form()).join(QLatin1Char('\n'))));
    }

    void executeWithoutConnectionLogsTheErrorClass()
    {
        WorkbenchFixture fixture;
        StartWithoutConnecting(fixture);
        Execute(fixture, QStringLiteral("SELECT 1"));
        const QStringList lines = LogLines(fixture.Form());
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).endsWith(QLatin1Char(')')), qPrintable(lines.at(0)));
        QVERIFY(lines.at(0).contains(QStringLiteral(" (E")));
        QCOMPARE(LogLineColor(fixture.Form(), lines.at(0).mid(lines.at(0).indexOf(QLatin1Char(' ')) + 1)),
                 QColor(255, 0, 0));
    }
};

QTEST_MAIN(TestScripts)
#include "tst_scripts.moc"
