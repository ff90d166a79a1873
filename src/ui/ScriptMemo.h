#pragma once

#include <Qsci/qsciscintilla.h>

#include <QString>

class TTransactSqlLexer;

// What a search looks for and how; kept between searches so F3 repeats it.
struct TSearchOptions
{
    QString Text;
    bool MatchCase = false;
    bool WholeWord = false;
    bool Forward = true;
};

// The script editor: QScintilla with the T-SQL 2000 lexer, a white gutter
// of five digits with line numbers, no fold margin and no right-margin line.
class TScriptMemo : public QsciScintilla
{
    Q_OBJECT
public:
    explicit TScriptMemo(QWidget *parent = nullptr);

    // Empties the text and forgets the undo and redo history.
    void ClearAll();
    // Replaces the text as one step that cannot be undone past.
    void SetTextAndForgetUndo(const QString &Text);

    // Selects the next match from the caret (or the selection) on; false
    // when the text holds none. Wraps around at the end.
    bool FindNext(const TSearchOptions &Options);
    // Replaces the selection when it is a match, then finds the next one.
    bool ReplaceNext(const TSearchOptions &Options, const QString &Replacement);
    // Replaces every match in one undo step; returns how many.
    int ReplaceAll(const TSearchOptions &Options, const QString &Replacement);

    [[nodiscard]] TTransactSqlLexer *SqlLexer() const { return m_lexer; }

private:
    [[nodiscard]] bool SelectionMatches(const TSearchOptions &Options) const;

    TTransactSqlLexer *m_lexer;
};
