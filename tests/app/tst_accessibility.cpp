// Every window of the program as a screen reader walks it: no control without a name.
#include "aboutdialog.h"
#include "apptestsupport.h"
#include "configurationinfo.h"
#include "datalogfile.h"
#include "devicelistholder.h"
#include "devicelogretrievedialog.h"
#include "devicesplashpreviewdialog.h"
#include "deviceuploaddialog.h"
#include "englishtexts.h"
#include "fivebuttonsmessagebox.h"
#include "historyserverdialog.h"
#include "slotnamesdialog.h"
#include "mainwindow.h"
#include "upgradedevicesofwaredialog.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Designer;

namespace {

// Walks the window's accessible tree and lists the controls a user works with that have no name.
void collectUnnamed(QAccessibleInterface* node, QStringList* unnamed)
{
    static const QList<QAccessible::Role> controls = { QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton,
        QAccessible::ButtonMenu, QAccessible::ButtonDropDown, QAccessible::EditableText, QAccessible::ComboBox, QAccessible::SpinBox,
        QAccessible::Slider, QAccessible::Table, QAccessible::List, QAccessible::Tree, QAccessible::PageTab, QAccessible::PageTabList };
    if (!node || !node->isValid() || node->state().invisible)
        return;
    QObject* object = node->object();
    // A box's name is its current text under Linux: it needs a label, or a name of its own elsewhere.
    const bool named = node->role() == QAccessible::ComboBox
        ? !node->relations(QAccessible::Label).isEmpty() || !static_cast<QWidget*>(object)->accessibleName().isEmpty()
        : !node->text(QAccessible::Name).trimmed().isEmpty();
    if (controls.contains(node->role()) && !named)
        *unnamed << (object ? QStringLiteral("%1 (%2)").arg(object->objectName(), object->metaObject()->className()) : QStringLiteral("item"));
    // A view's cells are named by what they show; the widgets placed in it are walked.
    if (auto* view = qobject_cast<QAbstractItemView*>(object)) {
        for (QWidget* placed : view->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            collectUnnamed(QAccessible::queryAccessibleInterface(placed), unnamed);
        return;
    }
    for (int i = 0; i < node->childCount(); ++i)
        collectUnnamed(node->child(i), unnamed);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
private:
    QStringList m_checked;
    QStringList m_failures;
    QList<QPointer<QWidget>> m_walked;

    void check(QWidget* window)
    {
        m_walked << window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QStringList unnamed;
        collectUnnamed(QAccessible::queryAccessibleInterface(window), &unnamed);
        m_checked << QStringLiteral("%1 \"%2\"").arg(window->metaObject()->className(), window->windowTitle());
        if (!unnamed.isEmpty())
            m_failures << m_checked.last() + QStringLiteral(": ") + unnamed.join(QStringLiteral(", "));
    }

private slots:
    void everyControlHasAName()
    {
        QTemporaryDir temp;
        qputenv("XDG_RUNTIME_DIR", temp.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", temp.filePath(QStringLiteral("data")).toLocal8Bit());
        useEnglishTexts();
        const QString log = temp.filePath(QStringLiteral("log.txdb")); // a data log for the log selection
        QVERIFY(writeDataLog(log, { { QStringLiteral("Temperature"), QStringLiteral("t, v"), {} } }));
        QSqlDatabase::removeDatabase(log);
        PtsDevice device;
        QVERIFY(device.start({ "--serial", "2314A001", "--name", "Tank Room", "--app-version", "2.1.6.2886", "--populate", "--sample-datalog", log }));
        MainWindow window;
        window.setUpWindow();
        QTRY_COMPARE_WITH_TIMEOUT(window.deviceList()->count(), 1, 10000);
        DeviceItemWidget* row = window.rowForSerial(QStringLiteral("2314A001"));
        // Every modal window that opens by itself (a box, a dialog of the row's menu) is walked
        // and closed; the log retrieval closes itself and opens the log selection with its chart.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&]() {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || m_walked.contains(modal))
                return;
            check(modal);
            if (!qobject_cast<DeviceLogRetrieveDialog*>(modal))
                QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
        });
        poll.start(20);
        check(&window);
        // The list's item speaks for the row, whose widgets a screen reader does not reach there.
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(window.deviceList())->child(0);
        QVERIFY(item && item->text(QAccessible::Name) == row->deviceLine() && item->text(QAccessible::Description).contains("QMX 70-A"));
        window.showHistory();
        window.showBatch();
        DeviceUploadDialog upload(temp.filePath(QStringLiteral("no project")), Orvane::Tavrix::Common::ConfigurationInfo(), &window,
                                  QString(), row->serialNumber());
        UpgradeDeviceSofwareDialog upgrade("package", QStringLiteral("2.2.0.3000"), QDateTime::currentDateTime(), &window);
        DeviceSplashPreviewDialog preview(QImage(64, 38, QImage::Format_RGB32), &window);
        HistoryServerDialog server(&window);
        SlotNamesDialog slotNames(&window);
        for (QDialog* dialog : QList<QDialog*> { window.historyWindow(), window.batchWindow(), window.findChild<AboutDialog*>(),
                                                 &upload, &upgrade, &preview, &server, &slotNames }) {
            check(dialog);
            dialog->hide();
        }
        window.onFontAction();
        FiveButtonsMessageBox::question(&window, QStringLiteral("Fonts"), QStringLiteral("Replace it?"), false);
        for (auto action : { DeviceItemWidget::HardwareInfoAction, DeviceItemWidget::ConfigurationAction, DeviceItemWidget::FontsAction,
                             DeviceItemWidget::RebootAction, DeviceItemWidget::RetrieveLogAction })
            row->action(action)->trigger();
        QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(QStringLiteral("\n"))));
        QVERIFY2(m_checked.filter(QStringLiteral("LogSelectionDialog")).size() == 1, qPrintable(m_checked.join(QStringLiteral("\n"))));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
