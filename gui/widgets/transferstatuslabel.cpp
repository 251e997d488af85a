#include "transferstatuslabel.h"

#include "localizationhelper.h"

#include <QLocale>
#include <cmath>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

// Numbers as the chosen language writes them.
QLocale textLocale()
{
    LocalizationHelper* translator = LocalizationHelper::appTranslator();
    return translator ? QLocale(translator->currentLocale()) : QLocale();
}

} // namespace

TransferStatusLabel::TransferStatusLabel(QWidget* parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("transferStatusLabel"));
    m_pending.setSingleShot(true);
    connect(&m_pending, &QTimer::timeout, this, [this]() { showFigures(); });
}

void TransferStatusLabel::begin(qint64 total)
{
    m_rate.start(total);
    m_running = true;
    m_pending.stop();
    refresh(true);
}

void TransferStatusLabel::setTotal(qint64 total)
{
    m_rate.setTotal(total);
    refresh(false);
}

void TransferStatusLabel::add(qint64 bytes)
{
    setDone(m_rate.done() + bytes);
}

void TransferStatusLabel::setDone(qint64 done)
{
    m_rate.update(done);
    refresh(false);
}

void TransferStatusLabel::finish()
{
    m_running = false;
    m_pending.stop();
    setText(describe(m_rate.done(), m_rate.total(), -1.0, -1.0));
    m_lastShown.start();
}

void TransferStatusLabel::refresh(bool now)
{
    if (!m_running)
        return;
    if (now || !m_lastShown.isValid() || m_lastShown.elapsed() >= RefreshMs) {
        showFigures();
        return;
    }
    // The last figures are shown once the interval is over, so a pause never hides them.
    if (!m_pending.isActive())
        m_pending.start(int(RefreshMs - m_lastShown.elapsed()));
}

void TransferStatusLabel::showFigures()
{
    m_pending.stop();
    m_lastShown.start();
    const bool known = m_rate.isKnown();
    setText(describe(m_rate.done(), m_rate.total(), known ? m_rate.bytesPerSecond() : -1.0,
                     known ? m_rate.secondsLeft() : -1.0));
}

QString TransferStatusLabel::bytesText(qint64 bytes)
{
    const QLocale locale = textLocale();
    if (bytes < 1024)
        return guiText("%1 B").arg(locale.toString(bytes));
    if (bytes < 1024 * 1024)
        return guiText("%1 KiB").arg(locale.toString(double(bytes) / 1024.0, 'f', 1));
    return guiText("%1 MiB").arg(locale.toString(double(bytes) / (1024.0 * 1024.0), 'f', 1));
}

QString TransferStatusLabel::durationText(double seconds)
{
    const qint64 whole = qMax<qint64>(0, qint64(std::ceil(seconds)));
    if (whole < 60)
        return guiText("%1 s").arg(whole);
    if (whole < 3600)
        return guiText("%1 min %2 s").arg(whole / 60).arg(whole % 60);
    return guiText("%1 h %2 min").arg(whole / 3600).arg(whole % 3600 / 60);
}

QString TransferStatusLabel::describe(qint64 done, qint64 total, double bytesPerSecond, double secondsLeft)
{
    QStringList parts;
    parts << (total > 0 ? guiText("%1 of %2").arg(bytesText(qMin(done, total)), bytesText(total)) : bytesText(done));
    if (bytesPerSecond >= 0.0)
        parts << guiText("%1/s").arg(bytesText(qint64(bytesPerSecond)));
    if (secondsLeft > 0.0)
        parts << guiText("about %1 left").arg(durationText(secondsLeft));
    return parts.join(QStringLiteral("  \u00b7  "));
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
