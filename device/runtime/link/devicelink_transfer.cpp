// Packet transfer engine: XMODEM-1K with CRC-16 in both directions.
#include "devicelink.h"
#include "devicelink_p.h"
#include "diagnostics.h"

#include "localizationhelper.h"

#include <QDebug>
#include <QFile>

using Orvane::Tavrix::Common::lcTransfer;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;
constexpr char CRC_REQUEST = 'C';
constexpr char SUB = 0x1A;
constexpr int BlockSize = 1024;
constexpr int MaxRxErrors = 3;
// Packet counts and sizes are ints; nothing this large is ever sent to a device.
constexpr qint64 MaxTransferSize = 1024LL * 1024 * 1024;

bool isWordByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

struct CrcTable
{
    quint16 values[256];
    CrcTable()
    {
        for (int i = 0; i < 256; ++i) {
            quint16 crc = quint16(i << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
            values[i] = crc;
        }
    }
};

} // namespace

quint16 DeviceLink::crc16(const char* data, int length)
{
    static const CrcTable table;
    quint16 crc = 0;
    for (int i = 0; i < length; ++i)
        crc = quint16((crc << 8) ^ table.values[((crc >> 8) ^ quint8(data[i])) & 0xFF]);
    return crc;
}

void DeviceLink::setTransferFile(const QByteArray& fileContent, const QString& remotePath)
{
    d->m_fileContent = fileContent;
    d->m_fileSize = int(fileContent.size());
    d->m_remotePath = remotePath;
}

