// Running scripts off the GUI thread against the test server: the window
// stays live during a long batch, Stop ends it and the session goes on, a
// second F5 is refused, closing asks and stops; GO batches with counts,
// errors mid-way and GO inside literals and comments.
#include "WorkbenchFixture.h"

#include "DataFacade.h"
#include "Domain.h"
#include "MainForm.h"
#include "ScriptManager.h"
#include "ScriptRoutinesController.h"
#include "TestServer.h"
#include "WorkbenchUi.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

namespace {

const QString longBatch = QStringLiteral("WAITFOR DELAY '00:00:05'");

// The log's lines without their time prefix.
QStringList LogTexts(TMainForm &Form)
{
    QStringList texts;
    for (const QString &line : LogLines(Form))
        texts << line.mid(line.indexOf(QLatin1Char(' ')) + 1);
    return texts;
}

} // namespace

class TestExecution : public QObject
{
    Q_OBJECT

    TestServer m_server;

    void Connect(WorkbenchFixture &Fixture)
    {
        ModalScript answers({LoginWith(m_server.dataSource(), QStringLiteral("sa"),
                                       QString::fromLatin1(TestServer::password))});
        Fixture.Form().show();
        QVERIFY(answers.Done());
        QVERIFY(!Fixture.Form().TerminateRequested());
    }

