#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QMap>
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

    QString port() const { return m_port; }
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
    QString m_port;
    bool m_json = false;
    bool m_quiet = false;
    bool m_help = false;
    bool m_version = false;
    QMap<QString, QStringList> m_options;
};

#endif // COMMANDLINE_H
