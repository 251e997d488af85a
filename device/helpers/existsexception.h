#ifndef EXISTSEXCEPTION_H
#define EXISTSEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct ExistsExceptionData;

// Raised when an entity that must be new already exists.
class DEVICE_EXPORT ExistsException : public Exception
{
public:
    explicit ExistsException(const QString& className = QString(),
                             const QString& functionName = QString(),
                             const QString& entityName = QString(),
                             const QString& message = QString());
    ExistsException(const ExistsException& other);
    ~ExistsException() override;

    ExistsException& operator=(const ExistsException& other);
    ExistsException& operator=(const Exception& other);

    const QString& entityName() const;
    void setEntityName(const QString& entityName);

protected:
    void assign(const Exception& other) override;
    bool equals(const Exception& other) const override;

private:
    ExistsExceptionData* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // EXISTSEXCEPTION_H
