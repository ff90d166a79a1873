// FOREIGN KEY constraints in the test server: the grammar that defines them,
// 547 on every kind of write that breaks one (in the wording of the release
// the server plays), what passes (NULLs, rows of the same statement, disabled
// constraints), ALTER TABLE ... CHECK/NOCHECK, refusals to drop or truncate a
// referenced table, and the catalogue that describes them.

#include "EngineFixture.h"
#include "ServerVersion.h"

#include <QtTest>

namespace {

// Customers <- Orders <- Lines, a self-referencing Staff, and a two-column key.
const char kSchema[] =
    "CREATE TABLE Customers (Id int NOT NULL PRIMARY KEY, Name nvarchar(40) NULL)\n"
    "CREATE TABLE Orders (Id int NOT NULL CONSTRAINT PK_Orders PRIMARY KEY,\n"
    "  CustomerId int NULL CONSTRAINT FK_Orders_Customers REFERENCES Customers(Id), Note varchar(20) NULL)\n"
    "CREATE TABLE Lines (OrderId int NOT NULL, Line int NOT NULL, Qty int NULL, CONSTRAINT PK_Lines PRIMARY KEY (OrderId, Line),\n"
    "  CONSTRAINT FK_Lines_Orders FOREIGN KEY (OrderId) REFERENCES Orders)\n"
    "CREATE TABLE Staff (Id int NOT NULL PRIMARY KEY, Boss int NULL,\n"
    "  CONSTRAINT FK_Staff_Boss FOREIGN KEY (Boss) REFERENCES Staff(Id) ON DELETE NO ACTION ON UPDATE NO ACTION)\n"
    "CREATE TABLE Pair (A int NOT NULL, B varchar(5) NOT NULL, CONSTRAINT PK_Pair PRIMARY KEY (A, B))\n"
    "CREATE TABLE PairRef (Id int NOT NULL PRIMARY KEY, PA int NULL, PB varchar(5) NULL,\n"
    "  CONSTRAINT FK_PairRef_Pair FOREIGN KEY (PB, PA) REFERENCES Pair(B, A))\n"
    "INSERT INTO Customers VALUES(1, N'Анна')\n"
    "INSERT INTO Customers VALUES(2, N'Boris')\n"
    "INSERT INTO Customers VALUES(3, N'Вера')\n"
    "INSERT INTO Orders VALUES(10, 1, 'first')\n"
    "INSERT INTO Orders VALUES(11, 1, 'second')\n"
    "INSERT INTO Orders VALUES(12, NULL, 'nobody''s')\n"
    "INSERT INTO Lines VALUES(10, 1, 5)\n"
    "INSERT INTO Lines VALUES(10, 2, 7)\n"
    "INSERT INTO Staff VALUES(1, NULL)\n"
    "INSERT INTO Staff VALUES(2, 1)\n"
    "INSERT INTO Staff VALUES(3, 2)\n"
    "INSERT INTO Pair VALUES(1, 'X')\n"
    "INSERT INTO PairRef VALUES(1, 1, 'X')\n";

// Everything the schema holds, to prove a refused statement changed nothing.
QStringList contents(EngineFixture &f)
{
    QStringList out;
    for (const char *q : {"SELECT Id, Name FROM Customers ORDER BY Id", "SELECT Id, CustomerId FROM Orders ORDER BY Id",
                          "SELECT OrderId, Line FROM Lines ORDER BY OrderId, Line", "SELECT Id, Boss FROM Staff ORDER BY Id",
                          "SELECT A, B FROM Pair", "SELECT Id, PA, PB FROM PairRef ORDER BY Id"})
        out << f.query(q).join(';');
    return out;
}

struct Conflict {
    const char *verb;
    bool reference;
    bool sameTable;
    const char *name;
    const char *table;
    const char *column; // nullptr: a key of several columns
};

QString wording(const Conflict &c, int year, const QString &db)
{
    const QString column = c.column ? QStringLiteral(", column '%1'").arg(c.column) : QString();
    const QString kind = c.reference ? (c.sameTable ? "SAME TABLE REFERENCE" : "REFERENCE")
                                     : (c.sameTable ? "FOREIGN KEY SAME TABLE" : "FOREIGN KEY");
    if (year >= 2005)
        return QStringLiteral("547: The %1 statement conflicted with the %2 constraint \"%3\". The conflict occurred in database \"%4\", table \"dbo.%5\"%6.")
            .arg(c.verb, kind, c.name, db, c.table, column);
    return QStringLiteral("547: %1 statement conflicted with %2 %3 constraint '%4'. The conflict occurred in database '%5', table '%6'%7.")
        .arg(c.verb, c.column ? "COLUMN" : "TABLE", kind, c.name, db, c.table, column);
}

} // namespace

