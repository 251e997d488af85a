#include "commandline.h"

#include "commandtable.h"
#include "exitcode.h"
#include "localizationhelper.h"
#include "portenumerator.h"
#include "slotnames.h"

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::SlotNames;
using Orvane::Tavrix::Runtime::PortEnumerator;

bool CommandLine::parse(const QStringList& arguments)
{
    QStringList words;
    QList<QPair<QString, QString>> options; // name, value (null for flags given without one)
    const QStringList valueNeeded = CommandTable::valueOptions();

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
        if (option.first == QLatin1String("port")) {
            if (!m_ports.contains(option.second)) {
                m_ports << option.second;
                m_targets.append({ false, option.second });
            }
        } else if (option.first == QLatin1String("slot")) {
            if (option.second.trimmed().isEmpty()) {
                m_error = guiText("The option --%1 needs a value.").arg(option.first);
                return false;
            }
            if (!m_slots.contains(option.second, Qt::CaseInsensitive)) {
                m_slots << option.second;
                m_targets.append({ true, option.second });
            }
        } else if (option.first == QLatin1String("operator")) {
            m_operator = option.second.trimmed();
        } else if (option.first == QLatin1String("all")) {
            if (!option.second.isNull()) {
                m_error = guiText("The option --%1 takes no value.").arg(option.first);
                return false;
            }
            m_all = true;
        } else if (option.first == QLatin1String("canary") || option.first == QLatin1String("max-parallel")
                   || option.first == QLatin1String("stop-after-failures")) {
            bool ok = false;
            const int number = option.second.toInt(&ok);
            if (!ok || number < 1) {
                m_error = guiText("The option --%1 needs a whole number of at least 1.").arg(option.first);
                return false;
            }
            if (option.first == QLatin1String("canary"))
                m_rollout.canary = number;
            else if (option.first == QLatin1String("max-parallel"))
                m_rollout.maxParallel = number;
            else
                m_rollout.stopAfterFailures = number;
        }
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
        if (CommandTable::isGroup(name)) {
            if (words.isEmpty()) {
                if (m_help) {
                    m_command = name;
                    return true;
                }
                m_error = guiText("The command %1 needs a sub-command.").arg(name);
                return false;
            }
            name += QLatin1Char(' ') + words.takeFirst();
        } else if (!words.isEmpty() && CommandTable::find(name + QLatin1Char(' ') + words.first())) {
            // A command of its own that also has sub-commands ("history", "history sync").
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

    const CommandTable::Command* entry = CommandTable::find(m_command);
    if (!entry || !entry->handler) {
        m_error = guiText("Unknown command %1.").arg(m_command);
        return false;
    }
    for (const auto& option : std::as_const(commandOptions)) {
        const bool takesValue = entry->valueOptions.contains(option.first);
        if (!takesValue && !entry->flags.contains(option.first)) {
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
    if (!severalDevices() && (m_rollout.canary > 0 || m_rollout.maxParallel > 0 || m_rollout.stopAfterFailures > 0)) {
        m_error = guiText("The options --canary, --max-parallel and --stop-after-failures need several devices: "
                          "give --port several times, or --all.");
        return false;
    }
    if (severalDevices() && !entry->severalDevices) {
        m_error = guiText("The command %1 works on one device; give at most one --port and no --all.").arg(m_command);
        return false;
    }
    if (m_operands.size() < entry->minOperands) {
        m_error = guiText("The command %1 needs a file.").arg(m_command);
        return false;
    }
    if (m_operands.size() > entry->maxOperands) {
        m_error = guiText("Unexpected argument %1.").arg(m_operands.at(entry->maxOperands));
        return false;
    }
    return true;
}

bool CommandLine::resolveSlots(int* exitCode)
{
    if (m_slots.isEmpty())
        return true;
    QStringList ports;
    for (const auto& [isSlot, value] : std::as_const(m_targets)) {
        QString port = value;
        if (isSlot) {
            if (SlotNames::pathOf(value).isEmpty()) {
                m_error = guiText("No USB slot is named %1; name the slots in dovrel (Setting, Name USB slots...).").arg(value);
                *exitCode = int(ExitCode::UsageError);
                return false;
            }
            port = PortEnumerator::portAtSlotPath(SlotNames::pathOf(value));
            if (port.isEmpty()) {
                m_error = guiText("Nothing is plugged into the USB slot %1.").arg(value);
                *exitCode = int(ExitCode::NoDevice);
                return false;
            }
        }
        if (!ports.contains(port))
            ports << port;
    }
    m_ports = ports;
    return true;
}

QString CommandLine::usage(const QString& command)
{
    if (const CommandTable::Command* entry = CommandTable::find(command))
        return guiText(entry->usage);
    return guiText("Usage: dovrelctl [--port PORT]... [--slot SLOT]... [--all] [--canary N] [--max-parallel M]\n"
                   "                 [--stop-after-failures K] [--json] [--quiet] [--operator NAME] COMMAND [OPTIONS]\n"
                   "\n"
                   "Looks after display devices attached over USB serial.\n"
                   "\n"
                   "Global options:\n"
                   "  --port PORT   use the device on this port (name or path); otherwise the one identified device.\n"
                   "                Given several times, the command runs on all those devices at once\n"
                   "  --slot SLOT   use the device plugged into the USB slot of this name (as named in dovrel);\n"
                   "                like --port, it may be given several times\n"
                   "  --operator NAME  who runs the command, recorded in the service history (default: the login name)\n"
                   "  --all         run the command on every identified device at once\n"
                   "                (upload, upgrade, logs fetch, configure, fonts and sync-clock)\n"
                   "  --canary N    on several devices: the first N go first (in the order of --port and --slot, or by port\n"
                   "                name with --all); the others start once all of those succeeded, else they are skipped\n"
                   "  --max-parallel M\n"
                   "                on several devices: at most M at once, in that order\n"
                   "  --stop-after-failures K\n"
                   "                on several devices: once K have failed, those not started yet are skipped\n"
                   "                (skipped devices get nothing and count as a failure in the exit code)\n"
                   "  --json        print exactly one JSON object on standard output; one per device (one a line)\n"
                   "                when the command runs on several devices\n"
                   "  --quiet       no progress on standard error\n"
                   "  --help        this help, or the help of a command\n"
                   "  --version     the program version\n"
                   "\n"
                   "Commands:")
        + QStringLiteral("\n  %1\n\n").arg(CommandTable::visibleNames().join(QStringLiteral(", ")))
        + guiText("Exit codes: 0 success, 1 refused or failed, 2 usage or bad input,\n"
                  "3 time-out or device lost, 4 no device. On several devices, the highest of theirs.")
        + QStringLiteral("\n")
        + guiText("Ctrl-C (SIGINT), SIGTERM or SIGHUP stop safely: transfers that replaced nothing are\n"
                  "abandoned, steps that put things into place finish, and the exit code is 130 (SIGINT),\n"
                  "143 (SIGTERM) or 129 (SIGHUP); a second signal ends at once.");
}