bool DeviceLink::setTransferFile(const QString& localFilePath, const QString& remotePath)
{
    // The file is read whole before anything is announced: the size sent to the device is
    // exactly the bytes in hand. The size on disk is no guide (a file shrinking while the
    // operation runs, a pseudo file), so read until the end and trust only the read.
    d->m_fileContent.clear();
    d->m_fileSize = 0;
    d->m_remotePath = remotePath;
    QFile file(localFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content;
    content.reserve(qMax<qint64>(0, qMin<qint64>(file.size(), MaxTransferSize)));
    for (;;) {
        const QByteArray chunk = file.read(64 * 1024);
        if (chunk.isEmpty())
            break;
        content.append(chunk);
        if (content.size() > MaxTransferSize)
            return false;
    }
    if (file.error() != QFileDevice::NoError)
        return false;
    d->m_fileContent = content;
    d->m_fileSize = int(content.size());
    return true;
}

void DeviceLink::prepareSend()
{
    d->m_bytesLeft = d->m_fileSize;
    d->m_blockCount = (d->m_fileSize + BlockSize - 1) / BlockSize;
    d->m_blocksSent = 0;
    d->m_txStarted = false;
}

void DeviceLink::onDelayTransferStart()
{
    const Frame frame(this);
    startTransfer();
}

// Called as soon as the device accepted the file (send) or announced its size (receive):
// the receiver's "C" starts the data, so no fixed wait stands before the first packet.
void DeviceLink::startTransfer()
{
    const int op = d->m_operation;
    if (op >= SendCalibrationFile && op <= SendFontFile) {
        d->m_delayTimer->stop();
        startWatchdog(5000);
        d->m_transferMode = 1;
        d->m_txPrevByte = 0;
        // What followed the acceptance in the same read may already hold the request.
        const QByteArray early = d->m_rxText.toLatin1();
        d->m_rxText.clear();
        const int used = processTxBytes(early);
        if (used < early.size())
            d->m_rxText = QString::fromLatin1(early.mid(used));
    } else if (op >= FetchCalibrationFile && op <= FetchDataLog) {
        d->m_delayTimer->stop();
        d->m_transferMode = 2;
        d->m_bytesLeft = d->m_fileSize;
        d->m_rxErrorCount = 0;
        // A new receive never inherits a half-collected packet or a cancel from an aborted one.
        d->m_rxBlockLength = 0;
        d->m_rxPacket.clear();
        d->m_rxLastBlock = -1;
        d->m_fileContent.clear();
        d->m_rxText.clear();
        startWatchdog(10000);
        writeRaw(QByteArray(1, CRC_REQUEST));
    }
}

int DeviceLink::processTxBytes(const QByteArray& bytes)
{
    int i = 0;
    while (i < bytes.size() && d->m_transferMode == 1) {
        const char c = bytes.at(i++);
        if (!d->m_txStarted) {
            // Until the request, the device may still write text; a "C" inside a word is text too.
            const bool request = c == CRC_REQUEST && !isWordByte(d->m_txPrevByte)
                              && (i >= bytes.size() || !isWordByte(bytes.at(i)));
            d->m_txPrevByte = c;
            if (!request)
                continue;
        }
        processTxReply(c);
    }
    return i;
}

void DeviceLink::txPacket(int mode)
{
    Q_UNUSED(mode)
    QByteArray packet(BlockSize + 5, SUB);
    char* p = packet.data();
    p[0] = STX;
    p[1] = char(d->m_blockNumber & 0xFF);
    p[2] = char(255 - (d->m_blockNumber & 0xFF));
    d->m_bytesLeft = d->m_fileSize - d->m_blocksSent * BlockSize;
    const int length = qMin(d->m_bytesLeft, BlockSize);
    if (length > 0)
        memcpy(p + 3, d->m_fileContent.constData() + qint64(d->m_blocksSent) * BlockSize, size_t(length));
    const quint16 crc = crc16(p + 3, BlockSize);
    p[BlockSize + 3] = char(crc >> 8);
    p[BlockSize + 4] = char(crc & 0xFF);
    d->m_lastPacket = packet;
    writeRaw(packet);
}

void DeviceLink::processTxReply(char rxData)
{
    const int op = d->m_operation;
    if (!d->m_txStarted) {
        if (rxData != CRC_REQUEST)
            return;
        stopWatchdog();
        d->m_txStarted = true;
        d->m_blockNumber = 1;
        txPacket();
        d->m_blocksSent = 1;
        // The receiver's first answer is awaited under the watchdog too.
        startWatchdog(3000);
        return;
    }
    if (rxData == ACK) {
        emit fileTransferProgress(qMin<qint64>(qint64(d->m_blocksSent) * BlockSize, d->m_fileSize), d->m_fileSize);
        if (d->m_blocksSent != d->m_blockCount) {
            startWatchdog(3000);
            if (op >= SendSoftwarePackage && op <= SendFontFile)
                emit progressUpdated(BlockSize);
            d->m_blockNumber = (d->m_blockNumber + 1) & 0xFF;
            txPacket();
            ++d->m_blocksSent;
            return;
        }
        stopWatchdog();
        writeRaw(QByteArray(1, EOT));
        d->m_transferMode = 0;
        d->m_txStarted = false;
        switch (op) {
        case SendCalibrationFile: emit configureStateChange(ConfigCalibrationSent); break;
        case SendSplashImage: emit configureStateChange(ConfigSplashSent); break;
        case SendSoftwarePackage:
            emit progressUpdated(d->m_bytesLeft);
            emit upgradeDeviceStatusChange(UpgradePackageSent);
            break;
        case SendProjectFile:
            emit progressUpdated(d->m_bytesLeft);
            emit uploadProjectFileStatusChange(UploadFileSent);
            break;
        case SendDataLog:
            emit progressUpdated(d->m_bytesLeft);
            emit updateDataLogStatusChange(LogUpdateSent);
            break;
        case SendFontFile: emit deviceFontStatusChange(FontFileSent, 0, QString()); break;
        default: break;
        }
        return;
    }
    if (rxData == NAK) {
        startWatchdog(2000);
        writeRaw(d->m_lastPacket);
        return;
    }
    // CAN or anything unexpected ends the send; the waiting sequence is told at once.
    stopWatchdog();
    d->m_txStarted = false;
    endSendAsFailure();
}

void DeviceLink::endSendAsFailure()
{
    abortOperation(rt("The device cancelled the file transfer."));
}

void DeviceLink::processRxPacket(const QByteArray& chunk)
{
    if (d->m_rxBlockLength < 0)
        return; // cancelled by the device; the watchdog or the sequence ends it
    // Reads do not follow packet bounds: take whole packets off the front and keep the rest.
    d->m_rxPacket.append(chunk);
    while (!d->m_rxPacket.isEmpty() && d->m_transferMode == 2 && d->m_rxBlockLength >= 0) {
        const char first = d->m_rxPacket.at(0);
        if (first == EOT) {
            d->m_rxPacket.clear();
            d->m_rxBlockLength = 0;
            finishReceive();
            return;
        }
        if (first == CAN) {
            d->m_rxPacket.clear();
            d->m_rxBlockLength = -1;
            if (d->m_operation == FetchCalibrationFile)
                emit configureStateChange(ConfigCalibrationTransferFailed);
            return;
        }
        if (first != SOH && first != STX) {
            // Cannot be the start of a packet: drop what is buffered and ask for the packet again.
            d->m_rxPacket.clear();
            rxError();
            return;
        }
        d->m_rxBlockLength = first == SOH ? 128 : BlockSize;
        const int packetLength = d->m_rxBlockLength + 5;
        if (d->m_rxPacket.size() < packetLength)
            return;
        const QByteArray packet = d->m_rxPacket.left(packetLength);
        d->m_rxPacket.remove(0, packetLength);
        if (!acceptRxPacket(packet)) {
            // Whatever came after a bad packet is out of step as well; the sender repeats.
            d->m_rxPacket.clear();
            return;
        }
    }
}

bool DeviceLink::acceptRxPacket(const QByteArray& packet)
{
    const char* p = packet.constData();
    const int block = quint8(p[1]);
    if (block + quint8(p[2]) != 255) {
        qCDebug(lcTransfer) << "Packet Error";
        rxError();
        return false;
    }
    stopWatchdog();
    const int length = d->m_rxBlockLength;
    const quint16 crc = crc16(p + 3, length);
    const quint16 sent = quint16((quint8(p[3 + length]) << 8) | quint8(p[4 + length]));
    if (crc != sent) {
        qCDebug(lcTransfer) << "CXM: CRC Err";
        rxError();
        return false;
    }
    // A repeat of the block just accepted means our ACK was lost: acknowledge, don't store twice.
    if (block != d->m_rxLastBlock) {
        if (d->m_bytesLeft > length) {
            d->m_bytesLeft -= length;
            d->m_fileContent.append(p + 3, length);
            emit transferedFileSize(int(d->m_fileContent.size()));
        } else {
            d->m_fileContent.append(p + 3, qMax(0, d->m_bytesLeft));
            // Anything the sender adds beyond the announced size is dropped.
            d->m_bytesLeft = 0;
        }
        d->m_rxLastBlock = block;
        emit fileTransferProgress(d->m_fileContent.size(), d->m_fileSize);
    }
    d->m_rxErrorCount = 0;
    d->m_rxBlockLength = 0;
    writeRaw(QByteArray(1, ACK));
    startWatchdog(3000);
    return true;
}

void DeviceLink::finishReceive()
{
    const int op = d->m_operation;
    if (d->m_bytesLeft > 0) {
        // The sender ended before the announced size: a short file is never saved as whole,
        // so whatever is stored locally stays as it was.
        qCDebug(lcTransfer).noquote() << QStringLiteral("Receive ended %1 bytes short of %2").arg(d->m_bytesLeft).arg(d->m_fileSize);
        d->m_fileContent.clear();
        abortOperation(rt("The file received from the device is incomplete."));
        return;
    }
    if (op == FetchCalibrationFile)
        emit configureStateChange(ConfigCalibrationReceived);
    else if (op == FetchProjectFile)
        emit retrieveProjectFileStatusChange(ProjectFileReceived);
    else if (op == FetchDataLog)
        emit retrieveDataLogStatusChange(LogReceived);
}

void DeviceLink::rxError()
{
    ++d->m_rxErrorCount;
    if (d->m_rxErrorCount <= MaxRxErrors) {
        d->m_rxBlockLength = 0;
        writeRaw(QByteArray(1, NAK));
        // The resent packet is awaited under the watchdog.
        startWatchdog(3000);
        return;
    }
    writeRaw(QByteArray("\x18\x18", 2));
    d->m_rxBlockLength = -1;
    // Retrievals end through their watchdog; keep it running so they cannot hang.
    if (d->m_operation != FetchCalibrationFile)
        startWatchdog(3000);
    emit configureStateChange(ConfigCalibrationTransferFailed);
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
