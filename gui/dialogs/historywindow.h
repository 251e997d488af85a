#ifndef HISTORYWINDOW_H
#define HISTORYWINDOW_H

#include "gui_global.h"
#include "servicehistory.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTableView;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class HistoryModel;
class HistoryWindowPrivate;

// The service history: every recorded operation, newest first, filtered by serial
// number or name, operation, result and date; the filtered entries can be saved as CSV.
// Recording itself can be switched off here. With a history server it shows this
// station's entries, those of all stations (with their station), or the fleet: every
// device the server knows above, the chosen device's entries below.
class GUI_EXPORT HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    enum View { ThisStation, AllStations, Fleet };
    // The server's entries shown at most (the newest).
    static constexpr int SharedEntryLimit = 5000;

    explicit HistoryWindow(QWidget* parent = nullptr);
    ~HistoryWindow() override;

    View view() const;
    void setView(View view);

    // Shows only the entries of this device (a part of its serial number or name).
    void setDeviceFilter(const QString& text);
    // Shows only the entries of exactly this serial number, while the text filter still
    // reads it (edited, it is a part of a serial number or name again).
    void setSerialFilter(const QString& serial);
    Common::ServiceHistory::Filter filter() const;
    // Queries with the filter as the controls set it now.
    void applyFilter();
    // The filtered entries as CSV; false with a box saying why.
    bool exportCsv(const QString& filePath);

    HistoryModel* model() const;
    QTableView* table() const;
    QLineEdit* textFilter() const;
    QComboBox* operationFilter() const;
    QComboBox* resultFilter() const;
    QDateEdit* fromDate() const;
    QDateEdit* toDate() const;
    QCheckBox* recordingBox() const;
    QLabel* countLabel() const;
    QComboBox* viewChooser() const;
    QTableView* fleetTable() const;

public slots:
    void onExport();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Asks the server for the entries (and the fleet): the answers fill the tables.
    void fetchShared(bool withFleet);
    void sizeColumns();

    HistoryWindowPrivate* d;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // HISTORYWINDOW_H
