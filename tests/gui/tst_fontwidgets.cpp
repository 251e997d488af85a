// The font chooser, the font preview, the font settings and the "Font settings" dialog.
#include "englishtexts.h"
#include "fontcombobox.h"
#include "fontpreviewwidget.h"
#include "fontscenter.h"
#include "fontsizespinbox.h"
#include "fontsdialog.h"
#include "fontssettingswidget.h"
#include "messagebox.h"
#include "txlistwidget.h"
#include "txtextbrowser.h"
#include "txtextedit.h"
#include "tst_fontsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>

#include <functional>

using namespace Orvane::Tavrix::Designer;

namespace {

constexpr int Wait = 20000;

QStringList itemTexts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QListWidgetItem* findItem(QListWidget* list, const QString& text)
{
    const auto items = list->findItems(text, Qt::MatchExactly);
    return items.isEmpty() ? nullptr : items.first();
}

// Runs `open` (which shows something modal) and hands the modal widget to `act`.
bool withModal(const std::function<void()>& open, const std::function<void(QWidget*)>& act)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            modal = QApplication::activePopupWidget();
        if (!modal || !modal->isVisible() || seen)
            return;
        seen = true;
        poll.stop();
        act(modal);
    });
    poll.start();
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&]() {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
    guard.start(Wait);
    open();
    return seen;
}

// Chooses an entry of the context menu that `open` shows, as a user would.
bool chooseMenuEntry(const std::function<void()>& open, const QString& text, QStringList* entries = nullptr,
                     QStringList* enabled = nullptr)
{
    bool found = false;
    const bool shown = withModal(open, [&](QWidget* widget) {
        auto* menu = qobject_cast<QMenu*>(widget);
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            if (entries)
                *entries << action->text();
            if (enabled && action->isEnabled())
                *enabled << action->text();
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == text && action->isEnabled()) {
                found = true;
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        menu->close();
    });
    return shown && found;
}

void openContextMenu(QWidget* widget, const QPoint& pos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &event);
}

QMimeData* fileMime(const QStringList& paths)
{
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime->setUrls(urls);
    return mime;
}

} // namespace

class TestFontWidgets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void userFolderCannotBeCreated();
    void previewControls();
    void comboBoxItems();
    void comboBoxExtraFonts();
    void comboBoxEditMenu();
    void settingsListsAndInformation();
    void settingsGroupedFailureMessage();
    void settingsDropAddsFonts();
    void settingsAddCommandRemembersFolder();
    void settingsMarkForRemoval();
    void dialogResults();

private:
    QString makeFont(const QString& name, const QString& resource, const QString& from, const QString& to);
    bool haveUserFont(const QString& name, const QString& resource, const QString& from, const QString& to);
    QTemporaryDir m_work;
};

QString TestFontWidgets::makeFont(const QString& name, const QString& resource, const QString& from, const QString& to)
{
    const QString path = m_work.filePath(name);
    if (!writeBytes(path, renamedFont(resource, from, to)))
        return QString();
    return path;
}

// The user font is there whether or not an earlier test added it.
bool TestFontWidgets::haveUserFont(const QString& name, const QString& resource, const QString& from, const QString& to)
{
    const int result = FontsCenter::instance()->addFontFromPath(makeFont(name, resource, from, to));
    return result == FontsCenter::FontAdded || result == FontsCenter::FontAlreadyAdded;
}

void TestFontWidgets::initTestCase()
{
    useEnglishTexts();
    QVERIFY(m_work.isValid());
    // The user font folder's place is taken by a file: nothing can be added until it goes.
    // A family of two files is found there at start, before that.
    const QString folder = userFontFolder();
    QDir(folder).removeRecursively();
    QFile::remove(folder);
    QCOMPARE(writeTwoFileFamily(folder).size(), 2);
    QCOMPARE(FontsCenter::instance()->fontPath(TwoFileFamily).size(), 2);
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(writeBytes(folder, "in the way"));
}

