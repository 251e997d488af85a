#include "batchdevicemodel.h"

#include "batchpackage.h"
#include "deviceinformation.h"
#include "devicelink.h"
#include "localizationhelper.h"
#include "operationresult.h"
#include "devicetarget.h"
#include "operationrun.h"
#include "portenumerator.h"
#include "rolloutplan.h"
#include "serialportmanager.h"
#include "servicehistory.h"
#include "servicerecord.h"
#include "slotnames.h"
#include "transferrate.h"
#include "transferstatuslabel.h"

#include <QBrush>
#include <QColor>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

using Orvane::Tavrix::Common::BatchResult;
using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::BatchPackage;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::PortEnumerator;
using Orvane::Tavrix::Runtime::RolloutPlan;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

// Progress, speed and time left are redrawn this often, however fast packets come.
constexpr int RefreshMs = TransferStatusLabel::RefreshMs;
// A device whose link is busy is tried again this often.
constexpr int RetryMs = 300;
// Production mode gives a device that fails again and again no more tries by itself than this.
constexpr int ProductionTries = 3;

} // namespace

class BatchLine
{
public:
    int id = 0; // twins share a serial number, never a line
    QString serial;
    QString port;
    QMap<QString, QString> info;
    bool present = true;
    bool ticked = false;
    bool tickedBeforeLeaving = false; // the user's tick comes back with the device
    bool queued = false;              // in a staged run, waiting for its turn
    bool servedLater = false;         // here when production mode began: Start serves it, not the mode
    int productionTries = 0;
    BatchPackage::Fit fit;
    bool judged = false;
    QString busy; // why it is busy, empty when it is not
    BatchDeviceModel::Phase phase = BatchDeviceModel::Idle;
    QString step; // the operation's last step text
    BatchResult result;
    QElapsedTimer clock;
    qint64 done = 0;
    qint64 total = 0;
    Common::TransferRate rate;
    QPointer<OperationRun> run; // from the start to the device's return

    QString name() const { return DeviceInformation(info).deviceName(); }
    QString key() const { return QString::number(id); }

    void setDone(qint64 bytes)
    {
        done = std::min(total, bytes);
        rate.update(done);
    }
    // Bytes a second, or a negative value while too little is known.
    double speed() const { return rate.isKnown() ? rate.bytesPerSecond() : -1; }
    double secondsLeft() const { return rate.secondsLeft(); }
};

namespace {

// Where the device was plugged in, and who ran the batch.
void describePlace(const BatchLine* line, BatchResult* result)
{
    result->slot = DeviceInformation(line->info).slot();
    result->port = line->port;
    result->operatorName = Common::ServiceHistory::operatorName();
}

} // namespace

class BatchDeviceModelPrivate
{
public:
    QList<BatchLine*> lines;
    const BatchPackage* package = nullptr;
    std::function<bool(const QString&, const QString&)> busyCheck;
    bool production = false;
    int nextId = 0;
    RolloutPlan::Rules rules;
    RolloutPlan plan;
    bool advancing = false;
    bool advanceAgain = false;
    QTimer retry;
    QTimer refresh;
};

BatchDeviceModel::BatchDeviceModel(QObject* parent)
    : QAbstractTableModel(parent)
    , d(new BatchDeviceModelPrivate)
{
    d->retry.setInterval(RetryMs);
    d->refresh.setInterval(RefreshMs);
    connect(&d->retry, &QTimer::timeout, this, &BatchDeviceModel::retryWaiting);
    connect(&d->refresh, &QTimer::timeout, this, &BatchDeviceModel::refreshRunning);

    SerialPortManager* manager = SerialPortManager::instance();
    connect(manager, &SerialPortManager::deviceConnected, this, &BatchDeviceModel::onDeviceConnected);
    connect(manager, &SerialPortManager::deviceDisconnected, this, &BatchDeviceModel::onDeviceDisconnected);
    if (Common::SlotNames* slotNames = Common::SlotNames::instance()) {
        connect(slotNames, &Common::SlotNames::changed, this, [this]() {
            if (!d->lines.isEmpty())
                emit dataChanged(index(0, SlotColumn), index(int(d->lines.size()) - 1, SlotColumn));
        });
    }
    for (const QString& port : manager->connectedPorts()) {
        const QMap<QString, QString> info = manager->deviceInformation(port);
        if (!info.isEmpty())
            onDeviceConnected(info);
    }
}

