#ifndef TXDATETIMEEDIT_H
#define TXDATETIMEEDIT_H

#include "gui_global.h"

#include <QDateTimeEdit>

class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QDateTimeEdit with the common context menu and stepping entries; the wheel changes the value only
// when allowed, so wheeling over a form does not change a date by accident.
class GUI_EXPORT TxDateTimeEdit : public QDateTimeEdit
{
    Q_OBJECT
public:
    explicit TxDateTimeEdit(QWidget* parent = nullptr);
    explicit TxDateTimeEdit(const QDateTime& dateTime, QWidget* parent = nullptr);

    bool isAcceptWheel() const;
    void setAcceptWheel(bool accept);
    bool isUndoEnabled() const;
    void setUndoEnabled(bool enabled);
    QLineEdit* lineEdit() const;

    QMenu* createContextMenu();

public slots:
    void deleteSelection();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool m_acceptWheel;
    bool m_undoEnabled;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXDATETIMEEDIT_H
