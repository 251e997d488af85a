#ifndef PROJECTPACKAGE_H
#define PROJECTPACKAGE_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A project package with "config.txrc", version information for the models and the
// given entries, their names stored as given (so one name may come twice).
bool writeProjectPackage(const QString& archive, const QList<QPair<QString, QByteArray>>& entries,
                         const QString& models = QStringLiteral("QMX 70-A"));

// A device software package for the emulated device's model and firmware and the given
// device software, with an image of imageSize bytes; empty on failure.
QString writeSoftwarePackage(const QString& archive, const QString& runtimeVersion, int imageSize);

// The same with a real image (a tar.gz) that makes the device report newVersion once
// installed.
QString writeSoftwarePackage(const QString& archive, const QString& runtimeVersion, const QString& newVersion);

#endif // PROJECTPACKAGE_H
