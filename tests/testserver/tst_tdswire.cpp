// Packet reader/writer, text conversions and token encodings of the test server.

#include "Browser.h"
#include "Codec.h"
#include "Login.h"
#include "Options.h"
#include "Tokens.h"
#include "WireHelpers.h"

#include <QtTest>

using namespace qts;
using namespace qts::tds;

Q_DECLARE_METATYPE(qts::XType)

namespace {

Value intValue(std::int64_t i) { Value v; v.kind = Value::Kind::Int; v.i = i; return v; }
Value floatValue(double f) { Value v; v.kind = Value::Kind::Float; v.f = f; return v; }
Value decimalValue(__int128 unscaled, int scale) { Value v; v.kind = Value::Kind::Decimal; v.unscaled = unscaled; v.scale = std::uint8_t(scale); return v; }
Value dateValue(std::int32_t days, std::uint32_t ticks) { Value v; v.kind = Value::Kind::DateTime; v.days = days; v.ticks = ticks; return v; }
Value textValue(const char *utf8) { Value v; v.kind = Value::Kind::Text; v.bytes = utf8; return v; }
Value bytesValue(const QByteArray &b) { Value v; v.kind = Value::Kind::Bytes; v.bytes = b.toStdString(); return v; }
Value variant(Value v, XType t) { v.variantType = t; return v; }

ColumnInfo column(XType type, int length = 0, int precision = 0, int scale = 0)
{
    ColumnInfo c;
    c.name = "c";
    c.type = type;
    c.length = length;
    c.precision = std::uint8_t(precision);
    c.scale = std::uint8_t(scale);
    return c;
}

QByteArray encodeRow(const ColumnInfo &c, const Value &v, int tds = 74)
{
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    RowEncoder(std::vector<ColumnInfo>{c}, tds).writeRow(w, std::vector<Value>{v});
    w.end();
    return payloads(t.sent).mid(1);  // without the ROW token
}

} // namespace

class TdsWireTest : public QObject {
    Q_OBJECT
private slots:
    void utf16RoundTrip_data();
    void utf16RoundTrip();
    void cp1251_data();
    void cp1251();
    void readerReassembles();
    void readerRejects_data();
    void readerRejects();
    void readerLimitsMessageSize();
    void writerSplitsPackets();
    void rowValue_data();
    void rowValue();
    void metadata_data();
    void metadata();
    void collationOnTheWire_data();
    void collationOnTheWire();
    void doneWidth_data();
    void doneWidth();
    void messageToken();
    void loginParsed();
    void loginTruncatedRejected();
    void negotiation_data();
    void negotiation();
    void badUtf8_data();
    void badUtf8();
    void batchHeaders();
    void preloginReply();
    void browser_data();
    void browser();
    void options_data();
    void options();
};

void TdsWireTest::utf16RoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QStringLiteral("select 1");
    QTest::newRow("cyrillic") << QStringLiteral("Привет, мир");
    QTest::newRow("cjk") << QStringLiteral("日本語");
    QTest::newRow("astral") << QStringLiteral("a\U0001F600b");
    QTest::newRow("empty") << QString();
}

void TdsWireTest::utf16RoundTrip()
{
    QFETCH(QString, text);
    const std::string utf8 = text.toStdString();
    const std::string wire = utf8ToUtf16le(utf8);
    QCOMPARE(QByteArray::fromStdString(wire),
             QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
    QCOMPARE(utf16Length(utf8), std::size_t(text.size()));
    QCOMPARE(utf16leToUtf8(reinterpret_cast<const std::uint8_t *>(wire.data()), wire.size()), utf8);
}

void TdsWireTest::badUtf8_data()
{
    // What the server's text holds is sent as UTF-16 whatever it is: a byte
    // that starts no character, or a sequence cut short, becomes U+FFFD.
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stray byte") << QByteArray("a\xFF" "b") << QStringLiteral("a\uFFFDb");
    QTest::newRow("cut at the end") << QByteArray("ab\xD0") << QStringLiteral("ab\uFFFD");
    QTest::newRow("cut before ascii") << QByteArray("\xE6\x97" "c") << QStringLiteral("\uFFFDc");
    QTest::newRow("surrogate encoded") << QByteArray("\xED\xA0\x80") << QStringLiteral("\uFFFD");
}

void TdsWireTest::badUtf8()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QString, expected);
    const std::string wire = utf8ToUtf16le(std::string_view(utf8.constData(), size_t(utf8.size())));
    QCOMPARE(QByteArray::fromStdString(wire),
             QByteArray(reinterpret_cast<const char *>(expected.utf16()), expected.size() * 2));
}

