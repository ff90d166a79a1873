// The demo database "Shop": the Goods table of the worked example, a few
// tables that show the tool off, and customers with their orders and order
// items bound by foreign keys (a script over several of them must follow the
// keys' order). No key references Goods: the worked example empties it.

#include "Executor.h"

#include <stdexcept>

namespace qts {

namespace {

class DemoSink : public ResultSink {
public:
    void beginResult(const std::vector<ColumnInfo> &) override {}
    bool row(const std::vector<Value> &) override { return true; }
    void statementEnd(const StatementEnd &) override {}
    void message(const Message &m) override
    {
        if (m.severity > 10)
            throw std::runtime_error("demo database: " + m.text);
    }
    void databaseChanged(const std::string &, const std::string &) override {}
};

const char kDemoScript[] = R"sql(
CREATE TABLE Goods (Id int IDENTITY(1,1) PRIMARY KEY, Title varchar(50) NULL, Price money NULL, Created datetime NULL)
INSERT INTO Goods(Title, Price, Created) VALUES('Tea', 2.5, '2004-03-01 10:00')
INSERT INTO Goods(Title, Price, Created) VALUES(NULL, 3, '2004-03-02 09:30')

CREATE TABLE AllTypes (
  Id int IDENTITY(1,1) CONSTRAINT PK_AllTypes PRIMARY KEY,
  ImageCol image, TextCol text, GuidCol uniqueidentifier, TinyCol tinyint, SmallCol smallint, IntCol int,
  SmallDateCol smalldatetime, RealCol real, MoneyCol money, DateCol datetime, FloatCol float,
  VariantCol sql_variant, NTextCol ntext, BitCol bit, DecimalCol decimal(18,4), NumericCol numeric(10,2),
  SmallMoneyCol smallmoney, BigCol bigint, VarBinCol varbinary(50), VarCharCol varchar(50), BinCol binary(8),
  CharCol char(10), Stamp timestamp, NVarCharCol nvarchar(50), NCharCol nchar(10), [Примечание] nvarchar(100))
INSERT INTO AllTypes(ImageCol, TextCol, GuidCol, TinyCol, SmallCol, IntCol, SmallDateCol, RealCol, MoneyCol, DateCol,
  FloatCol, VariantCol, NTextCol, BitCol, DecimalCol, NumericCol, SmallMoneyCol, BigCol, VarBinCol, VarCharCol, BinCol,
  CharCol, NVarCharCol, NCharCol, [Примечание])
VALUES(0x89504E470D0A1A0A, 'Длинный текст о чае', '6F9619FF-8B86-D011-B42D-00C04FC964FF', 255, -32768, 2147483647,
  '2079-06-06 23:59', 3.4E+38, 922337203685477.5807, CONVERT(DATETIME, '31.12.9999 23:59:59.997', 105),
  1.7976931348623157E+308, 42, N'Юникод: Ёлка, ёж, ξ', 1, 12345678901234.5678, -99999999.99, 214748.3647,
  9223372036854775807, 0x00FF, 'Привет, мир', 0x0102030405060708, 'Чай', N'Съешь ещё этих мягких булок', N'Ёж',
  N'Строка с кавычкой '' и переводом
строки')
INSERT INTO AllTypes(ImageCol, TextCol, GuidCol, TinyCol, SmallCol, IntCol, SmallDateCol, RealCol, MoneyCol, DateCol,
  FloatCol, VariantCol, NTextCol, BitCol, DecimalCol, NumericCol, SmallMoneyCol, BigCol, VarBinCol, VarCharCol, BinCol,
  CharCol, NVarCharCol, NCharCol, [Примечание])
VALUES(0x, '', '00000000-0000-0000-0000-000000000000', 0, 32767, -2147483648, '1900-01-01', -1.5E-45, -922337203685477.5808,
  CONVERT(DATETIME, '01.01.1753 00:00:00', 105), -2.2250738585072014E-308, N'вариант', N'', 0,
  -99999999999999.9999, 0.01, -214748.3648, -9223372036854775808, 0x, '', 0x, '', N'', N'', N'Минимальные значения')
INSERT INTO AllTypes(NVarCharCol) VALUES(N'Все прочие поля пусты (NULL)')

CREATE TABLE Stock (StoreId int NOT NULL, GoodsId int NOT NULL, Quantity int NULL, CONSTRAINT PK_Stock PRIMARY KEY (StoreId, GoodsId))
INSERT INTO Stock VALUES(1, 1, 100)
INSERT INTO Stock VALUES(1, 2, 0)
INSERT INTO Stock VALUES(2, 1, 35)

CREATE TABLE [Order Lines] ([Order] int NOT NULL, Line int NOT NULL, GoodsId int NULL, Quantity decimal(10,3) NULL,
  PRIMARY KEY ([Order], Line))
INSERT INTO [Order Lines] VALUES(1, 1, 1, 2.5)
INSERT INTO [Order Lines] VALUES(1, 2, 2, 1)

CREATE TABLE Customers (Id int NOT NULL CONSTRAINT PK_Customers PRIMARY KEY, Name nvarchar(60) NOT NULL, City nvarchar(40) NULL,
  [Телефон] varchar(20) NULL, ReferredBy int NULL CONSTRAINT FK_Customers_ReferredBy REFERENCES Customers(Id))
INSERT INTO Customers VALUES(1, N'Анна Петрова', N'Москва', '+7 495 123-45-67', NULL)
INSERT INTO Customers VALUES(2, N'Boris Ivanov', N'Санкт-Петербург', NULL, 1)
INSERT INTO Customers VALUES(3, N'Вера Соколова', N'Казань', '+7 843 765-43-21', 1)
INSERT INTO Customers VALUES(4, N'Greta Müller', N'Berlin', '+49 30 1234567', NULL)
INSERT INTO Customers VALUES(5, N'ООО «Чайный дом»', N'Москва', '+7 495 000-11-22', 2)
INSERT INTO Customers VALUES(6, N'Jean O''Neil', N'Paris', NULL, 4)
INSERT INTO Customers VALUES(7, N'Дмитрий Ёлкин', NULL, NULL, 3)
INSERT INTO Customers VALUES(8, N'Tea & Co. Ltd', N'London', '+44 20 7946 0018', NULL)
CREATE TABLE Orders (Id int IDENTITY(1,1) CONSTRAINT PK_Orders PRIMARY KEY,
  CustomerId int NOT NULL CONSTRAINT FK_Orders_Customers REFERENCES Customers(Id), OrderedAt datetime NOT NULL, Note nvarchar(100) NULL)
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(1, '2004-03-01 10:15', N'Первый заказ')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(1, '2004-03-15 12:00', NULL)
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(2, '2004-03-02 09:40', N'Доставка курьером')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(3, '2004-03-05 17:30', NULL)
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(4, '2004-03-06 11:05', N'Bitte schnell liefern')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(5, '2004-03-10 08:00', N'Оптовая партия')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(5, '2004-04-01 08:00', N'Оптовая партия, повтор')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(6, '2004-04-02 14:20', N'Cadeau d''anniversaire')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(7, '2004-04-03 19:45', NULL)
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(8, '2004-04-05 10:00', N'Sample order')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(3, '2004-04-07 16:10', N'Без сахара')
INSERT INTO Orders(CustomerId, OrderedAt, Note) VALUES(2, '2004-04-09 13:35', NULL)
CREATE TABLE OrderItems (OrderId int NOT NULL CONSTRAINT FK_OrderItems_Orders REFERENCES Orders(Id), Line int NOT NULL,
  GoodsId int NOT NULL, Quantity decimal(10,3) NOT NULL, Price money NOT NULL,
  Comment nvarchar(50) NULL, CONSTRAINT PK_OrderItems PRIMARY KEY (OrderId, Line))
INSERT INTO OrderItems VALUES(1, 1, 1, 2.250, 2.5, NULL)
INSERT INTO OrderItems VALUES(1, 2, 2, 3.500, 3, N'без упаковки')
INSERT INTO OrderItems VALUES(2, 1, 2, 3.500, 3, NULL)
INSERT INTO OrderItems VALUES(2, 2, 1, 5.000, 2.5, N'gift wrap')
INSERT INTO OrderItems VALUES(2, 3, 2, 2.500, 3, NULL)
INSERT INTO OrderItems VALUES(3, 1, 1, 4.750, 2.5, N'срочно')
INSERT INTO OrderItems VALUES(4, 1, 2, 5.000, 3, NULL)
INSERT INTO OrderItems VALUES(4, 2, 1, 4.000, 2.5, N'без упаковки')
INSERT INTO OrderItems VALUES(5, 1, 1, 1.250, 2.5, NULL)
INSERT INTO OrderItems VALUES(5, 2, 2, 1.500, 3, N'gift wrap')
INSERT INTO OrderItems VALUES(5, 3, 1, 1.750, 2.5, NULL)
INSERT INTO OrderItems VALUES(6, 1, 2, 2.500, 3, N'срочно')
INSERT INTO OrderItems VALUES(7, 1, 1, 3.750, 2.5, NULL)
INSERT INTO OrderItems VALUES(7, 2, 2, 5.500, 3, N'без упаковки')
INSERT INTO OrderItems VALUES(8, 1, 2, 4.000, 3, NULL)
INSERT INTO OrderItems VALUES(8, 2, 1, 2.000, 2.5, N'gift wrap')
INSERT INTO OrderItems VALUES(8, 3, 2, 5.000, 3, NULL)
INSERT INTO OrderItems VALUES(9, 1, 1, 5.250, 2.5, N'срочно')
INSERT INTO OrderItems VALUES(10, 1, 2, 1.500, 3, NULL)
INSERT INTO OrderItems VALUES(10, 2, 1, 1.000, 2.5, N'без упаковки')
INSERT INTO OrderItems VALUES(11, 1, 1, 2.750, 2.5, NULL)
INSERT INTO OrderItems VALUES(11, 2, 2, 3.500, 3, N'gift wrap')
INSERT INTO OrderItems VALUES(11, 3, 1, 4.250, 2.5, NULL)
INSERT INTO OrderItems VALUES(12, 1, 2, 3.000, 3, N'срочно')

CREATE TABLE Sales (Id int IDENTITY(1,1) PRIMARY KEY, GoodsId int NOT NULL, SoldAt datetime NOT NULL,
  Quantity int NOT NULL, Amount money NOT NULL, Note varchar(40) NULL)
)sql";

constexpr int kSalesRows = 100000;

} // namespace

void createDemoDatabase(EngineImpl &engine)
{
    auto db = engine.createDatabase("Shop", kServerCollation);
    auto session = engine.openSession("sa", "Shop");
    DemoSink sink;
    engine.executeBatch(*session, kDemoScript, sink);

    // Many rows, written straight into the file: progress is worth watching on them.
    auto sales = db->findTable("Sales");
    Sql sql(db->path);
    sql.exec("BEGIN IMMEDIATE");
    Stmt ins(sql, "INSERT INTO " + sales->sqlName() + "(c1, c2, c3, c4, c5, c6, k) VALUES(?,?,?,?,?,?,?)");
    const std::int32_t start = daysFromCivil(2004, 1, 1);
    static const char *const notes[] = {"", "скидка", "опт", "возврат", "подарок"};
    for (int i = 1; i <= kSalesRows; ++i) {
        Row row(6);
        row[0].kind = Value::Kind::Int;
        row[0].i = i;
        row[1].kind = Value::Kind::Int;
        row[1].i = 1 + i % 2;
        row[2].kind = Value::Kind::DateTime;
        row[2].days = start + i / 300;
        row[2].ticks = std::uint32_t((i % 300) * 288 * 300);
        row[3].kind = Value::Kind::Int;
        row[3].i = 1 + i % 7;
        row[4].kind = Value::Kind::Decimal;
        row[4].scale = 4;
        row[4].unscaled = __int128(row[3].i) * (row[1].i == 1 ? 25000 : 30000);
        if (i % 5 != 0) {
            row[5].kind = Value::Kind::Text;
            row[5].bytes = notes[i % 5];
        }
        for (int c = 0; c < 6; ++c)
            bindValue(ins.get(), c + 1, row[std::size_t(c)], sales->columns[std::size_t(c)].type);
        std::string key;
        appendKey(key, TypedValue{row[0], sales->columns[0].type});
        sqlite3_bind_blob(ins.get(), 7, key.data(), int(key.size()), SQLITE_TRANSIENT);
        ins.step();
        ins.reset();
    }
    Stmt ident(sql, "UPDATE qts_tables SET ident_current=?, ident_used=1 WHERE id=?");
    sqlite3_bind_int(ident.get(), 1, kSalesRows);
    sqlite3_bind_int(ident.get(), 2, sales->id);
    ident.step();
    sql.exec("COMMIT");
}

} // namespace qts
