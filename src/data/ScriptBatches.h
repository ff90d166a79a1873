#pragma once

// A script as the batches SQL Server's own tools send: the text is cut at
// lines that hold nothing but GO (any letter case, blanks around it, an
// optional repeat count "GO 3" as sqlcmd takes it, an optional "--"
// comment). A GO inside a string literal, a quoted or bracketed name or a
// block comment (which nests in T-SQL) is text, not a separator.

#include <QList>
#include <QString>
#include <QStringList>

struct TScriptBatch
{
    // The batch's lines, each followed by CR LF (or, split from a text, by
    // its own line break), from its first line with text to its last; the
    // server counts its line numbers from FirstLine.
    QString Text;
    int FirstLine = 0; // 1-based lines of the whole script
    int LastLine = 0;
    qint64 Count = 1;  // how many times it runs (GO n)
    // Set when the GO line cannot be obeyed (a count of 0 or beyond
    // 2147483647): the batch is not run, and this says why.
    QString Error;

    // A line of the batch (1 = its first) as a line of the whole script.
    [[nodiscard]] int ScriptLine(int BatchLine) const { return FirstLine + BatchLine - 1; }
};

struct TScriptBatches
{
    // Batches with something to run, in order; blank or comment-only
    // stretches between separators are left out.
    QList<TScriptBatch> Batches;
    // True when the script had at least one GO line.
    bool Separated = false;
};

[[nodiscard]] TScriptBatches SplitScriptBatches(const QStringList &Lines);
// The same for a script's text: each line of a batch keeps its own line
// break (CR LF, or a bare LF or CR inside a value), so a batch sends its
// text exactly as written; a last line without one gets CR LF.
[[nodiscard]] TScriptBatches SplitScriptText(const QString &Text);

// True when Line, outside any literal or comment, is a batch separator;
// *Count gets its repeat count (1 when none is given, 0 when the count is
// not a whole number from 1 to 2147483647).
[[nodiscard]] bool IsBatchSeparator(const QString &Line, qint64 *Count = nullptr);
