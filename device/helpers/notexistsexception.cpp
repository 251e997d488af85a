#include "notexistsexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct NotExistsExceptionData
{
    QString entityName;
};

NotExistsException::NotExistsException(const QString& className,
                                       const QString& functionName,
                                       const QString& entityName,
                                       const QString& message)
    : Exception(className, functionName, message)
    , d(new NotExistsExceptionData { entityName })
{
    if (message.isEmpty())
        setMessage(deviceText("The entity does not exist."));
}

NotExistsException::NotExistsException(const NotExistsException& other)
    : Exception(other)
    , d(new NotExistsExceptionData(*other.d))
{
}

NotExistsException::~NotExistsException()
{
    delete d;
}

NotExistsException& NotExistsException::operator=(const NotExistsException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

NotExistsException& NotExistsException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

const QString& NotExistsException::entityName() const
{
    return d->entityName;
}

void NotExistsException::setEntityName(const QString& entityName)
{
    if (d->entityName != entityName)
        d->entityName = entityName;
}

void NotExistsException::assign(const Exception& other)
{
    Exception::assign(other);
    const auto* same = dynamic_cast<const NotExistsException*>(&other);
    if (!same || same == this)
        return;
    d->entityName = same->d->entityName;
}

bool NotExistsException::equals(const Exception& other) const
{
    if (!Exception::equals(other))
        return false;
    const auto* same = dynamic_cast<const NotExistsException*>(&other);
    if (!same)
        return false;
    return d->entityName == same->d->entityName;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