BatchDeviceModel::~BatchDeviceModel()
{
    for (BatchLine* line : std::as_const(d->lines)) {
        // A run goes on without its line; it is the device's.
        if (line->run)
            disconnect(line->run, nullptr, this, nullptr);
    }
    qDeleteAll(d->lines);
    delete d;
}

int BatchDeviceModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(d->lines.size());
}

int BatchDeviceModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchDeviceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case DeviceColumn: return guiText("Device");
    case SerialColumn: return guiText("Serial number");
    case SlotColumn: return guiText("Slot");
    case ModelColumn: return guiText("Model");
    case SoftwareColumn: return guiText("Software");
    case FitColumn: return guiText("Package");
    case ProgressColumn: return guiText("Progress");
    case SpeedColumn: return guiText("Speed");
    case TimeLeftColumn: return guiText("Time left");
    case StatusColumn: return guiText("Status");
    default: return QVariant();
    }
}

QString BatchDeviceModel::speedText(double bytesPerSecond)
{
    return bytesPerSecond < 0 ? QString() : guiText("%1/s").arg(TransferStatusLabel::bytesText(qint64(bytesPerSecond)));
}

QString BatchDeviceModel::timeLeftText(double seconds)
{
    return seconds < 0 ? QString() : TransferStatusLabel::durationText(seconds);
}

QVariant BatchDeviceModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= d->lines.size())
        return QVariant();
    const BatchLine* line = d->lines.at(index.row());
    const DeviceInformation device(line->info);
    const bool running = line->phase == Running;

    // No tick before there is a package, nor in a run: the line is taken.
    if (role == Qt::CheckStateRole && index.column() == DeviceColumn && line->judged && (line->phase == Idle || line->phase == Ended))
        return line->ticked ? Qt::Checked : Qt::Unchecked;
    if (role == ProgressRole && index.column() == ProgressColumn) {
        if (running || line->phase == Restarting || (line->phase == Ended && line->total > 0))
            return line->total > 0 ? int(line->done * 100 / line->total) : 0;
        return -1;
    }
    if (role == Qt::ForegroundRole) {
        if (index.column() == FitColumn && line->judged && (!line->fit.fits || !line->busy.isEmpty()))
            return QBrush(QColor(0x9a, 0x2a, 0x1e));
        if (index.column() == StatusColumn && line->phase == Ended && line->result.outcome != BatchResult::Done)
            return QBrush(QColor(0x9a, 0x2a, 0x1e));
        if (!line->present)
            return QBrush(QColor(0x80, 0x80, 0x80));
        return QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();

    switch (index.column()) {
    case DeviceColumn: return line->name();
    case SerialColumn: return line->serial;
    case SlotColumn: return device.slot().isEmpty() ? line->port : device.slot();
    case ModelColumn: return device.model();
    case SoftwareColumn: {
        const QString before = line->result.versionBefore.isEmpty() ? device.softwareVersion() : line->result.versionBefore;
        const QString after = line->result.versionAfter;
        return after.isEmpty() || after == before ? before : QStringLiteral("%1 \u2192 %2").arg(before, after);
    }
    case FitColumn:
        if (!line->judged)
            return QString();
        if (!line->busy.isEmpty())
            return line->busy;
        if (!line->fit.fits)
            return line->fit.reason;
        if (!line->fit.warning.isEmpty())
            return role == Qt::ToolTipRole ? line->fit.warning : guiText("Fits (see the note)");
        return guiText("Fits");
    case ProgressColumn: {
        const QVariant percent = data(index, ProgressRole);
        return percent.toInt() < 0 ? QString() : QStringLiteral("%1%").arg(percent.toInt());
    }
    case SpeedColumn: return running ? speedText(line->speed()) : QString();
    case TimeLeftColumn: return running ? timeLeftText(line->secondsLeft()) : QString();
    case StatusColumn:
        switch (line->phase) {
        case Waiting:
            if (line->queued)
                return d->plan.canariesSucceeded() || d->plan.isCanary(line->key()) ? guiText("Waiting for its turn")
                                                                                      : guiText("Waiting for the canary devices");
            return guiText("Waiting for the device to be free");
        case Running: return line->step.isEmpty() ? guiText("Starting...") : line->step;
        case Restarting: return guiText("Installed; the device is restarting...");
        case Idle:
        case Ended:
            break;
        }
        if (line->result.outcome == BatchResult::Pending)
            return line->present ? QString() : guiText("Unplugged");
        if (line->result.outcome == BatchResult::Done)
            return line->result.reason.isEmpty() ? guiText("Done; the device is back")
                                                 : guiText("Done; %1").arg(line->result.reason);
        return line->result.reason.isEmpty() ? BatchResult::outcomeName(line->result.outcome)
                                             : guiText("%1: %2").arg(BatchResult::outcomeName(line->result.outcome),
                                                                     line->result.reason);
    default:
        return QVariant();
    }
}

