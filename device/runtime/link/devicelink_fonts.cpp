// Device font management: listing, removal and upload of user fonts.
#include "devicelink.h"
#include "devicelink_p.h"

#include "localizationhelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::LocalizationHelper;

namespace {

constexpr int StepTimeout = 5000;

} // namespace

bool DeviceLink::getInstalledFonts()
{
    const Frame frame(this);
    if (!beginOperation(OperationResult::FontListing))
        return false;
    if (!isSerialPortOpen())
        return true; // told at once that there is no list
    d->m_port->flush();
    d->m_port->blockSignals(false);
    emit deviceFontStatusChange(FontListingStarted, 0, QString());
    return true;
}

bool DeviceLink::manageFonts(const QMap<QString, qint64>& fontsToAdd, const QStringList& fontsToRemove)
{
    const Frame frame(this);
    if (fontsToAdd.isEmpty() && fontsToRemove.isEmpty())
        return false;
    if (!beginOperation(OperationResult::FontManagement, false))
        return false;
    // Every file must be readable and non-empty before the device is touched;
    // the sizes sent are those of the files as they are now.
    QMap<QString, qint64> files;
    for (auto it = fontsToAdd.constBegin(); it != fontsToAdd.constEnd(); ++it) {
        QFile file(it.key());
        const qint64 size = QFileInfo(file).size();
        if (size <= 0 || !file.open(QIODevice::ReadOnly)) {
            endOperation(OperationResult::Failed, rt("The font file %1 is empty or cannot be read.").arg(QDir::toNativeSeparators(it.key())));
            return true;
        }
        files.insert(it.key(), size);
    }
    if (!openSerialPort()) {
        endOperation(OperationResult::Failed, rt("The serial port could not be opened."));
        return true;
    }
    d->m_port->flush();
    d->m_port->blockSignals(false);
    d->m_fontsToAdd = files;
    d->m_hasFontsToAdd = !files.isEmpty();
    if (fontsToRemove.isEmpty()) {
        emit deviceFontStatusChange(FontUploadPrepared, 0, QString());
        return true;
    }
    d->m_fontList = fontsToRemove;
    d->m_fontIndex = 0;
    emit progressMessage(rt("Sending request to remove the selected fonts from the device..."));
    emit deviceFontStatusChange(FontRemovalStarted, 0, QString());
    return true;
}

void DeviceLink::onDeviceFontStatusChange(int status, int idx, const QString& fontName)
{
    const Frame frame(this);
    const bool listing = status >= FontListingStarted && status <= FontListComplete;
    if (d->m_kind != (listing ? OperationResult::FontListing : OperationResult::FontManagement))
        return;
    auto failWith = [this](const QString& text) { endOperation(OperationResult::Failed, text); };

    switch (status) {
    case FontListingStarted:
        d->m_fontList.clear();
        getInstalledFontsStart();
        break;
    case FontListed:
        startWatchdog(StepTimeout);
        if (idx == d->m_fontIndex && !fontName.isEmpty()) {
            d->m_fontList << fontName;
            ++d->m_fontIndex;
        }
        break;
    case FontListComplete:
        endOperation(OperationResult::Succeeded);
        break;
    case FontRemovalStarted:
        setRemoveFontsStart();
        break;
    case FontRemovalAcknowledged:
        // Acknowledgements only count while a removal runs.
        if (d->m_operation != RemoveFonts)
            break;
        startWatchdog(StepTimeout);
        ++d->m_fontIndex;
        if (d->m_fontIndex == d->m_fontList.size())
            writeCommand(QStringLiteral("#RMFS<%1><END>#").arg(d->m_fontIndex).toLatin1(), RemoveFonts);
        else if (d->m_fontIndex < d->m_fontList.size())
            writeCommand(QStringLiteral("#RMFS<%1><%2>#").arg(QString::number(d->m_fontIndex), d->m_fontList.at(d->m_fontIndex)).toLatin1(), RemoveFonts);
        break;
    case FontRemovalRefused:
        if (d->m_operation != RemoveFonts)
            break;
        stopWatchdog();
        failWith(rt("Failed to send request to remove the selected fonts from the device."));
        break;
    case FontRemovalFinished:
        if (d->m_operation != RemoveFonts)
            break;
        stopWatchdog();
        d->m_fontList.clear();
        // The port stays open: the mode change that follows is written on it. Asked to stop,
        // what is done is committed and no font is begun.
        if (!d->m_hasFontsToAdd || d->m_stopRequested)
            emit deviceFontStatusChange(FontSyncStarted, 0, QString());
        else
            emit deviceFontStatusChange(FontUploadPrepared, 0, QString());
        break;
    case FontUploadPrepared:
        startWatchdog(6000);
        changeDeviceMode(1, FontModeChange);
        break;
    case FontReadyForUpload:
        stopWatchdog();
        emit progressMessage(rt("Uploading the selected fonts to the device..."));
        uploadFontFileStart();
        break;
    case FontFileAccepted:
        stopWatchdog();
        startTransfer();
        break;
    case FontFileSent:
        stopWatchdog();
        // The last block's length completes the byte count of this file.
        emit progressUpdated(d->m_bytesLeft);
        ++d->m_fontIndex;
        if (d->m_fontIndex < d->m_fontList.size() && !d->m_stopRequested)
            uploadFontFile();
        else
            emit deviceFontStatusChange(FontSyncStarted, 0, QString());
        break;
    case FontUploadFailed:
        failWith(rt("Failed to upload the selected fonts to the device."));
        break;
    case FontSyncStarted:
        startWatchdog(StepTimeout);
        d->m_operation = FontSync;
        remoteFsSync();
        break;
    case FontSynced:
    case FontSyncedAgain:
        startDeviceWait(StepTimeout);
        d->m_operation = FontReboot;
        remoteReboot();
        break;
    case FontInstallFailed:
        stopWatchdog();
        failWith(rt("Failed to install the uploaded fonts on the device."));
        break;
    case FontRebooted:
        endOperation(OperationResult::Succeeded, QString(), true);
        break;
    default:
        break;
    }
}

