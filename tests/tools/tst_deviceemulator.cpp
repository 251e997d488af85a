// Drives the device emulator over its pseudo terminal the way the utility
// does: text commands, XMODEM-1K transfers in both directions, faults, and
// the transcript that other tests rely on.

#include "emulator.h"
#include "eventwait.h"
#include "randomdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;

uint16_t crc16(const QByteArray& data)
{
    uint16_t crc = 0;
    for (const char byte : data) {
        crc ^= uint16_t(uint8_t(byte)) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

QByteArray packet(int block, const QByteArray& payload, bool breakCrc = false)
{
    QByteArray out;
    out.append(payload.size() == 128 ? SOH : STX);
    out.append(char(block & 0xff));
    out.append(char(255 - (block & 0xff)));
    out.append(payload);
    uint16_t crc = crc16(payload);
    if (breakCrc)
        crc ^= 0x0101;
    out.append(char(crc >> 8));
    out.append(char(crc & 0xff));
    return out;
}

QByteArray randomBytes(int size)
{
    return ::randomBytes(size, uint(size) * 7919u + 17u);
}

QString md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// The host's end of the line, plain POSIX like a serial port in raw mode.
class Line
{
public:
    ~Line() { close(); }

    bool open(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios tio{};
        tcgetattr(m_fd, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, B115200);
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_pending.clear();
    }

    bool write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            if (n < 0)
                return false;
            done += n;
        }
        return true;
    }

    // Reads until the collected bytes contain text; returns all collected
    // bytes up to and including it (the rest stays pending).
    QByteArray readUntil(const QByteArray& text, int ms = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const int at = m_pending.indexOf(text);
            if (at >= 0) {
                const QByteArray out = m_pending.left(at + text.size());
                m_pending.remove(0, out.size());
                return out;
            }
            if (clock.elapsed() > ms)
                return QByteArray();
            fill(50);
        }
    }

    // Exactly n bytes, or fewer on a time-out.
    QByteArray readBytes(int n, int ms = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (m_pending.size() < n && clock.elapsed() < ms)
            fill(50);
        const QByteArray out = m_pending.left(n);
        m_pending.remove(0, out.size());
        return out;
    }

    // Everything that arrives within ms.
    QByteArray readFor(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            fill(20);
        const QByteArray out = m_pending;
        m_pending.clear();
        return out;
    }

private:
    bool fill(int ms)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_pending.append(buffer, int(n));
        return true;
    }

    int m_fd = -1;
    QByteArray m_pending;
};

} // namespace

class TestDeviceEmulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void identification_data();
    void identification();
    void incompleteThenComplete();
    void rawAnswerAndBootAnnouncement();
    void bootUpPoke();
    void serialPortClient();

    void shellCommands_data();
    void shellCommands();
    void splitAndJoinedCommands();
    void deviceStateCommands();

    void loadTransfer_data();
    void loadTransfer();
    void loadRefusesBadPacketsAndKeepsDuplicatesOnce();
    void softwarePackageDigest_data();
    void softwarePackageDigest();

    void getfReadBack_data();
    void getfReadBack();
    void getfMissingFile();
    void zippedDataLog();
    void listsAndFonts();

    void commandFaults();
    void transferFaults_data();
    void transferFaults();
    void hostAbandonsTransfer_data();
    void hostAbandonsTransfer();
    void throttledTransfer();
    void rebootReplug();
    void unplugFault();
    void unplugByTest();

private:
    // Sends command and reads up to and including the expected end text.
    static QByteArray ask(Line& line, const QByteArray& command, const QByteArray& until, int ms = 5000)
    {
        if (!line.write(command))
            return QByteArray();
        return line.readUntil(until, ms);
    }

    // The utility's sending side of a transfer, after the acceptance.
    static bool sendFile(Line& line, const QByteArray& content, QByteArray* trace = nullptr);
    // The utility's receiving side; drops a repeated block like a careful receiver.
    static QByteArray receiveFile(Line& line, int size, QByteArray* trace = nullptr);
};

void TestDeviceEmulator::initTestCase()
{
    QVERIFY2(QFileInfo(DeviceEmulator::programPath()).isExecutable(), qPrintable(DeviceEmulator::programPath()));
}

bool TestDeviceEmulator::sendFile(Line& line, const QByteArray& content, QByteArray* trace)
{
    if (line.readBytes(1) != "C")
        return false;
    const int blocks = int((content.size() + 1023) / 1024);
    for (int i = 0; i < blocks; ++i) {
        QByteArray payload = content.mid(i * 1024, 1024);
        payload.append(QByteArray(1024 - payload.size(), 0x1A));
        for (int attempt = 0;; ++attempt) {
            if (attempt > 5 || !line.write(packet(i + 1, payload)))
                return false;
            const QByteArray answer = line.readBytes(1);
            if (trace)
                trace->append(answer);
            if (answer == QByteArray(1, ACK))
                break;
            if (answer != QByteArray(1, NAK))
                return false;
        }
    }
    line.write(QByteArray(1, EOT));
    return line.readBytes(1) == QByteArray(1, ACK);
}

