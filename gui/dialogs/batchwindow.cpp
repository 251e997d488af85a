#include "batchwindow.h"
#include "systemhelper.h"

#include "batchdevicemodel.h"
#include "batchpackage.h"
#include "devicetarget.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "runningoperationsquestion.h"
#include "serialportmanager.h"
#include "signaturelabel.h"
#include "signaturerequirement.h"
#include "texthelper.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QUuid>
#include <QVBoxLayout>

#include <memory>

using Orvane::Tavrix::Common::BatchResult;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::TextHelper;
using Orvane::Tavrix::Runtime::BatchPackage;
using Orvane::Tavrix::Runtime::RolloutPlan;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

// A window of a row may open or close at any time: the busy marks follow it this often.
constexpr int BusyRefreshMs = 500;

// The package a drop brings, or empty: one local project or software file.
QString droppedPackage(const QMimeData* data)
{
    if (!data || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return QString();
    const QString path = data->urls().first().toLocalFile();
    return BatchPackage::kindOf(path) == BatchPackage::NoPackage ? QString() : path;
}

// Draws a line's progress as a bar.
class ProgressDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QVariant value = index.data(BatchDeviceModel::ProgressRole);
        if (!value.isValid() || value.toInt() < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(3, 3, -3, -3);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = value.toInt();
        bar.text = QStringLiteral("%1%").arg(bar.progress);
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        bar.state = option.state | QStyle::State_Horizontal;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    }
};

} // namespace

class BatchWindowPrivate
{
public:
    BatchPackage package;
    QString workFolder; // the unpacked project, below the program's working folder
    BatchDeviceModel* model = nullptr;
    QTableView* table = nullptr;
    QLabel* packageLabel = nullptr;
    QLabel* summaryLabel = nullptr;
    SignatureLabel* signatureLabel = nullptr;
    QLabel* signatureRule = nullptr;
    QPushButton* choose = nullptr;
    QCheckBox* production = nullptr;
    QLabel* counts = nullptr;
    QPushButton* save = nullptr;
    QPushButton* start = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* retry = nullptr;
    QSpinBox* canary = nullptr;
    QSpinBox* maxParallel = nullptr;
    QSpinBox* stopAfter = nullptr;
    QLabel* stage = nullptr;
    bool closing = false; // closes once its lines have ended
    bool asking = false;
    QPushButton* close = nullptr;
    QTimer busyRefresh;
};

