// The script editor: T-SQL 2000 highlighting with the workbench's colours,
// gutter, clearing, and find / replace.
#include "FindDialogs.h"
#include "ScriptMemo.h"
#include "TransactSqlLexer.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestScriptMemo : public QObject
{
    Q_OBJECT

private:
    static int StyleOf(TScriptMemo &Memo, const QString &Word)
    {
        const int position = static_cast<int>(Memo.text().toUtf8().indexOf(Word.toUtf8()));
        Memo.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0L, -1L);
        return static_cast<int>(Memo.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, static_cast<unsigned long>(position)));
    }

private slots:
    void highlighting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("style");
        QTest::addColumn<QColor>("color");
        const QColor blue(0, 0, 255), fuchsia(255, 0, 255), teal(0, 128, 128), red(255, 0, 0);
        QTest::newRow("reserved word") << "select 1" << "select" << int(QsciLexerSQL::Keyword) << blue;
        QTest::newRow("upper case") << "WHILE 1=1" << "WHILE" << int(QsciLexerSQL::Keyword) << blue;
        QTest::newRow("2000 word missing from stock SQL") << "TRUNCATE TABLE t" << "TRUNCATE" << int(QsciLexerSQL::Keyword) << blue;
        QTest::newRow("data type") << "DECLARE @a nvarchar(10)" << "nvarchar" << int(QsciLexerSQL::Keyword) << blue;
        QTest::newRow("function") << "SELECT GETDATE()" << "GETDATE" << int(QsciLexerSQL::KeywordSet5) << fuchsia;
        QTest::newRow("function also reserved stays key word") << "SELECT CONVERT(int, 1)" << "CONVERT" << int(QsciLexerSQL::Keyword) << blue;
        QTest::newRow("identifier") << "SELECT Customers" << "Customers" << int(QsciLexerSQL::Identifier) << QColor(Qt::black);
        QTest::newRow("line comment") << "-- note\nSELECT 1" << "note" << int(QsciLexerSQL::CommentLine) << teal;
        QTest::newRow("block comment") << "/* note */" << "note" << int(QsciLexerSQL::Comment) << teal;
        QTest::newRow("string") << "SELECT 'abc'" << "abc" << int(QsciLexerSQL::SingleQuotedString) << red;
        QTest::newRow("backslash ends no string") << "SELECT 'C:\\' + name" << "name" << int(QsciLexerSQL::Identifier) << QColor(Qt::black);
        QTest::newRow("temporary table is no comment") << "SELECT * FROM #orders" << "orders" << int(QsciLexerSQL::Identifier) << QColor(Qt::black);
    }

    void highlighting()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(int, style);
        QFETCH(QColor, color);
        TScriptMemo memo;
        memo.setText(text);
        QCOMPARE(StyleOf(memo, word), style);
        QCOMPARE(memo.SqlLexer()->color(style), color);
    }

    void editorSettings()
    {
        TScriptMemo memo;
        const QFont font = memo.SqlLexer()->font(QsciLexerSQL::Keyword);
        QCOMPARE(font.family(), QStringLiteral("Courier New"));
        QCOMPARE(font.pointSize(), 10);
        QVERIFY(!font.bold());
        QCOMPARE(memo.SqlLexer()->paper(QsciLexerSQL::Default), QColor(Qt::white));
        QVERIFY(memo.marginLineNumbers(0));
        QVERIFY(memo.marginWidth(0) >= QFontMetrics(font).horizontalAdvance(QStringLiteral("00000")) + 16);
        QCOMPARE(memo.marginWidth(2), 0);
        QCOMPARE(memo.edgeMode(), QsciScintilla::EdgeNone);
    }

    void clearAllForgetsUndo()
    {
        TScriptMemo memo;
        memo.setText(QStringLiteral("abc"));
        memo.insert(QStringLiteral("x"));
        QVERIFY(memo.isUndoAvailable());
        memo.ClearAll();
        QVERIFY(memo.text().isEmpty());
        QVERIFY(!memo.isUndoAvailable());
        QVERIFY(!memo.isRedoAvailable());
    }

    void findNextWrapsAndHonoursOptions()
    {
        TScriptMemo memo;
        memo.setText(QStringLiteral("select a\nSELECT b\nselected c\n"));
        TSearchOptions options;
        options.Text = QStringLiteral("SELECT");
        options.MatchCase = true;
        QVERIFY(memo.FindNext(options));
        int line = -1, index = -1;
        memo.getCursorPosition(&line, &index);
        QCOMPARE(line, 1);
        // Wraps around to the same, only, match.
        QVERIFY(memo.FindNext(options));
        memo.getCursorPosition(&line, &index);
        QCOMPARE(line, 1);

        options.MatchCase = false;
        options.WholeWord = true;
        memo.setCursorPosition(1, 6);
        QVERIFY(memo.FindNext(options));
        memo.getCursorPosition(&line, &index);
        QCOMPARE(line, 0); // "selected" is skipped, the search wraps to line 0

        options.Text = QStringLiteral("absent");
        QVERIFY(!memo.FindNext(options));
    }

    void replaceAllIsOneUndoStep()
    {
        TScriptMemo memo;
        memo.setText(QStringLiteral("a a a"));
        TSearchOptions options;
        options.Text = QStringLiteral("a");
        QCOMPARE(memo.ReplaceAll(options, QStringLiteral("aa")), 3);
        QCOMPARE(memo.text(), QStringLiteral("aa aa aa"));
        memo.undo();
        QCOMPARE(memo.text(), QStringLiteral("a a a"));
    }

    void replaceDialogDrivesTheEditor()
    {
        TScriptMemo memo;
        memo.setText(QStringLiteral("one two one"));
        TFindDialog dialog(TFindDialog::TMode::Replace, &memo);
        TSearchOptions seen;
        dialog.OnSearch = [&seen](const TSearchOptions &options) { seen = options; };
        dialog.findChild<QLineEdit *>(QStringLiteral("FindTextEdit"))->setText(QStringLiteral("one"));
        dialog.findChild<QLineEdit *>(QStringLiteral("ReplaceTextEdit"))->setText(QStringLiteral("1"));
        dialog.findChild<QPushButton *>(QStringLiteral("FindNextButton"))->click();
        QCOMPARE(memo.selectedText(), QStringLiteral("one"));
        dialog.findChild<QPushButton *>(QStringLiteral("ReplaceButton"))->click();
        QCOMPARE(memo.text(), QStringLiteral("1 two one"));
        QCOMPARE(seen.Text, QStringLiteral("one"));
        dialog.findChild<QPushButton *>(QStringLiteral("ReplaceAllButton"))->click();
        QCOMPARE(memo.text(), QStringLiteral("1 two 1"));

        dialog.findChild<QLineEdit *>(QStringLiteral("FindTextEdit"))->setText(QStringLiteral("zzz"));
        dialog.findChild<QPushButton *>(QStringLiteral("FindNextButton"))->click();
        QVERIFY(dialog.findChild<QLabel *>(QStringLiteral("StatusLabel"))->text().contains(QStringLiteral("не найден")));
    }
};

QTEST_MAIN(TestScriptMemo)
#include "tst_scriptmemo.moc"
