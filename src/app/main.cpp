// The workbench: a main window connected to one SQL Server at a time.
#include "CommandGuard.h"
#include "Controller.h"
#include "DataFacade.h"
#include "HistoryManager.h"
#include "MainForm.h"
#include "Model.h"
#include "ScriptManager.h"
#include "ScriptRoutinesController.h"
#include "SimpleSettingsManager.h"
#include "ServerChooseDialog.h"
#include "StartUpController.h"
#include "TableScriptRoutine.h"
#include "View.h"
#include "WorkbenchUi.h"

#include <memory>

namespace {

// The process-wide objects go in a fixed order while the application object
// still exists: the routines save the history, the store saves the settings.
void FreeSingletons()
{
    FreeScriptRoutinesController();
    FreeViews();
    DestroyScriptManager();
    DestroyHistoryManager();
    FreeScriptCreationController();
    DestroyDataAccessFacade();
    DestroyScriptCreatorModel();
    DestroySettingsManager();
    FreeKeptServerChooseForm();
}

} // namespace

int main(int argc, char *argv[])
{
    TGuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setOrganizationName(QStringLiteral("Velquist"));

    int result = 0;
    {
        auto form = std::make_unique<TMainForm>();
        TMainFormUi ui(form.get());
        SetWorkbenchUi(&ui);
        form->OnFirstShow = [] {
            TStartUpController startUp;
            return startUp.Run();
        };
        form->OnCreateOneTableScript = CreateOneTableScript;
        form->showMaximized();
        if (!form->TerminateRequested())
            result = QApplication::exec();
        FreeSingletons();
        SetWorkbenchUi(nullptr);
    }
    return result;
}
