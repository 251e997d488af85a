#include "txdatetimeedit.h"

#include "editmenuhelper.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QWheelEvent>

namespace Orvane {
namespace Tavrix {
namespace Designer {

TxDateTimeEdit::TxDateTimeEdit(QWidget* parent)
    : QDateTimeEdit(parent)
    , m_acceptWheel(true)
    , m_undoEnabled(true)
{
}

TxDateTimeEdit::TxDateTimeEdit(const QDateTime& dateTime, QWidget* parent)
    : QDateTimeEdit(dateTime, parent)
    , m_acceptWheel(true)
    , m_undoEnabled(true)
{
}

bool TxDateTimeEdit::isAcceptWheel() const
{
    return m_acceptWheel;
}

void TxDateTimeEdit::setAcceptWheel(bool accept)
{
    m_acceptWheel = accept;
}

bool TxDateTimeEdit::isUndoEnabled() const
{
    return m_undoEnabled;
}

void TxDateTimeEdit::setUndoEnabled(bool enabled)
{
    m_undoEnabled = enabled;
}

QLineEdit* TxDateTimeEdit::lineEdit() const
{
    return QDateTimeEdit::lineEdit();
}

void TxDateTimeEdit::deleteSelection()
{
    if (!isReadOnly() && lineEdit()->hasSelectedText())
        lineEdit()->del();
}

QMenu* TxDateTimeEdit::createContextMenu()
{
    const StepEnabled steps = stepEnabled();
    return EditMenuHelper::spinBoxMenu(this, lineEdit(), m_undoEnabled, steps.testFlag(StepUpEnabled),
                                       steps.testFlag(StepDownEnabled), [this]() { deleteSelection(); });
}

void TxDateTimeEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TxDateTimeEdit::keyPressEvent(QKeyEvent* event)
{
    QLineEdit* edit = lineEdit();
    const EditMenuHelper::KeyActions actions { [edit]() { edit->undo(); }, [edit]() { edit->redo(); },
                                               [edit]() { edit->copy(); }, [edit]() { edit->cut(); },
                                               [edit]() { edit->paste(); } };
    if (!EditMenuHelper::handleEditKey(event, m_undoEnabled, isReadOnly(), actions))
        QDateTimeEdit::keyPressEvent(event);
}

void TxDateTimeEdit::wheelEvent(QWheelEvent* event)
{
    if (!m_acceptWheel) {
        event->ignore();
        return;
    }
    QDateTimeEdit::wheelEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
