#include "combobox.h"
#include "editmenuhelper.h"
#include "englishtexts.h"
#include "localizationhelper.h"
#include "txabstractscrollarea.h"
#include "txdatetimeedit.h"
#include "txlistwidget.h"
#include "txpathedit.h"
#include "txscrollarea.h"
#include "txtablewidget.h"
#include "txtableview.h"
#include "txtextbrowser.h"
#include "txtextedit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <functional>
#include <memory>

using namespace Orvane::Tavrix::Designer;
using Orvane::Tavrix::Common::LocalizationHelper;

namespace {

QString gui(const QString& key)
{
    return LocalizationHelper::guiString(key);
}

// Sends a wheel event at the middle of `target` the way the window system does (spontaneous, so
// that an ignored event travels on to the parent).
bool wheel(QWidget* target, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF position(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(position, target->mapToGlobal(position), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    // As QTest does for keys: sendEvent() would clear the spontaneous flag.
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(target, &event);
    return event.isAccepted();
}

QStringList texts(const QMenu* menu)
{
    QStringList result;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator())
            result << action->text();
    }
    return result;
}

QAction* entry(const QMenu* menu, const QString& key)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == gui(key))
            return action;
    }
    return nullptr;
}

QStringList enabledEntries(const QMenu* menu)
{
    QStringList result;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->isEnabled())
            result << action->text();
    }
    return result;
}

QStringList keys(std::initializer_list<const char*> list)
{
    QStringList result;
    for (const char* key : list)
        result << gui(QString::fromUtf8(key));
    return result;
}

bool hasPicture(const QAction* action)
{
    return action && !action->icon().pixmap(16, 16).isNull();
}

void dropFile(QWidget* target, const QString& path, bool* accepted)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPointF position(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(position.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    *accepted = enter.isAccepted() && drop.isAccepted();
}

bool writeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

} // namespace

class TestEditingWidgets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void wheelOverScrollingWidgets_data();
    void wheelOverScrollingWidgets();
    void wheelPicksTheBar();

    void comboBoxKeysAndSortedMap();
    void comboBoxWheel();
    void comboBoxReadOnly();

    void pathEditKeepsOneLine();
    void pathEditDrops();
    void pathEditUndo();
    void pathEditMenu();

    void textEditMenuAndKeys();
    void textEditCustomUndo();
    void textBrowserMenu();
    void dateTimeEditWheelAndMenu();
    void dateTimeEditKeys();
};

void TestEditingWidgets::initTestCase()
{
    useEnglishTexts();
}

void TestEditingWidgets::wheelOverScrollingWidgets_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("TxAbstractScrollArea") << "abstract";
    QTest::newRow("TxScrollArea") << "scrollArea";
    QTest::newRow("TxTableView") << "tableView";
    QTest::newRow("TxTableWidget") << "tableWidget";
    QTest::newRow("TxListWidget") << "listWidget";
}

