// Batched data scripts: a temporary table filled in GO-separated batches,
// the merge in the last batch, and values that keep every line of the
// script from reading as a batch separator.

#include "ScriptFixture.h"
#include "ScriptPlan.h"

#include <QRegularExpression>
#include <QTest>

namespace {

std::unique_ptr<TTable> notesTable()
{
    return MakeTable(QStringLiteral("Notes"),
                     {{"Id", XType::Int, 4, false, true, true}, {"Body", XType::NVarChar, -1}, {"Tag", XType::VarChar, 20}});
}

const QStringList noteFields = {QStringLiteral("Id"), QStringLiteral("Body"), QStringLiteral("Tag")};

QList<QList<QVariant>> noteRows(int n, const QString &body = QStringLiteral("text"))
{
    QList<QList<QVariant>> rows;
    for (int i = 0; i < n; ++i)
        rows.append({QString::number(i + 1), body, QStringLiteral("t%1").arg(i)});
    return rows;
}

TBuildResult build(const TTable &table, TRowSet &rows, qint64 batchRows, qint64 batchChars = 0,
                   qint64 automaticChars = 0, bool deleteTable = false)
{
    TBuildResult result;
    TParseSettings settings;
    settings.SetDeleteTable(deleteTable);
    settings.SetBatchRows(batchRows);
    TScriptLinesCollector sink(result.lines);
    TScriptBuildControl control;
    control.Now = FixedNow();
    if (batchChars > 0)
        control.BatchChars = batchChars;
    if (automaticChars > 0)
        control.AutomaticBatchChars = automaticChars;
    control.Progress = [&result](int percent, const QString &text) { result.reports.append({percent, text}); };
    result.outcome = BuildScript(table, rows, &settings, sink, control);
    return result;
}

// The script's lines as sqlcmd reads them: cut at every CR, LF or CR LF.
QStringList physicalLines(const QStringList &items)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return items.join(QStringLiteral("\r\n")).split(breaks);
}

// A line sqlcmd or tsql might take for a batch separator: "go" first.
bool looksLikeGo(const QString &line)
{
    static const QRegularExpression go(QStringLiteral("^\\s*go"), QRegularExpression::CaseInsensitiveOption);
    return go.match(line).hasMatch();
}

// The batches between GO lines, each as its items.
QList<QStringList> batches(const QStringList &items)
{
    QList<QStringList> out{{}};
    for (const QString &item : items) {
        if (item == QLatin1String("GO"))
            out.append(QStringList());
        else
            out.last().append(item);
    }
    return out;
}

int inserts(const QStringList &batch, const QString &into)
{
    int n = 0;
    for (const QString &item : batch)
        if (item.startsWith(QStringLiteral("INSERT INTO ") + into + u'('))
            ++n;
    return n;
}

qint64 characters(const QStringList &batch)
{
    qint64 n = 0;
    for (const QString &item : batch)
        n += item.size() + 2;
    return n;
}

// The value the server makes of the N'...' literal starting at From: the
// quotes undoubled, every backslash-CR-LF continuation dropped.
QString serverValue(const QString &text, qsizetype from)
{
    QString value;
    qsizetype i = text.indexOf(QStringLiteral("N'"), from) + 2;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\'') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\'') {
                value += c;
                ++i;
                continue;
            }
            break;
        }
        if (c == u'\\' && text.mid(i + 1, 2) == QLatin1String("\r\n")) {
            i += 2;
            continue;
        }
        if (c == u'\\' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            i += 1;
            continue;
        }
        value += c;
    }
    return value;
}

} // namespace