void TestFontWidgets::userFolderCannotBeCreated()
{
    FontsSettingsWidget widget;
    const QString font = makeFont("Thai Test.ttf", ":/fonts/DroidSansThai", "Noto Sans Thai", "Test Sans Thai");
    QString shown;
    QString title;
    QVERIFY(withModal([&]() { widget.addNewFonts({font}); },
                      [&](QWidget* modal) {
                          auto* box = qobject_cast<MessageBox*>(modal);
                          if (box) {
                              shown = box->text();
                              title = box->windowTitle();
                          }
                          QTest::keyClick(modal, Qt::Key_Escape);
                      }));
    QCOMPARE(title, QStringLiteral("Add Fonts"));
    QCOMPARE(shown, "The following file cannot be copied: \n    " + font);
    QVERIFY(QFileInfo(userFontFolder()).isFile());
    QCOMPARE(itemTexts(widget.userList()), QStringList{TwoFileFamily});
    QVERIFY(!FontsCenter::instance()->fonts().contains("Test Sans Thai"));

    QVERIFY(QFile::remove(userFontFolder()));
}

void TestFontWidgets::previewControls()
{
    FontPreviewWidget preview;
    preview.show();
    QCOMPARE(preview.fontFamily(), QStringLiteral("Droid Sans"));
    QCOMPARE(preview.pixelSize(), 14.0);
    QCOMPARE(preview.pixelSizeSpinBox()->suffix(), QStringLiteral(" px"));
    QCOMPARE(preview.sampleText(), QStringLiteral("Sample Text"));
    QCOMPARE(preview.sampleEdit()->styleSheet(), QStringLiteral("QTextEdit { font-size: 14px; }"));
    QCOMPARE(preview.boldButton()->toolTip(), QStringLiteral("Make the text bold"));
    QCOMPARE(preview.italicButton()->toolTip(), QStringLiteral("Italicize the text"));
    QCOMPARE(preview.underlineButton()->toolTip(), QStringLiteral("Underline the text"));
    QCOMPARE(preview.strikeOutButton()->toolTip(), QStringLiteral("Strike out the text"));
    QCOMPARE(preview.overlineButton()->toolTip(), QStringLiteral("Overline the text"));

    // The user changes size, style and spacing; the sample follows.
    QTest::mouseClick(preview.boldButton(), Qt::LeftButton);
    QTest::mouseClick(preview.strikeOutButton(), Qt::LeftButton);
    QTest::mouseClick(preview.overlineButton(), Qt::LeftButton);
    preview.pixelSizeSpinBox()->setValue(22.5);
    preview.letterSpacingSpinBox()->setValue(3);
    preview.wordSpacingSpinBox()->setValue(7);
    QCOMPARE(preview.sampleEdit()->styleSheet(), QStringLiteral("QTextEdit { font-size: 22.5px; }"));
    QFont font = preview.previewFont();
    QVERIFY(font.bold());
    QVERIFY(!font.italic());
    QVERIFY(!font.underline());
    QVERIFY(font.strikeOut());
    QVERIFY(font.overline());
    QCOMPARE(font.letterSpacing(), 3.0);
    QCOMPARE(font.letterSpacingType(), QFont::AbsoluteSpacing);
    QCOMPARE(font.wordSpacing(), 7.0);

    QSignalSpy changed(&preview, &FontPreviewWidget::fontFamilyChanged);
    preview.setFontFamily("Noto Sans Hebrew");
    preview.setFontFamily("Noto Sans Hebrew");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(preview.previewFont().family(), QStringLiteral("Noto Sans Hebrew"));
    QVERIFY(preview.previewFont().bold());

    // The size box has the editing menu with its step entries.
    QStringList entries;
    QVERIFY(chooseMenuEntry([&]() { openContextMenu(preview.pixelSizeSpinBox(), QPoint(5, 5)); }, "&Step Up", &entries));
    QCOMPARE(entries, (QStringList{"&Undo", "&Redo", "&Copy", "Cu&t", "&Paste", "&Delete", "Select &All", "&Step Up",
                                   "Step D&own"}));
    QTRY_COMPARE_WITH_TIMEOUT(preview.pixelSize(), 23.5, Wait);
    QCOMPARE(preview.sampleEdit()->styleSheet(), QStringLiteral("QTextEdit { font-size: 23.5px; }"));

    // The sample text is the user's to edit.
    QVERIFY(!preview.sampleEdit()->isReadOnly());
    preview.sampleEdit()->clear();
    QTest::keyClicks(preview.sampleEdit(), "Hello");
    QCOMPARE(preview.sampleText(), QStringLiteral("Hello"));
}

