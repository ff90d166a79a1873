#include "ScriptFixture.h"
#include "ScriptPlan.h"

#include <QSet>
#include <QTest>

// The rules that keep a script acceptable to a real server: declarations
// it takes, names that cannot clash or escape, keys that match, values of
// sql_variant with their base type.

namespace {

struct TSpec
{
    QString name;
    int xtype = XType::Int;
    int length = 4;
    bool used = true;
    bool key = false;
    bool nullable = false;
    QString collation{};
    bool computed = false;
    bool identity = false;
};

std::unique_ptr<TTable> tableOf(const QString &name, const QList<TSpec> &specs, const QString &defaultCollation = {})
{
    auto table = std::make_unique<TTable>(name, soUserTable, 42);
    table->DataBaseCollation = defaultCollation;
    for (const TSpec &spec : specs) {
        auto column = CreateColumn(spec.name, spec.xtype, 42, spec.identity, spec.length);
        column->IsUsed = spec.used;
        column->IsKey = spec.key;
        column->IsNullable = spec.nullable;
        column->Collation = spec.collation;
        column->IsComputed = spec.computed;
        table->Columns.Add(std::move(column));
    }
    return table;
}

// One row of the given texts, field names as the columns'.
TBuildResult buildOneRow(const TTable &table, const QList<QVariant> &values, bool deleteTable = false)
{
    QStringList names;
    for (const TCustomColumn *column : table.Columns)
        names << column->Name;
    TMemoryRowSet rows(names, {values});
    return RunBuild(table, rows, deleteTable);
}

QString declarationLine(const TBuildResult &result)
{
    const QStringList found = result.lines.filter(QStringLiteral("DECLARE @"));
    return found.isEmpty() ? QString() : found.first();
}

// Names declared in the table variable, unquoted.
QStringList declaredNames(const TScriptPlan &plan)
{
    QStringList names;
    for (const TCarriedColumn &c : plan.Carried) {
        QString name = c.VariableName;
        if (name.startsWith(u'['))
            name = name.mid(1, name.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
        names << name;
    }
    return names;
}

} // namespace

class TestScriptRules : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }

    // A character column is declared with its collation when it is not the
    // database's default.
    void collations_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("collation");
        QTest::addColumn<QString>("defaultCollation");
        QTest::addColumn<QString>("declared");
        const QString cyr = QStringLiteral("Cyrillic_General_CI_AS"), bin = QStringLiteral("Latin1_General_BIN");
        QTest::newRow("varchar, other") << 167 << 20 << bin << cyr << "varchar(20) COLLATE Latin1_General_BIN";
        QTest::newRow("varchar, default") << 167 << 20 << cyr << cyr << "varchar(20)";
        QTest::newRow("default in other letter case") << 175 << 5 << cyr.toLower() << cyr << "char(5)";
        QTest::newRow("default unknown") << 167 << 20 << bin << QString() << "varchar(20)";
        QTest::newRow("column without one") << 167 << 20 << QString() << cyr << "varchar(20)";
        QTest::newRow("nvarchar, other") << 231 << 40 << bin << cyr << "nvarchar(20) COLLATE Latin1_General_BIN";
        QTest::newRow("nvarchar(max), other") << 231 << -1 << bin << cyr << "nvarchar(max) COLLATE Latin1_General_BIN";
        QTest::newRow("text, other") << 35 << 16 << bin << cyr << "text COLLATE Latin1_General_BIN";
        QTest::newRow("ntext, other") << 99 << 16 << bin << cyr << "ntext COLLATE Latin1_General_BIN";
        QTest::newRow("int never") << 56 << 4 << bin << cyr << "int";
        QTest::newRow("varbinary never") << 165 << 8 << bin << cyr << "varbinary(8)";
    }
    void collations()
    {
        QFETCH(int, xtype);
        QFETCH(int, length);
        QFETCH(QString, collation);
        QFETCH(QString, defaultCollation);
        QFETCH(QString, declared);
        auto column = CreateColumn(QStringLiteral("C"), xtype, 1, false, length);
        column->Collation = collation;
        QCOMPARE(GetDeclaredType(*column, defaultCollation), declared);
        // and the script declares the table variable's column so
        auto table = tableOf(QStringLiteral("K"), {{QStringLiteral("Id"), XType::Int, 4, true, true},
                                                   {QStringLiteral("C"), xtype, length, true, false, false, collation}},
                             defaultCollation);
        QCOMPARE(TScriptPlan(*table).Declarations.at(1), QStringLiteral("C1 ") + declared);
    }

    // Names the script makes: at most 128 characters, none equal to another
    // or to a key column's name (letter case aside), and the usual ones
    // whenever they fit.
    void variableColumnNames_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("expected");
        const QString long128 = QString(128, u'a');
        const QString long127 = QString(127, u'b');
        QTest::newRow("usual") << QStringList{"Id", "Name"} << QStringList{"Id"} << QStringList{"Id1", "Name1"};
        QTest::newRow("128 characters") << QStringList{"Id", long128} << QStringList{"Id"}
                                        << QStringList{"Id1", QString(127, u'a') + u'1'};
        QTest::newRow("127 characters fit") << QStringList{"Id", long127} << QStringList{"Id"}
                                            << QStringList{"Id1", long127 + u'1'};
        QTest::newRow("two alike once cut") << QStringList{"Id", long128, QString(127, u'a') + u'z'} << QStringList{"Id"}
                                            << QStringList{"Id1", QString(127, u'a') + u'1', QString(126, u'a') + "_2"};
        QTest::newRow("X beside key X1") << QStringList{"X", "X1"} << QStringList{"X1"} << QStringList{"X_2", "X11"};
        QTest::newRow("letter case aside") << QStringList{"B", "b1"} << QStringList{"b1"} << QStringList{"B_2", "b11"};
        QTest::newRow("X1 not a key") << QStringList{"Id", "X", "X1"} << QStringList{"Id"} << QStringList{"Id1", "X1", "X11"};
        QTest::newRow("made name taken too") << QStringList{"X", "X1", "X_2"} << QStringList{"X1", "X_2"}
                                             << QStringList{"X_3", "X11", "X_21"};
    }
    void variableColumnNames()
    {
        QFETCH(QStringList, columns);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, expected);
        QList<TSpec> specs;
        for (const QString &name : columns)
            specs << TSpec{name, XType::Int, 4, true, keys.contains(name)};
        auto table = tableOf(QStringLiteral("N"), specs);
        const TScriptPlan plan(*table);
        QVERIFY2(plan.Problem.isEmpty(), qPrintable(plan.Problem));
        const QStringList names = declaredNames(plan);
        QCOMPARE(names, expected);
        QSet<QString> folded;
        for (const QString &name : names) {
            QVERIFY(name.size() <= 128);
            QVERIFY2(!folded.contains(name.toCaseFolded()), qPrintable(name));
            folded.insert(name.toCaseFolded());
            for (const QString &key : keys)
                QVERIFY(name.compare(key, Qt::CaseInsensitive) != 0);
        }
    }

    // The key columns stand unqualified in the UPDATE: X1 must mean the
    // target's X1, which the table variable therefore does not have.
    void keyBesideCarriedColumnScript()
    {
        auto table = tableOf(QStringLiteral("P"), {{QStringLiteral("X"), XType::VarChar, 10}, {QStringLiteral("X1"), XType::Int, 4, true, true}});
        const TBuildResult result = buildOneRow(*table, {QString("a"), QString("1")});
        QCOMPARE(result.outcome.Outcome, goComplete);
        QVERIFY(result.lines.contains(QStringLiteral("DECLARE @PTempTable TABLE (X_2 varchar(10), X11 int);")));
        QVERIFY(result.text().contains(QStringLiteral("UPDATE P \r\n  SET X = T.X_2 \r\n  FROM @PTempTable AS T \r\n  WHERE (X1 = T.X11);")));
    }

    // The alias is T unless the target is named so (any letter case, owner
    // and brackets aside).
    void alias_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<QString>("alias");
        QTest::newRow("usual") << "Goods" << "" << "T";
        QTest::newRow("table T") << "T" << "" << "T1";
        QTest::newRow("table t") << "t" << "" << "T1";
        QTest::newRow("table T1") << "T1" << "" << "T";
        QTest::newRow("nickname T") << "Goods" << "T" << "T1";
        QTest::newRow("nickname dbo.[t]") << "Goods" << "dbo.[t]" << "T1";
        QTest::newRow("table T, nickname Goods") << "T" << "Goods" << "T";
    }
    void alias()
    {
        QFETCH(QString, table);
        QFETCH(QString, nickname);
        QFETCH(QString, alias);
        auto t = tableOf(table, {{QStringLiteral("Id"), XType::Int, 4, true, true}, {QStringLiteral("V"), XType::Int, 4}});
        t->Nickname = nickname;
        const TBuildResult result = buildOneRow(*t, {QString("1"), QString("2")});
        const QString target = nickname.isEmpty() ? table : nickname;
        QVERIFY2(result.text().contains(QStringLiteral("UPDATE %1 \r\n  SET V = %2.V1 \r\n  FROM @%3TempTable AS %2 \r\n  WHERE (Id = %2.Id1);")
                                            .arg(target, alias, table)),
                 qPrintable(result.text()));
        QVERIFY(result.text().contains(QStringLiteral("  SELECT Id1, V1 FROM @%1TempTable AS %2\r\n  WHERE NOT EXISTS(SELECT * FROM %3 WHERE (Id = %2.Id1))")
                                           .arg(table, alias, target)));
    }

    // A key that may hold NULL matches NULL to NULL; others keep the plain
    // comparison.
    void nullableKeys_data()
    {
        QTest::addColumn<bool>("aNullable");
        QTest::addColumn<bool>("bNullable");
        QTest::addColumn<QString>("where");
        QTest::newRow("neither") << false << false << "(A = T.A1) AND (B = T.B1)";
        QTest::newRow("second") << false << true << "(A = T.A1) AND (B = T.B1 OR (B IS NULL AND T.B1 IS NULL))";
        QTest::newRow("both") << true << true
                              << "(A = T.A1 OR (A IS NULL AND T.A1 IS NULL)) AND (B = T.B1 OR (B IS NULL AND T.B1 IS NULL))";
    }
    void nullableKeys()
    {
        QFETCH(bool, aNullable);
        QFETCH(bool, bNullable);
        QFETCH(QString, where);
        auto table = tableOf(QStringLiteral("K"), {{QStringLiteral("A"), XType::Int, 4, true, true, aNullable},
                                                   {QStringLiteral("B"), XType::VarChar, 5, true, true, bNullable},
                                                   {QStringLiteral("V"), XType::Int, 4, true, false, true}});
        const TBuildResult result = buildOneRow(*table, {QVariant(), QString("x"), QString("3")});
        QVERIFY(result.text().contains(QStringLiteral("  WHERE %1;").arg(where)));
        QVERIFY(result.text().contains(QStringLiteral("WHERE NOT EXISTS(SELECT * FROM K WHERE %1)").arg(where)));
    }

    // Keys the server cannot match on are refused with the reason, before
    // a line is written; never dropped.
    void refusedKeys_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<bool>("computed");
        QTest::addColumn<bool>("used");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QString>("reason");
        QTest::newRow("text") << 35 << false << true << int(krNotComparable) << "key column K is of type text";
        QTest::newRow("ntext") << 99 << false << true << int(krNotComparable) << "key column K is of type ntext";
        QTest::newRow("image") << 34 << false << true << int(krNotComparable) << "key column K is of type image";
        QTest::newRow("timestamp") << 189 << false << true << int(krNotCarriable) << "key column K is a timestamp column";
        QTest::newRow("computed") << 56 << true << true << int(krNotCarriable) << "key column K is a computed column";
        QTest::newRow("unknown type") << 701 << false << true << int(krUnknownType) << "(xtype 701)";
        QTest::newRow("not carried") << 56 << false << false << int(krNotUsed) << "key column K is not carried";
    }
    void refusedKeys()
    {
        QFETCH(int, xtype);
        QFETCH(bool, computed);
        QFETCH(bool, used);
        QFETCH(int, refusal);
        QFETCH(QString, reason);
        TSpec key{QStringLiteral("K"), xtype, 16, used, true};
        key.computed = computed;
        auto table = tableOf(QStringLiteral("R"), {{QStringLiteral("Id"), XType::Int, 4}, key});
        QCOMPARE(int(KeyRefusal(*table->Columns.Items(1))), refusal);
        const TBuildResult result = buildOneRow(*table, {QString("1"), QString("00")});
        QCOMPARE(result.outcome.Outcome, goFailed);
        QVERIFY2(result.outcome.Reason.contains(reason), qPrintable(result.outcome.Reason));
        QVERIFY(result.lines.isEmpty());
        QVERIFY(result.reports.isEmpty());
    }

    void comparableKeysAreAccepted_data()
    {
        QTest::addColumn<int>("xtype");
        for (int x : {36, 48, 52, 56, 58, 59, 60, 61, 62, 98, 104, 106, 108, 122, 127, 165, 167, 173, 175, 231, 239})
            QTest::addRow("%d", x) << x;
    }
    void comparableKeysAreAccepted()
    {
        QFETCH(int, xtype);
        auto table = tableOf(QStringLiteral("R"), {{QStringLiteral("K"), xtype, 8, true, true}});
        QCOMPARE(KeyRefusal(*table->Columns.Items(0)), krNone);
        QVERIFY(TScriptPlan(*table).Problem.isEmpty());
    }

    // A column of a type outside the catalogue is never carried blindly:
    // the script names it and its code.
    void unknownTypeIsNamedNotCarried()
    {
        auto table = tableOf(QStringLiteral("U"), {{QStringLiteral("Id"), XType::Int, 4, true, true},
                                                   {QStringLiteral("F"), 701, 8}, {QStringLiteral("D"), 61 + 1024, 8}});
        const TBuildResult result = buildOneRow(*table, {QString("1"), QString("0,5"), QString("01.01.2000 00:00:00")});
        QCOMPARE(result.outcome.Outcome, goComplete);
        QVERIFY(result.lines.contains(QStringLiteral("--Not carried, of a type unknown to Quorvane: F (xtype 701), D (xtype 1085)--")));
        QCOMPARE(declarationLine(result), QStringLiteral("DECLARE @UTempTable TABLE (Id1 int);"));
        QVERIFY(!result.text().contains(QStringLiteral("F1")));
    }

    void nothingToCarryFails()
    {
        auto table = tableOf(QStringLiteral("S"), {{QStringLiteral("Stamp"), XType::Timestamp, 8}});
        const TBuildResult result = buildOneRow(*table, {QString("00")});
        QCOMPARE(result.outcome.Outcome, goFailed);
        QVERIFY(result.lines.isEmpty());
    }

    // sql_variant values keep their base type: CAST(literal AS type(...)).
    void variantValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("baseType");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("collation");
        QTest::addColumn<QString>("literal");
        const QString cyr = QStringLiteral("Cyrillic_General_CI_AS");
        QTest::newRow("int") << "42" << "int" << 10 << 0 << 4 << "" << "CAST(42 AS int)";
        QTest::newRow("bigint") << "-9223372036854775808" << "bigint" << 19 << 0 << 8 << "" << "CAST(-9223372036854775808 AS bigint)";
        QTest::newRow("bit") << "1" << "bit" << 1 << 0 << 1 << "" << "CAST(1 AS bit)";
        QTest::newRow("decimal") << "-1,5" << "decimal" << 10 << 3 << 9 << "" << "CAST(-1.5 AS decimal(10,3))";
        QTest::newRow("money") << "2,5" << "money" << 19 << 4 << 8 << "" << "CAST(2.5 AS money)";
        QTest::newRow("float") << "0,1" << "float" << 53 << 0 << 8 << "" << "CAST(0.1 AS float)";
        QTest::newRow("real") << "3,4028235E+38" << "real" << 24 << 0 << 4 << "" << "CAST(3.4028235E+38 AS real)";
        QTest::newRow("datetime") << "01.03.2004 10:00:00.123" << "datetime" << 23 << 3 << 8 << ""
                                  << "CAST(CONVERT(DATETIME, '01.03.2004 10:00:00.123',105) AS datetime)";
        QTest::newRow("smalldatetime") << "01.03.2004 10:00:00" << "smalldatetime" << 16 << 0 << 4 << ""
                                       << "CAST(CONVERT(DATETIME, '01.03.2004 10:00:00',105) AS smalldatetime)";
        QTest::newRow("varchar") << "it's" << "varchar" << 0 << 0 << 10 << cyr << "CAST(N'it''s' AS varchar(10))";
        QTest::newRow("varchar, other collation") << "ab" << "varchar" << 0 << 0 << 2 << "Latin1_General_BIN"
                                                  << "CAST(N'ab' COLLATE Latin1_General_BIN AS varchar(2)) COLLATE Latin1_General_BIN";
        QTest::newRow("empty varchar") << "" << "varchar" << 0 << 0 << 0 << cyr << "CAST(N'' AS varchar(1))";
        QTest::newRow("nvarchar") << "ёж 語" << "nvarchar" << 0 << 0 << 8 << cyr << "CAST(N'ёж 語' AS nvarchar(4))";
        QTest::newRow("nchar") << "ab" << "nchar" << 0 << 0 << 4 << cyr << "CAST(N'ab' AS nchar(2))";
        QTest::newRow("varbinary") << "0A0B" << "varbinary" << 0 << 0 << 10 << "" << "CAST(0x0A0B AS varbinary(10))";
        QTest::newRow("binary") << "00" << "binary" << 0 << 0 << 1 << "" << "CAST(0x00 AS binary(1))";
        QTest::newRow("guid") << "6F9619FF-8B86-D011-B42D-00C04FC964FF" << "uniqueidentifier" << 0 << 0 << 16 << ""
                              << "CAST('6F9619FF-8B86-D011-B42D-00C04FC964FF' AS uniqueidentifier)";
        QTest::newRow("backslash before a break") << "a\\\nb" << "varchar" << 0 << 0 << 5 << cyr
                                                  << "CAST(N'a\\\\\r\n\nb' AS varchar(5))";
        QTest::newRow("base type unknown") << "x'y" << "" << 0 << 0 << 0 << "" << "N'x''y'";
        // A date keeps its type: an ISO 8601 literal cast back, read alike under every DATEFORMAT.
        QTest::newRow("base type newer") << "2004-03-01" << "date" << 0 << 0 << 3 << "" << "CAST('2004-03-01' AS date)";
        QTest::newRow("base type datetimeoffset") << "2004-03-01 10:00:00.1234567 +03:00" << "datetimeoffset" << 0 << 7
                                                  << 10 << "" << "CAST('2004-03-01T10:00:00.1234567+03:00' AS datetimeoffset(7))";
    }
    void variantValues()
    {
        QFETCH(QString, text);
        QFETCH(QString, baseType);
        QFETCH(int, precision);
        QFETCH(int, scale);
        QFETCH(int, maxLength);
        QFETCH(QString, collation);
        QFETCH(QString, literal);
        auto table = tableOf(QStringLiteral("V"), {{QStringLiteral("Id"), XType::Int, 4, true, true},
                                                   {QStringLiteral("V"), XType::SqlVariant, 8016, true, false, true}},
                             QStringLiteral("Cyrillic_General_CI_AS"));
        TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("V")}, {{QString("1"), text}, {QString("2"), QVariant()}});
        rows.VariantBases[1] = {TVariantBase{baseType, precision, scale, maxLength, collation}, TVariantBase{}};
        const TBuildResult result = RunBuild(*table, rows);
        QCOMPARE(result.outcome.Outcome, goComplete);
        QVERIFY(result.lines.contains(QStringLiteral("INSERT INTO @VTempTable(Id1, V1) \r\n  VALUES(1, %1);").arg(literal)));
        QVERIFY(result.lines.contains(QStringLiteral("INSERT INTO @VTempTable(Id1, V1) \r\n  VALUES(2, NULL);")));
    }
};

QTEST_GUILESS_MAIN(TestScriptRules)
#include "tst_scriptrules.moc"
