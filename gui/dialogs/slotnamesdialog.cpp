#include "slotnamesdialog.h"

#include "deviceinformation.h"
#include "localizationhelper.h"
#include "portenumerator.h"
#include "serialportmanager.h"
#include "slotnames.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::SlotNames;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::PortEnumerator;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

constexpr int PathRole = Qt::UserRole + 1;

} // namespace

SlotNamesDialog::SlotNamesDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Name USB Slots"));
    resize(620, 360);

    auto* explanation = new QLabel(guiText("Plug a device into each USB socket of this station and type the socket's name "
                                           "(for example Slot 1). The name stays with the socket whatever port the device "
                                           "gets, and the rows, the batch lines and the history show it."),
                                   this);
    explanation->setWordWrap(true);
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("slotTable"));
    m_table->setHorizontalHeaderLabels({ guiText("Port"), guiText("Device"), guiText("Slot name") });
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAccessibleName(guiText("USB sockets of this station"));
    m_table->setAccessibleDescription(explanation->text());
    setAccessibleDescription(guiText("Names the USB sockets of this station, so that rows, batch lines and the history say which socket a device is in."));
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("slotNamesError"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    m_error->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SlotNamesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SlotNamesDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_error);
    layout->addWidget(buttons);

    m_typed = SlotNames::all();
    SerialPortManager* manager = SerialPortManager::instance();
    connect(manager, &SerialPortManager::serialDeviceDiscovered, this, &SlotNamesDialog::refresh);
    connect(manager, &SerialPortManager::serialDeviceRemoved, this, &SlotNamesDialog::refresh);
    connect(manager, &SerialPortManager::deviceConnected, this, &SlotNamesDialog::refresh);
    refresh();
}

int SlotNamesDialog::rowOfPort(const QString& port) const
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QTableWidgetItem* item = m_table->item(row, PortColumn);
        if (item && PortEnumerator::isSamePort(item->text(), port))
            return row;
    }
    return -1;
}

void SlotNamesDialog::keepTyped()
{
    // A name still being typed counts.
    for (QWidget* editor : m_table->viewport()->findChildren<QWidget*>()) {
        if (editor->isVisible())
            QMetaObject::invokeMethod(m_table, "commitData", Q_ARG(QWidget*, editor));
    }
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QTableWidgetItem* item = m_table->item(row, NameColumn);
        if (item)
            m_typed.insert(item->data(PathRole).toString(), item->text());
    }
}

void SlotNamesDialog::refresh()
{
    keepTyped();
    SerialPortManager* manager = SerialPortManager::instance();
    // The sockets in use now, then those named before and empty now.
    QList<QPair<QString, QString>> lines; // path, port
    for (const QString& port : manager->connectedPorts()) {
        const QString path = manager->serialDeviceInformation(port).value(QStringLiteral("slotPath")).toString();
        if (!path.isEmpty())
            lines.append({ path, port });
    }
    std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    for (auto it = m_typed.constBegin(); it != m_typed.constEnd(); ++it) {
        const bool listed = std::any_of(lines.cbegin(), lines.cend(), [&it](const auto& line) { return line.first == it.key(); });
        if (!listed && !it.value().trimmed().isEmpty())
            lines.append({ it.key(), QString() });
    }

    m_table->setRowCount(int(lines.size()));
    for (int row = 0; row < lines.size(); ++row) {
        const auto& [path, port] = lines.at(row);
        auto* portItem = new QTableWidgetItem(port.isEmpty() ? guiText("Nothing plugged in") : port);
        portItem->setFlags(Qt::ItemIsEnabled);
        portItem->setToolTip(path);
        const DeviceInformation device(port.isEmpty() ? QMap<QString, QString>() : manager->deviceInformation(port));
        auto* deviceItem = new QTableWidgetItem(device.isEmpty() ? QString() : device.displayName());
        deviceItem->setFlags(Qt::ItemIsEnabled);
        auto* nameItem = new QTableWidgetItem(m_typed.value(path));
        nameItem->setData(PathRole, path);
        nameItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        m_table->setItem(row, PortColumn, portItem);
        m_table->setItem(row, DeviceColumn, deviceItem);
        m_table->setItem(row, NameColumn, nameItem);
    }
    m_table->resizeColumnToContents(PortColumn);
    m_table->resizeColumnToContents(DeviceColumn);
}

void SlotNamesDialog::accept()
{
    keepTyped();
    QString error;
    if (!SlotNames::setNames(m_typed, &error)) {
        m_error->setText(error);
        m_error->show();
        return;
    }
    QDialog::accept();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
