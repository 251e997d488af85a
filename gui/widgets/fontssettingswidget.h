#ifndef FONTSSETTINGSWIDGET_H
#define FONTSSETTINGSWIDGET_H

#include "gui_global.h"

#include <QMap>
#include <QStringList>
#include <QWidget>

class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMimeData;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class FontPreviewWidget;
class TxListWidget;
class TxTextBrowser;

// Lists the built-in and the user-added fonts, previews them, adds font files and
// marks user fonts for removal (files in use can only be deleted after a restart).
class GUI_EXPORT FontsSettingsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit FontsSettingsWidget(QWidget* parent = nullptr);

    // Adds the files and reports the failures in one message; returns that message
    // (empty when every file was added).
    QString addNewFonts(const QStringList& paths);
    void refreshUserFonts();

    // Families marked for removal, and their files.
    QStringList markedFonts() const;
    QStringList fontsToRemove() const;

    // The grouped failure text: one paragraph per kind of failure.
    static QString failureMessage(const QMap<int, QStringList>& failures);

    TxListWidget* builtInList() const { return m_builtInList; }
    TxListWidget* userList() const { return m_userList; }
    FontPreviewWidget* preview() const { return m_preview; }
    QGroupBox* previewGroup() const { return m_previewGroup; }
    TxTextBrowser* informationBrowser() const { return m_information; }

public slots:
    void onAddFonts();
    void previewFont(const QString& family);
    void markForRemoval(bool mark);

signals:
    void importFontPathChanged();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void onCurrentItemChanged(QListWidgetItem* current);
    void onUserListContextMenu(const QPoint& pos);

private:
    static QStringList fontFilesIn(const QMimeData* mime);
    void showFailures(const QString& text);
    void applyMark(QListWidgetItem* item, bool marked);

    TxListWidget* m_builtInList = nullptr;
    TxListWidget* m_userList = nullptr;
    QGroupBox* m_previewGroup = nullptr;
    FontPreviewWidget* m_preview = nullptr;
    TxTextBrowser* m_information = nullptr;
    QStringList m_marked;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FONTSSETTINGSWIDGET_H
