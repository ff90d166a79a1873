#include "ColorRichEdit.h"

#include <QDateTime>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

TColorRichEdit::TColorRichEdit(QWidget *Parent) : QTextEdit(Parent)
{
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
}

int TColorRichEdit::LineCount() const
{
    return document()->isEmpty() ? 0 : document()->blockCount();
}

void TColorRichEdit::AddLine(QString Line, const QColor &Color)
{
    if (OnBeforeLineAdd)
        OnBeforeLineAdd(this, Line);
    if (!FDelimiter.isEmpty())
        PrependDelimiter(Line);
    if (FIsAddTime)
        PrependTime(Line);
    if (FIsAddDate)
        PrependDate(Line);
    if (FIsNumberLines)
        PrependNumber(Line);

    // A cursor of our own: the user's cursor and selection stay where they are.
    QTextCharFormat format;
    format.setForeground(Color);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), format);
    QString text = Line;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    cursor.insertText(text, format);

    if (FIsScrollToBottom)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());

    if (OnAfterLineAdd) {
        QString finished = Line;
        OnAfterLineAdd(this, finished);
    }
}

void TColorRichEdit::PrependTime(QString &Line)
{
    Line = FFormatLocale.toString(CurrentDateTime().time(), LongTimeFormat(FFormatLocale)) + FTimeDelimiter + Line;
}

void TColorRichEdit::PrependDate(QString &Line)
{
    Line = FFormatLocale.toString(CurrentDateTime().date(), QLocale::ShortFormat) + FDateDelimiter + Line;
}

void TColorRichEdit::PrependNumber(QString &Line)
{
    Line = QString::number(LineCount() + 1) + FNumberDelimiter + Line;
}

void TColorRichEdit::PrependDelimiter(QString &Line)
{
    Line = FDelimiter + Line;
}

QDateTime TColorRichEdit::CurrentDateTime() const
{
    return QDateTime::currentDateTime();
}

QString LongTimeFormat(const QLocale &Locale)
{
    // Drop the time-zone letters outside quoted text, with the blanks that
    // separated them.
    const QString format = Locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
    }
    return result.simplified();
}
