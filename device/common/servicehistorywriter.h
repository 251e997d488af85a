#ifndef SERVICEHISTORYWRITER_H
#define SERVICEHISTORYWRITER_H

#include "device_global.h"
#include "servicerecord.h"

#include <QObject>
#include <QString>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Common {

class ServiceHistoryWriterPrivate;

// Writes service history entries on a thread of its own, in the order they are given:
// an operation never waits for the disk, nor for another process's write to the file.
// Everything given is written before the writer goes (at the latest when the program ends).
class DEVICE_EXPORT ServiceHistoryWriter : public QObject
{
    Q_OBJECT
public:
    explicit ServiceHistoryWriter(const QString& path, QObject* parent = nullptr);
    ~ServiceHistoryWriter() override;

    // The writer of ServiceHistory::instance()'s file (null without an application).
    static ServiceHistoryWriter* instance();

    // A new entry (complete or only started); the returned token names it in end(). The
    // SHA-256 of packagePath, when one is given, is worked out on the writer's thread.
    qint64 begin(const ServiceRecord& record, const QString& packagePath = QString());
    // The end of the entry begun under token: ended, outcome, message and restarts.
    void end(qint64 token, const ServiceRecord& record);
    // See ServiceHistory::recordReturn.
    void recordReturn(const QString& serial, const QString& version, qint64 withinMs);
    // Returns once everything given so far is written.
    void flush();

signals:
    // An entry was written or completed (emitted in the writing thread).
    void written();

private:
    void post(const std::function<void()>& job);

    ServiceHistoryWriterPrivate* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SERVICEHISTORYWRITER_H
