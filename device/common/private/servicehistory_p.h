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
    // Renames the file (and its WAL and shared memory files) out of the way.
    bool setAside(Check why);
    // BEGIN IMMEDIATE ... COMMIT around one statement: the write lock is taken
    // (waiting for another writer) before anything is read.
    bool write(const QString& statement, const QVariantList& values, qint64* insertedId = nullptr,
               int* changedRows = nullptr);
    static QString whereClause(const ServiceHistory::Filter& filter, QVariantList* values);

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
