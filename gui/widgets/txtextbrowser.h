#ifndef TXTEXTBROWSER_H
#define TXTEXTBROWSER_H

#include "gui_global.h"

#include <QTextBrowser>
#include <QUrl>

class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// Read-only text with the common context menu. Links never replace the shown text: web links open
// in the web browser, links to local files only when allowed.
class GUI_EXPORT TxTextBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit TxTextBrowser(QWidget* parent = nullptr);

    // Whether links to local files are followed, and then whether the file is shown selected in the
    // file viewer (true) or opened with its application (false).
    void setOpenLocalFile(bool open, bool selectInFileViewer = false);
    bool isOpeningLocalFile() const;

    // The context menu for a click at `position` (viewport coordinates); the caller owns it.
    QMenu* createContextMenu(const QPoint& position);

public slots:
    void copySelection();

protected slots:
    void onAnchorClicked(const QUrl& url);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_openLocalFile;
    bool m_selectInFileViewer;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXTEXTBROWSER_H
