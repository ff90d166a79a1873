#include "WorkbenchShutdown.h"

#include "Controller.h"
#include "DataFacade.h"
#include "HistoryManager.h"
#include "Model.h"
#include "ScriptManager.h"
#include "ScriptRoutinesController.h"
#include "ServerChooseDialog.h"
#include "SimpleSettingsManager.h"
#include "View.h"

void FreeWorkbenchSingletons()
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
