#pragma once

#include "TextFile.h"

#include <QString>
#include <QtGlobal>

#include <memory>

class TScript;
class TScriptRunner;
struct TBatchReport;
struct TRunSummary;
struct TLentConnection;
struct TScriptBatch;
struct TScriptBatches;

// The main window's script commands: new, open (from a dialog or the
// recent-files history), save as, close, execute. Construction loads the
// history (and so builds the recent-files menus); destruction saves it.
//
// Script files: read honouring a UTF-8 or UTF-16 byte-order mark, else in the
// locale's encoding; written in the locale's encoding, CR LF after every line.
class TScriptRoutinesController
{
public:
    TScriptRoutinesController();
    ~TScriptRoutinesController();
    TScriptRoutinesController(const TScriptRoutinesController &) = delete;
    TScriptRoutinesController &operator=(const TScriptRoutinesController &) = delete;

    void NewEmptyScript();
    void OpenScript();
    // Opens the history entry at Index (0 = oldest); a file that is gone is
    // skipped silently and keeps its entry.
    void OpenFromHistory(int Index);
    // A new script read from the file, recorded in the history; null when no
    // file exists there. Read errors propagate. *Format gets the encoding
    // the file was found in.
    std::unique_ptr<TScript> LoadScript(const QString &FileName, TTextFormat *Format = nullptr);
    void SaveScriptAs();
    // Writes the script in its file's encoding and then takes the file's
    // name and path. When that encoding cannot hold the text, asks whether
    // to write UTF-8 instead; false when the user said no (nothing written).
    bool SaveScript(TScript *Script, const QString &FileName);
    // Closes the current script; unsaved text is offered for saving first.
    void CloseCurrentScript();
    // Unsaved text of Script: asks, and saves it when the user wants. False
    // when the user cancelled (or cancelled the file dialog): keep the script.
    bool QuerySaveScript(TScript *Script);
    // Before the window closes: QuerySaveScript for every script with unsaved
    // text, each made current in turn. False when the user cancelled.
    bool QuerySaveAllScripts();
    // Starts the current script on the current database; the log reports
    // each batch as it ends and a summary. While a script runs, another
    // start is refused with a note in the status bar.
    void ExecuteScript();
    // Stops the running script (the batch under way is cancelled on the
    // server, later batches are not run); nothing when none runs.
    void StopExecution();
    [[nodiscard]] bool IsExecuting() const;
    // The script that runs; null when none does.
    [[nodiscard]] const TScript *ExecutingScript() const { return m_executing; }
    // The batch of the running script that went to the server last (1 for
    // the first); 0 before the first.
    [[nodiscard]] int ExecutingBatch() const { return m_executingBatch; }
    // Before Script (or, for null, the window) closes while a run of it
    // goes on: asks, stops and waits for the run to end. False when the
    // user lets it run on.
    bool QueryStopExecution(const TScript *Script);
    // How long closing waits for a stopped run before it goes on regardless.
    static constexpr int StopWaitMs = 10000;

    // The code page of unmarked 8-bit script and history files.
    [[nodiscard]] static QString CodePage();

    // "Одна строка изменина", "Две строки изменино", ..., "5 строк изменино";
    // empty for 0.
    [[nodiscard]] static QString RowsChangedMessage(qint64 N);
    // The executable's folder with a trailing '/'.
    [[nodiscard]] static QString ApplicationFolder();

    static const QString FileFilter;

private:
    // Asks for a file name for Script; ".sql" added when it has no
    // extension. Empty when the user cancelled.
    QString AskFileNameFor(const TScript *Script);

    // The execution's side of the log (ScriptExecution.cpp).
    void StartExecution(TScriptBatches Batches);
    void BatchStarted(int Number, const TScriptBatch &Batch);
    void BatchDone(const TBatchReport &Report);
    void ExecutionFinished(const TRunSummary &Summary, TLentConnection Lent);

    std::unique_ptr<TScriptRunner> m_runner;
    const TScript *m_executing = nullptr;
    bool m_separated = false;
    int m_batchCount = 0;
    int m_executingBatch = 0;
    std::unique_ptr<TBatchReport> m_lastRows;
    // The history file could not be read: it is not written over either.
    bool m_historyUnreadable = false;
};

// The process-wide instance, created on first use (start-up).
TScriptRoutinesController &ScriptRoutinesController();
// Destroys it (end of main), which saves the history.
void FreeScriptRoutinesController();
// True while a script runs; false also when the routines do not exist.
[[nodiscard]] bool ScriptIsExecuting();