void TestFontWidgets::comboBoxItems()
{
    FontComboBox combo;
    const QStringList fonts = FontsCenter::instance()->fonts();
    QCOMPARE(combo.availableFonts(), fonts);
    QCOMPARE(combo.count(), fonts.size());
    QCOMPARE(combo.currentFont(), QStringLiteral("Droid Sans"));
    for (int i = 0; i < combo.count(); ++i) {
        QCOMPARE(combo.itemText(i), fonts.at(i));
        QCOMPARE(combo.itemData(i, Qt::FontRole).value<QFont>().family(), fonts.at(i));
    }
    const int hebrew = combo.findText("Noto Sans Hebrew");
    QCOMPARE(combo.itemData(hebrew, Qt::ToolTipRole).toString(),
             QStringLiteral("Supported Languages of \"Noto Sans Hebrew\": Hebrew"));
    const QString fallbackTip = combo.itemData(combo.findText("Droid Sans Fallback"), Qt::ToolTipRole).toString();
    QVERIFY2(fallbackTip.contains("Simplified Chinese, ") && fallbackTip.contains("Japanese"), qPrintable(fallbackTip));

    // A font added by the user shows up at once, and the choice is kept.
    QSignalSpy changed(&combo, &FontComboBox::fontsChanged);
    QSignalSpy current(&combo, &FontComboBox::currentFontChanged);
    combo.setCurrentFont("NanumGothic");
    QCOMPARE(current.count(), 1);
    const QString font = makeFont("Georgian Test.ttf", ":/fonts/DroidSansGeorgian", "Noto Sans Georgian", "Test Sans Georgian");
    QCOMPARE(FontsCenter::instance()->addFontFromPath(font), int(FontsCenter::FontAdded));
    QCOMPARE(changed.count(), 1);
    QVERIFY(combo.findText("Test Sans Georgian") >= 0);
    QCOMPARE(combo.currentFont(), QStringLiteral("NanumGothic"));
    QCOMPARE(current.count(), 1);
}

void TestFontWidgets::comboBoxExtraFonts()
{
    FontComboBox combo;
    const int available = combo.count();
    combo.setExtraFonts({"Missing Display Font", "Noto Sans Thai"});
    QCOMPARE(combo.extraFonts(), (QStringList{"Missing Display Font", "Noto Sans Thai"}));
    // A font that is installed is not listed twice.
    QCOMPARE(combo.count(), available + 1);
    const int missing = combo.findText("Missing Display Font");
    QCOMPARE(missing, available);
    QCOMPARE(combo.itemData(missing, Qt::ToolTipRole).toString(),
             QStringLiteral("The font \"Missing Display Font\" is not available."));
    QCOMPARE(combo.itemData(missing, Qt::FontRole).value<QFont>().family(), QStringLiteral("Droid Sans"));
    combo.setCurrentFont("Missing Display Font");
    QCOMPARE(combo.currentFont(), QStringLiteral("Missing Display Font"));

    // The popup is wide enough for the widest entry.
    combo.setExtraFont("An extraordinarily long font family name that nobody has installed");
    const QFont droid("Droid Sans");
    QVERIFY(combo.view()->minimumWidth()
            > QFontMetrics(droid).horizontalAdvance("An extraordinarily long font family name that nobody has installed"));
    QCOMPARE(combo.count(), available + 1);
    QVERIFY(combo.findText("Missing Display Font") < 0);
}

