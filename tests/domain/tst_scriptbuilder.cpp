#include "ScriptFixture.h"

#include <QTest>

namespace {
// n rows of one int column, made up on the fly.
class TCountingRowSet : public TRowSet
{
public:
    explicit TCountingRowSet(qint64 n) : m_n(n) {}
    qint64 RecordCount() override { return m_n; }
    [[nodiscard]] bool Eof() const override { return m_pos >= m_n; }
    void Next() override { ++m_pos; }
    [[nodiscard]] int FieldCount() const override { return 1; }
    [[nodiscard]] QString FieldName(int) const override { return QStringLiteral("Id"); }
    [[nodiscard]] bool IsNull(int) const override { return false; }
    [[nodiscard]] QString AsString(int) const override { return QString::number(m_pos); }
    [[nodiscard]] qint64 AsInteger(int) const override { return m_pos; }

private:
    qint64 m_n;
    qint64 m_pos = 0;
};

class TNullSink : public TScriptLineSink
{
public:
    void AddLine(const QString &) override { ++count; }
    qint64 count = 0;
};

QList<QList<QVariant>> intRows(int n)
{
    QList<QList<QVariant>> rows;
    for (int i = 0; i < n; ++i)
        rows.append({QString::number(i + 1), QStringLiteral("x")});
    return rows;
}

std::unique_ptr<TTable> pairTable(bool keyId = true)
{
    return MakeTable(QStringLiteral("Pairs"), {{"Id", XType::Int, 4, false, true, keyId}, {"Name", XType::VarChar, 10}});
}

const QStringList pairFields = {QStringLiteral("Id"), QStringLiteral("Name")};
} // namespace

