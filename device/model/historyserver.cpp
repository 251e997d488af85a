#include "historyserver.h"
#include "historyserver_p.h"

#include "diagnostics.h"
#include "localizationhelper.h"
#include "servicehistory_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

const char* const Driver = "QPSQL";

// Times travel as milliseconds since the epoch, as the station's file keeps them.
const char* const EntryFields =
    "SELECT station, (extract(epoch FROM started) * 1000)::bigint, (extract(epoch FROM ended) * 1000)::bigint, serial, "
    "name, model, version_before, version_after, operation, package_name, package_sha256, outcome, message, front_end, "
    "restarts, uuid::text, revision FROM dovrel_entries";

// Made in one transaction, under a lock that a second station meeting the empty database
// at the same moment waits for. The whole entry is kept as JSON too: fields of a later
// program that these columns do not have are not lost.
const char* const SchemaStatements[] = {
    "SELECT pg_advisory_xact_lock(7305113)",
    // The tables another station made meanwhile are no news for the user.
    "SET LOCAL client_min_messages = warning",
    "CREATE TABLE IF NOT EXISTS dovrel_schema (version integer NOT NULL)",
    "INSERT INTO dovrel_schema (version) SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM dovrel_schema)",
    "CREATE TABLE IF NOT EXISTS dovrel_entries (uuid uuid PRIMARY KEY, station text NOT NULL, revision integer NOT NULL, "
    "started timestamptz NOT NULL, ended timestamptz, serial text NOT NULL, name text, model text, version_before text, "
    "version_after text, operation text NOT NULL, package_name text, package_sha256 text, outcome text, message text, "
    "front_end text, restarts boolean NOT NULL DEFAULT false, entry jsonb NOT NULL, "
    "received timestamptz NOT NULL DEFAULT now())",
    "CREATE INDEX IF NOT EXISTS dovrel_entries_serial ON dovrel_entries (serial, started DESC)",
    "CREATE INDEX IF NOT EXISTS dovrel_entries_started ON dovrel_entries (started DESC)",
};

// An entry sent again replaces the stored one only when it was written since.
const char* const UpsertStatement =
    "INSERT INTO dovrel_entries AS e (uuid, station, revision, started, ended, serial, name, model, version_before, "
    "version_after, operation, package_name, package_sha256, outcome, message, front_end, restarts, entry) "
    "SELECT (j->>'uuid')::uuid, j->>'station', (j->>'revision')::integer, (j->>'started')::timestamptz, "
    "nullif(j->>'ended', '')::timestamptz, j->>'serial', j->>'name', j->>'model', nullif(j->>'versionBefore', ''), "
    "nullif(j->>'versionAfter', ''), j->>'operation', nullif(j->>'package', ''), nullif(j->>'sha256', ''), "
    "nullif(j->>'result', 'unfinished'), nullif(j->>'message', ''), j->>'frontEnd', (j->>'restarts')::boolean, j "
    "FROM jsonb_array_elements(CAST(? AS jsonb)) AS j "
    "ON CONFLICT (uuid) DO UPDATE SET station = excluded.station, revision = excluded.revision, "
    "started = excluded.started, ended = excluded.ended, serial = excluded.serial, name = excluded.name, "
    "model = excluded.model, version_before = excluded.version_before, version_after = excluded.version_after, "
    "operation = excluded.operation, package_name = excluded.package_name, package_sha256 = excluded.package_sha256, "
    "outcome = excluded.outcome, message = excluded.message, front_end = excluded.front_end, "
    "restarts = excluded.restarts, entry = excluded.entry, received = now() "
    "WHERE e.revision < excluded.revision";

