#include "exception.h"

#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct ExceptionData
{
    QString className;
    QString functionName;
    QString message;
};

Exception::Exception(const QString& className, const QString& functionName, const QString& message)
    : d(new ExceptionData { className, functionName, message })
{
    if (message.isEmpty())
        d->message = deviceText("An exception occurred.");
}

Exception::Exception(const Exception& other)
    : d(new ExceptionData(*other.d))
{
}

Exception::~Exception()
{
    delete d;
}

Exception& Exception::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

bool Exception::operator==(const Exception& other) const
{
    return equals(other);
}

bool Exception::operator!=(const Exception& other) const
{
    return !equals(other);
}

const QString& Exception::className() const { return d->className; }
const QString& Exception::functionName() const { return d->functionName; }
const QString& Exception::message() const { return d->message; }

void Exception::setClassName(const QString& className)
{
    if (d->className != className)
        d->className = className;
}

void Exception::setFunctionName(const QString& functionName)
{
    if (d->functionName != functionName)
        d->functionName = functionName;
}

void Exception::setMessage(const QString& message)
{
    if (d->message != message)
        d->message = message;
}

void Exception::assign(const Exception& other)
{
    if (this == &other)
        return;
    d->className = other.d->className;
    d->functionName = other.d->functionName;
    d->message = other.d->message;
}

bool Exception::equals(const Exception& other) const
{
    return d->className == other.d->className && d->functionName == other.d->functionName
           && d->message == other.d->message;
}

QString Exception::defaultMessage(const char* text)
{
    // Without an application object there is no translator: keep the English text.
    return LocalizationHelper::deviceString(QString::fromUtf8(text));
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
