// The rows part of a data script on its own: where a batch ends (its rows,
// its characters as the server counts them), when an automatic script stops
// being one batch, and batches shared by the rows of several tables.

#include "ScriptFixture.h"
#include "ScriptPlan.h"
#include "ScriptRows.h"

#include <QTest>

namespace {

// One table of one nvarchar column, every row holding Value.
struct TOneColumn
{
    std::unique_ptr<TTable> table;
    TScriptPlan plan;
    TMemoryRowSet rows;

    TOneColumn(const QString &name, const QString &value, int n)
        : table(MakeTable(name, {{"V", XType::NVarChar, 100}})),
          plan(*table),
          rows({QStringLiteral("V")}, QList<QList<QVariant>>(n, {value}))
    {
    }

    [[nodiscard]] TRowHolder holder() const
    {
        return {table->Name, plan.Variable, QStringLiteral("#") + table->Name,
                plan.VariableList.join(QStringLiteral(", "))};
    }
    // What one row takes of a batch, in characters: its INSERT and the empty
    // line after it, each with its CR LF.
    [[nodiscard]] qint64 rowChars(const TScriptRows &out, const QString &value) const
    {
        return QString::fromUtf8(out.InsertHead(holder())).size() + QStringLiteral("N'%1');").arg(value).size() + 4;
    }
};

// A run of the rows writer into lines.
struct TRun
{
    QStringList lines;
    TScriptLinesCollector sink{lines};
    TScriptBuildControl control;
    QStringList opened; // the tables whose rows were opened, in that order

    TRun() { control.Now = FixedNow(); }

    // Declares as the builders do: a batched script's first batch ends there.
    void hook(TScriptRows &out)
    {
        out.Declare = [&out] {
            if (out.Shape() == rsBatched) {
                out.Add(QStringLiteral("CREATE"));
                out.EndBatch();
            } else {
                out.Add(QStringLiteral("DECLARE"));
            }
        };
        out.OpenRows = [this](const TRowHolder &holder) { opened << holder.Table; };
    }

    // The INSERTs of every batch (the first of a batched script creates the
    // temporary tables), each as the first letter of the table it goes into.
    [[nodiscard]] QStringList batches() const
    {
        QStringList out{QString()};
        for (const QString &item : lines) {
            if (item == QLatin1String("GO"))
                out.append(QString());
            else if (item.startsWith(QLatin1String("INSERT INTO ")))
                out.last() += item.at(QLatin1String("INSERT INTO @").size());
        }
        return out;
    }
};

bool writeAll(TScriptRows &out, TRowHolder &holder, TOneColumn &table)
{
    QString missing;
    const std::vector<TRowField> fields = RowFields(table.plan, table.rows, missing);
    return missing.isEmpty() && out.Write(holder, table.rows, fields, QString(), [](qint64) {});
}

} // namespace

