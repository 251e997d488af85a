#ifndef EXCEPTION_H
#define EXCEPTION_H

#include "device_global.h"

#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

struct ExceptionData;

// Root of the exceptions thrown when a whole operation cannot go on.
// Thrown by value, caught by reference; deliberately not a std::exception.
class DEVICE_EXPORT Exception
{
public:
    explicit Exception(const QString& className = QString(), const QString& functionName = QString(),
                       const QString& message = QString());
    Exception(const Exception& other);
    // Virtual so that deleting through a base pointer also frees the derived records.
    virtual ~Exception();

    Exception& operator=(const Exception& other);
    bool operator==(const Exception& other) const;
    bool operator!=(const Exception& other) const;

    const QString& className() const;
    const QString& functionName() const;
    const QString& message() const;
    void setClassName(const QString& className);
    void setFunctionName(const QString& functionName);
    void setMessage(const QString& message);

protected:
    virtual void assign(const Exception& other);
    virtual bool equals(const Exception& other) const;

    // The default text of the "Device" table, translated when a translation exists.
    static QString defaultMessage(const char* text);

private:
    ExceptionData* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // EXCEPTION_H