void TestEditingWidgets::wheelOverScrollingWidgets()
{
    QFETCH(QString, kind);
    // rows == 0: content that fits; otherwise enough to need a vertical scroll bar.
    auto make = [&kind](int rows) -> QAbstractScrollArea* {
        if (kind == "abstract") {
            auto* area = new TxAbstractScrollArea;
            area->verticalScrollBar()->setRange(0, rows * 20);
            area->setVerticalScrollBarPolicy(rows ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
            area->verticalScrollBar()->setSingleStep(7);
            return area;
        }
        if (kind == "scrollArea") {
            auto* area = new TxScrollArea;
            auto* content = new QWidget;
            content->setFixedSize(50, rows ? rows * 20 : 20);
            area->setWidget(content);
            return area;
        }
        if (kind == "tableView") {
            auto* view = new TxTableView;
            auto* model = new QStandardItemModel(rows ? rows : 1, 1, view);
            view->setModel(model);
            return view;
        }
        if (kind == "tableWidget")
            return new TxTableWidget(rows ? rows : 1, 1);
        auto* list = new TxListWidget;
        for (int i = 0; i < (rows ? rows : 1); ++i)
            list->addItem(QString::number(i));
        return list;
    };

    for (const int rows : {0, 200}) {
        QScrollArea page;
        auto* content = new QWidget;
        auto* layout = new QVBoxLayout(content);
        QAbstractScrollArea* widget = make(rows);
        widget->setFixedSize(150, 150);
        layout->addWidget(widget);
        layout->addSpacing(3000);
        page.setWidget(content);
        page.resize(300, 400);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(widget->verticalScrollBar()->isVisible(), rows != 0);
        QVERIFY(!widget->horizontalScrollBar()->isVisible());

        QScrollBar* pageBar = page.verticalScrollBar();
        QScrollBar* ownBar = widget->verticalScrollBar();
        QCOMPARE(pageBar->value(), 0);
        wheel(widget->viewport(), -120);
        if (rows == 0) {
            // Nothing to scroll in the widget: the page scrolls.
            QVERIFY2(pageBar->value() > 0, qPrintable(kind));
        } else {
            QCOMPARE(pageBar->value(), 0);
            QCOMPARE(ownBar->value(), 2 * ownBar->singleStep());
            wheel(widget->viewport(), 120);
            QCOMPARE(ownBar->value(), 0);
            // At the top, wheeling up stays clamped and still does not scroll the page.
            wheel(widget->viewport(), 120);
            QCOMPARE(ownBar->value(), 0);
            QCOMPARE(pageBar->value(), 0);
        }
    }
}

void TestEditingWidgets::wheelPicksTheBar()
{
    TxTableWidget table(100, 100);
    table.resize(200, 200);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QScrollBar* horizontal = table.horizontalScrollBar();
    QScrollBar* vertical = table.verticalScrollBar();
    QVERIFY(horizontal->isVisible() && vertical->isVisible());

    QVERIFY(wheel(table.viewport(), -120, Qt::ShiftModifier));
    QCOMPARE(horizontal->value(), 2 * horizontal->singleStep());
    QCOMPARE(vertical->value(), 0);
    QVERIFY(wheel(table.viewport(), -120));
    QCOMPARE(vertical->value(), 2 * vertical->singleStep());

    // Only the horizontal bar shown: the plain wheel moves it.
    TxTableWidget wide(1, 100);
    wide.resize(200, 200);
    wide.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wide));
    QVERIFY(wide.horizontalScrollBar()->isVisible() && !wide.verticalScrollBar()->isVisible());
    QVERIFY(wheel(wide.viewport(), -120));
    QCOMPARE(wide.horizontalScrollBar()->value(), 2 * wide.horizontalScrollBar()->singleStep());
    QVERIFY(wheel(wide.viewport(), 240));
    QCOMPARE(wide.horizontalScrollBar()->value(), 0);
}

