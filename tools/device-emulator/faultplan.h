#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The faults a test asked for with --fault. Each rule has a remaining count
// (-1: always); taking a rule uses one of them up.
class FaultPlan
{
public:
    enum Kind {
        Silent,          // command: no answer (and no action)
        Error,           // command: answer the error form
        Garbage,         // command: send text before the answer
        Unplug,          // command: pull the cable
        Delay,           // command: answer late
        Nak,             // receiving: NAK block K
        Corrupt,         // sending: break the CRC of block K
        Cancel,          // both: cancel at block K
        Resend,          // sending: send block K twice
        Overshoot,       // sending: N bytes more than announced
        UnplugAfterBytes,
        NoC              // receiving: never ask for the transfer
    };

    struct Rule {
        Kind kind;
        QString command;   // prefix of the command text without the leading '#'
        int block = 0;     // packet ordinal, from 1
        int value = 0;     // delay ms, byte counts
        QByteArray text;   // garbage
        int remaining = -1;
    };

    // Parses one --fault argument; false with a reason on a malformed spec.
    bool add(const QString& spec, QString* error);

    // Matching rule for a command (text without the leading '#'), used up.
    const Rule* takeCommandFault(Kind kind, const QString& command);
    // Matching rule for a block ordinal, used up.
    bool takeBlockFault(Kind kind, int block);
    const Rule* find(Kind kind) const;
    bool isEmpty() const { return m_rules.isEmpty(); }

    static QString describe(Kind kind);

private:
    QList<Rule> m_rules;
};
