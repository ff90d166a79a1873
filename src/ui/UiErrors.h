#pragma once

// Errors raised by the wizards and edit controls. Each carries the message
// the application's error display shows.

#include <QByteArray>
#include <QString>

#include <exception>
#include <functional>

class EUiException : public std::exception
{
public:
    explicit EUiException(QString message)
        : FMessage(std::move(message)), FUtf8(FMessage.toUtf8())
    {
    }
    [[nodiscard]] const QString &Message() const noexcept { return FMessage; }
    [[nodiscard]] const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// Assigning an object of the wrong class.
class EConvertError : public EUiException
{
public:
    using EUiException::EUiException;
};

// The application's error display for failures raised inside an event
// handler: Qt cannot carry an exception through its event loop, so handlers
// that may fail run inside RunGuarded. The display shows a critical message
// box unless replaced (tests replace it).
using TErrorDisplay = std::function<void(const QString &message)>;
TErrorDisplay SetErrorDisplay(TErrorDisplay display);
void ShowError(const QString &message);
// Runs body; any exception ends it and goes to the error display.
void RunGuarded(const std::function<void()> &body);