void TdsWireTest::cp1251_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("back");
    QTest::newRow("cyrillic") << QStringLiteral("ЁжЯ") << unhex("a8 e6 df") << QStringLiteral("ЁжЯ");
    QTest::newRow("specials") << QStringLiteral("€№—") << unhex("88 b9 97") << QStringLiteral("€№—");
    QTest::newRow("unmappable") << QStringLiteral("é日") << QByteArray("??") << QStringLiteral("??");
    QTest::newRow("ascii") << QStringLiteral("O'Hara") << QByteArray("O'Hara") << QStringLiteral("O'Hara");
}

void TdsWireTest::cp1251()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, back);
    const std::string encoded = utf8ToCp1251(text.toStdString());
    QCOMPARE(QByteArray::fromStdString(encoded), bytes);
    QCOMPARE(QString::fromStdString(cp1251ToUtf8(encoded)), back);
}

void TdsWireTest::readerReassembles()
{
    // A batch in two packets, then a one-packet attention; fed byte by byte.
    const QByteArray stream = unhex("01 00 000a 0000 01 00 6100") + unhex("01 01 000a 0000 02 00 6200")
                              + unhex("06 01 0008 0000 00 00");
    MessageReader reader;
    for (const char c : stream)
        QVERIFY(reader.feed(reinterpret_cast<const std::uint8_t *>(&c), 1));
    QVERIFY(reader.hasMessage());
    const TdsMessage batch = reader.take();
    QCOMPARE(batch.type, packet::SqlBatch);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(batch.payload.data()), qsizetype(batch.payload.size())), unhex("6100 6200"));
    QVERIFY(reader.takeAttention());
    QVERIFY(!reader.hasMessage());
}

void TdsWireTest::readerRejects_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::newRow("length below header") << unhex("01 01 0004 0000 00 00");
    QTest::newRow("length above maximum") << unhex("01 01 ffff 0000 00 00");
    QTest::newRow("type change inside a message") << unhex("01 00 0008 0000 00 00 03 01 0008 0000 00 00");
}

void TdsWireTest::readerRejects()
{
    QFETCH(QByteArray, stream);
    MessageReader reader;
    QVERIFY(!reader.feed(reinterpret_cast<const std::uint8_t *>(stream.constData()), std::size_t(stream.size())));
    QVERIFY(reader.failed());
    QVERIFY(!reader.hasMessage());
}

void TdsWireTest::readerLimitsMessageSize()
{
    // Two 8-byte payloads without EOM exceed a 12-byte limit.
    const QByteArray stream = unhex("01 00 0010 0000 01 00 0102030405060708") + unhex("01 00 0010 0000 02 00 0102030405060708");
    MessageReader reader(12);
    QVERIFY(!reader.feed(reinterpret_cast<const std::uint8_t *>(stream.constData()), std::size_t(stream.size())));
    MessageReader roomy(16);
    QVERIFY(roomy.feed(reinterpret_cast<const std::uint8_t *>(stream.constData()), std::size_t(stream.size())));
}