    // Starts Text and returns at once, the run going on.
    static void Start(WorkbenchFixture &Fixture, const QString &Text)
    {
        ScriptManager()->AddScriptFromText(Text);
        Fixture.Form().ExecuteAction->trigger();
    }

private slots:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorText())); }

    // F5 on a five-second batch returns at once and the event loop turns
    // (a timer ticks) while it runs; Stop ends it within a second, the log
    // says so, and the next F5 works on the same session.
    void stopEndsALongBatchAndTheSessionGoesOn()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        TMainForm &form = fixture.Form();
        QVERIFY(!form.StopAction->isEnabled());
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(10);

        QElapsedTimer started;
        started.start();
        Start(fixture, QStringLiteral("PRINT 'before'\r\n") + longBatch);
        QVERIFY(ScriptIsExecuting());
        QVERIFY(form.StopAction->isEnabled());
        QVERIFY(!form.DataBasesComboBoxEx->isEnabled());
        QTRY_VERIFY(ticks >= 10);
        QTRY_COMPARE(ScriptRoutinesController().ExecutingBatch(), 1);
        QVERIFY(ScriptIsExecuting());

        QElapsedTimer stopping;
        stopping.start();
        form.StopAction->trigger();
        QVERIFY(WaitForExecution(5000));
        const qint64 stopMs = stopping.elapsed();
        qInfo("stopped %lld ms after Stop, %lld ms after F5", stopMs, started.elapsed());
        QVERIFY2(stopMs < 1000, qPrintable(QString::number(stopMs)));
        QCOMPARE(LogTexts(form).last(), QStringLiteral("Выполнение остановлено (строки 1–2)."));
        QCOMPARE(LogLineColor(form, QStringLiteral("Выполнение остановлено")), QColor(255, 0, 0));
        QVERIFY(!form.StopAction->isEnabled());
        QVERIFY(form.DataBasesComboBoxEx->isEnabled());

        Start(fixture, QStringLiteral("CREATE TABLE after_stop (id int)\r\nINSERT INTO after_stop VALUES (1)"));
        QVERIFY(WaitForExecution());
        QCOMPARE(LogTexts(form), QStringList{QStringLiteral("Одна строка изменина")});
    }

    void secondStartIsRefused()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        TMainForm &form = fixture.Form();
        Start(fixture, longBatch);
        QVERIFY(ScriptIsExecuting());
        form.ExecuteAction->trigger();
        QVERIFY2(form.StatusBar1->currentMessage().startsWith(QStringLiteral("Скрипт ещё выполняется")),
                 qPrintable(form.StatusBar1->currentMessage()));
        QVERIFY(LogLines(form).isEmpty()); // the running script's log is left alone

        // The commands that need the connection wait for the script too:
        // no login dialog, no wizard, no error box.
        int wizards = 0;
        form.OnCreateOneTableScript = [&wizards] { ++wizards; };
        form.OnCreateSeveralTablesScript = [&wizards] { ++wizards; };
        form.StatusBar1->clearMessage();
        {
            ModalScript none({});
            form.ConnectToServerAction->trigger();
            form.CreateOneTableScriptAction->trigger();
            form.CreateSeveralTablesScriptAction->trigger();
            // A dialog would be modal inside trigger(), and refused there.
            QVERIFY(none.Done());
        }
        QCOMPARE(wizards, 0);
        QVERIFY(form.StatusBar1->currentMessage().startsWith(QStringLiteral("Скрипт ещё выполняется")));
        form.StopAction->trigger();
        QVERIFY(WaitForExecution());
    }

    // Closing the running script asks; "no" leaves it running, "yes" stops
    // it and closes it. Closing the window does the same.
    void closingWhileRunningAsksAndStops()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        TMainForm &form = fixture.Form();
        fixture.Ui().SaveChangesHook = [](const QString &) { return TSaveChangesAnswer::Discard; };
        QStringList asked;
        bool stop = false;
        fixture.Ui().StopExecutionHook = [&](const QString &Name) {
            asked << Name;
            return stop;
        };
        Start(fixture, longBatch);
        form.CloseCurretnTabAction->trigger();
        QCOMPARE(asked, QStringList{QStringLiteral("(Без имени)")});
        QVERIFY(ScriptIsExecuting());
        QCOMPARE(ScriptManager()->Count(), 1);

        stop = true;
        QElapsedTimer closing;
        closing.start();
        form.CloseCurretnTabAction->trigger();
        QVERIFY(closing.elapsed() < 4000); // the batch did not run out by itself
        QVERIFY(!ScriptIsExecuting());
        QCOMPARE(ScriptManager()->Count(), 0);

        asked.clear();
        Start(fixture, longBatch);
        QVERIFY(form.close());
        QCOMPARE(asked.size(), 1);
        QVERIFY(!ScriptIsExecuting());
    }

    // Another script's tab closes without a question.
    void closingAnotherScriptAsksNothing()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        int asked = 0;
        fixture.Ui().StopExecutionHook = [&asked](const QString &) {
            ++asked;
            return true;
        };
        fixture.Form().NewEmptyAction->trigger();
        Start(fixture, longBatch);
        ScriptManager()->SetItemIndex(0);
        fixture.Form().CloseCurretnTabAction->trigger();
        QCOMPARE(asked, 0);
        QVERIFY(ScriptIsExecuting());
        fixture.Form().StopAction->trigger();
        QVERIFY(WaitForExecution());
    }

    void goBatches_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("counts") << QStringLiteral("CREATE TABLE g1 (id int)\r\ngo\r\nINSERT INTO g1 VALUES (1)\r\n  GO 3  \r\n"
                                                  "SELECT COUNT(*) AS n FROM g1")
                                << QStringList{"Пакет 1 (строка 1): Ничего не изменилось",
                                               "Пакет 2 (строка 3, 3 раза): Три строки изменино",
                                               "Пакет 3 (строка 5): Ничего не изменилось",
                                               "Итого: пакетов выполнено 3 из 3, с ошибками 0, строк изменено 3."};
        QTest::newRow("an error mid-way") << QStringLiteral("CREATE TABLE g2 (id int)\r\nGO\r\n\r\n"
                                                           "INSERT INTO g2 VALUES (1)\r\nINSERT INTO nosuch VALUES (1)\r\nGO\r\n"
                                                           "INSERT INTO g2 VALUES (2)\r\nINSERT INTO g2 VALUES (3)")
                                          << QStringList{"Пакет 1 (строка 1): Ничего не изменилось",
                                                         "Ошибка 208, пакет со строки 4: Invalid object name 'nosuch'.",
                                                         "Пакет 2 (строки 4–5): Ошибка",
                                                         "Пакет 3 (строки 7–8): Две строки изменино",
                                                         "Итого: пакетов выполнено 3 из 3, с ошибками 1, строк изменено 3."};
        QTest::newRow("GO in literals and comments")
            << QStringLiteral("CREATE TABLE g3 (v varchar(40))\r\nINSERT INTO g3 VALUES ('a\r\nGO\r\nb')\r\n"
                              "/* a comment\r\nGO\r\n/* nested\r\nGO\r\n*/\r\nGO\r\n*/\r\n-- GO\r\n"
                              "INSERT INTO g3 VALUES ('[\r\nGO\r\n]')\r\nGO\r\nSELECT v FROM g3")
            << QStringList{"Пакет 1 (строки 1–15): Две строки изменино", "Пакет 2 (строка 17): Ничего не изменилось",
                           "Итого: пакетов выполнено 2 из 2, с ошибками 0, строк изменено 2."};
        QTest::newRow("a count of nought")
            << QStringLiteral("PRINT 'x'\r\nGO 0\r\nPRINT 'y'\r\nGO")
            << QStringList{"Неверное число повторений в строке 2: «GO 0».", "Пакет 1 (строка 1): не выполнен", "y",
                           "Пакет 2 (строка 3): Ничего не изменилось",
                           "Итого: пакетов выполнено 2 из 2, с ошибками 1, строк изменено 0."};
        // The table variable's rows are told apart from the table's.
        QTest::newRow("table and table variable")
            << QStringLiteral("CREATE TABLE g4 (id int)\r\nGO\r\nDECLARE @t TABLE (id int)\r\n"
                              "INSERT INTO @t VALUES (1)\r\nINSERT INTO @t VALUES (2)\r\n"
                              "INSERT INTO g4 SELECT id FROM @t AS T WHERE id > 1")
            << QStringList{"Пакет 1 (строка 1): Ничего не изменилось",
                           "Пакет 2 (строки 3–6): Строк изменено в таблицах: 1; во временных таблицах и табличных "
                           "переменных: 2.",
                           "Итого: пакетов выполнено 2 из 2, с ошибками 0, строк изменено в таблицах 1, во временных "
                           "таблицах и табличных переменных 2."};
        QTest::newRow("only a table variable")
            << QStringLiteral("DECLARE @t TABLE (id int)\r\nINSERT INTO @t VALUES (1)\r\nUPDATE T SET id = 2 FROM @t AS T")
            << QStringList{"Строк изменено в таблицах: 0; во временных таблицах и табличных переменных: 2."};
        // IF: which statements ran cannot be told from the text.
        QTest::newRow("no split under IF")
            << QStringLiteral("CREATE TABLE g5 (id int)\r\nGO\r\nIF 1 = 1 INSERT INTO g5 VALUES (5)\r\n"
                              "DECLARE @u TABLE (id int)\r\nINSERT INTO @u VALUES (1)")
            << QStringList{"Пакет 1 (строка 1): Ничего не изменилось", "Пакет 2 (строки 3–5): Две строки изменино",
                           "Итого: пакетов выполнено 2 из 2, с ошибками 0, строк изменено 2."};
        QTest::newRow("nothing to run") << QStringLiteral("-- only a comment\r\n\r\n")
                                        << QStringList{"Ничего не изменилось"};
        QTest::newRow("only GO lines") << QStringLiteral("GO\r\nGO 2")
                                       << QStringList{"Итого: пакетов выполнено 0 из 0, с ошибками 0, строк изменено 0."};
        QTest::newRow("one batch, no GO") << QStringLiteral("PRINT 'one'\r\nSELECT * FROM nowhere")
                                          << QStringList{"one", "Ошибка 208, пакет со строки 1: Invalid object name 'nowhere'.",
                                                         "Ошибка"};
    }

    void goBatches()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, log);
        WorkbenchFixture fixture;
        Connect(fixture);
        Start(fixture, script);
        QVERIFY(WaitForExecution());
        QCOMPARE(LogTexts(fixture.Form()), log);
    }

    // The last result set of the script is shown, whichever batch gave it;
    // a literal holding GO reaches the server whole.
    void goBatchesShowTheLastRows()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        Start(fixture, QStringLiteral("SELECT 'first' AS a\r\nGO\r\nSELECT 'x\r\nGO\r\ny' AS b\r\nGO\r\nPRINT 'done'"));
        QVERIFY(WaitForExecution());
        QAbstractItemModel *rows = fixture.Form().ResultDBGrid->model();
        QVERIFY(fixture.Form().ResultDBGrid->isVisible());
        QCOMPARE(rows->headerData(0, Qt::Horizontal).toString(), QStringLiteral("b"));
        QCOMPARE(rows->index(0, 0).data().toString(), QStringLiteral("x\r\nGO\r\ny"));
    }

    // A stop between the runs of "GO n" ends the run of that batch.
    void stopInsideARepeatedBatch()
    {
        WorkbenchFixture fixture;
        Connect(fixture);
        Start(fixture, QStringLiteral("PRINT 'one'\r\nGO\r\n") + longBatch + QStringLiteral("\r\nGO 20\r\nPRINT 'never'"));
        QTRY_COMPARE(ScriptRoutinesController().ExecutingBatch(), 2);
        QVERIFY2(fixture.Form().StatusBar1->currentMessage() == QStringLiteral("Выполняется пакет 2 из 3 (строка 3)…"),
                 qPrintable(fixture.Form().StatusBar1->currentMessage()));
        fixture.Form().StopAction->trigger();
        QVERIFY(WaitForExecution());
        const QStringList texts = LogTexts(fixture.Form());
        QVERIFY2(texts.contains(QStringLiteral("Выполнение остановлено в пакете 2 (строка 3).")),
                 qPrintable(texts.join(QLatin1Char('\n'))));
        QCOMPARE(texts.last(), QStringLiteral("Итого: пакетов выполнено 2 из 3, с ошибками 0, строк изменено 0."));
        QVERIFY(!texts.contains(QStringLiteral("never")));
    }
};

QTEST_MAIN(TestExecution)
#include "tst_execution.moc"
