#include "nullexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct NullExceptionData
{
    QString variableName;
};

NullException::NullException(const QString& className,
                             const QString& functionName,
                             const QString& variableName,
                             const QString& message)
    : Exception(className, functionName, message)
    , d(new NullExceptionData { variableName })
{
    if (message.isEmpty())
        setMessage(deviceText("A null exception occurred."));
}

NullException::NullException(const NullException& other)
    : Exception(other)
    , d(new NullExceptionData(*other.d))
{
}

NullException::~NullException()
{
    delete d;
}

NullException& NullException::operator=(const NullException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

NullException& NullException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

const QString& NullException::variableName() const
{
    return d->variableName;
}

void NullException::setVariableName(const QString& variableName)
{
    if (d->variableName != variableName)
        d->variableName = variableName;
}

void NullException::assign(const Exception& other)
{
    Exception::assign(other);
    const auto* same = dynamic_cast<const NullException*>(&other);
    if (!same || same == this)
        return;
    d->variableName = same->d->variableName;
}

bool NullException::equals(const Exception& other) const
{
    if (!Exception::equals(other))
        return false;
    const auto* same = dynamic_cast<const NullException*>(&other);
    if (!same)
        return false;
    return d->variableName == same->d->variableName;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
