// Data log databases as a device keeps them, written for tests.
#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

// One table of a test database: name, column declarations, rows.
struct DataLogTable {
    QString name;
    QString columns;
    QList<QVariantList> rows;
};

// Writes a fresh SQLite data log at path with these tables; false when any statement failed.
bool writeDataLog(const QString& path, const QList<DataLogTable>& tables);
