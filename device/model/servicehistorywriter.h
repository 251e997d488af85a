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
// With a history server set up, the same thread sends the entries the server does not
// have yet: at start and after each entry, after a failure again and again with growing
// pauses (never while the program ends: what is left waits for the next start).
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
    // Sends to the history server now (its address may have changed), pause or not.
    void syncNow();

    // Called in the writing thread when the server becomes unusable, with the text that
    // says why, and when it is reached again (reachable true): once per change.
    using ServerReport = std::function<void(bool reachable, const QString& text)>;
    static void setServerReport(const ServerReport& report);

signals:
    // An entry was written or completed (emitted in the writing thread).
    void written();
    // See ServerReport (emitted in the writing thread).
    void serverStatusChanged(bool reachable, const QString& text);

private:
    void post(const std::function<void()>& job);
    friend class ServiceHistoryWriterPrivate;

    ServiceHistoryWriterPrivate* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SERVICEHISTORYWRITER_H
