// The device fonts dialog against the emulated device, reached through its /dev/pts path.
#include "../app/apptestsupport.h"
#include "englishtexts.h"
#include "modaldriver.h"
#include "tst_fontsupport.h"

#include "appuserfontslistwidget.h"
#include "devicefontsdialog.h"
#include "deviceitemwidget.h"
#include "devicefontslistwidget.h"
#include "devicenewfontslistwidget.h"
#include "fontscenter.h"
#include "localizationhelper.h"
#include "serialportmanager.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Orvane::Tavrix::Designer::AppUserFontsListWidget;
using Orvane::Tavrix::Designer::DeviceFontsDialog;
using Orvane::Tavrix::Designer::DeviceFontsListWidget;
using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::DeviceNewFontsListWidget;
using Orvane::Tavrix::Designer::FontsCenter;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int LongWait = 60000;
const char* const ThaiFamily = "Test Sans Thai";
const char* const GeorgianFamily = "Test Sans Georgian";

QString gui(const char* key)
{
    return Orvane::Tavrix::Common::LocalizationHelper::guiString(QString::fromUtf8(key));
}

QStringList itemsOf(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

QListWidgetItem* itemNamed(QListWidget* list, const QString& name)
{
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

void selectOnly(QListWidget* list, const QStringList& names)
{
    list->clearSelection();
    for (const QString& name : names) {
        QListWidgetItem* item = itemNamed(list, name);
        QVERIFY2(item, qPrintable(name));
        item->setSelected(true);
        list->setCurrentItem(item, QItemSelectionModel::Select);
    }
}

// The file name under which the device knows a family of the program's collection.
QString deviceFileName(const QString& family)
{
    const QStringList files = FontsCenter::instance()->fontPath(family);
    return files.isEmpty() ? QString() : QFileInfo(files.first()).fileName();
}

} // namespace

class TestDeviceFontsDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_work;
    std::unique_ptr<PtsDevice> m_device;

    PtsDevice& newDevice()
    {
        m_device = std::make_unique<PtsDevice>();
        return *m_device;
    }

    bool haveUserFont(const QString& name, const QString& resource, const QString& from, const QString& to)
    {
        const QString path = m_work.filePath(name);
        if (!writeBytes(path, renamedFont(resource, from, to)))
            return false;
        const int result = FontsCenter::instance()->addFontFromPath(path);
        return result == FontsCenter::FontAdded || result == FontsCenter::FontAlreadyAdded;
    }

    // The dialog shown for the device, once its list has arrived.
    std::unique_ptr<DeviceFontsDialog> openFor(const PtsDevice& device)
    {
        auto dialog = std::make_unique<DeviceFontsDialog>();
        dialog->setActivePort(device.port);
        dialog->show();
        return dialog;
    }

    static bool waitForList(DeviceFontsDialog* dialog)
    {
        return QTest::qWaitFor([dialog]() { return dialog->startButton()->isEnabled(); }, LongWait);
    }

private slots:
    void initTestCase()
    {
        useEnglishTexts();
        registerProgramResources();
        QVERIFY(m_work.isValid());
        QVERIFY(SerialPortManager::instance());
        QCOMPARE(writeTwoFileFamily(userFontFolder()).size(), 2);
        QVERIFY(haveUserFont("ThaiTest.ttf", ":/fonts/DroidSansThai", "Noto Sans Thai", ThaiFamily));
        QVERIFY(haveUserFont("GeorgianTest.ttf", ":/fonts/DroidSansGeorgian", "Noto Sans Georgian", GeorgianFamily));
        QVERIFY(FontsCenter::instance()->userFonts().contains(ThaiFamily));
        QVERIFY(!deviceFileName(ThaiFamily).isEmpty());
    }

    void cleanup()
    {
        if (m_device && m_device->emulator.isRunning())
            QVERIFY(m_device->unplug());
        m_device.reset();
    }

    void firstShowListsTheDeviceUserFonts()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "FNT0001", "--system-fonts", "system.ttf" }, true));
        QVERIFY(device.devicePath.startsWith("/dev/pts/"));
        QVERIFY(device.emulator.putFile("fonts/Alpha.ttf", "alpha"));
        QVERIFY(device.emulator.putFile("fonts/Beta.ttf", "beta"));
        auto dialog = openFor(device);
        // Until the answer arrives nothing can be chosen.
        QVERIFY(!dialog->startButton()->isEnabled());
        QVERIFY(!dialog->deviceFontsList()->isEnabled());
        QVERIFY(!dialog->userFontsList()->isEnabled());
        QVERIFY(!dialog->newFontsList()->isEnabled());
        QVERIFY(waitForList(dialog.get()));
        QCOMPARE(itemsOf(dialog->deviceFontsList()), QStringList({ "Alpha.ttf", "Beta.ttf" }));
        QVERIFY(dialog->deviceFontsList()->isEnabled());
        QVERIFY(itemsOf(dialog->userFontsList()).contains(ThaiFamily));
        QVERIFY(device.emulator.commands().contains("#GFFS#"));
    }

    void removeTwoAndAddTwo()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "FNT0002", "--stay-on-reboot" }, true)); // the countdown, not the departure, closes
        for (const char* name : { "fonts/Alpha.ttf", "fonts/Beta.ttf", "fonts/Gamma.ttf" })
            QVERIFY(device.emulator.putFile(name, QByteArray(name)));
        auto dialog = openFor(device);
        QVERIFY(waitForList(dialog.get()));

        DeviceFontsListWidget* deviceList = dialog->deviceFontsList();
        selectOnly(deviceList, { "Alpha.ttf", "Beta.ttf" });
        deviceList->setFocus();
        QTest::keyClick(deviceList, Qt::Key_Delete);
        QCOMPARE(deviceList->markedFonts(), QStringList({ "Alpha.ttf", "Beta.ttf" }));
        QVERIFY(itemNamed(deviceList, "Alpha.ttf")->font().strikeOut());
        QCOMPARE(itemNamed(deviceList, "Alpha.ttf")->foreground().color(), QColor(Qt::red));

        AppUserFontsListWidget* userList = dialog->userFontsList();
        selectOnly(userList, { ThaiFamily, GeorgianFamily, TwoFileFamily });
        // The keyboard adds as the menu does (Insert), and Delete takes a font off again.
        QTest::keyClick(userList, Qt::Key_Insert);
        selectOnly(dialog->newFontsList(), { ThaiFamily });
        QTest::keyClick(dialog->newFontsList(), Qt::Key_Delete);
        QCOMPARE(itemsOf(dialog->newFontsList()), QStringList({ GeorgianFamily, TwoFileFamily }));
        userList->contextMenu()->actions().at(1)->trigger();
        QCOMPARE(itemsOf(dialog->newFontsList()), QStringList({ GeorgianFamily, ThaiFamily, TwoFileFamily }));

        const int mark = device.emulator.commands().size();
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QVERIFY(dialog->isBusy());
        QCOMPARE(dialog->closeButton()->text(), gui("Processing"));
        QVERIFY(!dialog->startButton()->isVisible());
        QVERIFY(QTest::qWaitFor([&]() { return dialog->statusLabel()->text() == gui("Finished"); }, LongWait));
        QCOMPARE(dialog->progressBar()->value(), 100);

        const QStringList commands = device.emulator.commands().mid(mark);
        auto firstIndex = [&commands](const QString& prefix) {
            for (int i = 0; i < commands.size(); ++i)
                if (commands.at(i).startsWith(prefix))
                    return i;
            return -1;
        };
        const int removeAlpha = commands.indexOf("#RMFS<0><Alpha.ttf>#");
        const int removeBeta = commands.indexOf("#RMFS<1><Beta.ttf>#");
        const int removalEnd = commands.indexOf("#RMFS<2><END>#");
        const int firstLoad = firstIndex("#LOAD<");
        const int sync = commands.indexOf("#SYNC#");
        const int boot = commands.lastIndexOf("#BOOT#");
        QVERIFY2(removeAlpha >= 0 && removeBeta >= 0, qPrintable(commands.join(' ')));
        QVERIFY2(removeAlpha < removeBeta && removeBeta < removalEnd && removalEnd < firstLoad, qPrintable(commands.join(' ')));
        QVERIFY(commands.contains(QStringLiteral("#LOAD<%1>").arg(deviceFileName(ThaiFamily)) + QString::number(QFileInfo(FontsCenter::instance()->fontPath(ThaiFamily).first()).size()) + "#"));
        QVERIFY2(firstLoad < sync && sync < boot, qPrintable(commands.join(' ')));
        QCOMPARE(device.emulator.readFile("fonts/" + deviceFileName(GeorgianFamily)),
                 resourceBytes(FontsCenter::instance()->fontPath(GeorgianFamily).first()));
        // A family of two files arrives whole.
        const QStringList twin = FontsCenter::instance()->fontPath(TwoFileFamily);
        QCOMPARE(twin.size(), 2);
        for (const QString& file : twin)
            QCOMPARE(device.emulator.readFile("fonts/" + QFileInfo(file).fileName()), resourceBytes(file));
        QVERIFY(!QFileInfo::exists(device.emulator.filePath("fonts/Alpha.ttf")));
        QVERIFY(QFileInfo::exists(device.emulator.filePath("fonts/Gamma.ttf")));

        // Then the countdown closes the dialog, each second shown.
        QVERIFY(dialog->closeButton()->isEnabled());
        QStringList shown { dialog->closeButton()->text() };
        QTimer look;
        look.setInterval(10);
        connect(&look, &QTimer::timeout, [&]() {
            if (shown.last() != dialog->closeButton()->text())
                shown << dialog->closeButton()->text();
        });
        look.start();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 10000);
        look.stop();
        QCOMPARE(shown.join(QLatin1Char('|')), QStringList({ gui("Close (%1)").arg(3), gui("Close (%1)").arg(2), gui("Close (%1)").arg(1) }).join(QLatin1Char('|')));
    }

    void markedFontCannotBeAddedToo()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "FNT0003" }, true));
        const QString thaiFile = deviceFileName(ThaiFamily);
        QVERIFY(device.emulator.putFile("fonts/" + thaiFile, "old thai"));
        auto dialog = openFor(device);
        QVERIFY(waitForList(dialog.get()));
        // An installed font is not offered again ...
        dialog->onAddFonts({ ThaiFamily });
        QCOMPARE(dialog->newFontsList()->count(), 0);
        // ... unless it is marked for removal.
        selectOnly(dialog->deviceFontsList(), { thaiFile });
        dialog->deviceFontsList()->markSelected();
        dialog->onAddFonts({ ThaiFamily });
        QCOMPARE(itemsOf(dialog->newFontsList()), QStringList({ ThaiFamily }));

        const int mark = device.emulator.commands().size();
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QCOMPARE(dialog->statusLabel()->text(),
                 gui("Font \"%1\" cannot be both added and removed at the same time.").arg(ThaiFamily));
        QVERIFY(!dialog->isBusy());
        QTest::qWait(500);
        QCOMPARE(device.emulator.commands().mid(mark), QStringList());
    }

    void startWithNothingChosen()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "FNT0004" }, true));
        auto dialog = openFor(device);
        QVERIFY(waitForList(dialog.get()));
        const int mark = device.emulator.commands().size();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QCOMPARE(dialog->statusLabel()->text(), gui("There is nothing to do."));
        QVERIFY(QTest::qWaitFor([&]() { return dialog->statusLabel()->text().isEmpty(); }, 10000));
        QVERIFY(clock.elapsed() >= 2900);
        QCOMPARE(device.emulator.commands().mid(mark), QStringList());
    }

    void deviceListKeys()
    {
        DeviceFontsListWidget list;
        list.setFonts({ "A.ttf", "B.ttf", "C.ttf" });
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.setFocus();
        selectOnly(&list, { "A.ttf", "B.ttf" });

        struct Step {
            int key;
            Qt::KeyboardModifiers modifiers;
            bool marked;
        };
        const Step steps[] = {
            { Qt::Key_Delete, Qt::NoModifier, true },     { Qt::Key_Plus, Qt::KeypadModifier, false },
            { Qt::Key_Backspace, Qt::NoModifier, true },  { Qt::Key_Plus, Qt::ShiftModifier, false },
            { Qt::Key_Period, Qt::KeypadModifier, true }, { Qt::Key_Equal, Qt::NoModifier, false },
        };
        for (const Step& step : steps) {
            QTest::keyClick(&list, Qt::Key(step.key), step.modifiers);
            QCOMPARE(list.markedFonts(), step.marked ? QStringList({ "A.ttf", "B.ttf" }) : QStringList());
            QCOMPARE(itemNamed(&list, "B.ttf")->font().strikeOut(), step.marked);
        }
        QVERIFY(!list.isMarked("C.ttf"));
        QCOMPARE(itemNamed(&list, "A.ttf")->foreground().color(), QColor(Qt::black));

        QTest::keyClick(&list, Qt::Key_Space);
        QTRY_VERIFY(list.contextMenu()->isVisible());
        list.contextMenu()->hide();

        QTest::keyClick(&list, Qt::Key_Escape);
        QVERIFY(list.selectedItems().isEmpty());
    }

    void dragFromTheCollectionOnly()
    {
        AppUserFontsListWidget userList;
        DeviceNewFontsListWidget newList;
        userList.reload();
        newList.show();
        QVERIFY(QTest::qWaitForWindowExposed(&newList));
        selectOnly(&userList, { ThaiFamily });
        QSignalSpy dropped(&newList, &DeviceNewFontsListWidget::fontsDropped);
        connect(&newList, &DeviceNewFontsListWidget::fontsDropped, &newList, &DeviceNewFontsListWidget::addFonts);

        auto dropOn = [&newList](QMimeData* data) {
            const QPoint at = newList.viewport()->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(newList.viewport(), &enter);
            const bool entered = enter.isAccepted();
            QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(newList.viewport(), &drop);
            return entered && drop.isAccepted();
        };

        std::unique_ptr<QMimeData> fromCollection(userList.dragData());
        QVERIFY(fromCollection->hasFormat("application/x-qabstractitemmodeldatalist"));
        QVERIFY(dropOn(fromCollection.get()));
        QCOMPARE(itemsOf(&newList), QStringList({ ThaiFamily }));

        // Items dragged from another list, and files, are not fonts of the collection.
        QListWidget other;
        other.addItem(GeorgianFamily);
        other.item(0)->setSelected(true);
        std::unique_ptr<QMimeData> fromElsewhere(other.model()->mimeData(other.selectionModel()->selectedIndexes()));
        QVERIFY(fromElsewhere->hasFormat("application/x-qabstractitemmodeldatalist"));
        QVERIFY(!dropOn(fromElsewhere.get()));
        QMimeData file;
        file.setUrls({ QUrl::fromLocalFile(m_work.filePath("GeorgianTest.ttf")) });
        QVERIFY(!dropOn(&file));
        QCOMPARE(itemsOf(&newList), QStringList({ ThaiFamily }));
        QCOMPARE(dropped.size(), 1);
    }

    void unplugClosesAnIdleDialog()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "FNT0005" }, true));
        auto dialog = openFor(device);
        QVERIFY(waitForList(dialog.get()));
        QVERIFY(dialog->isVisible());
        QVERIFY(device.unplug());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 10000);
    }

    void rowGatesByDeviceSoftware_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("older") << "1.1.0.1909" << false;
        QTest::newRow("first with fonts") << "1.1.0.1910" << true;
    }

    void rowGatesByDeviceSoftware()
    {
        QFETCH(QString, version);
        QFETCH(bool, allowed);
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "FNTROW1", "--app-version", version }, true));
        DeviceItemWidget row;
        row.setDeviceInfo(device.info());
        bool opened = false;
        bool fontsDialog = false;
        QString title;
        QStringList texts;
        whenModal([&](QWidget* modal) {
            opened = true;
            fontsDialog = modal == row.deviceFontsDialog();
            title = modal->windowTitle();
            for (QLabel* label : modal->findChildren<QLabel*>())
                texts << label->text();
            if (modal == row.deviceFontsDialog())
                QTest::qWaitFor([&row]() { return row.deviceFontsDialog()->startButton()->isEnabled(); }, LongWait);
            QTest::keyClick(modal, fontsDialog ? Qt::Key_Escape : Qt::Key_Return);
        });
        row.action(DeviceItemWidget::FontsAction)->trigger();
        QVERIFY(opened);
        if (allowed) {
            QVERIFY(fontsDialog);
            QVERIFY(device.emulator.commands().contains("#GFFS#"));
        } else {
            QVERIFY(!fontsDialog);
            QCOMPARE(title, gui("Manage Device Fonts"));
            QVERIFY(texts.contains(row.deviceLine() + QStringLiteral("\n\n") + gui("Please upgrade the device software to at least version 1.1.0.1910 to use this feature.")));
            QVERIFY(!device.emulator.commands().contains("#GFFS#"));
        }
    }
};

QTEST_MAIN(TestDeviceFontsDialog)
#include "tst_devicefontsdialog.moc"
