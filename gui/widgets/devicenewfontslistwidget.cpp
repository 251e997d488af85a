#include "devicenewfontslistwidget.h"

#include "appuserfontslistwidget.h"
#include "localizationhelper.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const char* const ItemModelMimeType = "application/x-qabstractitemmodeldatalist";

} // namespace

DeviceNewFontsListWidget::DeviceNewFontsListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setSortingEnabled(true);
    setStyleSheet(QStringLiteral("QListWidget { border: 1px solid black; } QListWidget::item:!enabled { color: #767676; }"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    m_menu = new QMenu(this);
    connect(m_menu->addAction(guiText("&Remove")), &QAction::triggered, this, &DeviceNewFontsListWidget::removeSelected);
}

DeviceNewFontsListWidget::~DeviceNewFontsListWidget() = default;

QStringList DeviceNewFontsListWidget::fonts() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i)
        names << item(i)->text();
    return names;
}

void DeviceNewFontsListWidget::addFonts(const QStringList& names)
{
    const QStringList present = fonts();
    for (const QString& name : names) {
        if (!present.contains(name) && findItems(name, Qt::MatchExactly).isEmpty())
            addItem(name);
    }
}

void DeviceNewFontsListWidget::removeSelected()
{
    qDeleteAll(selectedItems());
}

QStringList DeviceNewFontsListWidget::droppedFonts(const QMimeData* data)
{
    // Both marks: an item drag, and one that started in the user font list.
    if (!data || !data->hasFormat(QString::fromLatin1(ItemModelMimeType))
        || !data->hasFormat(QString::fromLatin1(AppUserFontsListWidget::SourceMimeType)))
        return QStringList();
    const QString names = QString::fromUtf8(data->data(QString::fromLatin1(AppUserFontsListWidget::SourceMimeType)));
    return names.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void DeviceNewFontsListWidget::contextMenuEvent(QContextMenuEvent* event)
{
    if (!isEnabled())
        return;
    m_menu->actions().at(0)->setEnabled(!selectedItems().isEmpty());
    m_menu->popup(event->globalPos());
}

void DeviceNewFontsListWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (isEnabled() && !droppedFonts(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceNewFontsListWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (isEnabled() && !droppedFonts(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceNewFontsListWidget::dropEvent(QDropEvent* event)
{
    const QStringList names = isEnabled() ? droppedFonts(event->mimeData()) : QStringList();
    if (names.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit fontsDropped(names);
}

void DeviceNewFontsListWidget::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && isEnabled()) {
        removeSelected();
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
