#ifndef ARGUMENTNULLOREMPTYEXCEPTION_H
#define ARGUMENTNULLOREMPTYEXCEPTION_H

#include "argumentexception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

// Raised when an argument is null or empty.
class DEVICE_EXPORT ArgumentNullorEmptyException : public ArgumentException
{
public:
    explicit ArgumentNullorEmptyException(const QString& className = QString(),
                                          const QString& functionName = QString(),
                                          const QString& parameterName = QString(),
                                          const QString& message = QString());
    ArgumentNullorEmptyException(const ArgumentNullorEmptyException& other);

    ArgumentNullorEmptyException& operator=(const ArgumentNullorEmptyException& other);
    ArgumentNullorEmptyException& operator=(const Exception& other);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // ARGUMENTNULLOREMPTYEXCEPTION_H
