#include "rolloutplan.h"

#include "localizationhelper.h"

#include <algorithm>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::guiText;

namespace {

// "ttyACM2" before "ttyACM10": runs of digits compare as numbers.
bool naturalLess(const QString& a, const QString& b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            int endA = i;
            int endB = j;
            while (endA < a.size() && a.at(endA).isDigit())
                ++endA;
            while (endB < b.size() && b.at(endB).isDigit())
                ++endB;
            const QString numberA = a.mid(i, endA - i);
            const QString numberB = b.mid(j, endB - j);
            const qulonglong valueA = numberA.toULongLong();
            const qulonglong valueB = numberB.toULongLong();
            if (valueA != valueB)
                return valueA < valueB;
            i = endA;
            j = endB;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

} // namespace

RolloutPlan::RolloutPlan(const QStringList& devices, const Rules& rules)
    : m_rules(rules)
{
    for (const QString& device : devices) {
        if (m_states.contains(device))
            continue;
        m_devices << device;
        m_states.insert(device, Waiting);
    }
}

bool RolloutPlan::hasRules() const
{
    return m_rules.canary > 0 || m_rules.maxParallel > 0 || m_rules.stopAfterFailures > 0;
}

int RolloutPlan::canaryCount() const
{
    return std::min(int(m_devices.size()), std::max(0, m_rules.canary));
}

bool RolloutPlan::isCanary(const QString& device) const
{
    const int index = int(m_devices.indexOf(device));
    return index >= 0 && index < canaryCount();
}

int RolloutPlan::count(State state) const
{
    return int(std::count(m_states.cbegin(), m_states.cend(), state));
}

bool RolloutPlan::isFinished() const
{
    return count(Waiting) == 0 && count(Running) == 0;
}

bool RolloutPlan::canaryFailed() const
{
    for (int i = 0; i < canaryCount(); ++i) {
        const State state = m_states.value(m_devices.at(i));
        if (state == Failed || state == Skipped)
            return true;
    }
    return false;
}

bool RolloutPlan::canariesSucceeded() const
{
    for (int i = 0; i < canaryCount(); ++i) {
        if (m_states.value(m_devices.at(i)) != Succeeded)
            return false;
    }
    return true;
}

bool RolloutPlan::stopped() const
{
    return m_rules.stopAfterFailures > 0 && count(Failed) >= m_rules.stopAfterFailures;
}

RolloutPlan::Step RolloutPlan::next()
{
    Step step;
    if (stopped()) {
        const int failed = count(Failed);
        step.skipped = skipWaiting(failed == 1 ? guiText("Not started: the run stopped after 1 failure.")
                                               : guiText("Not started: the run stopped after %1 failures.").arg(failed));
        return step;
    }
    const bool canariesFailed = canaryFailed();
    const bool canariesDone = canariesSucceeded();
    int running = count(Running);
    for (const QString& device : std::as_const(m_devices)) {
        if (m_states.value(device) != Waiting)
            continue;
        if (!isCanary(device)) {
            if (canariesFailed) {
                m_states[device] = Skipped;
                step.skipped.append({ device, guiText("Not started: a canary device did not succeed.") });
                continue;
            }
            // The canaries are the first devices: the rest wait behind them in order.
            if (!canariesDone)
                break;
        }
        if (m_rules.maxParallel > 0 && running >= m_rules.maxParallel)
            continue;
        m_states[device] = Running;
        step.start << device;
        ++running;
    }
    return step;
}

void RolloutPlan::ended(const QString& device, bool succeeded)
{
    auto it = m_states.find(device);
    if (it != m_states.end() && it.value() == Running)
        it.value() = succeeded ? Succeeded : Failed;
}

QList<QPair<QString, QString>> RolloutPlan::skipWaiting(const QString& reason)
{
    QList<QPair<QString, QString>> skipped;
    for (const QString& device : std::as_const(m_devices)) {
        if (m_states.value(device) == Waiting) {
            m_states[device] = Skipped;
            skipped.append({ device, reason });
        }
    }
    return skipped;
}

QString RolloutPlan::stageText() const
{
    if (!hasRules() || m_devices.isEmpty())
        return QString();
    const int failed = count(Failed);
    if (stopped() && count(Skipped) > 0)
        return failed == 1 ? guiText("Stopped after 1 failure; the rest are skipped")
                           : guiText("Stopped after %1 failures; the rest are skipped").arg(failed);
    const int canaries = canaryCount();
    if (canaries > 0 && canaries < m_devices.size()) {
        int done = 0;
        int notDone = 0;
        for (int i = 0; i < canaries; ++i) {
            const State state = m_states.value(m_devices.at(i));
            done += state == Succeeded ? 1 : 0;
            notDone += state == Failed || state == Skipped ? 1 : 0;
        }
        if (notDone > 0)
            return guiText("Canary: %1 of %2 failed; the rest are skipped").arg(notDone).arg(canaries);
        if (done < canaries)
            return guiText("Canary: %1 of %2 done; the rest wait").arg(done).arg(canaries);
        return guiText("Canary: %1 of %2 done; the rest start now").arg(done).arg(canaries);
    }
    const int started = int(m_devices.size()) - count(Waiting);
    if (m_rules.maxParallel > 0)
        return guiText("Started: %1 of %2, at most %3 at once").arg(started).arg(m_devices.size()).arg(m_rules.maxParallel);
    return guiText("Started: %1 of %2").arg(started).arg(m_devices.size());
}

QStringList RolloutPlan::stationOrder(const QStringList& ports, const QHash<QString, QString>& slotOf)
{
    QStringList ordered = ports;
    std::stable_sort(ordered.begin(), ordered.end(), [&slotOf](const QString& a, const QString& b) {
        const QString slotA = slotOf.value(a);
        const QString slotB = slotOf.value(b);
        if (slotA.isEmpty() != slotB.isEmpty())
            return !slotA.isEmpty();
        if (!slotA.isEmpty() && slotA != slotB)
            return naturalLess(slotA, slotB);
        return naturalLess(a, b);
    });
    return ordered;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
