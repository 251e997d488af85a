#include "devicefontslistwidget.h"

#include "localizationhelper.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

} // namespace

DeviceFontsListWidget::DeviceFontsListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setSortingEnabled(true);
    setStyleSheet(QStringLiteral("QListWidget { border: 1px solid black; } QListWidget::item:!enabled { color: #767676; }"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_menu = new QMenu(this);
    connect(m_menu->addAction(guiText("&Mark for Removal")), &QAction::triggered, this, &DeviceFontsListWidget::markSelected);
    connect(m_menu->addAction(guiText("&Unmark for Removal")), &QAction::triggered, this, &DeviceFontsListWidget::unmarkSelected);
}

DeviceFontsListWidget::~DeviceFontsListWidget() = default;

void DeviceFontsListWidget::setFonts(const QStringList& fonts)
{
    clear();
    m_allFonts = fonts;
    m_markedFonts.clear();
    addItems(fonts);
}

void DeviceFontsListWidget::setMarked(QListWidgetItem* item, bool marked)
{
    QFont font = item->font();
    font.setStrikeOut(marked);
    item->setFont(font);
    item->setForeground(marked ? QColor(Qt::red) : QColor(Qt::black));
    if (marked && !m_markedFonts.contains(item->text()))
        m_markedFonts << item->text();
    else if (!marked)
        m_markedFonts.removeAll(item->text());
}

void DeviceFontsListWidget::markSelected()
{
    for (QListWidgetItem* item : selectedItems())
        setMarked(item, true);
}

void DeviceFontsListWidget::unmarkSelected()
{
    for (QListWidgetItem* item : selectedItems())
        setMarked(item, false);
}

void DeviceFontsListWidget::showMenuAt(const QPoint& globalPos)
{
    const QList<QListWidgetItem*> selected = selectedItems();
    bool anyMarked = false;
    bool anyPlain = false;
    for (const QListWidgetItem* item : selected) {
        if (isMarked(item->text()))
            anyMarked = true;
        else
            anyPlain = true;
    }
    m_menu->actions().at(0)->setEnabled(anyPlain);
    m_menu->actions().at(1)->setEnabled(anyMarked);
    m_menu->popup(globalPos);
}

void DeviceFontsListWidget::contextMenuEvent(QContextMenuEvent* event)
{
    if (isEnabled())
        showMenuAt(event->globalPos());
}

void DeviceFontsListWidget::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Space:
        if (event->modifiers() == Qt::NoModifier && currentItem()) {
            showMenuAt(viewport()->mapToGlobal(visualItemRect(currentItem()).center()));
            return;
        }
        break;
    case Qt::Key_Plus:
        if (keypad || modifiers == Qt::ShiftModifier || modifiers == Qt::NoModifier) {
            unmarkSelected();
            return;
        }
        break;
    case Qt::Key_Equal:
        if (event->modifiers() == Qt::NoModifier) {
            unmarkSelected();
            return;
        }
        break;
    case Qt::Key_Period:
        if (keypad) {
            markSelected();
            return;
        }
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        markSelected();
        return;
    case Qt::Key_Escape:
        clearSelection();
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::Delete)) {
        markSelected();
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
