// The newer types on the wire: PLP for the (max) types, xml and the CLR
// types from TDS 7.2, the date and time encodings of 7.3, and what older
// clients get instead (nvarchar text before 7.3; text, ntext and image for
// 7.1), as SQL Server sends them.

#include "Tokens.h"
#include "WireHelpers.h"

#include <QtTest>

using namespace qts;

Q_DECLARE_METATYPE(qts::ColumnInfo)
Q_DECLARE_METATYPE(qts::Value)

namespace {

ColumnInfo column(XType type, int length = 0, int scale = 0)
{
    ColumnInfo c;
    c.name = "c";
    c.type = type;
    c.length = length;
    c.scale = std::uint8_t(scale);
    return c;
}

// COLMETADATA of one column after the count, up to (not including) its name.
QByteArray typeInfo(const ColumnInfo &c, int tds)
{
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    RowEncoder(std::vector<ColumnInfo>{c}, tds).writeMetadata(w);
    w.end();
    const QByteArray p = payloads(t.sent);
    const int userType = tds >= 72 ? 4 : 2;
    return p.mid(1 + 2 + userType + 2).chopped(1 + 2);  // token, count, user type, flags ... name "c"
}

QByteArray rowBytes(const ColumnInfo &c, const Value &v, int tds)
{
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    RowEncoder(std::vector<ColumnInfo>{c}, tds).writeRow(w, std::vector<Value>{v});
    w.end();
    return payloads(t.sent).mid(1);
}

Value text(const char *utf8) { Value v; v.kind = Value::Kind::Text; v.bytes = utf8; return v; }
Value bytes(const QByteArray &b) { Value v; v.kind = Value::Kind::Bytes; v.bytes = b.toStdString(); return v; }

// A date and time: days since 1900-01-01 from a QDate, 100 ns units.
Value timeValue(const QDate &d, std::uint64_t hns, int offset = 0)
{
    Value v;
    v.kind = Value::Kind::Time;
    v.days = std::int32_t(QDate(1900, 1, 1).daysTo(d));
    v.hns = hns;
    v.offset = std::int16_t(offset);
    return v;
}

QByteArray le(quint64 v, int n)
{
    QByteArray b;
    for (int k = 0; k < n; ++k)
        b += char((v >> (8 * k)) & 0xFF);
    return b;
}

QByteArray utf16(const QString &s) { return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2); }

const quint64 kDays20040301 = quint64(QDate(1, 1, 1).daysTo(QDate(2004, 3, 1)));
const std::uint64_t kHour = 36000000000ULL;

} // namespace

class TdsModernTest : public QObject {
    Q_OBJECT
private slots:
    void metadata_data();
    void metadata();
    void values_data();
    void values();
    void plpCarriesSeveralMegabytes();
    void variantOfADateTime2();
};

