#include "fontssettingswidget.h"
#include "systemhelper.h"

#include "fontpreviewwidget.h"
#include "fontscenter.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "txlistwidget.h"
#include "txtextbrowser.h"

#include <algorithm>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const char* const ImportFontDirKey = "importFontDir";

} // namespace

FontsSettingsWidget::FontsSettingsWidget(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);

    auto* group = new QGroupBox(guiText("Application Fonts"), this);
    group->setStyleSheet(QStringLiteral("QGroupBox { font: bold; }"));

    const QString listStyle = QStringLiteral("QListWidget { border: 1px solid black; }");
    auto* builtInLabel = new QLabel(guiText("Built-in Fonts"), group);
    m_builtInList = new TxListWidget(group);
    m_builtInList->setStyleSheet(listStyle);
    auto* userLabel = new QLabel(guiText("User-added Fonts"), group);
    m_userList = new TxListWidget(group);
    m_userList->setStyleSheet(listStyle);
    m_userList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_userList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_userList->setSortingEnabled(true);
    for (TxListWidget* list : {m_builtInList, m_userList}) {
        // Drops on the lists are font files for this widget, not list items.
        list->setAcceptDrops(false);
        list->viewport()->setAcceptDrops(false);
        QFont plain = list->font();
        plain.setBold(false);
        list->setFont(plain);
    }
    for (QLabel* label : {builtInLabel, userLabel}) {
        QFont plain = label->font();
        plain.setBold(false);
        label->setFont(plain);
    }

    m_previewGroup = new QGroupBox(group);
    m_preview = new FontPreviewWidget(m_previewGroup);
    auto* previewLayout = new QVBoxLayout(m_previewGroup);
    previewLayout->addWidget(m_preview);

    auto* infoLabel = new QLabel(guiText("Font Information"), group);
    m_information = new TxTextBrowser(group);
    m_information->setOpenLocalFile(true, true);
    m_information->setStyleSheet(QStringLiteral("QTextBrowser { background: transparent; color: black; }"));
    m_information->setFrameShape(QFrame::NoFrame);
    QFont plainInfo = m_information->font();
    plainInfo.setBold(false);
    m_information->setFont(plainInfo);
    m_previewGroup->setFont(plainInfo);
    // The lists and the information are named by their headings.
    m_builtInList->setAccessibleName(builtInLabel->text());
    m_builtInList->setAccessibleDescription(guiText("The fonts that come with the program. Choose one to preview it."));
    m_userList->setAccessibleName(userLabel->text());
    m_userList->setAccessibleDescription(guiText("Drop font files here to add them; the context menu "
                                                 "adds fonts and marks them for removal."));
    m_information->setAccessibleName(infoLabel->text());

    auto* grid = new QGridLayout(group);
    grid->addWidget(builtInLabel, 0, 0);
    grid->addWidget(userLabel, 0, 1);
    grid->addWidget(m_builtInList, 1, 0);
    grid->addWidget(m_userList, 1, 1);
    grid->addWidget(m_previewGroup, 2, 0, 1, 2);
    grid->addWidget(infoLabel, 3, 0, 1, 2);
    grid->addWidget(m_information, 4, 0, 1, 2);
    grid->setRowStretch(1, 2);
    grid->setRowStretch(2, 2);
    grid->setRowStretch(4, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);

    FontsCenter* center = FontsCenter::instance();
    for (const QString& family : center->applicationFonts())
        m_builtInList->addItem(family);
    refreshUserFonts();

    connect(m_builtInList, &QListWidget::currentItemChanged, this, &FontsSettingsWidget::onCurrentItemChanged);
    connect(m_userList, &QListWidget::currentItemChanged, this, &FontsSettingsWidget::onCurrentItemChanged);
    connect(m_userList, &QListWidget::customContextMenuRequested, this, &FontsSettingsWidget::onUserListContextMenu);
    connect(center, &FontsCenter::fontAdded, this, &FontsSettingsWidget::refreshUserFonts);
    m_builtInList->installEventFilter(this);
    m_userList->installEventFilter(this);

    previewFont(FontsCenter::defaultFamily());
}

