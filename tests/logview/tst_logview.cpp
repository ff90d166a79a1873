#include "ColorRichEdit.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// The log with a stopped clock and a Russian user's formats.
class TFixedClockEdit : public TColorRichEdit
{
public:
    TFixedClockEdit()
    {
        SetFormatLocale(QLocale(QLocale::Russian, QLocale::Russia));
    }
    QDateTime CurrentDateTime() const override { return QDateTime(QDate(2026, 12, 9), QTime(13, 5, 9)); }
};

QStringList lines(const QTextEdit &edit)
{
    return edit.toPlainText().split(u'\n');
}

QColor colourOfLine(const QTextEdit &edit, int line)
{
    const QTextBlock block = edit.document()->findBlockByNumber(line);
    // The format of the block's first character.
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::NextCharacter);
    return cursor.charFormat().foreground().color();
}

} // namespace

class LogViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults()
    {
        TColorRichEdit edit;
        QVERIFY(edit.IsScrollToBottom());
        QVERIFY(edit.IsNumberLines());
        QVERIFY(edit.IsAddTime());
        QVERIFY(edit.IsAddDate());
        QVERIFY(edit.Delimiter().isEmpty() && edit.NumberDelimiter().isEmpty());
        QVERIFY(edit.TimeDelimiter().isEmpty() && edit.DateDelimiter().isEmpty());
        QVERIFY(edit.isReadOnly());
        QCOMPARE(edit.LineCount(), 0);
    }

    void russianFormats()
    {
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        QCOMPARE(ru.toString(QTime(13, 5, 9), LongTimeFormat(ru)), QStringLiteral("13:05:09"));
        QCOMPARE(ru.toString(QDate(2026, 12, 9), QLocale::ShortFormat), QStringLiteral("09.12.2026"));
    }

    void prefixes_data()
    {
        QTest::addColumn<bool>("number");
        QTest::addColumn<bool>("date");
        QTest::addColumn<bool>("time");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("numberDelimiter");
        QTest::addColumn<QString>("dateDelimiter");
        QTest::addColumn<QString>("timeDelimiter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("main window's log") << false << false << true << "" << ". " << "" << " "
                                           << "13:05:09 Ошибка";
        QTest::newRow("all switches on") << true << true << true << " " << ". " << " " << " "
                                         << "1. 09.12.2026 13:05:09  Ошибка";
        QTest::newRow("all off") << false << false << false << "" << ". " << " " << " " << "Ошибка";
        QTest::newRow("delimiter only") << false << false << false << "> " << "" << "" << "" << "> Ошибка";
        QTest::newRow("number, no delimiter") << true << false << false << "" << "" << "" << "" << "1Ошибка";
        QTest::newRow("number and date") << true << true << false << "" << "-" << "|" << "" << "1-09.12.2026|Ошибка";
        QTest::newRow("date and time glued") << false << true << true << "" << "" << "" << "" << "09.12.202613:05:09Ошибка";
    }
    void prefixes()
    {
        QFETCH(bool, number);
        QFETCH(bool, date);
        QFETCH(bool, time);
        QFETCH(QString, delimiter);
        QFETCH(QString, numberDelimiter);
        QFETCH(QString, dateDelimiter);
        QFETCH(QString, timeDelimiter);
        QFETCH(QString, expected);
        TFixedClockEdit edit;
        edit.SetIsNumberLines(number);
        edit.SetIsAddDate(date);
        edit.SetIsAddTime(time);
        edit.SetDelimiter(delimiter);
        edit.SetNumberDelimiter(numberDelimiter);
        edit.SetDateDelimiter(dateDelimiter);
        edit.SetTimeDelimiter(timeDelimiter);
        edit.AddLine(QStringLiteral("Ошибка"), Qt::red);
        QCOMPARE(edit.toPlainText(), expected);
    }

    void numberingCountsLinesAndRestartsAfterClear()
    {
        TFixedClockEdit edit;
        edit.SetIsAddDate(false);
        edit.SetIsAddTime(false);
        edit.SetNumberDelimiter(QStringLiteral(". "));
        edit.AddLine("a", Qt::black);
        edit.AddLine("b", Qt::black);
        edit.AddLine("c", Qt::black);
        QCOMPARE(lines(edit), (QStringList{"1. a", "2. b", "3. c"}));
        edit.AddLine("two\r\nlines", Qt::black);
        edit.AddLine("d", Qt::black);
        QCOMPARE(lines(edit), (QStringList{"1. a", "2. b", "3. c", "4. two", "lines", "6. d"}));
        edit.clear();
        edit.AddLine("e", Qt::black);
        QCOMPARE(edit.toPlainText(), QStringLiteral("1. e"));
    }

    void eachLineKeepsItsColour_data()
    {
        QTest::addColumn<QList<QColor>>("colours");
        QTest::newRow("red, green") << QList<QColor>{Qt::red, QColor(0x008000)};
        QTest::newRow("log's three") << QList<QColor>{QColor(0xFF0000), QColor(0x008000), QColor(0x0000FF), QColor(0xFF0000)};
    }
    void eachLineKeepsItsColour()
    {
        QFETCH(QList<QColor>, colours);
        TFixedClockEdit edit;
        for (const QColor &c : colours)
            edit.AddLine(QStringLiteral("line"), c);
        QCOMPARE(edit.LineCount(), colours.size());
        for (int i = 0; i < colours.size(); ++i)
            QCOMPARE(colourOfLine(edit, i), colours.at(i));
        QVERIFY(!edit.textCursor().hasSelection());
    }

    void lineEvents()
    {
        TFixedClockEdit edit;
        edit.SetIsAddDate(false);
        edit.SetIsNumberLines(false);
        edit.SetTimeDelimiter(QStringLiteral(" "));
        QString seenAfter;
        edit.OnBeforeLineAdd = [](TColorRichEdit *, QString &line) { line = line.toUpper(); };
        edit.OnAfterLineAdd = [&](TColorRichEdit *, QString &line) {
            seenAfter = line;
            line = QStringLiteral("ignored");
        };
        edit.AddLine(QStringLiteral("готово"), Qt::blue);
        QCOMPARE(edit.toPlainText(), QStringLiteral("13:05:09 ГОТОВО"));
        QCOMPARE(seenAfter, edit.toPlainText());
    }

    void scrolling()
    {
        TFixedClockEdit edit;
        edit.resize(300, 80);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        for (int i = 0; i < 50; ++i)
            edit.AddLine(QStringLiteral("line"), Qt::black);
        QScrollBar *bar = edit.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        edit.SetIsScrollToBottom(false);
        bar->setValue(0);
        for (int i = 0; i < 50; ++i)
            edit.AddLine(QStringLiteral("line"), Qt::black);
        QCOMPARE(bar->value(), 0);
        QVERIFY(bar->maximum() > 0);
    }
};

QTEST_MAIN(LogViewTest)
#include "tst_logview.moc"