class TestBatchedScript : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }

    void rowsGoInBatchesThroughATemporaryTable_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("perBatch");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("5 by 2") << 5 << 2 << QList<int>{2, 2, 1};
        QTest::newRow("4 by 2") << 4 << 2 << QList<int>{2, 2};
        QTest::newRow("3 by 10") << 3 << 10 << QList<int>{3};
        QTest::newRow("1 by 1") << 1 << 1 << QList<int>{1};
        QTest::newRow("no rows") << 0 << 3 << QList<int>{};
    }
    void rowsGoInBatchesThroughATemporaryTable()
    {
        QFETCH(int, rows);
        QFETCH(int, perBatch);
        QFETCH(QList<int>, sizes);
        auto table = notesTable();
        TMemoryRowSet rowSet(noteFields, noteRows(rows));
        const TBuildResult result = build(*table, rowSet, perBatch, 0, 0, true);
        QCOMPARE(result.outcome.Outcome, goComplete);
        const QString temporary = TemporaryTableName(QStringLiteral("Notes"), FixedNow());
        QCOMPARE(temporary, QStringLiteral("#NotesTempTable_20040305_142007000"));
        const QList<QStringList> parts = batches(result.lines);
        // the CREATE, one batch per group of rows, the merge
        QCOMPARE(parts.size(), int(sizes.size()) + 2);
        QVERIFY(parts.first().contains(QStringLiteral("CREATE TABLE %1 (Id1 int, Body1 nvarchar(max), Tag1 varchar(20));")
                                           .arg(temporary)));
        QCOMPARE(inserts(parts.first(), temporary), 0);
        for (int k = 0; k < sizes.size(); ++k)
            QCOMPARE(inserts(parts.at(k + 1), temporary), sizes.at(k));
        // Everything that touches the target is in the last batch, which
        // drops the temporary table; no table variable anywhere.
        const QString merge = parts.last().join(QStringLiteral("\r\n"));
        QCOMPARE(inserts(parts.last(), temporary), 0);
        for (const QString &statement :
             {QStringLiteral("DELETE FROM Notes;"), QStringLiteral("FROM %1 AS T").arg(temporary),
              QStringLiteral("DROP TABLE %1;").arg(temporary)})
            QVERIFY2(merge.contains(statement), qPrintable(statement));
        QVERIFY(merge.lastIndexOf(QStringLiteral("DROP TABLE")) > merge.lastIndexOf(QStringLiteral("WHERE NOT EXISTS")));
        // The merge runs only when the temporary table holds every row.
        const QStringList guard = RowCountGuard(temporary, rows, QStringLiteral("Notes"));
        QVERIFY(merge.startsWith(QStringLiteral("\r\n") + guard.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\nDELETE FROM Notes;")));
        QVERIFY(!result.text().contains(QStringLiteral("@NotesTempTable")));
        QCOMPARE(result.percents().first(), 0);
        QCOMPARE(result.percents().last(), 100);
    }

    void automaticKeepsSmallScriptsAsTheyWere()
    {
        TGoodsFixture automatic, single;
        const TBuildResult a = build(*automatic.table, automatic.rows, BatchRowsAutomatic);
        const TBuildResult b = build(*single.table, single.rows, 0);
        QCOMPARE(a.outcome.Outcome, goComplete);
        QCOMPARE(a.text(), WorkedExampleText());
        QCOMPARE(a.lines, b.lines);
        QCOMPARE(a.reports, b.reports);
    }

    void automaticBatchesWhatOneBatchCannotHold_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("automaticChars");
        QTest::addColumn<bool>("batched");
        // the rows are held back and found too long on the way
        QTest::newRow("long values") << 30 << 6000 << true;
        // so many rows that even the shortest INSERTs are too long
        QTest::newRow("many rows") << 300 << 6000 << true;
        QTest::newRow("fits") << 5 << 6000 << false;
    }
    void automaticBatchesWhatOneBatchCannotHold()
    {
        QFETCH(int, rows);
        QFETCH(int, automaticChars);
        QFETCH(bool, batched);
        auto table = notesTable();
        TMemoryRowSet rowSet(noteFields, noteRows(rows, QString(100, u'x')));
        const TBuildResult result = build(*table, rowSet, BatchRowsAutomatic, 0, automaticChars);
        QCOMPARE(result.outcome.Outcome, goComplete);
        const QString temporary = TemporaryTableName(QStringLiteral("Notes"), FixedNow());
        const QString into = batched ? temporary : QStringLiteral("@NotesTempTable");
        int written = 0;
        for (const QStringList &part : batches(result.lines))
            written += inserts(part, into);
        QCOMPARE(written, rows);
        QCOMPARE(result.lines.contains(QStringLiteral("GO")), batched);
        // every row once, in order
        qsizetype at = 0;
        for (int i = 1; i <= rows; ++i) {
            at = result.text().indexOf(QStringLiteral("VALUES(%1, ").arg(i), at);
            QVERIFY2(at >= 0, qPrintable(QString::number(i)));
        }
        if (!batched)
            QVERIFY(characters(result.lines) <= automaticChars);
    }

    void batchEndsEarlyRatherThanPassTheSize()
    {
        auto table = notesTable();
        TMemoryRowSet rowSet(noteFields, noteRows(40, QString(200, u'y')));
        const qint64 limit = 1500;
        const TBuildResult result = build(*table, rowSet, 1000, limit);
        QCOMPARE(result.outcome.Outcome, goComplete);
        const QList<QStringList> parts = batches(result.lines);
        const QString temporary = TemporaryTableName(QStringLiteral("Notes"), FixedNow());
        int written = 0;
        for (qsizetype k = 1; k + 1 < parts.size(); ++k) {
            const int n = inserts(parts.at(k), temporary);
            QVERIFY(n >= 1);
            written += n;
            QVERIFY2(characters(parts.at(k)) <= limit, qPrintable(QString::number(characters(parts.at(k)))));
        }
        QCOMPARE(written, 40);
        QVERIFY(parts.size() >= 10);
    }

    void aRowLongerThanABatchGoesAlone()
    {
        auto table = notesTable();
        TMemoryRowSet rowSet(noteFields, noteRows(3, QString(5000, u'z')));
        const TBuildResult result = build(*table, rowSet, 10, 1000);
        const QList<QStringList> parts = batches(result.lines);
        QCOMPARE(parts.size(), 5);
        for (int k = 1; k <= 3; ++k)
            QCOMPARE(inserts(parts.at(k), TemporaryTableName(QStringLiteral("Notes"), FixedNow())), 1);
    }

    void noLineOfAValueReadsAsGo_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("CR LF GO") << QStringLiteral("a\r\nGO\r\nb");
        QTest::newRow("LF go") << QStringLiteral("first\ngo");
        QTest::newRow("CR Go with a count") << QStringLiteral("x\rGo 5");
        QTest::newRow("blanks before it") << QStringLiteral("x\r\n \t GO  -- comment");
        QTest::newRow("one GO after another") << QStringLiteral("\r\nGO\r\nGO\r\ngo\n\nGO");
        QTest::newRow("backslash before the break") << QStringLiteral("c:\\\r\nGO\\\r\n");
        QTest::newRow("a quote next to it") << QStringLiteral("'\r\nGO'\r\n'GO");
        QTest::newRow("word starting with go") << QStringLiteral("x\r\ngoods");
        QTest::newRow("G at the end") << QStringLiteral("x\r\nG");
        QTest::newRow("only the break") << QStringLiteral("x\r\n");
    }
    void noLineOfAValueReadsAsGo()
    {
        QFETCH(QString, value);
        for (const qint64 perBatch : {qint64(0), qint64(1)}) {
            auto table = notesTable();
            TMemoryRowSet rowSet(noteFields, {{QStringLiteral("1"), value, QStringLiteral("t")},
                                              {QStringLiteral("2"), value, QStringLiteral("t")}});
            const TBuildResult result = build(*table, rowSet, perBatch);
            QCOMPARE(result.outcome.Outcome, goComplete);
            // Only the script's own separators are GO lines.
            int separators = 0;
            for (const QString &line : physicalLines(result.lines)) {
                if (line == QLatin1String("GO"))
                    ++separators;
                else
                    QVERIFY2(!looksLikeGo(line), qPrintable(line));
            }
            QCOMPARE(separators, perBatch == 0 ? 0 : 3);
            // and the server reads the value back as it was
            const QString text = result.text();
            const qsizetype first = text.indexOf(QStringLiteral("VALUES(1, "));
            const qsizetype second = text.indexOf(QStringLiteral("VALUES(2, "));
            QCOMPARE(serverValue(text, first), value);
            QCOMPARE(serverValue(text, second), value);
        }
    }

    void temporaryTableStatesCollations()
    {
        auto table = notesTable();
        table->DataBaseCollation = QStringLiteral("Cyrillic_General_CI_AS");
        table->Columns.Items(2)->Collation = QStringLiteral("Latin1_General_BIN");
        const TScriptPlan plan(*table);
        QCOMPARE(plan.TemporaryDeclarations,
                 QStringList({QStringLiteral("Id1 int"), QStringLiteral("Body1 nvarchar(max) COLLATE Cyrillic_General_CI_AS"),
                              QStringLiteral("Tag1 varchar(20) COLLATE Latin1_General_BIN")}));
        // the table variable takes the database's collation by itself
        QCOMPARE(plan.Declarations.at(1), QStringLiteral("Body1 nvarchar(max)"));
    }

    void temporaryTableNameStaysWithinItsLimit()
    {
        const QString longName(128, u'Ж');
        const QString name = TemporaryTableName(longName, FixedNow());
        QCOMPARE(name.size(), 116);
        QVERIFY(name.startsWith(QStringLiteral("#ЖЖЖ")));
        QVERIFY(name.endsWith(QStringLiteral("TempTable_20040305_142007000")));
        QCOMPARE(TemporaryTableName(QStringLiteral("Order Lines"), FixedNow()).left(13), QStringLiteral("#Order_LinesT"));
        QVERIFY(TemporaryTableName(QStringLiteral("A"), FixedNow()) !=
                TemporaryTableName(QStringLiteral("A"), FixedNow().addMSecs(1)));
    }

    // The check's variable stays a valid name however long its source's
    // name is, and the table's name travels as a literal with its quotes.
    void rowCountGuardNamesStayValid_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<bool>("drops");
        QTest::newRow("temporary table") << QStringLiteral("#NotesTempTable_1") << QStringLiteral("@Rows_NotesTempTable_1") << true;
        QTest::newRow("table variable") << QStringLiteral("@NotesTempTable") << QStringLiteral("@Rows_NotesTempTable") << false;
        const QString longVariable = u'@' + QString(118, u'Ж') + QStringLiteral("TempTable");
        QTest::newRow("128-character table variable")
            << longVariable << QStringLiteral("@Rows_") + longVariable.mid(1, 122) << false;
    }
    void rowCountGuardNamesStayValid()
    {
        QFETCH(QString, source);
        QFETCH(QString, variable);
        QFETCH(bool, drops);
        QVERIFY(variable.size() <= 128);
        const QStringList guard = RowCountGuard(source, 3000000000LL, QStringLiteral("It's 100%"));
        QCOMPARE(guard.at(1), QStringLiteral("DECLARE %1 int;").arg(variable));
        QCOMPARE(guard.at(2), QStringLiteral("SET %1 = (SELECT COUNT(*) FROM %2);").arg(variable, source));
        QCOMPARE(guard.at(3), QStringLiteral("IF %1 IS NULL OR %1 <> 3000000000").arg(variable));
        const QString raise = guard.at(5);
        QVERIFY2(raise.startsWith(QStringLiteral("  RAISERROR(N'Таблица %s не изменена: скрипт переносит строк: 3000000000,")),
                 qPrintable(raise));
        QVERIFY2(raise.endsWith(QStringLiteral("', 16, 1, N'It''s 100%', ") + variable + QStringLiteral(");")), qPrintable(raise));
        QCOMPARE(guard.contains(QStringLiteral("  DROP TABLE %1;").arg(source)), drops);
        QCOMPARE(guard.mid(guard.size() - 2), QStringList({QStringLiteral("  RETURN;"), QStringLiteral("END")}));
    }
};

QTEST_GUILESS_MAIN(TestBatchedScript)
#include "tst_batchedscript.moc"
