#ifndef NULLEXCEPTION_H
#define NULLEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct NullExceptionData;

// Raised when a variable is unexpectedly null.
class DEVICE_EXPORT NullException : public Exception
{
public:
    explicit NullException(const QString& className = QString(),
                           const QString& functionName = QString(),
                           const QString& variableName = QString(),
                           const QString& message = QString());
    NullException(const NullException& other);
    ~NullException() override;

    NullException& operator=(const NullException& other);
    NullException& operator=(const Exception& other);

    const QString& variableName() const;
    void setVariableName(const QString& variableName);

protected:
    void assign(const Exception& other) override;
    bool equals(const Exception& other) const override;

private:
    NullExceptionData* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // NULLEXCEPTION_H
