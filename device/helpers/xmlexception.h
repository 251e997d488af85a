#ifndef XMLEXCEPTION_H
#define XMLEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

// Raised when an XML document cannot be read as expected.
class DEVICE_EXPORT XmlException : public Exception
{
public:
    explicit XmlException(const QString& className = QString(),
                          const QString& functionName = QString(),
                          const QString& message = QString());
    XmlException(const XmlException& other);

    XmlException& operator=(const XmlException& other);
    XmlException& operator=(const Exception& other);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // XMLEXCEPTION_H