void TdsModernTest::metadata_data()
{
    QTest::addColumn<ColumnInfo>("column");
    QTest::addColumn<int>("tds");
    QTest::addColumn<QByteArray>("info");
    const QByteArray cyrillic = unhex("1904d00000");
    QTest::newRow("varchar(max), 7.2: PLP") << column(XType::VarChar, -1) << 72 << unhex("a7 ffff") + cyrillic;
    QTest::newRow("nvarchar(max), 7.4") << column(XType::NVarChar, -1) << 74 << unhex("e7 ffff") + cyrillic;
    QTest::newRow("varbinary(max), 7.4") << column(XType::VarBinary, -1) << 74 << unhex("a5 ffff");
    QTest::newRow("varbinary(8000) stays") << column(XType::VarBinary, 8000) << 74 << unhex("a5 401f");
    QTest::newRow("varchar(max), 7.1: text") << column(XType::VarChar, -1) << 71 << unhex("23 ffffff7f") + cyrillic + unhex("0000");
    QTest::newRow("nvarchar(max), 7.1: ntext") << column(XType::NVarChar, -1) << 71 << unhex("63 feffff7f") + cyrillic + unhex("0000");
    QTest::newRow("varbinary(max), 7.1: image") << column(XType::VarBinary, -1) << 71 << unhex("22 ffffff7f 0000");
    QTest::newRow("xml, 7.2: no schema") << column(XType::Xml, -1) << 72 << unhex("f1 00");
    QTest::newRow("xml, 7.1: ntext") << column(XType::Xml, -1) << 71 << unhex("63 feffff7f") + cyrillic + unhex("0000");
    QTest::newRow("geography, 7.1: image") << column(XType::Geography, -1) << 71 << unhex("22 ffffff7f 0000");
    // UDT_INFO: the most bytes, database (none), schema, type, assembly.
    const QByteArray assembly = utf16("Microsoft.SqlServer.Types.SqlHierarchyId, Microsoft.SqlServer.Types, Version=11.0.0.0, "
                                      "Culture=neutral, PublicKeyToken=89845dcd8080cc91");
    QTest::newRow("hierarchyid, 7.2: UDT") << column(XType::HierarchyId, 892) << 72
        << unhex("f0 7c03 00 03") + utf16("sys") + unhex("0b") + utf16("hierarchyid") + le(quint64(assembly.size() / 2), 2) + assembly;
    QTest::newRow("geometry, 7.4: no size limit") << column(XType::Geometry, -1) << 74
        << unhex("f0 ffff 00 03") + utf16("sys") + unhex("08") + utf16("geometry") + le(132, 2)
               + utf16("Microsoft.SqlServer.Types.SqlGeometry, Microsoft.SqlServer.Types, Version=11.0.0.0, Culture=neutral, "
                       "PublicKeyToken=89845dcd8080cc91");
    QTest::newRow("date, 7.3") << column(XType::Date, 3) << 73 << unhex("28");
    QTest::newRow("time(7), 7.4") << column(XType::Time, 5, 7) << 74 << unhex("29 07");
    QTest::newRow("datetime2(0), 7.3") << column(XType::DateTime2, 6, 0) << 73 << unhex("2a 00");
    QTest::newRow("datetimeoffset(3), 7.4") << column(XType::DateTimeOffset, 9, 3) << 74 << unhex("2b 03");
    QTest::newRow("date, 7.2: nvarchar(10)") << column(XType::Date, 3) << 72 << unhex("e7 1400") + cyrillic;
    QTest::newRow("time(7), 7.2: nvarchar(16)") << column(XType::Time, 5, 7) << 72 << unhex("e7 2000") + cyrillic;
    QTest::newRow("time(0), 7.1: nvarchar(8)") << column(XType::Time, 3, 0) << 71 << unhex("e7 1000") + cyrillic;
    QTest::newRow("datetime2(7), 7.1: nvarchar(27)") << column(XType::DateTime2, 8, 7) << 71 << unhex("e7 3600") + cyrillic;
    QTest::newRow("datetimeoffset(7), 7.2: nvarchar(34)") << column(XType::DateTimeOffset, 10, 7) << 72 << unhex("e7 4400") + cyrillic;
}

void TdsModernTest::metadata()
{
    QFETCH(ColumnInfo, column);
    QFETCH(int, tds);
    QFETCH(QByteArray, info);
    QCOMPARE(typeInfo(column, tds).toHex(' '), info.toHex(' '));
}

