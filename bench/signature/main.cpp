// bench_signature: a device software package of 20 MB (an incompressible image), signed
// by the real minisign with a fresh key, prehashed ("ED", minisign's default) and legacy
// ("Ed"); then times, median of several runs,
//  1. the signature check alone, the package's bytes in memory (trusted keys read, the
//     signature file read and parsed, BLAKE2b-512 and two Ed25519 verifications);
//  2. the whole check before an upgrade (the file read, the signature judged, the package
//     unpacked into memory), signed against the same package unsigned.
// "bench_signature MB" uses another size.
#include "filehelper.h"
#include "packagesignature.h"
#include "softwarepackagechecker.h"
#include "ziphelper.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Orvane::Tavrix::Common;

namespace {

double medianMs(int runs, const std::function<void()>& work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times << double(clock.nsecsElapsed()) / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

bool minisign(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral("minisign"), args);
    process.closeWriteChannel();
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString copyOf(const QString& path, const QString& name)
{
    const QString copy = QFileInfo(path).dir().filePath(name);
    return QFile::copy(path, copy) ? copy : QString();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 20;
    if (QStandardPaths::findExecutable(QStringLiteral("minisign")).isEmpty()) {
        std::fprintf(stderr, "minisign is not installed (scripts/install-deps installs it)\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    QByteArray image(megabytes * 1024 * 1024, '\0');
    QRandomGenerator(39).fillRange(reinterpret_cast<quint32*>(image.data()), image.size() / 4);
    const QByteArray xml = "<?xml version=\"1.0\"?><Update><Info><NewRuntime Ver=\"2.2.0.3000\" Date=\"2026-03-14\"/></Info>"
                           "<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.1.6.2886\"/></Update>";
    const QString unsignedPackage = dir.filePath(QStringLiteral("unsigned.txsw"));
    if (!QDir().mkpath(source) || !FileHelper::writeDataToFile(xml, source + QStringLiteral("/update.xml"))
        || !FileHelper::writeDataToFile(image, source + QStringLiteral("/update.tar.gz"))
        || !ZipHelper::zipWithDirectoryContents(source, unsignedPackage, false, nullptr, QString(), Zip::Store)) {
        std::fprintf(stderr, "the package could not be written\n");
        return 1;
    }
    const QString keys = dir.filePath(QStringLiteral("keys"));
    const QString secret = dir.filePath(QStringLiteral("bench.key"));
    const QString prehashed = copyOf(unsignedPackage, QStringLiteral("prehashed.txsw"));
    const QString legacy = copyOf(unsignedPackage, QStringLiteral("legacy.txsw"));
    if (!QDir().mkpath(keys) || !minisign({ "-G", "-W", "-p", keys + QStringLiteral("/bench.pub"), "-s", secret })
        || !minisign({ "-S", "-s", secret, "-m", prehashed, "-t", "bench" })
        || !minisign({ "-S", "-l", "-s", secret, "-m", legacy, "-t", "bench" })) {
        std::fprintf(stderr, "minisign could not make the key or the signatures\n");
        return 1;
    }
    qputenv("DOVREL_TRUSTED_KEYS", keys.toLocal8Bit());
    const qint64 size = QFileInfo(prehashed).size();
    std::printf("package: %.1f MB (%lld bytes)\n\n", double(size) / 1e6, size);

    std::printf("1. signature check, the package in memory (median of 15)\n");
    for (const QString& path : { prehashed, legacy }) {
        const QByteArray content = FileHelper::getFileRawData(path);
        PackageSignature judged;
        const double ms = medianMs(15, [&]() { judged = PackageSignature::check(path, content); });
        std::printf("   %-28s %8.1f ms  %s\n", path == prehashed ? "prehashed (ED, BLAKE2b-512)" : "legacy (Ed)", ms,
                    qPrintable(judged.text()));
    }

    std::printf("\n2. the check before an upgrade: read, judged, unpacked (median of 7)\n");
    double unsignedMs = 0;
    for (const QString& path : { unsignedPackage, prehashed, legacy }) {
        SoftwarePackageChecker::Result result = SoftwarePackageChecker::Accepted;
        const double ms = medianMs(7, [&]() {
            SoftwarePackageChecker checker(path);
            checker.setSignatureRequired(path != unsignedPackage);
            result = checker.read();
        });
        if (path == unsignedPackage)
            unsignedMs = ms;
        std::printf("   %-28s %8.1f ms  %s\n", qPrintable(QFileInfo(path).completeBaseName()), ms,
                    result == SoftwarePackageChecker::Accepted ? "accepted" : "refused");
    }
    std::printf("   (unsigned: %.1f ms; the rest is what the signature adds)\n", unsignedMs);
    return 0;
}