void TestEditingWidgets::comboBoxKeysAndSortedMap()
{
    const QMap<QString, QString> keyToText{
        {"de", "German"}, {"en", "English"}, {"fr", "French"}, {"zh", "chinese"}, {"en_GB", "English"}};
    ComboBox box(keyToText);
    // Sorted by text without regard to case; equal texts keep their key order.
    QCOMPARE(box.items(), QStringList({"chinese", "English", "English", "French", "German"}));
    QCOMPARE(box.keys(), QStringList({"zh", "en", "en_GB", "fr", "de"}));
    QCOMPARE(box.indexOfKey("fr"), 3);
    QCOMPARE(box.indexOfKey("xx"), -1);
    QCOMPARE(box.itemForKey("de"), QString("German"));
    QCOMPARE(box.keyForItem("French"), QString("fr"));
    QCOMPARE(box.keyAtIndex(0), QString("zh"));
    QCOMPARE(box.itemAtIndex(4), QString("German"));

    QVERIFY(box.setCurrentItemKey("fr"));
    QCOMPARE(box.currentText(), QString("French"));
    QCOMPARE(box.currentItemKey(), QString("fr"));
    QVERIFY(!box.setCurrentItemKey("missing"));
    QCOMPARE(box.currentItemKey(), QString("fr"));

    box.removeItemKey("en_GB");
    box.removeItemText("chinese");
    QCOMPARE(box.keys(), QStringList({"en", "fr", "de"}));
    box.addItem("Dutch");
    box.insertItem(0, "Polski", "pl");
    QCOMPARE(box.keys(), QStringList({"pl", "en", "fr", "de", "Dutch"}));
    box.insertItems(1, {"One", "Two"}, {"1"});
    QCOMPARE(box.keys(), QStringList({"pl", "1", "Two", "en", "fr", "de", "Dutch"}));
    box.removeItem(0);
    QCOMPARE(box.indexOfItem("One"), 0);
    box.clear();
    QVERIFY(box.items().isEmpty());
    QCOMPARE(box.currentItemKey(), QString());
}

void TestEditingWidgets::comboBoxWheel()
{
    QScrollArea page;
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* box = new ComboBox;
    box->addItems({"a", "b", "c"});
    layout->addWidget(box);
    layout->addSpacing(3000);
    page.setWidget(content);
    page.resize(300, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QSignalSpy modified(box, qOverload<int>(&ComboBox::userModified));
    QSignalSpy modifiedPlain(box, qOverload<>(&ComboBox::userModified));

    QVERIFY(box->acceptWheel());
    wheel(box, -120);
    QCOMPARE(box->currentIndex(), 1);
    wheel(box, -120);
    wheel(box, -120); // no wrap-around at the end
    QCOMPARE(box->currentIndex(), 2);
    wheel(box, 120);
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(modified.count(), 3);
    QCOMPARE(modifiedPlain.count(), 3);
    QCOMPARE(modified.last().at(0).toInt(), 1);
    QCOMPARE(page.verticalScrollBar()->value(), 0);

    // Wheel off: the value stays and the page scrolls instead.
    box->setAcceptWheel(false);
    wheel(box, -120);
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(modified.count(), 3);
    QVERIFY(page.verticalScrollBar()->value() > 0);

    // A choice made by the program is not the user's.
    box->setCurrentIndex(0);
    QCOMPARE(modified.count(), 3);
}

void TestEditingWidgets::comboBoxReadOnly()
{
    ComboBox box;
    box.addItems({"a", "b", "c"}, {"ka", "kb", "kc"});
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setReadOnly(true);
    QVERIFY(box.isReadOnly());
    wheel(&box, -120);
    QTest::keyClick(&box, Qt::Key_Down);
    QCOMPARE(box.currentIndex(), 0);
    box.showPopup();
    QVERIFY(!box.isShowingPopup());

    box.setReadOnly(false);
    box.showPopup();
    QVERIFY(box.isShowingPopup());
    box.closePopup();
    QVERIFY(!box.isShowingPopup());
    // Closed by a click elsewhere, the popup is no longer reported as shown.
    box.showPopup();
    QVERIFY(box.isShowingPopup());
    QWidget* popup = box.view()->window();
    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, QPoint(-40, popup->height() + 40));
    QTRY_VERIFY(!box.isShowingPopup());

    box.setMinimumItemHeight(40);
    QCOMPARE(box.minimumItemHeight(), 40);
    QVERIFY(box.view()->sizeHintForRow(0) >= 40);
    box.setUniformItemSizes(true);
    QVERIFY(box.uniformItemSizes());
    box.addItem(QString(80, QLatin1Char('W')), "wide");
    box.adjustViewSize();
    QVERIFY(box.view()->minimumWidth() > box.fontMetrics().horizontalAdvance(QString(80, QLatin1Char('W'))));
}

