// Every catalogue type: its extremes come back exactly, and values convert
// as SQL Server converts them (rounding, code page, truncation, overflow).

#include "EngineFixture.h"

#include <QtTest>

class TestTypes : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("value");
        QTest::newRow("tinyint max") << "tinyint" << "255" << "255";
        QTest::newRow("tinyint min") << "tinyint" << "0" << "0";
        QTest::newRow("smallint min") << "smallint" << "-32768" << "-32768";
        QTest::newRow("int max") << "int" << "2147483647" << "2147483647";
        QTest::newRow("int min") << "int" << "-2147483648" << "-2147483648";
        QTest::newRow("bigint max") << "bigint" << "9223372036854775807" << "9223372036854775807";
        QTest::newRow("bigint min") << "bigint" << "-9223372036854775808" << "-9223372036854775808";
        QTest::newRow("bit") << "bit" << "5" << "1";
        QTest::newRow("decimal 38") << "decimal(38,10)" << "-9999999999999999999999999999.9999999999" << "-9999999999999999999999999999.9999999999";
        QTest::newRow("decimal rounds") << "decimal(5,2)" << "1.005" << "1.01";
        QTest::newRow("decimal rounds negative") << "numeric(5,2)" << "-1.005" << "-1.01";
        QTest::newRow("money max") << "money" << "922337203685477.5807" << "922337203685477.5807";
        QTest::newRow("money min") << "money" << "-922337203685477.5808" << "-922337203685477.5808";
        QTest::newRow("money rounds") << "money" << "0.00005" << "0.0001";
        QTest::newRow("smallmoney max") << "smallmoney" << "214748.3647" << "214748.3647";
        QTest::newRow("smallmoney min") << "smallmoney" << "-214748.3648" << "-214748.3648";
        QTest::newRow("float max") << "float" << "1.7976931348623157E+308" << "1.7976931348623157e+308";
        QTest::newRow("float tiny") << "float" << "4.9406564584124654E-324" << "4.9406564584124654e-324";
        QTest::newRow("float exact") << "float" << "0.1" << "0.10000000000000001";
        QTest::newRow("real") << "real" << "3.4E+38" << "3.3999999521443642e+38";
        QTest::newRow("real max as written") << "real" << "3.4028235E+38" << "3.4028234663852886e+38";
        QTest::newRow("real min as written") << "real" << "-3.4028235E+38" << "-3.4028234663852886e+38";
        QTest::newRow("datetime min") << "datetime" << "'1753-01-01'" << "1753-01-01 00:00:00.000";
        QTest::newRow("datetime max") << "datetime" << "'9999-12-31 23:59:59.997'" << "9999-12-31 23:59:59.997";
        QTest::newRow("datetime .999 carries") << "datetime" << "'2004-03-01 23:59:59.999'" << "2004-03-02 00:00:00.000";
        QTest::newRow("datetime .995") << "datetime" << "'2004-03-01 10:00:00.995'" << "2004-03-01 10:00:00.997";
        QTest::newRow("datetime .992") << "datetime" << "'2004-03-01 10:00:00.992'" << "2004-03-01 10:00:00.993";
        QTest::newRow("datetime .991") << "datetime" << "'2004-03-01 10:00:00.991'" << "2004-03-01 10:00:00.990";
        QTest::newRow("style 105") << "datetime" << "CONVERT(DATETIME, '19.06.1992 22:22:17',105)" << "1992-06-19 22:22:17.000";
        QTest::newRow("style 105 ms") << "datetime" << "CONVERT(DATETIME, '19-06-1992 22:22:17.123',105)" << "1992-06-19 22:22:17.123";
        QTest::newRow("style 105 date") << "datetime" << "CONVERT(DATETIME, '01.03.2004', 105)" << "2004-03-01 00:00:00.000";
        QTest::newRow("unseparated") << "datetime" << "'20040301 10:00'" << "2004-03-01 10:00:00.000";
        QTest::newRow("month name") << "datetime" << "'Mar  1 2004 10:00AM'" << "2004-03-01 10:00:00.000";
        QTest::newRow("smalldatetime down") << "smalldatetime" << "'2004-03-01 10:00:29.998'" << "2004-03-01 10:00";
        QTest::newRow("smalldatetime up") << "smalldatetime" << "'2004-03-01 10:00:29.999'" << "2004-03-01 10:01";
        QTest::newRow("smalldatetime max") << "smalldatetime" << "'2079-06-06 23:59'" << "2079-06-06 23:59";
        QTest::newRow("char pads") << "char(5)" << "'ab'" << "ab   ";
        QTest::newRow("varchar keeps blanks") << "varchar(5)" << "'ab '" << "ab ";
        QTest::newRow("varchar cyrillic") << "varchar(10)" << "'Привет'" << "Привет";
        QTest::newRow("varchar loses greek") << "varchar(10)" << "N'aξb'" << "a?b";
        QTest::newRow("nvarchar from plain literal") << "nvarchar(10)" << "'aξЁ'" << "a?Ё";
        QTest::newRow("nvarchar keeps unicode") << "nvarchar(10)" << "N'aξЁ'" << "aξЁ";
        QTest::newRow("nchar pads") << "nchar(3)" << "N'ж'" << "ж  ";
        QTest::newRow("text") << "text" << "'длинный текст'" << "длинный текст";
        QTest::newRow("ntext") << "ntext" << "N'ξ'" << "ξ";
        QTest::newRow("varbinary") << "varbinary(4)" << "0x00FF" << "0x00FF";
        QTest::newRow("binary pads") << "binary(4)" << "0x01" << "0x01000000";
        QTest::newRow("image") << "image" << "0x89504E47" << "0x89504E47";
        QTest::newRow("uniqueidentifier") << "uniqueidentifier" << "'6F9619FF-8B86-D011-B42D-00C04FC964FF'" << "0xFF19966F868B11D0B42D00C04FC964FF";
        QTest::newRow("variant int") << "sql_variant" << "42" << "42";
        QTest::newRow("variant text") << "sql_variant" << "N'ё'" << "ё";
        QTest::newRow("concatenated pieces") << "varchar(20)" << "'a\\' + CHAR(13) + CHAR(10) + 'b'" << "a\\\r\nb";
        QTest::newRow("continuation removed") << "varchar(20)" << "'a\\\r\nb'" << "ab";
        QTest::newRow("null") << "int" << "NULL" << "NULL";
    }
    void roundTrip()
    {
        QFETCH(QString, type);
        QFETCH(QString, literal);
        QFETCH(QString, value);
        EngineFixture f;
        const Recorded r = f.run("CREATE TABLE v (c " + type + ")\nINSERT INTO v VALUES(" + literal + ")\nSELECT c FROM v");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(), QStringList({value}));
        // Through a table variable and back (the data script's path) nothing changes either.
        const Recorded back = f.run("DECLARE @t TABLE (c1 " + type + ")\nINSERT INTO @t(c1) SELECT c FROM v\nDELETE FROM v\n"
                                    "INSERT INTO v(c) SELECT c1 FROM @t\nSELECT c FROM v");
        QCOMPARE(back.errors(), QStringList());
        QCOMPARE(back.rows(back.results.size() - 1), QStringList({value}));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<int>("number");
        QTest::newRow("tinyint over") << "tinyint" << "256" << 220;
        QTest::newRow("smallint over") << "smallint" << "32768" << 220;
        QTest::newRow("int over") << "int" << "2147483648" << 8115;
        QTest::newRow("decimal over") << "decimal(3,1)" << "100" << 8115;
        QTest::newRow("money over") << "money" << "922337203685477.5808" << 8115;
        QTest::newRow("smallmoney over") << "smallmoney" << "214748.3648" << 8115;
        QTest::newRow("real over") << "real" << "3.5E+38" << 8115;
        // More digits than 128 bits hold once scaled: an error, never a wrapped value.
        const QString ones37 = "'-" + QString(37, '1') + "'";
        QTest::newRow("37-digit text to decimal") << "decimal(10,3)" << ones37 << 8115;
        QTest::newRow("37-digit text to money") << "money" << ones37 << 236;
        QTest::newRow("37-digit text to smallmoney") << "smallmoney" << ones37 << 294;
        QTest::newRow("38 digits rescaled") << "decimal(38,2)" << QString(38, '9') << 8115;
        QTest::newRow("int rescaled past 128 bits") << "decimal(38,30)" << "2147483647" << 8115;
        QTest::newRow("bigint rescaled past 128 bits") << "decimal(38,20)" << "CAST(9223372036854775807 AS bigint)" << 8115;
        QTest::newRow("datetime before 1753") << "datetime" << "'1752-12-31'" << 242;
        QTest::newRow("no such day") << "datetime" << "'2004-02-30'" << 242;
        QTest::newRow("not a date") << "datetime" << "'soon'" << 241;
        QTest::newRow("smalldatetime after 2079") << "smalldatetime" << "'2079-06-07'" << 296;
        QTest::newRow("varchar too long") << "varchar(2)" << "'abc'" << 8152;
        QTest::newRow("nvarchar too long") << "nvarchar(2)" << "N'жжж'" << 8152;
        QTest::newRow("binary too long") << "binary(1)" << "0x0102" << 8152;
        QTest::newRow("guid text") << "uniqueidentifier" << "'nope'" << 8169;
        QTest::newRow("int from text") << "int" << "'1x'" << 245;
        QTest::newRow("timestamp explicit") << "timestamp" << "0x01" << 273;
    }
    void refused()
    {
        QFETCH(QString, type);
        QFETCH(QString, literal);
        QFETCH(int, number);
        EngineFixture f;
        f.run("CREATE TABLE v (c " + type + ")");
        const Recorded r = f.run("INSERT INTO v VALUES(" + literal + ")");
        QCOMPARE(r.firstError(), number);
        QCOMPARE(f.query("SELECT COUNT(*) FROM v"), QStringList({"0"}));
    }

    void hugeDecimalsCompareAndAdd()
    {
        // Values whose common scale does not fit in 128 bits.
        EngineFixture f;
        QCOMPARE(f.run("CREATE TABLE h (a decimal(38,0), b decimal(38,37))\nINSERT INTO h VALUES(" + QString(38, '9') + ", 9." +
                       QString(37, '9') + ")").errors(), QStringList());
        QCOMPARE(f.query("SELECT COUNT(*) FROM h WHERE a > b AND b < a AND NOT (a = b)"), QStringList({"1"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM h WHERE -a < b AND b > -a"), QStringList({"1"}));
        QCOMPARE(f.run("SELECT a + b FROM h").firstError(), 8115);
        QCOMPARE(f.run("SELECT a + a FROM h").firstError(), 8115);
        QCOMPARE(f.run("SELECT b / 0.0000000000000000000000000000000000001 FROM h").firstError(), 8115);
    }

    void columnMetadata()
    {
        EngineFixture f;
        const Recorded r = f.run("CREATE TABLE m (i int IDENTITY NOT NULL, d decimal(12,3), n nvarchar(7), t text, c AS (i + 1))\n"
                                 "SELECT * FROM m");
        const auto &cols = r.results[0].columns;
        QCOMPARE(cols.size(), std::size_t(5));
        QVERIFY(cols[0].identity && !cols[0].nullable);
        QCOMPARE(int(cols[1].precision), 12);
        QCOMPARE(int(cols[1].scale), 3);
        QCOMPARE(cols[1].length, 9);
        QCOMPARE(cols[2].length, 14);
        QCOMPARE(cols[3].tableName, std::string("m"));
        QVERIFY(cols[4].computed);
    }
};

QTEST_GUILESS_MAIN(TestTypes)
#include "tst_types.moc"
