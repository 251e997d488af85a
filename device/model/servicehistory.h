#ifndef SERVICEHISTORY_H
#define SERVICEHISTORY_H

#include "device_global.h"
#include "servicerecord.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Common {

class ServiceHistoryPrivate;

// The service history file: one SQLite database per user that the program and
// dovrelctl both write. Every write is one transaction of its own in WAL mode with
// full syncs, so a crash or a power cut loses at most the write under way and never
// damages earlier entries; writers wait for each other (busy time-out) rather than fail.
// A file that is no database of ours, or one from a newer version, is renamed (never
// deleted) and a new one started.
class DEVICE_EXPORT ServiceHistory : public QObject
{
    Q_OBJECT
public:
    // Stored as the file's user_version; a file with a higher one is set aside, a lower
    // one is brought up to date in place.
    static constexpr int SchemaVersion = 3;
    static constexpr int BusyTimeoutMs = 5000;

    // Which entries to list; an empty field does not filter.
    struct Filter
    {
        QString serial; // exactly this serial number
        QString text;   // a part of the serial number or the device name
        ServiceRecord::Operation operation = ServiceRecord::NoOperation;
        int outcome = -1; // a ServiceRecord::Outcome
        QDateTime from;   // started at or after
        QDateTime to;     // started before
    };

    explicit ServiceHistory(const QString& path = defaultPath(), QObject* parent = nullptr);
    ~ServiceHistory() override;

    // The history of this process's user, opened on first use (null without an application).
    static ServiceHistory* instance();
    // "history.sqlite" in the user's data folder, one for the program and dovrelctl.
    static QString defaultPath();
    // The setting that switches recording off: "serviceHistory" under Kavendi/Lumatra.
    static bool isEnabled();
    static void setEnabled(bool enabled);
    // The name entries are written under: DOVREL_STATION, else the setting "station",
    // else the host name.
    static QString station();
    static QString stationSetting();
    static void setStationSetting(const QString& name);
    static bool stationFromEnvironment();
    // The shared history server (a libpq connection URI): DOVREL_HISTORY_SERVER, else the
    // setting "historyServer"; empty when the station keeps its history to itself.
    static QString serverUri();
    static QString serverUriSetting();
    static void setServerUriSetting(const QString& uri);
    static bool serverUriFromEnvironment();

    bool open();
    bool isOpen() const;
    void close();
    QString path() const;
    // The connection that models use to read the history.
    QString connectionName() const;
    // Where open() put a file it could not use, and the text that tells the user; empty otherwise.
    QString setAsidePath() const;
    QString setAsideMessage() const;
    QString lastError() const;

    // Writes a new entry; its id, or 0 when it could not be written.
    qint64 add(const ServiceRecord& record);
    // Writes the end of the entry record.id: ended, outcome, message and restarts.
    bool finish(const ServiceRecord& record);
    // The device came back after a restart with this software: the version after of its
    // latest entry, when that ended with the restart no longer than withinMs ago.
    bool recordReturn(const QString& serial, const QString& version, qint64 withinMs);

    // Entries the server has not had in their latest form, oldest first, from the entry
    // after afterId; marked as sent once the server has them, unless written again meanwhile.
    QList<ServiceRecord> unsent(qint64 afterId, int limit);
    int unsentCount();
    bool markSent(const QList<ServiceRecord>& entries);

    // Entries that pass the filter, newest first; at most limit of them (-1: all).
    QList<ServiceRecord> entries(const Filter& filter, int limit = -1);
    int count(const Filter& filter);
    // The executed query behind entries(), for a model that fetches rows as they are
    // shown: the fields are the columns below, then the entry's id and restart flag.
    QSqlQuery select(const Filter& filter);
    static ServiceRecord recordOf(const QSqlQuery& query);
    // The filtered entries as CSV (UTF-8, a header line, the texts the window shows).
    bool exportCsv(const Filter& filter, const QString& filePath);
    // Entries of several stations as CSV, the station first; false with error.
    static bool exportCsv(const QList<ServiceRecord>& entries, const QString& filePath, QString* error);

    // The columns of the window and the CSV export.
    enum Column {
        StartedColumn, EndedColumn, SerialColumn, NameColumn, ModelColumn, VersionBeforeColumn,
        VersionAfterColumn, OperationColumn, PackageColumn, Sha256Column, ResultColumn, MessageColumn,
        FrontEndColumn, ColumnCount
    };
    static QString columnTitle(int column);
    // A stored field of select() as the window shows it.
    static QString columnText(int column, const QVariant& stored);
    // A column of an entry as the window shows it; StationColumn (after the others) too.
    static QString recordText(const ServiceRecord& record, int column);
    static constexpr int StationColumn = ColumnCount;

private:
    // A header line, then rows until field() says there are no more (asked for a row's first column).
    static bool writeCsv(const QString& filePath, const QList<int>& leading, const std::function<bool(int, QString*)>& field,
                         QString* error);

    ServiceHistoryPrivate* d;
    friend class ServiceHistoryPrivate;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SERVICEHISTORY_H
