#include "UiErrors.h"

#include <QApplication>
#include <QMessageBox>

namespace {
TErrorDisplay &errorDisplay()
{
    static TErrorDisplay display;
    return display;
}
}

TErrorDisplay SetErrorDisplay(TErrorDisplay display)
{
    TErrorDisplay previous = std::move(errorDisplay());
    errorDisplay() = std::move(display);
    return previous;
}

void ShowError(const QString &message)
{
    if (errorDisplay()) {
        errorDisplay()(message);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), message);
}

void RunGuarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const EAbortException &) {
    } catch (const EQuorvaneException &e) {
        ShowError(e.Message());
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
    }
}
