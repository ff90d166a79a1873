#pragma once

#include "ConnectionString.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class TDataBaseList;

// A colour as 0xRRGGBB (keeps this layer free of QtGui).
using TRgbColor = quint32;
inline constexpr TRgbColor clLogRed = 0xFF0000;
inline constexpr TRgbColor clLogBlue = 0x0000FF;
inline constexpr TRgbColor clLogGreen = 0x008000;

// The control layer reaches the screen only through these ports, so it
// needs no widgets: ui/ implements them over the main window and plugs them
// in at start-up (SetWorkbenchUi); tests may plug in their own.

// The database combo box.
class IDataBasesView
{
public:
    virtual ~IDataBasesView() = default;
    // Refills the list and selects the list's current database, without
    // passing that selection back to the controller.
    virtual void ShowDataBases(TDataBaseList *DataBases) = 0;
    virtual void SetItemIndex(int Index) = 0;
};

// The label with the current server's name.
class IServerNameView
{
public:
    virtual ~IServerNameView() = default;
    virtual void SetServerName(const QString &Name) = 0;
};

// Rows of one result set, as text, for the result grid.
struct TResultGrid
{
    QStringList Columns;
    QList<QStringList> Rows;
    QList<QList<bool>> Nulls; // same shape as Rows; true where the value is NULL
};

// The result panel: the message log and the result grid.
class IScriptResultView
{
public:
    virtual ~IScriptResultView() = default;
    virtual void Clear() = 0;
    virtual void AddMessage(const QString &Text, TRgbColor Color) = 0;
    void AddError(const QString &Text) { AddMessage(Text, clLogRed); }
    void AddInfo(const QString &Text) { AddMessage(Text, clLogBlue); }
    void AddSuccess(const QString &Text) { AddMessage(Text, clLogGreen); }
    // Shows rows in the grid above the log (the grid becomes visible).
    virtual void ShowRows(const TResultGrid &Grid) = 0;
    // Drops the rows shown last.
    virtual void ClearRows() = 0;
};

// The server login dialog as the connect flow drives it.
class IServerChooser
{
public:
    virtual ~IServerChooser() = default;
    virtual void SetKeepForm(bool Keep) = 0;
    [[nodiscard]] virtual QString UserName() = 0;
    virtual void SetUserName(const QString &Name) = 0;
    [[nodiscard]] virtual QString Password() = 0;
    // Position of the chosen name in ServerNames; -1 when none is selected.
    [[nodiscard]] virtual int ServerIndex() = 0;
    virtual void SetServerIndex(int Index) = 0;
    [[nodiscard]] virtual QStringList ServerNames() = 0;
    virtual void SetServerNames(const QStringList &Names) = 0;
    // The text of the server box, also when it matches no entry.
    [[nodiscard]] virtual QString ServerText() = 0;
    // "Шифрование" and "Доверять сертификату сервера".
    [[nodiscard]] virtual TEncryption Encryption() = 0;
    virtual void SetEncryption(TEncryption Encryption) = 0;
    [[nodiscard]] virtual bool TrustServerCertificate() = 0;
    virtual void SetTrustServerCertificate(bool Trust) = 0;
    // Shows the dialog modally; true when closed with OK.
    virtual bool Execute() = 0;
};

// What to do with a script's unsaved text before the script is closed.
enum class TSaveChangesAnswer { Save, Discard, Cancel };

class IWorkbenchUi
{
public:
    virtual ~IWorkbenchUi() = default;

    virtual IDataBasesView &DataBasesView() = 0;
    virtual IServerNameView &ServerNameView() = 0;
    virtual IScriptResultView &ScriptResultView() = 0;

    virtual std::unique_ptr<IServerChooser> CreateServerChooser() = 0;
    // The connect flow's modal error box.
    virtual void ShowConnectError(const QString &Text, const QString &Caption) = 0;

    // File dialogs; an empty result means the user cancelled.
    virtual QString AskOpenFileName(const QString &Filter) = 0;
    virtual QString AskSaveFileName(const QString &Filter, const QString &FileName) = 0;
    // Asked before a script with unsaved text is closed.
    virtual TSaveChangesAnswer AskSaveChanges(const QString &ScriptName) = 0;
    // Asked before saving over a file that exists; true: replace it.
    virtual bool AskReplaceFile(const QString &FileName) = 0;
    // Asked when a script's file encoding cannot hold some of its
    // characters; true: save it in UTF-8 instead, false: do not save.
    virtual bool AskSaveInUtf8(const QString &FileName, const QString &Encoding, const QString &Characters) = 0;
    // Asked before a running script is closed; true: stop it and close.
    virtual bool AskStopExecution(const QString &ScriptName) = 0;

    // The application's error display (a message box), for errors found
    // outside a command, e.g. at start-up.
    virtual void ReportError(const QString &Text) = 0;
    // A short note in the status bar.
    virtual void ShowStatus(const QString &Text) = 0;
    // A script started (true) or ended (false) running: the stop command is
    // offered exactly while one runs, the database box is locked meanwhile.
    virtual void ExecutionStateChanged(bool Running) = 0;

    // The recent-files menus (paths oldest first).
    virtual void HistoryChanged(const QStringList &Files) = 0;

    // Start-up: result panel bound and showing the log; editor hidden until
    // the first script; tabs and editor following the documents list.
    virtual void BindResultView() = 0;
    virtual void HideEditor() = 0;
    virtual void EnsureScriptView() = 0;
};

// The ports in use; null until ui/ (or a test) plugs them in. Not owned.
IWorkbenchUi *WorkbenchUi();
void SetWorkbenchUi(IWorkbenchUi *Ui);
// WorkbenchUi(), throwing when nothing is plugged in.
IWorkbenchUi &RequireWorkbenchUi();
