#include "operationrun.h"

#include "device.h"
#include "devicelink.h"
#include "diagnostics.h"
#include "localizationhelper.h"
#include "packagesignature.h"
#include "restartwatcher.h"
#include "serialportmanager.h"
#include "servicehistorywriter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

using Orvane::Tavrix::Common::lcTransfer;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::runtimeText;
using Common::ServiceHistoryWriter;
using Common::ServiceRecord;

namespace {

QList<QPointer<OperationRun>>& activeRuns()
{
    static QList<QPointer<OperationRun>> runs;
    return runs;
}

bool g_stopping = false;

QString activityOf(OperationResult::Kind kind)
{
    switch (kind) {
    case OperationResult::ProjectUpload: return runtimeText("uploading");
    case OperationResult::SoftwareUpgrade: return runtimeText("upgrading");
    case OperationResult::ProjectRetrieval: return runtimeText("fetching the project");
    case OperationResult::DataLogRetrieval: return runtimeText("fetching the data log");
    case OperationResult::DataLogUpdate: return runtimeText("clearing logs");
    case OperationResult::Configuration: return runtimeText("configuring");
    case OperationResult::FontListing: return runtimeText("listing fonts");
    case OperationResult::FontManagement: return runtimeText("changing fonts");
    case OperationResult::Command:
    case OperationResult::Identification: return runtimeText("sending a command");
    case OperationResult::NoKind: break;
    }
    return QString();
}

// A port another program holds is tried again this often, this long.
constexpr int InUseRetryMs = 250;
constexpr int InUseWaitMs = 15000;

bool isRetrieval(OperationResult::Kind kind)
{
    return kind == OperationResult::ProjectRetrieval || kind == OperationResult::DataLogRetrieval;
}

} // namespace

class OperationRunPrivate
{
public:
    ServiceRecord::Operation operation = ServiceRecord::NoOperation;
    OperationResult::Kind kind = OperationResult::NoKind;
    OperationRun::State state = OperationRun::NotStarted;
    QString serial;
    QString port;
    QMap<QString, QString> info;
    QString packageName;
    QString packageSha256;
    Common::PackageSignature signature;
    QString frontEnd;
    bool follow = false;
    int returnMs = RestartWatcher::ReturnMs;
    QPointer<DeviceLink> link;
    QList<QMetaObject::Connection> connections;
    Common::TransferRate rate;
    qint64 done = 0;
    qint64 total = 0;
    QString step;
    OperationResult result;
    std::function<bool(DeviceLink*)> start;
    bool waited = false;
    bool operationEnded = false;
    bool stopped = false;
    QElapsedTimer inUseSince;
    QString stopStep; // what it was doing when it was asked to stop
    ServiceRecord record;
    qint64 token = 0;
};

OperationRun::OperationRun(ServiceRecord::Operation operation, const QString& serial, const QString& port)
    : QObject(SerialPortManager::instance())
    , d(new OperationRunPrivate)
{
    d->operation = operation;
    d->kind = Device::kindOf(operation);
    d->serial = serial;
    d->port = port;
    if (SerialPortManager* manager = SerialPortManager::instance()) {
        const QString where = manager->portOfDevice(serial, port);
        if (!where.isEmpty()) {
            d->port = where;
            d->info = manager->deviceInformation(where);
        }
    }
}

OperationRun::~OperationRun()
{
    activeRuns().removeAll(this);
    for (const QMetaObject::Connection& connection : std::as_const(d->connections))
        disconnect(connection);
    delete d;
}

void OperationRun::setKind(OperationResult::Kind kind) { d->kind = kind; }

void OperationRun::setPackage(const QString& path, const QString& sha256)
{
    d->packageName = path.isEmpty() ? QString() : QFileInfo(path).fileName();
    d->packageSha256 = sha256;
    // Who signed those bytes, as their check before the start judged them.
    d->signature = Common::PackageSignature::lastChecked(path, sha256);
}

void OperationRun::setFrontEnd(const QString& frontEnd) { d->frontEnd = frontEnd; }

void OperationRun::setTotalBytes(qint64 total)
{
    d->total = total;
    d->rate.setTotal(total);
}

void OperationRun::setFollowRestart(bool follow, int returnMs)
{
    d->follow = follow;
    d->returnMs = returnMs < 0 ? int(RestartWatcher::ReturnMs) : returnMs;
}

