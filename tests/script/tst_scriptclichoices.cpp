// quorvane-script's choice of columns and keys, without a server: what it
// refuses, and with which exit status and words; and its connection options.

#include "Domain.h"
#include "RowSet.h"
#include "ScriptBuilder.h"
#include "ScriptCliOptions.h"
#include "ScriptCliProgress.h"
#include "ScriptCliRun.h"

#include <QTest>

namespace {

struct TSpec
{
    const char *name;
    int xtype;
    bool primary = false;
    bool computed = false;
};

std::unique_ptr<TTable> tableOf(std::initializer_list<TSpec> specs)
{
    auto table = std::make_unique<TTable>(QStringLiteral("Goods"), soUserTable, 1);
    for (const TSpec &spec : specs) {
        auto column = CreateColumn(QString::fromLatin1(spec.name), spec.xtype, 1, false, 8);
        column->IsPrimaryKey = spec.primary;
        column->IsComputed = spec.computed;
        table->Columns.Add(std::move(column));
    }
    return table;
}

QString flags(const TTable &table)
{
    QStringList out;
    for (const TCustomColumn *c : table.Columns)
        out << QStringLiteral("%1%2%3").arg(c->Name, c->IsUsed ? QStringLiteral("+") : QString(),
                                             c->IsKey ? QStringLiteral("*") : QString());
    return out.join(u' ');
}

// Two rows of an int key and a sql_variant, each variant with its base type.
class TVariantRows final : public TRowSet
{
public:
    qint64 RecordCount() override { return 2; }
    [[nodiscard]] bool Eof() const override { return m_row >= 2; }
    void Next() override { ++m_row; }
    [[nodiscard]] int FieldCount() const override { return 2; }
    [[nodiscard]] QString FieldName(int index) const override { return index == 0 ? "Id" : "V"; }
    [[nodiscard]] bool IsNull(int) const override { return false; }
    [[nodiscard]] QString AsString(int index) const override
    {
        if (index == 0)
            return QString::number(m_row + 1);
        return m_row == 0 ? QStringLiteral("12,5") : QStringLiteral("жёлтый");
    }
    [[nodiscard]] qint64 AsInteger(int index) const override { return AsString(index).toLongLong(); }
    [[nodiscard]] TVariantBase VariantBase(int) const override
    {
        TVariantBase base;
        if (m_row == 0) {
            base.BaseType = QStringLiteral("money");
        } else {
            base.BaseType = QStringLiteral("nvarchar");
            base.MaxLength = 12;
            base.Collation = QStringLiteral("Cyrillic_General_CI_AS");
        }
        return base;
    }
    void Cancel() noexcept override { Cancelled = true; }

    bool Cancelled = false;

private:
    int m_row = 0;
};

QStringList scriptOf(TRowSet &rows)
{
    auto table = tableOf({{"Id", XType::Int, true}, {"V", XType::SqlVariant}});
    for (TCustomColumn *column : table->Columns) {
        column->IsUsed = true;
        column->IsKey = column->IsPrimaryKey;
    }
    QStringList lines;
    TScriptLinesCollector sink(lines);
    TScriptBuildControl control;
    control.Now = QDateTime(QDate(2004, 3, 5), QTime(14, 20, 7));
    [&] { QCOMPARE(BuildScript(*table, rows, nullptr, sink, control).Outcome, goComplete); }();
    return lines;
}

} // namespace

