#ifndef HARDWAREINFODIALOG_H
#define HARDWAREINFODIALOG_H

#include "gui_global.h"

#include <QDialog>
#include <QString>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// What the program knows about one device, as a one-column table.
// Each device row owns one and gives it the device's port.
class GUI_EXPORT HardwareInfoDialog : public QDialog
{
    Q_OBJECT
public:
    enum Row {
        ModelRow, SerialRow, FirmwareRow, SoftwareRow, PortRow, TimeZoneRow, ScreenWidthRow, ScreenHeightRow,
        BrightnessRow, ColorDepthRow, AlarmOutputsRow, AnalogInputsRow, DigitalIOsRow, PwmOutputsRow,
        ManufactureYearRow, ManufactureWeekRow, RowCount
    };

    explicit HardwareInfoDialog(QWidget* parent = nullptr);
    ~HardwareInfoDialog() override;

    QString activePort() const { return m_portName; }
    // The text shown in a row (for the rows' users and tests).
    QString rowText(int row) const;
    QString rowTitle(int row) const;
    QTableWidget* table() const { return m_table; }

    // "UTC", "UTC +05:30" or "Unknown" for minutes east of UTC.
    static QString timeZoneText(const QString& minutes);

public slots:
    void setActivePort(const QString& portName);
    void changeTimeZone(int zone);
    void updateBrightness(int brightness);
    void onItemDoubleClicked(QTableWidgetItem* item);

protected:
    // Ctrl+C in the table copies the current value, as a double-click does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setRowText(int row, const QString& text);
    void clearRows();

    QTableWidget* m_table = nullptr;
    QPushButton* m_closeButton = nullptr;
    QString m_portName;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // HARDWAREINFODIALOG_H
