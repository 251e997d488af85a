#include "xmlexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

XmlException::XmlException(const QString& className,
                           const QString& functionName,
                           const QString& message)
    : Exception(className, functionName, message)
{
    if (message.isEmpty())
        setMessage(deviceText("An XML exception occurred."));
}

XmlException::XmlException(const XmlException& other)
    : Exception(other)
{
}

XmlException& XmlException::operator=(const XmlException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

XmlException& XmlException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