// Per device: its latest entry, its number of entries and its last successful upload.
const char* const FleetStatement =
    "WITH latest AS (SELECT DISTINCT ON (serial) serial, name, model, "
    "coalesce(nullif(version_after, ''), version_before) AS software, station, operation, outcome, started "
    "FROM dovrel_entries %1 ORDER BY serial, started DESC, revision DESC), "
    "counted AS (SELECT serial, count(*) AS operations FROM dovrel_entries %1 GROUP BY serial), "
    "project AS (SELECT DISTINCT ON (serial) serial, package_name, package_sha256 FROM dovrel_entries "
    "WHERE operation = 'upload' AND outcome = 'succeeded' %2 ORDER BY serial, started DESC) "
    "SELECT l.serial, l.name, l.model, l.software, p.package_name, p.package_sha256, l.station, l.operation, l.outcome, "
    "(extract(epoch FROM l.started) * 1000)::bigint, c.operations "
    "FROM latest l JOIN counted c USING (serial) LEFT JOIN project p USING (serial) ORDER BY l.serial";

QString decoded(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text.simplified();
}

// A value as libpq reads it in "key=value" text.
QString quotedValue(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

QDateTime timeOf(const QVariant& milliseconds)
{
    return milliseconds.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(milliseconds.toLongLong());
}

} // namespace

QSqlDatabase HistoryServerPrivate::database() const
{
    return QSqlDatabase::database(connectionName, false);
}

bool HistoryServerPrivate::connect()
{
    if (uri.isEmpty())
        return fail(HistoryServer::NotConfigured,
                    deviceText("No history server is set up: set DOVREL_HISTORY_SERVER, or choose Setting > History server... in "
                               "dovrel."));
    QList<QPair<QString, QString>> parameters;
    QString problem;
    if (!HistoryServer::parseUri(uri, &parameters, &problem))
        return fail(HistoryServer::BadAddress,
                    deviceText("The history server address %1 is not valid: %2").arg(HistoryServer::displayUri(uri), problem));
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(Driver)))
        return fail(HistoryServer::NoDriver, deviceText("Qt's PostgreSQL driver (QPSQL) is not installed; on Debian it is in "
                                                        "the package libqt6sql6-psql."));
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(Driver), connectionName);
    QStringList options;
    // A server that does not answer, or a network that goes mid-request, must not hold up
    // the writer, nor a program's end, for long; the address may say otherwise.
    QMap<QString, QString> defaults {
        { QStringLiteral("connect_timeout"), QString::number(HistoryServer::ConnectTimeoutSeconds) },
        { QStringLiteral("keepalives_idle"), QStringLiteral("5") },
        { QStringLiteral("keepalives_interval"), QStringLiteral("2") },
        { QStringLiteral("keepalives_count"), QStringLiteral("3") },
        { QStringLiteral("tcp_user_timeout"), QStringLiteral("10000") },
        { QStringLiteral("application_name"), QStringLiteral("dovrel") },
    };
    for (const auto& [key, value] : std::as_const(parameters)) {
        if (key == QLatin1String("host")) {
            db.setHostName(value);
        } else if (key == QLatin1String("dbname")) {
            db.setDatabaseName(value);
        } else if (key == QLatin1String("user")) {
            db.setUserName(value);
        } else if (key == QLatin1String("password")) {
            db.setPassword(value);
        } else {
            options << key + QLatin1Char('=') + quotedValue(value);
            defaults.remove(key);
        }
    }
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        options << it.key() + QLatin1Char('=') + it.value();
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return true;
}

bool HistoryServerPrivate::prepareSchema()
{
    QSqlDatabase db = database();
    QSqlQuery query(db);
    if (!exec(query, QStringLiteral("SELECT to_regclass('dovrel_schema') IS NULL")) || !query.next())
        return fail(query.lastError());
    if (query.value(0).toBool()) {
        if (!db.transaction())
            return fail(db.lastError());
        for (const char* statement : SchemaStatements) {
            if (!exec(query, QString::fromLatin1(statement)))
                return false;
        }
        if (!db.commit())
            return fail(db.lastError());
        qCInfo(lcFiles).noquote() << "Made the shared history's tables on" << HistoryServer::displayUri(uri);
    }
    if (!exec(query, QStringLiteral("SELECT max(version) FROM dovrel_schema")) || !query.next())
        return fail(query.lastError());
    const int version = query.value(0).toInt();
    // Tables of a later program: not one row written, not one column added.
    if (version > HistoryServer::SchemaVersion)
        return fail(HistoryServer::NewerSchema,
                    deviceText("The history server %1 holds the shared history of a newer program (version %2; this one knows "
                               "version %3). Nothing is sent to it and nothing in it is changed: update the program.")
                        .arg(HistoryServer::displayUri(uri))
                        .arg(version)
                        .arg(HistoryServer::SchemaVersion));
    // Later versions bring their tables up to date here, step by step.
    return true;
}

