#include "WorkbenchPorts.h"

#include <stdexcept>

namespace {
IWorkbenchUi *currentUi = nullptr;
}

IWorkbenchUi *WorkbenchUi()
{
    return currentUi;
}

void SetWorkbenchUi(IWorkbenchUi *Ui)
{
    currentUi = Ui;
}

IWorkbenchUi &RequireWorkbenchUi()
{
    if (!currentUi)
        throw std::logic_error("The workbench user interface is not set up.");
    return *currentUi;
}
