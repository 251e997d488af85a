// Signed packages where the user works (the Setting menu, a row's upload, the Batch window),
// against emulated devices that restart; signed by the real minisign with fresh keys.
#include "batchdevicemodel.h"
#include "batchwindow.h"
#include "deviceitemwidget.h"
#include "englishtexts.h"
#include "eventwait.h"
#include "localizationhelper.h"
#include "mainwindow.h"
#include "minisignsigner.h"
#include "modaluser.h"
#include "packagesignature.h"
#include "projectpackage.h"
#include "restartingdevice.h"
#include "signaturerequirement.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>

using namespace Orvane::Tavrix::Designer;
using namespace Orvane::Tavrix::Common;

class TestSignedPackages : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temp;
    MainWindow* m_window = nullptr;
    MinisignSigner m_trusted;
    MinisignSigner m_stranger;
    int m_count = 0;

    QString project(MinisignSigner* signer)
    {
        const QString path = m_temp.filePath(QStringLiteral("line%1.txdevproj").arg(++m_count));
        const bool ok = writeProjectPackage(path, { { "project/main.qml", "import QtQuick 2.0\nItem { }\n" } });
        return ok && (!signer || signer->sign(path, QStringLiteral("line 3"))) ? path : QString();
    }
    // As the user ticks it: the Setting menu's entry.
    void requireSignatures() { m_window->menuBar()->findChild<QAction*>(QStringLiteral("requireSignedPackagesAction"))->trigger(); }
    DeviceItemWidget* startDevice(RestartingDevice& device)
    {
        const QString serial = QStringLiteral("2360SG%1").arg(++m_count, 3, 10, QLatin1Char('0'));
        if (device.start({ "--populate", "--serial", serial }))
            waitUntil([&]() { return m_window->rowForSerial(serial) != nullptr; }, 30000);
        return m_window->rowForSerial(serial);
    }

private slots:
    void initTestCase()
    {
        if (!RestartingDevice::devIsWritable())
            QSKIP("The devices' ports live under /dev, which is not writable here.");
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
        useEnglishTexts();
        QVERIFY(m_trusted.create() && m_stranger.create());
        qputenv("DOVREL_TRUSTED_KEYS", m_trusted.keysFolder().toLocal8Bit());
        m_window = new MainWindow;
        m_window->setUpWindow();
        m_window->show();
    }

    void cleanupTestCase() { delete m_window; }

    void cleanup()
    {
        SignatureRequirement::instance()->setRequired(false);
        delete m_window->batchWindow();
    }

    // Ticked in the Setting menu, the setting makes a row refuse an unsigned package before a
    // byte is sent, with a box that says why; a signed one goes, its window naming the signer.
    void rowRequiresSignedPackages()
    {
        requireSignatures();
        RestartingDevice device;
        DeviceItemWidget* row = startDevice(device);
        QVERIFY(row);
        ModalUser user(60000);
        row->uploadProjectWithFile(project(nullptr));
        QCOMPARE(user.boxes().size(), 1);
        QCOMPARE(user.boxes().first().title, PackageSignature::refusalTitle());
        QVERIFY2(user.describe().contains(QStringLiteral("it is not signed")), qPrintable(user.describe()));
        QVERIFY(device.onlyIdentified());

        user.answer(guiText("Upload Project"), guiText("Yes"));
        row->uploadProjectWithFile(project(&m_trusted));
        const QString signedBy = deviceText("Signed by %1 (%2)").arg(m_trusted.keyId(), QStringLiteral("line 3"));
        QVERIFY2(user.describe().contains(signedBy), qPrintable(user.describe())); // in the upload window alone
        QCOMPARE(device.emulator.commandCount(QStringLiteral("#LOAD<config.txrc>")), 1);
    }

    // The Batch window's header names the signer; production mode stops when the setting is
    // ticked under an unsigned package, and says it follows the setting; an untrusted package
    // is then refused with its key; the CSV keeps the key of the one that went out.
    void batchWindow()
    {
        RestartingDevice device;
        QVERIFY(startDevice(device));
        m_window->showBatch();
        BatchWindow* batch = m_window->batchWindow();
        QVERIFY(batch->setPackage(project(nullptr)));
        QCOMPARE(batch->signatureLabel()->text(), deviceText("Not signed"));
        ModalUser user(60000);
        user.answer(guiText("Upload Project"), guiText("Yes"));
        batch->productionBox()->click();
        QVERIFY(batch->model()->isProductionMode() && !batch->signatureRuleLabel()->isVisible());
        requireSignatures();
        QVERIFY(!batch->model()->isProductionMode() && !batch->productionBox()->isChecked() && batch->signatureRuleLabel()->isVisible());
        QVERIFY2(user.boxes().value(1).texts.join(' ').contains(QStringLiteral("it is not signed")), qPrintable(user.describe()));

        QVERIFY(!batch->setPackage(project(&m_stranger)));
        QCOMPARE(user.boxes().value(2).title, PackageSignature::refusalTitle());
        QVERIFY2(user.boxes().value(2).texts.join(' ').contains(m_stranger.keyId()), qPrintable(user.describe()));

        QVERIFY(batch->setPackage(project(&m_trusted)));
        QCOMPARE(batch->signatureLabel()->text(), deviceText("Signed by %1 (%2)").arg(m_trusted.keyId(), QStringLiteral("line 3")));
        user.answer(guiText("Upload Project"), guiText("Yes"));
        batch->startButton()->click();
        QVERIFY(waitUntil([&]() { return batch->model()->result(device.serial()).outcome == BatchResult::Done; }, 60000));
        const QString csv = m_temp.filePath(QStringLiteral("batch.csv"));
        QFile file(csv);
        QVERIFY(batch->saveCsv(csv) && file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.value(1).split(QLatin1Char(',')).mid(11, 2), QStringList({ m_trusted.keyId(), QStringLiteral("verified") }));
    }
};

QTEST_MAIN(TestSignedPackages)
#include "tst_signedpackages.moc"
