#include "fuzzdevice.h"

#include "fuzzsupport.h"
#include "ptydevice.h"

#include "calibrationinfo.h"
#include "serialportmanager.h"

#include <QDir>

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Runtime::SerialPortManager;

FuzzDevice& FuzzDevice::instance()
{
    static FuzzDevice device;
    return device;
}

FuzzDevice::FuzzDevice()
{
    if (!m_line.device().connectToManager(true))
        qFatal("the fuzz device was not identified by the serial port manager");
    // From here on every byte the device sends comes from the input.
    m_line.device().setAutoIdentify(false);
    if (qEnvironmentVariableIntValue("DOVREL_FUZZ_VERBOSE") != 0) {
        QObject::connect(SerialPortManager::instance(), &SerialPortManager::operationEnded,
                         [](const Orvane::Tavrix::Runtime::OperationResult& result) {
                             qInfo() << "operation ended:" << result.outcome << result.message;
                         });
    }
    FuzzSupport::writeScratchFile(QStringLiteral("font.ttf"), QByteArray(1500, 'F'));
    FuzzSupport::writeScratchFile(QStringLiteral("dataLogging.txdb"), QByteArray(2100, 'L'));
}

bool FuzzDevice::start(Operation operation)
{
    SerialPortManager* manager = SerialPortManager::instance();
    switch (operation) {
    case DataLogRetrieval:
        return manager->retrieveDataLogFile(FuzzSupport::scratchPath(QString()));
    case ProjectRetrieval:
        QDir(FuzzSupport::scratchPath(QStringLiteral("project"))).removeRecursively();
        return manager->retrieveProjectFiles(FuzzSupport::scratchPath(QStringLiteral("project")));
    case FontListing:
        return manager->getInstalledFonts();
    case CalibrationBackup: {
        CalibrationInfo info;
        info.setBackup(true);
        return manager->configureDevice(&info);
    }
    case SoftwareUpgrade:
        return manager->upgradeDeviceSoftware(QByteArray(2500, 'U'));
    case FontUpload:
        return manager->manageFonts({ { FuzzSupport::scratchPath(QStringLiteral("font.ttf")), 1500 } }, {});
    case DataLogUpdate:
        return manager->updateLogFile(FuzzSupport::scratchPath(QStringLiteral("dataLogging.txdb")));
    case OperationCount:
        break;
    }
    return false;
}

void FuzzDevice::converse(Operation operation, const QByteArray& conversation)
{
    SerialPortManager* manager = SerialPortManager::instance();
    if (!start(operation))
        qFatal("the serial port manager refused an operation while idle");
    m_line.converse(conversation, [manager] { return manager->isSerialPortOpen(); });
    // Whatever the operation still waits for, the next input starts from an idle manager.
    manager->resetAllStatus();
    manager->closeSerialPort();
    m_line.flush();
}
