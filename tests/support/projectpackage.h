#ifndef PROJECTPACKAGE_H
#define PROJECTPACKAGE_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariantMap>

// A runtime project package for the tests: "config.txrc", the version information
// for the given models and minimum device software, and the given entries. Entry
// names are stored as they are, so a package may hold what no folder can (one name
// twice, "./" inside a name).
bool writeProjectPackage(const QString& archive, const QList<QPair<QString, QByteArray>>& entries,
                         const QString& models = QStringLiteral("QMX 70-A"),
                         const QString& minimumVersion = QStringLiteral("1.0.0.0"));

#endif // PROJECTPACKAGE_H