void TestEditingWidgets::pathEditKeepsOneLine()
{
    TxPathEdit edit(TxPathEdit::FilePath);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QApplication::clipboard()->setText("/home/user/first line\nsecond\r\nthird\rfourth");
    edit.setFocus();
    QTest::keySequence(&edit, QKeySequence::Paste);
    QCOMPARE(edit.text(), QString("/home/user/first line second third fourth"));
    QCOMPARE(edit.QLineEdit::text(), edit.text());

    edit.setText(QString("a") + QChar(0x2028) + "b\\c");
    QCOMPARE(edit.text(), QString("a b\\c"));
    QCOMPARE(edit.toStandardPath(), QString("a b/c"));

    TxPathEdit initial("x\ny", TxPathEdit::FolderPath);
    QCOMPARE(initial.text(), QString("x y"));
    QCOMPARE(initial.fileType(), TxPathEdit::FolderPath);
}

void TestEditingWidgets::pathEditDrops()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString png = dir.filePath("picture.png");
    const QString upper = dir.filePath("PHOTO.PNG");
    const QString txt = dir.filePath("notes.txt");
    QVERIFY(writeFile(png) && writeFile(upper) && writeFile(txt));
    // On Linux a symbolic link plays the part of a Windows shortcut.
    const QString linkToPng = dir.filePath("shortcut to picture");
    const QString linkToTxt = dir.filePath("shortcut to notes");
    const QString dangling = dir.filePath("dangling.png");
    QVERIFY(QFile::link(png, linkToPng));
    QVERIFY(QFile::link(txt, linkToTxt));
    QVERIFY(QFile::link(dir.filePath("gone.png"), dangling));
    QVERIFY(QDir(dir.path()).mkdir("folder"));

    TxPathEdit images(TxPathEdit::FilePath);
    images.setValidExtensions({"png", ".jpg"});
    images.show();
    QVERIFY(QTest::qWaitForWindowExposed(&images));
    bool accepted = false;

    dropFile(&images, linkToPng, &accepted);
    QVERIFY(accepted);
    QCOMPARE(images.text(), png);

    images.setText("unchanged");
    dropFile(&images, txt, &accepted);
    QVERIFY(!accepted);
    dropFile(&images, linkToTxt, &accepted);
    QVERIFY(!accepted);
    dropFile(&images, dangling, &accepted);
    QVERIFY(!accepted);
    dropFile(&images, dir.filePath("folder"), &accepted);
    QVERIFY(!accepted);
    QCOMPARE(images.text(), QString("unchanged"));

    dropFile(&images, upper, &accepted);
    QVERIFY(accepted);
    QCOMPARE(images.text(), upper);

    TxPathEdit anyFile(TxPathEdit::FilePath);
    QCOMPARE(anyFile.acceptablePath(txt), txt);

    TxPathEdit folders(TxPathEdit::FolderPath);
    folders.show();
    QVERIFY(QTest::qWaitForWindowExposed(&folders));
    dropFile(&folders, png, &accepted);
    QVERIFY(!accepted);
    dropFile(&folders, dir.filePath("folder"), &accepted);
    QVERIFY(accepted);
    QCOMPARE(folders.text(), dir.filePath("folder"));

    folders.setReadOnly(true);
    folders.setText("kept");
    dropFile(&folders, dir.filePath("folder"), &accepted);
    QVERIFY(!accepted);
    QCOMPARE(folders.text(), QString("kept"));
}

