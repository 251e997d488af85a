#include "historywindow.h"

#include "filehelper.h"
#include "historymodel.h"
#include "historyserverreader.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "servicehistorywriter.h"
#include "texthelper.h"
#include "texttablemodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::FleetDevice;
using Orvane::Tavrix::Common::HistoryServerReader;
using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::TextHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

// The first day a date filter can name stands for "no limit".
const QDate NoLimit(2000, 1, 1);

QDateEdit* makeDateEdit(QWidget* parent)
{
    auto* edit = new QDateEdit(parent);
    edit->setCalendarPopup(true);
    edit->setMinimumDate(NoLimit);
    edit->setSpecialValueText(guiText("Any"));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setDate(NoLimit);
    return edit;
}

} // namespace

class HistoryWindowPrivate
{
public:
    // A connection of the window's own: the rows it has not fetched yet keep a read open,
    // which must not stand in the way of the program's writes on its connection.
    ServiceHistory* reader = nullptr;
    HistoryModel* model = nullptr;
    QTableView* table = nullptr;
    QLineEdit* text = nullptr;
    QString serial; // one device's entries: its exact serial number
    QComboBox* operation = nullptr;
    QComboBox* result = nullptr;
    QDateEdit* from = nullptr;
    QDateEdit* to = nullptr;
    QCheckBox* recording = nullptr;
    QLabel* count = nullptr;
    QComboBox* view = nullptr;
    // The history server, read in the background; what it answered last.
    HistoryServerReader* server = nullptr;
    TextTableModel* shared = nullptr;
    TextTableModel* fleet = nullptr;
    QTableView* fleetTable = nullptr;
    QList<ServiceRecord> sharedEntries;
    QString chosenSerial; // the fleet's chosen device
    bool refilling = false; // the fleet is being replaced: its selection changes are no choice
    // Typing and new entries re-query once things have settled.
    QTimer typing;
    QTimer changes;
};

