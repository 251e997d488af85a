#include "servicehistory.h"
#include "systemhelper.h"

#include "diagnostics.h"
#include "servicehistory_p.h"

#include "localizationhelper.h"
#include "texthelper.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QSettings>
#include <QSqlError>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUuid>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

const char* const SelectFields =
    "SELECT started, ended, serial, name, model, version_before, version_after, operation, package_name, "
    "package_sha256, outcome, message, front_end, operator, slot, port, id, restarts, uuid, station, revision, signature_key_id, "
    "signature_status FROM entries";
constexpr int IdField = ServiceHistory::ColumnCount;
constexpr int RestartsField = ServiceHistory::ColumnCount + 1;
constexpr int UuidField = ServiceHistory::ColumnCount + 2;
constexpr int StationField = ServiceHistory::ColumnCount + 3;
constexpr int RevisionField = ServiceHistory::ColumnCount + 4;
constexpr int SignatureKeyIdField = ServiceHistory::ColumnCount + 5;
constexpr int SignatureStatusField = ServiceHistory::ColumnCount + 6;

// SQLite's codes for a file that is no database, or a damaged one.
const char* const NotADatabaseCode = "26";
const char* const CorruptCode = "11";

QVariant nullable(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QVariant nullableTime(const QDateTime& time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant(QMetaType::fromType<qint64>());
}

const char* const StationVariable = "DOVREL_STATION";

QString& processOperator()
{
    static QString name;
    return name;
}
const char* const ServerVariable = "DOVREL_HISTORY_SERVER";

// Whether another process has the file (or its journal) open. Elsewhere than on Linux the
// system itself refuses to rename an open file.
bool isOpenElsewhere(const QString& path)
{
#ifdef Q_OS_LINUX
    const QString file = QFileInfo(path).canonicalFilePath();
    if (file.isEmpty())
        return false;
    const QStringList names = { file, file + QStringLiteral("-wal") };
    const QString self = QString::number(QCoreApplication::applicationPid());
    // Another user's processes cannot be looked into; this user's history is not theirs.
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == self || !pid.at(0).isDigit())
            continue;
        const QString fds = QStringLiteral("/proc/%1/fd/").arg(pid);
        for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            if (names.contains(QFileInfo(fds + fd).symLinkTarget()))
                return true;
        }
    }
    return false;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// A random (version 4) UUID, made by SQLite.
const char* const RandomUuid =
    "lower(hex(randomblob(4))) || '-' || lower(hex(randomblob(2))) || '-4' || substr(lower(hex(randomblob(2))), 2) || '-' "
    "|| substr('89ab', 1 + abs(random() % 4), 1) || substr(lower(hex(randomblob(2))), 2) || '-' || lower(hex(randomblob(6)))";

// A text as an SQL literal.
QString sqlText(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QSqlDatabase ServiceHistoryPrivate::database() const
{
    return QSqlDatabase::database(connectionName, false);
}

bool ServiceHistoryPrivate::connect()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    // Another process may be writing: wait for it rather than fail.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(ServiceHistory::BusyTimeoutMs));
    if (db.open())
        return true;
    lastError = db.lastError().text();
    return false;
}

void ServiceHistoryPrivate::disconnect()
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = database();
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

ServiceHistoryPrivate::Check ServiceHistoryPrivate::judge(QSqlQuery& query, int* version)
{
    // SQLite checks its own header on the first read: a file that is none fails it. The
    // schema version and the tables are read in one statement, so at one moment.
    if (!query.exec(QStringLiteral("SELECT (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_master)"))
        || !query.next()) {
        const QString code = query.lastError().nativeErrorCode();
        lastError = query.lastError().text();
        return code == QLatin1String(NotADatabaseCode) || code == QLatin1String(CorruptCode) ? NotADatabase : Unwritable;
    }
    *version = query.value(0).toInt();
    const int objects = query.value(1).toInt();
    query.finish();
    if (*version > ServiceHistory::SchemaVersion)
        return NewerVersion;
    // Without a version: new when empty, else someone else's database, left exactly as it is.
    if (*version == 0)
        return objects == 0 ? Usable : NotADatabase;
    // An older version is upgraded first, its columns looked at then.
    return *version < ServiceHistory::SchemaVersion ? Usable : ourColumns(query);
}