void TdsWireTest::writerSplitsPackets()
{
    MemoryTransport t;
    PacketWriter w(t, 512);
    w.setSpid(53);
    QByteArray body(1500, 'x');
    for (int k = 0; k < body.size(); ++k)
        body[k] = char(k * 7);
    w.begin();
    w.bytes(body.constData(), std::size_t(body.size()));
    w.end();
    // 504 payload bytes per packet: 504 + 504 + 492.
    QCOMPARE(t.sent.size(), 1500 + 3 * 8);
    QCOMPARE(payloads(t.sent), body);
    QCOMPARE(t.sent.mid(0, 8), unhex("04 00 0200 0035 01 00"));
    QCOMPARE(t.sent.mid(512, 8), unhex("04 00 0200 0035 02 00"));
    QCOMPARE(t.sent.mid(1024, 8), unhex("04 01 01f4 0035 03 00"));
}

void TdsWireTest::rowValue_data()
{
    QTest::addColumn<qts::XType>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QVariant>("valueHolder");
    QTest::addColumn<QByteArray>("wire");
    auto row = [](const char *name, XType type, int length, int precision, int scale, const Value &v, const char *hex) {
        QTest::newRow(name) << type << length << precision << scale << QVariant::fromValue(reinterpret_cast<quintptr>(new Value(v))) << unhex(hex);
    };
    const char *ptr = "10 5156545854505452 0102030405060708 0000000000000000";
    row("int negative", XType::Int, 4, 0, 0, intValue(-2), "04 feffffff");
    row("int null", XType::Int, 4, 0, 0, Value{}, "00");
    row("tinyint 255", XType::TinyInt, 1, 0, 0, intValue(255), "01 ff");
    row("bigint min", XType::BigInt, 8, 0, 0, intValue(INT64_MIN), "08 0000000000000080");
    row("bit nonzero", XType::Bit, 1, 0, 0, intValue(5), "01 01");
    row("real", XType::Real, 4, 0, 0, floatValue(1.5), "04 0000c03f");
    row("float", XType::Float, 8, 0, 0, floatValue(-2.0), "08 00000000000000c0");
    row("money negative", XType::Money, 8, 0, 0, decimalValue(-12345, 4), "08 ffffffff c7cfffff");
    row("money max", XType::Money, 8, 0, 0, decimalValue(INT64_MAX, 4), "08 ffffff7f ffffffff");
    row("money rescaled", XType::Money, 8, 0, 0, decimalValue(-15, 1), "08 ffffffff 68c5ffff");
    row("smallmoney min", XType::SmallMoney, 4, 0, 0, decimalValue(INT32_MIN, 4), "04 00000080");
    row("datetime 1753", XType::DateTime, 8, 0, 0, dateValue(-53690, 0), "08 462effff 00000000");
    row("datetime 9999", XType::DateTime, 8, 0, 0, dateValue(2958463, 25919999), "08 7f242d00 ff818b01");
    row("smalldatetime", XType::SmallDateTime, 4, 0, 0, dateValue(1, 18000 * 61), "04 0100 3d00");
    row("decimal 38,10", XType::Decimal, 17, 38, 10, decimalValue(-15, 1), "11 00 00d6117e03000000 0000000000000000");
    row("numeric 5,2", XType::Numeric, 5, 5, 2, decimalValue(12345, 2), "05 01 39300000");
    row("decimal 19 from int", XType::Decimal, 9, 19, 0, intValue(7), "09 01 0700000000000000");
    row("varchar cyrillic", XType::VarChar, 10, 0, 0, textValue("Привет"), "0600 cff0e8e2e5f2");
    row("varchar unmappable", XType::VarChar, 10, 0, 0, textValue("日本"), "0200 3f3f");
    row("varchar empty", XType::VarChar, 10, 0, 0, textValue(""), "0000");
    row("varchar null", XType::VarChar, 10, 0, 0, Value{}, "ffff");
    row("char padded", XType::Char, 4, 0, 0, textValue("ab"), "0400 61622020");
    row("nvarchar", XType::NVarChar, 20, 0, 0, textValue("Я'"), "0400 2f042700");
    row("nvarchar astral", XType::NVarChar, 20, 0, 0, textValue("\xF0\x9F\x98\x80"), "0400 3dd800de");
    row("nchar padded", XType::NChar, 4, 0, 0, textValue("a"), "0400 61002000");
    row("binary padded", XType::Binary, 4, 0, 0, bytesValue(unhex("0100")), "0400 01000000");
    row("varbinary zero", XType::VarBinary, 4, 0, 0, bytesValue(unhex("00")), "0100 00");
    row("timestamp", XType::Timestamp, 8, 0, 0, bytesValue(unhex("00000000000007d1")), "0800 00000000000007d1");
    row("guid", XType::UniqueIdentifier, 16, 0, 0, bytesValue(unhex("ff19966f868b11d0b42d00c04fc964ff")), "10 ff19966f868b11d0b42d00c04fc964ff");
    row("guid null", XType::UniqueIdentifier, 16, 0, 0, Value{}, "00");
    row("text", XType::Text, 16, 0, 0, textValue("Ы"), (std::string(ptr) + " 01000000 db").c_str());
    row("ntext", XType::NText, 16, 0, 0, textValue("Ы"), (std::string(ptr) + " 02000000 2b04").c_str());
    row("image null", XType::Image, 16, 0, 0, Value{}, "00");
    row("variant int", XType::SqlVariant, 8016, 0, 0, variant(intValue(7), XType::Int), "06000000 38 00 07000000");
    row("variant nvarchar", XType::SqlVariant, 8016, 0, 0, variant(textValue("ab"), XType::NVarChar), "0d000000 e7 07 1904d00000 0400 61006200");
    row("variant decimal", XType::SqlVariant, 8016, 0, 0, variant(decimalValue(15, 1), XType::Decimal), "15000000 6a 02 26 01 01 0f000000000000000000000000000000");
    row("variant datetime", XType::SqlVariant, 8016, 0, 0, variant(dateValue(1, 300), XType::DateTime), "0a000000 3d 00 01000000 2c010000");
    row("variant null", XType::SqlVariant, 8016, 0, 0, Value{}, "00000000");
}