OperationRun::State OperationRun::state() const { return d->state; }
bool OperationRun::isActive() const { return d->state == Running || d->state == Restarting; }
ServiceRecord::Operation OperationRun::operation() const { return d->operation; }
OperationResult::Kind OperationRun::kind() const { return d->kind; }
QString OperationRun::serial() const { return d->serial; }
QMap<QString, QString> OperationRun::deviceInformation() const { return d->info; }
QString OperationRun::deviceTitle() const { return d->info.isEmpty() ? d->serial : deviceTitle(d->info); }
DeviceLink* OperationRun::link() const { return d->state == Running ? d->link.data() : nullptr; }
const Common::TransferRate& OperationRun::rate() const { return d->rate; }
qint64 OperationRun::bytesDone() const { return d->done; }
qint64 OperationRun::totalBytes() const { return d->total; }
QString OperationRun::step() const { return d->step; }
OperationResult OperationRun::result() const { return d->result; }

QString OperationRun::port() const
{
    if (d->state == Restarting)
        return QString();
    SerialPortManager* manager = SerialPortManager::instance();
    const QString where = manager ? manager->portOfDevice(d->serial, d->port) : QString();
    return where;
}

QString OperationRun::deviceTitle(const QMap<QString, QString>& info)
{
    const QString serial = info.value(QStringLiteral("serial"));
    const QString name = info.value(QStringLiteral("deviceName"));
    return name.isEmpty() ? serial : QStringLiteral("%1 (%2)").arg(name, serial);
}

QString OperationRun::goneText()
{
    return runtimeText("The device is no longer connected.");
}

QString OperationRun::busyText()
{
    return runtimeText("The device is busy with another operation. Please try again later.");
}

QList<OperationRun*> OperationRun::active()
{
    QList<OperationRun*> runs;
    for (const QPointer<OperationRun>& run : std::as_const(activeRuns())) {
        if (run && run->isActive())
            runs << run.data();
    }
    return runs;
}

OperationRun* OperationRun::activeOn(const QString& serial, const QString& port)
{
    for (OperationRun* run : active()) {
        if (run->serial() == serial && (port.isEmpty() || run->d->port == port))
            return run;
    }
    return nullptr;
}

bool OperationRun::isAvailable(const DeviceLink* link)
{
    if (!link || !link->isPresent())
        return false;
    if (!link->isRunning())
        return !link->isSerialPortOpen();
    return link->runningKind() == OperationResult::Command || link->runningKind() == OperationResult::Identification;
}

bool OperationRun::start(const std::function<bool(DeviceLink*)>& start)
{
    if (d->state != NotStarted)
        return false;
    d->state = Running;
    d->start = start;
    activeRuns().append(this);
    d->result.kind = d->kind;
    d->result.serial = d->serial;
    d->result.port = d->port;
    tryStart();
    return !d->result.refused;
}

bool OperationRun::isStopping()
{
    return g_stopping;
}

void OperationRun::clearStopping()
{
    g_stopping = false;
}

QList<QPair<OperationRun*, QString>> OperationRun::stopAll()
{
    g_stopping = true;
    QList<QPair<OperationRun*, QString>> finishing;
    for (OperationRun* run : active()) {
        const QString step = run->stepText();
        if (!run->stopSafely())
            finishing.append({ run, step });
    }
    return finishing;
}

QString OperationRun::stepText() const
{
    if (d->state == Restarting)
        return runtimeText("waiting for the device to restart");
    return d->link && d->state == Running ? d->link->stepText() : runtimeText("starting");
}

QString OperationRun::activityText() const
{
    QString text = QStringLiteral("%1: %2").arg(deviceTitle(), activityOf(d->kind));
    if (d->state == Restarting)
        return runtimeText("%1, waiting for the device to restart").arg(text);
    if (d->total > 0 && d->kind != OperationResult::Configuration)
        text = runtimeText("%1, %2%").arg(text).arg(int(qBound(qint64(0), d->done * 100 / d->total, qint64(100))));
    return text;
}

bool OperationRun::stopSafely()
{
    if (!isActive())
        return true;
    if (d->stopped)
        return d->state != Running;
    d->stopped = true;
    d->stopStep = stepText();
    const QString reason = runtimeText("Stopped while %1.").arg(d->stopStep);
    if (d->state == Restarting) {
        // The work is done; only the return is not waited for.
        d->result.back = false;
        QMetaObject::invokeMethod(this, &OperationRun::end, Qt::QueuedConnection);
        return true;
    }
    if (!d->link) {
        // Waiting for a single command to end: never started.
        d->result.outcome = OperationResult::Interrupted;
        d->result.message = reason;
        d->result.refused = true;
        d->operationEnded = true;
        QMetaObject::invokeMethod(this, &OperationRun::end, Qt::QueuedConnection);
        return true;
    }
    return d->link->stopSafely(reason);
}