bool HistoryServerPrivate::exec(QSqlQuery& query, const QString& statement, const QVariantList& values)
{
    bool done = false;
    if (values.isEmpty()) {
        done = query.exec(statement);
    } else if (query.prepare(statement)) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        done = query.exec();
    }
    return done || fail(query.lastError());
}

bool HistoryServerPrivate::fail(const QSqlError& error)
{
    // SQLSTATE classes 08 (connection) and 57P (server shut down), or no state at all
    // (libpq's own: the connection broke): the server is away, not refusing.
    const QString code = error.nativeErrorCode();
    const bool away = error.type() == QSqlError::ConnectionError || code.isEmpty() || code.startsWith(QLatin1String("08"))
        || code.startsWith(QLatin1String("57P"));
    const QString detail = oneLine(error.databaseText().isEmpty() ? error.text() : error.databaseText());
    const QString shown = HistoryServer::displayUri(uri);
    return fail(away ? HistoryServer::Unreachable : HistoryServer::Failed,
                away ? deviceText("The history server %1 cannot be reached: %2").arg(shown, detail)
                     : deviceText("The history server %1 refused a request: %2").arg(shown, detail));
}

bool HistoryServerPrivate::fail(HistoryServer::Status why, const QString& text)
{
    status = why;
    lastError = text;
    // The next use connects anew: after a server restart the old connection is dead.
    if (QSqlDatabase::contains(connectionName))
        database().close();
    open = false;
    return false;
}

HistoryServer::HistoryServer(const QString& uri)
    : d(new HistoryServerPrivate)
{
    d->uri = uri.trimmed();
    d->connectionName = QStringLiteral("HistoryServer-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
}

HistoryServer::~HistoryServer()
{
    close();
    if (QSqlDatabase::contains(d->connectionName))
        QSqlDatabase::removeDatabase(d->connectionName);
    delete d;
}

QString HistoryServer::uri() const
{
    return d->uri;
}

bool HistoryServer::open()
{
    if (d->open)
        return true;
    if (!QSqlDatabase::contains(d->connectionName) && !d->connect())
        return false;
    QSqlDatabase db = d->database();
    if (!db.open())
        return d->fail(db.lastError());
    if (!d->prepareSchema())
        return false;
    d->open = true;
    d->status = Ready;
    d->lastError.clear();
    return true;
}

bool HistoryServer::isOpen() const
{
    return d->open;
}

void HistoryServer::close()
{
    if (QSqlDatabase::contains(d->connectionName))
        d->database().close();
    d->open = false;
}

HistoryServer::Status HistoryServer::status() const
{
    return d->status;
}

QString HistoryServer::lastError() const
{
    return d->lastError;
}

bool HistoryServer::send(const QList<ServiceRecord>& entries)
{
    if (entries.isEmpty())
        return true;
    if (!open())
        return false;
    QJsonArray array;
    for (const ServiceRecord& entry : entries) {
        QJsonObject object = entry.toJson();
        // The station's own row number means nothing elsewhere.
        object.remove(QStringLiteral("id"));
        if (entry.station.isEmpty())
            object.insert(QStringLiteral("station"), ServiceHistory::station());
        object.insert(QStringLiteral("revision"), entry.revision);
        array.append(object);
    }
    QSqlQuery query(d->database());
    return d->exec(query, QString::fromLatin1(UpsertStatement),
                   { QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)) });
}

