#include "faultplan.h"

#include <QStringList>

namespace {

bool isNumber(const QString& text, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok && value)
        *value = v;
    return ok && !text.isEmpty();
}

// "CMD" or "CMD:N"; the count is taken only when the last field is a number.
void splitCount(const QString& rest, QString* command, int* count)
{
    const int colon = rest.lastIndexOf(QLatin1Char(':'));
    int n = 0;
    if (colon > 0 && isNumber(rest.mid(colon + 1), &n)) {
        *command = rest.left(colon);
        *count = n;
    } else {
        *command = rest;
        *count = -1;
    }
}

// Backslash escapes in garbage texts: \r \n \t \\ \xHH.
QByteArray unescape(const QString& text)
{
    const QByteArray in = text.toLatin1();
    QByteArray out;
    for (int i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 >= in.size()) {
            out.append(in[i]);
            continue;
        }
        const char c = in[++i];
        switch (c) {
        case 'r': out.append('\r'); break;
        case 'n': out.append('\n'); break;
        case 't': out.append('\t'); break;
        case 'x':
            if (i + 2 < in.size()) {
                bool ok = false;
                const int v = in.mid(i + 1, 2).toInt(&ok, 16);
                if (ok) {
                    out.append(char(v));
                    i += 2;
                    break;
                }
            }
            out.append("\\x");
            break;
        default: out.append(c); break;
        }
    }
    return out;
}

} // namespace

bool FaultPlan::add(const QString& spec, QString* error)
{
    const int colon = spec.indexOf(QLatin1Char(':'));
    const QString type = colon < 0 ? spec : spec.left(colon);
    const QString rest = colon < 0 ? QString() : spec.mid(colon + 1);
    Rule rule{};
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("bad fault '%1': %2").arg(spec, why);
        return false;
    };

    if (type == QLatin1String("silent") || type == QLatin1String("error") || type == QLatin1String("unplug")) {
        rule.kind = type == QLatin1String("silent") ? Silent : type == QLatin1String("error") ? Error : Unplug;
        splitCount(rest, &rule.command, &rule.remaining);
        if (rule.command.isEmpty())
            return fail(QStringLiteral("a command prefix is needed"));
    } else if (type == QLatin1String("delay")) {
        rule.kind = Delay;
        QStringList parts = rest.split(QLatin1Char(':'));
        int n = 0;
        if (parts.size() >= 3 && isNumber(parts.last(), &n) && isNumber(parts.at(parts.size() - 2), nullptr)) {
            rule.remaining = n;
            parts.removeLast();
        }
        if (parts.size() < 2 || !isNumber(parts.last(), &rule.value) || rule.value < 0)
            return fail(QStringLiteral("expected delay:CMD:MS"));
        parts.removeLast();
        rule.command = parts.join(QLatin1Char(':'));
        if (rule.command.isEmpty())
            return fail(QStringLiteral("a command prefix is needed"));
    } else if (type == QLatin1String("garbage")) {
        rule.kind = Garbage;
        const int sep = rest.indexOf(QLatin1Char(':'));
        if (sep <= 0)
            return fail(QStringLiteral("expected garbage:CMD:TEXT"));
        rule.command = rest.left(sep);
        rule.text = unescape(rest.mid(sep + 1));
    } else if (type == QLatin1String("nak") || type == QLatin1String("corrupt")
               || type == QLatin1String("cancel") || type == QLatin1String("resend")) {
        rule.kind = type == QLatin1String("nak") ? Nak
                  : type == QLatin1String("corrupt") ? Corrupt
                  : type == QLatin1String("cancel") ? Cancel : Resend;
        const QStringList parts = rest.split(QLatin1Char(':'));
        if (parts.isEmpty() || !isNumber(parts.first(), &rule.block) || rule.block < 1)
            return fail(QStringLiteral("expected a block number from 1"));
        rule.remaining = 1;
        if (parts.size() > 1 && (!isNumber(parts.at(1), &rule.remaining) || rule.remaining < 1))
            return fail(QStringLiteral("bad count"));
        if (parts.size() > 2)
            return fail(QStringLiteral("too many fields"));
    } else if (type == QLatin1String("overshoot") || type == QLatin1String("unplug-after-bytes")) {
        rule.kind = type == QLatin1String("overshoot") ? Overshoot : UnplugAfterBytes;
        if (!isNumber(rest, &rule.value) || rule.value < 0)
            return fail(QStringLiteral("expected a byte count"));
    } else if (type == QLatin1String("no-c")) {
        rule.kind = NoC;
    } else {
        return fail(QStringLiteral("unknown fault type"));
    }
    m_rules.append(rule);
    return true;
}

const FaultPlan::Rule* FaultPlan::takeCommandFault(Kind kind, const QString& command)
{
    for (Rule& rule : m_rules) {
        if (rule.kind != kind || rule.remaining == 0 || !command.startsWith(rule.command))
            continue;
        if (rule.remaining > 0)
            --rule.remaining;
        return &rule;
    }
    return nullptr;
}

bool FaultPlan::takeBlockFault(Kind kind, int block)
{
    for (Rule& rule : m_rules) {
        if (rule.kind != kind || rule.block != block || rule.remaining == 0)
            continue;
        if (rule.remaining > 0)
            --rule.remaining;
        return true;
    }
    return false;
}

const FaultPlan::Rule* FaultPlan::find(Kind kind) const
{
    for (const Rule& rule : m_rules) {
        if (rule.kind == kind)
            return &rule;
    }
    return nullptr;
}

QString FaultPlan::describe(Kind kind)
{
    switch (kind) {
    case Silent: return QStringLiteral("silent");
    case Error: return QStringLiteral("error");
    case Garbage: return QStringLiteral("garbage");
    case Unplug: return QStringLiteral("unplug");
    case Delay: return QStringLiteral("delay");
    case Nak: return QStringLiteral("nak");
    case Corrupt: return QStringLiteral("corrupt");
    case Cancel: return QStringLiteral("cancel");
    case Resend: return QStringLiteral("resend");
    case Overshoot: return QStringLiteral("overshoot");
    case UnplugAfterBytes: return QStringLiteral("unplug-after-bytes");
    case NoC: return QStringLiteral("no-c");
    }
    return QString();
}
