// The data log dialogs: listing, export, the selection rules and the clearing, in-process,
// against the emulated device reached through its /dev/pts path.
#include "datalogfile.h"
#include "../app/apptestsupport.h"
#include "englishtexts.h"
#include "filedialoguser.h"
#include "modaldriver.h"

#include "datalogchartwidget.h"
#include "datalogexporter.h"
#include "deviceitemwidget.h"
#include "devicelogretrievedialog.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "logselectiondialog.h"
#include "messagebox.h"
#include "operationresult.h"
#include "operationrun.h"
#include "serialportmanager.h"
#include "txlistwidget.h"
#include "txpathedit.h"
#include "ziphelper.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

using Orvane::Tavrix::Common::DataLogExporter;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ZipHelper;
using Orvane::Tavrix::Designer::DataLogChartWidget;
using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::DeviceLogRetrieveDialog;
using Orvane::Tavrix::Designer::LogSelectionDialog;
using Orvane::Tavrix::Designer::MessageBox;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QString gui(const char* key)
{
    return LocalizationHelper::guiString(QString::fromUtf8(key));
}

QString dev(const char* key)
{
    return LocalizationHelper::deviceString(QString::fromUtf8(key));
}

QString rtText(const char* key)
{
    return LocalizationHelper::runtimeString(QString::fromUtf8(key));
}

using Table = DataLogTable;

// The logs of the standard test database, created out of order on purpose.
QList<Table> standardTables()
{
    return {
        { QStringLiteral("Température"), QStringLiteral("t TEXT, v REAL, extra TEXT"),
          { { QStringLiteral("08:00"), 21.5, QStringLiteral("a") }, { QStringLiteral("08:01"), -3.25, QStringLiteral("b") } } },
        { QStringLiteral("Log10"), QStringLiteral("t TEXT, v INTEGER"), { { QStringLiteral("a"), 10 } } },
        { QStringLiteral("_log"), QStringLiteral("x TEXT"), { { QStringLiteral("internal") } } },
        { QStringLiteral("Tank Level"), QStringLiteral("t TEXT, v TEXT"),
          { { QStringLiteral("2026-12-08 10:00:00"), QStringLiteral("12,5") },
            { QStringLiteral("10:01,30"), QStringLiteral("13") },
            { QStringLiteral("x"), QVariant() } } },
        { QStringLiteral("Log2"), QStringLiteral("t TEXT, v TEXT"), { { QStringLiteral("b"), QStringLiteral("2") } } },
        { QStringLiteral("One Column"), QStringLiteral("v TEXT"), { { QStringLiteral("alpha") }, { QStringLiteral("be,ta") } } },
    };
}

const QStringList StandardLogOrder = { QStringLiteral("Log2"), QStringLiteral("Log10"), QStringLiteral("One Column"),
                                       QStringLiteral("Tank Level"), QStringLiteral("Température") };

QByteArray expectedExport(const QString& name)
{
    if (name == QStringLiteral("Tank Level"))
        return "1,2026-12-08 10:00:00,12,5\n2,10:01,30,13\n3,x,\n";
    if (name == QStringLiteral("Température"))
        return "1,08:00,21.5\n2,08:01,-3.25\n";
    if (name == QStringLiteral("One Column"))
        return "1,alpha,\n2,be,ta,\n";
    return QByteArray();
}

QString quoted(const QString& name)
{
    return DataLogExporter::quotedIdentifier(name);
}

// Every table of a database with its rows as text, for comparing before and after.
QMap<QString, QStringList> databaseContent(const QString& path)
{
    QMap<QString, QStringList> content;
    const QString connection = QStringLiteral("read-%1").arg(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (db.open()) {
            for (const QString& table : db.tables(QSql::Tables)) {
                QSqlQuery query(db);
                query.exec(QStringLiteral("SELECT * FROM %1").arg(quoted(table)));
                QStringList rows;
                while (query.next()) {
                    QStringList values;
                    for (int i = 0; i < query.record().count(); ++i)
                        values << query.value(i).toString();
                    rows << values.join(QLatin1Char('|'));
                }
                content.insert(table, rows);
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return content;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A retrieval folder as the retrieval leaves it: the zipped database.
QString makeLogFolder(const QTemporaryDir& dir, const QString& name, const QList<Table>& tables)
{
    const QString source = dir.filePath(name + QStringLiteral("-source"));
    QDir().mkpath(source);
    const QString database = source + QStringLiteral("/dataLogging.txdb");
    if (!writeDataLog(database, tables))
        return QString();
    const QString folder = dir.filePath(name);
    QDir().mkpath(folder);
    if (!ZipHelper::zipWithFiles({ database }, folder + QStringLiteral("/dataLogging.txdb.zip")))
        return QString();
    return folder;
}

QStringList itemTexts(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

QList<int> selectedRows(const QListWidget* list)
{
    QList<int> rows;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected())
            rows << row;
    }
    return rows;
}

QList<int> range(int from, int to)
{
    QList<int> rows;
    for (int i = from; i < to; ++i)
        rows << i;
    return rows;
}

QList<Table> numberedTables(int count)
{
    QList<Table> tables;
    for (int i = 1; i <= count; ++i)
        tables << Table { QStringLiteral("Log%1").arg(i), QStringLiteral("v TEXT"), {} };
    return tables;
}

// With DOVREL_SCREENSHOT_DIR set (a run under Xvfb), the screen is saved there as NAME.png.
void snapshot(QWidget* widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("DOVREL_SCREENSHOT_DIR");
    if (dir.isEmpty() || !widget->screen())
        return;
    QTest::qWait(200);
    widget->screen()->grabWindow(0).save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

struct SeenBox {
    QString title;
    QString text;
};

// Plays the user: answers every message box with the next button text given (Escape when none is left,
// Return for "Return"), records what each box showed, and runs a handler once for each data log dialog
// that comes up. Clicks are posted so that a box they open is answered too.
class UserScript : public QObject
{
public:
    explicit UserScript(QStringList answers = {})
        : m_answers(std::move(answers))
    {
        m_poll.setInterval(20);
        connect(&m_poll, &QTimer::timeout, this, &UserScript::poll);
        m_poll.start();
        m_clock.start();
    }

    std::function<void(DeviceLogRetrieveDialog*)> onRetrieveDialog;
    std::function<void(LogSelectionDialog*)> onSelectionDialog;
    QList<SeenBox> boxes;
    QStringList statuses;   // distinct texts of the selection dialog's status line, in order
    int retrieveDialogs = 0;
    int selectionDialogs = 0;
    int selectionResult = -100;

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const SeenBox& box : boxes)
            texts << box.text;
        return texts;
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* selection = qobject_cast<LogSelectionDialog*>(modal)) {
            recordStatus(selection);
        } else if (auto* selectionOpen = findSelection()) {
            recordStatus(selectionOpen);
        }
        if (!modal || !modal->isVisible() || modal->property("scripted").toBool()) {
            if (m_clock.elapsed() > 120000 && modal)
                modal->hide(); // a stuck test ends instead of hanging
            return;
        }
        modal->setProperty("scripted", true);
        if (auto* box = qobject_cast<MessageBox*>(modal)) {
            boxes << SeenBox { box->windowTitle(), box->text() };
            if (m_answers.isEmpty()) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            const QString answer = m_answers.takeFirst();
            if (answer == QLatin1String("Return"))
                return QTest::keyClick(box, Qt::Key_Return);
            for (QPushButton* button : { box->button1(), box->button2(), box->button3() }) {
                if (button && button->isVisible() && button->text().remove(QLatin1Char('&')) == answer) {
                    QTimer::singleShot(0, button, &QPushButton::click);
                    return;
                }
            }
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (auto* retrieve = qobject_cast<DeviceLogRetrieveDialog*>(modal)) {
            ++retrieveDialogs;
            if (onRetrieveDialog)
                onRetrieveDialog(retrieve);
        } else if (auto* selection = qobject_cast<LogSelectionDialog*>(modal)) {
            ++selectionDialogs;
            connect(selection, &QDialog::finished, this, [this](int result) { selectionResult = result; });
            if (onSelectionDialog)
                QTimer::singleShot(0, selection, [this, selection]() { onSelectionDialog(selection); });
        }
    }

    LogSelectionDialog* findSelection() const
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* selection = qobject_cast<LogSelectionDialog*>(widget); selection && selection->isVisible())
                return selection;
        }
        return nullptr;
    }

    void recordStatus(LogSelectionDialog* dialog)
    {
        const QString text = dialog->statusLabel()->text();
        if (!dialog->statusLabel()->isHidden() && (statuses.isEmpty() || statuses.last() != text))
            statuses << text;
    }

    QStringList m_answers;
    QTimer m_poll;
    QElapsedTimer m_clock;
};