ServiceHistoryPrivate::Check ServiceHistoryPrivate::ourColumns(QSqlQuery& query)
{
    // Our version number on a table without our columns is not ours either.
    if (!query.exec(QString::fromLatin1(SelectFields) + QStringLiteral(" LIMIT 0"))) {
        lastError = query.lastError().text();
        return NotADatabase;
    }
    query.finish();
    return Usable;
}

ServiceHistoryPrivate::Check ServiceHistoryPrivate::prepare()
{
    QSqlDatabase db = database();
    QSqlQuery query(db);
    // Judged inside a transaction: a file that another process is making is seen before
    // its tables or with them, never half-way.
    if (!query.exec(QStringLiteral("BEGIN"))) {
        lastError = query.lastError().text();
        return Unwritable;
    }
    int version = 0;
    Check check = judge(query, &version);
    query.exec(QStringLiteral("ROLLBACK"));
    if (check != Usable)
        return check;
    if (version < ServiceHistory::SchemaVersion) {
        // Made or upgraded under the write lock, once, judged again there: another process
        // may have done it while this one waited for the lock.
        if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            lastError = query.lastError().text();
            return Unwritable;
        }
        check = judge(query, &version);
        bool made = true;
        if (check == Usable && version == 0) {
            const QStringList statements = {
                QStringLiteral("CREATE TABLE entries (id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER, "
                               "serial TEXT NOT NULL, name TEXT, model TEXT, version_before TEXT, version_after TEXT, "
                               "operation TEXT NOT NULL, package_name TEXT, package_sha256 TEXT, outcome TEXT, "
                               "message TEXT, front_end TEXT, restarts INTEGER NOT NULL DEFAULT 0)"),
                QStringLiteral("CREATE INDEX entries_started ON entries (started)"),
                QStringLiteral("CREATE INDEX entries_serial ON entries (serial, started)"),
            };
            for (const QString& statement : statements)
                made = made && query.exec(statement);
            // A new file gets the later columns the way an old one does.
            version = 1;
        }
        if (check == Usable && version < ServiceHistory::SchemaVersion) {
            made = made && upgrade(query, version)
                && query.exec(QStringLiteral("PRAGMA user_version = %1").arg(ServiceHistory::SchemaVersion));
            if (!made) {
                lastError = query.lastError().text();
                check = Unwritable;
            } else {
                check = ourColumns(query);
            }
        }
        if (check != Usable || !query.exec(QStringLiteral("COMMIT"))) {
            if (check == Usable) {
                lastError = query.lastError().text();
                check = Unwritable;
            }
            query.exec(QStringLiteral("ROLLBACK"));
            return check;
        }
    }
    // WAL: readers never block the writer, and a crash leaves the last commit intact.
    query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    query.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    return Usable;
}

bool ServiceHistoryPrivate::upgrade(QSqlQuery& query, int fromVersion)
{
    QStringList statements;
    // ---- Version 2: the shared history. Every entry gets a UUID made here and the station
    // that wrote it; revision counts its writes, synced_revision is the one the server has.
    if (fromVersion < 2) {
        statements << QStringLiteral("ALTER TABLE entries ADD COLUMN uuid TEXT")
                   << QStringLiteral("ALTER TABLE entries ADD COLUMN station TEXT")
                   << QStringLiteral("ALTER TABLE entries ADD COLUMN revision INTEGER NOT NULL DEFAULT 1")
                   << QStringLiteral("ALTER TABLE entries ADD COLUMN synced_revision INTEGER NOT NULL DEFAULT 0")
                   << QStringLiteral("UPDATE entries SET uuid = %1, station = %2").arg(QLatin1String(RandomUuid), sqlText(ServiceHistory::station()))
                   // An entry written without one (by code that does not know of it) gets one too.
                   << QStringLiteral("CREATE TRIGGER entries_uuid AFTER INSERT ON entries WHEN NEW.uuid IS NULL "
                                     "BEGIN UPDATE entries SET uuid = %1 WHERE id = NEW.id; END").arg(QLatin1String(RandomUuid))
                   << QStringLiteral("CREATE UNIQUE INDEX entries_uuid ON entries (uuid)")
                   << QStringLiteral("CREATE INDEX entries_unsynced ON entries (id) WHERE synced_revision < revision");
    }
    // ---- end of version 2
    // ---- Version 3: who signed the package that was sent (minisign's key id), and how its
    // signature was judged ("verified", "unsigned", "untrusted", "bad").
    if (fromVersion < 3) {
        statements << QStringLiteral("ALTER TABLE entries ADD COLUMN signature_key_id TEXT")
                   << QStringLiteral("ALTER TABLE entries ADD COLUMN signature_status TEXT");
    }
    // ---- end of version 3
    // ---- Version 4: who ran the operation, the slot the device was plugged into, and its
    // port (two devices may share a serial number).
    if (fromVersion < 4) {
        statements << QStringLiteral("ALTER TABLE entries ADD COLUMN operator TEXT")
                   << QStringLiteral("ALTER TABLE entries ADD COLUMN slot TEXT")
                   << QStringLiteral("ALTER TABLE entries ADD COLUMN port TEXT");
    }
    // ---- end of version 4
    for (const QString& statement : std::as_const(statements)) {
        if (!query.exec(statement))
            return false;
    }
    return true;
}