void OperationRun::tryStart()
{
    if (d->state != Running || d->operationEnded)
        return;
    if (g_stopping) {
        d->result.outcome = OperationResult::Interrupted;
        d->result.message = runtimeText("Not started: the program is stopping.");
        d->result.refused = true;
        d->operationEnded = true;
        QMetaObject::invokeMethod(this, &OperationRun::end, Qt::QueuedConnection);
        return;
    }
    SerialPortManager* manager = SerialPortManager::instance();
    const QString where = manager ? manager->portOfDevice(d->serial, d->port) : QString();
    DeviceLink* link = where.isEmpty() ? nullptr : manager->link(where);
    if (!link || !link->isPresent()) {
        refuse(goneText());
        return;
    }
    if (link->isRunning() && isAvailable(link) && !d->waited) {
        // A single command is on its way: this starts once it has ended.
        d->waited = true;
        connect(link, &DeviceLink::operationEnded, this, [this]() {
            QMetaObject::invokeMethod(this, &OperationRun::tryStart, Qt::QueuedConnection);
        }, Qt::SingleShotConnection);
        return;
    }
    if (link->isRunning() || link->isSerialPortOpen()) {
        refuse(busyText());
        return;
    }
    d->port = where;
    d->result.port = where;
    d->info = manager->deviceInformation(where);
    d->link = link;
    d->done = 0;
    d->rate.start(d->total);
    connectLink(link);
    qCDebug(lcTransfer).noquote() << QStringLiteral("%1 on %2 (%3) starts").arg(QVariant::fromValue(d->kind).toString(), d->serial, where);
    const QPointer<OperationRun> self(this);
    const std::function<bool(DeviceLink*)> start = d->start;
    const bool started = start(link);
    if (!self)
        return;
    if (started && d->operationEnded && link->openFailedInUse() && d->inUseSince.isValid() == false)
        d->inUseSince.start();
    if (started && d->operationEnded && link->openFailedInUse() && d->inUseSince.elapsed() < InUseWaitMs) {
        // Another program holds the port for a moment (identifying the device): tried again soon.
        for (const QMetaObject::Connection& connection : std::as_const(d->connections))
            disconnect(connection);
        d->connections.clear();
        d->operationEnded = false;
        d->result = OperationResult();
        d->result.kind = d->kind;
        d->result.serial = d->serial;
        d->result.port = where;
        QTimer::singleShot(InUseRetryMs, this, &OperationRun::tryStart);
        return;
    }
    if (!started && !d->operationEnded) {
        // The link took nothing: it is busy with something the checks above did not see.
        for (const QMetaObject::Connection& connection : std::as_const(d->connections))
            disconnect(connection);
        d->connections.clear();
        refuse(busyText());
        return;
    }
    recordStart();
}

void OperationRun::connectLink(DeviceLink* link)
{
    d->connections << connect(link, &DeviceLink::operationEnded, this, &OperationRun::onOperationEnded);
    d->connections << connect(link, &DeviceLink::progressUpdated, this, [this](int value) {
        // A configuration counts its steps; every other operation the bytes it sends.
        if (d->kind == OperationResult::Configuration) {
            emit stepDone(value);
            return;
        }
        d->done += value;
        d->rate.update(d->done);
        emit progressed(d->done, d->total);
    });
    d->connections << connect(link, &DeviceLink::fileTransferProgress, this, [this](qint64 done, qint64 total) {
        if (isRetrieval(d->kind)) {
            if (d->rate.total() != total)
                d->rate.start(total);
            d->done = done;
            d->total = total;
            d->rate.update(done);
            emit progressed(done, total);
        }
        emit fileProgressed(done, total);
    });
    d->connections << connect(link, &DeviceLink::currentFileChanged, this, &OperationRun::fileChanged);
    const auto stepText = [this](const QString& text) {
        d->step = text;
        emit stepChanged(text);
    };
    d->connections << connect(link, &DeviceLink::progressMessage, this, stepText);
    d->connections << connect(link, &DeviceLink::notice, this, [this](const QString& text) {
        d->result.notices << text;
        emit notice(text);
    });
    d->connections << connect(link, &DeviceLink::initializeRetrieve, this, [stepText](const QString& text, int) { stepText(text); });
    d->connections << connect(link, &DeviceLink::initializeLogRetrieve, this, [stepText](const QString& text, int) { stepText(text); });
    d->connections << connect(link, &DeviceLink::sendingFileInitiated, this, [stepText](const QString& text, int) { stepText(text); });
    d->connections << connect(link, &DeviceLink::sentFile, this, [stepText](const QString& text, int) { stepText(text); });
}

