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

void TScriptRoutinesController::OpenScript()
{
    const QString fileName = RequireWorkbenchUi().AskOpenFileName(FileFilter);
    if (fileName.isEmpty())
        return;
    if (std::unique_ptr<TScript> script = LoadScript(fileName))
        ScriptManager()->AddScript(std::move(script));
}

void TScriptRoutinesController::OpenFromHistory(int Index)
{
    THistoryManager *history = HistoryManager();
    if (Index < 0 || Index >= history->Count())
        return;
    if (std::unique_ptr<TScript> script = LoadScript(history->Get(Index)))
        ScriptManager()->AddScript(std::move(script));
}

void TScriptRoutinesController::SaveScriptAs()
{
    TScript *script = ScriptManager()->Current();
    if (!script)
        return;
    QString fileName = RequireWorkbenchUi().AskSaveFileName(FileFilter, script->Name);
    if (fileName.isEmpty())
        return;
    if (!QFileInfo(fileName).fileName().contains(QLatin1Char('.')))
        fileName += QStringLiteral(".sql");
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
}

void TScriptRoutinesController::CloseCurrentScript()
{
    TScriptManager *scripts = ScriptManager();
    if (scripts->Current())
        scripts->Delete(scripts->ItemIndex());
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
