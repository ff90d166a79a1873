#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class TScript;

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
    // file exists there. Read errors propagate.
    std::unique_ptr<TScript> LoadScript(const QString &FileName);
    void SaveScriptAs();
    // Writes the script and then takes the file's name and path.
    void SaveScript(TScript *Script, const QString &FileName);
    // Closes the current script; unsaved text is offered for saving first.
    void CloseCurrentScript();
    // Unsaved text of Script: asks, and saves it when the user wants. False
    // when the user cancelled (or cancelled the file dialog): keep the script.
    bool QuerySaveScript(TScript *Script);
    // Before the window closes: QuerySaveScript for every script with unsaved
    // text, each made current in turn. False when the user cancelled.
    bool QuerySaveAllScripts();
    // Runs the current script on the current database and reports in the log.
    void ExecuteScript();

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
};

// The process-wide instance, created on first use (start-up).
TScriptRoutinesController &ScriptRoutinesController();
// Destroys it (end of main), which saves the history.
void FreeScriptRoutinesController();
