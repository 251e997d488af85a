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
    QLineEdit* edit = lineEdit();
    const bool editable = !isReadOnly();
    const bool selection = edit->hasSelectedText();
    const bool undoable = m_undoEnabled && editable;
    const StepEnabled steps = stepEnabled();
    auto* menu = new QMenu(this);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Undo, undoable && edit->isUndoAvailable()),
            &QAction::triggered, edit, &QLineEdit::undo);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Redo, undoable && edit->isRedoAvailable()),
            &QAction::triggered, edit, &QLineEdit::redo);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Copy, selection), &QAction::triggered, edit,
            &QLineEdit::copy);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Cut, selection && editable), &QAction::triggered, edit,
            &QLineEdit::cut);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Paste, editable && EditMenuHelper::clipboardHasText()),
            &QAction::triggered, edit, &QLineEdit::paste);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Delete, selection && editable), &QAction::triggered, this,
            &TxDateTimeEdit::deleteSelection);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::SelectAll, !edit->text().isEmpty()), &QAction::triggered,
            this, &QAbstractSpinBox::selectAll);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::StepUp, editable && steps.testFlag(StepUpEnabled)),
            &QAction::triggered, this, &QAbstractSpinBox::stepUp);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::StepDown, editable && steps.testFlag(StepDownEnabled)),
            &QAction::triggered, this, &QAbstractSpinBox::stepDown);
    return menu;
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
