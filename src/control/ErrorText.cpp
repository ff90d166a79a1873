#include "ErrorText.h"

#include "QuorvaneException.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

QString ErrorText(const std::exception &Error)
{
    if (const auto *own = dynamic_cast<const EQuorvaneException *>(&Error))
        return own->Message();
    return QString::fromUtf8(Error.what());
}

QString ErrorClassName(const std::exception &Error)
{
    const char *mangled = typeid(Error).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                           &std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : mangled);
}
