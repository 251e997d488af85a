#include "argumentnulloremptyexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

ArgumentNullorEmptyException::ArgumentNullorEmptyException(const QString& className,
                                                           const QString& functionName,
                                                           const QString& parameterName,
                                                           const QString& message)
    : ArgumentException(className, functionName, parameterName, message)
{
    if (message.isEmpty())
        setMessage(deviceText("An argument is null or empty."));
}

ArgumentNullorEmptyException::ArgumentNullorEmptyException(const ArgumentNullorEmptyException& other)
    : ArgumentException(other)
{
}

ArgumentNullorEmptyException& ArgumentNullorEmptyException::operator=(const ArgumentNullorEmptyException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

ArgumentNullorEmptyException& ArgumentNullorEmptyException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
