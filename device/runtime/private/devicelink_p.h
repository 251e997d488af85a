#ifndef DEVICELINK_P_H
#define DEVICELINK_P_H

#include "configurationinfo.h"
#include "localizationhelper.h"
#include "operationresult.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// A device link text in the user's language; the English text is the key.
inline QString rt(const char* text)
{
    return Common::LocalizationHelper::runtimeString(QString::fromLatin1(text));
}

class DeviceLinkPrivate
{
public:
    // Core.
    QString m_portName;
    QMap<QString, QString> m_info; // the device's record, as discovery identified it
    bool m_present = true;       // false once the device has gone
    bool m_standIn = false;      // for an active port without a device: its port never opens
    bool m_forward = false;      // the manager re-emits this link's signals
    int m_managerCalls = 0;      // calls through the manager under way
    int m_frames = 0;            // link code on the stack (DeviceLink::Frame)
    bool m_releasePending = false; // deleted once the last frame has returned
    QSerialPort* m_port = nullptr;
    bool m_busy = false;
    int m_operation = 0;
    // The running operation; NoKind while idle.
    OperationResult::Kind m_kind = OperationResult::NoKind;
    QString m_rxText;
    // Asked to stop safely: nothing further is begun that is not needed to leave the device whole.
    bool m_stopRequested = false;
    bool m_abandoning = false;
    // A single command that waits for the clock's confirmation.
    QByteArray m_pendingCommand;
    int m_pendingOperation = 0;
    bool m_pendingRestarts = false;
    int m_transferMode = 0; // 0 text, 1 packet send, 2 packet receive
    QByteArray m_fileContent;
    QString m_remotePath;
    int m_fileSize = 0;
    QTimer* m_delayTimer = nullptr;
    QTimer* m_transferTimer = nullptr;

    // Packet engine.
    int m_blockNumber = 0;
    int m_blockCount = 0;
    int m_blocksSent = 0;
    int m_bytesLeft = 0;
    bool m_txStarted = false;
    int m_rxBlockLength = 0;
    QByteArray m_rxPacket;
    int m_rxErrorCount = 0;
    int m_rxLastBlock = -1;     // block number of the last accepted packet (duplicate detection)
    QByteArray m_lastPacket;    // last packet written, resent unchanged on NAK
    char m_txPrevByte = 0;      // byte before the current one while waiting for the receiver's "C"

    // Upload sequence.
    QStringList m_uploadFiles;
    int m_uploadIndex = 0;
    Common::ConfigurationInfo m_projectConfig;
    bool m_canConfigPending = false;

    // Retrieval sequences.
    QString m_retrieveDir;
    QString m_localFilePath;
    QString m_logFilePath;
    QByteArray m_logContent;     // the update's bytes, read when it starts
    bool m_logMovedAside = false; // the device's log is in its backup name
    bool m_noDataLog = false;     // the retrieval found no log on the device
    struct PendingEnd
    {
        OperationResult::Outcome outcome = OperationResult::Failed;
        QString message;
        bool deviceRestarts = false;
    };
    PendingEnd m_pendingEnd;      // reported once the log is back in place
    int m_fileNumber = 0;
    QStringList m_projectFiles;
    int m_listEntryIndex = 0;

    // Configuration sequence.
    QList<int> m_configJobs;
    int m_configJobIndex = 0;
    int m_configStep = 0;
    bool m_commitPending = false;
    bool m_configRunning = false;
    QString m_newDeviceName;
    int m_timeZone = 0;
    bool m_batteryLowCheck = true;
    QByteArray m_splashData;

    // Font sequence.
    QStringList m_fontList;
    int m_fontIndex = 0;
    QMap<QString, qint64> m_fontsToAdd;
    bool m_hasFontsToAdd = false;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICELINK_P_H
