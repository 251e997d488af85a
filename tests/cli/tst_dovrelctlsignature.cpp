// Signed packages through the real dovrelctl against the emulated device: signatures made
// by the real minisign with fresh keys; a refused package reaches no device.
#include "dovrelctlrun.h"
#include "emulator.h"
#include "foldertree.h"
#include "minisignsigner.h"
#include "packagesignature.h"
#include "projectpackage.h"

#include <QJsonArray>
#include <QTest>

using Orvane::Tavrix::Common::PackageSignature;

class TestDovrelctlSignature : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    MinisignSigner m_trusted;
    MinisignSigner m_stranger;
    int m_count = 0;

    QString package(bool project)
    {
        const QString path = m_dir.filePath(QStringLiteral("p%1.%2").arg(++m_count).arg(project ? "txdevproj" : "txsw"));
        return !project ? writeSoftwarePackage(path, QStringLiteral("1.1.0.1910"), 3000)
                        : writeProjectPackage(path, { { "project/main.qml", "Item { }" } }) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_trusted.create() && m_stranger.create());
        // Without DOVREL_TRUSTED_KEYS: the user's folder beside the settings, where a file that is no key is left out.
        const QString keys = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Kavendi/Lumatra/trusted-keys/";
        QFile::remove(keys + "team.pub"); // an earlier run's
        QVERIFY(QDir().mkpath(keys) && QFile::copy(m_trusted.publicKeyPath(), keys + "team.pub"));
        QVERIFY(FolderTree::writeFile(keys + "broken.pub", "untrusted comment: x\nRWQ=\n"));
    }

    void refused_data()
    {
        QTest::addColumn<bool>("project");
        QTest::addColumn<QString>("arrange");
        QTest::addColumn<bool>("required");
        QTest::addColumn<int>("devices");
        QTest::addColumn<QString>("status");
        QTest::newRow("unsigned, required") << true << "" << true << 1 << "unsigned";
        QTest::newRow("untrusted key, required") << false << "stranger" << true << 1 << "untrusted";
        QTest::newRow("changed after signing") << true << "add-file" << false << 1 << "bad";
        QTest::newRow("another file's signature, two devices") << false << "other-file" << false << 2 << "bad";
    }

    void refused()
    {
        QFETCH(bool, project);
        QFETCH(QString, arrange);
        QFETCH(bool, required);
        QFETCH(int, devices);
        QFETCH(QString, status);
        const QString path = package(project);
        if (arrange == QLatin1String("stranger"))
            QVERIFY(m_stranger.sign(path, QStringLiteral("elsewhere")));
        if (arrange == QLatin1String("other-file"))
            QVERIFY(m_trusted.sign(m_trusted.publicKeyPath(), QStringLiteral("other"), false, PackageSignature::signaturePath(path)));
        if (arrange == QLatin1String("add-file")) {
            QVERIFY(m_trusted.sign(path, QStringLiteral("line 1")));
            QCOMPARE(QProcess::execute(QStringLiteral("zip"), { "-q", "-j", path, m_trusted.publicKeyPath() }), 0);
        }
        DeviceEmulator emulators[2];
        QStringList args;
        for (int i = 0; i < devices; ++i) {
            QVERIFY(emulators[i].start());
            args << "--port" << emulators[i].portPath();
        }
        args << "--json" << "--quiet" << (project ? "upload" : "upgrade") << path << "--yes";
        if (required)
            args << "--require-signature";
        const DovrelctlRun run = DovrelctlRun::start(args);
        QVERIFY2(run.isFailure(1), qPrintable(run.describe()));
        const QJsonObject signature = run.json.value("signature").toObject();
        QCOMPARE(signature.value("status").toString(), status);
        const QString keyId = arrange == QLatin1String("stranger") ? m_stranger.keyId() : m_trusted.keyId();
        if (!arrange.isEmpty()) {
            QCOMPARE(signature.value("keyId").toString(), keyId);
            QVERIFY2(run.json.value("error").toString().contains(keyId), qPrintable(run.describe()));
        }
        for (int i = 0; i < devices; ++i)
            QVERIFY2(emulators[i].commands().isEmpty(), "nothing reached the device");
    }

    // Verified, the upload goes on; its result and its history entry name the key.
    void verifiedUploadIsRecorded()
    {
        const QString path = package(true);
        QVERIFY(m_trusted.sign(path, QStringLiteral("release 7")));
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate" }));
        const DovrelctlRun run = DovrelctlRun::start(
            { "--port", device.portPath(), "--json", "--quiet", "upload", path, "--yes", "--require-signature" });
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        const QJsonObject signature = run.json.value("signature").toObject();
        QCOMPARE(signature, QJsonObject({ { "status", "verified" }, { "keyId", m_trusted.keyId() }, { "trustedComment", "release 7" } }));

        const DovrelctlRun history = DovrelctlRun::start({ "--json", "history", "--serial", "DV1000001" });
        const QJsonObject entry = history.json.value("entries").toArray().first().toObject();
        QCOMPARE(QStringList({ entry.value("signatureKeyId").toString(), entry.value("signatureStatus").toString() }),
                 QStringList({ m_trusted.keyId(), "verified" }));
    }
};

QTEST_GUILESS_MAIN(TestDovrelctlSignature)
#include "tst_dovrelctlsignature.moc"
