#include "directoryexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct DirectoryExceptionData
{
    QString name;
    QString path;
};

DirectoryException::DirectoryException(const QString& className,
                                       const QString& functionName,
                                       const QString& name,
                                       const QString& path,
                                       const QString& message)
    : Exception(className, functionName, message)
    , d(new DirectoryExceptionData { name, path })
{
    if (message.isEmpty())
        setMessage(deviceText("A directory exception occurred."));
}

DirectoryException::DirectoryException(const DirectoryException& other)
    : Exception(other)
    , d(new DirectoryExceptionData(*other.d))
{
}

DirectoryException::~DirectoryException()
{
    delete d;
}

DirectoryException& DirectoryException::operator=(const DirectoryException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

DirectoryException& DirectoryException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

const QString& DirectoryException::name() const
{
    return d->name;
}

const QString& DirectoryException::path() const
{
    return d->path;
}

void DirectoryException::setName(const QString& name)
{
    if (d->name != name)
        d->name = name;
}

void DirectoryException::setPath(const QString& path)
{
    if (d->path != path)
        d->path = path;
}

void DirectoryException::assign(const Exception& other)
{
    Exception::assign(other);
    const auto* same = dynamic_cast<const DirectoryException*>(&other);
    if (!same || same == this)
        return;
    d->name = same->d->name;
    d->path = same->d->path;
}

bool DirectoryException::equals(const Exception& other) const
{
    if (!Exception::equals(other))
        return false;
    const auto* same = dynamic_cast<const DirectoryException*>(&other);
    if (!same)
        return false;
    return d->name == same->d->name && d->path == same->d->path;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
