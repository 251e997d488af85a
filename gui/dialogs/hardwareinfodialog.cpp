#include "hardwareinfodialog.h"

#include "deviceinformation.h"
#include "diagnostics.h"
#include "localizationhelper.h"
#include "serialportmanager.h"

#include <QKeyEvent>
#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include "txtablewidget.h"
#include <QVBoxLayout>

using Orvane::Tavrix::Common::lcApp;

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

QStringList rowTitles()
{
    return {
        guiText("Device Model"), guiText("Serial Number"), guiText("Firmware Version"), guiText("Software Version"),
        guiText("Serial Port"), guiText("Time Zone"), guiText("Screen Width"), guiText("Screen Height"), guiText("Brightness"),
        guiText("Color Depth"), guiText("Alarm Output #"), guiText("Analog Input #"), guiText("Digital I/O #"),
        guiText("PWM Output #"), guiText("Manufacture Year"), guiText("Manufacture Week"),
    };
}

} // namespace

HardwareInfoDialog::HardwareInfoDialog(QWidget* parent)
    : QDialog(parent)
{
    auto* layout = new QVBoxLayout(this);

    m_table = new TxTableWidget(this);
    m_table->setRowCount(RowCount);
    m_table->setColumnCount(1);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Reachable from the keyboard: the arrows go from value to value, Ctrl+C copies one.
    m_table->setFocusPolicy(Qt::StrongFocus);
    m_table->installEventFilter(this);
    m_table->setCornerButtonEnabled(false);
    m_table->horizontalHeader()->hide();
    m_table->setVerticalHeaderLabels(rowTitles());
    for (int row = 0; row < RowCount; ++row)
        m_table->setItem(row, 0, new QTableWidgetItem(guiText("Unknown")));
    m_table->resizeRowsToContents();
    m_table->resizeColumnsToContents();
    m_table->setAccessibleName(guiText("Hardware Information"));
    m_table->setAccessibleDescription(guiText("What the device reported, one value a row. Double-click "
                                              "a value, or press Ctrl+C, to copy it."));
    layout->addWidget(m_table);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch();
    // The button text is fixed, the same in every language.
    m_closeButton = new QPushButton(QStringLiteral("Close"), this);
    m_closeButton->setAutoDefault(false);
    m_closeButton->setDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(m_closeButton);
    layout->addLayout(buttons);

    setWindowTitle(guiText("Hardware Information"));
    setAccessibleDescription(guiText("What the device reported about itself, and the manufacture date read from its serial number."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("general"));
    setFixedSize(370, 500);

    connect(m_table, &QTableWidget::itemDoubleClicked, this, &HardwareInfoDialog::onItemDoubleClicked);
}

HardwareInfoDialog::~HardwareInfoDialog() = default;

QString HardwareInfoDialog::rowText(int row) const
{
    const QTableWidgetItem* item = m_table->item(row, 0);
    return item ? item->text() : QString();
}

QString HardwareInfoDialog::rowTitle(int row) const
{
    const QTableWidgetItem* item = m_table->verticalHeaderItem(row);
    return item ? item->text() : QString();
}

QString HardwareInfoDialog::timeZoneText(const QString& minutes)
{
    bool ok = false;
    const int zone = minutes.trimmed().toInt(&ok);
    if (!ok || zone < -720 || zone > 720)
        return guiText("Unknown");
    if (zone == 0)
        return QStringLiteral("UTC");
    const int magnitude = zone < 0 ? -zone : zone;
    return QStringLiteral("UTC %1%2:%3")
        .arg(zone < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
        .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

void HardwareInfoDialog::setRowText(int row, const QString& text)
{
    if (QTableWidgetItem* item = m_table->item(row, 0))
        item->setText(text);
}

void HardwareInfoDialog::clearRows()
{
    for (int row = 0; row < RowCount; ++row)
        setRowText(row, guiText("Unknown"));
}

void HardwareInfoDialog::setActivePort(const QString& portName)
{
    if (portName == m_portName)
        return;
    m_portName = portName;
    if (portName.isEmpty()) {
        clearRows();
        return;
    }
    SerialPortManager* manager = SerialPortManager::instance();
    if (!manager->connectedPorts().contains(portName))
        return;

    const DeviceInformation device(manager->deviceInformation(portName));
    const QMap<QString, QString>& map = device.map();
    const QString unknown = guiText("Unknown");
    auto entry = [&](const char* key, const QString& shown) {
        return map.contains(QString::fromLatin1(key)) ? shown : unknown;
    };
    const QString px = guiText(" px");
    setRowText(ModelRow, entry("model", device.model()));
    setRowText(SerialRow, entry("serial", device.serial()));
    setRowText(FirmwareRow, entry("firmware", device.firmware()));
    setRowText(SoftwareRow, entry("deviceAppVer", device.softwareVersion()));
    setRowText(PortRow, entry("port", device.port()));
    setRowText(TimeZoneRow, entry("timezone", timeZoneText(map.value(QStringLiteral("timezone")))));
    setRowText(ScreenWidthRow, entry("screenWidth", QStringLiteral("%1%2").arg(map.value(QStringLiteral("screenWidth")), px)));
    setRowText(ScreenHeightRow, entry("screenHeight", QStringLiteral("%1%2").arg(map.value(QStringLiteral("screenHeight")), px)));
    setRowText(BrightnessRow, entry("backlight", QStringLiteral("%1%").arg(map.value(QStringLiteral("backlight")))));
    setRowText(ColorDepthRow, entry("colorDepth", map.value(QStringLiteral("colorDepth"))));
    setRowText(AlarmOutputsRow, entry("alarmOutputs", map.value(QStringLiteral("alarmOutputs"))));
    setRowText(AnalogInputsRow, entry("analogInputs", map.value(QStringLiteral("analogInputs"))));
    setRowText(DigitalIOsRow, entry("digitalIOs", map.value(QStringLiteral("digitalIOs"))));
    setRowText(PwmOutputsRow, entry("pwmOutputs", map.value(QStringLiteral("pwmOutputs"))));

    // The serial number starts with the manufacture week and the year within the century.
    const QString serial = device.serial();
    if (serial.size() >= 4) {
        bool ok = false;
        const QString weekText = serial.mid(0, 2);
        const int week = weekText.toInt(&ok, 10);
        if (ok && week >= 1 && week <= 53) {
            setRowText(ManufactureWeekRow, QString::number(week));
        } else {
            qCDebug(lcApp).noquote() << QStringLiteral("Invalid manufacture week: %1").arg(weekText);
            setRowText(ManufactureWeekRow, unknown);
        }
        const QString yearText = serial.mid(2, 2);
        const int year = yearText.toInt(&ok, 10);
        if (ok && year >= 0) {
            setRowText(ManufactureYearRow, QString::number(2000 + year));
        } else {
            qCDebug(lcApp).noquote() << QStringLiteral("Invalid manufacture year: %1").arg(yearText);
            setRowText(ManufactureYearRow, unknown);
        }
    } else {
        qCDebug(lcApp).noquote() << QStringLiteral("Invalid serial number: %1").arg(serial);
    }
    m_table->resizeColumnsToContents();
}

void HardwareInfoDialog::changeTimeZone(int zone)
{
    setRowText(TimeZoneRow, timeZoneText(QString::number(zone)));
}

void HardwareInfoDialog::updateBrightness(int brightness)
{
    if (brightness < 0 || brightness > 100)
        return;
    setRowText(BrightnessRow, QStringLiteral("%1%").arg(brightness));
}

bool HardwareInfoDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        onItemDoubleClicked(m_table->currentItem());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void HardwareInfoDialog::onItemDoubleClicked(QTableWidgetItem* item)
{
    if (!item || item->column() != 0 || item->text().isEmpty())
        return;
    QApplication::clipboard()->setText(item->text());
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
