// ExecuteScript: runs the current script and writes the outcome to the log.
#include "ScriptRoutinesController.h"

#include "DataFacade.h"
#include "Domain.h"
#include "ErrorText.h"
#include "ScriptManager.h"
#include "WorkbenchPorts.h"

#include <memory>

namespace {

QString ServerErrorLine(const TScriptMessage &Message)
{
    return QStringLiteral("Ошибка %1, строка %2: %3").arg(Message.Number).arg(Message.Line).arg(Message.Text);
}

} // namespace

void TScriptRoutinesController::ExecuteScript()
{
    TScript *script = ScriptManager()->Current();
    if (!script)
        return;
    IScriptResultView &view = RequireWorkbenchUi().ScriptResultView();
    view.ClearRows();
    try {
        view.Clear();
        std::unique_ptr<TScriptCommand> command = DataAccessFacade()->MakeScriptCommand(script);
        qint64 changed = -1;
        TResultGrid rows;
        bool hasRows = false;
        if (command) {
            const TScriptExecution result = command->Execute();
            for (const TScriptMessage &message : result.Messages) {
                if (message.IsError)
                    view.AddError(ServerErrorLine(message));
                else
                    view.AddInfo(message.Text);
            }
            changed = result.Failed ? -1 : result.RowsChanged;
        }
        if (changed == -1)
            view.AddError(QStringLiteral("Ошибка"));
        else if (changed == 0)
            view.AddInfo(QStringLiteral("Ничего не изменилось"));
        else
            view.AddSuccess(RowsChangedMessage(changed));
        // After the messages: every message hides the grid.
        if (hasRows)
            view.ShowRows(rows);
    } catch (const std::exception &error) {
        view.AddError(ErrorText(error) + QStringLiteral(" (") + ErrorClassName(error) + QStringLiteral(")"));
    }
}
