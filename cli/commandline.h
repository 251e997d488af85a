#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "rolloutplan.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

// The parsed arguments of one dovrelctl run: global options, the command (with
// its sub-command) and the command's own options and operands, checked
// against the command table.
class CommandLine
{
public:
    // False with error() for unknown options, missing values or operands.
    bool parse(const QStringList& arguments);

    QString error() const { return m_error; }
    // "logs fetch", "upload", ... ; empty when none was given.
    QString command() const { return m_command; }
    QStringList operands() const { return m_operands; }

    // The port given with --port (the last one when it is given several times).
    QString port() const { return m_ports.isEmpty() ? QString() : m_ports.last(); }
    // Every --port, in the order given.
    QStringList ports() const { return m_ports; }
    // Turns every --slot into the port plugged into it now, in the order of the --port and
    // --slot options. False, with error() and the exit code it asks for, when a name is
    // unknown or nothing is plugged into the slot.
    bool resolveSlots(int* exitCode);
    // --operator: who runs the command, recorded in the history; empty when not given.
    QString operatorName() const { return m_operator; }
    // --all: every identified device.
    bool all() const { return m_all; }
    // Several devices at once: --all, or --port and --slot more than once.
    bool severalDevices() const { return m_all || m_targets.size() > 1; }
    // --canary, --max-parallel and --stop-after-failures: how a run on several devices goes in stages.
    Orvane::Tavrix::Runtime::RolloutPlan::Rules rollout() const { return m_rollout; }
    bool json() const { return m_json; }
    bool quiet() const { return m_quiet; }
    bool help() const { return m_help; }
    bool version() const { return m_version; }

    bool hasOption(const QString& name) const { return m_options.contains(name); }
    QString value(const QString& name) const { return m_options.value(name).value(0); }
    QStringList values(const QString& name) const { return m_options.value(name); }

    // Usage of the whole program, or of one command.
    static QString usage(const QString& command = QString());

private:
    QString m_error;
    QString m_command;
    QStringList m_operands;
    QStringList m_ports;
    QStringList m_slots;
    QList<QPair<bool, QString>> m_targets; // --port (false) and --slot (true), in order
    QString m_operator;
    bool m_all = false;
    Orvane::Tavrix::Runtime::RolloutPlan::Rules m_rollout;
    bool m_json = false;
    bool m_quiet = false;
    bool m_help = false;
    bool m_version = false;
    QMap<QString, QStringList> m_options;
};

#endif // COMMANDLINE_H
