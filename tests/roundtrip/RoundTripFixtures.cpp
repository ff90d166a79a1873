#include "RoundTripFixtures.h"

#include "QuorvaneException.h"

namespace {

// Text and bytes longer than 8,000, built once.
QString longText()
{
    QString s;
    for (int i = 0; s.size() < 9000; ++i)
        s += QStringLiteral("%1 quick 'fox' ").arg(i, 5, 10, QChar(u'0'));
    return s;
}

QString longNationalText()
{
    QString s;
    for (int i = 0; s.size() < 8500; ++i)
        s += QStringLiteral("Ёж %1 語 ").arg(i);
    return s;
}

QString longBytes()
{
    QString hex = QStringLiteral("0x");
    for (int i = 0; i < 9000; ++i)
        hex += QStringLiteral("%1").arg(i % 7 == 0 ? 0 : (i * 37) % 256, 2, 16, QChar(u'0')).toUpper();
    return hex;
}

QString quoted(QString text)
{
    return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\'';
}

// A literal for a value that holds a backslash right before a line break:
// the server drops a backslash and the CR LF after it (line continuation),
// so another pair goes before the value's own break.
QString continued(QString text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text.at(i);
        if (text.at(i) == u'\\' && i + 1 < text.size() && (text.at(i + 1) == u'\r' || text.at(i + 1) == u'\n'))
            out += QStringLiteral("\\\r\n");
    }
    return quoted(out);
}

// n characters of a repeated pattern with a backslash and a line break
// in the middle and at the end.
QString withBreaks(int n, const QString &pattern, const QString &lineBreak)
{
    QString text;
    while (text.size() < n)
        text += pattern;
    text.truncate(n);
    text.replace(n / 2, lineBreak.size() + 1, u'\\' + lineBreak);
    text.replace(n - lineBreak.size() - 1, lineBreak.size() + 1, u'\\' + lineBreak);
    return text;
}

QString hexBytes(int n, int seed)
{
    QString hex = QStringLiteral("0x");
    for (int i = 0; i < n; ++i)
        hex += QStringLiteral("%1").arg((i * seed + i / 7) % 256, 2, 16, QChar(u'0')).toUpper();
    return hex;
}

