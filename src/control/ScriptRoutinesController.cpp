#include "ScriptRoutinesController.h"

#include "DataFacade.h"
#include "Domain.h"
#include "ErrorText.h"
#include "HistoryManager.h"
#include "ScriptManager.h"
#include "TextFile.h"
#include "WorkbenchPorts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <memory>

const QString TScriptRoutinesController::FileFilter = QStringLiteral("SQL Файлы (*.sql)|*.sql|Все файлы(*.*)|*.*");

namespace {

std::unique_ptr<TScriptRoutinesController> theRoutines;

QString FilePart(const QString &FileName)
{
    return QFileInfo(FileName).fileName();
}

} // namespace

TScriptRoutinesController &ScriptRoutinesController()
{
    if (!theRoutines)
        theRoutines = std::make_unique<TScriptRoutinesController>();
    return *theRoutines;
}

void FreeScriptRoutinesController()
{
    theRoutines.reset();
}

TScriptRoutinesController::TScriptRoutinesController()
{
    IWorkbenchUi &ui = RequireWorkbenchUi();
    ui.EnsureScriptView();
    HistoryManager()->OnChange = [](THistoryManager *, const QStringList &Files) {
        if (IWorkbenchUi *current = WorkbenchUi())
            current->HistoryChanged(Files);
    };
    HistoryManager()->LoadFromFile(HistoryFileName());
}

TScriptRoutinesController::~TScriptRoutinesController()
{
    // A history that cannot be written (read-only folder, locked file) is
    // lost; the process is ending and nobody is left to tell.
    try {
        HistoryManager()->SaveToFile(HistoryFileName());
    } catch (const std::exception &) {
    }
    HistoryManager()->OnChange = nullptr;
}

QString TScriptRoutinesController::ApplicationFolder()
{
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void TScriptRoutinesController::NewEmptyScript()
{
    ScriptManager()->AddScript(std::make_unique<TScript>());
}

std::unique_ptr<TScript> TScriptRoutinesController::LoadScript(const QString &FileName)
{
    if (FileName.isEmpty() || !QFileInfo(FileName).isFile())
        return nullptr;
    auto script = std::make_unique<TScript>();
    script->Name = FilePart(FileName);
    script->Lines = ReadTextFileLines(FileName);
    script->FileName = FileName;
    HistoryManager()->Add(FileName);
    return script;
}

namespace {

// Adds a script read from its file; a new tab starts out unmodified (a tab
// already open for that file keeps its own edits).
void AddLoadedScript(std::unique_ptr<TScript> Script)
{
    TScriptManager *scripts = ScriptManager();
    const int before = scripts->Count();
    TScript *loaded = Script.get();
    scripts->AddScript(std::move(Script));
    if (scripts->Count() > before)
        scripts->MarkSaved(loaded);
}

} // namespace

void TScriptRoutinesController::OpenScript()
{
    const QString fileName = RequireWorkbenchUi().AskOpenFileName(FileFilter);
    if (fileName.isEmpty())
        return;
    if (std::unique_ptr<TScript> script = LoadScript(fileName))
        AddLoadedScript(std::move(script));
}

void TScriptRoutinesController::OpenFromHistory(int Index)
{
    THistoryManager *history = HistoryManager();
    if (Index < 0 || Index >= history->Count())
        return;
    if (std::unique_ptr<TScript> script = LoadScript(history->Get(Index)))
        AddLoadedScript(std::move(script));
}

QString TScriptRoutinesController::AskFileNameFor(const TScript *Script)
{
    QString fileName = RequireWorkbenchUi().AskSaveFileName(FileFilter, Script->Name);
    if (fileName.isEmpty())
        return {};
    if (!QFileInfo(fileName).fileName().contains(QLatin1Char('.')))
        fileName += QStringLiteral(".sql");
    // Another file of that name would be gone for good: ask first.
    if (fileName != Script->FileName && QFileInfo::exists(fileName)
        && !RequireWorkbenchUi().AskReplaceFile(fileName))
        return {};
    return fileName;
}

void TScriptRoutinesController::SaveScriptAs()
{
    TScript *script = ScriptManager()->Current();
    if (!script)
        return;
    const QString fileName = AskFileNameFor(script);
    if (fileName.isEmpty())
        return;
    SaveScript(script, fileName);
    ScriptManager()->DoChange();
}

void TScriptRoutinesController::SaveScript(TScript *Script, const QString &FileName)
{
    if (!Script)
        return;
    WriteTextFileLines(FileName, Script->Lines);
    Script->Name = FilePart(FileName);
    Script->FileName = FileName;
    TScriptManager *scripts = ScriptManager();
    if (scripts->IndexOf(Script) >= 0)
        scripts->MarkSaved(Script);
}

bool TScriptRoutinesController::QuerySaveScript(TScript *Script)
{
    TScriptManager *scripts = ScriptManager();
    if (!Script || !scripts->IsModified(Script))
        return true;
    switch (RequireWorkbenchUi().AskSaveChanges(Script->Name)) {
    case TSaveChangesAnswer::Discard:
        return true;
    case TSaveChangesAnswer::Cancel:
        return false;
    case TSaveChangesAnswer::Save:
        break;
    }
    // A script from a file goes back to that file; a new one needs a name.
    const QString fileName = Script->FileName.isEmpty() ? AskFileNameFor(Script) : Script->FileName;
    if (fileName.isEmpty())
        return false;
    SaveScript(Script, fileName);
    scripts->DoChange();
    return true;
}

bool TScriptRoutinesController::QuerySaveAllScripts()
{
    TScriptManager *scripts = ScriptManager();
    for (int i = 0; i < scripts->Count(); ++i) {
        TScript *script = scripts->Items(i);
        if (!scripts->IsModified(script))
            continue;
        scripts->SetItemIndex(i); // the user sees the script asked about
        if (!QuerySaveScript(script))
            return false;
    }
    return true;
}

void TScriptRoutinesController::CloseCurrentScript()
{
    TScriptManager *scripts = ScriptManager();
    TScript *current = scripts->Current();
    if (!current || !QuerySaveScript(current))
        return;
    scripts->Delete(scripts->IndexOf(current));
}

QString TScriptRoutinesController::RowsChangedMessage(qint64 N)
{
    if (N == 0)
        return {};
    QString count;
    QString noun = QStringLiteral("строки");
    QString verb = QStringLiteral("изменино");
    switch (N) {
    case 1:
        count = QStringLiteral("Одна");
        noun = QStringLiteral("строка");
        verb = QStringLiteral("изменина");
        break;
    case 2:
        count = QStringLiteral("Две");
        break;
    case 3:
        count = QStringLiteral("Три");
        break;
    case 4:
        count = QStringLiteral("Четыри");
        break;
    default:
        count = QString::number(N);
        noun = QStringLiteral("строк");
        break;
    }
    return QStringLiteral("%1 %2 %3").arg(count, noun, verb);
}
