#pragma once

#include <QString>
#include <QStringView>

// Names in the SQL texts the program builds. A name goes bare when it can
// stand as a table or column name without delimiters; otherwise it goes in
// brackets, so a name with a blank or a reserved word keeps a script valid.

// True for a name made of a letter or '_' followed by letters, digits and
// '@', '$', '#', '_', at most 128 characters. Names starting with '@' or
// '#' are left out on purpose: bare, they would mean a variable or a
// temporary table.
bool IsRegularIdentifier(QStringView Name);
// A Transact-SQL reserved word (SQL Server 2000's list and the words later
// servers added), in any letter case.
bool IsReservedWord(QStringView Name);
// Name bare when it is a regular identifier and no reserved word, else
// "[" + Name with every ']' doubled + "]".
QString QuoteName(const QString &Name);
void AppendQuotedName(QString &Out, QStringView Name);
// Text as a string literal: '...' with every quote doubled.
QString QuoteString(const QString &Text);
// Text as a Unicode string literal: N'...' with every quote doubled, so
// that no character depends on the server's code page.
QString QuoteNationalString(const QString &Text);
// A table name the user typed (a nickname): used as written when it
// carries delimiters or an owner ("[Order Lines]", dbo.Goods, "x"), else
// quoted like any other name.
QString QuoteTypedName(const QString &Name);
// The last part of a possibly qualified, possibly delimited name, without
// its delimiters: "dbo.[Order Lines]" gives Order Lines, "T" gives T.
QString LastNamePart(const QString &Name);
// The text made safe inside a comment: no "/*" that would open a nested
// comment, no "*/" that would close one, no line break.
QString CommentSafe(const QString &Text);

// " WHERE (<Filter>)" for the user's own row condition, or nothing when it
// is blank. A condition that may end in a line comment gets its closing
// parenthesis on a line of its own, so the comment cannot swallow it.
QString RowFilterClause(const QString &Filter);
