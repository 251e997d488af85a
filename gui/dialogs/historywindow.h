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
// Recording itself can be switched off here.
class GUI_EXPORT HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);
    ~HistoryWindow() override;

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

public slots:
    void onExport();

protected:
    void showEvent(QShowEvent* event) override;

private:
    HistoryWindowPrivate* d;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // HISTORYWINDOW_H
