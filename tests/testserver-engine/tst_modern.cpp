// The types of SQL Server 2005-2022 in the engine, by release: exact round
// trips, rounding to a scale, conversions and CONVERT styles, the errors
// SQL Server gives (truncation as 8152 or 2628, bad scales, malformed xml,
// incomparable types), and what each release announces.

#include "EngineFixture.h"

#include <QtTest>

namespace {

QString ofLength(int n, QChar c = QLatin1Char('x'))
{
    return QString(n, c);
}

} // namespace

class TestModern : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("value");
        QTest::newRow("date") << 2019 << "date" << "'2004-03-01'" << "2004-03-01";
        QTest::newRow("date first") << 2019 << "date" << "'0001-01-01'" << "0001-01-01";
        QTest::newRow("date last") << 2019 << "date" << "'9999-12-31'" << "9999-12-31";
        QTest::newRow("date unseparated") << 2019 << "date" << "'20040301'" << "2004-03-01";
        QTest::newRow("date drops the time") << 2019 << "date" << "'2004-03-01T23:59:59.9999999'" << "2004-03-01";
        QTest::newRow("time to 100 ns") << 2019 << "time(7)" << "'23:59:59.9999999'" << "23:59:59.9999999";
        QTest::newRow("time default scale 7") << 2019 << "time" << "'10:00:00.1234567'" << "10:00:00.1234567";
        QTest::newRow("time(0) rounds half up") << 2019 << "time(0)" << "'10:00:00.5'" << "10:00:01.0000000";
        QTest::newRow("time(0) wraps at midnight") << 2019 << "time(0)" << "'23:59:59.5'" << "00:00:00.0000000";
        QTest::newRow("time(3) rounds") << 2019 << "time(3)" << "'10:00:00.1235'" << "10:00:00.1240000";
        QTest::newRow("time without seconds") << 2019 << "time" << "'10:07'" << "10:07:00.0000000";
        QTest::newRow("time pm") << 2019 << "time" << "'10:07PM'" << "22:07:00.0000000";
        QTest::newRow("datetime2 iso") << 2019 << "datetime2" << "'2004-03-01T10:11:12.1234567'" << "2004-03-01 10:11:12.1234567";
        QTest::newRow("datetime2 first") << 2019 << "datetime2" << "'0001-01-01 00:00:00'" << "0001-01-01 00:00:00.0000000";
        QTest::newRow("datetime2(0) rounds down") << 2019 << "datetime2(0)" << "'9999-12-31 23:59:59.4'" << "9999-12-31 23:59:59.0000000";
        QTest::newRow("datetime2(2) carries a day") << 2019 << "datetime2(2)" << "'2004-03-01 23:59:59.999'" << "2004-03-02 00:00:00.0000000";
        QTest::newRow("datetime2 from datetime, exact (2016+)") << 2019 << "datetime2"
            << "CAST('2004-03-01 10:00:00.003' AS datetime)" << "2004-03-01 10:00:00.0033333";
        QTest::newRow("datetime2 from datetime .007 (2016+)") << 2016 << "datetime2"
            << "CAST('2004-03-01 10:00:00.007' AS datetime)" << "2004-03-01 10:00:00.0066667";
        QTest::newRow("datetime2 from datetime, milliseconds (2014)") << 2014 << "datetime2"
            << "CAST('2004-03-01 10:00:00.003' AS datetime)" << "2004-03-01 10:00:00.0030000";
        QTest::newRow("datetime from datetime2 rounds to 1/300 s") << 2019 << "datetime"
            << "CAST('2004-03-01 10:00:00.0049999' AS datetime2)" << "2004-03-01 10:00:00.003";
        QTest::newRow("datetimeoffset keeps its offset") << 2019 << "datetimeoffset" << "'2004-03-01 10:00:00 +03:00'"
            << "2004-03-01 10:00:00.0000000 +03:00";
        QTest::newRow("datetimeoffset Z") << 2019 << "datetimeoffset(3)" << "'2004-03-01T10:00:00.123Z'"
            << "2004-03-01 10:00:00.1230000 +00:00";
        QTest::newRow("datetimeoffset -14:00") << 2019 << "datetimeoffset" << "'2004-03-01 10:00:00 -14:00'"
            << "2004-03-01 10:00:00.0000000 -14:00";
        QTest::newRow("datetimeoffset from datetime2: +00:00") << 2019 << "datetimeoffset"
            << "CAST('2004-03-01 10:00' AS datetime2)" << "2004-03-01 10:00:00.0000000 +00:00";
        QTest::newRow("datetime2 from datetimeoffset keeps the local time") << 2019 << "datetime2"
            << "CAST('2004-03-01 10:00 +05:00' AS datetimeoffset)" << "2004-03-01 10:00:00.0000000";
        QTest::newRow("date from datetime") << 2008 << "date" << "CAST('2004-03-01 23:00' AS datetime)" << "2004-03-01";
        QTest::newRow("datetime from time: 1900-01-01") << 2008 << "datetime" << "CAST('10:00:00.5' AS time)" << "1900-01-01 10:00:00.500";
        QTest::newRow("varchar(max) past 8000") << 2005 << "varchar(max)" << "REPLICATE(CAST('ab' AS varchar(max)), 5000)" << ofLength(5000).replace("x", "ab");
        QTest::newRow("nvarchar(max) past 4000") << 2005 << "nvarchar(max)" << "REPLICATE(CAST(N'я😀' AS nvarchar(max)), 3000)"
            << QString("я😀").repeated(3000);
        QTest::newRow("varbinary(max) past 8000") << 2005 << "varbinary(max)"
            << "CAST(REPLICATE(CAST('a' AS varchar(max)), 9000) AS varbinary(max))" << "0x" + QString("61").repeated(9000);
        QTest::newRow("xml with non-Latin text") << 2005 << "xml" << "N'<a b=\"1\">текст 中文 &amp; &#x44F;</a>'"
            << "<a b=\"1\">текст 中文 &amp; &#x44F;</a>";
        QTest::newRow("xml fragment") << 2005 << "xml" << "'<a/>text<b/>'" << "<a/>text<b/>";
        QTest::newRow("xml declaration dropped") << 2005 << "xml" << "'<?xml version=\"1.0\"?>\n<a/>'" << "<a/>";
        QTest::newRow("xml from varbinary") << 2005 << "xml" << "0x3C612F3E" << "<a/>";
        QTest::newRow("hierarchyid from varbinary") << 2008 << "hierarchyid" << "0x5AC0" << "0x5AC0";
        QTest::newRow("geography from varbinary") << 2008 << "geography"
            << "CAST(0xE6100000010C0000000000004E400000000000003E40 AS geography)" << "0xE6100000010C0000000000004E400000000000003E40";
        QTest::newRow("geometry null") << 2022 << "geometry" << "NULL" << "NULL";
    }
    void roundTrip()
    {
        QFETCH(int, year);
        QFETCH(QString, type);
        QFETCH(QString, literal);
        QFETCH(QString, value);
        EngineFixture f(false, year);
        // As the drivers do: no TEXTSIZE cut of long values.
        const Recorded r = f.run("SET TEXTSIZE 2147483647\nCREATE TABLE v (c " + type + ")\nINSERT INTO v VALUES(" + literal + ")\nSELECT c FROM v");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(), QStringList({value}));
    }

    void refused_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        const QString t3 = "CREATE TABLE T (c varchar(3), b varbinary(2))\n";
        QTest::newRow("2628 names table, column, value (2019)") << 2019 << t3 + "INSERT INTO T (c) VALUES('abcdef')"
            << "2628: String or binary data would be truncated in table 'master.dbo.T', column 'c'. Truncated value: 'abc'.";
        QTest::newRow("2628 on update (2022)") << 2022 << t3 + "INSERT INTO T (c) VALUES('a')\nUPDATE T SET c = 'wxyz'"
            << "2628: String or binary data would be truncated in table 'master.dbo.T', column 'c'. Truncated value: 'wxy'.";
        QTest::newRow("2628 binary (2019)") << 2019 << t3 + "INSERT INTO T (b) VALUES(0x010203)"
            << "2628: String or binary data would be truncated in table 'master.dbo.T', column 'b'. Truncated value: '0x0102'.";
        QTest::newRow("8152 before 2019") << 2017 << t3 + "INSERT INTO T (c) VALUES('abcdef')"
            << "8152: String or binary data would be truncated.";
        QTest::newRow("datetime2(8): 1002") << 2019 << "CREATE TABLE D (d datetime2(8))" << "1002: Line 1: Specified scale 8 is invalid.";
        QTest::newRow("time(9): 1002") << 2008 << "SELECT CAST('10:00' AS time(9))" << "1002: Line 1: Specified scale 9 is invalid.";
        QTest::newRow("no date in 2005") << 2005 << "CREATE TABLE D (d date)"
            << "2715: Column, parameter, or variable #1: Cannot find data type date.";
        QTest::newRow("no xml in 2000") << 2000 << "CREATE TABLE D (d xml)" << "2715: Column or parameter #1: Cannot find data type xml.";
        QTest::newRow("no (max) in 2000") << 2000 << "CREATE TABLE D (d varchar(max))" << "102: Incorrect syntax near 'max'.";
        QTest::newRow("no char(max)") << 2019 << "CREATE TABLE D (d char(max))" << "102: Incorrect syntax near 'max'.";
        QTest::newRow("xml end tag") << 2005 << "SELECT CAST('<a><b></a>' AS xml)"
            << "9436: XML parsing: line 1, character 10, end tag does not match start tag";
        QTest::newRow("xml unclosed") << 2005 << "SELECT CAST('<a>' AS xml)" << "9400: XML parsing: line 1, character 3, unexpected end of input";
        QTest::newRow("xml repeated attribute") << 2005 << "SELECT CAST('<a x=\"1\" x=\"2\"/>' AS xml)"
            << "9465: XML parsing: line 1, character 10, well formed check: redefinition of attribute";
        QTest::newRow("xml unknown entity") << 2005 << "SELECT CAST('<a>&nbsp;</a>' AS xml)"
            << "9448: XML parsing: line 1, character 8, undeclared entity";
        QTest::newRow("xml utf-8 declaration in Unicode") << 2005 << "SELECT CAST(N'<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>' AS xml)"
            << "9402: XML parsing: line 1, character 36, unable to switch the encoding";
        QTest::newRow("xml second line") << 2005 << "SELECT CAST('<a>\n<b x=1/></a>' AS xml)"
            << "9413: XML parsing: line 2, character 5, A string literal was expected";
        QTest::newRow("date + 1") << 2008 << "SELECT CAST('2004-03-01' AS date) + 1" << "206: Operand type clash: date is incompatible with int";
        QTest::newRow("int to date") << 2008 << "SELECT CAST(1 AS date)" << "206: Operand type clash: int is incompatible with date";
        QTest::newRow("time to date") << 2008 << "SELECT CAST(CAST('10:00' AS time) AS date)" << "206: Operand type clash: time is incompatible with date";
        QTest::newRow("no such day") << 2008 << "SELECT CAST('2004-02-30' AS date)"
            << "241: Conversion failed when converting date and/or time from character string.";
        QTest::newRow("eight fraction digits") << 2008 << "SELECT CAST('2004-03-01 10:00:00.12345678' AS datetime2)"
            << "241: Conversion failed when converting date and/or time from character string.";
        QTest::newRow("offset beyond 14 hours") << 2008 << "SELECT CAST('2004-03-01 10:00 +14:01' AS datetimeoffset)"
            << "241: Conversion failed when converting date and/or time from character string.";
        QTest::newRow("datetime 241 as 2005 words it") << 2005 << "SELECT CAST('x' AS datetime)"
            << "241: Conversion failed when converting datetime from character string.";
        QTest::newRow("245 as 2005 words it") << 2005 << "SELECT CAST('x1' AS int)"
            << "245: Conversion failed when converting the varchar value 'x1' to data type int.";
        QTest::newRow("datetime2 before 1753 to datetime") << 2008 << "SELECT CAST(CAST('1000-01-01' AS datetime2) AS datetime)"
            << "242: The conversion of a datetime2 data type to a datetime data type resulted in an out-of-range value.";
        const QString x = "CREATE TABLE X (x xml, t text)\n";
        QTest::newRow("xml compared") << 2005 << x + "SELECT * FROM X WHERE x = 'a'"
            << "305: The XML data type cannot be compared or sorted, except when using the IS NULL operator.";
        QTest::newRow("xml sorted") << 2005 << x + "SELECT x FROM X ORDER BY x"
            << "305: The XML data type cannot be compared or sorted, except when using the IS NULL operator.";
        QTest::newRow("text compared, 2005: 306") << 2005 << x + "SELECT * FROM X WHERE t = 'a'"
            << "306: The text, ntext, and image data types cannot be compared or sorted, except when using IS NULL or LIKE operator.";
        QTest::newRow("text compared, 2008: 402") << 2019 << x + "SELECT * FROM X WHERE t = 'a'"
            << "402: The data types text and varchar are incompatible in the equal to operator.";
        QTest::newRow("geography compared") << 2008 << "CREATE TABLE G (g geography)\nSELECT * FROM G WHERE g = g"
            << "403: Invalid operator for data type. Operator equals equal to, type equals geography.";
        QTest::newRow("geography as text") << 2008 << "SELECT CAST(CAST(0x00 AS geography) AS nvarchar(max))"
            << "50000: The test server keeps geography values in their binary form only: convert them to varbinary (the text forms of the CLR types are not supported).";
        QTest::newRow("(max) key") << 2005 << "CREATE TABLE K (k varchar(max) NOT NULL PRIMARY KEY)"
            << "1919: Column 'k' in table 'K' is of a type that is invalid for use as a key column in an index.";
        QTest::newRow("xml in sql_variant") << 2005 << "CREATE TABLE V (v sql_variant)\nINSERT INTO V VALUES(CAST('<a/>' AS xml))"
            << "206: Operand type clash: xml is incompatible with sql_variant";
    }
    void refused()
    {
        QFETCH(int, year);
        QFETCH(QString, sql);
        QFETCH(QString, error);
        EngineFixture f(false, year);
        const Recorded r = f.run(sql);
        QVERIFY2(!r.errors().isEmpty(), qPrintable(sql));
        QCOMPARE(r.errors().first(), error);
    }

    void truncationInTableVariable()
    {
        // A table variable is named as tempdb names it; the statement ends, the batch goes on.
        EngineFixture f(false, 2019);
        const Recorded r = f.run("DECLARE @t TABLE (c nvarchar(2))\nINSERT INTO @t VALUES(N'абв')\nSELECT 1");
        QCOMPARE(r.errors().size(), 1);
        QVERIFY2(QRegularExpression("^2628: String or binary data would be truncated in table 'tempdb\\.dbo\\.#[0-9A-F]{8}', "
                                    "column 'c'\\. Truncated value: 'аб'\\.$").match(r.errors().first()).hasMatch(),
                 qPrintable(r.errors().first()));
        QCOMPARE(r.rows(0), QStringList({"1"}));
    }

    void text_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("text");
        QTest::newRow("datetime2 default") << 2019 << "CAST(CAST('2004-03-01 10:11:12.5' AS datetime2(3)) AS varchar(30))" << "2004-03-01 10:11:12.500";
        QTest::newRow("datetime2 121") << 2019 << "CONVERT(varchar(40), CAST('2004-03-01 10:11:12.1234567' AS datetime2), 121)"
            << "2004-03-01 10:11:12.1234567";
        QTest::newRow("datetime2 126") << 2019 << "CONVERT(varchar(40), CAST('2004-03-01 10:11:12.5' AS datetime2(2)), 126)"
            << "2004-03-01T10:11:12.50";
        QTest::newRow("datetime2 126 no fraction") << 2019 << "CONVERT(varchar(40), CAST('2004-03-01 10:11:12' AS datetime2), 126)"
            << "2004-03-01T10:11:12";
        QTest::newRow("datetimeoffset default") << 2019 << "CAST(CAST('2004-03-01 10:00 -03:30' AS datetimeoffset(0)) AS varchar(40))"
            << "2004-03-01 10:00:00 -03:30";
        QTest::newRow("datetimeoffset 127 in UTC") << 2019 << "CONVERT(varchar(40), CAST('2004-03-01 01:00 +03:00' AS datetimeoffset(0)), 127)"
            << "2004-02-29T22:00:00Z";
        QTest::newRow("datetimeoffset 126") << 2019 << "CONVERT(varchar(40), CAST('2004-03-01 10:00:00.25 +03:00' AS datetimeoffset(2)), 126)"
            << "2004-03-01T10:00:00.25+03:00";
        QTest::newRow("date 104") << 2019 << "CONVERT(varchar(20), CAST('2004-03-01' AS date), 104)" << "01.03.2004";
        QTest::newRow("time(0)") << 2019 << "CAST(CAST('10:00:00.7' AS time(0)) AS varchar(20))" << "10:00:01";
        QTest::newRow("datetime 121") << 2000 << "CONVERT(varchar(30), CAST('2004-03-01 10:00' AS datetime), 121)" << "2004-03-01 10:00:00.000";
        QTest::newRow("datetime 126") << 2000 << "CONVERT(varchar(30), CAST('2004-03-01 10:00:00.123' AS datetime), 126)" << "2004-03-01T10:00:00.123";
        QTest::newRow("datetime 126 without ms") << 2000 << "CONVERT(varchar(30), CAST('2004-03-01 10:00' AS datetime), 126)" << "2004-03-01T10:00:00";
        QTest::newRow("date from dmy string, style 104") << 2019 << "CONVERT(date, '01.03.2004', 104)" << "2004-03-01";
        QTest::newRow("xml as nvarchar") << 2005 << "CAST(CAST(N'<a>я</a>' AS xml) AS nvarchar(max))" << "<a>я</a>";
        QTest::newRow("xml as varbinary has a BOM") << 2005 << "CAST(CAST('<a/>' AS xml) AS varbinary(max))" << "0xFFFE3C0061002F003E00";
        QTest::newRow("geography as varbinary") << 2008 << "CAST(CAST(0x0102 AS geography) AS varbinary(max))" << "0x0102";
        QTest::newRow("@@VERSION 2019") << 2019 << "LEFT(@@VERSION, 45)" << "Microsoft SQL Server 2019 (RTM) - 15.0.2000.5";
        QTest::newRow("@@VERSION 2000") << 2000 << "LEFT(@@VERSION, 37)" << "Microsoft SQL Server  2000 - 8.00.194";
        QTest::newRow("ProductVersion 2008") << 2008 << "CAST(SERVERPROPERTY('ProductVersion') AS varchar(20))" << "10.0.1600.22";
        QTest::newRow("ProductMajorVersion 2019") << 2019 << "CAST(SERVERPROPERTY('ProductMajorVersion') AS varchar(20))" << "15";
        QTest::newRow("no ProductMajorVersion in 2008") << 2008 << "SERVERPROPERTY('ProductMajorVersion')" << "NULL";
        QTest::newRow("@@MICROSOFTVERSION 2022") << 2022 << "@@MICROSOFTVERSION" << QString::number((16 << 24) | 1000);
        QTest::newRow("variant keeps datetime2") << 2008
            << "CAST(SQL_VARIANT_PROPERTY(CAST(CAST('2004-03-01' AS datetime2(4)) AS sql_variant), 'BaseType') AS varchar(20))" << "datetime2";
        QTest::newRow("variant scale") << 2008
            << "CAST(SQL_VARIANT_PROPERTY(CAST(CAST('2004-03-01' AS datetime2(4)) AS sql_variant), 'Scale') AS int)" << "4";
        QTest::newRow("DATALENGTH of datetimeoffset(7)") << 2008 << "DATALENGTH(CAST('2004-03-01' AS datetimeoffset))" << "10";
        QTest::newRow("(max) concatenation is not cut") << 2005
            << "LEN(CAST(REPLICATE('a', 8000) AS varchar(max)) + REPLICATE('b', 8000))" << "16000";
        QTest::newRow("plain concatenation is cut") << 2005 << "LEN(REPLICATE('a', 8000) + REPLICATE('b', 8000))" << "8000";
    }
    void text()
    {
        QFETCH(int, year);
        QFETCH(QString, expression);
        QFETCH(QString, text);
        EngineFixture f(false, year);
        const Recorded r = f.run("SELECT " + expression);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(), QStringList({text}));
    }

    void comparisons_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<bool>("holds");
        QTest::newRow("offsets: the same instant") << "CAST('2004-03-01 10:00 +03:00' AS datetimeoffset) = CAST('2004-03-01 07:00 +00:00' AS datetimeoffset)" << true;
        QTest::newRow("offsets: later instant") << "CAST('2004-03-01 10:00 -01:00' AS datetimeoffset) > CAST('2004-03-01 10:00 +01:00' AS datetimeoffset)" << true;
        QTest::newRow("date = datetime at midnight") << "CAST('2004-03-01' AS date) = CAST('2004-03-01' AS datetime)" << true;
        QTest::newRow("datetime2 precision counts") << "CAST('10:00:00.0000001' AS time) > CAST('10:00' AS time)" << true;
        QTest::newRow("varchar(max) = varchar") << "CAST('abc ' AS varchar(max)) = 'abc'" << true;
        QTest::newRow("hierarchyid by bytes") << "CAST(0x58 AS hierarchyid) < CAST(0x68 AS hierarchyid)" << true;
    }
    void comparisons()
    {
        QFETCH(QString, condition);
        QFETCH(bool, holds);
        EngineFixture f(false, 2019);
        const Recorded r = f.run("SELECT 1 WHERE " + condition);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows().size(), holds ? 1 : 0);
    }

    void maxValuesFollowTextSize()
    {
        EngineFixture f(false, 2019);
        const Recorded r = f.run("CREATE TABLE M (v varchar(max), n nvarchar(max), b varbinary(max), x xml)\n"
                                 "INSERT INTO M VALUES(REPLICATE(CAST('a' AS varchar(max)), 9000), "
                                 "REPLICATE(CAST(N'я' AS nvarchar(max)), 9000), CAST(REPLICATE(CAST('b' AS varchar(max)), 9000) AS varbinary(max)), "
                                 "'<a>' + REPLICATE(CAST('c' AS varchar(max)), 9000) + '</a>')\n"
                                 "SET TEXTSIZE 10\nSELECT v, n, b, DATALENGTH(x) FROM M\nSET TEXTSIZE 2147483647\nSELECT LEN(v), LEN(n) FROM M");
        QCOMPARE(r.errors(), QStringList());
        // varchar(max) as text, nvarchar(max) as ntext (bytes: 5 characters), varbinary(max) as image; xml is not cut.
        QCOMPARE(r.rows(0), QStringList({"aaaaaaaaaa|яяяяя|0x62626262626262626262|18014"}));
        QCOMPARE(r.rows(1), QStringList({"9000|9000"}));
    }

    void rowsKeepTheirTypesOnDisk()
    {
        // Values of every new type survive the table file and come back in key order.
        EngineFixture f(false, 2019);
        const Recorded r = f.run(
            "CREATE TABLE K (k datetimeoffset(7) NOT NULL PRIMARY KEY, d date, t time(3), x xml, h hierarchyid)\n"
            "INSERT INTO K VALUES('2004-03-01 10:00 +03:00', '2004-03-01', '10:00:00.123', '<a/>', 0x58)\n"
            "INSERT INTO K VALUES('2004-03-01 06:00 +00:00', '0001-01-01', '23:59:59.999', NULL, NULL)\n"
            "INSERT INTO K VALUES('2004-03-01 07:30 +00:00', NULL, NULL, N'<b>ж</b>', 0x)\n"
            "SELECT k, d, t, x, h FROM K");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(), QStringList({"2004-03-01 06:00:00.0000000 +00:00|0001-01-01|23:59:59.9990000|NULL|NULL",
                                        "2004-03-01 10:00:00.0000000 +03:00|2004-03-01|10:00:00.1230000|<a/>|0x58",
                                        "2004-03-01 07:30:00.0000000 +00:00|NULL|NULL|<b>ж</b>|0x"}));
        // The same instant at another offset is the same key.
        const Recorded dup = f.run("INSERT INTO K (k) VALUES('2004-03-01 08:00 +01:00')");
        QCOMPARE(dup.firstError(), 2627);
    }
};

QTEST_GUILESS_MAIN(TestModern)
#include "tst_modern.moc"
