#include "commandline.h"

#include "localizationhelper.h"

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::runtimeText;

namespace {


struct CommandSpec
{
    QString name;
    QStringList valueOptions; // options that take a value
    QStringList flags;
    int minOperands;
    int maxOperands;
    bool hidden;
};

const QList<CommandSpec>& specs()
{
    static const QList<CommandSpec> list = {
        { QStringLiteral("list"), {}, {}, 0, 0, false },
        { QStringLiteral("info"), {}, {}, 0, 0, false },
        { QStringLiteral("identify"), {}, {}, 0, 0, false },
        { QStringLiteral("reboot"), {}, {}, 0, 0, false },
        { QStringLiteral("sync-clock"), { QStringLiteral("offset") }, {}, 0, 0, false },
        { QStringLiteral("upload"), {}, { QStringLiteral("yes") }, 1, 1, false },
        { QStringLiteral("upgrade"), {}, { QStringLiteral("yes") }, 1, 1, false },
        { QStringLiteral("logs list"), {}, {}, 0, 0, false },
        { QStringLiteral("logs fetch"), { QStringLiteral("out"), QStringLiteral("tables") },
          { QStringLiteral("delete"), QStringLiteral("yes"), QStringLiteral("force") }, 0, 0, false },
        { QStringLiteral("logs clear"), { QStringLiteral("tables") }, { QStringLiteral("yes") }, 0, 0, false },
        { QStringLiteral("fonts list"), {}, {}, 0, 0, false },
        { QStringLiteral("fonts manage"), { QStringLiteral("add"), QStringLiteral("remove") }, {}, 0, 0, false },
        { QStringLiteral("configure"),
          { QStringLiteral("name"), QStringLiteral("clock"), QStringLiteral("battery-check"), QStringLiteral("splash") },
          { QStringLiteral("restore-splash"), QStringLiteral("backup-calibration"), QStringLiteral("restore-calibration"),
            QStringLiteral("force") },
          0, 0, false },
        { QStringLiteral("project fetch"), { QStringLiteral("out") }, {}, 0, 0, false },
        { QStringLiteral("package inspect"), {}, {}, 1, 1, false },
        { QStringLiteral("package make-sample"),
          { QStringLiteral("out"), QStringLiteral("models"), QStringLiteral("min-version"), QStringLiteral("ethernet") }, {}, 0, 0, true },
    };
    return list;
}

const CommandSpec* findSpec(const QString& name)
{
    for (const CommandSpec& spec : specs()) {
        if (spec.name == name)
            return &spec;
    }
    return nullptr;
}

bool isGroup(const QString& word)
{
    return word == QLatin1String("logs") || word == QLatin1String("fonts") || word == QLatin1String("project")
        || word == QLatin1String("package");
}

} // namespace

QStringList CommandLine::commands()
{
    QStringList names;
    for (const CommandSpec& spec : specs()) {
        if (!spec.hidden)
            names << spec.name;
    }
    return names;
}

bool CommandLine::parse(const QStringList& arguments)
{
    QStringList words;
    QList<QPair<QString, QString>> options; // name, value (null for flags given without one)
    QStringList valueNeeded = { QStringLiteral("port") };
    for (const CommandSpec& spec : specs())
        valueNeeded << spec.valueOptions;

    bool operandsOnly = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (operandsOnly || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            operandsOnly = true;
            continue;
        }
        if (arg == QLatin1String("-h")) {
            m_help = true;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            m_error = guiText("Unknown option %1.").arg(arg);
            return false;
        }
        QString name = arg.mid(2);
        QString value;
        const int equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        } else if (valueNeeded.contains(name)) {
            if (i + 1 >= arguments.size()) {
                m_error = guiText("The option --%1 needs a value.").arg(name);
                return false;
            }
            value = arguments.at(++i);
        }
        options.append({ name, value });
    }

    // Global options first; the rest belongs to the command.
    QList<QPair<QString, QString>> commandOptions;
    for (const auto& option : std::as_const(options)) {
        if (option.first == QLatin1String("port"))
            m_port = option.second;
        else if (option.first == QLatin1String("json"))
            m_json = true;
        else if (option.first == QLatin1String("quiet"))
            m_quiet = true;
        else if (option.first == QLatin1String("help"))
            m_help = true;
        else if (option.first == QLatin1String("version"))
            m_version = true;
        else
            commandOptions.append(option);
    }

    if (!words.isEmpty()) {
        QString name = words.takeFirst();
        if (isGroup(name)) {
            if (words.isEmpty()) {
                if (m_help) {
                    m_command = name;
                    return true;
                }
                m_error = guiText("The command %1 needs a sub-command.").arg(name);
                return false;
            }
            name += QLatin1Char(' ') + words.takeFirst();
        }
        m_command = name;
    }
    if (m_command.isEmpty()) {
        if (!commandOptions.isEmpty()) {
            m_error = guiText("Unknown option --%1.").arg(commandOptions.first().first);
            return false;
        }
        return true;
    }

    const CommandSpec* spec = findSpec(m_command);
    if (!spec) {
        m_error = guiText("Unknown command %1.").arg(m_command);
        return false;
    }
    for (const auto& option : std::as_const(commandOptions)) {
        const bool takesValue = spec->valueOptions.contains(option.first);
        if (!takesValue && !spec->flags.contains(option.first)) {
            m_error = guiText("Unknown option --%1 for %2.").arg(option.first, m_command);
            return false;
        }
        if (!takesValue && !option.second.isNull()) {
            m_error = guiText("The option --%1 takes no value.").arg(option.first);
            return false;
        }
        m_options[option.first].append(option.second);
    }
    m_operands = words;
    if (m_help)
        return true;
    if (m_operands.size() < spec->minOperands) {
        m_error = guiText("The command %1 needs a file.").arg(m_command);
        return false;
    }
    if (m_operands.size() > spec->maxOperands) {
        m_error = guiText("Unexpected argument %1.").arg(m_operands.at(spec->maxOperands));
        return false;
    }
    return true;
}

