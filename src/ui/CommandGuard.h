#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

// The application's general error handler. Every command of the main window
// runs inside RunCommand: an exception ends the command, its message is shown
// in a critical message box and the application goes on.

// Runs Command; any exception goes to the application's error display
// (ShowError of UiErrors.h: a critical message box unless a test replaced
// it). True when the command ended normally.
bool RunCommand(const std::function<void()> &Command);

// Last line of defence for handlers that are not wrapped: an exception that
// reaches the event loop is shown the same way instead of ending the process.
class TGuardedApplication : public QApplication
{
public:
    TGuardedApplication(int &argc, char **argv) : QApplication(argc, argv) {}
    bool notify(QObject *Receiver, QEvent *Event) override;
};
