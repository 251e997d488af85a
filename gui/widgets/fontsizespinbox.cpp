#include "fontsizespinbox.h"

#include "editmenuhelper.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>

namespace Orvane {
namespace Tavrix {
namespace Designer {

FontSizeSpinBox::FontSizeSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{
}

QMenu* FontSizeSpinBox::createContextMenu()
{
    QLineEdit* edit = lineEdit();
    const bool editable = !isReadOnly();
    const bool selection = edit->hasSelectedText();
    const StepEnabled steps = stepEnabled();
    auto* menu = new QMenu(this);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Undo, editable && edit->isUndoAvailable()),
            &QAction::triggered, edit, &QLineEdit::undo);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Redo, editable && edit->isRedoAvailable()),
            &QAction::triggered, edit, &QLineEdit::redo);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Copy, selection), &QAction::triggered, edit, &QLineEdit::copy);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Cut, selection && editable), &QAction::triggered, edit,
            &QLineEdit::cut);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Paste, editable && EditMenuHelper::clipboardHasText()),
            &QAction::triggered, edit, &QLineEdit::paste);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Delete, selection && editable), &QAction::triggered, this,
            &FontSizeSpinBox::deleteSelection);
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

void FontSizeSpinBox::deleteSelection()
{
    if (!isReadOnly())
        lineEdit()->del();
}

void FontSizeSpinBox::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->exec(event->globalPos());
    delete menu;
    event->accept();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
