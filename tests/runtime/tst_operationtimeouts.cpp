// Retrievals, configuration and single commands with the device silent after one step's command: the operation
// ends once, with that step's time-out text, and the manager is idle again.
#include "englishtexts.h"
#include "silentstepcases.h"

#include <QTest>

class TestOperationTimeouts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useEnglishTexts();
        qRegisterMetaType<Orvane::Tavrix::Runtime::OperationResult>();
        QVERIFY(Orvane::Tavrix::Runtime::SerialPortManager::instance());
    }

    void silentStepEndsWithItsText_data() { SilentStepCases::addRows(QStringLiteral("other")); }
    void silentStepEndsWithItsText() { SilentStepCases::run(); }
};

QTEST_GUILESS_MAIN(TestOperationTimeouts)
#include "tst_operationtimeouts.moc"
