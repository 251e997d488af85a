#pragma once

#include "emulatoroptions.h"
#include "faultplan.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class DeviceFileSystem;
class PseudoTerminal;
class QTimer;
class Transcript;

// The display device's runtime as seen from the serial line: parses the
// command stream, answers it, acts on the device folder and runs the packet
// transfers in both directions.
class EmulatedDevice : public QObject
{
    Q_OBJECT
public:
    EmulatedDevice(const EmulatorOptions& options, PseudoTerminal* terminal, DeviceFileSystem* files,
                   Transcript* transcript, FaultPlan* faults, QObject* parent = nullptr);

    void start();
    // Pulls the cable: link gone, fds closed, event written, event loop ends.
    void unplug(const QString& reason);

    struct Field {
        char kind; // '<', '[' or ' ' for a bare value
        QString value;
    };
    static QList<Field> parseFields(const QString& arguments);

private:
    enum class Mode { Text, Receiving, Sending };
    enum class ReceiveKind { Load, Rtld };

    void onReceived(const QByteArray& bytes);
    void processText();
    void handleCommand(const QByteArray& command);
    void execute(const QByteArray& command);
    void reply(const QByteArray& text);
    void sendRaw(const QByteArray& bytes);
    void flushGarbage();
    void log(const QString& line) const;

    QByteArray hardwareDescription();
    void answerHwcf();
    void commandUnix(const QString& line, bool forceError);
    void commandDtim(const QString& argument, bool forceError);
    void commandLogz(bool forceError);
    void commandGffs();
    void commandRmfs(const QList<Field>& fields, bool forceError);
    void commandGpfl();
    void commandGetf(const QString& path, bool forceError);
    void commandLoad(const QList<Field>& fields, bool forceError);
    void commandRtld(const QList<Field>& fields, bool forceError);
    void simulateReboot();
    void comeBack(const QString& link, int attempt);

    // Receiving side.
    void startReceive(ReceiveKind kind, const QString& localPath, qint64 size, const QString& md5, bool forceError);
    void onAskTimer();
    void handleReceiveBytes(const QByteArray& bytes);
    void acceptPacket(const QByteArray& packet);
    void finishReceive();
    void failTransfer(const QString& reason, QByteArray leftover = QByteArray());

    // Sending side.
    void startSend(const QString& localPath, const QByteArray& content);
    void handleSendBytes(const QByteArray& bytes);
    void sendCurrentPacket(bool corrupt);
    void finishSend();

    EmulatorOptions m_options;
    PseudoTerminal* m_terminal;
    DeviceFileSystem* m_files;
    Transcript* m_transcript;
    FaultPlan* m_faults;
    bool m_unplugged = false;
    bool m_paused = false;
    bool m_restarting = false;
    qint64 m_bytesReceived = 0;

    Mode m_mode = Mode::Text;
    QByteArray m_input;
    QByteArray m_garbage;
    int m_hwcfAnswers = 0;
    QStringList m_fontsToRemove;

    // Transfer state, shared by both directions.
    QTimer* m_askTimer;       // "C" repeats while the sender stays silent
    QTimer* m_idleTimer;      // gives up on a transfer that stalled
    QString m_transferPath;   // local path
    QByteArray m_transferData;
    int m_ordinal = 0;        // packet ordinal from 1; block number = ordinal & 0xff
    int m_errors = 0;

    ReceiveKind m_receiveKind = ReceiveKind::Load;
    qint64 m_announcedSize = 0;
    QString m_announcedMd5;
    bool m_forceRtldError = false;
    int m_asks = 0;
    bool m_packetSeen = false;
    QByteArray m_rxBuffer;

    QList<QByteArray> m_packets; // payloads, 128 or 1024 bytes
    bool m_waitingForC = false;
    bool m_resendPending = false;
    int m_contentSize = 0;
};
