#include "ScriptMemo.h"

#include "TransactSqlLexer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>

namespace {

// The editor's notifications of text changes: all of them, or (while the
// user types) only those before a change.
constexpr int everyTextChange = QsciScintillaBase::SC_MOD_BEFOREINSERT | QsciScintillaBase::SC_MOD_BEFOREDELETE
    | QsciScintillaBase::SC_MOD_INSERTTEXT | QsciScintillaBase::SC_MOD_DELETETEXT;
constexpr int onlyBefore = QsciScintillaBase::SC_MOD_BEFOREINSERT | QsciScintillaBase::SC_MOD_BEFOREDELETE;

// QScintilla's own accessible object counts the characters from the start
// of the text on every caret move (a 30 MB script: tens of milliseconds per
// key). Unless an assistive technology is listening when
// the object is first asked for, the editor gets a plain one instead.
QAccessibleInterface *PlainMemoAccessible(const QString &Key, QObject *Object)
{
    if (Key != QLatin1String("TScriptMemo") || QAccessible::isActive())
        return nullptr;
    auto *memo = qobject_cast<QWidget *>(Object);
    return memo ? new QAccessibleWidget(memo, QAccessible::EditableText) : nullptr;
}

} // namespace

QStringList SplitEditorLines(const QString &Raw, bool AtEnd)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = Raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Raw.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(Raw.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && Raw.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (AtEnd || start < n)
        lines.append(Raw.mid(start));
    return lines;
}

TScriptMemo::TScriptMemo(QWidget *parent)
    : QsciScintilla(parent)
    , m_lexer(new TTransactSqlLexer(this))
{
    // After QScintilla's factory (installed by the first editor), so this
    // one is asked first.
    static const bool plainAccessible = [] {
        QAccessible::installFactory(PlainMemoAccessible);
        return true;
    }();
    (void)plainAccessible;
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
    // setLexer switches the lexer's folding on; without a fold margin it
    // would only cost a walk over the whole text on every repaint.
    SendScintilla(SCI_SETPROPERTY, "fold", "0");
    SendScintilla(SCI_SETMODEVENTMASK, everyTextChange);
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char *, int length, int, int, int, int, int, int) {
                DocumentModified(position, type, length);
            });
    // The horizontal scroll bar follows the longest line instead of a fixed width.
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
}

void TScriptMemo::DocumentModified(int Position, int Type, int Length)
{
    const bool inserting = Type & SC_MOD_BEFOREINSERT;
    if (!inserting && !(Type & SC_MOD_BEFOREDELETE)) {
        if (Type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT))
            FlushEdit();
        return;
    }
    // A quick edit may make several changes; each starts from the last.
    FlushEdit();
    // The lines the edit touches, one more before them (a CR there may meet
    // an LF at the edit's start and make one line break of two), up to the
    // start of the line after them.
    const int lineCount = int(SendScintilla(SCI_GETLINECOUNT));
    const int first = qMax(0, int(SendScintilla(SCI_LINEFROMPOSITION, Position)) - 1);
    const int last = int(SendScintilla(SCI_LINEFROMPOSITION, inserting ? Position : Position + Length));
    m_pending.Active = true;
    m_pending.FirstLine = first;
    m_pending.OldCount = last - first + 1;
    m_pending.OldLineCount = lineCount;
    m_pending.AtEnd = last + 1 >= lineCount;
    m_pending.WindowStart = int(SendScintilla(SCI_POSITIONFROMLINE, first));
    const int windowEnd =
        m_pending.AtEnd ? int(SendScintilla(SCI_GETLENGTH)) : int(SendScintilla(SCI_POSITIONFROMLINE, last + 1));
    m_pending.WindowEnd = windowEnd + (inserting ? Length : -Length);
}

void TScriptMemo::FlushEdit()
{
    if (!m_pending.Active)
        return;
    m_pending.Active = false;
    const int size = m_pending.WindowEnd - m_pending.WindowStart;
    QByteArray window = bytes(m_pending.WindowStart, m_pending.WindowEnd);
    // bytes() keeps the terminating NUL it reads along.
    if (window.size() > size)
        window.truncate(size);
    emit LinesChanged(m_pending.FirstLine, m_pending.OldCount, SplitEditorLines(QString::fromUtf8(window), m_pending.AtEnd),
                      m_pending.OldLineCount);
}

void TScriptMemo::QuickEdit(const std::function<void()> &Edit)
{
    if (m_quickDepth++ == 0)
        SendScintilla(SCI_SETMODEVENTMASK, onlyBefore);
    struct Done
    {
        TScriptMemo *Memo;
        ~Done()
        {
            if (--Memo->m_quickDepth == 0) {
                Memo->FlushEdit();
                Memo->SendScintilla(SCI_SETMODEVENTMASK, everyTextChange);
            }
        }
    } done{this};
    Edit();
}

void TScriptMemo::keyPressEvent(QKeyEvent *Event)
{
    QuickEdit([&] { QsciScintilla::keyPressEvent(Event); });
}

void TScriptMemo::inputMethodEvent(QInputMethodEvent *Event)
{
    QuickEdit([&] { QsciScintilla::inputMethodEvent(Event); });
}

void TScriptMemo::dropEvent(QDropEvent *Event)
{
    QuickEdit([&] { QsciScintilla::dropEvent(Event); });
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
    // Room to type in now, not on the first keys: the editor would copy a
    // large text to a bigger buffer there.
    const long length = SendScintilla(SCI_GETLENGTH);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(length + qMax(length / 8, 65536L)));
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
        QuickEdit([&] { replaceSelectedText(Replacement); });
    return FindNext(Options);
}

int TScriptMemo::ReplaceAll(const TSearchOptions &Options, const QString &Replacement)
{
    if (Options.Text.isEmpty() || isReadOnly())
        return 0;
    int count = 0;
    // Every replacement is an edit: keep each as cheap as a typed key.
    QuickEdit([&] {
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
    });
    return count;
}
