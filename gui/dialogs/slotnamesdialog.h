#ifndef SLOTNAMESDIALOG_H
#define SLOTNAMESDIALOG_H

#include "gui_global.h"

#include <QDialog>
#include <QMap>

class QLabel;
class QTableWidget;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// Names the USB sockets of the station: every socket with a device plugged in is listed
// with its port and device, and the operator types its name. Slots named before and
// empty now are listed too, to rename or forget. A device plugged in while the dialog is
// open gets its line at once; what was typed stays.
class GUI_EXPORT SlotNamesDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column { PortColumn, DeviceColumn, NameColumn, ColumnCount };

    explicit SlotNamesDialog(QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }
    // The line of the slot a port is plugged into; -1 when none.
    int rowOfPort(const QString& port) const;

public slots:
    // Keeps the names; a name given twice is refused and the dialog stays.
    void accept() override;

private:
    void refresh();
    // Takes the names from the lines, one being typed included.
    void keepTyped();

    QTableWidget* m_table = nullptr;
    QLabel* m_error = nullptr;
    QMap<QString, QString> m_typed; // physical path -> the name in its line
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // SLOTNAMESDIALOG_H