void TdsModernTest::values_data()
{
    QTest::addColumn<ColumnInfo>("column");
    QTest::addColumn<Value>("value");
    QTest::addColumn<int>("tds");
    QTest::addColumn<QByteArray>("wire");
    const Value null;
    // PLP: total length, one chunk, the terminator; NULL is all ones, empty has no chunk.
    QTest::newRow("nvarchar(max)") << column(XType::NVarChar, -1) << text("Ёж😀") << 74
                                   << le(8, 8) + le(8, 4) + utf16(QStringLiteral("Ёж😀")) + le(0, 4);
    QTest::newRow("nvarchar(max) empty") << column(XType::NVarChar, -1) << text("") << 74 << le(0, 8) + le(0, 4);
    QTest::newRow("nvarchar(max) NULL") << column(XType::NVarChar, -1) << null << 72 << unhex("ffffffffffffffff");
    QTest::newRow("varchar(max) in its code page") << column(XType::VarChar, -1) << text("Ёж") << 74 << le(2, 8) + le(2, 4) + unhex("a8e6") + le(0, 4);
    QTest::newRow("varbinary(max)") << column(XType::VarBinary, -1) << bytes(unhex("00ff")) << 74 << le(2, 8) + le(2, 4) + unhex("00ff") + le(0, 4);
    QTest::newRow("xml in UTF-16") << column(XType::Xml, -1) << text("<a>я</a>") << 72
                                   << le(16, 8) + le(16, 4) + utf16(QStringLiteral("<a>я</a>")) + le(0, 4);
    QTest::newRow("hierarchyid") << column(XType::HierarchyId, 892) << bytes(unhex("58")) << 74 << le(1, 8) + le(1, 4) + unhex("58") + le(0, 4);
    // 7.1: a text pointer and timestamp, then the whole value.
    QTest::newRow("varchar(max), 7.1 as text") << column(XType::VarChar, -1) << text("ab") << 71
                                              << unhex("10") + QByteArray("QVTXTPTR") + unhex("0102030405060708") + QByteArray(8, '\0') + le(2, 4) + "ab";
    QTest::newRow("xml, 7.1 as ntext") << column(XType::Xml, -1) << text("<a/>") << 71
                                      << unhex("10") + QByteArray("QVTXTPTR") + unhex("0102030405060708") + QByteArray(8, '\0') + le(8, 4) + utf16("<a/>");
    // 7.3: days since 0001-01-01 in 3 bytes, time in 10^-scale s units.
    QTest::newRow("date") << column(XType::Date, 3) << timeValue(QDate(2004, 3, 1), 0) << 73 << unhex("03") + le(kDays20040301, 3);
    QTest::newRow("date first day") << column(XType::Date, 3) << timeValue(QDate(1, 1, 1), 0) << 74 << unhex("03 000000");
    QTest::newRow("date NULL") << column(XType::Date, 3) << null << 74 << unhex("00");
    QTest::newRow("time(7) last tick") << column(XType::Time, 5, 7) << timeValue(QDate(1900, 1, 1), 863999999999ULL) << 74
                                        << unhex("05") + le(863999999999ULL, 5);
    QTest::newRow("time(0) seconds") << column(XType::Time, 3, 0) << timeValue(QDate(1900, 1, 1), 10 * kHour) << 74 << unhex("03") + le(36000, 3);
    QTest::newRow("datetime2(7)") << column(XType::DateTime2, 8, 7) << timeValue(QDate(2004, 3, 1), 10 * kHour + 1234567) << 74
                                  << unhex("08") + le(10 * kHour + 1234567, 5) + le(kDays20040301, 3);
    QTest::newRow("datetimeoffset(3) travels in UTC") << column(XType::DateTimeOffset, 9, 3)
        << timeValue(QDate(2004, 3, 1), 10 * kHour + 1230000, 180) << 74 << unhex("09") + le(7 * 3600000 + 123, 4) + le(kDays20040301, 3) + le(180, 2);
    QTest::newRow("datetimeoffset before UTC midnight") << column(XType::DateTimeOffset, 10, 7)
        << timeValue(QDate(2004, 3, 1), 1 * kHour, 180) << 74 << unhex("0a") + le(22 * kHour, 5) + le(kDays20040301 - 1, 3) + le(180, 2);
    QTest::newRow("datetimeoffset negative offset") << column(XType::DateTimeOffset, 10, 7)
        << timeValue(QDate(2004, 3, 1), 23 * kHour, -120) << 74 << unhex("0a") + le(1 * kHour, 5) + le(kDays20040301 + 1, 3) + le(quint16(-120), 2);
    // Before 7.3: SQL Server's text of the value, as nvarchar.
    QTest::newRow("date, 7.2") << column(XType::Date, 3) << timeValue(QDate(2004, 3, 1), 0) << 72 << unhex("1400") + utf16("2004-03-01");
    QTest::newRow("time(3), 7.1") << column(XType::Time, 4, 3) << timeValue(QDate(1900, 1, 1), 10 * kHour + 1230000) << 71
                                  << unhex("1800") + utf16("10:00:00.123");
    QTest::newRow("datetime2(0), 7.1") << column(XType::DateTime2, 6, 0) << timeValue(QDate(1, 1, 1), 0) << 71
                                       << unhex("2600") + utf16("0001-01-01 00:00:00");
    QTest::newRow("datetimeoffset(7), 7.2") << column(XType::DateTimeOffset, 10, 7) << timeValue(QDate(2004, 3, 1), 10 * kHour + 1, -210) << 72
                                            << unhex("4400") + utf16("2004-03-01 10:00:00.0000001 -03:30");
    QTest::newRow("datetimeoffset NULL, 7.1") << column(XType::DateTimeOffset, 10, 7) << null << 71 << unhex("ffff");
}

