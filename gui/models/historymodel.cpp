#include "historymodel.h"

using Orvane::Tavrix::Common::ServiceHistory;

namespace Orvane {
namespace Tavrix {
namespace Designer {

HistoryModel::HistoryModel(ServiceHistory* history, QObject* parent)
    : QSqlQueryModel(parent)
    , m_history(history)
{
}

void HistoryModel::setFilter(const ServiceHistory::Filter& filter)
{
    m_filter = filter;
    refresh();
}

void HistoryModel::refresh()
{
    // Rows not fetched yet hold the connection's read of the file as it was: let go of
    // it first, or the new query would not see what was written since.
    clear();
    if (m_history && m_history->isOpen())
        setQuery(m_history->select(m_filter));
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    // The fields after the shown columns (id, restart flag) are not shown.
    return parent.isValid() ? 0 : ServiceHistory::ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return ServiceHistory::columnText(index.column(), QSqlQueryModel::data(index, Qt::DisplayRole));
    return QVariant();
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ServiceHistory::columnTitle(section);
    return QSqlQueryModel::headerData(section, orientation, role);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