void TestEditingWidgets::pathEditUndo()
{
    TxPathEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setFocus();
    QTest::keyClicks(&edit, "ab");
    edit.setText("/tmp/file");
    QVERIFY(edit.isUndoAvailable());
    QVERIFY(!edit.isRedoAvailable());
    QTest::keySequence(&edit, QKeySequence::Undo);
    QCOMPARE(edit.text(), QString("ab"));
    QTest::keySequence(&edit, QKeySequence::Undo);
    QCOMPARE(edit.text(), QString("a"));
    QVERIFY(edit.isRedoAvailable());
    QTest::keySequence(&edit, QKeySequence::Redo);
    QCOMPARE(edit.text(), QString("ab"));
    // A new edit drops what could be redone.
    QTest::keyClicks(&edit, "c");
    QVERIFY(!edit.isRedoAvailable());
    QCOMPARE(edit.text(), QString("abc"));

    edit.setUndoEnabled(false);
    QTest::keySequence(&edit, QKeySequence::Undo);
    QCOMPARE(edit.text(), QString("abc"));

    edit.setUndoEnabled(true);
    edit.setCustomUndo(true);
    QSignalSpy undo(&edit, &TxPathEdit::requestUndo);
    QSignalSpy redo(&edit, &TxPathEdit::requestRedo);
    QTest::keySequence(&edit, QKeySequence::Undo);
    QTest::keySequence(&edit, QKeySequence::Redo);
    QCOMPARE(edit.text(), QString("abc"));
    QCOMPARE(undo.count(), 1);
    QCOMPARE(redo.count(), 1);
    std::unique_ptr<QMenu> menu(edit.createContextMenu());
    entry(menu.get(), "&Undo")->trigger();
    QCOMPARE(undo.count(), 2);

    edit.setReadOnly(true);
    QTest::keySequence(&edit, QKeySequence::Undo);
    QCOMPARE(undo.count(), 2);
}

void TestEditingWidgets::pathEditMenu()
{
    const QStringList seven = keys({"&Undo", "&Redo", "&Copy", "Cu&t", "&Paste", "&Delete", "Select &All"});
    TxPathEdit edit;
    QApplication::clipboard()->clear();
    std::unique_ptr<QMenu> empty(edit.createContextMenu());
    QCOMPARE(texts(empty.get()), seven);
    QVERIFY(enabledEntries(empty.get()).isEmpty());
    for (const char* key : {"&Undo", "&Redo", "&Copy", "Cu&t", "&Paste", "&Delete"})
        QVERIFY2(hasPicture(entry(empty.get(), key)), key);

    edit.setText("/data/project.txdevproj");
    edit.setSelection(0, 5);
    QApplication::clipboard()->setText("/other");
    std::unique_ptr<QMenu> full(edit.createContextMenu());
    QCOMPARE(enabledEntries(full.get()), keys({"&Undo", "&Copy", "Cu&t", "&Paste", "&Delete", "Select &All"}));

    entry(full.get(), "&Delete")->trigger();
    QCOMPARE(edit.text(), QString("/project.txdevproj"));
    edit.selectAll();
    entry(full.get(), "&Paste")->trigger();
    QCOMPARE(edit.text(), QString("/other"));

    edit.setReadOnly(true);
    edit.selectAll();
    std::unique_ptr<QMenu> readOnly(edit.createContextMenu());
    QCOMPARE(enabledEntries(readOnly.get()), keys({"&Copy", "Select &All"}));
}