void TdsModernTest::values()
{
    QFETCH(ColumnInfo, column);
    QFETCH(Value, value);
    QFETCH(int, tds);
    QFETCH(QByteArray, wire);
    QCOMPARE(rowBytes(column, value, tds).toHex(' '), wire.toHex(' '));
}

void TdsModernTest::plpCarriesSeveralMegabytes()
{
    // A value longer than a packet goes whole, in chunks no longer than a
    // packet's payload (4,088 bytes at the default size), then the terminator.
    Value v;
    v.kind = Value::Kind::Bytes;
    v.bytes.assign(3u << 20, '\x5A');
    const QByteArray wire = rowBytes(column(XType::VarBinary, -1), v, 74);
    QCOMPARE(wire.left(8), le(3u << 20, 8));
    QByteArray data;
    qsizetype at = 8;
    int chunks = 0;
    for (;;) {
        QVERIFY(at + 4 <= wire.size());
        const quint32 n = quint32(quint8(wire[at])) | quint32(quint8(wire[at + 1])) << 8 | quint32(quint8(wire[at + 2])) << 16 |
                          quint32(quint8(wire[at + 3])) << 24;
        at += 4;
        if (n == 0)
            break;
        QVERIFY(n <= 4088);
        data += wire.mid(at, n);
        at += n;
        ++chunks;
    }
    QCOMPARE(at, wire.size());
    QCOMPARE(chunks, int(((3u << 20) + 4087) / 4088));
    QCOMPARE(data, QByteArray(3 << 20, '\x5A'));
}

void TdsModernTest::variantOfADateTime2()
{
    Value v = timeValue(QDate(2004, 3, 1), 10 * kHour);
    v.variantType = XType::DateTime2;
    v.variantPrecision = 2;  // the scale
    // 7.3: base type 0x2A, one property (the scale), time and date.
    QCOMPARE(rowBytes(column(XType::SqlVariant, 8016), v, 74).toHex(' '),
             (le(2 + 1 + 6, 4) + unhex("2a 01 02") + le(10 * 3600 * 100, 3) + le(kDays20040301, 3)).toHex(' '));
    // 7.2: nvarchar with the collation and length properties.
    const QByteArray text = utf16("2004-03-01 10:00:00.00");
    QCOMPARE(rowBytes(column(XType::SqlVariant, 8016), v, 72).toHex(' '),
             (le(quint64(2 + 7 + text.size()), 4) + unhex("e7 07 1904d00000") + le(quint64(text.size()), 2) + text).toHex(' '));
}

QTEST_GUILESS_MAIN(TdsModernTest)
#include "tst_tdsmodern.moc"
