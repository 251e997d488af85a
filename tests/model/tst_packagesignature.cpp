// Package signatures made by the real minisign with a fresh key each run, judged as the
// package checks judge them before anything is sent.
#include "englishtexts.h"
#include "minisignsigner.h"
#include "packagesignature.h"
#include "projectpackage.h"
#include "projectpackagechecker.h"
#include "softwarepackagechecker.h"
#include "testutil.h"

#include <QTest>

using namespace Orvane::Tavrix::Common;

class TestPackageSignature : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    MinisignSigner m_trusted;
    MinisignSigner m_stranger;
    int m_count = 0;


private slots:
    void initTestCase()
    {
        useEnglishTexts();
        QVERIFY(m_trusted.create() && m_stranger.create());
        qputenv("DOVREL_TRUSTED_KEYS", m_trusted.keysFolder().toLocal8Bit());
    }

    void judged_data()
    {
        QTest::addColumn<QString>("arrange");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("namesKey");
        QTest::newRow("verified") << "sign" << int(PackageSignature::Verified) << true;
        QTest::newRow("legacy Ed") << "legacy" << int(PackageSignature::Verified) << true;
        QTest::newRow("unsigned") << "" << int(PackageSignature::Unsigned) << false;
        QTest::newRow("untrusted key") << "stranger" << int(PackageSignature::Untrusted) << true;
        QTest::newRow("changed after signing") << "add-file" << int(PackageSignature::Bad) << true;
        QTest::newRow("another file's signature") << "other-file" << int(PackageSignature::Bad) << true;
        QTest::newRow("trusted comment edited") << "edit-comment" << int(PackageSignature::Bad) << true;
        QTest::newRow("truncated") << "truncate" << int(PackageSignature::Bad) << false;
        QTest::newRow("garbled base64") << "garble" << int(PackageSignature::Bad) << false;
        QTest::newRow("unknown algorithm") << "algorithm" << int(PackageSignature::Bad) << false;
        QTest::newRow("a fifth line") << "extra-line" << int(PackageSignature::Bad) << false;
    }

    // Required or not, as the check before an upgrade judges it: a refused package leaves
    // nothing to send, and the refusal names the key.
    void judged()
    {
        QFETCH(QString, arrange);
        QFETCH(int, status);
        QFETCH(bool, namesKey);
        const QString package = writeSoftwarePackage(m_dir.filePath(QStringLiteral("sw%1.txsw").arg(++m_count)), "2.1.0.5", 4000);
        const QString signature = PackageSignature::signaturePath(package);
        MinisignSigner& signer = arrange == QLatin1String("stranger") ? m_stranger : m_trusted;
        if (arrange == QLatin1String("other-file"))
            QVERIFY(m_trusted.sign(m_trusted.publicKeyPath(), QStringLiteral("build 42"), false, signature));
        else if (!arrange.isEmpty())
            QVERIFY(signer.sign(package, QStringLiteral("build 42"), arrange == QLatin1String("legacy")));
        QList<QByteArray> lines = readFile(signature).split('\n');
        if (arrange == QLatin1String("add-file")) // still a valid package: the real zip adds one file
            QCOMPARE(QProcess::execute(QStringLiteral("zip"), { "-q", "-j", package, m_trusted.publicKeyPath() }), 0);
        else if (arrange == QLatin1String("edit-comment"))
            lines[2].replace("build 42", "build 43");
        else if (arrange == QLatin1String("truncate"))
            lines = lines.mid(0, 2);
        else if (arrange == QLatin1String("garble"))
            lines[1][10] = '*';
        else if (arrange == QLatin1String("algorithm"))
            lines[1] = QByteArray::fromBase64(lines[1]).replace(0, 2, "EX").toBase64();
        else if (arrange == QLatin1String("extra-line"))
            lines.insert(4, "untrusted comment: more");
        if (lines.size() > 1)
            QVERIFY(writeFile(signature, lines.join('\n')));

        for (const bool required : { false, true }) {
            SoftwarePackageChecker checker(package);
            checker.setSignatureRequired(required);
            const auto result = checker.check({ { "model", "QMX 70-A" }, { "firmware", "1.0.4" }, { "deviceAppVer", "2.1.0.5" } });
            QCOMPARE(int(checker.signature().status()), status);
            QCOMPARE(checker.signature().keyId(), namesKey ? signer.keyId() : QString());
            const bool allowed = status == PackageSignature::Verified || (!required && status != PackageSignature::Bad);
            QCOMPARE(result, allowed ? SoftwarePackageChecker::Accepted : SoftwarePackageChecker::SignatureRefused);
            QCOMPARE(checker.packageContent().isEmpty(), !allowed);
            QVERIFY2(allowed || !namesKey || checker.errorText().contains(signer.keyId()), qPrintable(checker.errorText()));
            // What the windows show; the trusted comment only once verified.
            const PackageSignature judged = checker.signature();
            const QStringList texts = { "Not signed", QStringLiteral("Signed by %1 (build 42)").arg(signer.keyId()),
                                        QStringLiteral("Signed by %1, a key that is not trusted").arg(signer.keyId()), "Bad signature" };
            QVERIFY2(judged.text().startsWith(texts.at(status)), qPrintable(judged.text()));
            QCOMPARE(judged.toJson().value("trustedComment").toString(), status == PackageSignature::Verified ? "build 42" : "");
        }
    }

    // What is unpacked is what was judged: a package swapped after its check is not read again.
    void projectUnpacksTheCheckedBytes()
    {
        const QString package = m_dir.filePath(QStringLiteral("line.txdevproj"));
        QVERIFY(writeProjectPackage(package, { { "project/main.qml", "Item { } // signed" } }));
        QVERIFY(m_trusted.sign(package, QStringLiteral("line 3")));
        ProjectPackageChecker checker(package);
        checker.setSignatureRequired(true);
        QCOMPARE(checker.read(), ProjectPackageChecker::Accepted);
        QVERIFY(QFile::remove(package) && writeProjectPackage(package, { { "project/main.qml", "Item { } // swapped" } }));
        QCOMPARE(checker.check({ { "model", "QMX 70-A" }, { "deviceAppVer", "2.1.6.2886" } }), ProjectPackageChecker::Accepted);
        QTemporaryDir out;
        QVERIFY(checker.extractTo(out.path()));
        QCOMPARE(readFile(out.filePath(QStringLiteral("project/main.qml"))), QByteArray("Item { } // signed"));
    }
};

QTEST_GUILESS_MAIN(TestPackageSignature)
#include "tst_packagesignature.moc"
