// The generator writes rows as UTF-8 straight from the row set's bytes: every
// literal must come out exactly as the text rules make it.

#include "Domain.h"
#include "LocaleFormat.h"
#include "MemoryRowSet.h"
#include "ScriptBuilder.h"

#include <QTest>

namespace {

// A row set that hands its texts over as UTF-8, as the ODBC one does.
class TUtf8RowSet : public TMemoryRowSet
{
public:
    using TMemoryRowSet::TMemoryRowSet;
    bool AppendUtf8(int index, QByteArray &out) const override
    {
        out += AsString(index).toUtf8();
        return true;
    }
};

} // namespace

class TestUtf8Literals : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }
    void cleanup() { SetDecimalSeparator(u','); }

    void sameLiteralAsText_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *tag, int xtype, const QString &text, const QString &separator = QStringLiteral(",")) {
            QTest::newRow(tag) << xtype << separator << text;
        };
        row("int", XType::Int, QStringLiteral("-42"));
        row("money, comma", XType::Money, QStringLiteral("-2,5"));
        row("decimal, point", XType::Decimal, QStringLiteral("12.0001"), QStringLiteral("."));
        row("float, Arabic separator", XType::Float, QStringLiteral("1٫5E+300"), QStringLiteral("٫"));
        row("varchar, quotes", XType::VarChar, QStringLiteral("O'Brien ''x'''"));
        row("nvarchar, Cyrillic and more", XType::NVarChar, QStringLiteral("жёлтый 中文 😀 é"));
        row("text, backslash before breaks", XType::Text, QStringLiteral("C:\\\r\nD:\\\nE:\\\r"));
        row("ntext, GO lines", XType::NText, QStringLiteral("a\r\nGO\nGo 5\r go\r\n\tgo -- x"));
        row("nvarchar, no-break space before go", XType::NVarChar, QStringLiteral("x\n\u00A0\u2003go"));
        row("nchar, go after a letter", XType::NChar, QStringLiteral("x\r\nago\r\n"));
        row("datetime", XType::DateTime, QStringLiteral("01.03.2004 10:00:00.120"));
        row("varbinary", XType::VarBinary, QStringLiteral("00FFA0"));
        row("uniqueidentifier", XType::UniqueIdentifier, QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
        row("empty string", XType::VarChar, QStringLiteral(""));
        row("nvarchar, the most growth a byte can take", XType::NVarChar,
            QStringLiteral("\\\ngo\\\ngo''''\\\r\n go\\\n\\\n\\\n'"));
    }
    void sameLiteralAsText()
    {
        QFETCH(int, xtype);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        SetDecimalSeparator(separator.at(0));
        const auto column = CreateColumn(QStringLiteral("C"), xtype, 1, false, 100);
        QByteArray utf8;
        column->AppendSQLValue(utf8, text.toUtf8());
        QCOMPARE(QString::fromUtf8(utf8), column->GetSQLValue(text));
    }

    // A whole script is the same whichever way the row set hands its texts over.
    void scriptIsTheSameFromUtf8Rows()
    {
        auto table = std::make_unique<TTable>(QStringLiteral("Mixed"), soUserTable, 1);
        for (const auto &[name, xtype] : {std::pair{"Id", XType::Int}, {"N", XType::NVarChar}, {"M", XType::Money},
                                         {"D", XType::DateTime}, {"B", XType::VarBinary}}) {
            auto column = CreateColumn(QString::fromLatin1(name), xtype, 1, false, 50);
            column->IsUsed = true;
            column->IsKey = QLatin1String(name) == QLatin1String("Id");
            table->Columns.Add(std::move(column));
        }
        const QStringList fields{"Id", "N", "M", "D", "B"};
        const QList<QList<QVariant>> values{
            {QString("1"), QString("a\r\nGO\r\nb 'ж'"), QString("2,5"), QString("01.03.2004 10:00:00"), QString("00FF")},
            {QString("2"), QVariant(), QVariant(), QString("02.03.2004 09:30:00.003"), QVariant()},
            {QString("3"), QString("😀\\\r\n"), QString("-0,0001"), QVariant(), QString("")}};
        QStringList fromText, fromUtf8;
        for (QStringList *lines : {&fromText, &fromUtf8}) {
            TMemoryRowSet textRows(fields, values);
            TUtf8RowSet utf8Rows(fields, values);
            TScriptLinesCollector sink(*lines);
            TScriptBuildControl control;
            control.Now = QDateTime(QDate(2004, 3, 5), QTime(14, 20, 7));
            TParseSettings settings;
            settings.SetBatchRows(2);
            const TGenerationResult result = lines == &fromText ? BuildScript(*table, textRows, &settings, sink, control)
                                                                : BuildScript(*table, utf8Rows, &settings, sink, control);
            QCOMPARE(result.Outcome, goComplete);
        }
        QCOMPARE(fromUtf8, fromText);
        QVERIFY(fromText.join(QString()).contains(QStringLiteral("N'a\r\nG\\\r\nO\r\nb ''ж''")));
    }

    void utf16SizeCountsTheServersCharacters()
    {
        for (const QString &text : {QString(), QStringLiteral("abc"), QStringLiteral("жёлтый"), QStringLiteral("中文"),
                                    QStringLiteral("😀a😀"), QStringLiteral("\r\n\t"),
                                    // Longer than a word: ASCII runs and multi-byte characters across word edges.
                                    QStringLiteral("abcdefghijklmnop"), QStringLiteral("abcdefgжijklmnopqrs😀t"),
                                    QStringLiteral("1234567😀12345678中"), QStringLiteral("ёёёёёёёёёёabcdefgh")})
            QCOMPARE(Utf16Size(text.toUtf8()), qint64(text.size()));
    }
};

QTEST_GUILESS_MAIN(TestUtf8Literals)
#include "tst_utf8literals.moc"
