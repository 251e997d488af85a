#include "existsexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct ExistsExceptionData
{
    QString entityName;
};

ExistsException::ExistsException(const QString& className,
                                 const QString& functionName,
                                 const QString& entityName,
                                 const QString& message)
    : Exception(className, functionName, message)
    , d(new ExistsExceptionData { entityName })
{
    if (message.isEmpty())
        setMessage(deviceText("The entity already exists."));
}

ExistsException::ExistsException(const ExistsException& other)
    : Exception(other)
    , d(new ExistsExceptionData(*other.d))
{
}

ExistsException::~ExistsException()
{
    delete d;
}

ExistsException& ExistsException::operator=(const ExistsException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

ExistsException& ExistsException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

const QString& ExistsException::entityName() const
{
    return d->entityName;
}

void ExistsException::setEntityName(const QString& entityName)
{
    if (d->entityName != entityName)
        d->entityName = entityName;
}

void ExistsException::assign(const Exception& other)
{
    Exception::assign(other);
    const auto* same = dynamic_cast<const ExistsException*>(&other);
    if (!same || same == this)
        return;
    d->entityName = same->d->entityName;
}

bool ExistsException::equals(const Exception& other) const
{
    if (!Exception::equals(other))
        return false;
    const auto* same = dynamic_cast<const ExistsException*>(&other);
    if (!same)
        return false;
    return d->entityName == same->d->entityName;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
