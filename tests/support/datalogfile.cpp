#include "datalogfile.h"

#include "datalogexporter.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

using Orvane::Tavrix::Common::DataLogExporter;

bool writeDataLog(const QString& path, const QList<DataLogTable>& tables)
{
    QFile::remove(path);
    const QString connection = QStringLiteral("make-%1").arg(path);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        db.transaction();
        for (const DataLogTable& table : tables) {
            const QString name = DataLogExporter::quotedIdentifier(table.name);
            QSqlQuery query(db);
            ok = ok && query.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(name, table.columns));
            for (const QVariantList& row : table.rows) {
                QStringList marks;
                for (int i = 0; i < row.size(); ++i)
                    marks << QStringLiteral("?");
                ok = ok && query.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(name, marks.join(QLatin1Char(','))));
                for (const QVariant& value : row)
                    query.addBindValue(value);
                ok = ok && query.exec();
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}
