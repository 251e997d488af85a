#include "txtextbrowser.h"

#include "editmenuhelper.h"
#include "filehelper.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::FileHelper;

TxTextBrowser::TxTextBrowser(QWidget* parent)
    : QTextBrowser(parent)
    , m_openLocalFile(false)
    , m_selectInFileViewer(false)
{
    // Following a link must not replace the text with the link's target.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &TxTextBrowser::onAnchorClicked);
}

void TxTextBrowser::setOpenLocalFile(bool open, bool selectInFileViewer)
{
    m_openLocalFile = open;
    m_selectInFileViewer = selectInFileViewer;
}

bool TxTextBrowser::isOpeningLocalFile() const
{
    return m_openLocalFile;
}

void TxTextBrowser::copySelection()
{
    copy();
}

void TxTextBrowser::onAnchorClicked(const QUrl& url)
{
    if (!url.isValid())
        return;
    if (!url.isLocalFile() && !url.scheme().isEmpty()) {
        QDesktopServices::openUrl(url);
        return;
    }
    if (!m_openLocalFile)
        return;
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
    if (!QFileInfo::exists(path))
        return;
    if (m_selectInFileViewer)
        FileHelper::activateFileViewerSelectingFile(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QMenu* TxTextBrowser::createContextMenu(const QPoint& position)
{
    const QString link = anchorAt(position);
    auto* menu = new QMenu(this);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Copy, textCursor().hasSelection()), &QAction::triggered,
            this, &TxTextBrowser::copySelection);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::CopyLinkLocation, !link.isEmpty()), &QAction::triggered,
            this, [link]() { QApplication::clipboard()->setText(link); });
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::SelectAll, !document()->isEmpty()), &QAction::triggered,
            this, &TxTextBrowser::selectAll);
    return menu;
}

void TxTextBrowser::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TxTextBrowser::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    QTextBrowser::keyPressEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