bool OperationRun::canCancel() const
{
    return d->state == Running && d->link && d->link->isTransferring();
}

bool OperationRun::cancel(const QString& reason)
{
    if (!canCancel())
        return false;
    // Its end comes through the link's operationEnded, as any other.
    return d->link->cancelTransfer(reason);
}

void OperationRun::onOperationEnded(const OperationResult& result)
{
    if (d->state != Running || d->operationEnded || result.kind != d->kind)
        return;
    d->operationEnded = true;
    const QStringList notices = d->result.notices;
    d->result = result;
    d->result.serial = d->serial;
    d->result.notices = notices;
    // Taken up once the link has told everyone: receivers may run event loops.
    QMetaObject::invokeMethod(this, &OperationRun::finishOperation, Qt::QueuedConnection);
}

void OperationRun::finishOperation()
{
    // An attempt that met a port in use is started again rather than ended.
    if (!d->operationEnded || d->state != Running)
        return;
    for (const QMetaObject::Connection& connection : std::as_const(d->connections))
        disconnect(connection);
    d->connections.clear();
    recordEnd();
    const bool done = d->result.outcome == OperationResult::Succeeded || d->result.outcome == OperationResult::NoData;
    if (d->follow && done && d->result.deviceRestarts) {
        followRestart();
        return;
    }
    end();
}

void OperationRun::followRestart()
{
    d->state = Restarting;
    emit restarting();
    auto* watcher = new RestartWatcher(d->serial, d->port, d->returnMs, this);
    connect(watcher, &RestartWatcher::finished, this, [this, watcher](bool back) {
        watcher->deleteLater();
        d->result.back = back;
        if (back) {
            d->port = watcher->port();
            d->result.port = d->port;
            d->info = watcher->information();
        }
        end();
    });
    if (watcher->state() != RestartWatcher::Waiting)
        QMetaObject::invokeMethod(this, [this]() { end(); }, Qt::QueuedConnection);
}

void OperationRun::refuse(const QString& reason)
{
    d->result.outcome = OperationResult::Failed;
    d->result.message = reason;
    d->result.refused = true;
    d->operationEnded = true;
    QMetaObject::invokeMethod(this, &OperationRun::end, Qt::QueuedConnection);
}

void OperationRun::end()
{
    if (d->state == Ended)
        return;
    d->state = Ended;
    activeRuns().removeAll(this);
    qCDebug(lcTransfer).noquote() << QStringLiteral("%1 on %2 ended: %3 %4")
                                         .arg(QVariant::fromValue(d->kind).toString(), d->serial,
                                              QVariant::fromValue(d->result.outcome).toString(), d->result.message);
    emit ended(d->result);
    deleteLater();
}

void OperationRun::recordStart()
{
    ServiceHistoryWriter* history = d->operation == ServiceRecord::NoOperation ? nullptr : Device::historyWriter();
    if (!history)
        return;
    ServiceRecord& record = d->record;
    record.started = QDateTime::currentDateTimeUtc();
    record.serial = d->serial;
    record.name = d->info.value(QStringLiteral("deviceName"));
    record.model = d->info.value(QStringLiteral("model"));
    record.versionBefore = d->info.value(QStringLiteral("deviceAppVer"));
    record.operation = d->operation;
    record.frontEnd = d->frontEnd.isEmpty() ? Device::frontEnd() : d->frontEnd;
    record.packageName = d->packageName;
    record.packageSha256 = d->packageSha256;
    d->signature.describe(record);
    // An operation that ended before its start was recorded is written whole at once.
    if (d->operationEnded) {
        recordEnd();
        return;
    }
    d->token = history->begin(record);
}

void OperationRun::recordEnd()
{
    ServiceHistoryWriter* history = ServiceHistoryWriter::instance();
    if (!history || d->record.operation == ServiceRecord::NoOperation || d->record.ended.isValid())
        return;
    d->record.ended = QDateTime::currentDateTimeUtc();
    d->record.outcome = Device::outcomeOf(d->result.outcome);
    d->record.message = d->result.message;
    // Stopped: the entry says where.
    if (d->stopped && d->result.outcome == OperationResult::Interrupted && !d->result.message.contains(d->stopStep))
        d->record.message = QStringLiteral("%1 %2").arg(d->result.message, runtimeText("Stopped while %1.").arg(d->stopStep)).trimmed();
    d->record.restarts = d->result.deviceRestarts;
    if (d->token)
        history->end(d->token, d->record);
    else
        history->begin(d->record);
    d->token = 0;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