void TdsWireTest::rowValue()
{
    QFETCH(qts::XType, type);
    QFETCH(int, length);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(QVariant, valueHolder);
    QFETCH(QByteArray, wire);
    std::unique_ptr<Value> value(reinterpret_cast<Value *>(valueHolder.value<quintptr>()));
    QCOMPARE(encodeRow(column(type, length, precision, scale), *value).toHex(' '), wire.toHex(' '));
}

void TdsWireTest::metadata_data()
{
    QTest::addColumn<qts::XType>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("tds");
    QTest::addColumn<QByteArray>("wire");
    // UserType, Flags, TYPE_INFO, then the name "c".
    QTest::newRow("int 7.4") << XType::Int << 4 << 74 << unhex("00000000 0900 26 04 01 6300");
    QTest::newRow("int 7.1") << XType::Int << 4 << 71 << unhex("0000 0900 26 04 01 6300");
    QTest::newRow("timestamp 7.1") << XType::Timestamp << 8 << 71 << unhex("5000 0100 ad 0800 01 6300");
    QTest::newRow("decimal 38,10") << XType::Decimal << 17 << 74 << unhex("00000000 0900 6a 11 26 0a 01 6300");
    QTest::newRow("nvarchar(50)") << XType::NVarChar << 100 << 74 << unhex("00000000 0900 e7 6400 1904d00000 01 6300");
    QTest::newRow("text 7.1") << XType::Text << 16 << 71 << unhex("0000 0900 23 ffffff7f 1904d00000 0100 5400 01 6300");
    QTest::newRow("text 7.4") << XType::Text << 16 << 74 << unhex("00000000 0900 23 ffffff7f 1904d00000 01 0100 5400 01 6300");
    QTest::newRow("image 7.3") << XType::Image << 16 << 73 << unhex("00000000 0900 22 ffffff7f 01 0100 5400 01 6300");
    QTest::newRow("guid") << XType::UniqueIdentifier << 16 << 74 << unhex("00000000 0900 24 10 01 6300");
    QTest::newRow("variant") << XType::SqlVariant << 8016 << 74 << unhex("00000000 0900 62 501f0000 01 6300");
}