void FontsSettingsWidget::refreshUserFonts()
{
    const QString current = m_userList->currentItem() ? m_userList->currentItem()->text() : QString();
    const QStringList families = FontsCenter::instance()->userFonts();
    m_userList->clear();
    QStringList stillMarked;
    for (const QString& family : families) {
        auto* item = new QListWidgetItem(family, m_userList);
        const bool marked = m_marked.contains(family);
        if (marked)
            stillMarked << family;
        applyMark(item, marked);
        if (family == current)
            m_userList->setCurrentItem(item);
    }
    m_marked = stillMarked;
}

void FontsSettingsWidget::applyMark(QListWidgetItem* item, bool marked)
{
    QFont font = m_userList->font();
    font.setStrikeOut(marked);
    item->setFont(font);
}

QStringList FontsSettingsWidget::markedFonts() const
{
    return m_marked;
}

QStringList FontsSettingsWidget::fontsToRemove() const
{
    QStringList files;
    for (const QString& family : m_marked)
        files += FontsCenter::instance()->fontPath(family);
    return files;
}

void FontsSettingsWidget::markForRemoval(bool mark)
{
    for (QListWidgetItem* item : m_userList->selectedItems()) {
        const QString family = item->text();
        if (mark && !m_marked.contains(family))
            m_marked << family;
        else if (!mark)
            m_marked.removeAll(family);
        applyMark(item, mark);
    }
}

void FontsSettingsWidget::previewFont(const QString& family)
{
    m_preview->setFontFamily(family);
    m_previewGroup->setTitle(guiText("Preview Font \"%1\"").arg(family));
    QString html = FontsCenter::instance()->fontInformationHtml(family);
    if (family == FontsCenter::fallbackFamily()) {
        html.insert(html.lastIndexOf(QStringLiteral("</html>")),
                    QStringLiteral("<br/><br/>")
                        + guiText("Note: Droids Sans Fallback does not actually support Korean though it is listed above. Please use NanumGothic for Korean language."));
    }
    m_information->setHtml(html);
}

void FontsSettingsWidget::onCurrentItemChanged(QListWidgetItem* current)
{
    if (current)
        previewFont(current->text());
}

void FontsSettingsWidget::onUserListContextMenu(const QPoint& pos)
{
    QListWidgetItem* item = m_userList->itemAt(pos);
    const QList<QListWidgetItem*> selected = m_userList->selectedItems();
    bool anyMarked = false;
    bool anyUnmarked = false;
    for (QListWidgetItem* entry : selected) {
        if (m_marked.contains(entry->text()))
            anyMarked = true;
        else
            anyUnmarked = true;
    }

    QMenu menu(this);
    QAction* preview = menu.addAction(QIcon(QStringLiteral(":/images/preview")), guiText("&Preview"));
    preview->setEnabled(item != nullptr);
    connect(preview, &QAction::triggered, this, [this, item]() { previewFont(item->text()); });
    QAction* add = menu.addAction(QIcon(QStringLiteral(":/images/new")), guiText("&Add Fonts"));
    connect(add, &QAction::triggered, this, &FontsSettingsWidget::onAddFonts);
    menu.addSeparator();
    QAction* mark = menu.addAction(guiText("&Mark for Removal"));
    mark->setEnabled(anyUnmarked);
    connect(mark, &QAction::triggered, this, [this]() { markForRemoval(true); });
    QAction* unmark = menu.addAction(guiText("&Unmark for Removal"));
    unmark->setEnabled(anyMarked);
    connect(unmark, &QAction::triggered, this, [this]() { markForRemoval(false); });
    menu.exec(m_userList->viewport()->mapToGlobal(pos));
}

void FontsSettingsWidget::onAddFonts()
{
    QSettings settings = Common::SystemHelper::userSettings();
    const QString directory = settings.value(QLatin1String(ImportFontDirKey)).toString();
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, guiText("Add Fonts"), directory,
        guiText("Font (%1)").arg(QStringLiteral("*.otf *.ttf")));
    if (paths.isEmpty())
        return;
    const QString chosen = QFileInfo(paths.first()).absolutePath();
    if (chosen != directory) {
        settings.setValue(QLatin1String(ImportFontDirKey), chosen);
        emit importFontPathChanged();
    }
    addNewFonts(paths);
}

