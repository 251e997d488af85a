#ifndef DOVRELCTL_H
#define DOVRELCTL_H

#include "commandline.h"

#include <QJsonObject>
#include <QString>

class DeviceSession;
class ProgressReporter;

// The commands of dovrelctl. Each one ends with a result on standard output
// (text lines, or one JSON object with --json) and an exit code.
class Dovrelctl
{
public:
    explicit Dovrelctl(const CommandLine& commandLine);
    ~Dovrelctl();

    int run();

private:
    int fail(int exitCode, const QString& error);
    int succeed(const QJsonObject& result, const QString& text);
    int connect();

    int listCommand();
    int infoCommand();
    int identifyCommand();
    int rebootCommand();
    int syncClockCommand();
    int uploadCommand();
    int upgradeCommand();
    int logsCommand();
    int fontsListCommand();
    int fontsManageCommand();
    int configureCommand();
    int projectFetchCommand();
    int packageInspectCommand();
    int packageMakeSampleCommand();

    // The device's stored time zone, when valid.
    bool storedTimeZone(int* minutes) const;
    bool requireVersion(const QString& minimum, const QString& text, int* exitCode);

    const CommandLine& m_cl;
    ProgressReporter* m_progress = nullptr;
    DeviceSession* m_session = nullptr;
};

#endif // DOVRELCTL_H