Qt::ItemFlags BatchDeviceModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= d->lines.size())
        return Qt::NoItemFlags;
    const BatchLine* line = d->lines.at(index.row());
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() == DeviceColumn) {
        // A device that cannot take the package has no tick to give.
        if (isTickable(line))
            flags |= Qt::ItemIsUserCheckable;
        else if (line->judged && (line->phase == Idle || line->phase == Ended))
            flags &= ~Qt::ItemIsEnabled;
    }
    return flags;
}

bool BatchDeviceModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != DeviceColumn || role != Qt::CheckStateRole || index.row() >= d->lines.size())
        return false;
    BatchLine* line = d->lines.at(index.row());
    if (!isTickable(line))
        return false;
    line->ticked = value.toInt() == Qt::Checked;
    changed(line, DeviceColumn, DeviceColumn);
    emit runChanged();
    return true;
}

BatchLine* BatchDeviceModel::line(const QString& serial) const
{
    for (BatchLine* line : std::as_const(d->lines)) {
        if (line->serial == serial)
            return line;
    }
    return nullptr;
}

QString BatchDeviceModel::serialAt(int row) const
{
    return row >= 0 && row < d->lines.size() ? d->lines.at(row)->serial : QString();
}

int BatchDeviceModel::rowOf(const QString& serial) const
{
    for (int row = 0; row < d->lines.size(); ++row) {
        if (d->lines.at(row)->serial == serial)
            return row;
    }
    return -1;
}

BatchDeviceModel::Phase BatchDeviceModel::phase(const QString& serial) const
{
    const BatchLine* found = line(serial);
    return found ? found->phase : Idle;
}

bool BatchDeviceModel::isTicked(const QString& serial) const
{
    const BatchLine* found = line(serial);
    return found && found->ticked;
}

