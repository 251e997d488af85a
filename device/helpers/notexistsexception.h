#ifndef NOTEXISTSEXCEPTION_H
#define NOTEXISTSEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct NotExistsExceptionData;

// Raised when a required entity does not exist.
class DEVICE_EXPORT NotExistsException : public Exception
{
public:
    explicit NotExistsException(const QString& className = QString(),
                                const QString& functionName = QString(),
                                const QString& entityName = QString(),
                                const QString& message = QString());
    NotExistsException(const NotExistsException& other);
    ~NotExistsException() override;

    NotExistsException& operator=(const NotExistsException& other);
    NotExistsException& operator=(const Exception& other);

    const QString& entityName() const;
    void setEntityName(const QString& entityName);

protected:
    void assign(const Exception& other) override;
    bool equals(const Exception& other) const override;

private:
    NotExistsExceptionData* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // NOTEXISTSEXCEPTION_H