Q_DECLARE_METATYPE(Conflict)

class TestForeignKeys : public QObject {
    Q_OBJECT

private slots:
    void conflicts_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<Conflict>("conflict");
        const Conflict toCustomers{"INSERT", false, false, "FK_Orders_Customers", "Customers", "Id"};
        const Conflict updateToCustomers{"UPDATE", false, false, "FK_Orders_Customers", "Customers", "Id"};
        const Conflict fromOrders{"DELETE", true, false, "FK_Orders_Customers", "Orders", "CustomerId"};
        const Conflict keyFromOrders{"UPDATE", true, false, "FK_Orders_Customers", "Orders", "CustomerId"};
        for (const int year : {2000, 2008}) {
            const QByteArray y = QByteArray::number(year) + " ";
            QTest::newRow(y + "insert without parent") << year << "INSERT INTO Orders VALUES(20, 9, 'x')" << toCustomers;
            QTest::newRow(y + "insert select, one row without parent")
                << year << "DECLARE @v TABLE (Id int, C int)\nINSERT INTO @v VALUES(20, 2)\nINSERT INTO @v VALUES(21, 8)\n"
                           "INSERT INTO Orders (Id, CustomerId) SELECT Id, C FROM @v" << toCustomers;
            QTest::newRow(y + "update to a missing parent") << year << "UPDATE Orders SET CustomerId = 4 WHERE Id = 12" << updateToCustomers;
            QTest::newRow(y + "update from a table variable")
                << year << "DECLARE @v TABLE (k int, c int)\nINSERT INTO @v VALUES(11, 5)\n"
                           "UPDATE Orders SET CustomerId = X.c FROM @v AS X WHERE Orders.Id = X.k" << updateToCustomers;
            QTest::newRow(y + "delete a referenced parent") << year << "DELETE FROM Customers WHERE Id = 1" << fromOrders;
            QTest::newRow(y + "delete every parent") << year << "DELETE FROM Customers" << fromOrders;
            QTest::newRow(y + "delete from a table variable")
                << year << "DECLARE @v TABLE (k int)\nINSERT INTO @v VALUES(1)\nDELETE Customers FROM @v AS X WHERE Customers.Id = X.k"
                << fromOrders;
            QTest::newRow(y + "delete the middle of a chain")
                << year << "DELETE FROM Orders WHERE Id = 10"
                << Conflict{"DELETE", true, false, "FK_Lines_Orders", "Lines", "OrderId"};
            QTest::newRow(y + "update a referenced key") << year << "UPDATE Customers SET Id = 7 WHERE Id = 1" << keyFromOrders;
            QTest::newRow(y + "self reference to nobody")
                << year << "INSERT INTO Staff VALUES(4, 9)" << Conflict{"INSERT", false, true, "FK_Staff_Boss", "Staff", "Id"};
            QTest::newRow(y + "self reference: delete a boss")
                << year << "DELETE FROM Staff WHERE Id = 2" << Conflict{"DELETE", true, true, "FK_Staff_Boss", "Staff", "Boss"};
            QTest::newRow(y + "two columns, both given")
                << year << "INSERT INTO PairRef VALUES(2, 2, 'X')" << Conflict{"INSERT", false, false, "FK_PairRef_Pair", "Pair", nullptr};
            QTest::newRow(y + "two columns: delete the parent")
                << year << "DELETE FROM Pair" << Conflict{"DELETE", true, false, "FK_PairRef_Pair", "PairRef", nullptr};
            QTest::newRow(y + "add a constraint over orphans")
                << year << "CREATE TABLE Notes (Id int NOT NULL PRIMARY KEY, OrderId int NULL)\nINSERT INTO Notes VALUES(1, 99)\n"
                           "ALTER TABLE Notes ADD CONSTRAINT FK_Notes_Orders FOREIGN KEY (OrderId) REFERENCES Orders (Id)"
                << Conflict{"ALTER TABLE", false, false, "FK_Notes_Orders", "Orders", "Id"};
            QTest::newRow(y + "WITH CHECK CHECK over orphans")
                << year << "ALTER TABLE Orders NOCHECK CONSTRAINT ALL\nINSERT INTO Orders VALUES(30, 77, NULL)\n"
                           "ALTER TABLE Orders WITH CHECK CHECK CONSTRAINT FK_Orders_Customers"
                << Conflict{"ALTER TABLE", false, false, "FK_Orders_Customers", "Customers", "Id"};
            QTest::newRow(y + "enabled again, new orphans refused")
                << year << "ALTER TABLE Orders NOCHECK CONSTRAINT FK_Orders_Customers\nALTER TABLE Orders CHECK CONSTRAINT ALL\n"
                           "INSERT INTO Orders VALUES(31, 78, NULL)" << toCustomers;
        }
    }
    void conflicts()
    {
        QFETCH(int, year);
        QFETCH(QString, sql);
        QFETCH(Conflict, conflict);
        EngineFixture f(false, year);
        QCOMPARE(f.run(kSchema).errors(), QStringList());
        const QString db = f.query("SELECT DB_NAME()").value(0);
        const QStringList before = contents(f);
        // The statement ends with 547 and "terminated"; the batch goes on.
        const Recorded r = f.run(sql + "\nSELECT 'after'");
        QCOMPARE(r.errors(), QStringList({wording(conflict, year, db)}));
        const auto error = std::find_if(r.messages.begin(), r.messages.end(), [](const qts::Message &m) { return m.number == 547; });
        QCOMPARE(int(error->severity), 16);
        QCOMPARE(int(error->state), year >= 2005 ? 0 : 1);
        // A refused write ends "terminated"; a refused constraint does not.
        const bool alter = QByteArray(conflict.verb) == "ALTER TABLE";
        QCOMPARE(std::next(error) != r.messages.end() && std::next(error)->number == 3621, !alter);
        QCOMPARE(r.results.back().rows, QStringList({"after"}));
        // Nothing of the refused statement stays.
        if (!sql.contains("NOCHECK") && !sql.contains("Notes"))
            QCOMPARE(contents(f), before);
    }

    void allowed_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("check");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("NULL references nothing") << "INSERT INTO Orders VALUES(20, NULL, 'x')" << "SELECT COUNT(*) FROM Orders" << QStringList({"4"});
        QTest::newRow("one NULL of two columns") << "INSERT INTO PairRef VALUES(2, 5, NULL)" << "SELECT COUNT(*) FROM PairRef" << QStringList({"2"});
        QTest::newRow("case-insensitive key") << "INSERT INTO PairRef VALUES(3, 1, 'x ')" << "SELECT COUNT(*) FROM PairRef" << QStringList({"2"});
        QTest::newRow("children first, then the parent")
            << "DELETE FROM Lines WHERE OrderId = 10\nDELETE FROM Orders WHERE CustomerId = 1\nDELETE FROM Customers WHERE Id = 1"
            << "SELECT COUNT(*) FROM Customers" << QStringList({"2"});
        QTest::newRow("unreferenced parent goes") << "DELETE FROM Customers WHERE Id = 3" << "SELECT COUNT(*) FROM Customers" << QStringList({"2"});
        QTest::newRow("a key set to itself") << "UPDATE Customers SET Id = Id" << "SELECT COUNT(*) FROM Customers" << QStringList({"3"});
        QTest::newRow("other columns of a child") << "UPDATE Orders SET Note = 'n'" << "SELECT COUNT(*) FROM Orders WHERE Note = 'n'"
                                                  << QStringList({"3"});
        QTest::newRow("rows of one statement reference each other")
            << "DECLARE @v TABLE (Id int, Boss int)\nINSERT INTO @v VALUES(5, 6)\nINSERT INTO @v VALUES(6, 5)\n"
               "INSERT INTO Staff SELECT Id, Boss FROM @v" << "SELECT COUNT(*) FROM Staff" << QStringList({"5"});
        QTest::newRow("a row that is its own boss goes") << "INSERT INTO Staff VALUES(9, 9)\nDELETE FROM Staff WHERE Id = 9"
                                                         << "SELECT COUNT(*) FROM Staff" << QStringList({"3"});
        QTest::newRow("disabled: orphans pass")
            << "ALTER TABLE Orders NOCHECK CONSTRAINT ALL\nINSERT INTO Orders VALUES(20, 99, NULL)\nDELETE FROM Lines\n"
               "ALTER TABLE Lines NOCHECK CONSTRAINT FK_Lines_Orders\nDELETE FROM Customers"
            << "SELECT COUNT(*) FROM Customers" << QStringList({"0"});
        QTest::newRow("WITH NOCHECK ADD keeps orphans")
            << "CREATE TABLE Notes (Id int NOT NULL PRIMARY KEY, OrderId int NULL)\nINSERT INTO Notes VALUES(1, 99)\n"
               "ALTER TABLE Notes WITH NOCHECK ADD CONSTRAINT FK_Notes_Orders FOREIGN KEY (OrderId) REFERENCES Orders (Id)\n"
               "UPDATE Notes SET Id = 2"
            << "SELECT COUNT(*) FROM Notes WHERE Id = 2" << QStringList({"1"});
        QTest::newRow("dropped constraint checks nothing")
            << "ALTER TABLE Orders DROP CONSTRAINT FK_Orders_Customers\nINSERT INTO Orders VALUES(20, 99, NULL)"
            << "SELECT COUNT(*) FROM Orders" << QStringList({"4"});
        QTest::newRow("child dropped before parent") << "DROP TABLE Lines, Orders, Customers"
                                                     << "SELECT COUNT(*) FROM sysobjects WHERE xtype = 'F '" << QStringList({"2"});
        QTest::newRow("#table skips its foreign key")
            << "CREATE TABLE #t (Id int NOT NULL PRIMARY KEY, C int NULL REFERENCES Customers(Id))\nINSERT INTO #t VALUES(1, 99)"
            << "SELECT COUNT(*) FROM #t" << QStringList({"1"});
    }
    void allowed()
    {
        QFETCH(QString, sql);
        QFETCH(QString, check);
        QFETCH(QStringList, rows);
        EngineFixture f;
        QCOMPARE(f.run(kSchema).errors(), QStringList());
        QCOMPARE(f.run(sql).errors(), QStringList());
        QCOMPARE(f.query(check), rows);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("errors");
        const QString failed = "1750: Could not create constraint. See previous errors.";
        QTest::newRow("3726 drop a referenced table")
            << "DROP TABLE Customers" << QStringList({"3726: Could not drop object 'Customers' because it is referenced by a FOREIGN KEY constraint."});
        QTest::newRow("4712 truncate a referenced table")
            << "TRUNCATE TABLE Orders" << QStringList({"4712: Cannot truncate table 'Orders' because it is being referenced by a FOREIGN KEY constraint."});
        QTest::newRow("1767 no such table")
            << "CREATE TABLE N (Id int NULL CONSTRAINT FK_N REFERENCES Nowhere(Id))"
            << QStringList({"1767: Foreign key 'FK_N' references invalid table 'Nowhere'.", failed});
        QTest::newRow("1769 no such referencing column")
            << "ALTER TABLE Orders ADD CONSTRAINT FK_X FOREIGN KEY (Nope) REFERENCES Customers(Id)"
            << QStringList({"1769: Foreign key 'FK_X' references invalid column 'Nope' in referencing table 'Orders'.", failed});
        QTest::newRow("1770 no such referenced column")
            << "CREATE TABLE N (C int NULL, CONSTRAINT FK_N FOREIGN KEY (C) REFERENCES Customers(Nope))"
            << QStringList({"1770: Foreign key 'FK_N' references invalid column 'Nope' in referenced table 'Customers'.", failed});
        QTest::newRow("1776 not the primary key")
            << "CREATE TABLE N (C nvarchar(40) NULL REFERENCES Customers(Name))"
            << QStringList({"1776: There are no primary or candidate keys in the referenced table 'Customers' that match the referencing column list in the foreign key 'FK__N__C__"
                            "%ID%'.", failed});
        QTest::newRow("1778 another type")
            << "CREATE TABLE N (C bigint NULL CONSTRAINT FK_N REFERENCES Customers(Id))"
            << QStringList({"1778: Column 'Customers.Id' is not the same data type as referencing column 'N.C' in foreign key 'FK_N'.", failed});
        QTest::newRow("8139 column counts differ")
            << "CREATE TABLE N (A int NULL, CONSTRAINT FK_N FOREIGN KEY (A) REFERENCES Pair(A, B))"
            << QStringList({"8139: Number of referencing columns in foreign key differs from number of referenced columns, table 'N'.", failed});
        QTest::newRow("2714 name taken")
            << "CREATE TABLE N (C int NULL CONSTRAINT FK_Orders_Customers REFERENCES Customers(Id))"
            << QStringList({"2714: There is already an object named 'FK_Orders_Customers' in the database.", failed});
        QTest::newRow("4917 no such constraint")
            << "ALTER TABLE Orders NOCHECK CONSTRAINT FK_Nope" << QStringList({"4917: Constraint 'FK_Nope' does not exist."});
        QTest::newRow("4902 no such table")
            << "ALTER TABLE Nope NOCHECK CONSTRAINT ALL"
            << QStringList({"4902: Cannot alter table 'Nope' because this table does not exist in database '%DB%'."});
        QTest::newRow("cascades are not run here")
            << "CREATE TABLE N (C int NULL REFERENCES Customers(Id) ON DELETE CASCADE)"
            << QStringList({"50000: This test server does not run cascading referential actions; only NO ACTION is supported."});
        QTest::newRow("156 no foreign key in a table variable")
            << "DECLARE @v TABLE (C int NULL REFERENCES Customers(Id))" << QStringList({"156: Incorrect syntax near the keyword 'REFERENCES'."});
    }
    void refused()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, errors);
        EngineFixture f;
        QCOMPARE(f.run(kSchema).errors(), QStringList());
        const QString db = f.query("SELECT DB_NAME()").value(0);
        const QString objects = "SELECT COUNT(*) FROM sysobjects";
        const QStringList before = f.query(objects);
        Recorded r = f.run(sql);
        QStringList got = r.errors();
        // A name the server makes up ends in the object id as hex.
        for (QString &e : got)
            e.replace(QRegularExpression("FK__N__C__[0-9A-F]{8}"), "FK__N__C__%ID%");
        for (QString &e : errors)
            e.replace("%DB%", db);
        QCOMPARE(got, errors);
        QCOMPARE(f.query(objects), before);
        QCOMPARE(f.query("SELECT COUNT(*) FROM Orders"), QStringList({"3"}));
    }

    void wordingOfLaterReleases()
    {
        EngineFixture f(false, 2008);
        QCOMPARE(f.run(kSchema).errors(), QStringList());
        QCOMPARE(f.run("DROP TABLE Customers").errors(),
                 QStringList({"3726: Could not drop object 'dbo.Customers' because it is referenced by a FOREIGN KEY constraint."}));
        QCOMPARE(f.run("ALTER TABLE Nope CHECK CONSTRAINT ALL").errors(),
                 QStringList({"4902: Cannot find the object \"Nope\" because it does not exist or you do not have permissions."}));
    }

    void catalogue2000()
    {
        EngineFixture f;
        QCOMPARE(f.run(kSchema).errors(), QStringList());
        // sysforeignkeys: one row per column pair, in key order.
        QCOMPARE(f.query("SELECT o.name, f.name, r.name, k.fkey, k.rkey, k.keyno FROM sysforeignkeys k"
                         " JOIN sysobjects o ON o.id = k.constid JOIN sysobjects f ON f.id = k.fkeyid JOIN sysobjects r ON r.id = k.rkeyid"
                         " ORDER BY o.name, k.keyno"),
                 QStringList({"FK_Lines_Orders|Lines|Orders|1|1|1", "FK_Orders_Customers|Orders|Customers|2|1|1",
                              "FK_PairRef_Pair|PairRef|Pair|3|2|1", "FK_PairRef_Pair|PairRef|Pair|2|1|2",
                              "FK_Staff_Boss|Staff|Staff|2|1|1"}));
        QCOMPARE(f.query("SELECT r.keycnt, r.fkey1, r.fkey2, r.fkey3, r.rkey1, r.rkey2, r.forkeys, r.refkeys FROM sysreferences r"
                         " JOIN sysobjects o ON o.id = r.constid WHERE o.name = 'FK_PairRef_Pair'"),
                 QStringList({"2|3|2|0|2|1|0x03000200" + QString(56, '0') + "|0x02000100" + QString(56, '0')}));
        QCOMPARE(f.query("SELECT o.xtype, p.name FROM sysobjects o JOIN sysobjects p ON p.id = o.parent_obj"
                         " WHERE o.name = 'FK_Orders_Customers'"),
                 QStringList({"F |Orders"}));
        QCOMPARE(f.run("ALTER TABLE Orders NOCHECK CONSTRAINT ALL").errors(), QStringList());
        QCOMPARE(f.query("SELECT OBJECTPROPERTY(id, 'CnstIsDisabled'), OBJECTPROPERTY(id, 'IsForeignKey') FROM sysobjects"
                         " WHERE xtype = 'F ' ORDER BY name"),
                 QStringList({"0|1", "1|1", "0|1", "0|1"}));
        // A name the server makes up: FK__, table and first column cut to 8 characters, the id in hex.
        QCOMPARE(f.run("CREATE TABLE OrderNotes (Id int NOT NULL PRIMARY KEY, OrderRef int NULL REFERENCES Orders)").errors(), QStringList());
        const QStringList made = f.query("SELECT name, id FROM sysobjects WHERE xtype = 'F ' AND parent_obj = OBJECT_ID('OrderNotes')");
        QCOMPARE(made.size(), 1);
        const QStringList parts = made[0].split('|');
        QCOMPARE(parts[0], "FK__OrderNot__OrderRef__" + QString::number(parts[1].toUInt(), 16).toUpper().rightJustified(8, '0'));
    }

    void catalogueSysViews()
    {
        EngineFixture f(false, 2005);
        QCOMPARE(f.run(kSchema).errors(), QStringList());
        QCOMPARE(f.run("ALTER TABLE Orders NOCHECK CONSTRAINT FK_Orders_Customers\n"
                       "ALTER TABLE Staff NOCHECK CONSTRAINT ALL\nALTER TABLE Staff CHECK CONSTRAINT ALL\n"
                       "ALTER TABLE Lines NOCHECK CONSTRAINT ALL\nALTER TABLE Lines WITH CHECK CHECK CONSTRAINT ALL").errors(),
                 QStringList());
        QCOMPARE(f.query("SELECT k.name, OBJECT_NAME(k.parent_object_id), OBJECT_NAME(k.referenced_object_id), k.is_disabled,"
                         " k.is_not_trusted, k.type, k.delete_referential_action_desc FROM sys.foreign_keys k ORDER BY k.name"),
                 QStringList({"FK_Lines_Orders|Lines|Orders|0|0|F |NO_ACTION", "FK_Orders_Customers|Orders|Customers|1|1|F |NO_ACTION",
                              "FK_PairRef_Pair|PairRef|Pair|0|0|F |NO_ACTION", "FK_Staff_Boss|Staff|Staff|0|1|F |NO_ACTION"}));
        QCOMPARE(f.query("SELECT c.constraint_column_id, c.parent_column_id, c.referenced_column_id FROM sys.foreign_key_columns c"
                         " JOIN sys.foreign_keys k ON k.object_id = c.constraint_object_id WHERE k.name = 'FK_PairRef_Pair'"
                         " ORDER BY c.constraint_column_id"),
                 QStringList({"1|3|2", "2|2|1"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM sys.objects WHERE type = 'F '"), QStringList({"4"}));
    }

    void demoRelatedSet()
    {
        EngineFixture f(true);
        QCOMPARE(f.run("USE Shop").errors(), QStringList());
        QCOMPARE(f.query("SELECT o.name, t.name, r.name FROM sysreferences k JOIN sysobjects o ON o.id = k.constid"
                         " JOIN sysobjects t ON t.id = k.fkeyid JOIN sysobjects r ON r.id = k.rkeyid ORDER BY o.name"),
                 QStringList({"FK_Customers_ReferredBy|Customers|Customers", "FK_OrderItems_Orders|OrderItems|Orders",
                              "FK_Orders_Customers|Orders|Customers"}));
        // Every table holds rows, Russian and Latin, and every reference finds its row.
        QCOMPARE(f.query("SELECT COUNT(*) FROM Customers"), QStringList({"8"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM Orders"), QStringList({"12"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM OrderItems"), QStringList({"24"}));
        QCOMPARE(f.query("SELECT Name FROM Customers WHERE Id = 7"), QStringList({"Дмитрий Ёлкин"}));
        QCOMPARE(f.run("ALTER TABLE OrderItems WITH CHECK CHECK CONSTRAINT ALL\nALTER TABLE Orders WITH CHECK CHECK CONSTRAINT ALL\n"
                       "ALTER TABLE Customers WITH CHECK CHECK CONSTRAINT ALL").errors(),
                 QStringList());
        QCOMPARE(f.run("DELETE FROM Orders WHERE Id = 1").firstError(), 547);
        QCOMPARE(f.run("DELETE FROM Customers WHERE Id = 1").firstError(), 547);
        QCOMPARE(f.run("DELETE FROM Goods WHERE Id = 2").errors(), QStringList());
    }

    void keptAcrossRestarts()
    {
        const qts::ServerVersion *release = qts::findServerVersion(2000);
        EngineFixture f;
        QCOMPARE(f.run(kSchema).errors(), QStringList());
        QCOMPARE(f.run("ALTER TABLE Orders NOCHECK CONSTRAINT ALL").errors(), QStringList());
        auto engine = qts::createEngine(f.dataDir().toStdString(), false, *release);
        auto session = engine->openSession("sa", f.query("SELECT DB_NAME()").value(0).toStdString());
        Recorded r;
        RecordingSink sink(r);
        engine->executeBatch(*session,
                             "SELECT OBJECTPROPERTY(id, 'CnstIsDisabled') FROM sysobjects WHERE name = 'FK_Orders_Customers'\n"
                             "INSERT INTO Orders VALUES(40, 99, NULL)\nDELETE FROM Lines WHERE OrderId = 10 AND Line = 3\n"
                             "DELETE FROM Staff WHERE Id = 1\nSELECT COUNT(*) FROM sysforeignkeys",
                             sink);
        QCOMPARE(r.rows(0), QStringList({"1"}));
        QCOMPARE(r.errors().size(), 1);
        QVERIFY(r.errors().value(0).startsWith("547: DELETE statement conflicted with COLUMN SAME TABLE REFERENCE constraint 'FK_Staff_Boss'"));
        QCOMPARE(r.rows(1), QStringList({"5"}));
    }
};

QTEST_APPLESS_MAIN(TestForeignKeys)
#include "tst_foreignkeys.moc"
