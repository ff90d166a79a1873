#include "ScriptBatches.h"

#include <QRegularExpression>

namespace {

enum class TLexState { Code, String, QuotedName, BracketName, Comment };

// Walks one line from State on: leaves State as it stands at the line's end
// and tells whether the line holds anything besides blanks and comments.
bool ScanLine(const QString &Line, TLexState &State, int &CommentDepth)
{
    bool content = false;
    const qsizetype n = Line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Line.at(i);
        const QChar next = i + 1 < n ? Line.at(i + 1) : QChar();
        switch (State) {
        case TLexState::Code:
            if (c == u'-' && next == u'-')
                return content; // the rest of the line is a comment
            if (c == u'/' && next == u'*') {
                State = TLexState::Comment;
                CommentDepth = 1;
                ++i;
                break;
            }
            if (!c.isSpace())
                content = true;
            if (c == u'\'')
                State = TLexState::String;
            else if (c == u'"')
                State = TLexState::QuotedName;
            else if (c == u'[')
                State = TLexState::BracketName;
            break;
        case TLexState::String:
        case TLexState::QuotedName:
        case TLexState::BracketName: {
            content = true;
            const QChar close = State == TLexState::String ? u'\'' : State == TLexState::QuotedName ? u'"' : u']';
            if (c != close)
                break;
            if (next == close)
                ++i; // doubled: the character itself
            else
                State = TLexState::Code;
            break;
        }
        case TLexState::Comment:
            if (c == u'/' && next == u'*') {
                ++CommentDepth;
                ++i;
            } else if (c == u'*' && next == u'/') {
                ++i;
                if (--CommentDepth == 0)
                    State = TLexState::Code;
            }
            break;
        }
    }
    return content;
}

} // namespace

bool IsBatchSeparator(const QString &Line, qint64 *Count)
{
    static const QRegularExpression separator(QStringLiteral("^\\s*go(?:\\s+(\\d+))?\\s*(?:--.*)?$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = separator.match(Line);
    if (!match.hasMatch())
        return false;
    if (Count) {
        *Count = 1;
        if (match.hasCaptured(1)) {
            bool ok = false;
            const qint64 n = match.captured(1).toLongLong(&ok);
            *Count = ok && n >= 1 && n <= 2147483647 ? n : 0;
        }
    }
    return true;
}

namespace {

// Endings: each line's own line break (empty: CR LF), or null for CR LF
// after every line.
TScriptBatches splitBatches(const QStringList &Lines, const QStringList *Endings)
{
    TScriptBatches result;
    TLexState state = TLexState::Code;
    int depth = 0;
    int first = -1; // first and last line that is not blank, 0-based
    int last = -1;
    bool content = false; // anything besides comments
    auto flush = [&](qint64 Count, int GoLine) {
        if (content || Count == 0) {
            TScriptBatch batch;
            batch.FirstLine = (first >= 0 ? first : GoLine) + 1;
            batch.LastLine = (last >= 0 ? last : GoLine) + 1;
            batch.Count = Count;
            if (Count == 0)
                batch.Error = QStringLiteral("Неверное число повторений в строке %1: «%2».")
                                  .arg(GoLine + 1)
                                  .arg(Lines.at(GoLine).trimmed());
            else
                for (int i = first; i <= last; ++i) {
                    batch.Text += Lines.at(i);
                    if (Endings && !Endings->at(i).isEmpty())
                        batch.Text += Endings->at(i);
                    else
                        batch.Text += QLatin1String("\r\n");
                }
            result.Batches << batch;
        }
        first = last = -1;
        content = false;
    };
    for (int i = 0; i < Lines.size(); ++i) {
        const QString &line = Lines.at(i);
        qint64 count = 1;
        if (state == TLexState::Code && IsBatchSeparator(line, &count)) {
            result.Separated = true;
            flush(count, i);
            continue;
        }
        // A line inside a literal or a comment belongs to the batch even
        // when it is blank.
        const bool continued = state != TLexState::Code;
        if (ScanLine(line, state, depth))
            content = true;
        if (continued || !line.trimmed().isEmpty()) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    flush(1, -1);
    return result;
}

} // namespace

TScriptBatches SplitScriptBatches(const QStringList &Lines)
{
    return splitBatches(Lines, nullptr);
}

TScriptBatches SplitScriptText(const QString &Text)
{
    // Lines end at CR LF, CR or LF, as the editor counts them.
    QStringList lines, endings;
    qsizetype start = 0;
    const qsizetype n = Text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(Text.mid(start, i - start));
        const qsizetype end = c == u'\r' && i + 1 < n && Text.at(i + 1) == u'\n' ? i + 2 : i + 1;
        endings.append(Text.mid(i, end - i));
        i = end - 1;
        start = end;
    }
    if (start < n) {
        lines.append(Text.mid(start));
        endings.append(QString());
    }
    return splitBatches(lines, &endings);
}
