#include "servicehistorywriter.h"
#include "servicehistorywriter_p.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QPointer>

namespace Orvane {
namespace Tavrix {
namespace Common {

ServiceHistory* ServiceHistoryWriterPrivate::history()
{
    if (!file)
        file = new ServiceHistory(path);
    return file->isOpen() || file->open() ? file : nullptr;
}

ServiceHistoryWriter::ServiceHistoryWriter(const QString& path, QObject* parent)
    : QObject(parent)
    , d(new ServiceHistoryWriterPrivate)
{
    d->path = path;
    d->worker = new QObject;
    d->thread.setObjectName(QStringLiteral("ServiceHistoryWriter"));
    d->worker->moveToThread(&d->thread);
    d->thread.start();
}

ServiceHistoryWriter::~ServiceHistoryWriter()
{
    // What was given is written; the connection closes in the thread that opened it.
    QMetaObject::invokeMethod(d->worker, [this]() {
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
        if (done)
            emit written();
    });
}

void ServiceHistoryWriter::recordReturn(const QString& serial, const QString& version, qint64 withinMs)
{
    post([this, serial, version, withinMs]() {
        ServiceHistory* file = d->history();
        if (file && file->recordReturn(serial, version, withinMs))
            emit written();
    });
}

void ServiceHistoryWriter::flush()
{
    QMetaObject::invokeMethod(d->worker, []() {}, Qt::BlockingQueuedConnection);
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