QByteArray TestDeviceEmulator::receiveFile(Line& line, int size, QByteArray* trace)
{
    QByteArray content;
    int lastBlock = 0;
    line.write("C");
    for (int guard = 0; guard < 1000; ++guard) {
        const QByteArray head = line.readBytes(1);
        if (head.isEmpty())
            return QByteArray();
        if (head.at(0) == EOT)
            break;
        if (head.at(0) == CAN)
            return QByteArray();
        const int length = head.at(0) == SOH ? 128 : 1024;
        const QByteArray rest = line.readBytes(length + 4);
        if (rest.size() != length + 4)
            return QByteArray();
        const int block = uint8_t(rest.at(0));
        const QByteArray payload = rest.mid(2, length);
        const uint16_t crc = uint16_t((uint8_t(rest.at(2 + length)) << 8) | uint8_t(rest.at(3 + length)));
        if (trace)
            trace->append(head.at(0) == SOH ? 's' : 'S');
        if (block + uint8_t(rest.at(1)) != 255 || crc != crc16(payload)) {
            if (trace)
                trace->append('n');
            line.write(QByteArray(1, NAK));
            continue;
        }
        if (block != lastBlock) {
            content.append(payload);
            lastBlock = block;
        } else if (trace) {
            trace->append('d');
        }
        line.write(QByteArray(1, ACK));
    }
    return content.left(size);
}

void TestDeviceEmulator::identification_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("serial");

    const QStringList all = {"SER_NO", "MODELS", "FIRMWD", "DEVAPP", "DESAPP", "ADCCHN", "LCDVER", "LCDHOR",
                             "LCDBBP", "ALM_CH", "PHYADD", "PWM_CH", "DIO_CH", "BKLT", "LOTIZO", "DEVNAM"};
    QStringList without = all;
    without.removeAll("DESAPP");
    without.removeAll("PHYADD");
    without.removeAll("DEVNAM");
    QTest::newRow("defaults") << QStringList{} << all << "DV1000001";
    QTest::newRow("omitted entries") << QStringList{"--omit", "DESAPP,PHYADD", "--omit", "DEVNAM"} << without
                                     << "DV1000001";
    QTest::newRow("in chunks") << QStringList{"--hwcf-chunks", "5", "--serial", "SN-77"} << all << "SN-77";
}

void TestDeviceEmulator::identification()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, keys);
    QFETCH(QString, serial);

    DeviceEmulator device;
    QVERIFY(device.start(args));
    Line line;
    QVERIFY(line.open(device.portPath()));
    const QByteArray answer = ask(line, "#HWCF#", "<HWCFEND>");
    QVERIFY2(answer.startsWith("#HWCF#<SER_NO:"), answer.constData());

    QStringList seen;
    const QList<QByteArray> pieces = answer.mid(6).split('<');
    for (const QByteArray& piece : pieces) {
        if (piece.isEmpty() || piece == "HWCFEND>")
            continue;
        QVERIFY2(piece.endsWith('>') && piece.contains(':'), piece.constData());
        seen << QString::fromLatin1(piece.left(piece.indexOf(':')));
    }
    QCOMPARE(seen, keys);
    QVERIFY(answer.contains("<SER_NO:" + serial.toLatin1() + ">"));
    QVERIFY(answer.contains("<LCDHOR:1024><") && answer.contains("<LCDVER:600>"));
    QCOMPARE(device.commands(), QStringList{"#HWCF#"});
    QCOMPARE(device.replies(), QStringList{QString::fromLatin1(answer)});
}

void TestDeviceEmulator::rawAnswerAndBootAnnouncement()
{
    DeviceEmulator device;
    Line line;
    QVERIFY(device.start({"--hwcf-raw", "#HWCF#<SER_NO:><HWCFEND>", "--boot-up-on-start"}));
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(line.readUntil("<BOOT_UP>"), QByteArray("<BOOT_UP>"));
    QCOMPARE(ask(line, "#HWCF#", "<HWCFEND>"), QByteArray("#HWCF#<SER_NO:><HWCFEND>"));
}

