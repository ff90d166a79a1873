// Row sets and script execution over ODBC against quorvane-testserver: the
// text form of every column type, streaming with a known count, and what a
// script run brings back (counts, messages, errors, the last result set);
// the cut at GO lines, a batch stopped from another thread, the connection
// lent to a worker, and a catalogue read from a stalled server.

#include "DataFacade.h"
#include "LocaleFormat.h"
#include "OdbcCore.h"
#include "TestServer.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

class TestScriptExec : public QObject
{
    Q_OBJECT

    TestServer m_server;
    TDataAccessFacade m_facade;
    bool m_engine = false;
    QChar m_savedSeparator;

    TScriptResult run(const QString &text, int maxRows = TScriptCommand::DefaultMaxRows)
    {
        TScript script;
        script.Lines = text.split(QLatin1Char('\n'));
        return m_facade.MakeScriptCommand(&script)->Execute(maxRows);
    }

    bool setUp(const QString &text)
    {
        const TScriptResult result = run(text);
        if (result.HasErrors())
            qWarning("set-up failed: %s", qPrintable(result.FirstError()));
        return !result.HasErrors();
    }

    std::unique_ptr<TRowSet> rowsOf(const QString &name)
    {
        TTable table(name, soUserTable, 1);
        auto rowSet = m_facade.OpenTableRows(&table);
        if (!rowSet)
            qWarning("cannot open %s: %s", qPrintable(name), qPrintable(m_facade.LastOpenError()));
        return rowSet;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_savedSeparator = DecimalSeparator();
        SetDecimalSeparator(QLatin1Char(','));
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        m_facade.SetDriver(QStringLiteral("FreeTDS"));
        m_facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        const TSQLServer server(m_server.dataSource());
        m_facade.SetServer(&server);
        try {
            m_engine = !run(QStringLiteral("SELECT 1")).HasErrors();
        } catch (const EDataAccessError &) {
            m_engine = false;
        }
        QVERIFY2(m_engine, "the test server answers no query");
        if (m_engine) {
            QVERIFY(setUp(QStringLiteral("CREATE DATABASE gamma")));
            m_facade.UseDataBase(QStringLiteral("gamma"));
        }
    }

    void cleanupTestCase() { SetDecimalSeparator(m_savedSeparator); }

