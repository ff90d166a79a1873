#include "ScriptMemo.h"

#include "TransactSqlLexer.h"

#include <QFontMetrics>

TScriptMemo::TScriptMemo(QWidget *parent)
    : QsciScintilla(parent)
    , m_lexer(new TTransactSqlLexer(this))
{
    setUtf8(true);
    setLexer(m_lexer);
    setFrameStyle(QFrame::NoFrame);
    setPaper(Qt::white);
    setColor(palette().color(QPalette::WindowText));
    setCaretLineVisible(false);
    setEdgeMode(QsciScintilla::EdgeNone);
    setWrapMode(QsciScintilla::WrapNone);
    setEolMode(QsciScintilla::EolWindows);
    setTabWidth(4);
    setBraceMatching(QsciScintilla::SloppyBraceMatch);

    // Gutter: line numbers five digits wide, 8 pixels of air on each side.
    const QFont font = m_lexer->defaultFont(QsciLexerSQL::Default);
    setMarginsFont(font);
    setMarginType(0, QsciScintilla::NumberMargin);
    setMarginLineNumbers(0, true);
    setMarginWidth(0, QFontMetrics(font).horizontalAdvance(QStringLiteral("00000")) + 16);
    setMarginsBackgroundColor(Qt::white);
    setMarginsForegroundColor(QColor(128, 128, 128));
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    setFolding(QsciScintilla::NoFoldStyle);
    // The horizontal scroll bar follows the longest line instead of a fixed width.
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
}

void TScriptMemo::ClearAll()
{
    clear();
    SendScintilla(SCI_EMPTYUNDOBUFFER);
}

void TScriptMemo::SetTextAndForgetUndo(const QString &Text)
{
    setText(Text);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
}

bool TScriptMemo::SelectionMatches(const TSearchOptions &Options) const
{
    if (!hasSelectedText())
        return false;
    return selectedText().compare(Options.Text, Options.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

bool TScriptMemo::FindNext(const TSearchOptions &Options)
{
    if (Options.Text.isEmpty())
        return false;
    int line = 0;
    int index = 0;
    if (hasSelectedText()) {
        int lineFrom = 0, indexFrom = 0, lineTo = 0, indexTo = 0;
        getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
        line = Options.Forward ? lineTo : lineFrom;
        index = Options.Forward ? indexTo : indexFrom;
    } else {
        getCursorPosition(&line, &index);
    }
    return findFirst(Options.Text, false, Options.MatchCase, Options.WholeWord, true, Options.Forward, line, index,
                     true);
}

bool TScriptMemo::ReplaceNext(const TSearchOptions &Options, const QString &Replacement)
{
    if (isReadOnly())
        return false;
    if (SelectionMatches(Options))
        replaceSelectedText(Replacement);
    return FindNext(Options);
}

int TScriptMemo::ReplaceAll(const TSearchOptions &Options, const QString &Replacement)
{
    if (Options.Text.isEmpty() || isReadOnly())
        return 0;
    int count = 0;
    beginUndoAction();
    // Search forward from the start, without wrapping, so each match is
    // visited once even when the replacement contains the searched text.
    bool found = findFirst(Options.Text, false, Options.MatchCase, Options.WholeWord, false, true, 0, 0, false);
    while (found) {
        replace(Replacement);
        ++count;
        found = findNext();
    }
    endUndoAction();
    return count;
}