class TestScriptRows : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }

    void batchEnds_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("batchRows");
        // BatchChars as rows of the table plus characters; 0 rows: the default
        QTest::addColumn<int>("charRows");
        QTest::addColumn<int>("charsMore");
        QTest::addColumn<QStringList>("batches");
        const QString ascii = QStringLiteral("abc");
        QTest::newRow("exactly the rows") << ascii << 4 << 2 << 0 << 0 << QStringList{"", "NN", "NN", ""};
        QTest::newRow("a row more") << ascii << 5 << 2 << 0 << 0 << QStringList{"", "NN", "NN", "N", ""};
        QTest::newRow("exactly the characters") << ascii << 5 << 100 << 2 << 0 << QStringList{"", "NN", "NN", "N", ""};
        QTest::newRow("a character short") << ascii << 3 << 100 << 2 << -1 << QStringList{"", "N", "N", "N", ""};
        QTest::newRow("a character to spare") << ascii << 3 << 100 << 2 << 1 << QStringList{"", "NN", "N", ""};
        QTest::newRow("a row longer than a batch") << ascii << 2 << 100 << 1 << -1 << QStringList{"", "N", "N", ""};
        // the server counts characters, not the bytes of UTF-8
        QTest::newRow("cyrillic") << QStringLiteral("жжжжжжжжжжжж") << 5 << 100 << 2 << 0
                                  << QStringList{"", "NN", "NN", "N", ""};
        // a character beyond the BMP is two UTF-16 units
        QTest::newRow("surrogate pairs") << QString::fromUtf8("😀😀😀😀") << 3 << 100 << 2 << -1
                                         << QStringList{"", "N", "N", "N", ""};
        QTest::newRow("no rows") << ascii << 0 << 2 << 0 << 0 << QStringList{"", ""};
    }
    void batchEnds()
    {
        QFETCH(QString, value);
        QFETCH(int, rows);
        QFETCH(int, batchRows);
        QFETCH(int, charRows);
        QFETCH(int, charsMore);
        QFETCH(QStringList, batches);
        TOneColumn table(QStringLiteral("Notes"), value, rows);
        TRun run;
        TScriptRows out(run.sink, run.control, batchRows);
        run.hook(out);
        out.Holders.push_back(table.holder());
        if (charRows > 0)
            run.control.BatchChars = charRows * table.rowChars(out, value) + charsMore;
        out.Declare();
        QVERIFY(writeAll(out, out.Holders.front(), table));
        out.EndRows();
        QCOMPARE(run.batches(), batches);
        QCOMPARE(out.Holders.front().Rows, qint64(rows));
    }

    void automaticSize_data()
    {
        QTest::addColumn<int>("rows");
        // AutomaticBatchChars as the rows and the footer plus characters
        QTest::addColumn<int>("charsMore");
        // said before the rows: the least they take, as AutomaticBatchChars
        // plus characters
        QTest::addColumn<bool>("least");
        QTest::addColumn<int>("leastMore");
        QTest::addColumn<bool>("batched");
        QTest::newRow("exactly fits") << 4 << 0 << false << 0 << false;
        QTest::newRow("a character over") << 4 << -1 << false << 0 << true;
        QTest::newRow("over on the first row") << 1 << -1 << false << 0 << true;
        QTest::newRow("no rows") << 0 << 0 << false << 0 << false;
        // the least the rows take passes the size before any is held back
        QTest::newRow("least passes") << 4 << 0 << true << 1 << true;
        QTest::newRow("least fits") << 4 << 0 << true << 0 << false;
    }
    void automaticSize()
    {
        QFETCH(int, rows);
        QFETCH(int, charsMore);
        QFETCH(bool, least);
        QFETCH(int, leastMore);
        QFETCH(bool, batched);
        const QString value = QStringLiteral("Строка");
        TOneColumn table(QStringLiteral("Notes"), value, rows);
        TRun run;
        TScriptRows out(run.sink, run.control, BatchRowsAutomatic);
        run.hook(out);
        out.Holders.push_back(table.holder());
        out.FooterChars = 100;
        const qint64 row = table.rowChars(out, value);
        // the size of the footer plus one row when there are none
        run.control.AutomaticBatchChars = qMax(rows, 1) * row + out.FooterChars + charsMore;
        QCOMPARE(out.Shape(), rsUndecided);
        if (least)
            out.BatchIfPast(run.control.AutomaticBatchChars + leastMore);
        QVERIFY(writeAll(out, out.Holders.front(), table));
        out.KeepOneBatch();
        out.EndRows();
        QCOMPARE(out.Shape(), batched ? rsBatched : rsOneBatch);
        // declared once, then every row once, into the table the shape takes
        QCOMPARE(run.lines.count(batched ? QStringLiteral("CREATE") : QStringLiteral("DECLARE")), 1);
        QCOMPARE(run.lines.count(batched ? QStringLiteral("DECLARE") : QStringLiteral("CREATE")), 0);
        const QString into = QStringLiteral("INSERT INTO %1(").arg(out.Source(out.Holders.front()));
        QCOMPARE(run.lines.filter(QLatin1String("INSERT INTO ")).size(), rows);
        QCOMPARE(run.lines.filter(into).size(), rows);
        QCOMPARE(run.lines.contains(QStringLiteral("GO")), batched);
        QCOMPARE(out.Holders.front().Rows, qint64(rows));
    }

    // Rows of several tables share the batches; each table's rows are opened
    // before they go out and counted on their own.
    void tablesShareBatches_data()
    {
        QTest::addColumn<qint64>("batchRows");
        QTest::addColumn<QStringList>("batches");
        QTest::newRow("batched") << qint64(2) << QStringList{"", "AA", "AB", "B", ""};
        QTest::newRow("automatic, one batch") << BatchRowsAutomatic << QStringList{"AAABB"};
    }
    void tablesShareBatches()
    {
        QFETCH(qint64, batchRows);
        QFETCH(QStringList, batches);
        TOneColumn a(QStringLiteral("Alpha"), QStringLiteral("a"), 3);
        TOneColumn b(QStringLiteral("Beta"), QStringLiteral("b"), 2);
        TRun run;
        TScriptRows out(run.sink, run.control, batchRows);
        run.hook(out);
        out.Holders.push_back(a.holder());
        out.Holders.push_back(b.holder());
        if (out.Shape() != rsUndecided)
            out.Declare();
        QVERIFY(writeAll(out, out.Holders[0], a));
        QVERIFY(writeAll(out, out.Holders[1], b));
        out.KeepOneBatch();
        out.EndRows();
        QCOMPARE(run.batches(), batches);
        QCOMPARE(run.opened, (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));
        QCOMPARE(out.Holders[0].Rows, qint64(3));
        QCOMPARE(out.Holders[1].Rows, qint64(2));
        // the rows of each table in its own holder, in order
        const QStringList inserts = run.lines.filter(QLatin1String("INSERT INTO "));
        QCOMPARE(inserts.size(), 5);
        for (int i = 0; i < 5; ++i)
            QVERIFY(inserts.at(i).startsWith(QStringLiteral("INSERT INTO %1(")
                                                 .arg(out.Source(out.Holders[i < 3 ? 0 : 1]))));
    }
};

QTEST_GUILESS_MAIN(TestScriptRows)
#include "tst_scriptrows.moc"
