// Packet transfer engine: XMODEM-1K with CRC-16 in both directions.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

#include "localizationhelper.h"

#include <QDebug>
#include <QFile>

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

quint16 SerialPortManager::crc16(const char* data, int length)
{
    static const CrcTable table;
    quint16 crc = 0;
    for (int i = 0; i < length; ++i)
        crc = quint16((crc << 8) ^ table.values[((crc >> 8) ^ quint8(data[i])) & 0xFF]);
    return crc;
}

void SerialPortManager::setTransferFile(const QByteArray& fileContent, const QString& remotePath)
{
    d->m_fileContent = fileContent;
    d->m_fileSize = int(fileContent.size());
    d->m_remotePath = remotePath;
}

void SerialPortManager::setTransferFile(const QString& localFilePath, const QString& remotePath)
{
    d->m_fileContent.clear();
    QFile file(localFilePath);
    if (file.open(QIODevice::ReadOnly)) {
        d->m_fileSize = int(file.size());
        d->m_fileContent.reserve(d->m_fileSize);
        while (!file.atEnd()) {
            const QByteArray chunk = file.read(8192);
            if (chunk.isEmpty())
                break;
            d->m_fileContent.append(chunk);
        }
        file.close();
    }
    d->m_remotePath = remotePath;
}

void SerialPortManager::prepareSend()
{
    d->m_bytesLeft = d->m_fileSize;
    d->m_blockCount = (d->m_fileSize + BlockSize - 1) / BlockSize;
    d->m_blocksSent = 0;
    d->m_txStarted = false;
}

void SerialPortManager::onDelayTransferStart()
{
    const int op = d->m_operation;
    if (op >= SendCalibrationFile && op <= SendFontFile) {
        d->m_delayTimer->stop();
        d->m_port->flush();
        startWatchdog(5000);
        d->m_transferMode = 1;
        // A "C" that arrived while the link was still in text mode is the receiver's request.
        if (d->m_rxText.contains(QLatin1Char(CRC_REQUEST))) {
            d->m_rxText.clear();
            processTxReply(CRC_REQUEST);
        }
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

void SerialPortManager::txPacket(int mode)
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

void SerialPortManager::processTxReply(char rxData)
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
        case SendCalibrationFile: emit configureStateChange(10); break;
        case SendSplashImage: emit configureStateChange(29); break;
        case SendSoftwarePackage:
            emit progressUpdated(d->m_bytesLeft);
            emit upgradeDeviceStatusChange(100);
            break;
        case SendProjectFile:
            emit progressUpdated(d->m_bytesLeft);
            emit uploadProjectFileStatusChange(201);
            break;
        case SendDataLog:
            emit progressUpdated(d->m_bytesLeft);
            emit updateDataLogStatusChange(511);
            break;
        case SendFontFile: emit deviceFontStatusChange(310, 0, QString()); break;
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

void SerialPortManager::endSendAsFailure()
{
    abortOperation(rt("The device cancelled the file transfer."));
}

void SerialPortManager::processRxPacket(const QByteArray& chunk)
{
    const int op = d->m_operation;
    if (d->m_rxBlockLength < 0)
        return; // cancelled by the device; the watchdog or the sequence ends it
    if (d->m_rxBlockLength == 0) {
        d->m_rxPacket.clear();
        const char first = chunk.at(0);
        if (first == SOH) {
            d->m_rxBlockLength = 128;
        } else if (first == STX) {
            d->m_rxBlockLength = BlockSize;
        } else if (first == EOT) {
            if (op == FetchCalibrationFile)
                emit configureStateChange(17);
            else if (op == FetchProjectFile)
                emit retrieveProjectFileStatusChange(403);
            else if (op == FetchDataLog)
                emit retrieveDataLogStatusChange(505);
            return;
        } else if (first == CAN) {
            d->m_rxBlockLength = -1;
            if (op == FetchCalibrationFile)
                emit configureStateChange(18);
            return;
        } else {
            rxError();
            return;
        }
    }
    d->m_rxPacket.append(chunk);
    const int packetLength = d->m_rxBlockLength + 5;
    if (d->m_rxPacket.size() != packetLength)
        return;

    const char* p = d->m_rxPacket.constData();
    const int block = quint8(p[1]);
    if (block + quint8(p[2]) != 255) {
        qDebug() << "Packet Error";
        rxError();
        return;
    }
    stopWatchdog();
    const int length = d->m_rxBlockLength;
    const quint16 crc = crc16(p + 3, length);
    const quint16 sent = quint16((quint8(p[3 + length]) << 8) | quint8(p[4 + length]));
    if (crc != sent) {
        qDebug() << "CXM: CRC Err";
        rxError();
        return;
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
    }
    d->m_rxErrorCount = 0;
    d->m_rxBlockLength = 0;
    writeRaw(QByteArray(1, ACK));
    startWatchdog(3000);
}

void SerialPortManager::rxError()
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
    emit configureStateChange(18);
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