class TestScriptBuilder : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }

    void workedExample()
    {
        TGoodsFixture goods;
        const TBuildResult result = RunBuild(*goods.table, goods.rows);
        QCOMPARE(result.outcome.Outcome, goComplete);
        QCOMPARE(result.text(), WorkedExampleText());
        QCOMPARE(result.lines.size(), 31);
        QCOMPARE(result.lines.at(11),
                 QStringLiteral("INSERT INTO @GoodsTempTable(Id1, Title1, Price1, Created1) \r\n"
                                "  VALUES(1, 'Tea', 2.5, CONVERT(DATETIME, '01.03.2004 10:00:00',105));"));
        const TReports expected = {{0, QStringLiteral("Формирую заголовок.")},
                                   {1, QStringLiteral("Формирую заголовок.")},
                                   {1, RowText(2, 1)},
                                   {50, RowText(2, 2)},
                                   {99, QStringLiteral("Формирую „подвал“»")},
                                   {100, QStringLiteral("Скрипт создан.")}};
        QCOMPARE(result.reports, expected);
        // the nickname is not filled in behind the caller's back
        QVERIFY(goods.table->Nickname.isEmpty());
    }

    void rowReports_data()
    {
        QTest::addColumn<int>("rows");
        for (int n : {0, 1, 2, 3, 49, 97, 98})
            QTest::addRow("%d rows", n) << n;
    }
    void rowReports()
    {
        // up to 98 rows every row is reported, with 1 + floor(98k/N)
        QFETCH(int, rows);
        auto table = pairTable();
        TMemoryRowSet rowSet(pairFields, intRows(rows));
        const TBuildResult result = RunBuild(*table, rowSet);
        QList<int> expected = {0, 1};
        for (int k = 0; k < rows; ++k)
            expected.append(1 + (98 * k) / rows);
        expected << 99 << 100;
        QCOMPARE(result.percents(), expected);
        for (int k = 0; k < rows; ++k)
            QCOMPARE(result.reports.at(2 + k).second, RowText(rows, k + 1));
    }

    void manyRowsAreReportedOncePerPercent()
    {
        const qint64 n = 200000;
        auto table = MakeTable(QStringLiteral("Big"), {{"Id", XType::Int, 4}});
        TCountingRowSet rowSet(n);
        TNullSink sink;
        QList<QPair<int, QString>> reports;
        TScriptBuildControl control;
        control.Progress = [&](int p, const QString &t) { reports.append({p, t}); };
        TParseSettings oneBatch;
        oneBatch.SetBatchRows(0);
        QCOMPARE(BuildScript(*table, rowSet, &oneBatch, sink, control).Outcome, goComplete);
        // 98 percents, the last row once more, and the four fixed reports
        QVERIFY(reports.size() <= 103);
        QCOMPARE(reports.at(2), qMakePair(1, QStringLiteral("Формирую данные. Всего строк в таблице: 200000. "
                                                            "Сформировано строк: 1. Осталось сформировать: 199999.")));
        QCOMPARE(reports.at(reports.size() - 3).second,
                 QStringLiteral("Формирую данные. Всего строк в таблице: 200000. Сформировано строк: 200000. "
                                "Осталось сформировать: 0."));
        QCOMPARE(reports.at(reports.size() - 3).first, RowPercent(n - 1, n));
        // one report per percent; only the last row may repeat one
        for (int i = 3; i < reports.size() - 3; ++i)
            QVERIFY(reports.at(i).first > reports.at(i - 1).first);
        QVERIFY(reports.at(reports.size() - 3).first >= reports.at(reports.size() - 4).first);
        // two items a row, the fixed ones, and the note that a script
        // without keys and without delete changes nothing
        QCOMPARE(sink.count, 2 * n + 20);
    }

    void emptyTable()
    {
        auto table = pairTable();
        TMemoryRowSet rowSet(pairFields, {});
        const TBuildResult result = RunBuild(*table, rowSet);
        QCOMPARE(result.percents(), QList<int>({0, 1, 99, 100}));
        QVERIFY(!result.text().contains(QStringLiteral("INSERT INTO @PairsTempTable")));
        QVERIFY(result.lines.contains(QStringLiteral("DECLARE @PairsTempTable TABLE (Id1 int, Name1 varchar(10));")));
        QVERIFY(result.text().contains(QStringLiteral("INSERT INTO Pairs(Id, Name) \r\n")));
    }

    // After the delete every carried row goes in, unmatched.
    void noKeyWithDeleteInsertsEveryRow()
    {
        auto table = pairTable(false);
        TMemoryRowSet rowSet(pairFields, intRows(2));
        const TBuildResult result = RunBuild(*table, rowSet, true);
        QCOMPARE(result.outcome.Outcome, goComplete);
        const int del = int(result.lines.indexOf(QStringLiteral("DELETE FROM Pairs;")));
        QVERIFY(del > 0);
        QCOMPARE(result.lines.at(del + 2), QStringLiteral("INSERT INTO Pairs(Id, Name) \r\n  SELECT Id1, Name1 FROM @PairsTempTable"));
        QVERIFY(!result.text().contains(QStringLiteral("UPDATE")));
        QVERIFY(!result.text().contains(QStringLiteral("NOT EXISTS")));
        QVERIFY(!result.text().contains(QStringLiteral("ничего не меняет")));
    }

    // Without keys and without delete the script says it changes nothing,
    // and writes nothing to the target (not even identity statements).
    void noKeyNoDeleteSaysSo()
    {
        auto table = MakeTable(QStringLiteral("Pairs"), {{"Id", XType::Int, 4, true}, {"Name", XType::VarChar, 10}});
        TMemoryRowSet rowSet(pairFields, intRows(2));
        const TBuildResult result = RunBuild(*table, rowSet);
        QCOMPARE(result.outcome.Outcome, goComplete);
        const int declare = int(result.lines.indexOf(QStringLiteral("DECLARE @PairsTempTable TABLE (Id1 int, Name1 varchar(10));")));
        QCOMPARE(result.lines.at(declare - 1),
                 QStringLiteral("--Ключевые столбцы не выбраны и удаление строк не задано: скрипт только заполняет "
                                "табличную переменную и ничего не меняет в таблице.--"));
        for (const char *absent : {"INSERT INTO Pairs", "UPDATE", "DELETE", "IDENTITY_INSERT", "CHECKIDENT"})
            QVERIFY2(!result.text().contains(QLatin1String(absent)), absent);
    }

    void deleteComesBeforeIdentityAndUpdate()
    {
        TGoodsFixture goods;
        const TBuildResult result = RunBuild(*goods.table, goods.rows, true);
        int lastRow = -1;
        for (int i = 0; i < result.lines.size(); ++i)
            if (result.lines.at(i).startsWith(QStringLiteral("INSERT INTO @")))
                lastRow = i;
        // Between the rows and the DELETE: the check that every row reached
        // the table variable.
        const QStringList guard = RowCountGuard(QStringLiteral("@GoodsTempTable"), goods.rows.RecordCount(), QStringLiteral("Goods"));
        QCOMPARE(result.lines.mid(lastRow + 2, guard.size()), guard);
        const int del = int(result.lines.indexOf(QStringLiteral("DELETE FROM Goods;")));
        QCOMPARE(del, lastRow + 2 + guard.size() + 1);
        QCOMPARE(result.lines.at(del + 1), QStringLiteral("SET IDENTITY_INSERT Goods ON;"));
        QVERIFY(result.lines.at(del + 3).startsWith(QStringLiteral("UPDATE Goods \r\n")));
    }

    void allColumnsKeysCommentsTheUpdateOut()
    {
        auto table = MakeTable(QStringLiteral("Links"), {{"A", XType::Int, 4, false, true, true}, {"B", XType::Int, 4, false, true, true}});
        TMemoryRowSet rowSet({QStringLiteral("A"), QStringLiteral("B")}, {{QString("1"), QString("2")}});
        const TBuildResult result = RunBuild(*table, rowSet);
        const int update = int(result.lines.indexOf(QStringLiteral("UPDATE Links \r\n  SET  \r\n  FROM @LinksTempTable AS T \r\n  WHERE (A = T.A1) AND (B = T.B1);")));
        QVERIFY(update > 2);
        QCOMPARE(result.lines.at(update - 2), QStringLiteral("/*"));
        QCOMPARE(result.lines.at(update - 1), QStringLiteral("--Выражение SET пустое, поэтому блок UPDATE закомментирован.--"));
        QCOMPARE(result.lines.at(update + 1), QStringLiteral("*/"));
        QCOMPARE(result.lines.at(update + 3),
                 QStringLiteral("INSERT INTO Links(A, B) \r\n  SELECT A1, B1 FROM @LinksTempTable AS T\r\n"
                                "  WHERE NOT EXISTS(SELECT * FROM Links WHERE (A = T.A1) AND (B = T.B1))"));
    }

    void nicknameAddressesTheTarget()
    {
        TGoodsFixture goods;
        goods.table->Nickname = QStringLiteral("dbo.Goods2");
        const QString text = RunBuild(*goods.table, goods.rows, true).text();
        for (const char *piece : {"DELETE FROM dbo.Goods2;", "SET IDENTITY_INSERT dbo.Goods2 ON;", "UPDATE dbo.Goods2 \r\n",
                                  "INSERT INTO dbo.Goods2(Id,", "SELECT * FROM dbo.Goods2 WHERE",
                                  "SET IDENTITY_INSERT dbo.Goods2 OFF;", "DBCC CHECKIDENT(N'dbo.Goods2', RESEED);",
                                  "DECLARE @GoodsTempTable", "--Script for table „Goods“ end.--"})
            QVERIFY2(text.contains(QString::fromUtf8(piece)), piece);
    }

    void tableWithoutDataBase()
    {
        TGoodsFixture goods;
        goods.table->DataBase = nullptr;
        const TBuildResult result = RunBuild(*goods.table, goods.rows);
        QCOMPARE(result.lines.at(3), QString());
        QCOMPARE(result.lines.at(4), QStringLiteral("Used table „Goods“"));
    }

    // A value comes from the row set field of its column's name, whatever
    // the fields' order and whichever columns the rows hold besides.
    void valuesComeFromTheFieldOfTheColumnsName()
    {
        auto table = MakeTable(QStringLiteral("T3"), {{"A", XType::Int, 4, false, false}, {"B", XType::Int, 4, false, true, true},
                                                    {"C", XType::VarChar, 5}});
        TMemoryRowSet rowSet({QStringLiteral("c"), QStringLiteral("Extra"), QStringLiteral("B")},
                             {{QString("three"), QString("x"), QString("2")}});
        const TBuildResult result = RunBuild(*table, rowSet);
        QCOMPARE(result.outcome.Outcome, goComplete);
        QVERIFY(result.lines.contains(QStringLiteral("INSERT INTO @T3TempTable(B1, C1) \r\n  VALUES(2, 'three');")));
    }

    void missingFieldFailsBeforeWriting()
    {
        TGoodsFixture goods;
        TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("Title"), QStringLiteral("Price")},
                           {{QString("1"), QString("Tea"), QString("2,5")}});
        const TBuildResult result = RunBuild(*goods.table, rows);
        QCOMPARE(result.outcome.Outcome, goFailed);
        QVERIFY2(result.outcome.Reason.contains(QLatin1String("Created")), qPrintable(result.outcome.Reason));
        QVERIFY(result.lines.isEmpty());
        QVERIFY(result.reports.isEmpty());
    }

    // A stop ends the generation without a script: not even the closing
    // statements are written, and no "script created" report comes.
    void stopAfterTheFirstRowBreaksOff()
    {
        TGoodsFixture goods;
        const TBuildResult result = RunBuild(*goods.table, goods.rows, false, [] { return true; });
        QCOMPARE(result.outcome.Outcome, goBrokenOff);
        QCOMPARE(result.percents(), QList<int>({0, 1, 1}));
        QVERIFY(!result.text().contains(QStringLiteral("UPDATE")));
        QVERIFY(!result.text().contains(QStringLiteral("end.--")));
        QCOMPARE(goods.rows.Position(), 1);
    }

    // A stop that comes while the last row is read still breaks off: the
    // rows may have been cut short by a cancelled read.
    void stopWithTheLastRowBreaksOff()
    {
        TGoodsFixture goods;
        int polls = 0;
        const TBuildResult result = RunBuild(*goods.table, goods.rows, false, [&polls] { return ++polls >= 2; });
        QCOMPARE(result.outcome.Outcome, goBrokenOff);
        QVERIFY(!result.text().contains(QStringLiteral("UPDATE")));
    }

    // A read that fails is a failure with the row set's reason, unless a
    // stop was asked for: then the read was cancelled on purpose.
    void readErrorEnds_data()
    {
        QTest::addColumn<bool>("stopAsked");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::newRow("lost connection") << false << int(goFailed) << "connection lost";
        QTest::newRow("read cancelled by a stop") << true << int(goBrokenOff) << "";
    }
    void readErrorEnds()
    {
        QFETCH(bool, stopAsked);
        QFETCH(int, outcome);
        QFETCH(QString, reason);
        TGoodsFixture goods;
        goods.rows.FailAtRow = 1;
        const TBuildResult result = RunBuild(*goods.table, goods.rows, false, [stopAsked] { return stopAsked; });
        QCOMPARE(int(result.outcome.Outcome), outcome);
        QCOMPARE(result.outcome.Reason, reason);
        QVERIFY(!result.percents().contains(99));
        QVERIFY(!result.text().contains(QStringLiteral("UPDATE")));
    }
};

QTEST_GUILESS_MAIN(TestScriptBuilder)
#include "tst_scriptbuilder.moc"
