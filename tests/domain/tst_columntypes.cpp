#include "Domain.h"
#include "LocaleFormat.h"
#include "MemoryRowSet.h"
#include "SqlNames.h"

#include <QTest>

namespace {
QString kindOf(const TCustomColumn &column)
{
    if (dynamic_cast<const TNationalStringColumn *>(&column))
        return QStringLiteral("nstring");
    if (dynamic_cast<const TStringColumn *>(&column))
        return QStringLiteral("string");
    if (dynamic_cast<const TNumericColumn *>(&column))
        return QStringLiteral("numeric");
    if (dynamic_cast<const TDateTimeColumn *>(&column))
        return QStringLiteral("datetime");
    if (dynamic_cast<const TTemporalColumn *>(&column))
        return QStringLiteral("temporal");
    if (dynamic_cast<const TBinaryColumn *>(&column))
        return QStringLiteral("binary");
    return QString();
}
} // namespace

class TestColumnTypes : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }

    void catalogue_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        // declared with Length 50, Precision 18, Scale 4
        QTest::addColumn<QString>("declared");
        struct Row { int x; const char *name, *kind, *declared; };
        const Row rows[] = {
            {34, "image", "binary", "image"},
            {35, "text", "string", "text"},
            {36, "uniqueidentifier", "string", "uniqueidentifier"},
            // the date and time types of 2008 keep their scale
            {40, "date", "temporal", "date"},
            {41, "time", "temporal", "time(4)"},
            {42, "datetime2", "temporal", "datetime2(4)"},
            {43, "datetimeoffset", "temporal", "datetimeoffset(4)"},
            {48, "tinyint", "numeric", "tinyint"},
            {52, "smallint", "numeric", "smallint"},
            {56, "int", "numeric", "int"},
            {58, "smalldatetime", "datetime", "smalldatetime"},
            {59, "real", "numeric", "real"},
            {60, "money", "numeric", "money"},
            {61, "datetime", "datetime", "datetime"},
            {62, "float", "numeric", "float"},
            {98, "sql_variant", "string", "sql_variant"},
            {99, "ntext", "nstring", "ntext"},
            {104, "bit", "numeric", "bit"},
            {106, "decimal", "numeric", "decimal(18,4)"},
            {108, "numeric", "numeric", "numeric(18,4)"},
            {122, "smallmoney", "numeric", "smallmoney"},
            {127, "bigint", "numeric", "bigint"},
            {165, "varbinary", "binary", "varbinary(50)"},
            {167, "varchar", "string", "varchar(50)"},
            {173, "binary", "binary", "binary(50)"},
            {175, "char", "string", "char(50)"},
            {189, "timestamp", "binary", "timestamp"},
            // 50 bytes: 25 characters
            {231, "nvarchar", "nstring", "nvarchar(25)"},
            {239, "nchar", "nstring", "nchar(25)"},
            {241, "xml", "nstring", "xml"},
            // outside the catalogue: no declaration, never carried; codes
            // over 255 are no known code cut to 8 bits (701 is not 189)
            {0, "", "string", ""},
            {44, "", "string", ""},
            {255, "", "string", ""},
            {701, "", "string", ""},
            {56 + 256, "", "string", ""},
        };
        for (const Row &r : rows)
            QTest::addRow("%d", r.x) << r.x << QString::fromLatin1(r.name) << QString::fromLatin1(r.kind)
                                     << QString::fromLatin1(r.declared);
    }
    void catalogue()
    {
        QFETCH(int, xtype);
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, declared);
        QCOMPARE(TColumnType::GetTypeName(xtype), name);
        QCOMPARE(TColumnType(xtype).Name, name);
        QCOMPARE(IsKnownType(xtype), !name.isEmpty());
        auto column = GetColumnClass(xtype)(QStringLiteral("C"), xtype, 3, false, 50);
        QCOMPARE(kindOf(*column), kind);
        QCOMPARE(column->ColumnType.XType, xtype);
        column->Precision = 18;
        column->Scale = 4;
        QCOMPARE(GetDeclaredType(*column), declared);
        QCOMPARE(column->IsCarriable(), xtype != XType::Timestamp && !name.isEmpty());
        if (!name.isEmpty())
            QCOMPARE(XTypeFromName(name.toUpper()), xtype);
    }

    void literals_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("literal");
        const QChar comma(u','), point(u'.');
        QTest::newRow("comma decimal") << 60 << comma << "3,14" << "3.14";
        QTest::newRow("negative") << 106 << comma << "-0,5" << "-0.5";
        QTest::newRow("point stays") << 60 << point << "3.14" << "3.14";
        QTest::newRow("float exponent") << 62 << comma << "1,7976931348623157E+308" << "1.7976931348623157E+308";
        QTest::newRow("real round-trip") << 59 << comma << "0,1" << "0.1";
        QTest::newRow("bit") << 104 << comma << "1" << "1";
        QTest::newRow("int") << 56 << comma << "-2147483648" << "-2147483648";
        QTest::newRow("empty string") << 167 << comma << "" << "''";
        QTest::newRow("O'Brien") << 167 << comma << "O'Brien" << "'O''Brien'";
        QTest::newRow("one quote") << 175 << comma << "'" << "''''";
        QTest::newRow("line break") << 35 << comma << "a\r\nb" << "'a\r\nb'";
        // the server drops a backslash and the CR LF after it: one more of
        // each goes before the value's own break
        QTest::newRow("backslash before CR LF") << 167 << comma << "a\\\r\nb" << "'a\\\\\r\n\r\nb'";
        QTest::newRow("backslash before LF") << 35 << comma << "a\\\nb\\" << "'a\\\\\r\n\nb\\'";
        QTest::newRow("backslash before CR") << 167 << comma << "a\\\rb" << "'a\\\\\r\n\rb'";
        QTest::newRow("two backslashes before LF") << 167 << comma << "\\\\\n" << "'\\\\\\\r\n\n'";
        QTest::newRow("backslash elsewhere") << 167 << comma << "C:\\dir\\" << "'C:\\dir\\'";
        QTest::newRow("nvarchar") << 231 << comma << "Привет" << "N'Привет'";
        QTest::newRow("nchar quote") << 239 << comma << "it's" << "N'it''s'";
        QTest::newRow("ntext backslash") << 99 << comma << "x\\\r\n" << "N'x\\\\\r\n\r\n'";
        QTest::newRow("datetime") << 61 << comma << "19.06.1992 22:22:17" << "CONVERT(DATETIME, '19.06.1992 22:22:17',105)";
        QTest::newRow("datetime ms") << 61 << comma << "19.06.1992 22:22:17.123" << "CONVERT(DATETIME, '19.06.1992 22:22:17.123',105)";
        QTest::newRow("smalldatetime") << 58 << comma << "01.01.2000 00:00:00" << "CONVERT(DATETIME, '01.01.2000 00:00:00',105)";
        QTest::newRow("varbinary") << 165 << comma << "00FF10" << "0x00FF10";
        QTest::newRow("empty binary") << 173 << comma << "" << "0x";
        QTest::newRow("image") << 34 << comma << "DEADBEEF" << "0xDEADBEEF";
        QTest::newRow("uniqueidentifier") << 36 << comma << "6F9619FF-8B86-D011-B42D-00C04FC964FF" << "'6F9619FF-8B86-D011-B42D-00C04FC964FF'";
        QTest::newRow("unknown code") << 200 << comma << "x'y" << "'x''y'";
    }
    void literals()
    {
        QFETCH(int, xtype);
        QFETCH(QChar, separator);
        QFETCH(QString, text);
        QFETCH(QString, literal);
        SetDecimalSeparator(separator);
        auto column = CreateColumn(QStringLiteral("C"), quint8(xtype), 1, false, 10);
        QCOMPARE(column->GetSQLValue(text), literal);
    }

    void nullIsNullForEveryKind_data()
    {
        QTest::addColumn<int>("xtype");
        for (int x : {34, 35, 36, 56, 61, 62, 99, 104, 106, 165, 167, 231, 200})
            QTest::addRow("%d", x) << x;
    }
    void nullIsNullForEveryKind()
    {
        QFETCH(int, xtype);
        auto column = CreateColumn(QStringLiteral("C"), quint8(xtype), 1, false, 10);
        TMemoryRowSet rows({QStringLiteral("a"), QStringLiteral("C")}, {{QVariant(), QString("5")}});
        QCOMPARE(GetFieldLiteral(rows, 0, *column), QStringLiteral("NULL"));
        QVERIFY(GetFieldLiteral(rows, 1, *column) != QStringLiteral("NULL"));
    }

    void declarations_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("xtype");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("declaration");
        QTest::newRow("int") << "Id" << 56 << 4 << "Id1 int";
        QTest::newRow("varchar") << "Title" << 167 << 50 << "Title1 varchar(50)";
        QTest::newRow("nvarchar bytes") << "Note" << 231 << 200 << "Note1 nvarchar(100)";
        QTest::newRow("nvarchar 2500") << "Note" << 231 << 5000 << "Note1 nvarchar(2500)";
        QTest::newRow("nchar bytes") << "N" << 239 << 2 << "N1 nchar(1)";
        QTest::newRow("varchar max") << "V" << 167 << -1 << "V1 varchar(max)";
        QTest::newRow("nvarchar max") << "V" << 231 << -1 << "V1 nvarchar(max)";
        QTest::newRow("varbinary max") << "V" << 165 << -1 << "V1 varbinary(max)";
        QTest::newRow("datetime") << "Created" << 61 << 8 << "Created1 datetime";
        QTest::newRow("varchar 0") << "V" << 167 << 0 << "V1 varchar";
        QTest::newRow("char 0") << "C" << 175 << 0 << "C1 char";
        QTest::newRow("money") << "Price" << 60 << 8 << "Price1 money";
        QTest::newRow("bigint") << "B" << 127 << 8 << "B1 bigint";
        QTest::newRow("float") << "F" << 62 << 8 << "F1 float";
        QTest::newRow("guid") << "G" << 36 << 16 << "G1 uniqueidentifier";
        QTest::newRow("blank in name") << "Unit price" << 60 << 8 << "[Unit price1] money";
        QTest::newRow("bracket in name") << "a]b" << 56 << 4 << "[a]]b1] int";
        QTest::newRow("cyrillic") << "Цена" << 60 << 8 << "Цена1 money";
    }
    void declarations()
    {
        QFETCH(QString, name);
        QFETCH(int, xtype);
        QFETCH(int, length);
        QFETCH(QString, declaration);
        auto column = CreateColumn(name, quint8(xtype), 1, false, length);
        QCOMPARE(GetColumnDeclaration(*column, QStringLiteral("1")), declaration);
    }

    void decimalKeepsPrecisionAndScale()
    {
        auto column = CreateColumn(QStringLiteral("Amount"), XType::Decimal, 1, false, 9);
        column->Precision = 18;
        column->Scale = 2;
        QCOMPARE(GetColumnDeclaration(*column, QStringLiteral("1")), QStringLiteral("Amount1 decimal(18,2)"));
        // not read from the catalogue: wide enough for any value of that scale
        column->Precision = 0;
        QCOMPARE(GetDeclaredType(*column), QStringLiteral("decimal(38,2)"));
    }

    void quoteName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "Goods" << "Goods";
        QTest::newRow("underscore digits") << "_a1$#@" << "_a1$#@";
        QTest::newRow("cyrillic") << "Товары" << "Товары";
        QTest::newRow("blank") << "Order Details" << "[Order Details]";
        QTest::newRow("reserved") << "Order" << "[Order]";
        QTest::newRow("reserved lower") << "select" << "[select]";
        QTest::newRow("later reserved") << "Merge" << "[Merge]";
        QTest::newRow("odbc word stays") << "Date" << "Date";
        QTest::newRow("leading digit") << "1st" << "[1st]";
        QTest::newRow("leading at") << "@x" << "[@x]";
        QTest::newRow("leading hash") << "#t" << "[#t]";
        QTest::newRow("bracket") << "a]b" << "[a]]b]";
        QTest::newRow("dot") << "dbo.T" << "[dbo.T]";
        QTest::newRow("empty") << "" << "[]";
        QTest::newRow("too long") << QString(129, u'a') << u'[' + QString(129, u'a') + u']';
    }
    void quoteName()
    {
        QFETCH(QString, name);
        QFETCH(QString, quoted);
        QCOMPARE(QuoteName(name), quoted);
    }
};

QTEST_GUILESS_MAIN(TestColumnTypes)
#include "tst_columntypes.moc"