void TestDeviceEmulator::incompleteThenComplete()
{
    DeviceEmulator device;
    QVERIFY(device.start({"--hwcf-incomplete", "1", "--name", "Line 3"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    const QByteArray first = ask(line, "#HWCF#", "<HWCFEND>");
    QVERIFY(!first.isEmpty());
    QVERIFY(!first.contains("DEVNAM"));
    const QByteArray second = ask(line, "#HWCF#", "<HWCFEND>");
    QVERIFY2(second.contains("<DEVNAM:Line 3>"), second.constData());
}

void TestDeviceEmulator::bootUpPoke()
{
    DeviceEmulator device;
    QVERIFY(device.start());
    Line line;
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ask(line, " ", "<BOOT_UP>"), QByteArray("<BOOT_UP>"));
    // Closing and reopening the port does not disturb the device.
    line.close();
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ask(line, "#MODE<2>#", ">"), QByteArray("<MODE_ACK>"));
}

// The utility's own port class with its line settings, reopened between
// operations as the utility does.
void TestDeviceEmulator::serialPortClient()
{
    DeviceEmulator device;
    QVERIFY(device.start());
    QSerialPort port;
    port.setPortName(device.portPath());
    for (const QByteArray& command : {QByteArray("#HWCF#"), QByteArray("#MODE<1>#")}) {
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        QVERIFY(port.setBaudRate(QSerialPort::Baud115200));
        QVERIFY(port.setDataBits(QSerialPort::Data8));
        QVERIFY(port.setParity(QSerialPort::NoParity));
        QVERIFY(port.setStopBits(QSerialPort::OneStop));
        port.setFlowControl(QSerialPort::HardwareControl);
        port.clear();
        QCOMPARE(port.write(command), qint64(command.size()));
        const QByteArray end = command == "#HWCF#" ? "<HWCFEND>" : "<MODE_ACK>";
        QByteArray answer;
        QVERIFY(waitUntil([&] {
            answer += port.readAll();
            return answer.endsWith(end);
        }, 10000));
        QVERIFY(answer.startsWith(command == "#HWCF#" ? "#HWCF#<SER_NO:" : "<MODE_ACK>"));
        port.close();
    }
}

void TestDeviceEmulator::shellCommands_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("mkdir twice") << QStringList{"mkdir ./tmp/project", "mkdir ./tmp/project"}
                                 << QStringList{"<UNIX:NOR>", "<UNIX:ERR>"} << QStringList{"tmp/project"}
                                 << QStringList{};
    QTest::newRow("mkdir without parent") << QStringList{"mkdir ./tmp/a/b"} << QStringList{"<UNIX:ERR>"}
                                          << QStringList{} << QStringList{"tmp/a"};
    QTest::newRow("rm missing, rm folder") << QStringList{"rm qml/none.txdb", "rm qml/project", "rm -r ./qml/project"}
                                           << QStringList{"<UNIX:ERR>", "<UNIX:ERR>", "<UNIX:NOR>"}
                                           << QStringList{"qml/config.txrc"} << QStringList{"qml/project"};
    QTest::newRow("ls") << QStringList{"ls qml/dataLogging.txdb", "ls -r ./tmp/project", "ls -r ./qml"}
                        << QStringList{"<UNIX:NOR>", "<UNIX:ERR>", "<UNIX:NOR>"} << QStringList{} << QStringList{};
    QTest::newRow("install project folder")
        << QStringList{"rm -r ./qml/project", "mkdir ./tmp/project", "mv tmp/project qml"}
        << QStringList{"<UNIX:NOR>", "<UNIX:NOR>", "<UNIX:NOR>"} << QStringList{"qml/project"}
        << QStringList{"tmp/project", "qml/project/project"};
    // As a real mv: a folder does not replace a non-empty one of the same name...
    QTest::newRow("mv onto non-empty folder") << QStringList{"mkdir ./tmp/project", "mv tmp/project qml"}
                                              << QStringList{"<UNIX:NOR>", "<UNIX:ERR>"}
                                              << QStringList{"tmp/project", "qml/project/main.qml"}
                                              << QStringList{"qml/project/project"};
    // ...and lands inside an existing folder named as the target.
    QTest::newRow("mv into existing folder") << QStringList{"mkdir ./tmp/project", "mv tmp/project qml/project"}
                                             << QStringList{"<UNIX:NOR>", "<UNIX:NOR>"}
                                             << QStringList{"qml/project/project", "qml/project/main.qml"}
                                             << QStringList{"tmp/project"};
    QTest::newRow("mv replaces empty folder")
        << QStringList{"rm -r ./qml/project", "mkdir ./qml/project", "mkdir ./tmp/project", "mv tmp/project qml"}
        << QStringList{"<UNIX:NOR>", "<UNIX:NOR>", "<UNIX:NOR>", "<UNIX:NOR>"} << QStringList{"qml/project"}
        << QStringList{"tmp/project", "qml/project/project"};
    QTest::newRow("mv missing source") << QStringList{"mv tmp/config.txrc qml/config.txrc"}
                                       << QStringList{"<UNIX:ERR>"} << QStringList{"qml/config.txrc"}
                                       << QStringList{};
    QTest::newRow("absolute device paths")
        << QStringList{"cp ./cal_list.txt ./tmp/cal_list.txt", "mv ./tmp/cal_list.txt /home/DuDov_ODU/qml/cal.txt"}
        << QStringList{"<UNIX:NOR>", "<UNIX:NOR>"} << QStringList{"qml/cal.txt", "cal_list.txt"}
        << QStringList{"tmp/cal_list.txt"};
    QTest::newRow("splash copy") << QStringList{"cp ./splash1024x600.bmp ./qml/user_splash1024x600.bmp", "cp ./qml ./tmp"}
                                 << QStringList{"<UNIX:NOR>", "<UNIX:ERR>"}
                                 << QStringList{"qml/user_splash1024x600.bmp", "splash1024x600.bmp"}
                                 << QStringList{"tmp/qml"};
    QTest::newRow("not through a link either")
        << QStringList{"ls outside/", "cp cal_list.txt outside/x", "rm -r outside/sub"}
        << QStringList{"<UNIX:ERR>", "<UNIX:ERR>", "<UNIX:ERR>"} << QStringList{"outside/sub"} << QStringList{};
    QTest::newRow("never outside the root")
        << QStringList{"ls ../", "rm -r /etc", "mkdir ../../escape", "cp cal_list.txt /tmp/x", "rm -r .", "ls ; rm cal_list.txt"}
        << QStringList{"<UNIX:ERR>", "<UNIX:ERR>", "<UNIX:ERR>", "<UNIX:ERR>", "<UNIX:ERR>", "<UNIX:ERR>"}
        << QStringList{"cal_list.txt", "qml"} << QStringList{};
}