void TestFontWidgets::comboBoxEditMenu()
{
    FontComboBox combo;
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    QStringList entries;
    QStringList enabled;
    QGuiApplication::clipboard()->clear();
    QVERIFY(chooseMenuEntry([&]() { openContextMenu(&combo, QPoint(5, 5)); }, "&Copy", &entries, &enabled));
    QCOMPARE(entries, (QStringList{"&Undo", "&Redo", "&Copy", "Cu&t", "&Paste", "&Delete", "Select &All"}));
    // The list is not editable: only copying the chosen font can act.
    QCOMPARE(enabled, QStringList{"&Copy"});
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), QStringLiteral("Droid Sans"), Wait);

    // Choosing with the wheel is a change by the user.
    QSignalSpy modified(&combo, qOverload<>(&FontComboBox::userModified));
    QWheelEvent wheel(QPointF(5, 5), combo.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&combo, &wheel);
    QCOMPARE(modified.count(), 1);
    QCOMPARE(combo.currentFont(), QStringLiteral("NanumGothic"));

    QSignalSpy help(&combo, &FontComboBox::requestHelp);
    QTest::keyClick(&combo, Qt::Key_F1);
    QCOMPARE(help.count(), 1);
}

void TestFontWidgets::settingsListsAndInformation()
{
    FontsSettingsWidget widget;
    widget.show();
    FontsCenter* center = FontsCenter::instance();
    QCOMPARE(itemTexts(widget.builtInList()), center->applicationFonts());
    QStringList user = center->userFonts();
    user.sort(Qt::CaseInsensitive);
    QCOMPARE(itemTexts(widget.userList()), user);
    QCOMPARE(widget.previewGroup()->title(), QStringLiteral("Preview Font \"Droid Sans\""));

    widget.builtInList()->setCurrentItem(findItem(widget.builtInList(), "Noto Sans Armenian"));
    QCOMPARE(widget.preview()->fontFamily(), QStringLiteral("Noto Sans Armenian"));
    QCOMPARE(widget.previewGroup()->title(), QStringLiteral("Preview Font \"Noto Sans Armenian\""));
    const QString info = widget.informationBrowser()->toPlainText();
    QVERIFY2(info.contains("Font \"Noto Sans Armenian\" supports the following language: "), qPrintable(info));
    QVERIFY(info.contains("Armenian\n"));
    QVERIFY(info.contains("The font is using the following file: "));
    QVERIFY(info.contains(":/fonts/DroidSansArmenian"));
    QVERIFY(!info.contains("Note:"));

    widget.builtInList()->setCurrentItem(findItem(widget.builtInList(), "Droid Sans Fallback"));
    QVERIFY(widget.informationBrowser()->toHtml().contains(
        "Note: Droids Sans Fallback does not actually support Korean though it is listed above. Please use NanumGothic for Korean language."));
}

void TestFontWidgets::settingsGroupedFailureMessage()
{
    QCOMPARE(FontsSettingsWidget::failureMessage({}), QString());
    QCOMPARE(FontsSettingsWidget::failureMessage({{FontsCenter::FontAlreadyAddedRename, {"/a/one.ttf", "/b/two.otf"}},
                                                  {FontsCenter::FontDoesNotExist, {"/gone.ttf"}},
                                                  {FontsCenter::FontCannotBeAdded, {"/c.ttf"}},
                                                  {42, {"/odd.ttf"}}}),
             QStringLiteral("The following file does not exist: \n    /gone.ttf\n\n"
                            "The following files are already added (You may rename the files and try again): \n    /a/one.ttf\n    /b/two.otf\n\n"
                            "The following files cannot be added: \n    /c.ttf\n    /odd.ttf"));

    FontsSettingsWidget widget;
    const QString text = m_work.filePath("readme.ttf");
    const QString text2 = m_work.filePath("readme2.otf");
    QVERIFY(writeBytes(text, "not a font"));
    QVERIFY(writeBytes(text2, "not a font either"));
    const QString builtIn = m_work.filePath("copy of nanum.ttf");
    QVERIFY(writeBytes(builtIn, resourceBytes(":/fonts/NanumGothic")));
    const QString good = makeFont("Ethiopic Test.ttf", ":/fonts/DroidSansEthiopic", "Noto Sans Ethiopic", "Test Sans Ethiopic");
    const QString missing = m_work.filePath("nowhere.ttf");

    QString shown;
    QVERIFY(withModal([&]() { widget.addNewFonts({text, good, builtIn, missing, text2, good}); },
                      [&](QWidget* modal) {
                          if (auto* box = qobject_cast<MessageBox*>(modal))
                              shown = box->text();
                          QTest::keyClick(modal, Qt::Key_Escape);
                      }));
    QCOMPARE(shown, QStringLiteral("The following file does not exist: \n    %1\n\n"
                                   "The following files are not valid font files: \n    %2\n    %3\n\n"
                                   "The following file is a build-in application font: \n    %4\n\n"
                                   "The following file is already added: \n    %5")
                        .arg(missing, text, text2, builtIn, good));
    QVERIFY(findItem(widget.userList(), "Test Sans Ethiopic"));
    QVERIFY(!QFile::exists(userFontFolder() + "/readme.ttf"));
    QVERIFY(!QFile::exists(userFontFolder() + "/copy of nanum.ttf"));
}