    void splitAtGoLines_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("batches"); // "first-last xCount" each
        QTest::addColumn<bool>("separated");
        QTest::newRow("no GO") << "SELECT 1\nSELECT 2" << QStringList{"1-2 x1"} << false;
        QTest::newRow("any case, blanks, count, comment")
            << "a\n  go  \nb\nGo 12\nc\nGO -- done\nd" << QStringList{"1-1 x1", "3-3 x12", "5-5 x1", "7-7 x1"}
            << true;
        QTest::newRow("blank lines trimmed") << "\n\na\n\nGO\n\nb\n\n" << QStringList{"3-3 x1", "7-7 x1"} << true;
        QTest::newRow("empty batches left out") << "GO\nGO\n-- only a comment\nGO\nx" << QStringList{"5-5 x1"} << true;
        QTest::newRow("in a string") << "SELECT 'a\nGO\nb'\nGO\nc" << QStringList{"1-3 x1", "5-5 x1"} << true;
        QTest::newRow("doubled quote") << "SELECT 'it''s\nGO\n'\nGO" << QStringList{"1-3 x1"} << true;
        QTest::newRow("quoted and bracketed names") << "SELECT \"a\nGO\" FROM [b\nGO\n]]]\nGO\nx"
                                                  << QStringList{"1-4 x1", "6-6 x1"} << true;
        QTest::newRow("nested block comment") << "/* a\n/* b\nGO\n*/\nGO\n*/\nx\nGO\ny"
                                             << QStringList{"1-7 x1", "9-9 x1"} << true;
        QTest::newRow("line comment hides an opener") << "x -- /*\nGO\ny" << QStringList{"1-1 x1", "3-3 x1"} << true;
        QTest::newRow("not alone on its line") << "GO x\nxGO\nSELECT 1 GO" << QStringList{"1-3 x1"} << false;
        QTest::newRow("count of nought") << "a\nGO 0\nb" << QStringList{"1-1 x0", "3-3 x1"} << true;
        QTest::newRow("count too large") << "a\nGO 2147483648" << QStringList{"1-1 x0"} << true;
    }

    void splitAtGoLines()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, batches);
        QFETCH(bool, separated);
        const TScriptBatches split = SplitScriptBatches(script.split(QLatin1Char('\n')));
        QStringList seen;
        for (const TScriptBatch &batch : split.Batches) {
            seen << QStringLiteral("%1-%2 x%3").arg(batch.FirstLine).arg(batch.LastLine).arg(batch.Count);
            QCOMPARE(batch.Error.isEmpty(), batch.Count > 0);
            if (batch.Count > 0)
                QCOMPARE(batch.Text, QStringList(script.split(QLatin1Char('\n')).mid(batch.FirstLine - 1,
                                                                                        batch.LastLine - batch.FirstLine + 1))
                                         .join(QStringLiteral("\r\n"))
                                         + QStringLiteral("\r\n"));
        }
        QCOMPARE(seen, batches);
        QCOMPARE(split.Separated, separated);
    }

    // Cut from a text, a batch keeps each line's own line break: a bare LF
    // or CR inside a value reaches the server as it was written.
    void splitTextKeepsLineBreaks_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("batches");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("bare LF and CR in values")
            << QStringLiteral("INSERT INTO t VALUES('a\nb')\r\nGO\r\nSELECT 'c\rd'\r\nSELECT 1")
            << QStringList{"1-2", "4-6"}
            << QStringList{QStringLiteral("INSERT INTO t VALUES('a\nb')\r\n"), QStringLiteral("SELECT 'c\rd'\r\nSELECT 1\r\n")};
        QTest::newRow("GO after a bare LF") << QStringLiteral("x\nGO\ny\n") << QStringList{"1-1", "3-3"}
                                            << QStringList{QStringLiteral("x\n"), QStringLiteral("y\n")};
        QTest::newRow("a bare LF line of a literal that reads as GO")
            << QStringLiteral("SELECT 'a\nGO\nb'\r\n") << QStringList{"1-3"} << QStringList{QStringLiteral("SELECT 'a\nGO\nb'\r\n")};
    }
    void splitTextKeepsLineBreaks()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, batches);
        QFETCH(QStringList, texts);
        const TScriptBatches split = SplitScriptText(script);
        QStringList seen, seenTexts;
        for (const TScriptBatch &batch : split.Batches) {
            seen << QStringLiteral("%1-%2").arg(batch.FirstLine).arg(batch.LastLine);
            seenTexts << batch.Text;
        }
        QCOMPARE(seen, batches);
        QCOMPARE(seenTexts, texts);
    }

    // A batch waiting on the server is stopped from another thread: the
    // run says so, and the lent connection works on when it comes back.
    void cancelStopsAWaitingBatch()
    {
        TLentConnection lent = m_facade.LendConnection();
        QVERIFY(m_facade.ConnectionLent());
        if (!lent.Connection) {
            lent.Connection = std::make_shared<odbc::Connection>();
            lent.Connection->open(lent.ConnectionText, lent.LoginTimeout);
        }
        auto cancel = std::make_shared<TStatementCancel>();
        TScriptResult result;
        std::atomic<bool> done{false};
        QElapsedTimer timer;
        timer.start();
        std::thread worker([&] {
            result = RunBatch(*lent.Connection, QStringLiteral("WAITFOR DELAY '00:00:30'\r\nPRINT 'late'"), 10,
                              cancel.get());
            done = true;
        });
        // As the window's Stop does: again until the run has ended.
        while (!done) {
            cancel->Cancel();
            QTest::qWait(50);
        }
        worker.join();
        QVERIFY(result.Cancelled);
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(result.Messages.isEmpty());
        m_facade.TakeBackConnection(std::move(lent));
        QVERIFY(!m_facade.ConnectionLent());
        const TScriptResult after = run(QStringLiteral("PRINT 'still here'"));
        QVERIFY(!after.HasErrors());
        QCOMPARE(after.Messages.value(0).Text, QStringLiteral("still here"));
    }

    // While a worker holds the connection, nothing else may use it.
    void lentConnectionRefusesOtherWork()
    {
        TLentConnection lent = m_facade.LendConnection();
        QVERIFY_THROWS_EXCEPTION(EDataAccessError, (void)m_facade.GetTables(nullptr));
        QVERIFY_THROWS_EXCEPTION(EDataAccessError, m_facade.UseDataBase(QStringLiteral("master")));
        QVERIFY_THROWS_EXCEPTION(EDataAccessError, (void)m_facade.LendConnection());
        QVERIFY_THROWS_EXCEPTION(EDataAccessError, run(QStringLiteral("SELECT 1")));
        m_facade.TakeBackConnection(std::move(lent));
        QVERIFY(!run(QStringLiteral("SELECT 1")).HasErrors());
    }

    // A stalled server (stopped with SIGSTOP) fails a catalogue read after
    // the query timeout with a Russian message, instead of holding the
    // caller for ever; once it runs again, so do the reads.
    void stalledServerTimesOut()
    {
        QVERIFY(!run(QStringLiteral("SELECT 1")).HasErrors()); // the connection is open
        m_facade.SetQueryTimeout(1);
        struct Resume
        {
            TestServer &Server;
            ~Resume() { Server.resume(); }
        } resume{m_server};
        QVERIFY(m_server.suspend());
        QElapsedTimer timer;
        timer.start();
        QString message;
        try {
            (void)m_facade.GetTables(nullptr);
        } catch (const EQueryTimeout &error) {
            message = error.Message();
        }
        qInfo("the read gave up after %lld ms", timer.elapsed());
        QVERIFY2(message.startsWith(QStringLiteral("Сервер не ответил за 1 с.")), qPrintable(message));
        QVERIFY(timer.elapsed() < 20000);
        m_server.resume();
        m_facade.SetQueryTimeout(-1);
        QVERIFY_THROWS_NO_EXCEPTION((void)m_facade.GetTables(nullptr)); // on a fresh connection
        QVERIFY(!run(QStringLiteral("SELECT 1")).HasErrors());
    }

    void textFormOfEveryType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("text");
        QTest::newRow("tinyint") << "tinyint" << "255" << "255";
        QTest::newRow("smallint") << "smallint" << "-32768" << "-32768";
        QTest::newRow("int") << "int" << "2147483647" << "2147483647";
        QTest::newRow("bigint") << "bigint" << "-9223372036854775807" << "-9223372036854775807";
        QTest::newRow("bit") << "bit" << "1" << "1";
        QTest::newRow("decimal") << "decimal(18,4)" << "12345.6700" << "12345,67";
        QTest::newRow("decimal whole") << "decimal(18,4)" << "3.0000" << "3";
        QTest::newRow("numeric negative") << "numeric(10,2)" << "-0.50" << "-0,5";
        QTest::newRow("decimal 38") << "decimal(38,10)" << "-1234567890123456789012345678.0123456789"
                                    << "-1234567890123456789012345678,0123456789";
        QTest::newRow("money") << "money" << "922337203685477.5807" << "922337203685477,5807";
        QTest::newRow("money cents") << "money" << "12.5" << "12,5";
        QTest::newRow("smallmoney") << "smallmoney" << "-214748.3648" << "-214748,3648";
        QTest::newRow("real") << "real" << "0.1" << "0,1";
        QTest::newRow("float") << "float" << "1.7976931348623157E+308" << "1,7976931348623157E+308";
        QTest::newRow("float tenth") << "float" << "0.1" << "0,1";
        QTest::newRow("datetime") << "datetime" << "CONVERT(DATETIME, '19.06.1992 22:22:17.997',105)"
                                  << "19.06.1992 22:22:17.997";
        QTest::newRow("datetime whole") << "datetime" << "CONVERT(DATETIME, '01.01.1753 00:00:00',105)"
                                        << "01.01.1753 00:00:00";
        QTest::newRow("smalldatetime") << "smalldatetime" << "CONVERT(DATETIME, '03.02.2001 04:05',105)"
                                       << "03.02.2001 04:05:00";
        QTest::newRow("char") << "char(5)" << "'ab'" << "ab   ";
        QTest::newRow("varchar") << "varchar(10)" << "'O''Brien'" << "O'Brien";
        QTest::newRow("varchar empty") << "varchar(10)" << "''" << "";
        QTest::newRow("text long") << "text" << QStringLiteral("'%1'").arg(QString(5000, QLatin1Char('x')))
                                   << QString(5000, QLatin1Char('x'));
        QTest::newRow("nchar") << "nchar(3)" << QStringLiteral("N'я'") << QStringLiteral("я  ");
        QTest::newRow("nvarchar") << "nvarchar(20)" << QStringLiteral("N'Привет, мир'") << QStringLiteral("Привет, мир");
        QTest::newRow("ntext long") << "ntext" << QStringLiteral("N'%1'").arg(QString(3000, QChar(0x0436)))
                                    << QString(3000, QChar(0x0436));
        QTest::newRow("binary") << "binary(4)" << "0x01020304" << "01020304";
        QTest::newRow("varbinary") << "varbinary(4)" << "0xABCD" << "ABCD";
        QTest::newRow("image") << "image" << "0x00FF" << "00FF";
        QTest::newRow("uniqueidentifier") << "uniqueidentifier" << "'6f9619ff-8b86-d011-b42d-00c04fc964ff'"
                                          << "6F9619FF-8B86-D011-B42D-00C04FC964FF";
    }

    void textFormOfEveryType()
    {
        QFETCH(QString, type);
        QFETCH(QString, literal);
        QFETCH(QString, text);
        const QString table = QStringLiteral("t_%1").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
        QVERIFY(setUp(QStringLiteral("CREATE TABLE %1 (v %2 NULL)\nINSERT INTO %1 (v) VALUES (%3)\nINSERT INTO %1 (v) VALUES (NULL)")
                          .arg(table, type, literal)));
        auto rowSet = rowsOf(table);
        QVERIFY(rowSet);
        QCOMPARE(rowSet->RecordCount(), qint64(2));
        QCOMPARE(rowSet->FieldCount(), 1);
        QCOMPARE(rowSet->FieldName(0), QStringLiteral("v"));
        QVERIFY(!rowSet->Eof());
        QVERIFY(!rowSet->IsNull(0));
        QCOMPARE(rowSet->AsString(0), text);
        rowSet->Next();
        QVERIFY(!rowSet->Eof());
        QVERIFY(rowSet->IsNull(0));
        rowSet->Next();
        QVERIFY(rowSet->Eof());
    }

    void fieldsByNameAndAsInteger()
    {
        QVERIFY(setUp(QStringLiteral("CREATE TABLE named (Id int NOT NULL, Title varchar(10) NULL, Amount decimal(9,2) NULL)\n"
                                     "INSERT INTO named (Id, Title, Amount) VALUES (42, '17', 3.00)")));
        auto rowSet = rowsOf(QStringLiteral("named"));
        QVERIFY(rowSet);
        QCOMPARE(rowSet->FieldIndex(QStringLiteral("TITLE")), 1);
        QCOMPARE(rowSet->FieldIndex(QStringLiteral("missing")), -1);
        QCOMPARE(rowSet->AsInteger(0), qint64(42));
        QCOMPARE(rowSet->AsInteger(1), qint64(17));
        QCOMPARE(rowSet->AsInteger(2), qint64(3));
    }

    // The count is known before the first row, and the rows stream to the
    // end.
    void countFirstThenEveryRow()
    {
        QStringList script{QStringLiteral("CREATE TABLE many (n int NOT NULL)")};
        for (int i = 0; i < 300; ++i)
            script << QStringLiteral("INSERT INTO many (n) VALUES (%1)").arg(i);
        QVERIFY(setUp(script.join(QLatin1Char('\n'))));
        auto rowSet = rowsOf(QStringLiteral("many"));
        QVERIFY(rowSet);
        QCOMPARE(rowSet->RecordCount(), qint64(300));
        qint64 sum = 0, seen = 0;
        for (; !rowSet->Eof(); rowSet->Next(), ++seen)
            sum += rowSet->AsInteger(0);
        QCOMPARE(seen, qint64(300));
        QCOMPARE(sum, qint64(299 * 300 / 2));
        // The facade's own connection stayed free meanwhile.
        QVERIFY(!run(QStringLiteral("SELECT 1")).HasErrors());
    }

    void rowCountsAddUp()
    {
        const TScriptResult result = run(QStringLiteral("CREATE TABLE counted (a int NULL)\n"
                                                        "INSERT INTO counted (a) VALUES (1)\n"
                                                        "INSERT INTO counted (a) VALUES (2)\n"
                                                        "UPDATE counted SET a = a + 10\n"
                                                        "DELETE FROM counted WHERE a = 11"));
        QVERIFY2(!result.HasErrors(), qPrintable(result.FirstError()));
        QCOMPARE(result.StatementCounts, (QList<qint64>{1, 1, 2, 1}));
        QCOMPARE(result.RowsChanged, qint64(5));
        QVERIFY(!result.HasResultSet);
    }

    // A script that leaves NOCOUNT on must not hide the next run's counts.
    void countsSurviveNoCountLeftOn()
    {
        QVERIFY(setUp(QStringLiteral("CREATE TABLE nc (a int NULL)\nSET NOCOUNT ON")));
        const TScriptResult result = run(QStringLiteral("INSERT INTO nc (a) VALUES (1)"));
        QCOMPARE(result.RowsChanged, qint64(1));
    }

    void printMessagesAndLastResultSet()
    {
        const TScriptResult result = run(QStringLiteral("PRINT 'hello'\n"
                                                        "SELECT 1 AS x\n"
                                                        "SELECT 'a' AS y, NULL AS z\n"
                                                        "PRINT 'bye'"));
        QVERIFY2(!result.HasErrors(), qPrintable(result.FirstError()));
        QStringList texts;
        for (const TScriptMessage &message : result.Messages)
            texts << message.Text;
        QCOMPARE(texts, (QStringList{"hello", "bye"}));
        QVERIFY(result.HasResultSet);
        QCOMPARE(result.Columns, (QStringList{"y", "z"}));
        QCOMPARE(result.Rows.size(), 1);
        QCOMPARE(result.Rows[0][0], QStringLiteral("a"));
        QVERIFY(result.Rows[0][1].isNull());
        QCOMPARE(result.RowsChanged, qint64(0));
    }

    // (The line number stays 0: unixODBC does not pass the driver's
    // SQL_DIAG_SS_LINE through.)
    void errorsCarryNumberAndText()
    {
        QVERIFY(setUp(QStringLiteral("CREATE TABLE errs (a int NULL)")));
        const TScriptResult result = run(QStringLiteral("INSERT INTO errs (a) VALUES (1)\n"
                                                        "SELECT * FROM no_such_table"));
        QVERIFY(result.HasErrors());
        const auto error = std::find_if(result.Messages.begin(), result.Messages.end(),
                                        [](const TScriptMessage &m) { return m.IsError; });
        QCOMPARE(error->Number, 208);
        QCOMPARE(error->SqlState, QStringLiteral("42S02"));
        QVERIFY(error->Text.contains(QLatin1String("no_such_table")));
        QCOMPARE(result.RowsChanged, qint64(1));
    }

    void bigResultIsCut()
    {
        QVERIFY(setUp(QStringLiteral("CREATE TABLE five (a int NULL)\n"
                                     "INSERT INTO five (a) VALUES (1)\nINSERT INTO five (a) VALUES (2)\n"
                                     "INSERT INTO five (a) VALUES (3)\nINSERT INTO five (a) VALUES (4)\n"
                                     "INSERT INTO five (a) VALUES (5)")));
        const TScriptResult result = run(QStringLiteral("SELECT a FROM five"), 2);
        QCOMPARE(result.Rows.size(), 2);
        QCOMPARE(result.TotalRows, qint64(5));
    }
};

QTEST_GUILESS_MAIN(TestScriptExec)
#include "tst_scriptexec.moc"
