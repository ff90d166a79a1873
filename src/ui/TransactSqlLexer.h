#pragma once

#include <Qsci/qscilexersql.h>

// QsciLexerSQL with the Transact-SQL 2000 vocabulary: key words (reserved
// words and data types) in set 1, built-in functions in user set 5, and the
// workbench's colours. Backslash escapes and '#' comments stay off: T-SQL has
// neither ('C:\' is a whole string, #name is a temporary table).
class TTransactSqlLexer : public QsciLexerSQL
{
    Q_OBJECT
public:
    explicit TTransactSqlLexer(QObject *parent = nullptr);

    [[nodiscard]] const char *language() const override { return "Transact-SQL"; }
    [[nodiscard]] const char *keywords(int set) const override;
    [[nodiscard]] bool caseSensitive() const override { return false; }
};
