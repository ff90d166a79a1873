#include "StartUpController.h"

#include "Controller.h"
#include "ScriptRoutinesController.h"
#include "SimpleSettingsManager.h"
#include "WorkbenchPorts.h"

#include <QCoreApplication>

bool TStartUpController::Run()
{
    SetUpSettingsLocation();
    IWorkbenchUi &ui = RequireWorkbenchUi();
    ui.BindResultView();
    ui.HideEditor();
    (void)ScriptRoutinesController();
    return ScriptCreationController().Connect();
}

void TStartUpController::SetUpSettingsLocation()
{
    // Owned by the application object, like the settings store's other
    // long-lived helpers; the store forgets it if it goes first.
    auto *composer = new TApplicationDataFileNameComposer(QCoreApplication::instance());
    composer->setObjectName(QStringLiteral("SettingsFileNameComposer"));
    composer->SetCompanyName(QStringLiteral("Velquist"));
    composer->SetProductName(QStringLiteral("Quorvane"));
    composer->SetVersion(QStringLiteral("1.0"));
    composer->SetJustFileName(QStringLiteral("Settings.ini"));
    SettingsManager()->SetFileNameComposer(composer);
}