QString FontsSettingsWidget::addNewFonts(const QStringList& paths)
{
    QMap<int, QStringList> failures;
    for (const QString& path : paths) {
        const int result = FontsCenter::instance()->addFontFromPath(path);
        if (result != FontsCenter::FontAdded)
            failures[result] << QDir::toNativeSeparators(path);
    }
    refreshUserFonts();
    const QString text = failureMessage(failures);
    if (!text.isEmpty())
        showFailures(text);
    return text;
}

namespace {

// The paragraph head of one kind of failure, for one file or for several.
QString failureText(int result, bool several)
{
    switch (result) {
    case FontsCenter::FontDoesNotExist:
        return several ? guiText("The following files do not exist: \n    %1")
                       : guiText("The following file does not exist: \n    %1");
    case FontsCenter::FontNotValid:
        return several ? guiText("The following files are not valid font files: \n    %1")
                       : guiText("The following file is not a valid font file: \n    %1");
    case FontsCenter::FontBuiltIn:
        return several ? guiText("The following files are build-in application fonts: \n    %1")
                       : guiText("The following file is a build-in application font: \n    %1");
    case FontsCenter::FontAlreadyAdded:
        return several ? guiText("The following files are already added: \n    %1")
                       : guiText("The following file is already added: \n    %1");
    case FontsCenter::FontAlreadyAddedRename:
        return several ? guiText("The following files are already added (You may rename the files and try again): \n    %1")
                       : guiText("The following file is already added (You may rename the file and try again): \n    %1");
    case FontsCenter::FontCannotBeCopied:
        return several ? guiText("The following files cannot be copied: \n    %1")
                       : guiText("The following file cannot be copied: \n    %1");
    default:
        return several ? guiText("The following files cannot be added: \n    %1")
                       : guiText("The following file cannot be added: \n    %1");
    }
}

} // namespace

QString FontsSettingsWidget::failureMessage(const QMap<int, QStringList>& failures)
{
    static const int order[] = {FontsCenter::FontDoesNotExist, FontsCenter::FontNotValid, FontsCenter::FontBuiltIn,
                                FontsCenter::FontAlreadyAdded, FontsCenter::FontAlreadyAddedRename,
                                FontsCenter::FontCannotBeCopied, FontsCenter::FontCannotBeAdded};
    QMap<int, QStringList> rest = failures;
    rest.remove(FontsCenter::FontAdded);
    QStringList cannotBeAdded = rest.take(FontsCenter::FontCannotBeAdded);
    // Any other result still reaches the user, as a file that cannot be added.
    for (auto it = rest.cbegin(); it != rest.cend(); ++it) {
        if (std::find(std::begin(order), std::end(order), it.key()) == std::end(order))
            cannotBeAdded += it.value();
    }
    rest.insert(FontsCenter::FontCannotBeAdded, cannotBeAdded);

    QStringList paragraphs;
    for (int result : order) {
        const QStringList files = rest.value(result);
        if (!files.isEmpty())
            paragraphs << failureText(result, files.size() > 1).arg(files.join(QStringLiteral("\n    ")));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

void FontsSettingsWidget::showFailures(const QString& text)
{
    MessageBox::warning(this, guiText("Add Fonts"), text);
}

QStringList FontsSettingsWidget::fontFilesIn(const QMimeData* mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toUpper();
        if (suffix == QLatin1String("TTF") || suffix == QLatin1String("OTF"))
            files << path;
    }
    return files;
}

void FontsSettingsWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (!fontFilesIn(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FontsSettingsWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (!fontFilesIn(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FontsSettingsWidget::dropEvent(QDropEvent* event)
{
    const QStringList files = fontFilesIn(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    addNewFonts(files);
}

bool FontsSettingsWidget::eventFilter(QObject* watched, QEvent* event)
{
    // Selecting an item that is already current previews it again on a click.
    if (event->type() == QEvent::FocusIn) {
        auto* list = qobject_cast<QListWidget*>(watched);
        if (list && list->currentItem())
            previewFont(list->currentItem()->text());
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
