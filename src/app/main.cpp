// The workbench: a main window connected to one SQL Server at a time.
#include "CommandGuard.h"
#include "MainForm.h"
#include "ProgramInfo.h"
#include "StartUpController.h"
#include "TableScriptRoutine.h"
#include "Translations.h"
#include "WorkbenchShutdown.h"
#include "WorkbenchUi.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char *const usage =
    "usage: quorvane [--help] [--version] [Qt options]\n"
    "Opens the Quorvane workbench: data scripts of SQL Server tables and a T-SQL editor.\n"
    "  --help, -h  show this text and exit\n"
    "  --version   show the version and exit\n"
    "Qt's own options (-platform NAME, -style NAME, ...) are accepted too.\n"
    "The settings lie in Velquist/Quorvane/1.0/Settings.ini below $APPDATA, else\n"
    "$XDG_CONFIG_HOME, else ~/.config; FREETDSCONF names a FreeTDS configuration\n"
    "whose servers the login dialog lists. See quorvane(1).\n";

// --help and --version are answered before the application object exists:
// it needs a display, and these must work without one.
bool answeredWithoutWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("quorvane " QUORVANE_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredWithoutWindow(argc, argv))
        return 0;
    TGuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Velquist"));
    // Lets the desktop match the windows to the menu entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));
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
        form->OnCreateSeveralTablesScript = CreateSeveralTablesScript;
        form->showMaximized();
        if (!form->TerminateRequested())
            result = QApplication::exec();
        FreeWorkbenchSingletons();
        SetWorkbenchUi(nullptr);
    }
    return result;
}
