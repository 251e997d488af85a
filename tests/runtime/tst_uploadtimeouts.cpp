// Project upload with the device silent after one step's command: the operation
// ends once, with that step's time-out text, and the manager is idle again.
#include "englishtexts.h"
#include "silentstepcases.h"

#include <QTest>

class TestUploadTimeouts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useEnglishTexts();
        useShortTimeouts();
        qRegisterMetaType<Orvane::Tavrix::Runtime::OperationResult>();
        QVERIFY(Orvane::Tavrix::Runtime::SerialPortManager::instance());
    }

    void silentStepEndsWithItsText_data() { SilentStepCases::addRows(QStringLiteral("upload")); }
    void silentStepEndsWithItsText() { SilentStepCases::run(); }
};

QTEST_GUILESS_MAIN(TestUploadTimeouts)
#include "tst_uploadtimeouts.moc"
