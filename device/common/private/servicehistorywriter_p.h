#ifndef SERVICEHISTORYWRITER_P_H
#define SERVICEHISTORYWRITER_P_H

#include "servicehistory.h"

#include <QHash>
#include <QString>
#include <QThread>

#include <atomic>

namespace Orvane {
namespace Tavrix {
namespace Common {

class ServiceHistoryWriterPrivate
{
public:
    // The file, opened in the writing thread on its first job.
    ServiceHistory* history();

    QThread thread;
    QObject* worker = nullptr;
    QString path;
    std::atomic<qint64> nextToken { 1 };
    // Touched in the writing thread only.
    ServiceHistory* file = nullptr;
    QHash<qint64, qint64> ids;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SERVICEHISTORYWRITER_P_H
