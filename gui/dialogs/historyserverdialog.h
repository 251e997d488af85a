#ifndef HISTORYSERVERDIALOG_H
#define HISTORYSERVERDIALOG_H

#include "gui_global.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Orvane {
namespace Tavrix {

namespace Common {
class HistoryServerReader;
}

namespace Designer {

// Where this station's service history is shared: the history server's address (a libpq
// connection URI) and the station's name. The environment (DOVREL_HISTORY_SERVER,
// DOVREL_STATION) comes before what is set here, and the dialog says so.
class GUI_EXPORT HistoryServerDialog : public QDialog
{
    Q_OBJECT
public:
    explicit HistoryServerDialog(QWidget* parent = nullptr);

    QLineEdit* serverEdit() const { return m_server; }
    QLineEdit* stationEdit() const { return m_station; }
    QPushButton* testButton() const { return m_test; }
    QLabel* statusLabel() const { return m_status; }

public slots:
    // Keeps the settings; the entries go to a newly named server at once.
    void accept() override;
    // Connects to the address in the field, in the background, and says how it went.
    void onTest();

private:
    QLineEdit* m_server = nullptr;
    QLineEdit* m_station = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_status = nullptr;
    Common::HistoryServerReader* m_reader = nullptr;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // HISTORYSERVERDIALOG_H
