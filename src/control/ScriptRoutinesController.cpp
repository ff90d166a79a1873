#include "ScriptRoutinesController.h"

#include "DataFacade.h"
#include "Domain.h"
#include "ErrorText.h"
#include "HistoryManager.h"
#include "ScriptManager.h"
#include "ScriptRunner.h"
#include "SimpleSettingsManager.h"
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

bool ScriptIsExecuting()
{
    return theRoutines && theRoutines->IsExecuting();
}

TScriptRoutinesController::TScriptRoutinesController()
{
    IWorkbenchUi &ui = RequireWorkbenchUi();
    ui.EnsureScriptView();
    HistoryManager()->OnChange = [](THistoryManager *, const QStringList &Files) {
        if (IWorkbenchUi *current = WorkbenchUi())
            current->HistoryChanged(Files);
    };
    HistoryManager()->CodePage = CodePage();
    // An unreadable history is reported here, once; the commands then work
    // without it.
    try {
        HistoryManager()->LoadFromFile(HistoryFileName());
    } catch (const std::exception &error) {
        m_historyUnreadable = true;
        ui.ReportError(QStringLiteral("Не удалось прочитать список недавних файлов:\r\n%1\r\n"
                                      "Программа работает без него и не записывает его поверх.")
                           .arg(ErrorText(error)));
    }
}

TScriptRoutinesController::~TScriptRoutinesController()
{
    // A run still waiting on a stalled server is left to finish alone.
    m_runner.reset();
    // A history that cannot be written (read-only folder, locked file) is
    // lost; the process is ending and nobody is left to tell. One that could
    // not be read is not replaced by this session's few entries.
    if (!m_historyUnreadable) {
        try {
            HistoryManager()->SaveToFile(HistoryFileName());
        } catch (const std::exception &) {
        }
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

QString TScriptRoutinesController::CodePage()
{
    return SettingsManager()
        ->GetSetting(QStringLiteral("Files"), QStringLiteral("CodePage"), QString::fromLatin1(DefaultCodePage))
        ->Value()
        .trimmed();
}

void TScriptRoutinesController::NewEmptyScript()
{
    ScriptManager()->AddScript(std::make_unique<TScript>());
}

std::unique_ptr<TScript> TScriptRoutinesController::LoadScript(const QString &FileName, TTextFormat *Format)
{
    if (FileName.isEmpty() || !QFileInfo(FileName).isFile())
        return nullptr;
    auto script = std::make_unique<TScript>();
    script->Name = FilePart(FileName);
    TTextFileContent content = ReadTextFile(FileName, CodePage());
    script->Lines = std::move(content.Lines);
    if (Format)
        *Format = content.Format;
    script->FileName = FileName;
    HistoryManager()->Add(FileName);
    return script;
}

namespace {

// Adds a script read from its file; a new tab starts out unmodified and
// remembers the file's encoding (a tab already open for that file keeps its
// own edits).
void AddLoadedScript(std::unique_ptr<TScript> Script, const TTextFormat &Format)
{
    TScriptManager *scripts = ScriptManager();
    const int before = scripts->Count();
    TScript *loaded = Script.get();
    scripts->AddScript(std::move(Script));
    if (scripts->Count() > before) {
        scripts->MarkSaved(loaded);
        scripts->SetTextFormat(loaded, Format);
    }
}

} // namespace

void TScriptRoutinesController::OpenScript()
{
    const QString fileName = RequireWorkbenchUi().AskOpenFileName(FileFilter);
    if (fileName.isEmpty())
        return;
    TTextFormat format;
    if (std::unique_ptr<TScript> script = LoadScript(fileName, &format))
        AddLoadedScript(std::move(script), format);
}

void TScriptRoutinesController::OpenFromHistory(int Index)
{
    THistoryManager *history = HistoryManager();
    if (Index < 0 || Index >= history->Count())
        return;
    TTextFormat format;
    if (std::unique_ptr<TScript> script = LoadScript(history->Get(Index), &format))
        AddLoadedScript(std::move(script), format);
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
    if (SaveScript(script, fileName))
        ScriptManager()->DoChange();
}

bool TScriptRoutinesController::SaveScript(TScript *Script, const QString &FileName)
{
    if (!Script)
        return false;
    TScriptManager *scripts = ScriptManager();
    TTextFormat format = scripts->TextFormat(Script);
    try {
        WriteTextFile(FileName, Script->Lines, format);
    } catch (const EUnencodableText &error) {
        // Never a silent '?': the user chooses UTF-8 or keeps the file as it is.
        if (!RequireWorkbenchUi().AskSaveInUtf8(FileName, error.Format().Name(), error.Characters()))
            return false;
        format = TTextFormat::Utf8();
        WriteTextFile(FileName, Script->Lines, format);
    }
    Script->Name = FilePart(FileName);
    Script->FileName = FileName;
    if (scripts->IndexOf(Script) >= 0) {
        scripts->MarkSaved(Script);
        scripts->SetTextFormat(Script, format);
    }
    return true;
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
    if (!SaveScript(Script, fileName))
        return false;
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
    if (!current || !QueryStopExecution(current) || !QuerySaveScript(current))
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
