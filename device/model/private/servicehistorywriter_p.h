#ifndef SERVICEHISTORYWRITER_P_H
#define SERVICEHISTORYWRITER_P_H

#include "servicehistory.h"

#include <QHash>
#include <QString>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace Orvane {
namespace Tavrix {
namespace Common {

class HistoryServer;

class ServiceHistoryWriterPrivate
{
public:
    // The file, opened in the writing thread on its first job.
    ServiceHistory* history();
    // After an entry: a send soon, with the entries that follow at once, unless paused.
    void syncSoon();
    // Sends what the server lacks; a failure pauses the sending (back-off).
    void sync();
    void makeTimers();
    // Tells once that the server became unusable (why: problem) or usable again.
    void report(bool reachable, const QString& problem = QString());

    ServiceHistoryWriter* q = nullptr;

    QThread thread;
    QObject* worker = nullptr;
    QString path;
    std::atomic<qint64> nextToken { 1 };
    // Touched in the writing thread only.
    ServiceHistory* file = nullptr;
    QHash<qint64, qint64> ids;
    HistoryServer* server = nullptr;
    QTimer* soon = nullptr;
    QTimer* pause = nullptr;
    int pauseMs = 0;
    int reportedStatus = 0; // the HistoryServer::Status said last; Ready (0) while all is well
    std::atomic<bool> closing { false };
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SERVICEHISTORYWRITER_P_H