class TestScriptCliChoices : public QObject
{
    Q_OBJECT

private slots:
    void choices_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("marked");
        // 0: Id int PK, Body text, Odd xtype 701
        // 1: Id int, Stamp timestamp PK, Title varchar
        // 2: Id int, Total computed PK
        QTest::newRow("defaults") << 1 << QStringList{} << QStringList{} << 2
                                  << "the primary key cannot be used: key column Stamp is a timestamp column" << "";
        QTest::newRow("unknown type among all") << 0 << QStringList{} << QStringList{} << 2
                                                << "column Odd is of a type unknown to quorvane-script (xtype 701)" << "";
        QTest::newRow("unknown type left out") << 0 << QStringList{"Id", "Body"} << QStringList{} << 0 << ""
                                               << "Id+* Body+ Odd";
        QTest::newRow("text key") << 0 << QStringList{"Id", "Body"} << QStringList{"Body"} << 2
                                  << "key column Body is of type text, which the server cannot compare" << "";
        QTest::newRow("computed primary key") << 2 << QStringList{} << QStringList{} << 2
                                              << "key column Total is a computed column" << "";
        QTest::newRow("other keys than a bad primary key") << 1 << QStringList{} << QStringList{"Id"} << 0 << ""
                                                           << "Id+* Stamp+ Title+";
        QTest::newRow("timestamp named as key") << 1 << QStringList{} << QStringList{"Stamp"} << 2
                                                << "key column Stamp is a timestamp column" << "";
        QTest::newRow("primary key left out") << 1 << QStringList{"Id", "Title"} << QStringList{} << 0 << ""
                                              << "Id+ Stamp Title+";
    }
    void choices()
    {
        QFETCH(int, table);
        QFETCH(QStringList, columns);
        QFETCH(QStringList, keys);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(QString, marked);
        std::unique_ptr<TTable> t;
        if (table == 0)
            t = tableOf({{"Id", XType::Int, true}, {"Body", XType::Text}, {"Odd", 701}});
        else if (table == 1)
            t = tableOf({{"Id", XType::Int}, {"Stamp", XType::Timestamp, true}, {"Title", XType::VarChar}});
        else
            t = tableOf({{"Id", XType::Int}, {"Total", XType::Int, true, true}});
        const TChoiceError error = ApplyColumnChoices(*t, columns, keys);
        QCOMPARE(error.Code, code);
        QVERIFY2(error.Message.contains(message), qPrintable(error.Message));
        if (code == 0)
            QCOMPARE(flags(*t), marked);
    }

    // --driver, --encrypt, --trust-server-certificate and --ca-file.
    void connectionOptions_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("expected");  // driver|encryption|trust|CA file, or the error
        QTest::newRow("none: FreeTDS's default, request, nothing trusted") << QStringList{} << "|request|0|";
        QTest::newRow("require") << QStringList{"--encrypt", "require"} << "|require|0|";
        QTest::newRow("no, written with =") << QStringList{"--encrypt=NO"} << "|no|0|";
        QTest::newRow("trusted") << QStringList{"--encrypt", "require", "--trust-server-certificate"} << "|require|1|";
        QTest::newRow("CA file") << QStringList{"--ca-file=/etc/ssl/ours.pem", "--encrypt", "require"}
                                 << "|require|0|/etc/ssl/ours.pem";
        QTest::newRow("driver") << QStringList{"--driver", "ODBC Driver 18 for SQL Server"}
                                << "ODBC Driver 18 for SQL Server|request|0|";
        QTest::newRow("unknown encryption") << QStringList{"--encrypt", "yes"}
                                            << "error: --encrypt wants no, request or require, got \"yes\"";
        QTest::newRow("trust takes no value") << QStringList{"--trust-server-certificate=yes"}
                                              << "error: --trust-server-certificate takes no value";
        QTest::newRow("CA file needs a value") << QStringList{"--ca-file"} << "error: --ca-file needs a value";
        QTest::newRow("driver needs a value") << QStringList{"--driver", " "} << "error: --driver needs a value";
    }

    void connectionOptions()
    {
        QFETCH(QStringList, extra);
        QFETCH(QString, expected);
        QString error;
        const auto options = ParseScriptCliOptions(
            QStringList{"--server", "s", "--login", "l", "--database", "d", "--table", "t"} + extra, error);
        const QString got = options ? QStringList{options->Driver, EncryptionText(options->Security.Encryption),
                                                  options->Security.TrustServerCertificate ? "1" : "0",
                                                  options->Security.CaFile}
                                          .join(u'|')
                                    : QStringLiteral("error: ") + error;
        QCOMPARE(got, expected);
    }

    // The row set that counts rows for the progress display hands every path
    // through: a variant's base type (or the script would carry another
    // value) and the break-off's cancel.
    void countingRowSetPassesEverythingThrough()
    {
        TVariantRows plain;
        const QStringList expected = scriptOf(plain);
        QVERIFY(expected.join(QString()).contains(QStringLiteral("money")));

        TVariantRows inner;
        TCountingRowSet counted(inner);
        QCOMPARE(scriptOf(counted), expected);
        QCOMPARE(counted.Count(), qint64(2));
        counted.Cancel();
        QVERIFY(inner.Cancelled);
    }

    void usageNamesTheConnectionOptions()
    {
        const QString usage = QString::fromLatin1(ScriptCliUsage);
        for (const char *option : {"--driver", "--encrypt", "--trust-server-certificate", "--ca-file"})
            QVERIFY2(usage.contains(QLatin1String(option)), option);
    }
};

QTEST_GUILESS_MAIN(TestScriptCliChoices)
#include "tst_scriptclichoices.moc"