void TestEditingWidgets::textEditMenuAndKeys()
{
    TxTextEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setFocus();
    QApplication::clipboard()->clear();
    std::unique_ptr<QMenu> empty(edit.createContextMenu());
    QCOMPARE(texts(empty.get()), keys({"&Undo", "&Redo", "&Copy", "Cu&t", "&Paste", "&Delete", "Select &All"}));
    QVERIFY(enabledEntries(empty.get()).isEmpty());
    QVERIFY(hasPicture(entry(empty.get(), "&Paste")));

    QTest::keyClicks(&edit, "hello");
    edit.selectAll();
    std::unique_ptr<QMenu> typed(edit.createContextMenu());
    QCOMPARE(enabledEntries(typed.get()), keys({"&Undo", "&Copy", "Cu&t", "&Delete", "Select &All"}));

    QTest::keySequence(&edit, QKeySequence::Cut);
    QCOMPARE(edit.toPlainText(), QString());
    QCOMPARE(QApplication::clipboard()->text(), QString("hello"));
    QTest::keySequence(&edit, QKeySequence::Paste);
    QTest::keySequence(&edit, QKeySequence::Paste);
    QCOMPARE(edit.toPlainText(), QString("hellohello"));
    QTest::keySequence(&edit, QKeySequence::Undo);
    QCOMPARE(edit.toPlainText(), QString("hello"));

    // Without undo the keys do nothing and the entries stay off.
    edit.setUndoEnabled(false);
    QTest::keySequence(&edit, QKeySequence::Undo);
    QCOMPARE(edit.toPlainText(), QString("hello"));
    std::unique_ptr<QMenu> noUndo(edit.createContextMenu());
    QVERIFY(!entry(noUndo.get(), "&Undo")->isEnabled());

    // Read-only: cut and paste change nothing; copying still works.
    edit.setReadOnly(true);
    edit.selectAll();
    QApplication::clipboard()->setText("other");
    QTest::keySequence(&edit, QKeySequence::Paste);
    QTest::keySequence(&edit, QKeySequence::Cut);
    QCOMPARE(edit.toPlainText(), QString("hello"));
    QTest::keySequence(&edit, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QString("hello"));
    std::unique_ptr<QMenu> readOnly(edit.createContextMenu());
    QCOMPARE(enabledEntries(readOnly.get()), keys({"&Copy", "Select &All"}));
}

void TestEditingWidgets::textEditCustomUndo()
{
    TxTextEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setFocus();
    edit.setCustomUndo(true);
    QSignalSpy undo(&edit, &TxTextEdit::requestUndo);
    QSignalSpy redo(&edit, &TxTextEdit::requestRedo);
    QTest::keyClicks(&edit, "abc");
    QTest::keySequence(&edit, QKeySequence::Undo);
    QCOMPARE(edit.toPlainText(), QString("abc"));
    QCOMPARE(undo.count(), 1);
    std::unique_ptr<QMenu> menu(edit.createContextMenu());
    QVERIFY(entry(menu.get(), "&Redo")->isEnabled());
    entry(menu.get(), "&Redo")->trigger();
    QCOMPARE(redo.count(), 1);
    QCOMPARE(edit.toPlainText(), QString("abc"));
}

void TestEditingWidgets::textBrowserMenu()
{
    TxTextBrowser browser;
    browser.setHtml("<p>Plain words first</p><p><a href=\"https://example.org/help\">help page</a></p>"
                    "<p><a href=\"file:///nonexistent/readme.txt\">local file</a></p>");
    browser.resize(400, 300);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));

    std::unique_ptr<QMenu> onText(browser.createContextMenu(QPoint(5, 5)));
    QCOMPARE(texts(onText.get()), keys({"&Copy", "Copy &Link Location", "Select &All"}));
    QCOMPARE(enabledEntries(onText.get()), keys({"Select &All"}));
    QVERIFY(hasPicture(entry(onText.get(), "&Copy")));

    // Over the link, its location can be copied.
    QTextCursor cursor = browser.document()->find("help page");
    QVERIFY(!cursor.isNull());
    cursor.setPosition(cursor.selectionStart() + 2);
    const QPoint overLink = browser.cursorRect(cursor).center();
    QCOMPARE(browser.anchorAt(overLink), QString("https://example.org/help"));
    std::unique_ptr<QMenu> onLink(browser.createContextMenu(overLink));
    QAction* copyLink = entry(onLink.get(), "Copy &Link Location");
    QVERIFY(copyLink->isEnabled());
    copyLink->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("https://example.org/help"));

    browser.selectAll();
    std::unique_ptr<QMenu> selected(browser.createContextMenu(QPoint(5, 5)));
    QVERIFY(entry(selected.get(), "&Copy")->isEnabled());

    // Following a local link never replaces the shown text.
    const QString shown = browser.toPlainText();
    emit browser.anchorClicked(QUrl("file:///nonexistent/readme.txt"));
    QCOMPARE(browser.toPlainText(), shown);
    QVERIFY(!browser.isOpeningLocalFile());
}

