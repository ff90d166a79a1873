#pragma once

#include "WorkbenchPorts.h"

#include <functional>

class TMainForm;

// The control layer's ports over the main window: the views, the server
// login dialog, the connect flow's error box, the file dialogs and the
// recent-files menus.
class TMainFormUi : public IWorkbenchUi
{
public:
    explicit TMainFormUi(TMainForm *Form) : m_form(Form) {}

    IDataBasesView &DataBasesView() override;
    IServerNameView &ServerNameView() override;
    IScriptResultView &ScriptResultView() override;

    std::unique_ptr<IServerChooser> CreateServerChooser() override;
    void ShowConnectError(const QString &Text, const QString &Caption) override;

    QString AskOpenFileName(const QString &Filter) override;
    QString AskSaveFileName(const QString &Filter, const QString &FileName) override;
    TSaveChangesAnswer AskSaveChanges(const QString &ScriptName) override;
    bool AskReplaceFile(const QString &FileName) override;
    bool AskSaveInUtf8(const QString &FileName, const QString &Encoding, const QString &Characters) override;
    bool AskStopExecution(const QString &ScriptName) override;

    void ReportError(const QString &Text) override;
    void ShowStatus(const QString &Text) override;
    void ExecutionStateChanged(bool Running) override;

    void HistoryChanged(const QStringList &Files) override;

    void BindResultView() override;
    void HideEditor() override;
    void EnsureScriptView() override;

    // Replace the file dialogs (tests answer without a dialog); empty = the
    // real dialogs.
    std::function<QString(const QString &Filter)> OpenFileNameHook;
    std::function<QString(const QString &Filter, const QString &FileName)> SaveFileNameHook;
    std::function<TSaveChangesAnswer(const QString &ScriptName)> SaveChangesHook;
    std::function<bool(const QString &FileName)> ReplaceFileHook;
    std::function<bool(const QString &FileName, const QString &Encoding, const QString &Characters)> SaveInUtf8Hook;
    std::function<bool(const QString &ScriptName)> StopExecutionHook;

private:
    TMainForm *m_form;
};

// "SQL Файлы (*.sql)|*.sql|Все файлы(*.*)|*.*" as a QFileDialog filter.
[[nodiscard]] QString QtFileFilter(const QString &DelphiFilter);
