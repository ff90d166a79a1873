#include "CommandGuard.h"

#include "ErrorText.h"
#include "UiErrors.h"

bool RunCommand(const std::function<void()> &Command)
{
    try {
        Command();
        return true;
    } catch (const std::exception &error) {
        ShowError(ErrorText(error));
    } catch (...) {
        ShowError(QStringLiteral("Неизвестная ошибка."));
    }
    return false;
}

bool TGuardedApplication::notify(QObject *Receiver, QEvent *Event)
{
    bool result = false;
    RunCommand([&] { result = QApplication::notify(Receiver, Event); });
    return result;
}
