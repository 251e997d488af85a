#ifndef EVENTWAIT_H
#define EVENTWAIT_H

#include <functional>

// Waits until the condition holds, at most timeoutMs, inside a running event loop.
// QTest::qWait and qWaitFor sleep 10 ms between event passes, which adds up to 10 ms to
// every reply a packet transfer waits for; this wait handles I/O the moment it arrives.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

// Lets the event loop run for the given time.
void waitEvents(int ms);

#endif // EVENTWAIT_H
