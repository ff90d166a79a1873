#pragma once

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QTabBar;
class QTableView;
class QToolBar;
class QToolButton;
class TColorRichEdit;
class TFindDialog;
class TResultGridModel;
class TScriptMemo;
struct TSearchOptions;

// The workbench's main window. It holds no logic: each command is forwarded
// to the script routines or the script creation controller, and the views
// bind themselves to its widgets at start-up. Widgets and actions carry
// their names as object names.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Widgets, top to bottom.
    QToolBar *ToolBar1;
    QWidget *Panel1;
    QComboBox *DataBasesComboBoxEx;
    QLabel *Label2;
    QLabel *ServerLabel;
    QTabBar *TabControl;
    TScriptMemo *ScriptMemo;
    QSplitter *Splitter1;
    QWidget *QueryPanel;
    QTableView *ResultDBGrid;
    TColorRichEdit *ResultColorRichEdit;
    QStatusBar *StatusBar1;
    // The rows shown in ResultDBGrid; empty at start.
    TResultGridModel *DataSource;

    // Script commands.
    QAction *NewEmptyAction;
    QAction *CreateOneTableScriptAction;
    // "Скрипт для нескольких таблиц…": the wizard over several tables.
    QAction *CreateSeveralTablesScriptAction;
    QAction *OpenAction;
    QAction *SaveAsAction;
    QAction *ExecuteAction;
    // Stops the running script; enabled only while one runs.
    QAction *StopAction;
    QAction *CloseCurretnTabAction;
    QAction *ConnectToServerAction;
    QAction *ExitAction;
    // Stock text commands, acting on the focused text control.
    QAction *EditUndo;
    QAction *EditCut;
    QAction *EditCopy;
    QAction *EditPaste;
    QAction *EditDelete;
    QAction *EditSelectAll;
    QAction *SearchFind;
    QAction *SearchFindNext;
    QAction *SearchReplace;

    QMenu *HistoryMenuItem;
    QMenu *ToolBarOpenPopupMenu;
    QMenu *NewPopupMenu;
    QMenu *EditPopupMenu;

    // The table script routine (the wizard) plugs itself in here; main()
    // installs it. Unset, the wizard command does nothing.
    std::function<void()> OnCreateOneTableScript;
    // The same for the wizard over several tables.
    std::function<void()> OnCreateSeveralTablesScript;
    // Start-up: runs on the first show; false ends the application.
    std::function<bool()> OnFirstShow;

    // True once the first show asked the application to end (the first
    // connection was cancelled); main() then does not enter the event loop.
    [[nodiscard]] bool TerminateRequested() const { return m_terminateRequested; }

    // The recent-files menus, rebuilt from the history (paths oldest first).
    void HistoryChanged(const QStringList *Files);
    // Click on a generated history entry: opens the file at the entry's tag.
    void HistoryItemClick(QAction *Sender);

    void NewEmptyActionExecute();
    void CreateOneTableScriptActionExecute();
    void CreateSeveralTablesScriptActionExecute();
    void OpenActionExecute();
    void SaveAsActionExecute();
    void ExecuteActionExecute();
    void StopActionExecute();
    void CloseCurretnTabActionExecute();
    void ConnectToServerActionExecute();
    void ExitActionExecute();

    // The search dialogs (null until first opened).
    [[nodiscard]] TFindDialog *FindDialog() const { return m_findDialog; }
    [[nodiscard]] TFindDialog *ReplaceDialog() const { return m_replaceDialog; }

protected:
    void showEvent(QShowEvent *Event) override;
    // Unsaved scripts are offered for saving; the user may stay instead.
    void closeEvent(QCloseEvent *Event) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateWidgets();
    void FormCreate();
    void FormShow();

    void ServerLabelClick();
    void ServerLabelMouseEnter();
    void ServerLabelMouseLeave();
    void TabControlMouseUp(Qt::MouseButton Button);

    void RunEditCommand(QAction *Command);
    void UpdateEditCommands();
    void ShowSearchDialog(bool Replacing);
    void SearchFindNextExecute();
    void ShowHelp();
    void ShowAbout();

    bool FirstShow = false;
    bool m_terminateRequested = false;
    TFindDialog *m_findDialog = nullptr;
    TFindDialog *m_replaceDialog = nullptr;
    std::unique_ptr<TSearchOptions> m_lastSearch;
};

// The main window while it exists (the views bind to its widgets).
TMainForm *MainForm();
