#ifndef TYPEMISMATCHEXCEPTION_H
#define TYPEMISMATCHEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

// Raised when a value has the wrong type.
class DEVICE_EXPORT TypeMismatchException : public Exception
{
public:
    explicit TypeMismatchException(const QString& className = QString(),
                                   const QString& functionName = QString(),
                                   const QString& message = QString());
    TypeMismatchException(const TypeMismatchException& other);

    TypeMismatchException& operator=(const TypeMismatchException& other);
    TypeMismatchException& operator=(const Exception& other);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // TYPEMISMATCHEXCEPTION_H