void TestFontWidgets::settingsDropAddsFonts()
{
    FontsSettingsWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    const QString font = makeFont("Hebrew Test.TTF", ":/fonts/DroidSansHebrew", "Noto Sans Hebrew", "Test Sans Hebrew");
    const QString other = m_work.filePath("picture.png");
    QVERIFY(writeBytes(other, "png"));

    // Only font files are taken.
    std::unique_ptr<QMimeData> nothing(fileMime({other}));
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, nothing.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &refused);
    QVERIFY(!refused.isAccepted());

    std::unique_ptr<QMimeData> mime(fileMime({font, other}));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &drop);
    QVERIFY(findItem(widget.userList(), "Test Sans Hebrew"));
    QVERIFY(QFile::exists(userFontFolder() + "/Hebrew Test.TTF"));
    QVERIFY(!QFile::exists(userFontFolder() + "/picture.png"));
}

void TestFontWidgets::settingsAddCommandRemembersFolder()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Kavendi", "Lumatra");
    QVERIFY(QDir().mkpath(m_work.filePath("start")));
    settings.setValue("importFontDir", m_work.filePath("start"));
    settings.sync();
    const QString font = makeFont("picked/Naskh Test.ttf", ":/fonts/DroidNaskh", "Noto Naskh Arabic", "Test Naskh Arabic");

    FontsSettingsWidget widget;
    widget.show();
    QSignalSpy changed(&widget, &FontsSettingsWidget::importFontPathChanged);
    QString title;
    QString folder;
    QStringList filters;
    QVERIFY(withModal([&]() { widget.onAddFonts(); },
                      [&](QWidget* modal) {
                          auto* dialog = qobject_cast<QFileDialog*>(modal);
                          if (!dialog) {
                              modal->close();
                              return;
                          }
                          title = dialog->windowTitle();
                          folder = dialog->directory().absolutePath();
                          filters = dialog->nameFilters();
                          // The user types the file's path and presses Return.
                          auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                          if (!name) {
                              dialog->close();
                              return;
                          }
                          name->setText(font);
                          QTest::keyClick(name, Qt::Key_Return);
                      }));
    QCOMPARE(title, QStringLiteral("Add Fonts"));
    QCOMPARE(folder, QDir(m_work.filePath("start")).absolutePath());
    QCOMPARE(filters, QStringList{"Font (*.otf *.ttf)"});
    QVERIFY(findItem(widget.userList(), "Test Naskh Arabic"));
    QCOMPARE(changed.count(), 1);
    settings.sync();
    QCOMPARE(settings.value("importFontDir").toString(), QFileInfo(font).absolutePath());
}

