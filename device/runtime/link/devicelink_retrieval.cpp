// Project retrieval sequence.
#include "devicelink.h"
#include "devicelink_p.h"
#include "diagnostics.h"

#include "filehelper.h"
#include "localizationhelper.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

using Orvane::Tavrix::Common::lcTransfer;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::FileHelper;
using Common::LocalizationHelper;

namespace {

// The listing may be long; each accepted entry gives it this much more time.
constexpr int ListingTimeout = 6000;


// A name from the device may only address a file inside the destination folder.
bool isSafeProjectFileName(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (n.isEmpty() || n.endsWith(QLatin1Char('/')) || n.startsWith(QLatin1Char('/')) || QDir::isAbsolutePath(n))
        return false;
    if (n.size() >= 2 && n.at(1) == QLatin1Char(':'))
        return false; // drive letter
    const QStringList parts = n.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return false;
    for (const QString& part : parts) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

} // namespace

bool DeviceLink::retrieveProjectFiles(const QString& destination)
{
    const Frame frame(this);
    if (!beginOperation(OperationResult::ProjectRetrieval))
        return false;
    if (!isSerialPortOpen())
        return true;
    d->m_port->flush();
    d->m_port->blockSignals(false);
    d->m_retrieveDir = destination;
    emit retrieveProjectFileStatusChange(ProjectRetrievalStarted);
    return true;
}

void DeviceLink::requestNextProjectFile()
{
    QString name = d->m_projectFiles.at(d->m_fileNumber);
    const QString deviceFile = QStringLiteral("/home/DuDov_ODU/qml/project/%1").arg(name);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    d->m_localFilePath = QDir::cleanPath(QStringLiteral("%1/%2").arg(d->m_retrieveDir, name));
    d->m_operation = FetchProjectFile;
    remoteBackupFile(deviceFile, d->m_localFilePath);
}

void DeviceLink::onRetrieveProjectFileStatusChange(int status)
{
    const Frame frame(this);
    if (d->m_kind != OperationResult::ProjectRetrieval)
        return;
    switch (status) {
    case ProjectRetrievalStarted:
        d->m_fileNumber = 0;
        d->m_listEntryIndex = 0;
        d->m_projectFiles.clear();
        // A list that never ends must not leave the retrieval waiting.
        startWatchdog(ListingTimeout);
        getRetrieveProjFileLst();
        emit initializeRetrieve(rt("Initializing retrieve device software..."), 0);
        break;
    case ProjectListReceived:
        if (d->m_projectFiles.isEmpty()) {
            // Nothing to copy: the retrieval ends as usual with the reboot.
            emit retrieveProjectFileStatusChange(ProjectFilesReceived);
            break;
        }
        for (const QString& name : std::as_const(d->m_projectFiles)) {
            if (!isSafeProjectFileName(name)) {
                qCWarning(lcTransfer).noquote() << QStringLiteral("Refusing project file name '%1' outside the destination").arg(name);
                emit retrieveProjectFileStatusChange(ProjectRetrievalFailed);
                return;
            }
        }
        startWatchdog(5000);
        requestNextProjectFile();
        emit initializeRetrieve(rt("Waiting for device to send file information..."), int(d->m_projectFiles.size()));
        break;
    case ProjectFileSizeKnown:
        if (d->m_fileSize > 0) {
            d->m_blockNumber = 1;
            d->m_rxBlockLength = 0;
            startTransfer();
            emit sendingFileInitiated(rt("Receiving project file..."), d->m_fileSize);
        } else {
            emit retrieveProjectFileStatusChange(ProjectRetrievalFailed);
        }
        break;
    case ProjectFileReceived: {
        stopWatchdog();
        d->m_transferMode = 0;
        const QString dir = QFileInfo(d->m_localFilePath).absolutePath();
        if (!QDir().mkpath(dir) || !FileHelper::writeDataToFile(d->m_fileContent, d->m_localFilePath, true)) {
            emit retrieveProjectFileStatusChange(ProjectRetrievalFailed);
            break;
        }
        const QString stored = d->m_projectFiles.at(d->m_fileNumber);
        ++d->m_fileNumber;
        if (d->m_fileNumber < d->m_projectFiles.size()) {
            startWatchdog(5000);
            requestNextProjectFile();
            emit sentFile(rt("Received project file %1...").arg(stored), d->m_fileNumber);
        } else {
            emit retrieveProjectFileStatusChange(ProjectFilesReceived);
        }
        break;
    }
    case ProjectFilesReceived:
        d->m_projectFiles.clear();
        d->m_operation = RetrieveProjectReboot;
        startDeviceWait(5000);
        remoteReboot();
        break;
    case ProjectRetrievalRebooted:
        endOperation(OperationResult::Succeeded, QString(), true);
        break;
    case ProjectRetrievalFailed:
        endOperation(OperationResult::Failed, rt("Failed to retrieve the project files from the device."));
        break;
    default:
        break;
    }
}

bool DeviceLink::processRetrieveProjFileLst()
{
    // List text that arrives when no listing is awaited is dropped.
    if (d->m_operation != ListProjectFiles)
        return true;
    QString& text = d->m_rxText;
    bool accepted = false;
    for (;;) {
        const int start = text.indexOf(QLatin1String("<GPFL_"));
        if (start < 0) {
            // Keep only what may be the start of the next entry.
            const int lt = text.lastIndexOf(QLatin1Char('<'));
            text = lt >= 0 ? text.mid(lt) : QString();
            break;
        }
        text.remove(0, start);
        const int end = text.indexOf(QLatin1Char('>'), 3);
        if (end <= 0)
            break; // the entry is completed by a later read
        const QString entry = text.left(end + 1);
        text.remove(0, end + 1);

        if (entry.contains(QLatin1String("<GPFL_END>"))) {
            emit retrieveProjectFileStatusChange(ProjectListReceived);
            return true;
        }

        bool ok = false;
        const int colon = entry.indexOf(QLatin1Char(':'), 6);
        const int number = colon < 0 ? -1 : entry.mid(6, colon - 6).toInt(&ok, 10);
        if (!ok || number != d->m_listEntryIndex) {
            qCDebug(lcTransfer).noquote() << QStringLiteral("Malformed project file list entry '%1'").arg(entry);
            emit retrieveProjectFileStatusChange(ProjectRetrievalFailed);
            return true;
        }
        QString rest = entry.mid(colon + 1);
        const int lengthEnd = rest.indexOf(QLatin1Char(':'));
        const int length = lengthEnd < 0 ? -1 : rest.left(lengthEnd).toInt(&ok, 10);
        if (lengthEnd < 0 || !ok) {
            qCDebug(lcTransfer).noquote() << QStringLiteral("Malformed project file list entry '%1'").arg(entry);
            emit retrieveProjectFileStatusChange(ProjectRetrievalFailed);
            return true;
        }
        rest = rest.mid(lengthEnd + 1);
        rest.chop(1);
        if (rest.size() != length) {
            qCDebug(lcTransfer).noquote() << QStringLiteral("Malformed project file list entry '%1'").arg(entry);
            emit retrieveProjectFileStatusChange(ProjectRetrievalFailed);
            return true;
        }
        ++d->m_listEntryIndex;
        accepted = true;
        if (!rest.endsWith(QLatin1String("qml")))
            d->m_projectFiles.append(rest);
    }
    if (accepted)
        startWatchdog(ListingTimeout);
    return false;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
