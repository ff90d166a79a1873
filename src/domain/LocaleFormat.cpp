#include "LocaleFormat.h"

#include <QLocale>

#include <atomic>

namespace {
std::atomic<char16_t> &separatorCell()
{
    static std::atomic<char16_t> cell{QLocale::system().decimalPoint().at(0).unicode()};
    return cell;
}
} // namespace

QChar DecimalSeparator()
{
    return QChar(separatorCell().load(std::memory_order_relaxed));
}

void SetDecimalSeparator(QChar separator)
{
    separatorCell().store(separator.unicode(), std::memory_order_relaxed);
}
