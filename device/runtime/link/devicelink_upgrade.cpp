// Device software upgrade sequence.
#include "devicelink.h"
#include "devicelink_p.h"

#include "localizationhelper.h"

#include <QCryptographicHash>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::LocalizationHelper;

bool DeviceLink::upgradeDeviceSoftware(const QByteArray& packageContent)
{
    const Frame frame(this);
    if (packageContent.isEmpty() || !beginOperation(OperationResult::SoftwareUpgrade))
        return false;
    if (!isSerialPortOpen())
        return true;
    const int size = int(packageContent.size());
    setTotalFileSize(size);

    d->m_busy = true;
    d->m_operation = SendSoftwarePackage;
    QCryptographicHash md5(QCryptographicHash::Md5);
    for (qsizetype offset = 0; offset < packageContent.size(); offset += 1024)
        md5.addData(QByteArrayView(packageContent.constData() + offset, qMin<qsizetype>(1024, packageContent.size() - offset)));
    const QString digest = QString::fromLatin1(md5.result().toHex()).toLower();

    setTransferFile(packageContent, QStringLiteral("update.tar.gz"));
    prepareSend();
    startWatchdog(16000);
    d->m_port->write(QStringLiteral("#RTLD<%1>[%2]%3#").arg(d->m_remotePath, digest, QString::number(size)).toLatin1());
    d->m_port->flush();
    d->m_busy = false;
    return true;
}

void DeviceLink::onUpgradeDeviceStatusChange(int status)
{
    const Frame frame(this);
    if (d->m_kind != OperationResult::SoftwareUpgrade)
        return;
    switch (status) {
    case UpgradePackageAccepted:
        stopWatchdog();
        startTransfer();
        emit progressMessage(rt("Uploading device software..."));
        break;
    case UpgradePackageSent:
        // Installing the package is the device's own pace.
        startDeviceWait(8000);
        d->m_transferMode = 0;
        emit progressMessage(rt("Waiting for device to install upgrade package..."));
        break;
    case UpgradeInstalled:
        // The device installs the package and restarts by itself.
        endOperation(OperationResult::Succeeded, QString(), true);
        break;
    case UpgradeChecksumFailed:
        endOperation(OperationResult::Failed, rt("The checksum of the upgrade package does not match."));
        break;
    default:
        break;
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
