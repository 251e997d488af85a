#ifndef COMMANDTABLE_H
#define COMMANDTABLE_H

#include "exitcode.h"

#include <QList>
#include <QString>
#include <QStringList>

class Dovrelctl;

// The one table of dovrelctl's commands: name, options, operands, usage and
// handler. The parser, the help and the dispatch all read it.
class CommandTable
{
public:
    struct Command
    {
        QString name;              // "upload", "logs fetch", or a group such as "logs"
        QStringList valueOptions;  // options that take a value
        QStringList flags;         // options without a value
        int minOperands = 0;
        int maxOperands = 0;
        bool hidden = false;       // left out of the help (a helper for tests and demos)
        const char* usage = nullptr; // a "Gui" text key
        ExitCode (Dovrelctl::*handler)() = nullptr; // null for a group
        bool severalDevices = false; // runs on several devices at once (--all, --port repeated)
    };

    static const QList<Command>& commands();
    static const Command* find(const QString& name);
    // "logs", "fonts", ...: the first word of commands with a sub-command.
    static bool isGroup(const QString& word);
    // Every option that takes a value, in any command (and "port").
    static QStringList valueOptions();
    // The visible command names, in table order.
    static QStringList visibleNames();
};

#endif // COMMANDTABLE_H
