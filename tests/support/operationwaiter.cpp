#include "operationwaiter.h"

#include "serialportmanager.h"

#include <QTest>

using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

OperationWaiter::OperationWaiter()
    : m_spy(SerialPortManager::instance(), &SerialPortManager::operationEnded)
{
}

bool OperationWaiter::wait(int timeoutMs)
{
    return QTest::qWaitFor([this]() { return !m_spy.isEmpty(); }, timeoutMs);
}

OperationResult OperationWaiter::result() const
{
    if (m_spy.isEmpty())
        return OperationResult();
    return m_spy.last().at(0).value<OperationResult>();
}
