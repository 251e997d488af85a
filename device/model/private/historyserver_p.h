#ifndef HISTORYSERVER_P_H
#define HISTORYSERVER_P_H

#include "historyserver.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>

namespace Orvane {
namespace Tavrix {
namespace Common {

class HistoryServerPrivate
{
public:
    QSqlDatabase database() const;
    bool connect();
    // Makes the tables when there are none; false for tables this program must not touch.
    bool prepareSchema();
    // Runs a statement with its values; on failure the connection is closed (the next use
    // connects again) and the status and error say why.
    bool exec(QSqlQuery& query, const QString& statement, const QVariantList& values = {});
    bool fail(const QSqlError& error);
    bool fail(HistoryServer::Status why, const QString& text);

    QString uri;
    QString connectionName;
    HistoryServer::Status status = HistoryServer::Ready;
    QString lastError;
    bool open = false;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // HISTORYSERVER_P_H