HistoryWindow::HistoryWindow(QWidget* parent)
    : QDialog(parent)
    , d(new HistoryWindowPrivate)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("History"));
    setAccessibleDescription(guiText("Every operation on a device, newest first, filtered by device, operation, result and days."));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setModal(false);
    resize(1000, 500);

    ServiceHistory* history = ServiceHistory::instance();
    d->reader = new ServiceHistory(history ? history->path() : ServiceHistory::defaultPath(), this);
    d->reader->open();
    d->model = new HistoryModel(d->reader, this);

    d->text = new QLineEdit(this);
    d->text->setPlaceholderText(guiText("Serial number or name"));
    d->text->setClearButtonEnabled(true);
    d->operation = new QComboBox(this);
    d->operation->addItem(guiText("All operations"), int(ServiceRecord::NoOperation));
    for (ServiceRecord::Operation operation : ServiceRecord::operations())
        d->operation->addItem(ServiceRecord::operationName(operation), int(operation));
    d->result = new QComboBox(this);
    d->result->addItem(guiText("All results"), -1);
    for (ServiceRecord::Outcome outcome : ServiceRecord::outcomes())
        d->result->addItem(ServiceRecord::outcomeName(outcome), int(outcome));
    d->from = makeDateEdit(this);
    d->to = makeDateEdit(this);

    d->view = new QComboBox(this);
    d->view->addItem(guiText("This station"), int(ThisStation));
    d->view->addItem(guiText("All stations"), int(AllStations));
    d->view->addItem(guiText("Fleet"), int(Fleet));
    QStringList sharedTitles { ServiceHistory::columnTitle(ServiceHistory::StationColumn) };
    for (int column = 0; column < ServiceHistory::ColumnCount; ++column)
        sharedTitles << ServiceHistory::columnTitle(column);
    d->shared = new TextTableModel(sharedTitles, this);
    QStringList fleetTitles;
    for (int column = 0; column < FleetDevice::ColumnCount; ++column)
        fleetTitles << FleetDevice::columnTitle(column);
    d->fleet = new TextTableModel(fleetTitles, this);

    auto* filters = new QHBoxLayout;
    // Every filter has a label, by which a screen reader names it.
    const auto addLabelled = [this, filters](const QString& text, QWidget* field, int stretch) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        filters->addWidget(label);
        filters->addWidget(field, stretch);
    };
    addLabelled(guiText("Show"), d->view, 1);
    addLabelled(guiText("Device"), d->text, 2);
    addLabelled(guiText("Operation"), d->operation, 1);
    addLabelled(guiText("Result"), d->result, 1);
    addLabelled(guiText("From"), d->from, 0);
    addLabelled(guiText("To"), d->to, 0);
    d->view->setAccessibleDescription(guiText("This station's own history, the shared history of all stations, or the fleet of devices."));
    d->text->setAccessibleName(guiText("Serial number or name"));
    d->text->setAccessibleDescription(guiText("Shows the entries whose serial number or device name holds this text."));
    d->from->setAccessibleDescription(guiText("The first day shown; Any for no limit."));
    d->to->setAccessibleDescription(guiText("The last day shown; Any for no limit."));

    d->table = new QTableView(this);
    d->table->setModel(d->model);
    d->table->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    d->table->setWordWrap(false);
    d->table->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows it does not show.
    d->table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    d->table->horizontalHeader()->setStretchLastSection(true);
    sizeColumns();
    d->fleetTable = new QTableView(this);
    d->fleetTable->setModel(d->fleet);
    d->fleetTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->fleetTable->setSelectionMode(QAbstractItemView::SingleSelection);
    d->fleetTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    d->fleetTable->verticalHeader()->hide();
    d->fleetTable->horizontalHeader()->setStretchLastSection(true);
    d->fleetTable->hide();
    d->table->setAccessibleName(guiText("Service history entries"));
    d->fleetTable->setAccessibleName(guiText("Devices of the fleet"));
    d->fleetTable->setAccessibleDescription(guiText("The chosen device's entries from every station are listed below."));
    auto* tables = new QSplitter(Qt::Vertical, this);
    tables->addWidget(d->fleetTable);
    tables->addWidget(d->table);

    d->recording = new QCheckBox(guiText("Record operations in the history"), this);
    d->recording->setChecked(ServiceHistory::isEnabled());
    d->count = new QLabel(this);
    auto* refresh = new QPushButton(guiText("Refresh"), this);
    auto* exportButton = new QPushButton(guiText("Export CSV..."), this);
    auto* close = new QPushButton(guiText("Close"), this);
    d->recording->setAccessibleDescription(guiText("Every operation on a device leaves an entry in the service history."));
    exportButton->setAccessibleDescription(guiText("Writes the entries shown to a CSV file."));
    refresh->setAccessibleDescription(guiText("Reads the history again with the filters above."));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(d->recording);
    buttons->addWidget(d->count, 1);
    buttons->addWidget(refresh);
    buttons->addWidget(exportButton);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(tables, 1);
    layout->addLayout(buttons);

    d->typing.setSingleShot(true);
    d->typing.setInterval(250);
    d->changes.setSingleShot(true);
    d->changes.setInterval(500);
    connect(&d->typing, &QTimer::timeout, this, &HistoryWindow::applyFilter);
    connect(&d->changes, &QTimer::timeout, this, [this]() {
        if (isVisible())
            applyFilter();
    });
    connect(d->text, &QLineEdit::textChanged, &d->typing, qOverload<>(&QTimer::start));
    connect(d->view, &QComboBox::currentIndexChanged, this, &HistoryWindow::applyFilter);
    connect(d->fleetTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (d->refilling)
            return;
        d->chosenSerial = d->fleet->row(current.row()).value(FleetDevice::SerialColumn);
        fetchShared(false);
    });
    connect(d->operation, &QComboBox::currentIndexChanged, this, &HistoryWindow::applyFilter);
    connect(d->result, &QComboBox::currentIndexChanged, this, &HistoryWindow::applyFilter);
    connect(d->from, &QDateEdit::dateChanged, this, &HistoryWindow::applyFilter);
    connect(d->to, &QDateEdit::dateChanged, this, &HistoryWindow::applyFilter);
    connect(d->recording, &QCheckBox::toggled, this, [](bool on) { ServiceHistory::setEnabled(on); });
    connect(refresh, &QPushButton::clicked, this, &HistoryWindow::applyFilter);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::onExport);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    // The program's own entries come from the writer's thread.
    if (ServiceHistoryWriter* writer = ServiceHistoryWriter::instance())
        connect(writer, &ServiceHistoryWriter::written, &d->changes, qOverload<>(&QTimer::start));
}

HistoryWindow::~HistoryWindow()
{
    // The model's query goes before its connection does.
    d->model->clear();
    delete d;
}

HistoryWindow::View HistoryWindow::view() const
{
    return View(d->view->currentData().toInt());
}

void HistoryWindow::setView(View view)
{
    d->view->setCurrentIndex(d->view->findData(int(view)));
}

void HistoryWindow::sizeColumns()
{
    // The server's entries have the station first.
    const int shift = d->table->model() == d->shared ? 1 : 0;
    d->table->setColumnWidth(ServiceHistory::StartedColumn + shift, 140);
    d->table->setColumnWidth(ServiceHistory::EndedColumn + shift, 140);
    d->table->setColumnWidth(ServiceHistory::Sha256Column + shift, 120);
}

