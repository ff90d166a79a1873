#pragma once

// The main window's wizard command: runs the table script wizard for the
// tables of the current database and places the generated script in a new
// tab, at the end of the current script, or nowhere. GUI thread only;
// failures before the wizard opens propagate to the caller's error guard.

class TScriptCreationController;

void CreateOneTableScript();

namespace TableScriptRoutineTexts {
inline constexpr const char *NoScriptCaption = "Скрипт не создан";
inline constexpr const char *NoScriptText =
    "Не удалось прочитать строки таблицы, поэтому скрипт не создан.";
inline constexpr const char *NoTablesCaption = "Мастер создания скриптов";
inline constexpr const char *NoTablesText = "В базе данных «%1» нет пользовательских таблиц.";
inline constexpr const char *NoDataBaseText = "База данных не выбрана: подключитесь к серверу.";
}
