#pragma once

// The workbench speaks Russian whatever the desktop's locale: Qt's own texts
// (file dialog, message box and edit menu buttons) follow it. True when Qt's
// Russian translation was found and installed.
bool InstallRussianQtTranslation();
