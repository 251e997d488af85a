#include "historyserverdialog.h"

#include "historyserver.h"
#include "historyserverreader.h"
#include "localizationhelper.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::HistoryServer;
using Orvane::Tavrix::Common::HistoryServerReader;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;

namespace Orvane {
namespace Tavrix {
namespace Designer {

HistoryServerDialog::HistoryServerDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("History Server"));
    setAccessibleDescription(guiText("The PostgreSQL server that the stations share their service histories on."));
    resize(560, 0);

    m_server = new QLineEdit(ServiceHistory::serverUriSetting(), this);
    m_server->setPlaceholderText(QStringLiteral("postgresql://dovrel@db.example/dovrel?sslmode=require"));
    m_server->setClearButtonEnabled(true);
    m_station = new QLineEdit(ServiceHistory::stationSetting(), this);
    m_station->setPlaceholderText(QSysInfo::machineHostName());
    auto* explanation = new QLabel(guiText("Every station keeps its own history and sends each entry to this PostgreSQL "
                                           "server as well, where every station sees them. Leave the address empty to keep "
                                           "the history on this computer only."),
                                   this);
    explanation->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(guiText("Server address:"), m_server);
    form->addRow(guiText("Station name:"), m_station);
    // The environment wins: say so rather than let a setting seem to do nothing.
    const auto addOverride = [this, form](bool set, const QString& text) {
        if (!set)
            return;
        auto* note = new QLabel(text, this);
        note->setWordWrap(true);
        form->addRow(QString(), note);
    };
    addOverride(ServiceHistory::serverUriFromEnvironment(),
                guiText("DOVREL_HISTORY_SERVER is set and is used instead: %1").arg(HistoryServer::displayUri(ServiceHistory::serverUri())));
    addOverride(ServiceHistory::stationFromEnvironment(),
                guiText("DOVREL_STATION is set and is used instead: %1").arg(ServiceHistory::station()));

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_test = buttons->addButton(guiText("Test Connection"), QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &HistoryServerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HistoryServerDialog::reject);
    connect(m_test, &QPushButton::clicked, this, &HistoryServerDialog::onTest);
    m_server->setAccessibleDescription(guiText("A PostgreSQL connection address; empty keeps the history on this computer only."));
    m_station->setAccessibleDescription(guiText("How this station is named in the shared history; empty for the computer's name."));
    buttons->button(QDialogButtonBox::Ok)->setAccessibleDescription(guiText("Keeps the address and the station name."));
    m_test->setAccessibleDescription(guiText("Connects to the server with these settings and says whether that worked."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
}

void HistoryServerDialog::accept()
{
    const bool moved = m_server->text().trimmed() != ServiceHistory::serverUriSetting();
    ServiceHistory::setServerUriSetting(m_server->text());
    ServiceHistory::setStationSetting(m_station->text());
    if (moved) {
        if (ServiceHistoryWriter* writer = ServiceHistoryWriter::instance())
            writer->syncNow();
    }
    QDialog::accept();
}

void HistoryServerDialog::onTest()
{
    const QString uri = m_server->text().trimmed();
    if (!m_reader) {
        m_reader = new HistoryServerReader(this);
        connect(m_reader, &HistoryServerReader::checked, this, [this](const QString& checked, const QString& error) {
            m_test->setEnabled(true);
            // An answer for an address since changed says nothing about the new one.
            if (checked == m_server->text().trimmed())
                m_status->setText(error.isEmpty() ? guiText("The history server answers, and its tables are ready.") : error);
        });
    }
    m_test->setEnabled(false);
    m_status->setText(guiText("Connecting to %1...").arg(HistoryServer::displayUri(uri)));
    m_reader->check(uri);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