void HistoryWindow::fetchShared(bool withFleet)
{
    if (!d->server) {
        d->server = new HistoryServerReader(this);
        connect(d->server, &HistoryServerReader::entriesFetched, this, [this](const QList<ServiceRecord>& entries, const QString& error) {
            if (view() == ThisStation)
                return;
            d->sharedEntries = entries;
            QList<QStringList> rows;
            for (const ServiceRecord& entry : entries) {
                QStringList row { entry.station };
                for (int column = 0; column < ServiceHistory::ColumnCount; ++column)
                    row << ServiceHistory::recordText(entry, column);
                rows << row;
            }
            d->shared->setRows(rows);
            if (!error.isEmpty())
                d->count->setText(error);
            else if (entries.size() >= SharedEntryLimit)
                d->count->setText(guiText("The newest %1 entries").arg(entries.size()));
            else
                d->count->setText(entries.size() == 1 ? guiText("1 entry") : guiText("%1 entries").arg(entries.size()));
        });
        connect(d->server, &HistoryServerReader::fleetFetched, this, [this](const QList<FleetDevice>& devices, const QString& error) {
            QList<QStringList> rows;
            int chosen = -1;
            for (const FleetDevice& device : devices) {
                if (device.serial == d->chosenSerial)
                    chosen = int(rows.size());
                QStringList row;
                for (int column = 0; column < FleetDevice::ColumnCount; ++column)
                    row << device.columnText(column);
                rows << row;
            }
            // The chosen device stays chosen; its entries are asked for already.
            d->refilling = true;
            d->fleet->setRows(rows);
            if (chosen >= 0)
                d->fleetTable->selectRow(chosen);
            d->refilling = false;
            if (!error.isEmpty())
                d->count->setText(error);
        });
    }
    ServiceHistory::Filter wanted = filter();
    if (view() == Fleet) {
        if (withFleet)
            d->server->fetchFleet();
        wanted.serial = d->chosenSerial;
    }
    d->server->fetchEntries(wanted, SharedEntryLimit);
}

HistoryModel* HistoryWindow::model() const { return d->model; }
QTableView* HistoryWindow::table() const { return d->table; }
QLineEdit* HistoryWindow::textFilter() const { return d->text; }
QComboBox* HistoryWindow::operationFilter() const { return d->operation; }
QComboBox* HistoryWindow::resultFilter() const { return d->result; }
QDateEdit* HistoryWindow::fromDate() const { return d->from; }
QDateEdit* HistoryWindow::toDate() const { return d->to; }
QCheckBox* HistoryWindow::recordingBox() const { return d->recording; }
QLabel* HistoryWindow::countLabel() const { return d->count; }
QComboBox* HistoryWindow::viewChooser() const { return d->view; }
QTableView* HistoryWindow::fleetTable() const { return d->fleetTable; }

void HistoryWindow::setDeviceFilter(const QString& text)
{
    const QSignalBlocker blocker(d->text);
    d->text->setText(text);
    // A hidden window queries as it is shown.
    if (isVisible())
        applyFilter();
}

void HistoryWindow::setSerialFilter(const QString& serial)
{
    d->serial = serial.trimmed();
    setDeviceFilter(serial);
}

ServiceHistory::Filter HistoryWindow::filter() const
{
    ServiceHistory::Filter filter;
    filter.text = d->text->text().trimmed();
    if (!filter.text.isEmpty() && filter.text == d->serial)
        std::swap(filter.text, filter.serial);
    filter.operation = ServiceRecord::Operation(d->operation->currentData().toInt());
    filter.outcome = d->result->currentData().toInt();
    // Whole local days, the last one included.
    if (d->from->date() != NoLimit)
        filter.from = d->from->date().startOfDay();
    if (d->to->date() != NoLimit)
        filter.to = d->to->date().addDays(1).startOfDay();
    return filter;
}

void HistoryWindow::applyFilter()
{
    d->typing.stop();
    d->fleetTable->setVisible(view() == Fleet);
    QAbstractItemModel* shown = view() == ThisStation ? static_cast<QAbstractItemModel*>(d->model) : d->shared;
    if (d->table->model() != shown) {
        d->table->setModel(shown);
        sizeColumns();
    }
    if (view() != ThisStation) {
        fetchShared(true);
        return;
    }
    if (!d->reader->isOpen())
        d->reader->open();
    const ServiceHistory::Filter current = filter();
    d->model->setFilter(current);
    // A short list is fetched whole already; only a long one is counted by the database.
    int entries = d->model->rowCount();
    if (d->model->canFetchMore() && d->reader->isOpen())
        entries = d->reader->count(current);
    d->count->setText(entries == 1 ? guiText("1 entry") : guiText("%1 entries").arg(entries));
}

bool HistoryWindow::exportCsv(const QString& filePath)
{
    QString error;
    if (view() != ThisStation) {
        if (ServiceHistory::exportCsv(d->sharedEntries, filePath, &error))
            return true;
    } else if (d->reader->isOpen() && d->reader->exportCsv(filter(), filePath)) {
        return true;
    } else {
        error = d->reader->lastError();
    }
    MessageBox::warning(this, guiText("Export CSV"),
                        guiText("The history could not be saved as %1.\n%2").arg(TextHelper::toSystemPath(filePath), error));
    return false;
}

void HistoryWindow::onExport()
{
    const QString start = QDir(FileHelper::getStandardDocumentLocation()).filePath(QStringLiteral("history.csv"));
    const QString path = QFileDialog::getSaveFileName(this, guiText("Export CSV"), start, guiText("CSV file (*.csv)"));
    if (!path.isEmpty())
        exportCsv(path);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    // Entries written by another process meanwhile show up too.
    applyFilter();
    d->recording->setChecked(ServiceHistory::isEnabled());
    QDialog::showEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
