#ifndef FILEEXCEPTION_H
#define FILEEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct FileExceptionData;

// Raised when a file cannot be used; names the file and its full path.
class DEVICE_EXPORT FileException : public Exception
{
public:
    explicit FileException(const QString& className = QString(),
                           const QString& functionName = QString(),
                           const QString& name = QString(),
                           const QString& path = QString(),
                           const QString& message = QString());
    FileException(const FileException& other);
    ~FileException() override;

    FileException& operator=(const FileException& other);
    FileException& operator=(const Exception& other);

    const QString& name() const;
    const QString& path() const;
    void setName(const QString& name);
    void setPath(const QString& path);

protected:
    void assign(const Exception& other) override;
    bool equals(const Exception& other) const override;

private:
    FileExceptionData* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // FILEEXCEPTION_H