void TdsWireTest::metadata()
{
    QFETCH(qts::XType, type);
    QFETCH(int, length);
    QFETCH(int, tds);
    QFETCH(QByteArray, wire);
    ColumnInfo c = column(type, length, type == XType::Decimal ? 38 : 0, type == XType::Decimal ? 10 : 0);
    c.tableName = "T";
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    RowEncoder({c}, tds).writeMetadata(w);
    w.end();
    QCOMPARE(payloads(t.sent).toHex(' '), (unhex("81 0100") + wire).toHex(' '));
}

void TdsWireTest::collationOnTheWire_data()
{
    // A column's collation decides its COLMETADATA bytes and its code page;
    // a variant carries its own.
    QTest::addColumn<qts::XType>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("collation");
    QTest::addColumn<QVariant>("valueHolder");
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<QByteArray>("wire");
    auto row = [](const char *name, XType type, int length, const char *collation, const Value &v, const char *meta, const char *hex) {
        QTest::newRow(name) << type << length << QString(collation) << QVariant::fromValue(reinterpret_cast<quintptr>(new Value(v)))
                            << unhex(meta) << unhex(hex);
    };
    row("cp1252 varchar", XType::VarChar, 10, "Latin1_General_CS_AS", textValue("é€Ж"), "a7 0a00 0904c00000", "0300 e9803f");
    row("cp1251 varchar", XType::VarChar, 10, "Cyrillic_General_CI_AS", textValue("é€Ж"), "a7 0a00 1904d00000", "0300 3f88c6");
    row("SQL collation's sort id", XType::Char, 2, "SQL_Latin1_General_CP1_CI_AS", textValue("ü"), "af 0200 0904d00034", "0200 fc20");
    row("binary collation", XType::NVarChar, 4, "Latin1_General_BIN", textValue("Ж"), "e7 0400 0904000100", "0200 1604");
    Value v = variant(textValue("é"), XType::VarChar);
    v.variantCollation = std::uint8_t(findCollation("Latin1_General_CI_AS"));
    v.variantLength = 10;
    row("variant varchar of its own collation", XType::SqlVariant, 8016, "Cyrillic_General_CI_AS", v, "62 501f0000",
        "0a000000 a7 07 0904d00000 0a00 e9");
    Value d = variant(decimalValue(15, 1), XType::Decimal);
    d.variantPrecision = 10;
    row("variant decimal of its precision", XType::SqlVariant, 8016, "Cyrillic_General_CI_AS", d, "62 501f0000",
        "0d000000 6a 02 0a 01 01 0f00000000000000");
}

void TdsWireTest::collationOnTheWire()
{
    QFETCH(qts::XType, type);
    QFETCH(int, length);
    QFETCH(QString, collation);
    QFETCH(QVariant, valueHolder);
    QFETCH(QByteArray, metadata);
    QFETCH(QByteArray, wire);
    std::unique_ptr<Value> value(reinterpret_cast<Value *>(valueHolder.value<quintptr>()));
    ColumnInfo c = column(type, length);
    c.collation = std::uint8_t(findCollation(collation.toStdString()));
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    RowEncoder({c}, 74).writeMetadata(w);
    w.end();
    QCOMPARE(payloads(t.sent).mid(3 + 6, metadata.size()).toHex(' '), metadata.toHex(' '));
    QCOMPARE(encodeRow(c, *value).toHex(' '), wire.toHex(' '));
}