QString CommandLine::usage(const QString& command)
{
    static const QMap<QString, const char*> texts = {
        { QStringLiteral("list"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] list\nIdentifies every device port and prints one line per device: port, serial number, model, software version, name.") },
        { QStringLiteral("info"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] info\nPrints the device information, one \"key: value\" line per entry.") },
        { QStringLiteral("identify"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] identify\nSets the device clock (when its time zone is known) and makes the device show its information.") },
        { QStringLiteral("reboot"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] reboot\nWarm-reboots the device.") },
        { QStringLiteral("sync-clock"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] sync-clock [--offset MINUTES]\nSets the device clock to the current UTC time with the given offset (-720..720 minutes east of UTC), or with the time zone the device has stored.") },
        { QStringLiteral("upload"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] upload FILE.txdevproj --yes\nChecks the runtime project package and uploads it. The device's current project and its logged data are lost.") },
        { QStringLiteral("upgrade"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] upgrade FILE.txsw --yes\nChecks the device software package and upgrades the device with it.") },
        { QStringLiteral("logs"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] logs list|fetch|clear ...\nSee dovrelctl logs list --help, logs fetch --help, logs clear --help.") },
        { QStringLiteral("logs list"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] logs list\nRetrieves the data log and prints the names of its logs.") },
        { QStringLiteral("logs fetch"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] logs fetch --out DIR [--tables A,B] [--force] [--delete --yes]\nRetrieves the data log and writes the chosen logs (default all) as DIR/NAME.txt. Existing files are kept unless --force is given. With --delete the exported logs are removed from the device.") },
        { QStringLiteral("logs clear"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] logs clear --tables A,B --yes\nRemoves the named logs from the device without exporting them.") },
        { QStringLiteral("fonts"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] fonts list|manage ...\nSee dovrelctl fonts list --help, fonts manage --help.") },
        { QStringLiteral("fonts list"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] fonts list\nPrints the fonts installed on the device.") },
        { QStringLiteral("fonts manage"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] fonts manage [--add FILE]... [--remove NAME]...\nRemoves the named fonts from the device, then installs the given .ttf/.otf files. The device restarts.") },
        { QStringLiteral("configure"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] configure [--name NAME] [--clock +HH:MM|-HH:MM [--battery-check on|off]] [--splash IMAGE | --restore-splash] [--backup-calibration [--force] | --restore-calibration]\nConfigures the device. Calibration backups are kept in the documents folder under Lumatra/Calibrations.") },
        { QStringLiteral("project"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] project fetch --out DIR\nCopies the project installed on the device into DIR.") },
        { QStringLiteral("project fetch"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl [--port PORT] project fetch --out DIR\nCopies the project installed on the device into DIR.") },
        { QStringLiteral("package"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl package inspect FILE\nLists the entries of a .txdevproj or .txsw package and what the pre-checks read from it.") },
        { QStringLiteral("package inspect"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl package inspect FILE\nLists the entries of a .txdevproj or .txsw package and what the pre-checks read from it. No device is needed.") },
        { QStringLiteral("package make-sample"), QT_TRANSLATE_NOOP("Gui", "Usage: dovrelctl package make-sample --out FILE.txdevproj [--models A|B] [--min-version V] [--ethernet N]\nWrites a small sample runtime project package.") },
    };
    if (texts.contains(command))
        return guiText(texts.value(command));
    return guiText("Usage: dovrelctl [--port PORT] [--json] [--quiet] COMMAND [OPTIONS]\n"
               "\n"
               "Looks after display devices attached over USB serial.\n"
               "\n"
               "Global options:\n"
               "  --port PORT   use the device on this port (name or path); otherwise the one identified device\n"
               "  --json        print exactly one JSON object on standard output\n"
               "  --quiet       no progress on standard error\n"
               "  --help        this help, or the help of a command\n"
               "  --version     the program version\n"
               "\n"
               "Commands:\n"
               "  list, info, identify, reboot, sync-clock, upload, upgrade,\n"
               "  logs list, logs fetch, logs clear, fonts list, fonts manage,\n"
               "  configure, project fetch, package inspect\n"
               "\n"
               "Exit codes: 0 success, 1 refused or failed, 2 usage or bad input,\n"
               "3 time-out or device lost, 4 no device.");
}
