#pragma once

#include <QChar>

// The user's decimal separator, read from the system locale once at start.
// Number texts of a row set use it, and the numeric literal turns it back
// into '.'. Tests set it to fix the notation.
QChar DecimalSeparator();
void SetDecimalSeparator(QChar separator);
