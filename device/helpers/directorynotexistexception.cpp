#include "directorynotexistexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

DirectoryNotExistException::DirectoryNotExistException(const QString& className,
                                                       const QString& functionName,
                                                       const QString& name,
                                                       const QString& path,
                                                       const QString& message)
    : DirectoryException(className, functionName, name, path, message)
{
    if (message.isEmpty())
        setMessage(deviceText("The directory does not exist."));
}

DirectoryNotExistException::DirectoryNotExistException(const DirectoryNotExistException& other)
    : DirectoryException(other)
{
}

DirectoryNotExistException& DirectoryNotExistException::operator=(const DirectoryNotExistException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

DirectoryNotExistException& DirectoryNotExistException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
