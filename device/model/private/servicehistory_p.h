#ifndef SERVICEHISTORY_P_H
#define SERVICEHISTORY_P_H

#include "servicehistory.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace Orvane {
namespace Tavrix {
namespace Common {

class ServiceHistoryPrivate
{
public:
    enum Check { Usable, NotADatabase, NewerVersion, Unwritable };

    QSqlDatabase database() const;
    bool connect();
    void disconnect();
    // Creates the tables of a new file, or checks an existing one.
    Check prepare();
    // Ours (Usable, with *version 0 for a new file), newer, or not ours; run inside a transaction.
    Check judge(QSqlQuery& query, int* version);
    // Whether the entries table has the columns this version reads.
    Check ourColumns(QSqlQuery& query);
    // Brings the tables of fromVersion up to SchemaVersion, inside the caller's transaction.
    bool upgrade(QSqlQuery& query, int fromVersion);
    // Renames the file (and its WAL and shared memory files) out of the way.
    bool setAside(Check why);
    // BEGIN IMMEDIATE ... COMMIT around one statement: the write lock is taken
    // (waiting for another writer) before anything is read.
    bool write(const QString& statement, const QVariantList& values, qint64* insertedId = nullptr,
               int* changedRows = nullptr);
    // The filter's terms, for the history server too: its case-blind LIKE, and the
    // expression that makes a time of a bound number of milliseconds.
    static QString whereClause(const ServiceHistory::Filter& filter, QVariantList* values,
                               const QString& like = QStringLiteral("LIKE"), const QString& time = QStringLiteral("?"));

    QString path;
    QString connectionName;
    QString setAsidePath;
    QString setAsideMessage;
    QString lastError;
    bool open = false;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SERVICEHISTORY_P_H
