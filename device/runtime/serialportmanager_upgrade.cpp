// Device software upgrade sequence.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

#include "localizationhelper.h"

#include <QCryptographicHash>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::LocalizationHelper;

void SerialPortManager::upgradeDeviceSoftware(const QByteArray& packageContent)
{
    if (d->m_busy || isSerialPortOpen())
        return;
    if (packageContent.isEmpty() || !openSerialPort())
        return;
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
    d->m_port->write(QStringLiteral("#RTLD<%1>[%2]%3#").arg(d->m_remotePath, digest).arg(size).toLatin1());
    d->m_port->flush();
    d->m_busy = false;
}

void SerialPortManager::onUpgradeDeviceStatusChange(int status)
{
    switch (status) {
    case 102:
        stopWatchdog();
        d->m_delayTimer->start(400);
        emit progressMessage(rt("Uploading device software..."));
        break;
    case 100:
        startWatchdog(8000);
        d->m_transferMode = 0;
        emit progressMessage(rt("Waiting for device to install upgrade package..."));
        break;
    case 101:
        d->m_operation = UpgradeFinished;
        resetAllStatus();
        closeSerialPort();
        emit progressFinished(true);
        break;
    case 103:
        resetAllStatus();
        closeSerialPort();
        // The sequence is over: later replies must not be routed to it.
        d->m_operation = 0;
        emit progressError(rt("The checksum of the upgrade package does not match."), false);
        break;
    default:
        break;
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
