#include "typemismatchexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

TypeMismatchException::TypeMismatchException(const QString& className,
                                             const QString& functionName,
                                             const QString& message)
    : Exception(className, functionName, message)
{
    if (message.isEmpty())
        setMessage(deviceText("A type mismatch exception occurred."));
}

TypeMismatchException::TypeMismatchException(const TypeMismatchException& other)
    : Exception(other)
{
}

TypeMismatchException& TypeMismatchException::operator=(const TypeMismatchException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

TypeMismatchException& TypeMismatchException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
