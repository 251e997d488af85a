#ifndef DOVRELCTLRUN_H
#define DOVRELCTLRUN_H

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

// One run of the real dovrelctl program, as a script would run it.
struct DovrelctlRun
{
    int exitCode = -1; // -1: did not end in time (killed), -2: crashed
    QByteArray out;
    QByteArray err;
    QJsonObject json;
    bool jsonValid = false;

    static QString programPath();
    // Runs dovrelctl with args; the environment is the test's, without
    // DOVREL_VIRTUAL_PORTS and in English, plus env.
    static DovrelctlRun start(const QStringList& args, const QMap<QString, QString>& env = {}, int timeoutMs = 90000);
    // The same, running while the caller goes on (its event loop included); collect() waits for its end.
    static std::unique_ptr<QProcess> launch(const QStringList& args, const QMap<QString, QString>& env = {});
    static DovrelctlRun collect(QProcess& process, int timeoutMs = 90000);

    // The objects of a run on several devices, one a line.
    QList<QJsonObject> jsonLines() const;
    // The failure shape: exactly one object with ok false, the error and the exit code.
    bool isFailure(int expectedExitCode) const;
    QString describe() const;
};

#endif // DOVRELCTLRUN_H
