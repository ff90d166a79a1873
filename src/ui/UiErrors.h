#pragma once

// Errors raised by the wizards and edit controls. Each carries the message
// the application's error display shows.

#include "QuorvaneException.h"

#include <QString>

#include <functional>

class EUiException : public EQuorvaneException
{
public:
    using EQuorvaneException::EQuorvaneException;
};

// Ends an event handler quietly: the user has been told or asked already.
class EAbortException : public EUiException
{
public:
    EAbortException() : EUiException(QString()) {}
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
// Runs body; any exception ends it and goes to the error display, except
// EAbortException, which only ends it.
void RunGuarded(const std::function<void()> &body);
