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
    const StepEnabled steps = stepEnabled();
    return EditMenuHelper::spinBoxMenu(this, lineEdit(), true, steps.testFlag(StepUpEnabled),
                                       steps.testFlag(StepDownEnabled), [this]() { deleteSelection(); });
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
