// Splash image and calibration file operations.
#include "devicelink.h"
#include "devicelink_p.h"

#include "texthelper.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

// Devices of this model family have a 480x272 screen; all others 1024x600.
bool isSmallScreenModel(const QString& model)
{
    return model.startsWith(QLatin1String("QMX 50-B"), Qt::CaseSensitive);
}

// The first software release names its splash files differently.
bool isFirstRelease(const QString& version)
{
    return Common::TextHelper::versionCompare(version, QStringLiteral("1.0.0.1678")) == 0;
}

} // namespace

void DeviceLink::remoteRestoreSplashScreen()
{
    QByteArray command;
    if (isFirstRelease(deviceSoftwareVersion()))
        command = "#UNIX<cp ./splash_480.bmp ./qml/user_splash_480.bmp>#";
    else if (isSmallScreenModel(deviceModel()))
        command = "#UNIX<cp ./splash480x272.bmp ./qml/user_splash480x272.bmp>#";
    else
        command = "#UNIX<cp ./splash1024x600.bmp ./qml/user_splash1024x600.bmp>#";
    writeCommand(command, RestoreSplash);
}

void DeviceLink::remoteMoveSplashScreen()
{
    QByteArray command;
    if (isFirstRelease(deviceSoftwareVersion()))
        command = "#UNIX<mv ./tmp/user_splash480x272.bmp ./qml/user_splash_480.bmp>#";
    else if (isSmallScreenModel(deviceModel()))
        command = "#UNIX<mv ./tmp/user_splash480x272.bmp ./qml/user_splash480x272.bmp>#";
    else
        command = "#UNIX<mv ./tmp/user_splash1024x600.bmp ./qml/user_splash1024x600.bmp>#";
    writeCommand(command, InstallSplash);
}

void DeviceLink::remoteUploadSplashScreenFile()
{
    if (d->m_busy || !isSerialPortOpen())
        return;
    const QString remoteName = isSmallScreenModel(deviceModel()) ? QStringLiteral("user_splash480x272.bmp")
                                                                 : QStringLiteral("user_splash1024x600.bmp");
    d->m_busy = true;
    d->m_operation = SendSplashImage;
    setTransferFile(d->m_splashData, remoteName);
    if (d->m_fileSize > 0) {
        setTotalFileSize(d->m_fileSize);
        prepareSend();
        startWatchdog(5000);
        d->m_port->write(QStringLiteral("#LOAD<%1>%2#").arg(remoteName, QString::number(d->m_fileSize)).toLatin1());
        d->m_port->flush();
    }
    d->m_busy = false;
}

void DeviceLink::remoteRestoreFile(const QString& localFilePath, const QString& remotePath)
{
    if (d->m_busy || !isSerialPortOpen())
        return;
    d->m_busy = true;
    d->m_operation = SendCalibrationFile;
    setTransferFile(localFilePath, remotePath);
    // An unreadable file leaves no content; its size must not announce stale bytes.
    d->m_fileSize = int(d->m_fileContent.size());
    if (d->m_fileSize > 0) {
        prepareSend();
        startWatchdog(5000);
        d->m_port->write(QStringLiteral("#LOAD<%1>%2#").arg(remotePath, QString::number(d->m_fileSize)).toLatin1());
        d->m_port->flush();
    }
    d->m_busy = false;
}

QString DeviceLink::deviceModel() const
{
    return deviceInformation().value(QStringLiteral("model"));
}

QString DeviceLink::deviceSoftwareVersion() const
{
    return deviceInformation().value(QStringLiteral("deviceAppVer"));
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
