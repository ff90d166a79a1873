// ExecuteScript and its log: the run goes to the worker (TScriptRunner),
// the reports come back here on the GUI thread.
#include "ScriptRoutinesController.h"

#include "DataErrors.h"
#include "DataFacade.h"
#include "Domain.h"
#include "ErrorText.h"
#include "Model.h"
#include "ScriptManager.h"
#include "ScriptRunner.h"
#include "WorkbenchPorts.h"

#include <memory>

namespace {

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

// "строка 5" or "строки 5–9".
QString LinesText(const TScriptBatch &Batch)
{
    if (Batch.FirstLine == Batch.LastLine)
        return QStringLiteral("строка %1").arg(Batch.FirstLine);
    return QStringLiteral("строки %1–%2").arg(Batch.FirstLine).arg(Batch.LastLine);
}

// "Ошибка 208, строка 12: …" with the line of the whole script. The FreeTDS
// driver hands over no line numbers; then the batch's first line stands in,
// and the text says that it is the batch's.
QString ServerErrorLine(const TScriptMessage &Message, const TScriptBatch &Batch)
{
    QString head = QStringLiteral("Ошибка");
    if (Message.Number != 0)
        head += QStringLiteral(" %1").arg(Message.Number);
    if (Message.Line > 0)
        head += QStringLiteral(", строка %1").arg(Batch.ScriptLine(Message.Line));
    else if (Batch.FirstLine > 0)
        head += QStringLiteral(", пакет со строки %1").arg(Batch.FirstLine);
    return head + QStringLiteral(": ") + Message.Text;
}

QString TimesText(qint64 Count)
{
    const qint64 lastTwo = Count % 100;
    const qint64 last = Count % 10;
    const bool few = last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14);
    return QStringLiteral("%1 %2").arg(Count).arg(few ? QStringLiteral("раза") : QStringLiteral("раз"));
}

TResultGrid GridOf(const TScriptResult &Result)
{
    TResultGrid rows;
    rows.Columns = Result.Columns;
    rows.Rows = Result.Rows;
    rows.Nulls.reserve(Result.Rows.size());
    for (const QStringList &row : Result.Rows) {
        QList<bool> nulls;
        nulls.reserve(row.size());
        for (const QString &value : row)
            nulls.append(value.isNull());
        rows.Nulls.append(nulls);
    }
    return rows;
}

// The rows a batch changed, tables apart from temporary tables and table
// variables (the script's own staging) where that is known and matters.
QString SplitText(const TChangedRowsSplit &Split)
{
    return QStringLiteral("Строк изменено в таблицах: %1; во временных таблицах и табличных переменных: %2.")
        .arg(Split.Tables)
        .arg(Split.Temporary);
}

bool ShowsSplit(const TChangedRowsSplit &Split)
{
    return Split.Known && Split.Temporary > 0;
}

const QString connectionDropped =
    QStringLiteral("Связь с сервером прервана; следующее выполнение откроет её заново.");

} // namespace

bool TScriptRoutinesController::IsExecuting() const
{
    return m_runner && m_runner->Running();
}

void TScriptRoutinesController::ExecuteScript()
{
    TScript *script = ScriptManager()->Current();
    if (!script)
        return;
    IWorkbenchUi &ui = RequireWorkbenchUi();
    if (IsExecuting()) {
        ui.ShowStatus(QStringLiteral("Скрипт ещё выполняется: дождитесь его конца или остановите его (Alt+Break)."));
        return;
    }
    IScriptResultView &view = ui.ScriptResultView();
    view.ClearRows();
    try {
        view.Clear();
        std::unique_ptr<TScriptCommand> command = DataAccessFacade()->MakeScriptCommand(script);
        if (!command)
            return;
        m_executing = script;
        StartExecution(command->Batches());
    } catch (const std::exception &error) {
        m_executing = nullptr;
        view.AddError(ErrorText(error) + QStringLiteral(" (") + ErrorClassName(error) + QStringLiteral(")"));
    }
}

void TScriptRoutinesController::StartExecution(TScriptBatches Batches)
{
    TLentConnection lent = DataAccessFacade()->LendConnection();
    if (!m_runner)
        m_runner = std::make_unique<TScriptRunner>();
    m_runner->OnBatchStarted = [this](int Number, const TScriptBatch &Batch) { BatchStarted(Number, Batch); };
    m_runner->OnBatchDone = [this](const TBatchReport &Report) { BatchDone(Report); };
    m_runner->OnFinished = [this](const TRunSummary &Summary, TLentConnection Lent) {
        ExecutionFinished(Summary, std::move(Lent));
    };
    m_separated = Batches.Separated;
    m_batchCount = int(Batches.Batches.size());
    m_executingBatch = 0;
    m_lastRows.reset();
    m_runner->Start(std::move(Batches), std::move(lent));
    RequireWorkbenchUi().ExecutionStateChanged(true);
    RequireWorkbenchUi().ShowStatus(QStringLiteral("Скрипт выполняется…"));
}

void TScriptRoutinesController::BatchStarted(int Number, const TScriptBatch &Batch)
{
    m_executingBatch = Number;
    if (m_separated && !m_runner->StopRequested())
        RequireWorkbenchUi().ShowStatus(
            QStringLiteral("Выполняется пакет %1 из %2 (%3)…").arg(Number).arg(m_batchCount).arg(LinesText(Batch)));
}

