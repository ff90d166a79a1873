#include "TransactSqlLexer.h"

#include "TransactSqlWords.h"

#include <QColor>
#include <QFont>

TTransactSqlLexer::TTransactSqlLexer(QObject *parent)
    : QsciLexerSQL(parent)
{
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    setDefaultFont(font);
    setFont(font, -1);
    setDefaultPaper(Qt::white);
    setPaper(Qt::white, -1);
    setDefaultColor(Qt::black);

    setBackslashEscapes(false);
    setHashComments(false);
    setQuotedIdentifiers(false);

    const QColor teal(0, 128, 128);
    for (int style : {Comment, CommentLine, CommentDoc, CommentLineHash, CommentDocKeyword, CommentDocKeywordError})
        setColor(teal, style);
    setColor(QColor(255, 0, 255), KeywordSet5);
    setColor(Qt::black, Identifier);
    setColor(QColor(0, 0, 255), Keyword);
    setColor(QColor(255, 0, 0), SingleQuotedString);
    setColor(QColor(255, 0, 0), DoubleQuotedString);
}

const char *TTransactSqlLexer::keywords(int set) const
{
    switch (set) {
    case 1:
        return TransactSqlWords::KeyWords;
    case 5:
        return TransactSqlWords::Functions;
    default:
        // No PL/SQL doc tags, SQL*Plus words or Oracle packages.
        return nullptr;
    }
}
