#ifndef DIRECTORYEXCEPTION_H
#define DIRECTORYEXCEPTION_H

#include "exception.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

struct DirectoryExceptionData;

// Raised when a folder cannot be used; names the folder and its full path.
class DEVICE_EXPORT DirectoryException : public Exception
{
public:
    explicit DirectoryException(const QString& className = QString(),
                                const QString& functionName = QString(),
                                const QString& name = QString(),
                                const QString& path = QString(),
                                const QString& message = QString());
    DirectoryException(const DirectoryException& other);
    ~DirectoryException() override;

    DirectoryException& operator=(const DirectoryException& other);
    DirectoryException& operator=(const Exception& other);

    const QString& name() const;
    const QString& path() const;
    void setName(const QString& name);
    void setPath(const QString& path);

protected:
    void assign(const Exception& other) override;
    bool equals(const Exception& other) const override;

private:
    DirectoryExceptionData* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // DIRECTORYEXCEPTION_H