// A device home with the given data log (none when null).
QStringList deviceArgs(const QTemporaryDir& dir, const QString& name, const QByteArray& dataLog)
{
    const QString root = dir.filePath(name);
    QDir().mkpath(root + QStringLiteral("/tmp"));
    QDir().mkpath(root + QStringLiteral("/qml/project"));
    QFile main(root + QStringLiteral("/qml/project/main.qml"));
    if (main.open(QIODevice::WriteOnly))
        main.write("Item { }");
    if (!dataLog.isNull()) {
        QFile log(root + QStringLiteral("/qml/dataLogging.txdb"));
        if (log.open(QIODevice::WriteOnly))
            log.write(dataLog);
    }
    // Every device its own serial number: a row per device, however quickly the last one went.
    static int devices = 0;
    // These dialogs' own cases; the device leaving on its restarts is the main window tests'.
    return { QStringLiteral("--root"), root, QStringLiteral("--serial"), QStringLiteral("DL%1").arg(++devices, 6, 10, QLatin1Char('0')),
             QStringLiteral("--stay-on-reboot"), QStringLiteral("--app-version"), QStringLiteral("2.1.6.2886") };
}

// The question after an export: the device, then the folder and the files written.
QString question(int files, const QString& folder, const QStringList& names, const QString& device = QString())
{
    const QString key = files == 1 ? QStringLiteral("<html><p>%1</p><p><b>Delete log file from the device ?</b></p><p>%2</p></html>")
                                   : QStringLiteral("<html><p>%1</p><p><b>Delete log files from the device ?</b></p><p>%2</p></html>");
    const QString where = (gui("Written to %1:").arg(folder) + "\n" + names.join('\n')).toHtmlEscaped().replace('\n', "<br>");
    return LocalizationHelper::guiString(key).arg(device.toHtmlEscaped(), where).replace("<p></p>", QString());
}

QByteArray standardDatabaseBytes(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("standard.txdb"));
    if (!writeDataLog(path, standardTables()))
        return QByteArray();
    return fileBytes(path);
}

} // namespace

