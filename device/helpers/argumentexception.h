#ifndef ARGUMENTEXCEPTION_H
#define ARGUMENTEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct ArgumentExceptionData;

// Raised when an argument is invalid; names the parameter.
class DEVICE_EXPORT ArgumentException : public Exception
{
public:
    explicit ArgumentException(const QString& className = QString(),
                               const QString& functionName = QString(),
                               const QString& parameterName = QString(),
                               const QString& message = QString());
    ArgumentException(const ArgumentException& other);
    ~ArgumentException() override;

    ArgumentException& operator=(const ArgumentException& other);
    ArgumentException& operator=(const Exception& other);

    const QString& parameterName() const;
    void setParameterName(const QString& parameterName);

protected:
    void assign(const Exception& other) override;
    bool equals(const Exception& other) const override;

private:
    ArgumentExceptionData* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // ARGUMENTEXCEPTION_H