void TScriptRoutinesController::BatchDone(const TBatchReport &Report)
{
    IScriptResultView &view = RequireWorkbenchUi().ScriptResultView();
    const TScriptBatch &batch = Report.Batch;
    if (!batch.Error.isEmpty())
        view.AddError(batch.Error);
    for (const TScriptMessage &message : Report.Result.Messages) {
        if (message.IsError)
            view.AddError(ServerErrorLine(message, batch));
        else
            view.AddInfo(message.Text);
    }
    const TScriptResult &result = Report.Result;
    // The grid holds only the first rows of a long result: say so, or the
    // user takes them for the whole table.
    if (result.HasResultSet && result.TotalRows > result.Rows.size())
        view.AddInfo(QStringLiteral("Показаны первые %1 строк из %2.").arg(result.Rows.size()).arg(result.TotalRows));
    if (result.HasResultSet)
        m_lastRows = std::make_unique<TBatchReport>(Report);
    if (Report.Stopped) {
        view.AddError(m_separated ? QStringLiteral("Выполнение остановлено в пакете %1 (%2).")
                                        .arg(Report.Number)
                                        .arg(LinesText(batch))
                                  : QStringLiteral("Выполнение остановлено (%1).").arg(LinesText(batch)));
        return;
    }
    if (!m_separated) {
        // One batch: the log ends as it always did.
        if (Report.Failed())
            view.AddError(QStringLiteral("Ошибка"));
        else if (ShowsSplit(Report.Split) && Report.Split.Tables > 0)
            view.AddSuccess(SplitText(Report.Split));
        else if (ShowsSplit(Report.Split))
            view.AddInfo(SplitText(Report.Split));
        else if (result.RowsChanged == 0)
            view.AddInfo(QStringLiteral("Ничего не изменилось"));
        else
            view.AddSuccess(RowsChangedMessage(result.RowsChanged));
        return;
    }
    QString head = QStringLiteral("Пакет %1 (%2").arg(Report.Number).arg(LinesText(batch));
    if (batch.Count > 1)
        head += QStringLiteral(", ") + TimesText(Report.Runs);
    head += QStringLiteral("): ");
    if (!batch.Error.isEmpty())
        view.AddError(head + QStringLiteral("не выполнен"));
    else if (Report.Failed())
        view.AddError(head + QStringLiteral("Ошибка"));
    else if (ShowsSplit(Report.Split) && Report.Split.Tables > 0)
        view.AddSuccess(head + SplitText(Report.Split));
    else if (ShowsSplit(Report.Split))
        view.AddInfo(head + SplitText(Report.Split));
    else if (result.RowsChanged == 0)
        view.AddInfo(head + QStringLiteral("Ничего не изменилось"));
    else
        view.AddSuccess(head + RowsChangedMessage(result.RowsChanged));
}

void TScriptRoutinesController::ExecutionFinished(const TRunSummary &Summary, TLentConnection Lent)
{
    IWorkbenchUi &ui = RequireWorkbenchUi();
    IScriptResultView &view = ui.ScriptResultView();
    DataAccessFacade()->TakeBackConnection(std::move(Lent));
    m_executing = nullptr;
    m_executingBatch = 0;
    ui.ExecutionStateChanged(false);
    ui.ShowStatus(QString());
    try {
        FollowSessionDataBase(ui);
    } catch (const std::exception &) {
        // The list could not be read again: the box stays as it was.
    }
    if (!Summary.ConnectionError.isEmpty()) {
        view.AddError(Summary.ConnectionError + QStringLiteral(" (") + Summary.ConnectionErrorClass + QStringLiteral(")"));
        if (Summary.ConnectionLost)
            view.AddInfo(connectionDropped);
    }
    if (Summary.Stopped && Summary.StoppedBatch == 0)
        view.AddError(m_separated ? QStringLiteral("Выполнение остановлено перед пакетом %1.").arg(Summary.BatchesRun + 1)
                                  : QStringLiteral("Выполнение остановлено."));
    // A script with nothing to run changes nothing.
    if (!m_separated && Summary.Batches == 0 && Summary.ConnectionError.isEmpty())
        view.AddInfo(QStringLiteral("Ничего не изменилось"));
    if (m_separated) {
        QString text = QStringLiteral("Итого: пакетов выполнено %1 из %2, с ошибками %3, ")
                           .arg(Summary.BatchesRun)
                           .arg(Summary.Batches)
                           .arg(Summary.BatchesFailed);
        const bool split = ShowsSplit(Summary.Split);
        if (split)
            text += QStringLiteral("строк изменено в таблицах %1, во временных таблицах и табличных переменных %2.")
                        .arg(Summary.Split.Tables)
                        .arg(Summary.Split.Temporary);
        else
            text += QStringLiteral("строк изменено %1.").arg(Summary.RowsChanged);
        if (Summary.BatchesFailed > 0 || Summary.Stopped || !Summary.ConnectionError.isEmpty())
            view.AddError(text);
        else if (split ? Summary.Split.Tables > 0 : Summary.RowsChanged > 0)
            view.AddSuccess(text);
        else
            view.AddInfo(text);
    }
    // After the messages: every message hides the grid.
    if (m_lastRows)
        view.ShowRows(GridOf(m_lastRows->Result));
    m_lastRows.reset();
}

void TScriptRoutinesController::StopExecution()
{
    if (!IsExecuting() || m_runner->StopRequested())
        return;
    m_runner->Stop();
    RequireWorkbenchUi().ShowStatus(QStringLiteral("Выполнение останавливается…"));
}

bool TScriptRoutinesController::QueryStopExecution(const TScript *Script)
{
    if (!IsExecuting() || (Script && Script != m_executing))
        return true;
    if (!RequireWorkbenchUi().AskStopExecution(m_executing ? m_executing->Name : QString()))
        return false;
    StopExecution();
    // A server that does not answer the stop is left to the worker: the
    // window does not wait on it for ever.
    if (!m_runner->WaitForEnd(StopWaitMs))
        m_executing = nullptr;
    return true;
}