void TestEditingWidgets::dateTimeEditWheelAndMenu()
{
    QScrollArea page;
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    const QDateTime start(QDate(2026, 12, 8), QTime(10, 30));
    auto* edit = new TxDateTimeEdit(start);
    edit->setDisplayFormat("yyyy-MM-dd hh:mm");
    layout->addWidget(edit);
    layout->addSpacing(3000);
    page.setWidget(content);
    page.resize(300, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    edit->setAcceptWheel(false);
    wheel(edit, -120);
    QCOMPARE(edit->dateTime(), start);
    QVERIFY(page.verticalScrollBar()->value() > 0);

    edit->setAcceptWheel(true);
    wheel(edit, 120);
    QVERIFY(edit->dateTime() != start);

    QApplication::clipboard()->clear();
    edit->setDateTime(start);
    edit->lineEdit()->deselect();
    std::unique_ptr<QMenu> menu(edit->createContextMenu());
    QCOMPARE(texts(menu.get()), keys({"&Undo", "&Redo", "&Copy", "Cu&t", "&Paste", "&Delete", "Select &All",
                                      "&Step Up", "Step D&own"}));
    QAction* up = entry(menu.get(), "&Step Up");
    QAction* down = entry(menu.get(), "Step D&own");
    QVERIFY(hasPicture(up) && hasPicture(down));
    QCOMPARE(up->shortcut(), QKeySequence("Up"));
    QCOMPARE(down->shortcut(), QKeySequence("Down"));
    QVERIFY(up->isEnabled() && down->isEnabled());
    QVERIFY(!entry(menu.get(), "&Copy")->isEnabled());

    // At the maximum there is no step up.
    edit->setMaximumDateTime(start);
    edit->setDateTime(start);
    std::unique_ptr<QMenu> atMaximum(edit->createContextMenu());
    edit->setCurrentSectionIndex(0);
    QVERIFY(!entry(atMaximum.get(), "&Step Up")->isEnabled());
    QVERIFY(entry(atMaximum.get(), "Step D&own")->isEnabled());

    edit->lineEdit()->selectAll();
    edit->setReadOnly(true);
    std::unique_ptr<QMenu> readOnly(edit->createContextMenu());
    QCOMPARE(enabledEntries(readOnly.get()), keys({"&Copy", "Select &All"}));
}

// The date-time edit follows the same key rules as the other editing widgets.
void TestEditingWidgets::dateTimeEditKeys()
{
    TxDateTimeEdit edit;
    edit.setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit.setDate(QDate(2026, 12, 8));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setFocus();
    QLineEdit* line = edit.findChild<QLineEdit*>();
    QVERIFY(line);
    line->selectAll();
    QTest::keySequence(&edit, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("2026-12-08"));

    // Read-only: undo is ignored, cut takes nothing away.
    edit.setReadOnly(true);
    line->selectAll();
    QTest::keySequence(&edit, QKeySequence::Cut);
    QCOMPARE(line->text(), QStringLiteral("2026-12-08"));
    QKeyEvent undo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(undo.matches(QKeySequence::Undo));
    QApplication::sendEvent(&edit, &undo);
    QCOMPARE(line->text(), QStringLiteral("2026-12-08"));

    // Undo switched off: the key is ignored and the text stays.
    edit.setReadOnly(false);
    edit.setUndoEnabled(false);
    QKeyEvent ignored(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    QApplication::sendEvent(&edit, &ignored);
    QVERIFY(!ignored.isAccepted());
    QCOMPARE(line->text(), QStringLiteral("2026-12-08"));
}

QTEST_MAIN(TestEditingWidgets)
#include "tst_editingwidgets.moc"
