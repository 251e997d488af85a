#include "servicehistorywriter.h"
#include "servicehistorywriter_p.h"

#include "diagnostics.h"
#include "historyserver.h"
#include "localizationhelper.h"

#include <QCoreApplication>
#include <QMutex>
#include <QCryptographicHash>
#include <QFile>
#include <QPointer>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

constexpr int FirstPauseMs = 1000;
constexpr int LongestPauseMs = 60000;

QMutex reportLock;
ServiceHistoryWriter::ServerReport& serverReport()
{
    static ServiceHistoryWriter::ServerReport report;
    return report;
}

} // namespace

ServiceHistory* ServiceHistoryWriterPrivate::history()
{
    if (!file)
        file = new ServiceHistory(path);
    return file->isOpen() || file->open() ? file : nullptr;
}

void ServiceHistoryWriterPrivate::makeTimers()
{
    if (soon)
        return;
    soon = new QTimer(worker);
    soon->setSingleShot(true);
    soon->setInterval(0);
    QObject::connect(soon, &QTimer::timeout, worker, [this]() { sync(); });
    pause = new QTimer(worker);
    pause->setSingleShot(true);
    QObject::connect(pause, &QTimer::timeout, worker, [this]() { sync(); });
}

void ServiceHistoryWriterPrivate::syncSoon()
{
    makeTimers();
    if (!closing && !pause->isActive() && !ServiceHistory::serverUri().isEmpty())
        soon->start();
}

void ServiceHistoryWriterPrivate::sync()
{
    makeTimers();
    soon->stop();
    const QString uri = ServiceHistory::serverUri();
    ServiceHistory* local = history();
    if (uri.isEmpty() || !local) {
        delete server;
        server = nullptr;
        return;
    }
    if (!server || server->uri() != uri) {
        delete server;
        server = new HistoryServer(uri);
        pauseMs = 0;
    }
    const HistoryServer::SyncResult result = server->sync(local);
    if (result.status == HistoryServer::Ready) {
        pauseMs = 0;
        pause->stop();
        report(true);
        return;
    }
    qCDebug(lcFiles).noquote() << "History server:" << result.error << "-" << result.unsent << "entries wait";
    report(false, result.error);
    if (closing)
        return;
    pauseMs = pauseMs ? qMin(2 * pauseMs, LongestPauseMs) : FirstPauseMs;
    pause->start(pauseMs);
}

void ServiceHistoryWriterPrivate::report(bool reachable, const QString& problem)
{
    const int status = reachable ? HistoryServer::Ready : server->status();
    if (status == reportedStatus)
        return;
    reportedStatus = status;
    const QString text = reachable ? deviceText("The history server %1 is reached again.").arg(HistoryServer::displayUri(server->uri()))
                                   : problem;
    emit q->serverStatusChanged(reachable, text);
    const QMutexLocker locker(&reportLock);
    if (serverReport())
        serverReport()(reachable, text);
}

ServiceHistoryWriter::ServiceHistoryWriter(const QString& path, QObject* parent)
    : QObject(parent)
    , d(new ServiceHistoryWriterPrivate)
{
    d->q = this;
    d->path = path;
    // The writing thread looks texts up: the translator is made here, in the application's thread.
    LocalizationHelper::appTranslator();
    d->worker = new QObject;
    d->thread.setObjectName(QStringLiteral("ServiceHistoryWriter"));
    d->worker->moveToThread(&d->thread);
    d->thread.start();
    // What earlier runs left unsent goes first, once the program's loop runs: by then
    // whoever listens to serverStatusChanged is connected.
    QMetaObject::invokeMethod(this, [this]() { post([this]() { d->sync(); }); }, Qt::QueuedConnection);
}

ServiceHistoryWriter::~ServiceHistoryWriter()
{
    d->closing = true;
    // What was given is written, and sent unless the server was just found away; the
    // connections close in the thread that opened them.
    QMetaObject::invokeMethod(d->worker, [this]() {
        d->makeTimers();
        ServiceHistory* local = d->history();
        if (!d->pause->isActive() && local && local->unsentCount() > 0)
            d->sync();
        d->soon->stop();
        d->pause->stop();
        delete d->server;
        d->server = nullptr;
        delete d->file;
        d->file = nullptr;
    }, Qt::BlockingQueuedConnection);
    d->thread.quit();
    d->thread.wait();
    delete d->worker;
    delete d;
}

namespace {

QPointer<ServiceHistoryWriter>& theWriter()
{
    static QPointer<ServiceHistoryWriter> writer;
    return writer;
}

// Runs first thing as the application object goes, before the history and the SQL
// driver it writes through: entries handed over at the very end are written too, and
// the file is closed in its thread while that thread still runs.
void flushAtExit()
{
    delete theWriter().data();
}

} // namespace

ServiceHistoryWriter* ServiceHistoryWriter::instance()
{
    QPointer<ServiceHistoryWriter>& writer = theWriter();
    ServiceHistory* history = ServiceHistory::instance();
    if (!history)
        return nullptr;
    if (!writer) {
        // Nothing new once the application object goes: a writer made then would outlive it.
        if (!QCoreApplication::instance() || QCoreApplication::closingDown())
            return nullptr;
        writer = new ServiceHistoryWriter(history->path(), QCoreApplication::instance());
        qAddPostRoutine(flushAtExit);
    }
    return writer;
}

void ServiceHistoryWriter::post(const std::function<void()>& job)
{
    QMetaObject::invokeMethod(d->worker, job, Qt::QueuedConnection);
}

qint64 ServiceHistoryWriter::begin(const ServiceRecord& record, const QString& packagePath)
{
    const qint64 token = d->nextToken++;
    post([this, token, record, packagePath]() {
        ServiceRecord entry = record;
        QFile package(packagePath);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!packagePath.isEmpty() && package.open(QIODevice::ReadOnly) && hash.addData(&package))
            entry.packageSha256 = QString::fromLatin1(hash.result().toHex());
        ServiceHistory* file = d->history();
        const qint64 id = file ? file->add(entry) : 0;
        if (id) {
            d->ids.insert(token, id);
            emit written();
            d->syncSoon();
        }
    });
    return token;
}

void ServiceHistoryWriter::end(qint64 token, const ServiceRecord& record)
{
    post([this, token, record]() {
        ServiceHistory* file = d->history();
        ServiceRecord ended = record;
        ended.id = d->ids.take(token);
        // Its start could not be written: the whole entry now.
        const bool done = file && (ended.id ? file->finish(ended) : file->add(ended) > 0);
        if (done) {
            emit written();
            d->syncSoon();
        }
    });
}

void ServiceHistoryWriter::recordReturn(const QString& serial, const QString& version, qint64 withinMs)
{
    post([this, serial, version, withinMs]() {
        ServiceHistory* file = d->history();
        if (file && file->recordReturn(serial, version, withinMs)) {
            emit written();
            d->syncSoon();
        }
    });
}

void ServiceHistoryWriter::flush()
{
    QMetaObject::invokeMethod(d->worker, []() {}, Qt::BlockingQueuedConnection);
}

void ServiceHistoryWriter::syncNow()
{
    post([this]() {
        d->pauseMs = 0;
        d->sync();
    });
}

void ServiceHistoryWriter::setServerReport(const ServerReport& report)
{
    const QMutexLocker locker(&reportLock);
    serverReport() = report;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
