#ifndef FILENOTEXISTEXCEPTION_H
#define FILENOTEXISTEXCEPTION_H

#include "fileexception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

// Raised when a required file is missing.
class DEVICE_EXPORT FileNotExistException : public FileException
{
public:
    explicit FileNotExistException(const QString& className = QString(),
                                   const QString& functionName = QString(),
                                   const QString& name = QString(),
                                   const QString& path = QString(),
                                   const QString& message = QString());
    // Takes over all texts of a general file exception as they are.
    explicit FileNotExistException(const FileException& other);
    FileNotExistException(const FileNotExistException& other);

    FileNotExistException& operator=(const FileNotExistException& other);
    FileNotExistException& operator=(const Exception& other);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // FILENOTEXISTEXCEPTION_H
