#include "appuserfontslistwidget.h"

#include "fontscenter.h"
#include "localizationhelper.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

} // namespace

const char* const AppUserFontsListWidget::SourceMimeType = "application/x-dovrel-user-fonts";

AppUserFontsListWidget::AppUserFontsListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setSortingEnabled(true);
    setStyleSheet(QStringLiteral("QListWidget { border: 1px solid black; } QListWidget::item:!enabled { color: #767676; }"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);

    m_menu = new QMenu(this);
    QAction* preview = m_menu->addAction(QIcon(QStringLiteral(":/images/preview")), guiText("&Preview"));
    QAction* add = m_menu->addAction(QIcon(QStringLiteral(":/images/new")), guiText("&Add Fonts"));
    connect(preview, &QAction::triggered, this, [this]() {
        if (currentItem())
            emit previewFont(currentItem()->text());
    });
    connect(add, &QAction::triggered, this, [this]() {
        const QStringList fonts = selectedFonts();
        if (!fonts.isEmpty())
            emit addFonts(fonts);
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        emit addFonts({ item->text() });
    });
}

AppUserFontsListWidget::~AppUserFontsListWidget() = default;

void AppUserFontsListWidget::reload()
{
    clear();
    addItems(FontsCenter::instance()->userFonts());
}

QStringList AppUserFontsListWidget::selectedFonts() const
{
    QStringList fonts;
    for (const QListWidgetItem* item : selectedItems())
        fonts << item->text();
    fonts.sort();
    return fonts;
}

QStringList AppUserFontsListWidget::mimeTypes() const
{
    return QListWidget::mimeTypes() << QString::fromLatin1(SourceMimeType);
}

QMimeData* AppUserFontsListWidget::mimeData(const QList<QListWidgetItem*>& items) const
{
    QMimeData* data = QListWidget::mimeData(items);
    if (!data)
        return nullptr;
    QStringList names;
    for (const QListWidgetItem* item : items)
        names << item->text();
    data->setData(QString::fromLatin1(SourceMimeType), names.join(QLatin1Char('\n')).toUtf8());
    return data;
}

QMimeData* AppUserFontsListWidget::dragData() const
{
    return mimeData(selectedItems());
}

void AppUserFontsListWidget::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Insert || event->key() == Qt::Key_Plus) && isEnabled() && !selectedFonts().isEmpty()) {
        emit addFonts(selectedFonts());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void AppUserFontsListWidget::contextMenuEvent(QContextMenuEvent* event)
{
    if (!isEnabled())
        return;
    const bool hasItem = itemAt(event->pos()) != nullptr || currentItem() != nullptr;
    for (QAction* action : m_menu->actions())
        action->setEnabled(hasItem);
    m_menu->popup(event->globalPos());
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