void TestDeviceEmulator::shellCommands()
{
    QFETCH(QStringList, commands);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);

    DeviceEmulator device;
    QTemporaryDir elsewhere;
    QVERIFY(QDir(elsewhere.path()).mkdir("sub"));
    QVERIFY(QFile::link(elsewhere.path(), device.filePath("outside")));
    QVERIFY(device.start({"--populate"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QStringList sent;
    for (int i = 0; i < commands.size(); ++i) {
        const QByteArray command = "#UNIX<" + commands.at(i).toLatin1() + ">#";
        sent << QString::fromLatin1(command);
        QCOMPARE(QString::fromLatin1(ask(line, command, ">")), replies.at(i));
    }
    for (const QString& path : present)
        QVERIFY2(QFileInfo::exists(device.filePath(path)), qPrintable(path));
    for (const QString& path : absent)
        QVERIFY2(!QFileInfo::exists(device.filePath(path)), qPrintable(path));
    QVERIFY(!QFileInfo::exists(QDir(device.rootPath()).filePath("../escape")));
    QCOMPARE(device.commands(), sent);
    QCOMPARE(device.replies(), replies);
}

void TestDeviceEmulator::splitAndJoinedCommands()
{
    DeviceEmulator device;
    QVERIFY(device.start({"--populate"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    // One command split over writes, then several in one write, with noise between.
    QVERIFY(line.write("#UNI"));
    QTest::qWait(50);
    QVERIFY(line.write("X<ls qml/config.txrc"));
    QTest::qWait(50);
    QVERIFY(line.write(">#"));
    QCOMPARE(line.readUntil(">"), QByteArray("<UNIX:NOR>"));
    QVERIFY(line.write("#SVCF#xx##SNAM<My #1 panel>##CHBT<1>#"));
    QCOMPARE(line.readUntil("<CHBT:NOR>"), QByteArray("<SVCF:NOR><SNAM:NOR><CHBT:NOR>"));
    QCOMPARE(device.commands(),
             (QStringList{"#UNIX<ls qml/config.txrc>#", "#SVCF#", "#SNAM<My #1 panel>#", "#CHBT<1>#"}));
    QVERIFY(ask(line, "#HWCF#", "<HWCFEND>").contains("<DEVNAM:My #1 panel>"));
}

void TestDeviceEmulator::deviceStateCommands()
{
    DeviceEmulator device;
    // The state kept through "#BOOT#" is asked on the same line.
    QVERIFY(device.start({ "--stay-on-reboot" }));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ask(line, "#DTIM<2026-03-29 02:30:00:250  330>#", ">"), QByteArray("<DTIM:NOR>"));
    QCOMPARE(ask(line, "#DTIM<2026-02-30 10:00:00:000    0>#", ">"), QByteArray("<DTIM:ERR>"));
    QCOMPARE(ask(line, "#DTIM<2026-01-01 10:00:00   60>#", ">"), QByteArray("<DTIM:ERR>"));
    QCOMPARE(ask(line, "#DTIM<2026-01-01 10:00:00:000  721>#", ">"), QByteArray("<DTIM:ERR>"));
    QCOMPARE(ask(line, "#TCAL#", "#TCAL#"), QByteArray("#TCAL#"));
    // No answer to these; the next command is answered in order.
    QVERIFY(line.write("#BKLT<35>##DIGC<03><OUT><HI>##SINF##FINF<123>##XYZW<1>#"));
    QCOMPARE(ask(line, "#BOOT#", ">"), QByteArray("<BOOT:NOR>"));
    const QByteArray description = ask(line, "#HWCF#", "<HWCFEND>");
    QVERIFY2(description.contains("<BKLT:35>") && description.contains("<LOTIZO:330>"), description.constData());
    QCOMPARE(device.events("unknown").size(), 1);
    QCOMPARE(device.events("reboot").size(), 1);
}

void TestDeviceEmulator::loadTransfer_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("answers");

    QTest::newRow("one full block") << QStringList{} << 1024 << QByteArray(1, ACK);
    QTest::newRow("padded last block") << QStringList{} << 2000 << QByteArray(2, ACK);
    QTest::newRow("one byte over") << QStringList{} << 1025 << QByteArray(2, ACK);
    QTest::newRow("refused block 2") << QStringList{"--fault", "nak:2:2"} << 3000
                                     << QByteArray() + ACK + NAK + NAK + ACK + ACK;
    // Block 256 carries the number 0.
    QTest::newRow("block numbers wrap") << QStringList{} << 257 * 1024 + 5 << QByteArray(258, ACK);
}

void TestDeviceEmulator::loadTransfer()
{
    QFETCH(QStringList, args);
    QFETCH(int, size);
    QFETCH(QByteArray, answers);

    DeviceEmulator device;
    QVERIFY(device.start(args << "--c-delay" << "0"));
    Line line;
    QVERIFY(line.open(device.portPath()));
    const QByteArray content = randomBytes(size);
    const QByteArray announce = "#LOAD<project/images/pic.png>" + QByteArray::number(size) + "#";
    QCOMPARE(ask(line, announce, ">"), QByteArray("<LOAD:ACK>"));
    QByteArray trace;
    QVERIFY(sendFile(line, content, &trace));
    QCOMPARE(trace, answers);
    QVERIFY(device.waitForEvent("file-received"));
    QCOMPARE(device.readFile("tmp/project/images/pic.png"), content);
    const QJsonObject event = device.events("file-received").first();
    QCOMPARE(event.value("name").toString(), QString("tmp/project/images/pic.png"));
    QCOMPARE(event.value("size").toInt(), size);
    QCOMPARE(event.value("md5").toString(), md5(content));
    // Back in text mode afterwards.
    QCOMPARE(ask(line, "#UNIX<ls -r ./tmp/project>#", ">"), QByteArray("<UNIX:NOR>"));
}

void TestDeviceEmulator::loadRefusesBadPacketsAndKeepsDuplicatesOnce()
{
    DeviceEmulator device;
    QVERIFY(device.start({"--c-delay", "0"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    const QByteArray content = randomBytes(1500);
    QByteArray first = content.left(1024);
    QByteArray second = content.mid(1024);
    second.append(QByteArray(1024 - second.size(), 0x1A));
    QCOMPARE(ask(line, "#LOAD<config.txrc>1500#", ">"), QByteArray("<LOAD:ACK>"));
    QCOMPARE(line.readBytes(1), QByteArray("C"));

    QByteArray badComplement = packet(1, first);
    badComplement[2] = 0;
    line.write(badComplement);
    QCOMPARE(line.readBytes(1), QByteArray(1, NAK));
    line.write(packet(1, first, true));
    QCOMPARE(line.readBytes(1), QByteArray(1, NAK));
    // Sent in pieces, as a slow line delivers it.
    const QByteArray good = packet(1, first);
    line.write(good.left(10));
    QTest::qWait(30);
    line.write(good.mid(10, 500));
    QTest::qWait(30);
    line.write(good.mid(510));
    QCOMPARE(line.readBytes(1), QByteArray(1, ACK));
    line.write(good); // as if the ACK had been lost
    QCOMPARE(line.readBytes(1), QByteArray(1, ACK));
    line.write(packet(2, second));
    QCOMPARE(line.readBytes(1), QByteArray(1, ACK));
    line.write(QByteArray(1, EOT));
    QCOMPARE(line.readBytes(1), QByteArray(1, ACK));
    QVERIFY(device.waitForEvent("file-received"));
    QCOMPARE(device.readFile("tmp/config.txrc"), content);
}

void TestDeviceEmulator::softwarePackageDigest_data()
{
    QTest::addColumn<bool>("rightDigest");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("matching") << true << QStringList{} << QByteArray("<RTLD:NOR>");
    QTest::newRow("wrong digest") << false << QStringList{} << QByteArray("<RTLD:ERR>");
    QTest::newRow("error fault") << true << QStringList{"--fault", "error:RTLD"} << QByteArray("<RTLD:ERR>");
}

void TestDeviceEmulator::softwarePackageDigest()
{
    QFETCH(bool, rightDigest);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, result);

    DeviceEmulator device;
    QVERIFY(device.start(args << "--c-delay" << "0"));
    Line line;
    QVERIFY(line.open(device.portPath()));
    const QByteArray package = randomBytes(5000);
    const QByteArray digest = rightDigest ? md5(package).toLatin1() : md5("other").toLatin1();
    QCOMPARE(ask(line, "#RTLD<update.tar.gz>[" + digest + "]5000#", ">"), QByteArray("<RTLD:ACK>"));
    QVERIFY(sendFile(line, package));
    QCOMPARE(line.readUntil(">"), result);
    QCOMPARE(QFileInfo::exists(device.filePath("tmp/update.tar.gz")), result == "<RTLD:NOR>");
    if (result == "<RTLD:NOR>")
        QCOMPARE(device.readFile("tmp/update.tar.gz"), package);
}

void TestDeviceEmulator::getfReadBack_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("trace");

    QTest::newRow("1024-byte packets") << QStringList{} << 2500 << QByteArray("SSS");
    QTest::newRow("128-byte tail") << QStringList{"--sender-tail-128"} << 2500 << QByteArray("SSssss");
    QTest::newRow("exact blocks with tail option") << QStringList{"--sender-tail-128"} << 2048 << QByteArray("SS");
    QTest::newRow("corrupted block 2") << QStringList{"--fault", "corrupt:2"} << 2500 << QByteArray("SSnSS");
    QTest::newRow("block 3 corrupted twice") << QStringList{"--fault", "corrupt:3:2"} << 2500 << QByteArray("SSSnSnS");
    QTest::newRow("lost ACK for block 1") << QStringList{"--fault", "resend:1"} << 2500 << QByteArray("SSdSS");
    QTest::newRow("overshoot") << QStringList{"--fault", "overshoot:100"} << 2500 << QByteArray("SSSS");
}

void TestDeviceEmulator::getfReadBack()
{
    QFETCH(QStringList, args);
    QFETCH(int, size);
    QFETCH(QByteArray, trace);

    DeviceEmulator device;
    const QByteArray content = randomBytes(size);
    QVERIFY(device.putFile("qml/project/sub dir/data.bin", content));
    QVERIFY(device.start(args));
    Line line;
    QVERIFY(line.open(device.portPath()));
    const QByteArray answer = ask(line, "#GETF</home/DuDov_ODU/qml/project/sub dir/data.bin>#", ">");
    QCOMPARE(answer, "<GETF:" + QByteArray::number(size) + ">");
    QByteArray seen;
    QCOMPARE(receiveFile(line, size, &seen), content);
    QCOMPARE(seen, trace);
    QVERIFY(device.waitForEvent("file-sent"));
    const QJsonObject event = device.events("file-sent").first();
    QCOMPARE(event.value("name").toString(), QString("qml/project/sub dir/data.bin"));
    QCOMPARE(event.value("size").toInt(), size);
    QCOMPARE(event.value("md5").toString(), md5(content));
    QCOMPARE(ask(line, "#MODE<1>#", ">"), QByteArray("<MODE_ACK>"));
}

void TestDeviceEmulator::getfMissingFile()
{
    DeviceEmulator device;
    QVERIFY(device.start({"--populate", "--fault", "error:GETF</home/DuDov_ODU/cal_list.txt"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ask(line, "#GETF<qml/none.bin>#", ">"), QByteArray("<GETF:ERR>"));
    QCOMPARE(ask(line, "#GETF<../../etc/passwd>#", ">"), QByteArray("<GETF:ERR>"));
    QCOMPARE(ask(line, "#GETF</home/DuDov_ODU/cal_list.txt>#", ">"), QByteArray("<GETF:ERR>"));
    QVERIFY(ask(line, "#GETF<./cal_list.txt>#", ">").startsWith("<GETF:"));
    // The host gives up instead of sending "C": the device talks commands again.
    QCOMPARE(ask(line, "#SVCF#", ">"), QByteArray("<SVCF:NOR>"));
    QCOMPARE(device.events("transfer-failed").size(), 1);
}

void TestDeviceEmulator::zippedDataLog()
{
    const QString unzip = QStandardPaths::findExecutable("unzip");
    DeviceEmulator device;
    const QByteArray log = randomBytes(300) + QByteArray(5000, 'a');
    QVERIFY(device.putFile("qml/dataLogging.txdb", log));
    QVERIFY(device.start());
    Line line;
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ask(line, "#LOGZ#", ">"), QByteArray("<ZIPL:ACK>"));
    const QByteArray zip = device.readFile("qml/dataLogging.txdb.zip");
    QVERIFY(zip.startsWith("PK\x03\x04"));
    QVERIFY(zip.size() < log.size()); // deflated
    if (!unzip.isEmpty()) {
        QProcess process;
        process.start(unzip, {"-p", device.filePath("qml/dataLogging.txdb.zip"), "dataLogging.txdb"});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(), log);
    }
    QCOMPARE(ask(line, "#UNIX<rm qml/dataLogging.txdb>#", ">"), QByteArray("<UNIX:NOR>"));
    QCOMPARE(ask(line, "#LOGZ#", ">"), QByteArray("<ZIPL:ERR>"));
}

void TestDeviceEmulator::listsAndFonts()
{
    DeviceEmulator device;
    QVERIFY(device.putFile("qml/project/main.qml", "Item {}"));
    QVERIFY(device.putFile("qml/project/images/a.png", "png"));
    QVERIFY(device.putFile("fonts/Beta.ttf", "b"));
    QVERIFY(device.putFile("tmp/Alpha.otf", "a"));
    QVERIFY(device.putFile("tmp/readme.txt", "r"));
    QVERIFY(device.start({"--system-fonts", "Sans.ttf"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ask(line, "#GPFL#", "<GPFL_END>"), QByteArray("<GPFL_0:12:images/a.png><GPFL_1:8:main.qml><GPFL_END>"));
    QCOMPARE(ask(line, "#SYNC#", ">"), QByteArray("<SYNC:NOR>"));
    QVERIFY(QFileInfo::exists(device.filePath("fonts/Alpha.otf")));
    QVERIFY(QFileInfo::exists(device.filePath("tmp/readme.txt")));
    QCOMPARE(ask(line, "#GFFS#", "<GFFS_END>"),
             QByteArray("<GFFS_S0:Sans.ttf><GFFS_U0:Alpha.otf><GFFS_U1:Beta.ttf><GFFS_END>"));
    QCOMPARE(ask(line, "#RMFS<0><Alpha.otf>#", ">"), QByteArray("<RMFS_ACK>"));
    QCOMPARE(ask(line, "#RMFS<1><Missing.ttf>#", ">"), QByteArray("<RMFS_NAK>"));
    QCOMPARE(ask(line, "#RMFS<1><../tmp/readme.txt>#", ">"), QByteArray("<RMFS_NAK>"));
    QVERIFY(QFileInfo::exists(device.filePath("fonts/Alpha.otf")));
    QCOMPARE(ask(line, "#RMFS<1><END>#", ">"), QByteArray("<RMFS_ACK>"));
    QVERIFY(!QFileInfo::exists(device.filePath("fonts/Alpha.otf")));
    QVERIFY(QFileInfo::exists(device.filePath("fonts/Beta.ttf")));
}

void TestDeviceEmulator::commandFaults()
{
    DeviceEmulator device;
    QVERIFY(device.start({"--populate", "--fault", "silent:MODE:1", "--fault", "error:UNIX<mkdir",
                          "--fault", "garbage:SVCF:xx<UNIX:NOR>", "--fault", "delay:SYNC:300"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QVERIFY(line.write("#MODE<1>#"));
    QVERIFY(device.waitForCommand("MODE"));
    QCOMPARE(line.readFor(300), QByteArray());
    QCOMPARE(ask(line, "#MODE<1>#", ">"), QByteArray("<MODE_ACK>"));
    QCOMPARE(ask(line, "#UNIX<mkdir ./tmp/project>#", ">"), QByteArray("<UNIX:ERR>"));
    QVERIFY(!QFileInfo::exists(device.filePath("tmp/project")));
    QCOMPARE(ask(line, "#UNIX<ls tmp>#", ">"), QByteArray("<UNIX:NOR>"));
    QCOMPARE(ask(line, "#SVCF#", "<SVCF:NOR>"), QByteArray("xx<UNIX:NOR><SVCF:NOR>"));
    // A late answer keeps the order of the answers.
    QCOMPARE(ask(line, "#SYNC##CHBT<0>#", "<CHBT:NOR>"), QByteArray("<SYNC:NOR><CHBT:NOR>"));
    QCOMPARE(device.commands(), (QStringList{"#MODE<1>#", "#MODE<1>#", "#UNIX<mkdir ./tmp/project>#",
                                             "#UNIX<ls tmp>#", "#SVCF#", "#SYNC#", "#CHBT<0>#"}));
    QCOMPARE(device.events("fault").size(), 4);
}

void TestDeviceEmulator::transferFaults_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("deviceSends");
    QTest::addColumn<QString>("reason");

    QTest::newRow("receiver cancels at block 2") << QStringList{"--fault", "cancel:2"} << false
                                                 << "cancelled by fault at block 2";
    QTest::newRow("sender cancels at block 2") << QStringList{"--fault", "cancel:2"} << true
                                               << "cancelled by fault at block 2";
    QTest::newRow("receiver never asks") << QStringList{"--fault", "no-c"} << false << "abandoned by the host";
}

void TestDeviceEmulator::transferFaults()
{
    QFETCH(QStringList, args);
    QFETCH(bool, deviceSends);
    QFETCH(QString, reason);

    DeviceEmulator device;
    const QByteArray content = randomBytes(3000);
    QVERIFY(device.putFile("qml/data.bin", content));
    QVERIFY(device.start(args << "--c-delay" << "0"));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QByteArray payload = content.left(1024);
    if (deviceSends) {
        QCOMPARE(ask(line, "#GETF<qml/data.bin>#", ">"), QByteArray("<GETF:3000>"));
        line.write("C");
        QCOMPARE(line.readBytes(1029), packet(1, payload));
        line.write(QByteArray(1, ACK));
        QCOMPARE(line.readBytes(2), QByteArray(2, CAN));
    } else {
        QCOMPARE(ask(line, "#LOAD<data.bin>3000#", ">"), QByteArray("<LOAD:ACK>"));
        if (args.contains("no-c")) {
            QCOMPARE(line.readFor(300), QByteArray());
        } else {
            QCOMPARE(line.readBytes(1), QByteArray("C"));
            line.write(packet(1, payload));
            QCOMPARE(line.readBytes(1), QByteArray(1, ACK));
            line.write(packet(2, content.mid(1024, 1024)));
            QCOMPARE(line.readBytes(2), QByteArray(2, CAN));
        }
    }
    // Back to commands either way.
    QCOMPARE(ask(line, "#MODE<1>#", ">"), QByteArray("<MODE_ACK>"));
    const QList<QJsonObject> failed = device.events("transfer-failed");
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().value("reason").toString(), reason);
    QVERIFY(!QFileInfo::exists(device.filePath("tmp/data.bin")));
    QVERIFY(device.events("file-sent").isEmpty());
}

void TestDeviceEmulator::hostAbandonsTransfer_data()
{
    QTest::addColumn<bool>("deviceSends");
    QTest::newRow("while sending") << true;
    QTest::newRow("while receiving") << false;
}

// A host whose watchdog gave up goes on with commands; they must not be
// swallowed by the transfer.
void TestDeviceEmulator::hostAbandonsTransfer()
{
    QFETCH(bool, deviceSends);
    DeviceEmulator device;
    const QByteArray content = randomBytes(3000);
    QVERIFY(device.putFile("qml/data.bin", content));
    QVERIFY(device.start({"--c-delay", "0"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    if (deviceSends) {
        QCOMPARE(ask(line, "#GETF<qml/data.bin>#", ">"), QByteArray("<GETF:3000>"));
        line.write("C");
        QCOMPARE(line.readBytes(1029), packet(1, content.left(1024)));
    } else {
        QCOMPARE(ask(line, "#LOAD<data.bin>3000#", ">"), QByteArray("<LOAD:ACK>"));
        QCOMPARE(line.readBytes(1), QByteArray("C"));
        line.write(packet(1, content.left(1024)));
        QCOMPARE(line.readBytes(1), QByteArray(1, ACK));
    }
    QCOMPARE(ask(line, "#MODE<2>#", ">"), QByteArray("<MODE_ACK>"));
    QCOMPARE(device.events("transfer-failed").size(), 1);
    QCOMPARE(device.events("transfer-failed").first().value("reason").toString(), QString("abandoned by the host"));
}

void TestDeviceEmulator::throttledTransfer()
{
    DeviceEmulator device;
    const QByteArray content = randomBytes(2100);
    QVERIFY(device.putFile("qml/data.bin", content));
    QVERIFY(device.start({"--throttle", "20000", "--c-delay", "0", "--c-interval", "100"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ask(line, "#GETF<qml/data.bin>#", ">"), QByteArray("<GETF:2100>"));
    QCOMPARE(receiveFile(line, 2100), content);
    // The receiving side asks again while the sender stays silent.
    QCOMPARE(ask(line, "#LOAD<x.bin>10#", ">"), QByteArray("<LOAD:ACK>"));
    QCOMPARE(line.readUntil("CCC"), QByteArray("CCC"));
}

void TestDeviceEmulator::rebootReplug()
{
    DeviceEmulator device;
    // By default, as a real device does.
    QVERIFY(device.start());
    const QString port = device.portPath();
    const QString before = QFileInfo(port).symLinkTarget();
    Line line;
    QVERIFY(line.open(port));
    QCOMPARE(ask(line, "#BOOT#", ">"), QByteArray("<BOOT:NOR>"));
    // Restarting: it hears nothing until it is back.
    QVERIFY(line.write("#HWCF#"));
    QVERIFY(waitUntil([&] { return !QFileInfo(port).isSymLink(); }, 10000));
    QCOMPARE(device.commands().count(QStringLiteral("#HWCF#")), 0);
    QVERIFY(waitUntil([&] { return QFileInfo(port).isSymLink(); }, 10000));
    line.close();
    QVERIFY(line.open(port));
    QCOMPARE(ask(line, " ", ">"), QByteArray("<BOOT_UP>"));
    QVERIFY(device.isRunning());
    QCOMPARE(device.events("replug").size(), 1);
    Q_UNUSED(before);
}

void TestDeviceEmulator::unplugFault()
{
    DeviceEmulator device;
    QVERIFY(device.start({"--fault", "unplug:BOOT"}));
    Line line;
    QVERIFY(line.open(device.portPath()));
    QVERIFY(line.write("#SVCF##BOOT#"));
    QVERIFY(device.waitForExit());
    QCOMPARE(device.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(device.portPath()));
    const QList<QJsonObject> events = device.transcript();
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.last().value("event").toString(), QString("unplug"));
    QCOMPARE(device.commands(), (QStringList{"#SVCF#", "#BOOT#"}));

    // Cut in the middle of a command: it never arrives.
    DeviceEmulator second;
    QVERIFY(second.start({"--fault", "unplug-after-bytes:14"}));
    Line other;
    QVERIFY(other.open(second.portPath()));
    QVERIFY(other.write("#SVCF##MODE<1>#"));
    QVERIFY(second.waitForExit());
    QCOMPARE(second.commands(), QStringList{"#SVCF#"});
    QCOMPARE(second.events("unplug").size(), 1);
}

void TestDeviceEmulator::unplugByTest()
{
    DeviceEmulator device;
    QVERIFY(device.start());
    const QString port = device.portPath();
    QVERIFY(QFileInfo(port).isSymLink());
    Line line;
    QVERIFY(line.open(port));
    device.unplug();
    QVERIFY(!device.isRunning());
    QVERIFY(!QFileInfo(port).isSymLink());
    // The line is dead for the host now.
    QVERIFY(!line.write("#MODE<1>#"));
}

QTEST_GUILESS_MAIN(TestDeviceEmulator)
#include "tst_deviceemulator.moc"