void BatchDeviceModel::setTicked(const QString& serial, bool ticked)
{
    const int row = rowOf(serial);
    if (row >= 0)
        setData(index(row, DeviceColumn), ticked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

bool BatchDeviceModel::isTickable(const QString& serial) const
{
    return isTickable(line(serial));
}

bool BatchDeviceModel::isTickable(const BatchLine* found) const
{
    return found && found->present && found->judged && found->fit.fits && found->busy.isEmpty()
        && (found->phase == Idle || found->phase == Ended);
}

BatchResult BatchDeviceModel::result(const QString& serial) const
{
    const BatchLine* found = line(serial);
    return found ? found->result : BatchResult();
}

BatchLine* BatchDeviceModel::lineById(int id) const
{
    for (BatchLine* line : std::as_const(d->lines)) {
        if (line->id == id)
            return line;
    }
    return nullptr;
}

BatchLine* BatchDeviceModel::lineOf(const QString& serial, const QString& port, bool present) const
{
    // Where it is, first: a twin is told apart by its port.
    const QString name = PortEnumerator::canonicalPortName(port);
    for (BatchLine* line : std::as_const(d->lines)) {
        if (line->serial == serial && PortEnumerator::canonicalPortName(line->port) == name)
            return line;
    }
    // Back under another port: the line that waits for a device with its serial number.
    for (BatchLine* line : std::as_const(d->lines)) {
        if (line->serial == serial && line->present == present)
            return line;
    }
    return nullptr;
}

QString BatchDeviceModel::portAt(int row) const
{
    return row >= 0 && row < d->lines.size() ? d->lines.at(row)->port : QString();
}

BatchResult BatchDeviceModel::resultAt(int row) const
{
    return row >= 0 && row < d->lines.size() ? d->lines.at(row)->result : BatchResult();
}

QList<BatchResult> BatchDeviceModel::results() const
{
    QList<BatchResult> list;
    for (const BatchLine* line : std::as_const(d->lines)) {
        if (line->phase != Idle || line->result.outcome != BatchResult::Pending) {
            BatchResult result = line->result;
            // A run still going is saved with how long it has taken so far.
            if (result.durationMs < 0 && result.started.isValid())
                result.durationMs = line->clock.elapsed();
            list << result;
        }
    }
    return list;
}

void BatchDeviceModel::changed(BatchLine* line, int first, int last)
{
    const int row = int(d->lines.indexOf(line));
    if (row >= 0)
        emit dataChanged(index(row, first), index(row, last));
}

void BatchDeviceModel::setPackage(const BatchPackage* package)
{
    d->package = package;
    // Another package is another run: fresh lines and counts, the devices gone leave.
    d->plan = RolloutPlan();
    for (int row = int(d->lines.size()) - 1; row >= 0; --row) {
        BatchLine* line = d->lines.at(row);
        if (line->phase != Idle && line->phase != Ended)
            continue;
        if (!line->present) {
            beginRemoveRows(QModelIndex(), row, row);
            d->lines.removeAt(row);
            endRemoveRows();
            delete line;
            continue;
        }
        line->phase = Idle;
        line->result = BatchResult();
        line->step.clear();
        line->done = 0;
        line->total = 0;
        line->queued = false;
        line->productionTries = 0;
    }
    for (BatchLine* line : std::as_const(d->lines)) {
        judge(line);
        line->ticked = isTickable(line);
    }
    if (!d->lines.isEmpty())
        emit dataChanged(index(0, 0), index(int(d->lines.size()) - 1, ColumnCount - 1));
    emit runChanged();
}

void BatchDeviceModel::setBusyCheck(const std::function<bool(const QString&, const QString&)>& check)
{
    d->busyCheck = check;
    refreshBusy();
}

void BatchDeviceModel::judge(BatchLine* line)
{
    line->judged = d->package && d->package->isLoaded();
    line->fit = line->judged ? d->package->fit(line->info) : BatchPackage::Fit();
    judgeBusy(line);
}

void BatchDeviceModel::judgeBusy(BatchLine* line)
{
    // A device busy elsewhere waits for nobody: it is shown as such and skipped.
    line->busy.clear();
    if (line->present && (line->phase == Idle || line->phase == Ended)) {
        const DeviceLink* link = SerialPortManager::instance()->link(line->port);
        if (d->busyCheck && d->busyCheck(line->serial, line->port))
            line->busy = guiText("Busy: a window of its row is open");
        else if (link && link->isPresent() && !OperationRun::isAvailable(link))
            line->busy = guiText("Busy with another operation");
    }
    if (!isTickable(line))
        line->ticked = false;
}

void BatchDeviceModel::refreshBusy()
{
    for (BatchLine* line : std::as_const(d->lines)) {
        const QString before = line->busy;
        const bool ticked = line->ticked;
        judgeBusy(line);
        if (line->busy != before || line->ticked != ticked)
            changed(line);
    }
}

BatchLine* BatchDeviceModel::addLine(const QMap<QString, QString>& info)
{
    auto* line = new BatchLine;
    line->id = ++d->nextId;
    line->serial = DeviceInformation(info).serial();
    const int row = int(d->lines.size());
    beginInsertRows(QModelIndex(), row, row);
    d->lines.append(line);
    endInsertRows();
    return line;
}

void BatchDeviceModel::onDeviceConnected(const QMap<QString, QString>& info)
{
    const DeviceInformation device(info);
    const QString serial = device.serial();
    if (serial.isEmpty())
        return;
    BatchLine* line = lineOf(serial, device.port(), false);
    const bool isNew = !line;
    if (!line)
        line = addLine(info);
    const bool returned = !isNew && !line->present;
    line->info = info;
    line->port = device.port();
    line->present = true;
    // Back after a run that did not wait for it (it failed, or it was lost): its software now.
    if (line->phase == Ended && line->result.outcome != BatchResult::Pending && line->result.versionAfter.isEmpty())
        line->result.versionAfter = device.softwareVersion();
    judge(line);
    if (isNew)
        line->ticked = isTickable(line);
    else if (returned && line->tickedBeforeLeaving)
        line->ticked = isTickable(line);

    // Production mode serves every fitting device that has not had the package yet, a failed
    // or lost one plugged in again too; the start waits until everybody has heard of the
    // device (its row sets its clock first).
    const bool served = line->result.outcome == BatchResult::Done;
    if (d->production && !line->servedLater && !served && (line->phase == Idle || line->phase == Ended)
        && line->productionTries < ProductionTries) {
        line->ticked = false;
        if (!line->fit.fits || !line->busy.isEmpty()) {
            if (line->result.outcome != BatchResult::Skipped)
                finish(line, BatchResult::Skipped, line->busy.isEmpty() ? line->fit.reason : line->busy);
        } else {
            ++line->productionTries;
            line->phase = Waiting;
            const int id = line->id;
            QTimer::singleShot(0, this, [this, id]() {
                if (BatchLine* waiting = lineById(id); waiting && waiting->phase == Waiting && !waiting->queued)
                    startLine(waiting);
            });
            emit runChanged();
        }
    }
    changed(line);
}

void BatchDeviceModel::onDeviceDisconnected(const QMap<QString, QString>& info)
{
    const DeviceInformation device(info);
    BatchLine* line = lineOf(device.serial(), device.port(), true);
    if (!line)
        return;
    // A device that never took part in a run leaves the list; the others stay with their results.
    if (line->phase == Idle && line->result.outcome == BatchResult::Pending) {
        const int row = int(d->lines.indexOf(line));
        beginRemoveRows(QModelIndex(), row, row);
        d->lines.removeAt(row);
        endRemoveRows();
        delete line;
        emit runChanged();
        return;
    }
    line->present = false;
    line->servedLater = false;
    line->tickedBeforeLeaving = line->ticked;
    line->ticked = false;
    changed(line);
}

QStringList BatchDeviceModel::startable() const
{
    QStringList serials;
    for (const BatchLine* line : std::as_const(d->lines)) {
        if (line->ticked && isTickable(line))
            serials << line->serial;
    }
    return serials;
}

QStringList BatchDeviceModel::startableDevices() const
{
    QStringList devices;
    for (const BatchLine* line : std::as_const(d->lines)) {
        if (line->ticked && isTickable(line))
            devices << DeviceTarget::line(line->info);
    }
    return devices;
}

QList<QMap<QString, QString>> BatchDeviceModel::startableInformation() const
{
    QList<QMap<QString, QString>> devices;
    for (const BatchLine* line : std::as_const(d->lines)) {
        if (line->ticked && isTickable(line))
            devices << line->info;
    }
    return devices;
}

bool BatchDeviceModel::isRetryable(const BatchLine* line)
{
    const BatchResult::Outcome outcome = line->result.outcome;
    return line->phase == Ended && outcome != BatchResult::Pending && outcome != BatchResult::Done;
}

int BatchDeviceModel::tickFailed()
{
    int ticked = 0;
    for (BatchLine* line : std::as_const(d->lines)) {
        line->ticked = isRetryable(line) && isTickable(line);
        ticked += line->ticked ? 1 : 0;
    }
    if (!d->lines.isEmpty())
        emit dataChanged(index(0, DeviceColumn), index(int(d->lines.size()) - 1, DeviceColumn));
    emit runChanged();
    return ticked;
}

bool BatchDeviceModel::hasFailed() const
{
    return std::any_of(d->lines.cbegin(), d->lines.cend(), [this](const BatchLine* line) {
        return isRetryable(line) && isTickable(line);
    });
}

void BatchDeviceModel::setRules(const RolloutPlan::Rules& rules)
{
    d->rules = rules;
}

RolloutPlan::Rules BatchDeviceModel::rules() const
{
    return d->rules;
}

QString BatchDeviceModel::stageText() const
{
    return d->plan.stageText();
}

bool BatchDeviceModel::isStaging() const
{
    return !d->plan.isFinished();
}

int BatchDeviceModel::start(bool failedOnly)
{
    // One staged run at a time: its waiting lines are its own.
    if (!d->package || !d->package->isLoaded() || isStaging())
        return 0;
    refreshBusy();
    QMap<QString, BatchLine*> going; // by port
    for (BatchLine* line : std::as_const(d->lines)) {
        if (!line->present || (line->phase != Idle && line->phase != Ended))
            continue;
        // Trying the failed ones again leaves the others as they ended.
        if (failedOnly && !isRetryable(line))
            continue;
        if (line->ticked && isTickable(line)) {
            line->ticked = false;
            line->phase = Waiting;
            line->queued = true;
            going.insert(line->port, line);
        } else if (!line->busy.isEmpty()) {
            finish(line, BatchResult::Skipped, line->busy);
        } else if (line->judged && !line->fit.fits) {
            finish(line, BatchResult::Skipped, line->fit.reason);
        }
    }
    // The station's order, which a staged run follows.
    QStringList keys;
    QHash<QString, QString> slotOf;
    for (const BatchLine* line : std::as_const(going))
        slotOf.insert(line->port, DeviceInformation(line->info).slot());
    for (const QString& port : RolloutPlan::stationOrder(going.keys(), slotOf))
        keys << going.value(port)->key();
    d->plan = RolloutPlan(keys, d->rules);
    for (BatchLine* line : std::as_const(going))
        changed(line);
    advance();
    emit runChanged();
    return int(keys.size());
}

void BatchDeviceModel::advance()
{
    // A line may end while others start (a refusal): the plan is asked again, not from within.
    if (d->advancing) {
        d->advanceAgain = true;
        return;
    }
    d->advancing = true;
    do {
        d->advanceAgain = false;
        const RolloutPlan::Step step = d->plan.next();
        for (const auto& skipped : step.skipped) {
            if (BatchLine* line = lineById(skipped.first.toInt())) {
                line->queued = false;
                finish(line, BatchResult::Skipped, skipped.second);
            }
        }
        for (const QString& key : step.start) {
            BatchLine* line = lineById(key.toInt());
            if (line && line->phase == Waiting && line->queued) {
                line->queued = false;
                startLine(line);
            } else {
                d->plan.ended(key, false);
                d->advanceAgain = true;
            }
        }
    } while (d->advanceAgain);
    d->advancing = false;
    emit runChanged();
}

void BatchDeviceModel::startLine(BatchLine* line)
{
    SerialPortManager* manager = SerialPortManager::instance();
    DeviceLink* link = line->present ? manager->link(line->port) : nullptr;
    line->phase = Waiting;
    if (!link || link->isRunning() || link->isSerialPortOpen()) {
        // Another operation holds the link for a moment (a clock being set): tried again soon.
        d->retry.start();
        changed(line);
        return;
    }
    const BatchPackage* package = d->package;
    const DeviceInformation device(line->info);
    BatchResult& result = line->result;
    result = BatchResult();
    result.serial = line->serial;
    result.name = device.deviceName();
    result.model = device.model();
    describePlace(line, &result);
    result.versionBefore = device.softwareVersion();
    result.packageName = package->fileName();
    result.packageSha256 = package->sha256();
    package->signature().describe(result);
    result.started = QDateTime::currentDateTime();
    line->clock.start();
    line->done = 0;
    line->total = package->totalBytes();
    line->rate.start(line->total);
    line->step.clear();
    line->phase = Running;

    // Recorded in the service history as the batch window's, with the bytes it sends.
    auto* run = new OperationRun(package->operation(), line->serial, line->port);
    line->run = run;
    run->setPackage(package->path(), package->sha256());
    run->setFrontEnd(QString::fromLatin1(ServiceRecord::BatchFrontEnd));
    run->setTotalBytes(line->total);
    // "Done" once the device is back from its restart, with the software it came back with.
    run->setFollowRestart(true);
    const int id = line->id;
    connect(run, &OperationRun::progressed, this, [this, id](qint64 done) {
        if (BatchLine* running = lineById(id))
            running->setDone(done);
    });
    connect(run, &OperationRun::stepChanged, this, [this, id](const QString& text) {
        BatchLine* running = lineById(id);
        // While a project's files go, the file on its way says more than the step.
        if (running && running->run && running->run->link()
            && running->run->link()->currentOperation() == DeviceLink::SendProjectFile && !running->step.isEmpty())
            return;
        if (running) {
            running->step = text;
            changed(running, StatusColumn, StatusColumn);
        }
    });
    connect(run, &OperationRun::fileChanged, this, [this, id](const QString& file) {
        if (BatchLine* running = lineById(id)) {
            running->step = guiText("Sending %1").arg(QFileInfo(file).fileName());
            changed(running, StatusColumn, StatusColumn);
        }
    });
    connect(run, &OperationRun::restarting, this, [this, id]() {
        if (BatchLine* running = lineById(id)) {
            running->phase = Restarting;
            running->done = running->total;
            running->step.clear();
            changed(running);
            emit runChanged();
        }
    });
    connect(run, &OperationRun::ended, this, [this, id](const OperationResult& ended) {
        if (BatchLine* running = lineById(id))
            onRunEnded(running, ended);
    });
    d->refresh.start();
    emit runChanged();

    const BatchPackage* started = package;
    if (!run->start([started](DeviceLink* link) { return started->startOn(link); })) {
        // Busy for a moment after all (a clock being set): tried again soon, its refusal left unsaid.
        disconnect(run, nullptr, this, nullptr);
        line->run.clear();
        line->phase = Waiting;
        d->retry.start();
    }
    changed(line);
}

void BatchDeviceModel::retryWaiting()
{
    bool waiting = false;
    const QList<BatchLine*> lines = d->lines;
    for (BatchLine* line : lines) {
        if (line->phase != Waiting || line->queued || !d->lines.contains(line))
            continue;
        startLine(line);
        waiting = waiting || line->phase == Waiting;
    }
    if (!waiting)
        d->retry.stop();
}

void BatchDeviceModel::refreshRunning()
{
    bool running = false;
    for (BatchLine* line : std::as_const(d->lines)) {
        if (line->phase == Running) {
            running = true;
            changed(line, ProgressColumn, TimeLeftColumn);
        }
    }
    if (!running)
        d->refresh.stop();
}

void BatchDeviceModel::onRunEnded(BatchLine* line, const OperationResult& result)
{
    if (line->phase != Running && line->phase != Restarting)
        return;
    line->run.clear();
    line->step.clear();
    if (!result.succeeded()) {
        const QString reason = result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message;
        finish(line, result.outcome == OperationResult::DeviceLost ? BatchResult::DeviceLost : BatchResult::Failed, reason);
        return;
    }
    line->done = line->total;
    if (result.deviceRestarts && !result.back) {
        finish(line, BatchResult::Failed, guiText("The device did not come back after its restart."));
        return;
    }
    if (result.back) {
        const QMap<QString, QString> info = SerialPortManager::instance()->deviceInformation(result.port);
        if (!info.isEmpty()) {
            line->info = info;
            line->port = result.port;
        }
    }
    line->result.versionAfter = DeviceInformation(line->info).softwareVersion();
    // A success with a text: installed, but something after that is uncertain.
    finish(line, BatchResult::Done, result.message);
}

void BatchDeviceModel::finish(BatchLine* line, BatchResult::Outcome outcome, const QString& reason)
{
    BatchResult& result = line->result;
    if (outcome == BatchResult::Skipped || outcome == BatchResult::Cancelled) {
        // Never started: the device and the package, and why.
        const DeviceInformation device(line->info);
        result = BatchResult();
        result.serial = line->serial;
        result.name = device.deviceName();
        result.model = device.model();
        describePlace(line, &result);
        result.versionBefore = device.softwareVersion();
        if (d->package) {
            result.packageName = d->package->fileName();
            result.packageSha256 = d->package->sha256();
            d->package->signature().describe(result);
        }
    } else if (result.started.isValid()) {
        result.durationMs = line->clock.elapsed();
    }
    result.outcome = outcome;
    result.reason = reason;
    line->phase = Ended;
    line->ticked = false;
    line->queued = false;
    changed(line);
    // Its end may let the next devices of a staged run start, or stop it.
    if (d->plan.state(line->key()) == RolloutPlan::Running) {
        d->plan.ended(line->key(), outcome == BatchResult::Done);
        advance();
    }
    emit runChanged();
}

bool BatchDeviceModel::isActive() const
{
    return std::any_of(d->lines.cbegin(), d->lines.cend(), [](const BatchLine* line) {
        return line->phase == Waiting || line->phase == Running || line->phase == Restarting;
    });
}

QStringList BatchDeviceModel::transferring() const
{
    QStringList serials;
    for (const BatchLine* line : std::as_const(d->lines)) {
        if (line->phase == Running && line->run && line->run->canCancel())
            serials << line->serial;
    }
    return serials;
}

int BatchDeviceModel::cancelWaiting()
{
    // Nothing more of a staged run starts.
    d->plan.skipWaiting(guiText("The batch was cancelled before it started on this device."));
    int cancelled = 0;
    for (BatchLine* line : std::as_const(d->lines)) {
        if (line->phase == Waiting) {
            finish(line, BatchResult::Cancelled, guiText("The batch was cancelled before it started on this device."));
            ++cancelled;
        }
    }
    return cancelled;
}

int BatchDeviceModel::abandonTransfers()
{
    int abandoned = 0;
    for (BatchLine* line : std::as_const(d->lines)) {
        if (line->phase != Running || !line->run || !line->run->canCancel())
            continue;
        // Its end comes through operationEnded, as any other.
        if (line->run->cancel(guiText("The transfer was abandoned; the device restarts with what it had before.")))
            ++abandoned;
    }
    return abandoned;
}

QList<OperationRun*> BatchDeviceModel::runs() const
{
    QList<OperationRun*> list;
    for (const BatchLine* line : std::as_const(d->lines)) {
        if (line->run && line->run->isActive())
            list << line->run.data();
    }
    return list;
}

void BatchDeviceModel::stopSafely()
{
    for (OperationRun* run : runs())
        run->stopSafely();
}

void BatchDeviceModel::setProductionMode(bool on)
{
    if (on == d->production)
        return;
    d->production = on;
    // The devices here now are not "plugged in from now on"; Start serves them. Once they
    // leave, they count as any other.
    for (BatchLine* line : std::as_const(d->lines)) {
        line->servedLater = on && line->present;
        line->productionTries = 0;
    }
    emit runChanged();
}

bool BatchDeviceModel::isProductionMode() const
{
    return d->production;
}

int BatchDeviceModel::count(BatchResult::Outcome outcome) const
{
    return int(std::count_if(d->lines.cbegin(), d->lines.cend(),
                             [outcome](const BatchLine* line) { return line->result.outcome == outcome; }));
}

QString BatchDeviceModel::countsText() const
{
    return guiText("Done: %1   Failed: %2   Skipped: %3")
        .arg(count(BatchResult::Done))
        .arg(count(BatchResult::Failed) + count(BatchResult::DeviceLost))
        .arg(count(BatchResult::Skipped) + count(BatchResult::Cancelled));
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