void TdsWireTest::doneWidth_data()
{
    QTest::addColumn<int>("tds");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("7.1: 4-byte count") << 71 << unhex("fd 1100 c100 03000000");
    QTest::newRow("7.2: 8-byte count") << 72 << unhex("fd 1100 c100 0300000000000000");
}

void TdsWireTest::doneWidth()
{
    QFETCH(int, tds);
    QFETCH(QByteArray, wire);
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    writeDone(w, tds, token::Done, done::More | done::Count, 0xC1, 3);
    w.end();
    QCOMPARE(payloads(t.sent), wire);
}

void TdsWireTest::messageToken()
{
    Message m;
    m.number = 208;
    m.state = 1;
    m.severity = 16;
    m.text = "x";
    m.line = 2;
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    writeMessage(w, 71, m);
    m.severity = 10;
    writeMessage(w, 74, m);
    w.end();
    // ERROR with a 2-byte line for 7.1, INFO with a 4-byte line for 7.4.
    const QByteArray server = unhex("08 5100 5500 4f00 5200 5600 4100 4e00 4500");
    QCOMPARE(payloads(t.sent).toHex(' '),
             (unhex("aa 1e00 d0000000 01 10 0100 7800") + server + unhex("00 0200")
              + unhex("ab 2000 d0000000 01 0a 0100 7800") + server + unhex("00 02000000")).toHex(' '));
}

namespace {

std::vector<std::uint8_t> bytesOf(const QByteArray &b) { return {b.begin(), b.end()}; }

} // namespace

void TdsWireTest::loginParsed()
{
    // FreeTDS cuts "host,port" in place: the server name carries a NUL.
    const QByteArray server = unhex("3100 2e00 3100 0000 3100 3400");
    const auto login = parseLogin7(bytesOf(buildLogin(QStringLiteral("sa"), QStringLiteral("Sécret1"), server, 0x74000004)));
    QVERIFY(login.has_value());
    QCOMPARE(login->userName, std::string("sa"));
    QCOMPARE(QString::fromStdString(login->password), QStringLiteral("Sécret1"));
    QCOMPARE(QString::fromStdString(login->database), QStringLiteral("Магазин"));
    QCOMPARE(login->serverName, std::string("1.1\0" "14", 6));
    QCOMPARE(login->packetSize, 8192u);
    QCOMPARE(login->tdsVersion, 0x74000004u);
}

void TdsWireTest::loginTruncatedRejected()
{
    QByteArray login = buildLogin(QStringLiteral("sa"), QStringLiteral("secret"), QByteArray(), 0x71000001);
    QVERIFY(parseLogin7(bytesOf(login)).has_value());
    QVERIFY(!parseLogin7(bytesOf(login.left(login.size() - 3))).has_value());
    QVERIFY(!parseLogin7(bytesOf(login.left(40))).has_value());
}

void TdsWireTest::negotiation_data()
{
    QTest::addColumn<quint32>("requested");
    QTest::addColumn<int>("tds");
    QTest::addColumn<quint32>("loginAck");
    QTest::newRow("7.4") << 0x74000004u << 74 << 0x74000004u;
    QTest::newRow("7.3B") << 0x730B0003u << 73 << 0x730B0003u;
    QTest::newRow("7.2") << 0x72090002u << 72 << 0x72090002u;
    QTest::newRow("7.1") << 0x71000001u << 71 << 0x71000001u;
    QTest::newRow("7.1 rev 0") << 0x07010000u << 71 << 0x71000001u;
    QTest::newRow("newer than 7.4") << 0x08000000u << 71 << 0x71000001u;
}

void TdsWireTest::negotiation()
{
    QFETCH(quint32, requested);
    QFETCH(int, tds);
    QFETCH(quint32, loginAck);
    QCOMPARE(negotiateTds(requested), tds);
    QCOMPARE(tdsWireVersion(negotiateTds(requested)), loginAck);
}