HistoryServer::SyncResult HistoryServer::sync(ServiceHistory* local)
{
    SyncResult result;
    // A connection kept from earlier may have died with a server restart: one more try
    // on a new one before the server counts as away.
    bool retry = d->open;
    bool attempted = false;
    qint64 after = 0;
    for (;;) {
        const QList<ServiceRecord> batch = local->unsent(after, BatchSize);
        if (batch.isEmpty())
            break;
        attempted = true;
        if (!send(batch)) {
            if (retry && d->status == Unreachable) {
                retry = false;
                continue;
            }
            break;
        }
        retry = false;
        // Stored: should marking them fail, they are only sent again.
        local->markSent(batch);
        result.sent += batch.size();
        after = batch.last().id;
    }
    // Nothing to send still tells whether the server is there.
    if (!attempted)
        open();
    result.status = d->open ? Ready : d->status;
    result.error = d->open ? QString() : d->lastError;
    result.unsent = local->unsentCount();
    return result;
}

QList<ServiceRecord> HistoryServer::entries(const ServiceHistory::Filter& filter, int limit)
{
    QList<ServiceRecord> list;
    if (!open())
        return list;
    QVariantList values;
    QString statement = QString::fromLatin1(EntryFields) + ServiceHistoryPrivate::whereClause(filter, &values, QStringLiteral("ILIKE"), QStringLiteral("to_timestamp(? / 1000.0)"))
        + QStringLiteral(" ORDER BY started DESC, uuid");
    if (limit >= 0)
        statement += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery query(d->database());
    query.setForwardOnly(true);
    if (!d->exec(query, statement, values))
        return list;
    while (query.next()) {
        ServiceRecord record;
        record.station = query.value(0).toString();
        record.started = timeOf(query.value(1));
        record.ended = timeOf(query.value(2));
        record.serial = query.value(3).toString();
        record.name = query.value(4).toString();
        record.model = query.value(5).toString();
        record.versionBefore = query.value(6).toString();
        record.versionAfter = query.value(7).toString();
        record.operation = ServiceRecord::operationFromCode(query.value(8).toString());
        record.packageName = query.value(9).toString();
        record.packageSha256 = query.value(10).toString();
        record.outcome = ServiceRecord::outcomeFromCode(query.value(11).toString());
        record.message = query.value(12).toString();
        record.frontEnd = query.value(13).toString();
        record.restarts = query.value(14).toBool();
        record.uuid = query.value(15).toString();
        record.revision = query.value(16).toInt();
        list << record;
    }
    return list;
}

QList<FleetDevice> HistoryServer::fleet(const QString& serial)
{
    QList<FleetDevice> list;
    if (!open())
        return list;
    QVariantList values;
    QString where;
    QString andWhere;
    if (!serial.isEmpty()) {
        where = QStringLiteral("WHERE serial = ?");
        andWhere = QStringLiteral("AND serial = ?");
        values << serial << serial << serial;
    }
    QSqlQuery query(d->database());
    query.setForwardOnly(true);
    if (!d->exec(query, QString::fromLatin1(FleetStatement).arg(where, andWhere), values))
        return list;
    while (query.next()) {
        FleetDevice device;
        device.serial = query.value(0).toString();
        device.name = query.value(1).toString();
        device.model = query.value(2).toString();
        device.software = query.value(3).toString();
        device.project = query.value(4).toString();
        device.projectSha256 = query.value(5).toString();
        device.station = query.value(6).toString();
        device.operationCode = query.value(7).toString();
        device.outcome = ServiceRecord::outcomeFromCode(query.value(8).toString());
        device.time = timeOf(query.value(9));
        device.operations = query.value(10).toInt();
        list << device;
    }
    return list;
}

