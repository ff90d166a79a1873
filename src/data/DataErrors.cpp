#include "DataErrors.h"

#include <QStringList>

EOdbcError::EOdbcError(QString operation, QList<TOdbcDiagnostic> diagnostics)
    : EDataAccessError(ComposeMessage(operation, diagnostics))
    , m_operation(std::move(operation))
    , m_diagnostics(std::move(diagnostics))
{
}

bool EOdbcError::HasNativeError(int number) const
{
    for (const auto &record : m_diagnostics)
        if (record.NativeError == number)
            return true;
    return false;
}

bool EOdbcError::HasSqlState(const QString &prefix) const
{
    for (const auto &record : m_diagnostics)
        if (record.SqlState.startsWith(prefix))
            return true;
    return false;
}

QString EOdbcError::ComposeMessage(const QString &operation, const QList<TOdbcDiagnostic> &diagnostics)
{
    // Server messages (native error set) first, then the driver's own, each
    // text once.
    QStringList lines;
    for (int pass = 0; pass < 2; ++pass)
        for (const auto &record : diagnostics) {
            const bool fromServer = record.NativeError != 0;
            if (fromServer != (pass == 0) || record.Text.isEmpty() || lines.contains(record.Text))
                continue;
            lines << record.Text;
        }
    if (lines.isEmpty())
        return QStringLiteral("%1 failed without a diagnostic record").arg(operation);
    return lines.join(QLatin1Char('\n'));
}
