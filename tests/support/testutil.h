#ifndef TESTUTIL_H
#define TESTUTIL_H

#include "connecteddevice.h"
#include "eventwait.h"
#include "randomdata.h"
#include "localizationhelper.h"
#include "serialportmanager.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

// Small helpers shared by the device link tests.

// Texts are shown in the user's language; tests compare with the looked-up key.
inline QString rt(const QString& key)
{
    return Orvane::Tavrix::Common::LocalizationHelper::runtimeString(key);
}

// Starts the emulated device and waits until the manager announced it; the command
// port is free by then (the scanner closes its port before the announcement).
inline bool startDevice(ConnectedDevice& device, const QStringList& args = {})
{
    return device.start(args);
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything the manager wrote after the identification handshake.
inline QStringList sequenceCommands(ConnectedDevice& device)
{
    QStringList commands = device.emulator().commands();
    commands.removeAll(QStringLiteral("#HWCF#"));
    return commands;
}

inline QStringList filesBelow(const QString& dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(dir).relativeFilePath(it.next());
    names.sort();
    return names;
}

// Sum of the first (integer) argument over all emissions.
inline qint64 sum(const QSignalSpy& spy)
{
    qint64 total = 0;
    for (const QList<QVariant>& args : spy)
        total += args.at(0).toInt();
    return total;
}

#endif // TESTUTIL_H