BatchWindow::BatchWindow(QWidget* parent)
    : QDialog(parent)
    , d(new BatchWindowPrivate)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Batch"));
    setAccessibleDescription(guiText("One package to many devices at once: each ticked device gets it on its "
                                     "own link, and every line shows its progress and result."));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setModal(false);
    setAcceptDrops(true);
    resize(1100, 460);

    d->packageLabel = new QLabel(guiText("Choose a runtime project (.txdevproj) or device software (.txsw), or drop one here."), this);
    d->packageLabel->setObjectName(QStringLiteral("batchPackageLabel"));
    d->packageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    d->summaryLabel = new QLabel(this);
    d->summaryLabel->setObjectName(QStringLiteral("batchSummaryLabel"));
    d->choose = new QPushButton(guiText("Choose Package..."), this);
    auto* packageRow = new QHBoxLayout;
    d->signatureLabel = new SignatureLabel(this);
    d->signatureLabel->setObjectName(QStringLiteral("batchSignatureLabel"));
    auto* packageText = new QVBoxLayout;
    packageText->addWidget(d->packageLabel);
    packageText->addWidget(d->summaryLabel);
    packageText->addWidget(d->signatureLabel);
    packageRow->addLayout(packageText, 1);
    packageRow->addWidget(d->choose);

    d->model = new BatchDeviceModel(this);
    d->table = new QTableView(this);
    d->table->setModel(d->model);
    d->table->setItemDelegateForColumn(BatchDeviceModel::ProgressColumn, new ProgressDelegate(d->table));
    d->table->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->table->setSelectionMode(QAbstractItemView::SingleSelection);
    d->table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    d->table->setWordWrap(false);
    d->table->verticalHeader()->hide();
    d->table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    d->table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = { 110, 100, 80, 80, 170, 170, 110, 85, 70 };
    static_assert(sizeof widths / sizeof widths[0] == BatchDeviceModel::StatusColumn, "a width for every column but the last");
    for (int column = 0; column < BatchDeviceModel::StatusColumn; ++column)
        d->table->setColumnWidth(column, widths[column]);

    d->production = new QCheckBox(guiText("Production mode: every fitting device plugged in from now on gets the package"), this);
    d->counts = new QLabel(this);
    d->counts->setObjectName(QStringLiteral("batchCountsLabel"));
    d->signatureRule = new QLabel(guiText("Only packages signed by a trusted key (Setting > Require signed packages)"), this);
    d->signatureRule->setObjectName(QStringLiteral("batchSignatureRuleLabel"));
    // The stages of a run: 0 is "no such rule".
    auto spin = [this](const QString& none, const QString& name) {
        auto* box = new QSpinBox(this);
        box->setRange(0, 999);
        box->setSpecialValueText(none);
        box->setObjectName(name);
        return box;
    };
    d->canary = spin(guiText("none"), QStringLiteral("batchCanary"));
    d->canary->setToolTip(guiText("The first devices go first; the others start once all of those succeeded, and are skipped otherwise."));
    d->maxParallel = spin(guiText("no limit"), QStringLiteral("batchMaxParallel"));
    d->maxParallel->setToolTip(guiText("At most this many devices at once, in the list's order."));
    d->stopAfter = spin(guiText("never"), QStringLiteral("batchStopAfterFailures"));
    d->stopAfter->setToolTip(guiText("Once this many devices have failed, those not started yet are skipped."));
    d->stage = new QLabel(this);
    d->stage->setObjectName(QStringLiteral("batchStageLabel"));
    auto* stagesRow = new QHBoxLayout;
    auto addSpin = [this, stagesRow](const QString& text, QSpinBox* box) {
        auto* label = new QLabel(text, this);
        label->setBuddy(box);
        stagesRow->addWidget(label);
        stagesRow->addWidget(box);
    };
    addSpin(guiText("Canary devices first:"), d->canary);
    addSpin(guiText("At most at once:"), d->maxParallel);
    addSpin(guiText("Stop after failures:"), d->stopAfter);
    stagesRow->addStretch();
    stagesRow->addWidget(d->stage);

    auto* productionRow = new QHBoxLayout;
    productionRow->addWidget(d->production);
    productionRow->addWidget(d->signatureRule);
    productionRow->addStretch();
    productionRow->addWidget(d->counts);

    d->save = new QPushButton(guiText("Save CSV..."), this);
    d->start = new QPushButton(guiText("Start"), this);
    d->retry = new QPushButton(guiText("Try failed again"), this);
    d->retry->setToolTip(guiText("Starts only the lines that failed or were skipped."));
    d->cancel = new QPushButton(guiText("Cancel"), this);
    d->close = new QPushButton(guiText("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(d->save);
    buttons->addStretch();
    buttons->addWidget(d->retry);
    buttons->addWidget(d->start);
    buttons->addWidget(d->cancel);
    buttons->addWidget(d->close);

    // For a screen reader: the table's name, and what the buttons do beyond their text.
    d->table->setAccessibleName(guiText("Devices for the package"));
    d->table->setAccessibleDescription(guiText("One line per connected device: whether the package fits "
                                               "it, and the run's progress and result."));
    d->choose->setAccessibleDescription(guiText("A runtime project (.txdevproj) or device software (.txsw) for every ticked device."));
    d->production->setAccessibleDescription(guiText("Every fitting device plugged in from now on gets the package at once."));
    d->start->setAccessibleDescription(guiText("Sends the package to every ticked device at the same time."));
    d->cancel->setAccessibleDescription(guiText("Stops production mode and the devices still waiting, "
                                                "and asks before abandoning a transfer."));
    d->save->setAccessibleDescription(guiText("Writes one line per device of the runs to a CSV file."));
    d->close->setAccessibleDescription(guiText("Hides the window; the runs go on."));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(packageRow);
    layout->addWidget(d->table, 1);
    layout->addLayout(stagesRow);
    layout->addLayout(productionRow);
    layout->addLayout(buttons);

    connect(d->choose, &QPushButton::clicked, this, &BatchWindow::onChoosePackage);
    connect(d->start, &QPushButton::clicked, this, &BatchWindow::onStart);
    connect(d->retry, &QPushButton::clicked, this, &BatchWindow::onRetryFailed);
    for (QSpinBox* box : { d->canary, d->maxParallel, d->stopAfter })
        connect(box, &QSpinBox::valueChanged, this, &BatchWindow::onRulesChanged);
    connect(d->cancel, &QPushButton::clicked, this, &BatchWindow::onCancel);
    connect(d->save, &QPushButton::clicked, this, &BatchWindow::onSaveCsv);
    // Closing only hides the window: the runs go on and it shows them when it is opened again.
    connect(d->close, &QPushButton::clicked, this, &QDialog::close);
    connect(d->production, &QCheckBox::toggled, this, &BatchWindow::onProductionToggled);
    connect(d->model, &BatchDeviceModel::runChanged, this, &BatchWindow::updateControls);
    connect(SignatureRequirement::instance(), &SignatureRequirement::changed, this, &BatchWindow::onSignatureRequirementChanged);
    connect(d->model, &QAbstractItemModel::rowsInserted, this, &BatchWindow::updateControls);
    d->busyRefresh.setInterval(BusyRefreshMs);
    connect(&d->busyRefresh, &QTimer::timeout, d->model, &BatchDeviceModel::refreshBusy);
    updateControls();
}

BatchWindow::~BatchWindow()
{
    // The model's lines go before the package they point to.
    delete d->model;
    d->model = nullptr;
    removeWorkFolder();
    delete d;
}

BatchDeviceModel* BatchWindow::model() const { return d->model; }
QTableView* BatchWindow::table() const { return d->table; }
QPushButton* BatchWindow::chooseButton() const { return d->choose; }
QPushButton* BatchWindow::startButton() const { return d->start; }
QPushButton* BatchWindow::cancelButton() const { return d->cancel; }
QPushButton* BatchWindow::retryButton() const { return d->retry; }
QSpinBox* BatchWindow::canaryBox() const { return d->canary; }
QSpinBox* BatchWindow::maxParallelBox() const { return d->maxParallel; }
QSpinBox* BatchWindow::stopAfterFailuresBox() const { return d->stopAfter; }
QLabel* BatchWindow::stageLabel() const { return d->stage; }
QPushButton* BatchWindow::saveButton() const { return d->save; }
QCheckBox* BatchWindow::productionBox() const { return d->production; }
QLabel* BatchWindow::packageLabel() const { return d->packageLabel; }
QLabel* BatchWindow::countsLabel() const { return d->counts; }
QLabel* BatchWindow::signatureLabel() const { return d->signatureLabel; }
QLabel* BatchWindow::signatureRuleLabel() const { return d->signatureRule; }

QString BatchWindow::packagePath() const
{
    return d->package.path();
}

void BatchWindow::setBusyCheck(const std::function<bool(const QString&, const QString&)>& check)
{
    d->model->setBusyCheck(check);
}

void BatchWindow::updateControls()
{
    if (!d->model)
        return;
    const bool active = d->model->isActive();
    const bool production = d->model->isProductionMode();
    const bool loaded = d->package.isLoaded();
    const bool required = SignatureRequirement::isRequired();
    const bool allowed = loaded && d->package.signature().allows(required);
    d->choose->setEnabled(!active && !production);
    // Another start may join a run in production mode, never a staged run still going.
    const bool staging = d->model->isStaging();
    d->start->setEnabled(allowed && !staging && !d->model->startable().isEmpty());
    d->retry->setEnabled(allowed && !staging && d->model->hasFailed());
    for (QSpinBox* box : { d->canary, d->maxParallel, d->stopAfter })
        box->setEnabled(!staging);
    d->stage->setText(d->model->stageText());
    d->cancel->setEnabled(active || production);
    d->save->setEnabled(!d->model->results().isEmpty());
    d->production->setEnabled(allowed || production);
    d->signatureRule->setVisible(required);
    d->counts->setText(d->model->countsText());
}

void BatchWindow::removeWorkFolder()
{
    if (d->workFolder.isEmpty())
        return;
    FileHelper::removeDirectoryAndContent(FileHelper::getParentPath(d->workFolder));
    d->workFolder.clear();
}

bool BatchWindow::setPackage(const QString& filePath)
{
    const QString path = FileHelper::normalizeFilePath(filePath);
    if (d->model->isActive() || d->model->isProductionMode()) {
        MessageBox::information(this, guiText("Batch"), guiText("The package cannot change while the batch runs."));
        return false;
    }
    BatchPackage next;
    if (!next.load(path.isEmpty() ? filePath : path, SignatureRequirement::isRequired())) {
        MessageBox::warning(this, next.errorTitle(), next.errorText());
        return false;
    }
    // Remembered as the row remembers its own choices.
    QSettings settings = Common::SystemHelper::userSettings();
    if (next.kind() == BatchPackage::Project)
        settings.setValue(QStringLiteral("uploadRuntimeDir"), TextHelper::toStandardPath(QFileInfo(next.path()).absolutePath()));
    else
        settings.setValue(QStringLiteral("deviceSoftwarePath"), TextHelper::toStandardPath(QFileInfo(next.path()).absoluteFilePath()));

    // Unpacked once for every device of every run with it, in a folder of the window's own:
    // the rows empty theirs whenever one of them starts an upload.
    QString folder;
    if (next.kind() == BatchPackage::Project) {
        folder = QDir(FileHelper::getStandardRuntimeLocation())
                     .absoluteFilePath(QStringLiteral("Kavendi/Batch/%1/Project").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
        if (!FileHelper::createPrivateDirectory(folder) || !next.prepare(folder)) {
            MessageBox::warning(this, guiText("Batch"),
                                next.errorText().isEmpty() ? guiText("\"%1\" could not be unpacked.").arg(TextHelper::toSystemPath(next.path()))
                                                           : next.errorText());
            FileHelper::removeDirectoryAndContent(FileHelper::getParentPath(folder));
            return false;
        }
    }
    d->model->setPackage(nullptr);
    removeWorkFolder();
    d->package = next;
    d->workFolder = folder;
    d->model->setPackage(&d->package);
    d->packageLabel->setText(TextHelper::toSystemPath(d->package.path()));
    d->summaryLabel->setText(d->package.summary());
    d->signatureLabel->setSignature(d->package.signature());
    updateControls();
    return true;
}

bool BatchWindow::signatureAllows(const QString& title)
{
    const bool required = SignatureRequirement::isRequired();
    if (d->package.signature().allows(required))
        return true;
    MessageBox::warning(this, title, d->package.signature().refusalText(required));
    return false;
}

void BatchWindow::onSignatureRequirementChanged()
{
    updateControls();
    if (!d->production->isChecked() || d->package.signature().allows(SignatureRequirement::isRequired()))
        return;
    // Nothing more goes out under a rule the package does not meet.
    d->production->setChecked(false);
    signatureAllows(guiText("Production mode"));
}

void BatchWindow::onChoosePackage()
{
    QSettings settings = Common::SystemHelper::userSettings();
    QString folder = settings.value(QStringLiteral("uploadRuntimeDir")).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QFileInfo(settings.value(QStringLiteral("deviceSoftwarePath")).toString()).absolutePath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = FileHelper::getStandardDocumentLocation();
    const QString filters = QStringList { guiText("Packages (*.txdevproj *.txsw)"), guiText("Runtime Project (*.txdevproj)"),
                                          guiText("Device Software (*.txsw)") }
                                .join(QStringLiteral(";;"));
    const QString file = QFileDialog::getOpenFileName(this, guiText("Choose Package"), folder, filters);
    if (!file.isEmpty())
        setPackage(file);
}

void BatchWindow::onStart()
{
    startRun(false);
}

void BatchWindow::onRetryFailed()
{
    if (d->model->isStaging() || d->model->tickFailed() == 0)
        return;
    startRun(true);
}

void BatchWindow::onRulesChanged()
{
    RolloutPlan::Rules rules;
    rules.canary = d->canary->value();
    rules.maxParallel = d->maxParallel->value();
    rules.stopAfterFailures = d->stopAfter->value();
    d->model->setRules(rules);
}

void BatchWindow::startRun(bool failedOnly)
{
    const QStringList devices = d->model->startableDevices();
    if (!d->package.isLoaded() || devices.isEmpty() || !signatureAllows(d->package.confirmationTitle()))
        return;
    if (d->package.kind() == BatchPackage::Project) {
        // The row's warning, once for all the devices it concerns.
        QStringList warned;
        QString warning;
        for (const QMap<QString, QString>& info : d->model->startableInformation()) {
            const BatchPackage::Fit fit = d->package.fit(info);
            if (!fit.warning.isEmpty()) {
                warning = fit.warning;
                warned << DeviceTarget::line(info);
            }
        }
        if (!warned.isEmpty())
            MessageBox::warning(this, guiText("MAC Address Configuration"),
                                warning + QStringLiteral("\n\n") + warned.join(QStringLiteral("\n")));
    }
    // Asked once for the batch, naming every device; a project's question says every device
    // loses its data log.
    const QString text = d->package.confirmationText(int(devices.size())) + QStringLiteral("\n\n") + devices.join(QStringLiteral("\n"));
    if (MessageBox::question(this, d->package.confirmationTitle(), text, false) != MessageBox::AcceptCode)
        return;
    onRulesChanged();
    // Devices may have come and gone while the question was open.
    d->model->start(failedOnly);
    updateControls();
}

void BatchWindow::onCancel()
{
    // Production mode stops first: nothing new starts behind the user's back.
    if (d->production->isChecked())
        d->production->setChecked(false);
    d->model->setProductionMode(false);
    d->model->cancelWaiting();
    const QStringList transferring = d->model->transferring();
    if (!transferring.isEmpty()) {
        const QString text = transferring.size() == 1
            ? guiText("1 device is still receiving the package. Abandon its transfer?\n"
                      "It is told the transfer is cancelled and restarts with the project or software it had.\n"
                      "Devices that are already installing the package finish.")
            : guiText("%1 devices are still receiving the package. Abandon their transfers?\n"
                      "Each is told the transfer is cancelled and restarts with the project or software it had.\n"
                      "Devices that are already installing the package finish.")
                  .arg(transferring.size());
        if (MessageBox::question(this, guiText("Cancel Batch"), text, false) == MessageBox::AcceptCode)
            d->model->abandonTransfers();
    }
    updateControls();
}

void BatchWindow::stopSafely()
{
    if (d->production->isChecked())
        d->production->setChecked(false);
    d->model->setProductionMode(false);
    d->model->cancelWaiting();
    d->model->stopSafely();
    updateControls();
}

void BatchWindow::reject()
{
    if (!d->model->isActive() || d->closing) {
        QDialog::reject();
        return;
    }
    QMetaObject::invokeMethod(this, &BatchWindow::askBeforeClosing, Qt::QueuedConnection);
}

void BatchWindow::closeEvent(QCloseEvent* event)
{
    if (!d->model->isActive() || d->closing) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    QMetaObject::invokeMethod(this, &BatchWindow::askBeforeClosing, Qt::QueuedConnection);
}

void BatchWindow::askBeforeClosing()
{
    if (d->asking)
        return;
    d->asking = true;
    const RunningOperationsQuestion::Answer answer = RunningOperationsQuestion::ask(this, guiText("Batch"), d->model->runs());
    d->asking = false;
    if (answer == RunningOperationsQuestion::Cancel)
        return;
    if (answer == RunningOperationsQuestion::StopSafely)
        stopSafely();
    // Closed once the lines have ended (each within its own time-outs).
    d->closing = true;
    auto closeWhenIdle = std::make_shared<QMetaObject::Connection>();
    *closeWhenIdle = connect(d->model, &BatchDeviceModel::runChanged, this, [this, closeWhenIdle]() {
        if (d->model->isActive())
            return;
        disconnect(*closeWhenIdle);
        d->closing = false;
        QDialog::reject();
    });
    if (!d->model->isActive())
        emit d->model->runChanged();
}

void BatchWindow::onProductionToggled(bool on)
{
    if (on && d->package.isLoaded()) {
        if (!signatureAllows(d->package.confirmationTitle())) {
            const QSignalBlocker blocker(d->production);
            d->production->setChecked(false);
            return;
        }
        const QString text = d->package.kind() == BatchPackage::Project
            ? guiText("In production mode the project is uploaded to every fitting device plugged in from now on; "
                      "its current project and any logged data will be lost.\nSwitch production mode on?")
            : guiText("In production mode the device software is installed on every fitting device plugged in from now on.\n"
                      "Switch production mode on?");
        const int answer = MessageBox::question(this, d->package.confirmationTitle(), text, false);
        if (answer != MessageBox::AcceptCode) {
            const QSignalBlocker blocker(d->production);
            d->production->setChecked(false);
            return;
        }
    }
    d->model->setProductionMode(on && d->package.isLoaded());
    updateControls();
}

bool BatchWindow::saveCsv(const QString& filePath)
{
    QString error;
    if (BatchResult::writeCsv(d->model->results(), filePath, &error))
        return true;
    MessageBox::warning(this, guiText("Save CSV"),
                        guiText("The results could not be saved as %1.\n%2").arg(TextHelper::toSystemPath(filePath), error));
    return false;
}

void BatchWindow::onSaveCsv()
{
    const QString name = QStringLiteral("batch-%1.csv").arg(QDate::currentDate().toString(Qt::ISODate));
    const QString start = QDir(FileHelper::getStandardDocumentLocation()).filePath(name);
    const QString path = QFileDialog::getSaveFileName(this, guiText("Save CSV"), start, guiText("CSV file (*.csv)"));
    if (!path.isEmpty())
        saveCsv(path);
}

void BatchWindow::showEvent(QShowEvent* event)
{
    d->model->refreshBusy();
    d->busyRefresh.start();
    updateControls();
    QDialog::showEvent(event);
}

void BatchWindow::hideEvent(QHideEvent* event)
{
    d->busyRefresh.stop();
    QDialog::hideEvent(event);
}

void BatchWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedPackage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void BatchWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppedPackage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void BatchWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedPackage(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // A refusal asks in a box of its own; let the drop finish first.
    QMetaObject::invokeMethod(this, [this, path]() { setPackage(path); }, Qt::QueuedConnection);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
