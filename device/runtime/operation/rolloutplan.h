#ifndef ROLLOUTPLAN_H
#define ROLLOUTPLAN_H

#include "device_global.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QHash>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// A package sent to several devices in stages, so that a bad one ruins one panel and not
// the bench: the first devices go first as canaries and the others only after all of them
// succeeded; at most so many at once; once so many failed, the others are left alone. The
// devices are keys of the caller's choosing (a port, a line), in the order they go. The
// caller starts what next() says, reports each end with ended() and asks next() again.
// The Batch window and dovrelctl follow the same plan.
class DEVICE_EXPORT RolloutPlan
{
public:
    // 0 is "no such rule".
    struct Rules
    {
        int canary = 0;            // the first devices, which go first
        int maxParallel = 0;       // devices at once
        int stopAfterFailures = 0; // failures after which the rest are skipped
    };
    enum State { Waiting, Running, Succeeded, Failed, Skipped };
    struct Step
    {
        QStringList start;                       // in order
        QList<QPair<QString, QString>> skipped;  // device, why
    };

    RolloutPlan() = default;
    RolloutPlan(const QStringList& devices, const Rules& rules);

    Rules rules() const { return m_rules; }
    bool hasRules() const;
    QStringList devices() const { return m_devices; }
    bool contains(const QString& device) const { return m_states.contains(device); }
    State state(const QString& device) const { return m_states.value(device, Waiting); }
    bool isCanary(const QString& device) const;
    int count(State state) const;
    // Nothing waits or runs any more.
    bool isFinished() const;
    // Every canary has succeeded (true without canaries): the rest may go.
    bool canariesSucceeded() const;

    // What may happen now; the devices named are taken as started or skipped.
    Step next();
    // A started device has ended; a failure counts towards the limit.
    void ended(const QString& device, bool succeeded);
    // Everything still waiting is skipped, for this reason (the run was cancelled or stopped).
    QList<QPair<QString, QString>> skipWaiting(const QString& reason);

    // Where the run is: "Canary: 1 of 1 done; the rest start now". Empty without rules.
    QString stageText() const;

    // The order in which a station's devices go when the user named none: devices in named
    // USB slots first, by slot name ("Slot 2" before "Slot 10"), then the others by port name
    // (ttyACM2 before ttyACM10). slotOf maps a port to its slot's name.
    static QStringList stationOrder(const QStringList& ports, const QHash<QString, QString>& slotOf = {});

private:
    int canaryCount() const;
    bool canaryFailed() const;
    bool stopped() const;

    QStringList m_devices;
    QMap<QString, State> m_states;
    Rules m_rules;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // ROLLOUTPLAN_H
