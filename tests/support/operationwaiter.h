#ifndef OPERATIONWAITER_H
#define OPERATIONWAITER_H

#include "operationresult.h"

#include <QSignalSpy>

// Waits for the end of one device operation: SerialPortManager::operationEnded,
// which comes exactly once per started operation. Create it before starting.
//
//   OperationWaiter ended;
//   QVERIFY(manager->uploadProject(files, configuration));
//   QVERIFY(ended.wait());
//   QCOMPARE(ended.result().outcome, OperationResult::Succeeded);
class OperationWaiter
{
public:
    OperationWaiter();

    // True once the operation has ended; the bound is generous on a loaded machine.
    bool wait(int timeoutMs = 60000);
    // How often operationEnded came so far (an operation ends exactly once).
    int count() const { return int(m_spy.count()); }
    // The last result; a default one before the end.
    Orvane::Tavrix::Runtime::OperationResult result() const;

private:
    QSignalSpy m_spy;
};

#endif // OPERATIONWAITER_H
