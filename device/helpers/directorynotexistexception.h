#ifndef DIRECTORYNOTEXISTEXCEPTION_H
#define DIRECTORYNOTEXISTEXCEPTION_H

#include "directoryexception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

// Raised when a required folder is missing.
class DEVICE_EXPORT DirectoryNotExistException : public DirectoryException
{
public:
    explicit DirectoryNotExistException(const QString& className = QString(),
                                        const QString& functionName = QString(),
                                        const QString& name = QString(),
                                        const QString& path = QString(),
                                        const QString& message = QString());
    DirectoryNotExistException(const DirectoryNotExistException& other);

    DirectoryNotExistException& operator=(const DirectoryNotExistException& other);
    DirectoryNotExistException& operator=(const Exception& other);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // DIRECTORYNOTEXISTEXCEPTION_H