QList<TRoundTripTable> buildTables()
{
    QList<TRoundTripTable> tables;

    const QString typeColumns = QStringLiteral(
        "CImage, CText, CGuid, CTiny, CSmall, CInt, CSmallDate, CReal, CMoney, CDate, CFloat, CNText, "
        "CBit, CDec, CNum, CSmallMoney, CBig, CVarBin, CVarChar, CBin, CChar, CNVarChar, CNChar");
    const QString insertTypes = QStringLiteral("INSERT INTO %1(") + typeColumns + QStringLiteral(") VALUES(");
    tables.append({QStringLiteral("RtTypes"),
                   QStringLiteral("CREATE TABLE %1 (Id int IDENTITY(1,1) PRIMARY KEY, CImage image NULL, CText text NULL, "
                                  "CGuid uniqueidentifier NULL, CTiny tinyint NULL, CSmall smallint NULL, CInt int NULL, "
                                  "CSmallDate smalldatetime NULL, CReal real NULL, CMoney money NULL, CDate datetime NULL, "
                                  "CFloat float NULL, CNText ntext NULL, CBit bit NULL, "
                                  "CDec decimal(38,10) NULL, CNum numeric(18,4) NULL, CSmallMoney smallmoney NULL, "
                                  "CBig bigint NULL, CVarBin varbinary(100) NULL, CVarChar varchar(300) NULL, "
                                  "CBin binary(8) NULL, CChar char(10) NULL, CStamp timestamp, "
                                  "CNVarChar nvarchar(300) NULL, CNChar nchar(10) NULL, CComputed AS (CTiny + 1))"),
                   {
                       // 1: the upper ends.
                       insertTypes + QStringLiteral(
                           "0xFF, 'max', '6F9619FF-8B86-D011-B42D-00C04FC964FF', 255, 32767, 2147483647, "
                           "CONVERT(DATETIME, '06.06.2079 23:59', 105), 3.4028235E+38, 922337203685477.5807, "
                           "CONVERT(DATETIME, '31.12.9999 23:59:59.997', 105), 1.7976931348623157E+308, N'макс', 1, "
                           "9999999999999999999999999999.9999999999, 99999999999999.9999, 214748.3647, "
                           "9223372036854775807, 0xFFFFFFFF, 'upper', 0xFFFFFFFFFFFFFFFF, 'ZZZZZZZZZZ', N'Я', N'ЯЯЯЯЯЯЯЯЯЯ')"),
                       // 2: the lower ends.
                       insertTypes + QStringLiteral(
                           "0x00, 'min', '00000000-0000-0000-0000-000000000000', 0, -32768, -2147483648, "
                           "CONVERT(DATETIME, '01.01.1900 00:00', 105), -3.4028235E+38, -922337203685477.5808, "
                           "CONVERT(DATETIME, '01.01.1753 00:00:00', 105), -1.7976931348623157E+308, N'мин', 0, "
                           "-9999999999999999999999999999.9999999999, -99999999999999.9999, -214748.3648, "
                           "-9223372036854775808, 0x00, 'lower', 0x0000000000000000, '0', N'а', N'а')"),
                       // 3: NULL wherever a NULL may go.
                       QStringLiteral("INSERT INTO %1(CVarChar) VALUES(NULL)"),
                       // 4: the awkward strings.
                       insertTypes + QStringLiteral(
                           "0x, '', '01234567-89AB-CDEF-0123-456789ABCDEF', 1, 0, 0, NULL, 0, -0.0001, NULL, 0, N'', 1, "
                           "0.0000000001, -0.0001, -0.0001, 0, 0x000000, "
                           "'O''Brien said ''hi''' + CHAR(13) + CHAR(10) + 'C:\\dir\\' + CHAR(13) + CHAR(10) + 'end\\' + CHAR(10) + 'x', "
                           "0x0000010200000000, '', "
                           "N'Съешь ещё этих булок 你好世界 ''ё'' \\' + NCHAR(13) + NCHAR(10) + N'строка', N'日本語ё''')"),
                       // 5: numbers that need every digit, milliseconds.
                       insertTypes + QStringLiteral(
                           "0x0D0A, 'line one\r\nline two\r\n', 'A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11', 128, -1, -1, "
                           "CONVERT(DATETIME, '29.02.2000 12:31', 105), 0.1, 0.0001, "
                           "CONVERT(DATETIME, '19.06.1992 22:22:17.123', 105), 0.30000000000000004, "
                           "N'ünïcödé \\', 0, 1234567890123456789012345678.0123456789, 0.0001, 0.0001, 1, 0x0100, "
                           "'tab\there', 0x01, ' lead', N'-0', N'x')"),
                       // 6: floats and dates beside the ends.
                       insertTypes + QStringLiteral(
                           "NULL, NULL, NULL, NULL, NULL, NULL, CONVERT(DATETIME, '31.12.1999 23:59', 105), "
                           "-1.17549435E-38, 12345.6789, CONVERT(DATETIME, '01.01.2000 00:00:00.003', 105), "
                           "-2.2250738585072014E-308, NULL, NULL, 0.5, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                           "N'1.0000000000000002', NULL)"),
                       QStringLiteral("INSERT INTO %1(CFloat, CReal, CDate) VALUES(123456789.12345679, 16777216, "
                                      "CONVERT(DATETIME, '05.03.2004 14:20:07.997', 105))"),
                       // 8: longer than 8,000.
                       QStringLiteral("INSERT INTO %1(CText, CNText, CImage) VALUES(%2, N%3, %4)")
                           .arg(QStringLiteral("%1"), quoted(longText()), quoted(longNationalText()), longBytes()),
                   },
                   {},
                   {
                       QStringLiteral("DELETE FROM %1 WHERE Id IN (2, 8)"),
                       QStringLiteral("UPDATE %1 SET CVarChar = 'changed', CInt = 5, CNText = N'изменено', "
                                      "CImage = 0x01, CDec = 1 WHERE Id = 4"),
                       QStringLiteral("UPDATE %1 SET CFloat = 1, CDate = NULL WHERE Id = 5"),
                       QStringLiteral("INSERT INTO %1(CVarChar, CNVarChar) VALUES('extra', N'лишняя')"),
                   }});

    // sql_variant: values of several base types, which the target's values
    // must keep (the checks compare them).
    {
        QStringList rows;
        const char *const values[] = {
            "42", "N'вариант'", "'text'", "NULL", "CAST(0.1 AS float)", "CAST(0.30000000000000004 AS float)",
            "CAST(-1.5 AS decimal(10,3))", "CAST(99999.99999 AS numeric(12,5))",
            "CONVERT(datetime, '19.06.1992 22:22:17.123', 105)", "CAST(CONVERT(datetime, '01.03.2004 10:00', 105) AS smalldatetime)",
            "CAST(0x0A0B AS varbinary(10))", "CAST(0x00FF AS binary(4))", "CAST('6F9619FF-8B86-D011-B42D-00C04FC964FF' AS uniqueidentifier)",
            "CAST(1 AS bit)", "CAST(2.5 AS money)", "CAST(-214748.3648 AS smallmoney)", "CAST('ab' AS char(3))",
            "CAST(N'ё' AS nchar(2))", "CAST(-9223372036854775808 AS bigint)", "CAST(200 AS tinyint)", "CAST(-7 AS smallint)",
            "CAST(3.4028235E+38 AS real)", "CAST(N'語 ёж' AS nvarchar(10))", "CAST('a\\' + CHAR(10) + 'b' AS varchar(10))",
            "'Ab' COLLATE Latin1_General_BIN"};
        int id = 0;
        for (const char *value : values)
            rows << QStringLiteral("INSERT INTO %1 VALUES(%2, %3)").arg(QStringLiteral("%1"), QString::number(++id), QString::fromUtf8(value));
        tables.append({QStringLiteral("RtVariant"),
                       QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, V sql_variant NULL)"),
                       rows,
                       {},
                       {QStringLiteral("DELETE FROM %1 WHERE Id IN (2, 7)"), QStringLiteral("UPDATE %1 SET V = 'changed' WHERE Id IN (3, 5, 9)"),
                        QStringLiteral("UPDATE %1 SET V = CAST(5 AS bigint) WHERE Id = 1"), QStringLiteral("INSERT INTO %1 VALUES(99, 'extra')")},
                       {QStringLiteral("SQL_VARIANT_PROPERTY(V, 'BaseType')"), QStringLiteral("SQL_VARIANT_PROPERTY(V, 'Precision')"),
                        QStringLiteral("SQL_VARIANT_PROPERTY(V, 'Scale')"), QStringLiteral("SQL_VARIANT_PROPERTY(V, 'MaxLength')"),
                        QStringLiteral("SQL_VARIANT_PROPERTY(V, 'Collation')")}});
    }

    tables.append({QStringLiteral("RtComposite"),
                   QStringLiteral("CREATE TABLE %1 (A int NOT NULL, B varchar(10) NOT NULL, Val nvarchar(50) NULL, "
                                  "Amount decimal(18,4) NULL, PRIMARY KEY (A, B))"),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 'x', N'один', 1.5)"),
                    QStringLiteral("INSERT INTO %1 VALUES(1, 'y', N'два', -2.25)"),
                    QStringLiteral("INSERT INTO %1 VALUES(2, 'x', N'три', NULL)"),
                    QStringLiteral("INSERT INTO %1 VALUES(3, 'z', NULL, 0)")},
                   {QStringLiteral("INSERT INTO %1 VALUES(4, 'new', N'новая', 7)")},
                   {QStringLiteral("DELETE FROM %1 WHERE A = 1 AND B = 'y'"),
                    QStringLiteral("UPDATE %1 SET Val = N'изменено', Amount = 99 WHERE A = 2"),
                    QStringLiteral("INSERT INTO %1 VALUES(9, 'q', N'лишняя', 1)")}});

    tables.append({QStringLiteral("Rt Names"),
                   QStringLiteral("CREATE TABLE %1 ([Key] int NOT NULL PRIMARY KEY, [Value] varchar(20) NULL, "
                                  "[Two Words] int NULL, [select] nvarchar(10) NULL, [Odd]]Name] int NULL)"),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 'a', 10, N'да', 1)"),
                    QStringLiteral("INSERT INTO %1 VALUES(2, 'b', 20, N'нет', 2)"),
                    QStringLiteral("INSERT INTO %1 VALUES(3, NULL, NULL, NULL, NULL)")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE [Key] = 2"),
                    QStringLiteral("UPDATE %1 SET [Value] = 'c', [Odd]]Name] = 5 WHERE [Key] = 3"),
                    QStringLiteral("INSERT INTO %1 VALUES(4, 'extra', 0, N'ещё', 0)")}});

    tables.append({QStringLiteral("RtIdentity"),
                   QStringLiteral("CREATE TABLE %1 (Id int IDENTITY(1,1) PRIMARY KEY, Name varchar(20) NOT NULL, "
                                  "Qty int NULL, Stamp timestamp, Total AS (Qty * 2))"),
                   {QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('a', 1)"),
                    QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('b', 2)"),
                    QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('c', 3)"),
                    QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('d', 4)")},
                   // The source has a gap where its third row was.
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 3")},
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 2"),
                    QStringLiteral("UPDATE %1 SET Qty = 40 WHERE Id = 4"),
                    QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('e', 5)")}});

    tables.append({QStringLiteral("RtNoKey"),
                   QStringLiteral("CREATE TABLE %1 (A int NULL, B varchar(10) NULL)"),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 'a')"), QStringLiteral("INSERT INTO %1 VALUES(2, 'b')"),
                    QStringLiteral("INSERT INTO %1 VALUES(3, NULL)")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE A = 2"),
                    QStringLiteral("UPDATE %1 SET B = 'changed' WHERE A = 3"),
                    QStringLiteral("INSERT INTO %1 VALUES(7, 'extra')")}});

    // Long values: over 4 KB (the server's default TEXTSIZE) and over 8 KB
    // (what a concatenation keeps), a backslash before a line break in one
    // over 8 KB, and nvarchar(2500), which is 5,000 bytes.
    tables.append({QStringLiteral("RtLong"),
                   QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, T text NULL, N ntext NULL, I image NULL, "
                                  "V varchar(8000) NULL, NV nvarchar(2500) NULL)"),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, %2, N%3, %4, %5, N%6)")
                        .arg(QStringLiteral("%1"), quoted(QString(5000, u'a')), quoted(QString(3000, u'ж')), hexBytes(5000, 3),
                             quoted(QString(8000, u'v')), quoted(QString(2500, u'я'))),
                    QStringLiteral("INSERT INTO %1 VALUES(2, %2, N%3, %4, %5, N%6)")
                        .arg(QStringLiteral("%1"), continued(withBreaks(20000, QStringLiteral("C:\\dir "), QStringLiteral("\r\n"))),
                             continued(withBreaks(9000, QStringLiteral("путь\\ "), QStringLiteral("\n"))), hexBytes(20000, 7),
                             continued(withBreaks(8000, QStringLiteral("x"), QStringLiteral("\r\n"))),
                             continued(withBreaks(2500, QStringLiteral("ё"), QStringLiteral("\n")))),
                    QStringLiteral("INSERT INTO %1(Id) VALUES(3)")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 2"), QStringLiteral("UPDATE %1 SET T = 'short', NV = N'изменено' WHERE Id = 1"),
                    QStringLiteral("INSERT INTO %1(Id, T) VALUES(9, 'extra')")}});

    // Names that bind to what they must not: a 128-character column name,
    // a table named like the alias, a key X1 beside a carried X, a name
    // with comment marks.
    tables.append({QStringLiteral("RtLongName"),
                   QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, [%2] varchar(10) NULL)").arg(QStringLiteral("%1"), QString(128, u'c')),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 'a')"), QStringLiteral("INSERT INTO %1 VALUES(2, 'b')")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 2"), QStringLiteral("UPDATE %1 SET [%2] = 'z' WHERE Id = 1").arg(QStringLiteral("%1"), QString(128, u'c'))}});
    tables.append({QStringLiteral("T"),
                   QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, V varchar(10) NULL)"),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 'a')"), QStringLiteral("INSERT INTO %1 VALUES(2, 'b')")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 2"), QStringLiteral("UPDATE %1 SET V = 'z' WHERE Id = 1"),
                    QStringLiteral("INSERT INTO %1 VALUES(3, 'c')")}});
    tables.append({QStringLiteral("RtX"),
                   QStringLiteral("CREATE TABLE %1 (X varchar(10) NULL, X1 int NOT NULL PRIMARY KEY)"),
                   {QStringLiteral("INSERT INTO %1 VALUES('a', 1)"), QStringLiteral("INSERT INTO %1 VALUES('b', 2)")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE X1 = 2"), QStringLiteral("UPDATE %1 SET X = 'z' WHERE X1 = 1")}});
    tables.append({QStringLiteral("Rt /* odd"),
                   QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, [a*/b] varchar(10) NULL, [c/*d] int NULL)"),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 'a', 1)"), QStringLiteral("INSERT INTO %1 VALUES(2, 'b', 2)")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 2"), QStringLiteral("UPDATE %1 SET [a*/b] = 'z' WHERE Id = 1")}});

    // A non-Latin name in need of brackets, with identity.
    tables.append({QStringLiteral("Заказы 2024"),
                   QStringLiteral("CREATE TABLE %1 (Id int IDENTITY(1,1) PRIMARY KEY, Name varchar(20) NOT NULL, Qty int NULL)"),
                   {QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('a', 1)"), QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('b', 2)"),
                    QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('c', 3)")},
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 2")},
                   {QStringLiteral("DELETE FROM %1 WHERE Id = 3"), QStringLiteral("UPDATE %1 SET Qty = 40 WHERE Id = 1"),
                    QStringLiteral("INSERT INTO %1(Name, Qty) VALUES('e', 5)")}});

    // Keys that hold NULL: matched NULL to NULL, so a second run adds nothing.
    tables.append({QStringLiteral("RtNullKey"),
                   QStringLiteral("CREATE TABLE %1 (A int NULL, B varchar(10) NULL, V int NULL)"),
                   {QStringLiteral("INSERT INTO %1 VALUES(NULL, 'x', 1)"), QStringLiteral("INSERT INTO %1 VALUES(1, NULL, 2)"),
                    QStringLiteral("INSERT INTO %1 VALUES(NULL, NULL, 3)"), QStringLiteral("INSERT INTO %1 VALUES(2, 'y', 4)")},
                   {},
                   {QStringLiteral("UPDATE %1 SET V = 10 WHERE A IS NULL AND B = 'x'"), QStringLiteral("DELETE FROM %1 WHERE A = 2"),
                    QStringLiteral("INSERT INTO %1 VALUES(9, 'z', 9)")}});

    // A key column of a collation other than the database's default.
    tables.append({QStringLiteral("RtCollation"),
                   QStringLiteral("CREATE TABLE %1 (Code varchar(10) COLLATE Latin1_General_BIN NOT NULL PRIMARY KEY, "
                                  "Name varchar(20) COLLATE Latin1_General_BIN NULL, Note varchar(20) NULL)"),
                   {QStringLiteral("INSERT INTO %1 VALUES('a', 'one', 'x')"), QStringLiteral("INSERT INTO %1 VALUES('B', 'two', 'y')"),
                    QStringLiteral("INSERT INTO %1 VALUES('c', 'three', NULL)")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE Code = 'B'"), QStringLiteral("UPDATE %1 SET Name = 'z' WHERE Code = 'a'")}});

    tables.append({QStringLiteral("RtEmpty"),
                   QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, Name varchar(10) NULL)"),
                   {},
                   {},
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 'a')"), QStringLiteral("INSERT INTO %1 VALUES(2, NULL)")}});

    // Values with lines that sqlcmd and tsql would take for batch
    // separators, row after row, so that a batch boundary falls among them.
    {
        const QStringList goValues = {QStringLiteral("a\r\nGO\r\nb"),          QStringLiteral("go"),
                                      QStringLiteral("x\ngo\n"),                QStringLiteral("\r\n  Go 5\r\nGO"),
                                      QStringLiteral("c:\\\r\nGO\\\r\n"), QStringLiteral("'\r\nGO'\r\n'GO"),
                                      QStringLiteral("goods\rGO\r")};
        TRoundTripTable go{QStringLiteral("RtGo"),
                           QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, N nvarchar(100) NULL, V varchar(100) NULL, T text NULL)"),
                           {}, {}, {}, {}};
        for (int i = 0; i < goValues.size(); ++i) {
            const QString value = continued(goValues.at(i));
            go.Rows << QStringLiteral("INSERT INTO %1 VALUES(%2, N%3, %3, %3)").arg(QStringLiteral("%1"), QString::number(i + 1), value);
        }
        go.Drift = {QStringLiteral("DELETE FROM %1 WHERE Id IN (2, 5)"), QStringLiteral("UPDATE %1 SET N = N'old', T = NULL WHERE Id = 3")};
        tables.append(go);
    }

    // Order Lines, as the wizard offers it: the raw name in the nickname.
    tables.append({QStringLiteral("Order Lines"),
                   QStringLiteral("CREATE TABLE %1 ([Order] int NOT NULL, Line int NOT NULL, Qty decimal(10,3) NULL, "
                                  "PRIMARY KEY ([Order], Line))"),
                   {QStringLiteral("INSERT INTO %1 VALUES(1, 1, 2.5)"), QStringLiteral("INSERT INTO %1 VALUES(1, 2, NULL)"),
                    QStringLiteral("INSERT INTO %1 VALUES(2, 1, 0.001)")},
                   {},
                   {QStringLiteral("DELETE FROM %1 WHERE [Order] = 2"), QStringLiteral("UPDATE %1 SET Qty = 9 WHERE Line = 2"),
                    QStringLiteral("INSERT INTO %1 VALUES(7, 7, 7)")}});
    return tables;
}

} // namespace

const QList<TRoundTripTable> &RoundTripTables()
{
    static const QList<TRoundTripTable> tables = buildTables();
    return tables;
}

const TRoundTripTable &OversizedTable()
{
    static const TRoundTripTable table = [] {
        TRoundTripTable huge{QStringLiteral("RtHuge"), QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, T text NULL)"),
                             {}, {}, {}, {}};
        for (int i = 1; i <= 18; ++i)
            huge.Rows << QStringLiteral("INSERT INTO %1 VALUES(%2, '%3')")
                             .arg(QStringLiteral("%1"), QString::number(i), QString(1000000, QChar(u'a' + i)));
        huge.Drift = {QStringLiteral("DELETE FROM %1 WHERE Id > 9")};
        return huge;
    }();
    return table;
}

const TRoundTripTable &RoundTripTable(const QString &Name)
{
    for (const TRoundTripTable &table : RoundTripTables())
        if (table.Name == Name)
            return table;
    throw EQuorvaneException(QStringLiteral("no fixture table %1").arg(Name));
}

QStringList BuildStatements(const TRoundTripTable &Table, const QString &SqlName, const QStringList &Extra)
{
    QStringList statements;
    statements << Table.Create.arg(SqlName);
    for (const QString &row : Table.Rows)
        statements << row.arg(SqlName);
    for (const QString &step : Extra)
        statements << step.arg(SqlName);
    return statements;
}
