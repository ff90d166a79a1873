#pragma once

#include <Qsci/qsciscintilla.h>

#include <QString>
#include <QStringList>

#include <functional>

class TTransactSqlLexer;

// Text as the editor cuts it into lines: at CR, LF and CR LF, without the
// breaks. A text that ends with a break has an empty last line when AtEnd
// (it is the end of the document), none otherwise.
[[nodiscard]] QStringList SplitEditorLines(const QString &Raw, bool AtEnd);

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
//
// Every edit is announced in lines (LinesChanged), read from the few lines
// around it, so a key press costs the same in a script of 300,000 lines as
// in one of ten. QScintilla's accessibility support counts the characters
// from the start of the text on every "text inserted/deleted" notification;
// while the user types (and for the edit commands run through QuickEdit)
// those notifications stay off, and the lines are read when the key has
// been handled. QScintilla's textChanged is therefore not raised for typing.
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

    // Runs Edit (undo, paste, ...) as typing runs: without the costly
    // notifications, announcing its lines when it is done.
    void QuickEdit(const std::function<void()> &Edit);

signals:
    // The document's lines FirstLine .. FirstLine + OldCount - 1 (of
    // OldLineCount lines before the edit) have become NewLines. Lines are
    // counted as the editor counts them (a text that ends with a line break
    // has an empty last line) and carry no line breaks; a CR, an LF and a
    // CR LF each end a line.
    void LinesChanged(int FirstLine, int OldCount, const QStringList &NewLines, int OldLineCount);

protected:
    void keyPressEvent(QKeyEvent *Event) override;
    void inputMethodEvent(QInputMethodEvent *Event) override;
    void dropEvent(QDropEvent *Event) override;

private:
    [[nodiscard]] bool SelectionMatches(const TSearchOptions &Options) const;
    void DocumentModified(int Position, int Type, int Length);
    void FlushEdit();

    // The edit under way, in the positions and lines it will have after it.
    struct TPendingEdit
    {
        bool Active = false;
        int FirstLine = 0;
        int OldCount = 0;
        int OldLineCount = 0;
        int WindowStart = 0;
        int WindowEnd = 0;
        bool AtEnd = false;
    };
    TPendingEdit m_pending;
    int m_quickDepth = 0;

    TTransactSqlLexer *m_lexer;
};