bool ServiceHistoryPrivate::setAside(Check why)
{
    disconnect();
    // Another process using it may know better (a newer version), or be in the middle of
    // something: the file stays where it is, and this process does without it.
    if (isOpenElsewhere(path)) {
        lastError = QStringLiteral("%1 is open in another process").arg(path);
        return false;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString kind = why == ServiceHistoryPrivate::NewerVersion ? QStringLiteral("newer") : QStringLiteral("unreadable");
    QString target = QStringLiteral("%1.%2-%3").arg(path, kind, stamp);
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-wal")); ++n)
        target = QStringLiteral("%1.%2-%3-%4").arg(path, kind, stamp).arg(n);
    if (!QFile::rename(path, target)) {
        // Another process set it aside first: the new file is its.
        if (!QFileInfo::exists(path))
            return true;
        lastError = QStringLiteral("%1 could not be renamed").arg(path);
        return false;
    }
    // The journal files belong to the old file: a new one must not take them up.
    for (const QLatin1String suffix : { QLatin1String("-wal"), QLatin1String("-shm") }) {
        if (QFileInfo::exists(path + suffix))
            QFile::rename(path + suffix, target + suffix);
    }
    setAsidePath = target;
    const QString shown = TextHelper::toSystemPath(path);
    const QString aside = TextHelper::toSystemPath(target);
    if (why == NewerVersion)
        setAsideMessage = deviceText("The service history %1 was written by a newer version of the program. "
                                     "It was set aside as %2, and a new history was started.")
                              .arg(shown, aside);
    else
        setAsideMessage = deviceText("The service history %1 could not be read. It was set aside as %2, and a new "
                                     "history was started.")
                              .arg(shown, aside);
    qCWarning(lcFiles).noquote() << setAsideMessage;
    return true;
}

bool ServiceHistoryPrivate::write(const QString& statement, const QVariantList& values, qint64* insertedId, int* changedRows)
{
    if (!open) {
        lastError = QStringLiteral("The service history is not open.");
        return false;
    }
    QSqlDatabase db = database();
    QSqlQuery transaction(db);
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        lastError = transaction.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    query.prepare(statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        lastError = query.lastError().text();
        transaction.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (insertedId)
        *insertedId = query.lastInsertId().toLongLong();
    if (changedRows)
        *changedRows = query.numRowsAffected();
    query.finish();
    if (!transaction.exec(QStringLiteral("COMMIT"))) {
        lastError = transaction.lastError().text();
        transaction.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

QString ServiceHistoryPrivate::whereClause(const ServiceHistory::Filter& filter, QVariantList* values, const QString& like,
                                           const QString& time)
{
    QStringList terms;
    if (!filter.serial.isEmpty()) {
        terms << QStringLiteral("serial = ?");
        *values << filter.serial;
    }
    const QString text = filter.text.trimmed();
    if (!text.isEmpty()) {
        QString escaped = text;
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('%'), QLatin1String("\\%"))
            .replace(QLatin1Char('_'), QLatin1String("\\_"));
        const QString pattern = QLatin1Char('%') + escaped + QLatin1Char('%');
        terms << QStringLiteral("(serial %1 ? ESCAPE '\\' OR name %1 ? ESCAPE '\\')").arg(like);
        *values << pattern << pattern;
    }
    if (filter.operation != ServiceRecord::NoOperation) {
        terms << QStringLiteral("operation = ?");
        *values << ServiceRecord::operationCode(filter.operation);
    }
    if (filter.outcome == ServiceRecord::Unfinished) {
        terms << QStringLiteral("outcome IS NULL");
    } else if (filter.outcome >= 0) {
        terms << QStringLiteral("outcome = ?");
        *values << ServiceRecord::outcomeCode(ServiceRecord::Outcome(filter.outcome));
    }
    if (filter.from.isValid()) {
        terms << QStringLiteral("started >= ") + time;
        *values << filter.from.toMSecsSinceEpoch();
    }
    if (filter.to.isValid()) {
        terms << QStringLiteral("started < ") + time;
        *values << filter.to.toMSecsSinceEpoch();
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

ServiceHistory::ServiceHistory(const QString& path, QObject* parent)
    : QObject(parent)
    , d(new ServiceHistoryPrivate)
{
    d->path = path;
    d->connectionName = QStringLiteral("ServiceHistory-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
}

ServiceHistory::~ServiceHistory()
{
    close();
    delete d;
}

ServiceHistory* ServiceHistory::instance()
{
    static QPointer<ServiceHistory> history;
    if (!QCoreApplication::instance())
        return nullptr;
    if (!history)
        history = new ServiceHistory(defaultPath(), QCoreApplication::instance());
    if (!history->isOpen())
        history->open();
    return history;
}

QString ServiceHistory::defaultPath()
{
    // The same folder for every front end, whatever each calls itself.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("Kavendi/Lumatra/history.sqlite"));
}

bool ServiceHistory::isEnabled()
{
    return SystemHelper::userSettings().value(QStringLiteral("serviceHistory"), true).toBool();
}

void ServiceHistory::setEnabled(bool enabled)
{
    SystemHelper::userSettings().setValue(QStringLiteral("serviceHistory"), enabled);
}

QString ServiceHistory::station()
{
    if (stationFromEnvironment())
        return qEnvironmentVariable(StationVariable).trimmed();
    const QString name = stationSetting();
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

QString ServiceHistory::stationSetting()
{
    return SystemHelper::userSettings().value(QStringLiteral("station")).toString().trimmed();
}

void ServiceHistory::setStationSetting(const QString& name)
{
    SystemHelper::userSettings().setValue(QStringLiteral("station"), name.trimmed());
}

bool ServiceHistory::stationFromEnvironment()
{
    return !qEnvironmentVariable(StationVariable).trimmed().isEmpty();
}

QString ServiceHistory::operatorName()
{
    if (!processOperator().isEmpty())
        return processOperator();
    const QString name = operatorSetting();
    return name.isEmpty() ? loginName() : name;
}

QString ServiceHistory::operatorSetting()
{
    return SystemHelper::userSettings().value(QStringLiteral("operator")).toString().trimmed();
}

void ServiceHistory::setOperatorSetting(const QString& name)
{
    SystemHelper::userSettings().setValue(QStringLiteral("operator"), name.trimmed());
}

void ServiceHistory::setProcessOperator(const QString& name)
{
    processOperator() = name.trimmed();
}

QString ServiceHistory::loginName()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    if (const passwd* entry = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
#endif
}

QString ServiceHistory::serverUri()
{
    return serverUriFromEnvironment() ? qEnvironmentVariable(ServerVariable).trimmed() : serverUriSetting();
}

QString ServiceHistory::serverUriSetting()
{
    return SystemHelper::userSettings().value(QStringLiteral("historyServer")).toString().trimmed();
}

void ServiceHistory::setServerUriSetting(const QString& uri)
{
    SystemHelper::userSettings().setValue(QStringLiteral("historyServer"), uri.trimmed());
}

bool ServiceHistory::serverUriFromEnvironment()
{
    return !qEnvironmentVariable(ServerVariable).trimmed().isEmpty();
}

bool ServiceHistory::open()
{
    if (d->open)
        return true;
    d->setAsidePath.clear();
    d->setAsideMessage.clear();
    QDir().mkpath(QFileInfo(d->path).absolutePath());
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!d->connect()) {
            d->disconnect();
            if (attempt == 0 && QFileInfo::exists(d->path) && d->setAside(ServiceHistoryPrivate::NotADatabase))
                continue;
            break;
        }
        const ServiceHistoryPrivate::Check check = d->prepare();
        if (check == ServiceHistoryPrivate::Usable) {
            d->open = true;
            return true;
        }
        d->disconnect();
        if (check == ServiceHistoryPrivate::Unwritable || attempt > 0 || !d->setAside(check))
            break;
    }
    qCWarning(lcFiles).noquote() << "The service history" << d->path << "cannot be used:" << d->lastError;
    return false;
}

bool ServiceHistory::isOpen() const
{
    return d->open;
}

void ServiceHistory::close()
{
    d->open = false;
    d->disconnect();
}

QString ServiceHistory::path() const
{
    return d->path;
}

QString ServiceHistory::connectionName() const
{
    return d->connectionName;
}

QString ServiceHistory::setAsidePath() const
{
    return d->setAsidePath;
}

QString ServiceHistory::setAsideMessage() const
{
    return d->setAsideMessage;
}

QString ServiceHistory::lastError() const
{
    return d->lastError;
}

qint64 ServiceHistory::add(const ServiceRecord& record)
{
    qint64 id = 0;
    const QString uuid = record.uuid.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : record.uuid;
    const QString station = record.station.isEmpty() ? ServiceHistory::station() : record.station;
    const QVariantList values = {
        record.started.toMSecsSinceEpoch(), nullableTime(record.ended), record.serial, record.name, record.model,
        record.versionBefore, nullable(record.versionAfter), ServiceRecord::operationCode(record.operation),
        nullable(record.packageName), nullable(record.packageSha256),
        record.outcome == ServiceRecord::Unfinished ? QVariant(QMetaType::fromType<QString>())
                                                    : QVariant(ServiceRecord::outcomeCode(record.outcome)),
        nullable(record.message), record.frontEnd, record.restarts ? 1 : 0, uuid, station,
        nullable(record.signatureKeyId), nullable(record.signatureStatus), nullable(record.operatorName),
        nullable(record.slot), nullable(record.port),
    };
    if (!d->write(QStringLiteral("INSERT INTO entries (started, ended, serial, name, model, version_before, version_after, "
                                 "operation, package_name, package_sha256, outcome, message, front_end, restarts, uuid, station, "
                                 "signature_key_id, signature_status, operator, slot, port) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                  values, &id)) {
        qCWarning(lcFiles).noquote() << "Service history entry not written:" << d->lastError;
        return 0;
    }
    return id;
}

bool ServiceHistory::finish(const ServiceRecord& record)
{
    const QVariantList values = {
        nullableTime(record.ended),
        record.outcome == ServiceRecord::Unfinished ? QVariant(QMetaType::fromType<QString>())
                                                    : QVariant(ServiceRecord::outcomeCode(record.outcome)),
        nullable(record.message), record.restarts ? 1 : 0, record.id,
    };
    if (!d->write(QStringLiteral("UPDATE entries SET ended = ?, outcome = ?, message = ?, restarts = ?, revision = revision + 1 WHERE id = ?"), values)) {
        qCWarning(lcFiles).noquote() << "Service history entry not completed:" << d->lastError;
        return false;
    }
    return true;
}

bool ServiceHistory::recordReturn(const QString& serial, const QString& version, qint64 withinMs)
{
    const qint64 since = QDateTime::currentMSecsSinceEpoch() - withinMs;
    int changedRows = 0;
    if (!d->write(QStringLiteral("UPDATE entries SET version_after = ?, revision = revision + 1 WHERE id = (SELECT id FROM entries WHERE serial = ? "
                                 "ORDER BY started DESC, id DESC LIMIT 1) AND restarts = 1 AND version_after IS NULL "
                                 "AND ended IS NOT NULL AND ended >= ?"),
                  { version, serial, since }, nullptr, &changedRows))
        return false;
    return changedRows > 0;
}

QSqlQuery ServiceHistory::select(const Filter& filter)
{
    QVariantList values;
    const QString where = ServiceHistoryPrivate::whereClause(filter, &values);
    QSqlQuery query(d->database());
    query.prepare(QString::fromLatin1(SelectFields) + where + QStringLiteral(" ORDER BY started DESC, id DESC"));
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    if (!query.exec())
        d->lastError = query.lastError().text();
    return query;
}

ServiceRecord ServiceHistory::recordOf(const QSqlQuery& query)
{
    ServiceRecord record;
    record.id = query.value(IdField).toLongLong();
    record.started = QDateTime::fromMSecsSinceEpoch(query.value(StartedColumn).toLongLong());
    if (!query.isNull(EndedColumn))
        record.ended = QDateTime::fromMSecsSinceEpoch(query.value(EndedColumn).toLongLong());
    record.serial = query.value(SerialColumn).toString();
    record.name = query.value(NameColumn).toString();
    record.model = query.value(ModelColumn).toString();
    record.versionBefore = query.value(VersionBeforeColumn).toString();
    record.versionAfter = query.value(VersionAfterColumn).toString();
    record.operation = ServiceRecord::operationFromCode(query.value(OperationColumn).toString());
    record.packageName = query.value(PackageColumn).toString();
    record.packageSha256 = query.value(Sha256Column).toString();
    record.outcome = ServiceRecord::outcomeFromCode(query.value(ResultColumn).toString());
    record.message = query.value(MessageColumn).toString();
    record.frontEnd = query.value(FrontEndColumn).toString();
    record.operatorName = query.value(OperatorColumn).toString();
    record.slot = query.value(SlotColumn).toString();
    record.port = query.value(PortColumn).toString();
    record.restarts = query.value(RestartsField).toInt() != 0;
    record.uuid = query.value(UuidField).toString();
    record.station = query.value(StationField).toString();
    record.revision = query.value(RevisionField).toInt();
    record.signatureKeyId = query.value(SignatureKeyIdField).toString();
    record.signatureStatus = query.value(SignatureStatusField).toString();
    return record;
}

QList<ServiceRecord> ServiceHistory::unsent(qint64 afterId, int limit)
{
    QList<ServiceRecord> list;
    QSqlQuery query(d->database());
    query.setForwardOnly(true);
    query.prepare(QString::fromLatin1(SelectFields) + QStringLiteral(" WHERE synced_revision < revision AND id > ? ORDER BY id LIMIT ?"));
    query.addBindValue(afterId);
    query.addBindValue(limit);
    if (!query.exec())
        d->lastError = query.lastError().text();
    while (query.next())
        list << recordOf(query);
    return list;
}

int ServiceHistory::unsentCount()
{
    QSqlQuery query(d->database());
    return query.exec(QStringLiteral("SELECT count(*) FROM entries WHERE synced_revision < revision")) && query.next()
        ? query.value(0).toInt() : 0;
}

bool ServiceHistory::markSent(const QList<ServiceRecord>& entries)
{
    if (entries.isEmpty())
        return true;
    QSqlDatabase db = d->database();
    QSqlQuery transaction(db);
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        d->lastError = transaction.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    // Written again since it was read: the server has an older form, it stays unsent.
    query.prepare(QStringLiteral("UPDATE entries SET synced_revision = ? WHERE id = ? AND revision = ?"));
    for (const ServiceRecord& entry : entries) {
        query.addBindValue(entry.revision);
        query.addBindValue(entry.id);
        query.addBindValue(entry.revision);
        if (!query.exec()) {
            d->lastError = query.lastError().text();
            transaction.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    query.finish();
    if (!transaction.exec(QStringLiteral("COMMIT"))) {
        d->lastError = transaction.lastError().text();
        transaction.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

QList<ServiceRecord> ServiceHistory::entries(const Filter& filter, int limit)
{
    QList<ServiceRecord> list;
    QSqlQuery query = select(filter);
    while ((limit < 0 || list.size() < limit) && query.next())
        list << recordOf(query);
    return list;
}

int ServiceHistory::count(const Filter& filter)
{
    QVariantList values;
    const QString where = ServiceHistoryPrivate::whereClause(filter, &values);
    QSqlQuery query(d->database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT count(*) FROM entries") + where);
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    return query.exec() && query.next() ? query.value(0).toInt() : 0;
}

bool ServiceHistory::exportCsv(const Filter& filter, const QString& filePath)
{
    QSqlQuery query = select(filter);
    return writeCsv(filePath, {}, [&query](int column, QString* text) {
        if (column == 0 && !query.next())
            return false;
        *text = columnText(column, query.value(column));
        return true;
    }, &d->lastError);
}

bool ServiceHistory::exportCsv(const QList<ServiceRecord>& entries, const QString& filePath, QString* error)
{
    int row = -1;
    return writeCsv(filePath, { StationColumn }, [&entries, &row](int column, QString* text) {
        if (column == StationColumn && ++row >= entries.size())
            return false;
        *text = recordText(entries.at(row), column);
        return true;
    }, error);
}

bool ServiceHistory::writeCsv(const QString& filePath, const QList<int>& leading,
                              const std::function<bool(int, QString*)>& field, QString* error)
{
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QList<int> columns = leading;
    for (int column = 0; column < ColumnCount; ++column)
        columns << column;
    QStringList fields;
    for (int column : std::as_const(columns))
        fields << csvField(columnTitle(column));
    for (;;) {
        file.write((fields.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8());
        fields.clear();
        QString text;
        for (int column : std::as_const(columns)) {
            if (!field(column, &text))
                break;
            fields << csvField(text);
        }
        if (fields.isEmpty())
            break;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QString ServiceHistory::columnTitle(int column)
{
    switch (column) {
    case StartedColumn: return deviceText("Started");
    case EndedColumn: return deviceText("Ended");
    case SerialColumn: return deviceText("Serial number");
    case NameColumn: return deviceText("Name");
    case ModelColumn: return deviceText("Model");
    case VersionBeforeColumn: return deviceText("Software before");
    case VersionAfterColumn: return deviceText("Software after");
    case OperationColumn: return deviceText("Operation");
    case PackageColumn: return deviceText("Package");
    case Sha256Column: return deviceText("SHA-256");
    case ResultColumn: return deviceText("Result");
    case MessageColumn: return deviceText("Message");
    case FrontEndColumn: return deviceText("Front end");
    case OperatorColumn: return deviceText("Operator");
    case SlotColumn: return deviceText("Slot");
    case PortColumn: return deviceText("Port");
    case StationColumn: return deviceText("Station");
    default: return QString();
    }
}

QString ServiceHistory::columnText(int column, const QVariant& stored)
{
    switch (column) {
    case StartedColumn:
    case EndedColumn:
        return stored.isNull() ? QString() : ServiceRecord::timeText(QDateTime::fromMSecsSinceEpoch(stored.toLongLong()));
    case OperationColumn: {
        const ServiceRecord::Operation operation = ServiceRecord::operationFromCode(stored.toString());
        // A code of a newer version is shown as it is.
        return operation == ServiceRecord::NoOperation ? stored.toString() : ServiceRecord::operationName(operation);
    }
    case ResultColumn:
        return ServiceRecord::outcomeName(ServiceRecord::outcomeFromCode(stored.toString()));
    default:
        return stored.toString();
    }
}

QString ServiceHistory::recordText(const ServiceRecord& record, int column)
{
    switch (column) {
    case StartedColumn: return ServiceRecord::timeText(record.started);
    case EndedColumn: return ServiceRecord::timeText(record.ended);
    case SerialColumn: return record.serial;
    case NameColumn: return record.name;
    case ModelColumn: return record.model;
    case VersionBeforeColumn: return record.versionBefore;
    case VersionAfterColumn: return record.versionAfter;
    case OperationColumn: return ServiceRecord::operationName(record.operation);
    case PackageColumn: return record.packageName;
    case Sha256Column: return record.packageSha256;
    case ResultColumn: return ServiceRecord::outcomeName(record.outcome);
    case MessageColumn: return record.message;
    case FrontEndColumn: return record.frontEnd;
    case OperatorColumn: return record.operatorName;
    case SlotColumn: return record.slot;
    case PortColumn: return record.port;
    case StationColumn: return record.station;
    default: return QString();
    }
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