void TdsWireTest::batchHeaders()
{
    const QByteArray text = unhex("7300 3100");  // "s1"
    const QByteArray headers = unhex("16000000 12000000 0200 0000000000000000 01000000");
    QCOMPARE(batchText(bytesOf(headers + text), 74).value(), std::string("s1"));
    QCOMPARE(batchText(bytesOf(text), 71).value(), std::string("s1"));
    QVERIFY(!batchText(bytesOf(unhex("ff000000") + text), 74).has_value());
    QCOMPARE(rpcProcName(bytesOf(headers + unhex("ffff 0d00 0000")), 74), std::string("sp_prepexec"));
    QCOMPARE(rpcProcName(bytesOf(unhex("0200 7000 3100")), 71), std::string("p1"));
}

void TdsWireTest::preloginReply()
{
    MemoryTransport t;
    PacketWriter w(t);
    writePreloginReply(w);
    const QByteArray p = payloads(t.sent);
    QCOMPARE(quint8(t.sent[0]), quint8(packet::Reply));
    QVERIFY(parsePrelogin(bytesOf(p)));
    QCOMPARE(p.mid(26, 6), unhex("080000c20000"));  // 8.00.194
    QCOMPARE(quint8(p[32]), quint8(2));             // encryption not supported
}

void TdsWireTest::browser_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("answered");
    QTest::newRow("broadcast") << unhex("02") << true;
    QTest::newRow("unicast") << unhex("03") << true;
    QTest::newRow("instance") << QByteArray("\x04MSSQLSERVER", 13) << true;
    QTest::newRow("instance lower case") << QByteArray("\x04mssqlserver", 13) << true;
    QTest::newRow("unknown instance") << QByteArray("\x04SQLEXPRESS", 12) << false;
    QTest::newRow("dac") << unhex("0f01 00") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TdsWireTest::browser()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, answered);
    const auto reply = browserReply(reinterpret_cast<const std::uint8_t *>(request.constData()),
                                    std::size_t(request.size()), "HOST", 14331);
    QCOMPARE(reply.has_value(), answered);
    if (!answered)
        return;
    const QByteArray expected("ServerName;HOST;InstanceName;MSSQLSERVER;IsClustered;No;Version;8.00.194;tcp;14331;;");
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply->data()), qsizetype(reply->size())),
             QByteArray("\x05", 1) + char(expected.size()) + QByteArray(1, '\0') + expected);
}

void TdsWireTest::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("logins");
    QTest::newRow("all") << QStringList{"--port", "0", "--data", "/tmp/x", "--login", "sa:a:b", "--login", "u:", "--demo", "--browser-port", "1434"} << true << 0 << 2;
    QTest::newRow("port") << QStringList{"--port", "14330"} << true << 14330 << 0;
    QTest::newRow("port too big") << QStringList{"--port", "70000"} << false << 0 << 0;
    QTest::newRow("login without colon") << QStringList{"--login", "sa"} << false << 0 << 0;
    QTest::newRow("missing value") << QStringList{"--data"} << false << 0 << 0;
    QTest::newRow("unknown") << QStringList{"--verbose"} << false << 0 << 0;
}

void TdsWireTest::options()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    QFETCH(int, port);
    QFETCH(int, logins);
    std::vector<std::string> argv;
    for (const QString &a : args)
        argv.push_back(a.toStdString());
    std::string error;
    const auto o = parseOptions(argv, error);
    QCOMPARE(o.has_value(), valid);
    QCOMPARE(error.empty(), valid);
    if (!valid)
        return;
    QCOMPARE(int(o->port), port);
    QCOMPARE(int(o->logins.passwords.size()), logins);
    if (logins == 2) {
        QVERIFY(o->logins.accepts("sa", "a:b"));
        QVERIFY(o->logins.accepts("u", ""));
        QVERIFY(!o->logins.accepts("sa", "a"));
        QCOMPARE(o->browserPort.value(), std::uint16_t(1434));
    }
}

QTEST_GUILESS_MAIN(TdsWireTest)
#include "tst_tdswire.moc"