void TestFontWidgets::settingsMarkForRemoval()
{
    QVERIFY(haveUserFont("Hebrew Test.TTF", ":/fonts/DroidSansHebrew", "Noto Sans Hebrew", "Test Sans Hebrew"));
    QVERIFY(haveUserFont("Georgian Test.ttf", ":/fonts/DroidSansGeorgian", "Noto Sans Georgian", "Test Sans Georgian"));
    FontsSettingsWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QListWidget* list = widget.userList();
    QListWidgetItem* item = findItem(list, "Test Sans Hebrew");
    QVERIFY(item);
    list->setCurrentItem(item);
    const QPoint pos = list->visualItemRect(item).center();

    QStringList entries;
    QVERIFY(chooseMenuEntry([&]() { emit list->customContextMenuRequested(pos); }, "&Mark for Removal", &entries));
    QCOMPARE(entries, (QStringList{"&Preview", "&Add Fonts", "&Mark for Removal", "&Unmark for Removal"}));
    QTRY_VERIFY_WITH_TIMEOUT(item->font().strikeOut(), Wait);
    QCOMPARE(widget.markedFonts(), QStringList{"Test Sans Hebrew"});
    QCOMPARE(widget.fontsToRemove(), FontsCenter::instance()->fontPath("Test Sans Hebrew"));

    // Marks survive a refresh of the list.
    widget.refreshUserFonts();
    item = findItem(list, "Test Sans Hebrew");
    QVERIFY(item->font().strikeOut());

    list->setCurrentItem(item);
    QStringList enabled;
    QVERIFY(chooseMenuEntry([&]() { emit list->customContextMenuRequested(pos); }, "&Unmark for Removal", nullptr, &enabled));
    QVERIFY(!enabled.contains("&Mark for Removal"));
    QTRY_VERIFY_WITH_TIMEOUT(!item->font().strikeOut(), Wait);
    QVERIFY(widget.fontsToRemove().isEmpty());

    // "&Preview" shows the font under the pointer.
    QListWidgetItem* georgian = findItem(list, "Test Sans Georgian");
    QVERIFY(georgian);
    QVERIFY(chooseMenuEntry([&]() { emit list->customContextMenuRequested(list->visualItemRect(georgian).center()); },
                            "&Preview"));
    QTRY_COMPARE_WITH_TIMEOUT(widget.preview()->fontFamily(), QStringLiteral("Test Sans Georgian"), Wait);
}

void TestFontWidgets::dialogResults()
{
    QVERIFY(haveUserFont("Ethiopic Test.ttf", ":/fonts/DroidSansEthiopic", "Noto Sans Ethiopic", "Test Sans Ethiopic"));
    FontsDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Font settings"));
    QCOMPARE(dialog.objectName(), QStringLiteral("general"));
    QListWidget* list = dialog.settingsWidget()->userList();
    QListWidgetItem* item = findItem(list, "Test Sans Ethiopic");
    QVERIFY(item);
    item->setSelected(true);
    dialog.settingsWidget()->markForRemoval(true);

    // Cancelled: nothing is removed.
    QTimer::singleShot(0, &dialog, [&]() { QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(dialog.fontsToRemove().isEmpty());
    QVERIFY(!dialog.needsRestart());

    QTimer::singleShot(0, &dialog, [&]() { QTest::mouseClick(dialog.okButton(), Qt::LeftButton); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.fontsToRemove(), QStringList{userFontFolder() + "/Ethiopic Test.ttf"});
    QVERIFY(dialog.needsRestart());

    // A family of two files goes whole.
    FontsDialog twin;
    QListWidgetItem* twinItem = findItem(twin.settingsWidget()->userList(), TwoFileFamily);
    QVERIFY(twinItem);
    twinItem->setSelected(true);
    twin.settingsWidget()->markForRemoval(true);
    QTimer::singleShot(0, &twin, [&]() { QTest::mouseClick(twin.okButton(), Qt::LeftButton); });
    QCOMPARE(twin.exec(), int(QDialog::Accepted));
    QCOMPARE(twin.fontsToRemove(), FontsCenter::instance()->fontPath(TwoFileFamily));
    QCOMPARE(twin.fontsToRemove().size(), 2);

    // Accepted without marks: no restart.
    FontsDialog plain;
    QTimer::singleShot(0, &plain, [&]() { QTest::mouseClick(plain.okButton(), Qt::LeftButton); });
    QCOMPARE(plain.exec(), int(QDialog::Accepted));
    QVERIFY(!plain.needsRestart());
}

int main(int argc, char** argv)
{
    // Never the real documents folder when run by hand.
    QTemporaryDir home;
    if (!qEnvironmentVariable("HOME").contains("test-home")) {
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    }
    QApplication app(argc, argv);
    TestFontWidgets test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fontwidgets.moc"
