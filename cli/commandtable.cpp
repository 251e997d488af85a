#include "commandtable.h"

#include "dovrelctl.h"

#include <QtGlobal>

const QList<CommandTable::Command>& CommandTable::commands()
{
    static const QList<Command> table = {
        { QStringLiteral("list"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--slot SLOT]... [--all] list\nIdentifies every device port (or the given ones) and prints one line per device: port, serial number, model, software version, name, USB slot."),
          &Dovrelctl::listCommand, true },
        { QStringLiteral("info"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] info\nPrints the device information, one \"key: value\" line per entry."),
          &Dovrelctl::infoCommand },
        { QStringLiteral("identify"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] identify\nSets the device clock (when its time zone is known) and makes the device show its information."),
          &Dovrelctl::identifyCommand },
        { QStringLiteral("reboot"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] reboot\nWarm-reboots the device."),
          &Dovrelctl::rebootCommand },
        { QStringLiteral("sync-clock"), { QStringLiteral("offset") }, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--all] sync-clock [--offset MINUTES]\nSets the device clock to the current UTC time with the given offset (-720..720 minutes east of UTC), or with the time zone the device has stored."),
          &Dovrelctl::syncClockCommand, true },
        { QStringLiteral("upload"), {}, { QStringLiteral("yes"), QStringLiteral("require-signature") }, 1, 1, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--all] upload FILE.txdevproj --yes [--require-signature]\nChecks the runtime project package and uploads it. The device's current project and its logged data are lost. A package whose signature (FILE.txdevproj.minisig) does not match is refused; with --require-signature, so is one that is not signed by a trusted key."),
          &Dovrelctl::uploadCommand, true },
        { QStringLiteral("upgrade"), {}, { QStringLiteral("yes"), QStringLiteral("require-signature") }, 1, 1, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--all] upgrade FILE.txsw --yes [--require-signature]\nChecks the device software package and upgrades the device with it. A package whose signature (FILE.txsw.minisig) does not match is refused; with --require-signature, so is one that is not signed by a trusted key."),
          &Dovrelctl::upgradeCommand, true },
        { QStringLiteral("logs"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] logs list|fetch|clear ...\nSee dovrelctl logs list --help, logs fetch --help, logs clear --help."),
          nullptr },
        { QStringLiteral("logs list"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] logs list\nRetrieves the data log and prints the names of its logs."),
          &Dovrelctl::logsCommand },
        { QStringLiteral("logs fetch"), { QStringLiteral("out"), QStringLiteral("tables") },
          { QStringLiteral("delete"), QStringLiteral("yes"), QStringLiteral("force") }, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--all] logs fetch --out DIR [--tables A,B] [--force] [--delete --yes]\nRetrieves the data log and writes the chosen logs (default all) as DIR/NAME.txt (with several devices, DIR/SERIAL/NAME.txt). Existing files are kept unless --force is given. With --delete the exported logs are removed from the device."),
          &Dovrelctl::logsCommand, true },
        { QStringLiteral("logs clear"), { QStringLiteral("tables") }, { QStringLiteral("yes") }, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] logs clear --tables A,B --yes\nRemoves the named logs from the device without exporting them."),
          &Dovrelctl::logsCommand },
        { QStringLiteral("fonts"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] fonts list|manage ...\nSee dovrelctl fonts list --help, fonts manage --help."),
          nullptr },
        { QStringLiteral("fonts list"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--all] fonts list\nPrints the fonts installed on the device."),
          &Dovrelctl::fontsListCommand, true },
        { QStringLiteral("fonts manage"), { QStringLiteral("add"), QStringLiteral("remove") }, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--all] fonts manage [--add FILE]... [--remove NAME]...\nRemoves the named fonts from the device, then installs the given .ttf/.otf files. The device restarts."),
          &Dovrelctl::fontsManageCommand, true },
        { QStringLiteral("configure"),
          { QStringLiteral("name"), QStringLiteral("clock"), QStringLiteral("battery-check"), QStringLiteral("splash") },
          { QStringLiteral("restore-splash"), QStringLiteral("backup-calibration"), QStringLiteral("restore-calibration"),
            QStringLiteral("force") },
          0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT]... [--all] configure [--name NAME] [--clock +HH:MM|-HH:MM [--battery-check on|off]] [--splash IMAGE | --restore-splash] [--backup-calibration [--force] | --restore-calibration]\nConfigures the device. Calibration backups are kept in the documents folder under Lumatra/Calibrations."),
          &Dovrelctl::configureCommand, true },
        { QStringLiteral("history"), { QStringLiteral("serial"), QStringLiteral("since") }, { QStringLiteral("all-stations") }, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl history [--serial SERIAL] [--since DATE] [--all-stations]\nPrints the service history, newest first: what was done to which device, when, with which package, and how it ended. DATE is YYYY-MM-DD or YYYY-MM-DDTHH:MM in local time. With --all-stations, the entries of every station from the history server, each with its station. No device is needed."),
          &Dovrelctl::historyCommand },
        { QStringLiteral("history sync"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl history sync\nSends the entries of this station that the history server (DOVREL_HISTORY_SERVER, or the setting made in dovrel) does not have yet. Exit code 3 when the server cannot be reached: the entries wait for the next try. With --json, pending is the number still waiting."),
          &Dovrelctl::historySyncCommand },
        { QStringLiteral("fleet"), { QStringLiteral("serial") }, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl fleet [--serial SERIAL]\nPrints every device the history server knows, one line each: serial number, name, model, software, project last installed, last station, last operation, its result and time, number of operations. No device is needed."),
          &Dovrelctl::fleetCommand },
        { QStringLiteral("project"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] project fetch --out DIR\nCopies the project installed on the device into DIR."),
          nullptr },
        { QStringLiteral("project fetch"), { QStringLiteral("out") }, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] project fetch --out DIR\nCopies the project installed on the device into DIR."),
          &Dovrelctl::projectFetchCommand },
        { QStringLiteral("package"), {}, {}, 0, 0, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl package inspect FILE\nLists the entries of a .txdevproj or .txsw package and what the pre-checks read from it."),
          nullptr },
        { QStringLiteral("package inspect"), {}, {}, 1, 1, false,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl package inspect FILE\nLists the entries of a .txdevproj or .txsw package and what the pre-checks read from it. No device is needed."),
          &Dovrelctl::packageInspectCommand },
        { QStringLiteral("package make-sample"),
          { QStringLiteral("out"), QStringLiteral("models"), QStringLiteral("min-version"), QStringLiteral("ethernet") }, {}, 0, 0, true,
          QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl package make-sample --out FILE.txdevproj [--models A|B] [--min-version V] [--ethernet N]\nWrites a small sample runtime project package."),
          &Dovrelctl::packageMakeSampleCommand },
    };
    return table;
}

const CommandTable::Command* CommandTable::find(const QString& name)
{
    for (const Command& command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

bool CommandTable::isGroup(const QString& word)
{
    const Command* command = find(word);
    return command && !command->handler;
}

QStringList CommandTable::valueOptions()
{
    QStringList names = { QStringLiteral("port"), QStringLiteral("slot"), QStringLiteral("operator"), QStringLiteral("canary"),
                          QStringLiteral("max-parallel"), QStringLiteral("stop-after-failures") };
    for (const Command& command : commands()) {
        for (const QString& option : command.valueOptions) {
            if (!names.contains(option))
                names << option;
        }
    }
    return names;
}

QStringList CommandTable::visibleNames()
{
    QStringList names;
    for (const Command& command : commands()) {
        if (command.handler && !command.hidden)
            names << command.name;
    }
    return names;
}
