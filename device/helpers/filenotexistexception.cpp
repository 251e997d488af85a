#include "filenotexistexception.h"
#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

FileNotExistException::FileNotExistException(const QString& className,
                                             const QString& functionName,
                                             const QString& name,
                                             const QString& path,
                                             const QString& message)
    : FileException(className, functionName, name, path, message)
{
    if (message.isEmpty())
        setMessage(deviceText("The file does not exist."));
}

FileNotExistException::FileNotExistException(const FileException& other)
    : FileException(other.className(), other.functionName(), other.name(), other.path(), other.message())
{
}

FileNotExistException::FileNotExistException(const FileNotExistException& other)
    : FileException(other)
{
}

FileNotExistException& FileNotExistException::operator=(const FileNotExistException& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

FileNotExistException& FileNotExistException::operator=(const Exception& other)
{
    if (!equals(other))
        assign(other);
    return *this;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