class TestDataLogDialogs : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_temp;
    std::unique_ptr<PtsDevice> m_device;

    // The emulated device of one test, listed by its /dev/pts path; cleanup() unplugs it so
    // that the next device (which may get the same pts number) is discovered anew.
    PtsDevice& newDevice()
    {
        m_device = std::make_unique<PtsDevice>();
        return *m_device;
    }

    static bool idleManager()
    {
        SerialPortManager* manager = SerialPortManager::instance();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000) {
            if (!manager->isSerialPortOpen() && !manager->isBusy())
                return true;
            QTest::qWait(50);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        qputenv("XDG_RUNTIME_DIR", m_temp.path().toLocal8Bit());
        QCOMPARE(FileHelper::getStandardRuntimeLocation(), m_temp.path());
        useEnglishTexts();
        registerProgramResources();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavendi"), QStringLiteral("Lumatra")).clear();
        qRegisterMetaType<OperationResult>();
        QVERIFY(SerialPortManager::instance());
    }

    void cleanup()
    {
        if (!m_device)
            return;
        // Another program may take the pts number at once, so the path can outlive the device;
        // once the path is no longer listed as a device port the manager forgets it too.
        const bool forgotten = m_device->unplug();
        const QString port = m_device->port;
        m_device.reset();
        if (!forgotten)
            QTRY_VERIFY_WITH_TIMEOUT(!SerialPortManager::instance()->connectedPorts().contains(port), 20000);
    }

    void listsLogsInNaturalOrder()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("standard"), standardTables());
        QVERIFY(!folder.isEmpty());
        LogSelectionDialog dialog(folder);
        QCOMPARE(itemTexts(dialog.logList()), StandardLogOrder);
        QVERIFY(dialog.logList()->item(0)->flags() & Qt::ItemIsUserCheckable);
        QCOMPARE(dialog.windowTitle(), gui("Data Log Files"));
        QVERIFY(dialog.progressBar()->isHidden());
        QVERIFY(dialog.statusLabel()->isHidden());
        QCOMPARE(dialog.statusLabel()->text(), gui("Retrieving files selected from the data base..."));
        const QStringList actionTexts = { dev("Select All"), dev("Select Inverted"), dev("Select None"),
                                          dev("&Clear Select List Skip Download") };
        for (int i = 0; i < LogSelectionDialog::ActionCount; ++i)
            QCOMPARE(dialog.action(LogSelectionDialog::ActionIndex(i))->text(), actionTexts.at(i));
        QCOMPARE(dialog.action(LogSelectionDialog::SelectInvertedAction)->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
        QCOMPARE(dialog.action(LogSelectionDialog::ClearAction)->shortcut(), QKeySequence(QStringLiteral("Shift+Delete")));

        const QString onlyInternal = makeLogFolder(dir, QStringLiteral("internal"),
                                                   { { QStringLiteral("_log"), QStringLiteral("x TEXT"), { { 1 } } } });
        QVERIFY(!onlyInternal.isEmpty());
        LogSelectionDialog empty(onlyInternal);
        QCOMPARE(empty.logList()->count(), 0);
    }

    // Choosing logs draws them (one read for a selection made item by item): one line per
    // log, rows without a time or a number counted; a tooltip at a point, wheel zoom and
    // reset; the chart as shown saved as PNG and SVG.
    void chartDrawsChosenLogs()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("standard"), standardTables());
        LogSelectionDialog dialog(folder);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        DataLogChartWidget* chart = dialog.chartWidget();
        QSignalSpy loaded(chart, &DataLogChartWidget::loaded);
        QListWidgetItem* tank = dialog.logList()->item(StandardLogOrder.indexOf(QStringLiteral("Tank Level")));
        dialog.logList()->item(StandardLogOrder.indexOf(QStringLiteral("Température")))->setSelected(true);
        tank->setSelected(true);
        QVERIFY(loaded.wait(10000));
        QTest::qWait(DataLogChartWidget::StartDelayMs * 2);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(chart->series().size(), 2);
        QCOMPARE(chart->lineSeries(0)->name(), QStringLiteral("Température"));
        const double eight = 8 * 3600000.0;
        QCOMPARE(chart->lineSeries(0)->points(), (QList<QPointF> { { eight, 21.5 }, { eight + 60000, -3.25 } }));
        const double tankTime = double(QDateTime(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch());
        QCOMPARE(chart->lineSeries(1)->points(), (QList<QPointF> { { tankTime, 12.5 } }));
        QCOMPARE(chart->statusLabel()->text(), gui("%1: %2 rows without a time or a number are not drawn.").arg(QStringLiteral("Tank Level")).arg(2));

        tank->setSelected(false);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(chart->series().size(), 1);
        QCoreApplication::processEvents();
        QChartView* view = chart->chartView();
        const auto viewPosition = [&](const QPointF& value) {
            return view->mapFromScene(chart->chart()->mapToScene(chart->chart()->mapToPosition(value, chart->lineSeries(0))));
        };
        QCOMPARE(chart->toolTipAt(viewPosition({ eight + 60000, -3.25 }) + QPoint(3, -2)),
                 gui("%1\nTime: %2\nValue: %3").arg(QStringLiteral("Température"), QStringLiteral("08:01:00"), QStringLiteral("-3.25")));
        QVERIFY(chart->toolTipAt(QPoint(1, 1)).isEmpty());
        // A screen reader hears what the lines show.
        QVERIFY(view->accessibleDescription().startsWith(QStringLiteral("Température: 2 points from 08:00:00 to 08:01:00, values from -3.25 to 21.5.\n")));

        auto* timeAxis = qobject_cast<QValueAxis*>(chart->chart()->axes(Qt::Horizontal).constFirst());
        const double fullWidth = timeAxis->max() - timeAxis->min();
        const QPoint middle = viewPosition({ eight + 30000, 9 });
        QWheelEvent wheel(middle, view->viewport()->mapToGlobal(middle), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(timeAxis->max() - timeAxis->min() < fullWidth * 0.7);
        QVERIFY(timeAxis->min() < eight + 30000 && timeAxis->max() > eight + 30000);
        // The zoomed value range still reads in round marks: 1, 2, 2.5 or 5 times a power of ten.
        QCoreApplication::processEvents();
        const double step = qobject_cast<QValueAxis*>(chart->chart()->axes(Qt::Vertical).constFirst())->tickInterval();
        QVERIFY2(QStringList({ "1", "2", "2.5", "5" }).contains(QString::number(step / std::pow(10.0, std::floor(std::log10(step))))), qPrintable(QString::number(step)));
        chart->resetButton()->click();
        QCOMPARE(timeAxis->max() - timeAxis->min(), fullWidth);
        // The keyboard zooms as well.
        QTest::keyClick(view, Qt::Key_Plus);
        QVERIFY(timeAxis->max() - timeAxis->min() < fullWidth * 0.9);
        QTest::keyClick(view, Qt::Key_0);
        QCOMPARE(timeAxis->max() - timeAxis->min(), fullWidth);

        // A saved chart is titled with its device, its log and the time span shown.
        chart->setDeviceTitle(QStringLiteral("Tank Room (2314A001)"));
        QCOMPARE(chart->savedTitle(), QStringLiteral("Tank Room (2314A001): Température, 08:00:00 to 08:01:00"));
        QVERIFY(chart->saveChart(dir.filePath(QStringLiteral("chart.png"))));
        const QImage image(dir.filePath(QStringLiteral("chart.png")));
        QVERIFY(image.width() == view->width() * view->devicePixelRatio() && image.height() > view->height() * view->devicePixelRatio());
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 5) {
            for (int x = 0; x < image.width(); x += 5)
                colours.insert(image.pixel(x, y));
        }
        QVERIFY(colours.size() > 10); // lines, axes and labels, not a blank picture
        QVERIFY(chart->saveChart(dir.filePath(QStringLiteral("chart.svg"))));
        const QByteArray svg = fileBytes(dir.filePath(QStringLiteral("chart.svg")));
        QVERIFY(svg.contains("<svg") && svg.contains(QStringLiteral("<title>%1</title>").arg(chart->savedTitle()).toUtf8()));
        QVERIFY(!chart->saveChart(dir.filePath(QStringLiteral("missing/chart.png"))));
    }

    // At most twelve logs are drawn; the note says so only past that.
    void chartDrawsAtMostTwelveLogs_data()
    {
        QTest::addColumn<int>("chosen");
        QTest::newRow("twelve") << 12;
        QTest::newRow("thirteen") << 13;
    }

    void chartDrawsAtMostTwelveLogs()
    {
        QFETCH(int, chosen);
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("many"), numberedTables(13));
        LogSelectionDialog dialog(folder);
        dialog.show();
        DataLogChartWidget* chart = dialog.chartWidget();
        QSignalSpy loaded(chart, &DataLogChartWidget::loaded);
        QStringList names;
        for (int i = 1; i <= chosen; ++i)
            names << QStringLiteral("Log%1").arg(i);
        chart->showLogs(folder + QStringLiteral("/dataLogging.txdb"), names);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(chart->series().size(), qMin(chosen, 12));
        QCOMPARE(chart->series().constLast().name(), QStringLiteral("Log%1").arg(qMin(chosen, 12)));
        const QString note = gui("The first %1 of %2 chosen logs are drawn.").arg(12).arg(chosen);
        QCOMPARE(chart->statusLabel()->text().contains(note), chosen > 12);
    }

    void exportWritesTextFiles()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("standard"), standardTables());
        const QString destination = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(destination));
        LogSelectionDialog dialog(folder);
        dialog.show();
        // "Select" opens the folder dialog at the folder shown; the one chosen there is shown.
        dialog.destinationEdit()->setText(dir.path());
        FileDialogSeen picker;
        whenModal([&](QWidget* modal) { chooseInFileDialog(modal, destination, &picker); });
        dialog.selectButton()->click();
        QCOMPARE(picker.folder, QDir(dir.path()).absolutePath());
        QCOMPARE(dialog.destinationEdit()->text(), destination);
        dialog.defaultLocationCheckBox()->setChecked(true);

        // Two logs: plural texts; the delete question is answered "Keep files".
        dialog.logList()->item(StandardLogOrder.indexOf(QStringLiteral("Tank Level")))->setSelected(true);
        dialog.logList()->item(StandardLogOrder.indexOf(QStringLiteral("Température")))->setSelected(true);
        {
            UserScript user({ gui("Keep files") });
            dialog.onCopyFiles();
            QCOMPARE(user.boxes.size(), 1);
            QCOMPARE(user.boxes.at(0).title, gui("Data Log Files"));
            QCOMPARE(user.boxes.at(0).text, question(2, destination, { "Tank Level.txt", "Température.txt" }));
        }
        QCOMPARE(fileBytes(destination + QStringLiteral("/Tank Level.txt")), expectedExport(QStringLiteral("Tank Level")));
        QCOMPARE(fileBytes(destination + QStringLiteral("/Température.txt")), expectedExport(QStringLiteral("Température")));
        QCOMPARE(QDir(destination).entryList(QDir::Files).size(), 2);
        QCOMPARE(dialog.statusLabel()->text(), gui("Successfully retrieved %1 logged files").arg(2) + "\n" + gui("Written to %1:").arg(destination) + "\nTank Level.txt\nTempérature.txt");
        QVERIFY(dialog.downloadButton()->isHidden());
        QVERIFY(dialog.progressBar()->isHidden());
        QVERIFY(dialog.closeButton()->isEnabled());
        // The ticked box keeps the folder for next time.
        QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavendi"), QStringLiteral("Lumatra"))
                     .value(QStringLiteral("logFilesLastPath")).toString(), destination);
        QCOMPARE(LogSelectionDialog(folder).destinationEdit()->text(), destination);

        // A one-column log: empty third field, singular texts. A folder typed over the remembered one is
        // used (made when missing) and, the box not ticked, not remembered. Return keeps the logs.
        const QString second = dir.filePath(QStringLiteral("second"));
        LogSelectionDialog single(folder);
        single.show();
        single.destinationEdit()->selectAll();
        QTest::keyClicks(single.destinationEdit(), " " + second + " ");
        single.logList()->item(StandardLogOrder.indexOf(QStringLiteral("One Column")))->setSelected(true);
        {
            UserScript user({ "Return" });
            single.onCopyFiles();
            QCOMPARE(user.boxTexts(), QStringList { question(1, second, { "One Column.txt" }) });
        }
        QCOMPARE(fileBytes(second + QStringLiteral("/One Column.txt")), expectedExport(QStringLiteral("One Column")));
        QCOMPARE(QDir(destination).entryList(QDir::Files).size(), 2);
        QVERIFY(databaseContent(folder + QStringLiteral("/dataLogging.txdb")).contains(QStringLiteral("One Column")));
        QVERIFY(single.statusLabel()->text().startsWith(gui("Successfully retrieved %1 logged file").arg(1) + "\n" + gui("Written to %1:").arg(second)));
        QCOMPARE(LogSelectionDialog(folder).destinationEdit()->text(), destination);
        // A remembered folder that has gone is not offered.
        QVERIFY(QDir(destination).removeRecursively());
        QCOMPARE(LogSelectionDialog(folder).destinationEdit()->text(), FileHelper::getStandardDocumentLocation());
        QCOMPARE(gui("Successfully retrieved %1 logged file").arg(1), QStringLiteral("Successfully retrieved 1 logged file"));
    }

    void decliningReplaceSkipsLogs()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("standard"), standardTables());
        const QString destination = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(destination));
        QFile::copy(folder + QStringLiteral("/dataLogging.txdb.zip"), destination + QStringLiteral("/Log2.txt"));
        QFile earlier(destination + QStringLiteral("/Log10.txt"));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier export\n");
        earlier.close();
        const QByteArray log2Before = fileBytes(destination + QStringLiteral("/Log2.txt"));

        LogSelectionDialog dialog(folder);
        dialog.show();
        dialog.destinationEdit()->setText(destination);
        dialog.logList()->item(0)->setSelected(true);
        dialog.logList()->item(1)->setSelected(true);
        {
            UserScript user({ gui("No"), gui("No") });
            dialog.onCopyFiles();
            // Two replace questions and nothing else: no log was written, so none is offered for deletion.
            QCOMPARE(user.boxes.size(), 2);
            for (const SeenBox& box : std::as_const(user.boxes)) {
                QCOMPARE(box.title, gui("Retreive logged data"));
                QCOMPARE(box.text, gui("This file already exists, do you want to replace"));
            }
        }
        QCOMPARE(dialog.statusLabel()->text(), gui("Successfully retrieved %1 logged files").arg(0));
        QCOMPARE(fileBytes(destination + QStringLiteral("/Log2.txt")), log2Before);
        QCOMPARE(fileBytes(destination + QStringLiteral("/Log10.txt")), QByteArray("an earlier export\n"));

        // Log2 kept, Log10 replaced: only the log written is offered for deletion (in the
        // singular), and "Delete files" takes only it from the device's copy.
        UserScript again({ gui("No"), gui("Yes"), gui("Delete files") });
        dialog.onCopyFiles();
        QVERIFY2(again.boxes.size() >= 3, qPrintable(again.boxTexts().join(QLatin1Char('|'))));
        QCOMPARE(again.boxes.at(2).text, question(1, destination, { "Log10.txt" }));
        QCOMPARE(fileBytes(destination + QStringLiteral("/Log10.txt")), QByteArray("1,a,10\n"));
        QCOMPARE(fileBytes(destination + QStringLiteral("/Log2.txt")), log2Before);
        const QStringList left = databaseContent(folder + QStringLiteral("/dataLogging.txdb")).keys();
        QVERIFY2(left.contains(QStringLiteral("Log2")) && !left.contains(QStringLiteral("Log10")), qPrintable(left.join(' ')));
    }

    void invalidDestinationExportsNothing()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("standard"), standardTables());
        LogSelectionDialog dialog(folder);
        dialog.show();
        const QString missing = folder + QStringLiteral("/dataLogging.txdb.zip/folder"); // below a file: cannot be made
        dialog.destinationEdit()->setText(missing);
        dialog.defaultLocationCheckBox()->setChecked(true);
        dialog.logList()->item(0)->setSelected(true);
        UserScript user;
        dialog.onCopyFiles();
        QCOMPARE(user.boxes.size(), 1);
        QCOMPARE(user.boxes.at(0).title, gui("Copy data log files"));
        QCOMPARE(user.boxes.at(0).text, gui("The destination path is not valid, please re-enter"));
        QVERIFY(dialog.progressBar()->isHidden());
        QVERIFY(dialog.statusLabel()->isHidden());
        QVERIFY(dialog.closeButton()->isEnabled());
        QVERIFY(!dialog.downloadButton()->isHidden());
        QCOMPARE(databaseContent(folder + QStringLiteral("/dataLogging.txdb")).keys().size(), 6);
    }

    void selectionRules()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("many"), numberedTables(501));
        LogSelectionDialog dialog(folder);
        dialog.show();
        QListWidget* list = dialog.logList();
        QCOMPARE(list->count(), 501);
        QCOMPARE(list->item(1)->text(), QStringLiteral("Log2"));
        QCOMPARE(list->item(500)->text(), QStringLiteral("Log501"));

        const SeenBox limit { gui("Select data log files"), gui("Selection count exceeds 500 records, only first 500 will be selected.") };
        {
            UserScript user({ gui("Close") });
            dialog.onSelectAll();
            QCOMPARE(user.boxes.size(), 1);
            QCOMPARE(user.boxes.at(0).title, limit.title);
            QCOMPARE(user.boxes.at(0).text, limit.text);
        }
        QCOMPARE(selectedRows(list), range(0, 500));
        QVERIFY(dialog.action(LogSelectionDialog::SelectInvertedAction)->isEnabled());

        // One unselected item: inverting from the top ends with only it selected.
        {
            UserScript user;
            dialog.onInvertSelection();
            QCOMPARE(user.boxes.size(), 0);
        }
        QCOMPARE(selectedRows(list), QList<int> { 500 });

        // Nothing selected: inverting selects as "Select All" does.
        dialog.onClearSelection();
        {
            UserScript user({ gui("Close") });
            dialog.onInvertSelection();
            QCOMPARE(user.boxTexts(), QStringList { limit.text });
        }
        QCOMPARE(selectedRows(list), range(0, 500));

        // Some selected, at most 500 unselected: every item is inverted.
        dialog.onClearSelection();
        for (int row : { 0, 3, 499 })
            list->item(row)->setSelected(true);
        dialog.onInvertSelection();
        QList<int> expected = range(0, 501);
        expected.removeAll(0);
        expected.removeAll(3);
        expected.removeAll(499);
        QCOMPARE(selectedRows(list), expected);
        // Exactly 500 unselected: still no box.
        dialog.onClearSelection();
        list->item(0)->setSelected(true);
        {
            UserScript user;
            dialog.onInvertSelection();
            QCOMPARE(user.boxes.size(), 0);
        }
        QCOMPARE(selectedRows(list), range(1, 501));

        // Exactly 500 logs: "Select All" takes them all without a box.
        LogSelectionDialog exact(makeLogFolder(dir, QStringLiteral("exact"), numberedTables(500)));
        exact.show();
        {
            UserScript user;
            exact.onSelectAll();
            QCOMPARE(user.boxes.size(), 0);
        }
        QCOMPARE(selectedRows(exact.logList()), range(0, 500));

        // A short list: all of it is selected, "Select Inverted" is off until something is deselected,
        // and inverting everything clears the selection.
        const QString shortFolder = makeLogFolder(dir, QStringLiteral("short"), numberedTables(5));
        LogSelectionDialog small(shortFolder);
        small.show();
        small.onSelectAll();
        QCOMPARE(selectedRows(small.logList()), range(0, 5));
        QVERIFY(!small.action(LogSelectionDialog::SelectInvertedAction)->isEnabled());
        small.logList()->item(2)->setSelected(false);
        QVERIFY(small.action(LogSelectionDialog::SelectInvertedAction)->isEnabled());
        small.logList()->item(2)->setSelected(true);
        small.onInvertSelection();
        QVERIFY(selectedRows(small.logList()).isEmpty());
        small.onInvertSelection();
        QCOMPARE(selectedRows(small.logList()).size(), 5);
        small.onClearSelection();
        QVERIFY(selectedRows(small.logList()).isEmpty());
    }

    void invertingMoreThanLimitSelectsFirstFiveHundred()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("many"), numberedTables(1100));
        LogSelectionDialog dialog(folder);
        dialog.show();
        QListWidget* list = dialog.logList();
        QCOMPARE(list->count(), 1100);
        for (int row = 1050; row < 1100; ++row)
            list->item(row)->setSelected(true);
        UserScript user({ gui("Close") });
        dialog.onInvertSelection();
        QCOMPARE(user.boxTexts(), QStringList { gui("Selection is more than 500 records, only first 500 records will be selected.") });
        // The visit stops at the 500th newly selected item; the items after it keep their state.
        QCOMPARE(selectedRows(list), range(0, 500) + range(1050, 1100));
    }

    void deleteAfterExportUpdatesDevice()
    {
        QTemporaryDir dir;
        const QByteArray database = standardDatabaseBytes(dir);
        QVERIFY(!database.isEmpty());
        const QMap<QString, QStringList> before = databaseContent(dir.filePath(QStringLiteral("standard.txdb")));
        // The device answers the update's mode change late: the dialog has closed and the working
        // folder is gone before the database is sent.
        QStringList args = deviceArgs(dir, QStringLiteral("device"), database);
        args << QStringLiteral("--fault") << QStringLiteral("delay:MODE<1>:5000");
        PtsDevice& device = newDevice();
        QVERIFY(device.start(args, true));
        QVERIFY(device.devicePath.startsWith(QLatin1String("/dev/pts/")));
        const QString destination = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(destination));

        SerialPortManager* manager = SerialPortManager::instance();
        DeviceItemWidget row;
        row.setDeviceInfo(device.info());
        QVERIFY(idleManager());
        QSignalSpy ended(manager, &SerialPortManager::deviceOperationEnded);

        UserScript user({ gui("Delete files") });
        QString folder;
        QString statusAfterClearing;
        bool closeEnabledAfterClearing = false;
        QString deviceLine;
        user.onSelectionDialog = [&](LogSelectionDialog* dialog) {
            folder = dialog->logFolder();
            deviceLine = dialog->findChild<QLabel*>(QStringLiteral("deviceLabel"))->text();
            QCOMPARE(itemTexts(dialog->logList()), StandardLogOrder);
            dialog->destinationEdit()->setText(destination);
            dialog->logList()->item(0)->setSelected(true); // Log2
            dialog->logList()->item(3)->setSelected(true); // Tank Level
            snapshot(dialog, QStringLiteral("logselection"));
            dialog->downloadButton()->click();
            statusAfterClearing = dialog->statusLabel()->text();
            snapshot(dialog, QStringLiteral("logselection-cleared"));
            // Once the update runs (after the wait for the device), the dialog counts down and may be closed.
            QTest::qWaitFor([dialog]() { return dialog->statusLabel()->text().startsWith(gui("Clearing log will reboot device (%1)").left(20)); }, 20000);
            closeEnabledAfterClearing = dialog->closeButton()->isEnabled();
        };
        QElapsedTimer clock;
        clock.start();
        row.onRetrieveDeviceLog();
        QCOMPARE(user.retrieveDialogs, 1);
        QCOMPARE(user.selectionDialogs, 1);
        // The window and its question name the device as its row does.
        QCOMPARE(deviceLine, row.deviceLine());
        QCOMPARE(user.boxTexts(), QStringList { question(2, destination, { "Log2.txt", "Tank Level.txt" }, row.deviceLine()) });
        // The device stays on the line through its restart: the update waits a moment for it to leave.
        QCOMPARE(statusAfterClearing, QStringLiteral("Successfully retrieved 2 logged files\n%1\nLog2.txt\nTank Level.txt\nSuccessfully cleared 2 logged files\n%2")
                                          .arg(gui("Written to %1:").arg(destination), gui("Waiting for the device to restart...")));
        QVERIFY(closeEnabledAfterClearing);
        // The countdown ends the dialog by itself.
        QCOMPARE(user.selectionResult, int(QDialog::Accepted));
        QVERIFY(user.statuses.contains(gui("Clearing log will reboot device (%1)").arg(2)));
        QVERIFY(user.statuses.contains(gui("Clearing log will reboot device (%1)").arg(1)));
        QVERIFY(!folder.isEmpty());
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(!QFileInfo::exists(FileHelper::getParentPath(folder)));
        QCOMPARE(fileBytes(destination + QStringLiteral("/Tank Level.txt")), expectedExport(QStringLiteral("Tank Level")));
        QCOMPARE(fileBytes(destination + QStringLiteral("/Log2.txt")), QByteArray("1,b,2\n"));

        // The update goes on without the dialog and its folder.
        auto updateEnded = [&ended]() {
            for (const QList<QVariant>& args : std::as_const(ended)) {
                if (args.at(0).value<OperationResult>().kind == OperationResult::DataLogUpdate)
                    return true;
            }
            return false;
        };
        QVERIFY(!updateEnded());
        QTRY_VERIFY_WITH_TIMEOUT(updateEnded(), 60000);
        for (const QList<QVariant>& args : std::as_const(ended)) {
            const auto result = args.at(0).value<OperationResult>();
            QVERIFY2(result.succeeded(), qPrintable(result.message));
        }
        QMap<QString, QStringList> expected = before;
        expected.remove(QStringLiteral("Log2"));
        expected.remove(QStringLiteral("Tank Level"));
        QCOMPARE(databaseContent(device.emulator.filePath(QStringLiteral("qml/dataLogging.txdb"))), expected);
        QVERIFY(!QFileInfo::exists(device.emulator.filePath(QStringLiteral("qml/dataLoggingBk.txdb"))));
        QVERIFY(idleManager());
    }

    void clearWithoutDownloadAsksItsOwnQuestion()
    {
        QTemporaryDir dir;
        const QByteArray database = standardDatabaseBytes(dir);
        const QMap<QString, QStringList> before = databaseContent(dir.filePath(QStringLiteral("standard.txdb")));
        PtsDevice& device = newDevice();
        QVERIFY(device.start(deviceArgs(dir, QStringLiteral("device"), database), true));
        SerialPortManager* manager = SerialPortManager::instance();
        DeviceItemWidget row;
        row.setDeviceInfo(device.info());
        QVERIFY(idleManager());
        QSignalSpy ended(manager, &SerialPortManager::deviceOperationEnded);

        // The first question is declined, the second confirmed.
        UserScript user({ gui("No"), gui("Yes") });
        QString statusAfterNo;
        QString statusAfterYes;
        bool downloadHidden = false;
        user.onSelectionDialog = [&](LogSelectionDialog* dialog) {
            dialog->logList()->item(1)->setSelected(true); // Log10
            dialog->action(LogSelectionDialog::ClearAction)->trigger();
            statusAfterNo = dialog->statusLabel()->isHidden() ? QString() : dialog->statusLabel()->text();
            dialog->action(LogSelectionDialog::ClearAction)->trigger();
            statusAfterYes = dialog->statusLabel()->text();
            downloadHidden = dialog->downloadButton()->isHidden();
        };
        row.onRetrieveDeviceLog();
        QCOMPARE(user.boxes.size(), 2);
        for (const SeenBox& box : std::as_const(user.boxes)) {
            QCOMPARE(box.title, dev("Data Log Files"));
            QCOMPARE(box.text, gui("<html><p><b>Are you sure you want to delete log file from the device ?</b></p><p>Selected file has NOT been downloaded.</p></html>"));
        }
        QVERIFY(statusAfterNo.isEmpty());
        QCOMPARE(statusAfterYes, QStringLiteral("\nSuccessfully cleared 1 logged file\n%1").arg(gui("Waiting for the device to restart...")));
        QVERIFY(downloadHidden);
        QCOMPARE(user.selectionResult, int(QDialog::Accepted));

        QTRY_VERIFY_WITH_TIMEOUT(ended.size() >= 2, 60000);
        const auto update = ended.last().at(0).value<OperationResult>();
        QCOMPARE(update.kind, OperationResult::DataLogUpdate);
        QVERIFY2(update.succeeded(), qPrintable(update.message));
        QMap<QString, QStringList> expected = before;
        expected.remove(QStringLiteral("Log10"));
        QCOMPARE(databaseContent(device.emulator.filePath(QStringLiteral("qml/dataLogging.txdb"))), expected);
        QVERIFY(idleManager());
    }

    void deviceWithoutUsableLogIsRefused_data()
    {
        QTest::addColumn<bool>("hasLog");
        QTest::newRow("no data log") << false;
        QTest::newRow("zip under 140 bytes") << true;
    }

    void deviceWithoutUsableLogIsRefused()
    {
        QFETCH(bool, hasLog);
        QTemporaryDir dir;
        PtsDevice& device = newDevice();
        QVERIFY(device.start(deviceArgs(dir, QStringLiteral("device"), hasLog ? QByteArray("x") : QByteArray()), true));
        DeviceItemWidget row;
        row.setDeviceInfo(device.info());
        QVERIFY(idleManager());

        UserScript user({ gui("OK") });
        QString folder;
        int retrieveResult = -100;
        user.onRetrieveDialog = [&](DeviceLogRetrieveDialog* dialog) {
            folder = dialog->logFolder();
            connect(dialog, &QDialog::finished, this, [&retrieveResult](int result) { retrieveResult = result; });
        };
        row.onRetrieveDeviceLog();
        QCOMPARE(user.retrieveDialogs, 1);
        QCOMPARE(user.selectionDialogs, 0);
        QCOMPARE(retrieveResult, int(QDialog::Rejected));
        QCOMPARE(user.boxes.size(), 1);
        QCOMPARE(user.boxes.at(0).title, gui("Retreive logged data"));
        QCOMPARE(user.boxes.at(0).text, QStringLiteral("The project running on the device does not have data logging feature."));
        QVERIFY(!QFileInfo::exists(folder));
        if (hasLog)
            QVERIFY(QFileInfo(device.emulator.filePath(QStringLiteral("qml/dataLogging.txdb.zip"))).size() < 140);
        QVERIFY(idleManager());
    }

    void oldDeviceSoftwareGetsUpgradeWarning()
    {
        QTemporaryDir dir;
        QStringList args = deviceArgs(dir, QStringLiteral("device"), standardDatabaseBytes(dir));
        args.last() = QStringLiteral("2.1.6.2885");
        PtsDevice& device = newDevice();
        QVERIFY(device.start(args, true));
        DeviceItemWidget row;
        row.setDeviceInfo(device.info());
        QVERIFY(idleManager());
        // The device records the row's clock command a moment after it was written.
        QVERIFY(device.emulator.waitForCommand(QStringLiteral("DTIM"), 10000));
        const int commandsBefore = device.emulator.commands().size();

        UserScript user({ gui("OK") });
        row.onRetrieveDeviceLog();
        QCOMPARE(user.retrieveDialogs, 0);
        QCOMPARE(user.boxes.size(), 1);
        QCOMPARE(user.boxes.at(0).title, gui("Retrieve Device Data Logged"));
        QCOMPARE(user.boxes.at(0).text, row.deviceLine() + QStringLiteral("\n\nPlease upgrade the device software to at least version 2.1.6.2886 to use this feature."));
        QCOMPARE(device.emulator.commands().size(), commandsBefore);
        // The empty folder stays until the next one is made.
        const QString folder = row.tempLogDBDirectory();
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(QDir(folder).isEmpty());
    }

    void closingDuringTransferIsRefused()
    {
        QTemporaryDir dir;
        QStringList args = deviceArgs(dir, QStringLiteral("device"), standardDatabaseBytes(dir));
        args << QStringLiteral("--fault") << QStringLiteral("delay:GETF:3000");
        PtsDevice& device = newDevice();
        QVERIFY(device.start(args, true));
        SerialPortManager* manager = SerialPortManager::instance();
        QVERIFY(manager->setActivePort(device.port));
        QVERIFY(idleManager());

        const QString folder = dir.filePath(QStringLiteral("logs"));
        QVERIFY(QDir().mkpath(folder));
        DeviceLogRetrieveDialog dialog(folder);
        QCOMPARE(dialog.windowTitle(), gui("Retrieve Device Data Logged"));
        QCOMPARE(dialog.button()->text(), gui("Cancel"));
        QCOMPARE(dialog.fileCountLabel()->text(), QStringLiteral("0/0"));
        QSignalSpy started(&dialog, &DeviceLogRetrieveDialog::retrieveInitialized);
        UserScript user({ gui("Close"), gui("Close") });
        bool stillOpenAfterEscape = false;
        bool stillOpenAfterClose = false;
        QString buttonWhileRunning;
        user.onRetrieveDialog = [&](DeviceLogRetrieveDialog* d) {
            QTimer::singleShot(800, d, [&, d]() {
                buttonWhileRunning = d->button()->text();
                snapshot(d, QStringLiteral("logretrieve"));
                QTest::keyClick(d, Qt::Key_Escape);
                stillOpenAfterEscape = d->isVisible();
                d->close();
                stillOpenAfterClose = d->isVisible();
            });
        };
        const int result = dialog.exec();
        QCOMPARE(started.size(), 1);
        QCOMPARE(buttonWhileRunning, gui("Retrieving"));
        QVERIFY(stillOpenAfterEscape);
        QVERIFY(stillOpenAfterClose);
        QCOMPARE(user.boxes.size(), 2);
        for (const SeenBox& box : std::as_const(user.boxes)) {
            QCOMPARE(box.title, gui("Retreive logged data"));
            QCOMPARE(box.text, gui("Please wait until all the log files are retrieved."));
        }
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.statusLabel()->text(), gui("Retrieved all files successfully."));
        QCOMPARE(dialog.fileCountLabel()->text(), QStringLiteral("1/1"));
        QCOMPARE(dialog.overallBar()->value(), dialog.overallBar()->maximum());
        QCOMPARE(dialog.overallBar()->maximum(), 4);
        QVERIFY(QFileInfo(folder + QStringLiteral("/dataLogging.txdb.zip")).size() >= 140);
        QVERIFY(idleManager());
    }

    void interruptedRetrievalLetsUserLeave_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected");
        QTest::newRow("time-out") << "silent:GETF" << rtText("The connection timed out while retrieving data log from the device.");
        QTest::newRow("unplug") << "unplug:GETF" << rtText("The connection to the device was lost.");
    }

    void interruptedRetrievalLetsUserLeave()
    {
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QStringList args = deviceArgs(dir, QStringLiteral("device"), standardDatabaseBytes(dir));
        args << QStringLiteral("--fault") << fault;
        PtsDevice& device = newDevice();
        QVERIFY(device.start(args, true));
        SerialPortManager* manager = SerialPortManager::instance();
        QVERIFY(manager->setActivePort(device.port));
        QVERIFY(idleManager());

        const QString folder = dir.filePath(QStringLiteral("logs"));
        QVERIFY(QDir().mkpath(folder));
        DeviceLogRetrieveDialog dialog(folder);
        UserScript user;
        QString status;
        bool closeOffered = false;
        user.onRetrieveDialog = [&](DeviceLogRetrieveDialog* d) {
            // Once the operation has ended the button says "Close" and closes.
            auto* wait = new QTimer(d);
            wait->setInterval(50);
            connect(wait, &QTimer::timeout, d, [&, d, wait]() {
                if (!d->button()->isEnabled() || d->button()->text() == gui("Cancel"))
                    return;
                wait->stop();
                status = d->statusLabel()->text();
                closeOffered = d->button()->text() == gui("Close") && d->button()->isDefault();
                d->button()->click();
            });
            wait->start();
        };
        const int result = dialog.exec();
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(closeOffered);
        QCOMPARE(status, expected);
        QVERIFY(user.boxes.isEmpty());
        QVERIFY(idleManager());
    }

    // Clearing whose update cannot reach the device says so and promises no restart.
    // A log that could not be written is named with the reason and is not among the
    // logs offered for deletion; the one that was written is.
    void failedExportIsReportedAndKeptOnDevice()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("standard"), standardTables());
        if (QFileInfo::exists(SerialPortManager::instance()->activePort()))
            QSKIP("another program took the gone device's pts number; its port would open");
        const QString destination = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(destination + QStringLiteral("/Log10.txt"))); // replacing a folder fails, even for root
        LogSelectionDialog dialog(folder);
        dialog.show();
        dialog.destinationEdit()->setText(destination);
        dialog.logList()->item(0)->setSelected(true); // Log2
        dialog.logList()->item(1)->setSelected(true); // Log10
        UserScript user({ gui("Yes"), gui("OK"), gui("Delete files") });
        dialog.onCopyFiles();
        QVERIFY2(user.boxes.size() >= 3, qPrintable(user.boxTexts().join(QLatin1Char('|'))));
        const QString failure = user.boxes.at(1).text;
        QVERIFY2(failure.startsWith(gui("These logs were not written, and stay on the device:\n%1").arg("Log10: \""))
                     && failure.contains(QStringLiteral("Log10.txt\" could not be written: ")) && !failure.contains("Log2"),
                 qPrintable(failure));
        QCOMPARE(user.boxes.at(2).text, question(1, destination, { "Log2.txt" }));
        const QStringList left = databaseContent(folder + QStringLiteral("/dataLogging.txdb")).keys();
        QVERIFY(!left.contains(QStringLiteral("Log2")) && left.contains(QStringLiteral("Log10")));
        QVERIFY(idleManager());
    }

    void clearingThatCannotReachDeviceSaysSo()
    {
        QTemporaryDir dir;
        const QString folder = makeLogFolder(dir, QStringLiteral("standard"), standardTables());
        SerialPortManager* manager = SerialPortManager::instance();
        QVERIFY(!manager->connectedPorts().contains(manager->activePort()));
        if (QFileInfo::exists(manager->activePort()))
            QSKIP("another program took the gone device's pts number; its port would open");
        LogSelectionDialog dialog(folder);
        dialog.show();
        dialog.logList()->item(0)->setSelected(true);
        UserScript user({ gui("Yes"), gui("OK") });
        dialog.onRequestClear();
        QCOMPARE(user.boxes.size(), 2);
        QCOMPARE(user.boxes.at(1).text, OperationRun::goneText());
        QCOMPARE(dialog.statusLabel()->text(), OperationRun::goneText());
        QVERIFY(dialog.closeButton()->isEnabled());
        QTest::qWait(1500);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.statusLabel()->text(), OperationRun::goneText());
        QVERIFY(!databaseContent(folder + QStringLiteral("/dataLogging.txdb")).contains(QStringLiteral("Log2")));
        QVERIFY(idleManager());
    }
};

QTEST_MAIN(TestDataLogDialogs)
#include "tst_datalogdialogs.moc"
