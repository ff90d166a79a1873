#pragma once

#include <QString>

#include <exception>

// The message an exception carries: our own exceptions keep a QString,
// others give UTF-8 through what().
[[nodiscard]] QString ErrorText(const std::exception &Error);
// The exception's class name, demangled ("EOdbcError", "std::bad_alloc").
[[nodiscard]] QString ErrorClassName(const std::exception &Error);
