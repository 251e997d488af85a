#include "fileexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct FileExceptionData
{
    QString name;
    QString path;
};

FileException::FileException(const QString& className,
                             const QString& functionName,
                             const QString& name,
                             const QString& path,
                             const QString& message)
    : Exception(className, functionName, message)
    , d(new FileExceptionData { name, path })
{
    if (message.isEmpty())
        setMessage(deviceText("A file exception occurred."));
}

FileException::FileException(const FileException& other)
    : Exception(other)
    , d(new FileExceptionData(*other.d))
{
}

FileException::~FileException()
{
    delete d;
}

FileException& FileException::operator=(const FileException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

FileException& FileException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

const QString& FileException::name() const
{
    return d->name;
}

const QString& FileException::path() const
{
    return d->path;
}

void FileException::setName(const QString& name)
{
    if (d->name != name)
        d->name = name;
}

void FileException::setPath(const QString& path)
{
    if (d->path != path)
        d->path = path;
}

void FileException::assign(const Exception& other)
{
    Exception::assign(other);
    const auto* same = dynamic_cast<const FileException*>(&other);
    if (!same || same == this)
        return;
    d->name = same->d->name;
    d->path = same->d->path;
}

bool FileException::equals(const Exception& other) const
{
    if (!Exception::equals(other))
        return false;
    const auto* same = dynamic_cast<const FileException*>(&other);
    if (!same)
        return false;
    return d->name == same->d->name && d->path == same->d->path;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
