#pragma once

#include "QuorvaneException.h"

#include <QList>
#include <QString>

// One diagnostic record of an ODBC call: what the driver, the driver manager
// or the server said.
struct TOdbcDiagnostic
{
    QString SqlState;      // five characters, e.g. "28000"
    int NativeError = 0;   // the server's message number, 0 for the driver's own
    QString Text;          // without the "[vendor][component]" prefixes
    int Line = 0;          // the batch line the server named; 0 when unknown
    int State = 0;         // the server's message state; 0 when unknown
};

// A failure of the data access layer, carrying a message for the user.
class EDataAccessError : public EQuorvaneException
{
public:
    using EQuorvaneException::EQuorvaneException;
};

// A failed ODBC call. Message() holds every record's text, the server's own
// messages first (the driver's "Unable to connect" says less than the
// server's "Login failed"); Diagnostics() holds the records as they came.
class EOdbcError : public EDataAccessError
{
public:
    EOdbcError(QString operation, QList<TOdbcDiagnostic> diagnostics);
    [[nodiscard]] const QString &Operation() const { return m_operation; }
    [[nodiscard]] const QList<TOdbcDiagnostic> &Diagnostics() const { return m_diagnostics; }
    // True when some record has this native error number.
    [[nodiscard]] bool HasNativeError(int number) const;
    // True when some record's SQLSTATE starts with the prefix ("08", "28000").
    [[nodiscard]] bool HasSqlState(const QString &prefix) const;

    [[nodiscard]] static QString ComposeMessage(const QString &operation, const QList<TOdbcDiagnostic> &diagnostics);

private:
    QString m_operation;
    QList<TOdbcDiagnostic> m_diagnostics;
};
