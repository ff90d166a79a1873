// The workbench: a main window connected to one SQL Server at a time.
#include "CommandGuard.h"
#include "MainForm.h"
#include "StartUpController.h"
#include "TableScriptRoutine.h"
#include "Translations.h"
#include "WorkbenchShutdown.h"
#include "WorkbenchUi.h"

#include <memory>

int main(int argc, char *argv[])
{
    TGuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setOrganizationName(QStringLiteral("Velquist"));
    InstallRussianQtTranslation();

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
        FreeWorkbenchSingletons();
        SetWorkbenchUi(nullptr);
    }
    return result;
}