void DeviceLink::getInstalledFontsStart()
{
    d->m_fontIndex = 0;
    d->m_operation = ListFonts;
    startWatchdog(StepTimeout);
    writeCommand("#GFFS#", ListFonts);
}

void DeviceLink::setRemoveFontsStart()
{
    if (d->m_fontList.isEmpty())
        return;
    d->m_operation = RemoveFonts;
    startWatchdog(StepTimeout);
    writeCommand(QStringLiteral("#RMFS<0><%1>#").arg(d->m_fontList.first()).toLatin1(), RemoveFonts);
}

void DeviceLink::uploadFontFileStart()
{
    if (!isSerialPortOpen() && !openSerialPort()) {
        onDeviceFontStatusChange(FontUploadFailed, 0, QString());
        return;
    }
    d->m_port->flush();
    d->m_port->blockSignals(false);
    d->m_fontIndex = 0;
    d->m_fontList = d->m_fontsToAdd.keys();
    if (d->m_fontList.isEmpty()) {
        emit deviceFontStatusChange(FontSyncStarted, 0, QString());
        return;
    }
    qint64 total = 0;
    for (qint64 size : std::as_const(d->m_fontsToAdd))
        total += size;
    setTotalFileSize(int(total));
    uploadFontFile();
}

void DeviceLink::uploadFontFile()
{
    if (d->m_fontIndex < 0 || d->m_fontIndex >= d->m_fontList.size())
        return;
    d->m_operation = SendFontFile;
    const QString path = d->m_fontList.at(d->m_fontIndex);
    const QString name = QFileInfo(path).fileName();
    setTransferFile(path, name);
    d->m_fileSize = int(d->m_fileContent.size());
    if (d->m_fileSize < 1) {
        // The file went away or was emptied after the checks; nothing would answer.
        onDeviceFontStatusChange(FontUploadFailed, 0, QString());
        return;
    }
    prepareSend();
    startWatchdog(StepTimeout);
    writeCommand(QStringLiteral("#LOAD<%1>%2#").arg(name, QString::number(d->m_fileSize)).toLatin1(), SendFontFile, false);
}

bool DeviceLink::processGetInstFontsList()
{
    static const QLatin1String entryStart("<GFFS_");
    QString& text = d->m_rxText;
    while (true) {
        const int start = text.indexOf(entryStart);
        if (start < 0)
            return false;
        text.remove(0, start);
        const int end = text.indexOf(QLatin1Char('>'), 9);
        if (end < 0)
            return false; // the rest of the entry comes with the next read
        const QString entry = text.left(end + 1);
        text.remove(0, end + 1);
        const bool listing = d->m_operation == ListFonts;
        if (entry.contains(QLatin1String("<GFFS_END>"))) {
            if (listing)
                onDeviceFontStatusChange(FontListComplete, 0, QString());
            return true;
        }
        if (!listing || entry.at(entryStart.size()) != QLatin1Char('U'))
            continue;
        const int colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        bool ok = false;
        const int index = entry.mid(entryStart.size() + 1, colon - entryStart.size() - 1).toInt(&ok, 10);
        if (!ok)
            continue;
        const QString name = entry.mid(colon + 1, entry.size() - colon - 2);
        onDeviceFontStatusChange(FontListed, index, name);
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
