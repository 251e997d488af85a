// Every window of the program as a screen reader walks it: no control without a name.
#include "aboutdialog.h"
#include "apptestsupport.h"
#include "configurationinfo.h"
#include "datalogchartwidget.h"
#include "deviceconfigurator.h"
#include "devicefontsdialog.h"
#include "deviceitemwidget.h"
#include "devicelistholder.h"
#include "devicelogretrievedialog.h"
#include "devicesplashpreviewdialog.h"
#include "deviceuploaddialog.h"
#include "englishtexts.h"
#include "fivebuttonsmessagebox.h"
#include "fontsdialog.h"
#include "hardwareinfodialog.h"
#include "historyserverdialog.h"
#include "logselectiondialog.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "txlistwidget.h"
#include "upgradedevicesofwaredialog.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QMenu>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Designer;

namespace {

// What a user works with: these need a name of their own.
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton: case QAccessible::CheckBox: case QAccessible::RadioButton:
    case QAccessible::ButtonMenu: case QAccessible::ButtonDropDown: case QAccessible::EditableText:
    case QAccessible::ComboBox: case QAccessible::SpinBox: case QAccessible::Slider: case QAccessible::Dial:
    case QAccessible::Table: case QAccessible::List: case QAccessible::Tree: case QAccessible::PageTab:
    case QAccessible::PageTabList: case QAccessible::MenuItem:
        return true;
    default:
        return false;
    }
}

void collectUnnamed(QAccessibleInterface* node, QStringList* unnamed)
{
    if (!node || !node->isValid() || node->state().invisible)
        return;
    QObject* object = node->object();
    if (isControl(node->role()) && !node->state().separator && node->text(QAccessible::Name).trimmed().isEmpty())
        *unnamed << QStringLiteral("%1 (%2)").arg(object ? object->objectName() : QString(),
                                                  QString::fromLatin1(object ? object->metaObject()->className() : "item"));
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
    QTemporaryDir m_temp;
    PtsDevice m_device;
    MainWindow* m_window = nullptr;
    QStringList m_failures;
    QStringList m_checked;

    // Shows the window and lists its unnamed controls, if any.
    void check(QWidget* window)
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QStringList unnamed;
        collectUnnamed(QAccessible::queryAccessibleInterface(window), &unnamed);
        const QString what = QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(window->metaObject()->className()), window->windowTitle());
        m_checked << what;
        if (!unnamed.isEmpty())
            m_failures << QStringLiteral("%1: %2").arg(what, unnamed.join(QStringLiteral(", ")));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        qputenv("XDG_RUNTIME_DIR", m_temp.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", m_temp.filePath(QStringLiteral("data")).toLocal8Bit());
        useEnglishTexts();
        // A data log with one log, for the log selection and its chart.
        const QString log = m_temp.filePath(QStringLiteral("dataLogging.txdb"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("log"));
            db.setDatabaseName(log);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("CREATE TABLE Temperature (time TEXT, value REAL)")));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO Temperature VALUES ('2026-01-01 08:00', 21.5), ('2026-01-01 09:00', 54.4)")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("log"));
        QVERIFY(m_device.start({ "--serial", "2314A001", "--name", "Tank Room", "--app-version", "2.1.6.2886",
                                 "--sample-datalog", log }));
        m_window = new MainWindow;
        m_window->setUpWindow();
        m_window->show();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->deviceList()->count(), 1, 10000);
    }

    void cleanupTestCase()
    {
        delete m_window;
        m_device.stop();
    }

    void everyControlHasAName()
    {
        DeviceItemWidget* row = m_window->rowForSerial(QStringLiteral("2314A001"));
        QVERIFY(row);
        check(m_window);
        row->functionMenu()->popup(row->menuButton()->mapToGlobal(QPoint()));
        check(row->functionMenu());
        row->functionMenu()->hide();
        const QList<QDialog*> rowDialogs = { row->hardwareInfoDialog(), row->deviceConfigurator(), row->deviceFontsDialog() };
        for (QDialog* dialog : rowDialogs) {
            check(dialog);
            dialog->hide();
        }
        QTemporaryDir emptyProject;
        const QString port = m_device.port;
        DeviceUploadDialog upload(emptyProject.path(), Orvane::Tavrix::Common::ConfigurationInfo(), m_window, QString(), row->serialNumber(),
                                  QString(), port);
        UpgradeDeviceSofwareDialog upgrade(QByteArray("package"), QStringLiteral("2.2.0.3000"), QDateTime::currentDateTime(), m_window);
        upgrade.setDevice(row->serialNumber(), port);
        QImage splash(64, 38, QImage::Format_RGB32);
        splash.fill(Qt::darkCyan);
        DeviceSplashPreviewDialog preview(splash, m_window);
        FontsDialog fonts(m_window);
        HistoryServerDialog server(m_window);
        MessageBox box(m_window, QStringLiteral("Reboot Device"), QStringLiteral("Sure?"), MessageBox::Question, QPixmap(),
                       MessageBox::Yes, MessageBox::No);
        for (QDialog* dialog : QList<QDialog*>{ &upload, &upgrade, &preview, &fonts, &server, &box }) {
            check(dialog);
            dialog->hide();
        }
        m_window->showHistory();
        check(m_window->historyWindow());
        m_window->historyWindow()->hide();
        m_window->showBatch();
        check(m_window->batchWindow());
        m_window->batchWindow()->hide();
        m_window->showAboutDialog();
        check(m_window->findChild<AboutDialog*>());
        m_window->findChild<AboutDialog*>()->hide();

        // The boxes and dialogs that open on their own, as the user meets them: each is
        // walked as it appears; the log selection once its chart is drawn.
        QPointer<QWidget> last;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&]() {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == last || !modal->isVisible())
                return;
            last = modal;
            check(modal);
            if (auto* logs = qobject_cast<LogSelectionDialog*>(modal)) {
                poll.stop();
                QSignalSpy loaded(logs->chartWidget(), &DataLogChartWidget::loaded);
                logs->logList()->selectAll();
                QVERIFY(loaded.wait(10000));
                check(logs);
                logs->reject();
            } else if (!qobject_cast<DeviceLogRetrieveDialog*>(modal)) {
                QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
            }
        });
        poll.start();
        FiveButtonsMessageBox::question(m_window, QStringLiteral("Replace"), QStringLiteral("Replace the font?"), false);
        row->action(DeviceItemWidget::RetrieveLogAction)->trigger();
        QVERIFY2(m_checked.filter(QStringLiteral("LogSelectionDialog")).size() == 2, qPrintable(m_checked.join('\n')));

        QVERIFY2(m_failures.isEmpty(), qPrintable(QStringLiteral("\n") + m_failures.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
