#pragma once

// The main window's wizard commands: runs the table script wizard for the
// tables of the current database and places the generated script in a new
// tab, at the end of the current script, in a file, or nowhere. GUI thread
// only; failures before the wizard opens propagate to the caller's error
// guard.
//
// A script past the size the editor takes well (TableScriptEditorLimits)
// is loaded into a tab only after the user confirms; a script the generator
// kept in a temporary file (TScript::Spool) is never read into memory to be
// saved: the file itself is moved to the chosen name.

#include <QtGlobal>

#include <functional>

class QString;
class TScript;
class TScriptCreationController;

void CreateOneTableScript();
// The same for one script over several tables (the several-tables wizard).
void CreateSeveralTablesScript();

// Writes the script to FileName whole or not at all: a spooled script's
// file is moved there, lines in memory go to a file beside it (UTF-8, each
// item followed by CR LF) renamed once complete. Throws EQuorvaneException
// (FileName untouched) on failure.
void SaveGeneratedScript(TScript &Script, const QString &FileName);

// The size from which the new-tab and append choices ask first.
struct TTableScriptEditorLimits
{
    qint64 Bytes = qint64(50) * 1024 * 1024;
    qint64 Lines = 300000;
};
TTableScriptEditorLimits &TableScriptEditorLimits();

// Asks for the file "Сохранить в файл…" writes to; empty: cancelled. Tests
// set it to answer without a dialog; empty function: the file dialog.
std::function<QString()> &TableScriptFileNameHook();

namespace TableScriptRoutineTexts {
inline constexpr const char *NoScriptCaption = "Скрипт не создан";
inline constexpr const char *NoScriptText =
    "Не удалось прочитать строки таблицы, поэтому скрипт не создан.";
inline constexpr const char *NoTablesCaption = "Мастер создания скриптов";
inline constexpr const char *NoTablesText = "В базе данных «%1» нет пользовательских таблиц.";
inline constexpr const char *NoDataBaseText = "База данных не выбрана: подключитесь к серверу.";
inline constexpr const char *BigScriptCaption = "Большой скрипт";
inline constexpr const char *BigScriptText =
    "Скрипт занимает %1 МБ (%2 строк). Редактор будет открывать его долго и займёт много памяти; "
    "такой скрипт лучше сохранить в файл. Всё же открыть его в редакторе?";
inline constexpr const char *SaveCaption = "Сохранить скрипт в файл";
inline constexpr const char *SaveFailedCaption = "Скрипт не сохранён";
}
