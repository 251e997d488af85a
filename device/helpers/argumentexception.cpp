#include "argumentexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct ArgumentExceptionData
{
    QString parameterName;
};

ArgumentException::ArgumentException(const QString& className,
                                     const QString& functionName,
                                     const QString& parameterName,
                                     const QString& message)
    : Exception(className, functionName, message)
    , d(new ArgumentExceptionData { parameterName })
{
    if (message.isEmpty())
        setMessage(deviceText("An argument is invalid."));
}

ArgumentException::ArgumentException(const ArgumentException& other)
    : Exception(other)
    , d(new ArgumentExceptionData(*other.d))
{
}

ArgumentException::~ArgumentException()
{
    delete d;
}

ArgumentException& ArgumentException::operator=(const ArgumentException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

ArgumentException& ArgumentException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

const QString& ArgumentException::parameterName() const
{
    return d->parameterName;
}

void ArgumentException::setParameterName(const QString& parameterName)
{
    if (d->parameterName != parameterName)
        d->parameterName = parameterName;
}

void ArgumentException::assign(const Exception& other)
{
    Exception::assign(other);
    const auto* same = dynamic_cast<const ArgumentException*>(&other);
    if (!same || same == this)
        return;
    d->parameterName = same->d->parameterName;
}

bool ArgumentException::equals(const Exception& other) const
{
    if (!Exception::equals(other))
        return false;
    const auto* same = dynamic_cast<const ArgumentException*>(&other);
    if (!same)
        return false;
    return d->parameterName == same->d->parameterName;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
