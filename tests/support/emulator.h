#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QProcess;

// Runs build/bin/dovrel-device-emulator for a test: one emulated display
// device on a pseudo terminal, with a fresh device folder and a transcript.
//
//   DeviceEmulator device;
//   QVERIFY(device.start({"--populate", "--fault", "silent:MODE:1"}));
//   ... open device.portPath() ...
//   QVERIFY(device.waitForCommand("MODE", 5000));
//   QCOMPARE(device.commands(), QStringList{"#MODE<1>#"});
class DeviceEmulator : public QObject
{
    Q_OBJECT
public:
    explicit DeviceEmulator(QObject* parent = nullptr);
    ~DeviceEmulator() override;

    static QString programPath();

    // Starts the emulator with --root rootPath() (unless args name a --root
    // of their own), --link, --transcript and args; waits up to 10 s for the
    // port path. "--populate" fills the root with the sample device.
    bool start(const QStringList& args = {});
    bool isRunning() const;
    // Exit code once the emulator ended by itself (e.g. an unplug fault); -1 while running.
    int exitCode() const;
    // Waits until the process has ended (e.g. after an unplug fault).
    bool waitForExit(int ms = 10000);

    // The serial port path: a symbolic link that disappears on unplug.
    QString portPath() const { return m_portPath; }
    // The pseudo terminal itself ("/dev/pts/N"), where a real device's port would live.
    QString ptyPath() const { return m_ptyPath; }
    QString rootPath() const { return m_rootPath; }
    QString transcriptPath() const { return m_transcriptPath; }
    // Local path of a file on the device, e.g. "qml/project/main.qml".
    QString filePath(const QString& relative) const;
    // Writes a file into the device folder, creating folders.
    bool putFile(const QString& relative, const QByteArray& content) const;
    QByteArray readFile(const QString& relative) const;

    QList<QJsonObject> transcript() const;
    QList<QJsonObject> events(const QString& type) const;
    // Texts of the "command" events in order, e.g. "#MODE<1>#".
    QStringList commands() const;
    // How many commands so far start with prefix (with its leading '#').
    int commandCount(const QString& prefix) const;
    QStringList replies() const;
    // prefix with or without the leading '#'; true once such a command arrived.
    bool waitForCommand(const QString& prefix, int ms = 10000) const;
    bool waitForEvent(const QString& type, int ms = 10000) const;

    // Like pulling the cable: SIGKILL the process and remove its link.
    void unplug();
    // SIGTERM, then SIGKILL if it does not end within 5 s.
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess* m_process = nullptr;
    QString m_rootPath;
    QString m_portPath;
    QString m_ptyPath;
    QString m_linkPath;
    QString m_transcriptPath;
    // An open end of the pseudo terminal, held until the next start or the end of this object.
    int m_reservation = -1;
    void releaseReservation();
};