QString HistoryServer::displayUri(const QString& uri)
{
    QString shown = uri.trimmed();
    static const QRegularExpression userPassword(QStringLiteral("^(postgres(?:ql)?://[^:/?@]*):[^@/?]*@"),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression passwordParameter(QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'|[^&\\s]*)"));
    shown.replace(userPassword, QStringLiteral("\\1:***@"));
    shown.replace(passwordParameter, QStringLiteral("\\1***"));
    return shown;
}

bool HistoryServer::parseUri(const QString& uri, QList<QPair<QString, QString>>* parameters, QString* error)
{
    parameters->clear();
    const QString text = uri.trimmed();
    static const QRegularExpression scheme(QStringLiteral("^postgres(?:ql)?://"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch schemeMatch = scheme.match(text);
    if (!schemeMatch.hasMatch()) {
        // libpq's other form: keyword = value, the value perhaps in single quotes.
        static const QRegularExpression pair(QStringLiteral("\\G\\s*(\\w+)\\s*=\\s*(?:'((?:[^'\\\\]|\\\\.)*)'|([^\\s']+))\\s*"));
        int at = 0;
        for (QRegularExpressionMatch match = pair.match(text); match.hasMatch() && match.capturedStart() == at;
             match = pair.match(text, at)) {
            QString value = match.captured(3);
            if (match.capturedStart(2) >= 0) {
                static const QRegularExpression escape(QStringLiteral("\\\\(.)"));
                value = match.captured(2).replace(escape, QStringLiteral("\\1"));
            }
            parameters->append({ match.captured(1), value });
            at = match.capturedEnd();
        }
        if (at < text.size() || parameters->isEmpty()) {
            *error = deviceText("give a postgresql:// address or libpq's keyword=value pairs.");
            return false;
        }
        return true;
    }

    QString rest = text.mid(schemeMatch.capturedLength());
    QString query;
    if (const int mark = rest.indexOf(QLatin1Char('?')); mark >= 0) {
        query = rest.mid(mark + 1);
        rest.truncate(mark);
    }
    QString authority = rest;
    QString database;
    if (const int slash = rest.indexOf(QLatin1Char('/')); slash >= 0) {
        authority = rest.left(slash);
        database = rest.mid(slash + 1);
    }
    if (const int at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString user = authority.left(at);
        authority = authority.mid(at + 1);
        const int colon = user.indexOf(QLatin1Char(':'));
        parameters->append({ QStringLiteral("user"), decoded(user.left(colon)) });
        if (colon >= 0)
            parameters->append({ QStringLiteral("password"), decoded(user.mid(colon + 1)) });
    }
    // One or more hosts, each perhaps with a port; [..] around an IPv6 address; a
    // percent-encoded path is a socket folder.
    QStringList hosts;
    QStringList ports;
    bool anyPort = false;
    for (const QString& hostPort : authority.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString host = hostPort;
        QString port;
        const int bracket = hostPort.startsWith(QLatin1Char('[')) ? hostPort.indexOf(QLatin1Char(']')) : -1;
        const int colon = hostPort.indexOf(QLatin1Char(':'), bracket < 0 ? 0 : bracket);
        if (colon >= 0) {
            host = hostPort.left(colon);
            port = hostPort.mid(colon + 1);
        }
        if (bracket > 0)
            host = host.mid(1, bracket - 1);
        bool number = true;
        if (!port.isEmpty())
            port.toInt(&number);
        if (!number) {
            *error = deviceText("the port %1 is not a number.").arg(port);
            return false;
        }
        anyPort = anyPort || !port.isEmpty();
        hosts << decoded(host);
        ports << port;
    }
    if (!hosts.isEmpty())
        parameters->append({ QStringLiteral("host"), hosts.join(QLatin1Char(',')) });
    if (anyPort)
        parameters->append({ QStringLiteral("port"), ports.join(QLatin1Char(',')) });
    if (!database.isEmpty())
        parameters->append({ QStringLiteral("dbname"), decoded(database) });
    for (const QString& item : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int equals = item.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            *error = deviceText("the parameter %1 has no value.").arg(item);
            return false;
        }
        parameters->append({ decoded(item.left(equals)), decoded(item.mid(equals + 1)) });
    }
    return true;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
