// ExecuteScript: runs the current script and writes the outcome to the log.
#include "ScriptRoutinesController.h"

#include "DataErrors.h"
#include "DataFacade.h"
#include "Domain.h"
#include "ErrorText.h"
#include "Model.h"
#include "ScriptManager.h"
#include "WorkbenchPorts.h"

#include <memory>

namespace {

// "Ошибка 208, строка 3: Invalid object name 'x'."; the driver's own
// errors have neither number nor line.
// A run that failed below the level of server messages may have found the
// connection dead (server restarted, network gone). Drop it, so that the next
// run opens a fresh one instead of failing the same way for ever; the
// database stays the one the session was in.
void DropFailedConnection()
{
    TDataAccessFacade *facade = DataAccessFacade();
    try {
        facade->UseDataBase(facade->GetDataBaseName());
    } catch (const std::exception &) {
        // Still unreachable: the next run opens the connection itself.
    }
}

int IndexOfDataBase(const TDataBaseList *DataBases, const QString &Name)
{
    for (int i = 0; DataBases && i < DataBases->Count(); ++i)
        if (DataBases->Items(i)->Name.compare(Name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// A script may move the session to another database (USE): the database box
// and the model follow it, so that they name the database the next run and
// the wizard work in, and choosing the old one again switches back. A
// database the list does not know yet (made by the script) reloads the list.
void FollowSessionDataBase(IWorkbenchUi &Ui)
{
    const QString session = DataAccessFacade()->GetDataBaseName();
    TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
    if (session.isEmpty() || !dataBases)
        return;
    const TDataBase *shown = dataBases->CurrentDataBase();
    if (shown && shown->Name.compare(session, Qt::CaseInsensitive) == 0)
        return;
    int index = IndexOfDataBase(dataBases, session);
    if (index < 0) {
        ScriptCreatorModel()->SetDataBases(DataAccessFacade()->GetDataBases());
        dataBases = ScriptCreatorModel()->DataBases();
        index = IndexOfDataBase(dataBases, session);
        if (index < 0)
            return;
        dataBases->SetItemIndex(index);
        Ui.DataBasesView().ShowDataBases(dataBases);
        return;
    }
    dataBases->SetItemIndex(index);
    Ui.DataBasesView().SetItemIndex(index);
}

QString ServerErrorLine(const TScriptMessage &Message)
{
    QString head = QStringLiteral("Ошибка");
    if (Message.Number != 0)
        head += QStringLiteral(" %1").arg(Message.Number);
    if (Message.Line > 0)
        head += QStringLiteral(", строка %1").arg(Message.Line);
    return head + QStringLiteral(": ") + Message.Text;
}

} // namespace

void TScriptRoutinesController::ExecuteScript()
{
    TScript *script = ScriptManager()->Current();
    if (!script)
        return;
    IWorkbenchUi &ui = RequireWorkbenchUi();
    IScriptResultView &view = ui.ScriptResultView();
    view.ClearRows();
    try {
        view.Clear();
        std::unique_ptr<TScriptCommand> command = DataAccessFacade()->MakeScriptCommand(script);
        qint64 changed = -1;
        TResultGrid rows;
        bool hasRows = false;
        if (command) {
            const TScriptResult result = command->Execute();
            try {
                FollowSessionDataBase(ui);
            } catch (const std::exception &) {
                // The list could not be read again: the box stays as it was.
            }
            for (const TScriptMessage &message : result.Messages) {
                if (message.IsError)
                    view.AddError(ServerErrorLine(message));
                else
                    view.AddInfo(message.Text);
            }
            changed = result.HasErrors() ? -1 : result.RowsChanged;
            // The grid holds only the first rows of a long result: say so,
            // or the user takes them for the whole table.
            if (result.HasResultSet && result.TotalRows > result.Rows.size())
                view.AddInfo(QStringLiteral("Показаны первые %1 строк из %2.")
                                 .arg(result.Rows.size())
                                 .arg(result.TotalRows));
            if (result.HasResultSet) {
                hasRows = true;
                rows.Columns = result.Columns;
                rows.Rows = result.Rows;
                rows.Nulls.reserve(result.Rows.size());
                for (const QStringList &row : result.Rows) {
                    QList<bool> nulls;
                    nulls.reserve(row.size());
                    for (const QString &value : row)
                        nulls.append(value.isNull());
                    rows.Nulls.append(nulls);
                }
            }
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
        if (dynamic_cast<const EOdbcError *>(&error)) {
            DropFailedConnection();
            view.AddInfo(QStringLiteral("Связь с сервером прервана; следующее выполнение откроет её заново."));
        }
    }
}
