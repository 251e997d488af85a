#ifndef HISTORYMODEL_H
#define HISTORYMODEL_H

#include "gui_global.h"
#include "servicehistory.h"

#include <QPointer>
#include <QSqlQueryModel>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The service history entries that pass a filter, newest first. The database does
// the filtering and the sorting; rows are fetched as the view scrolls to them.
class GUI_EXPORT HistoryModel : public QSqlQueryModel
{
    Q_OBJECT
public:
    explicit HistoryModel(Common::ServiceHistory* history, QObject* parent = nullptr);

    void setFilter(const Common::ServiceHistory::Filter& filter);
    Common::ServiceHistory::Filter filter() const { return m_filter; }
    // Queries again with the same filter (new entries).
    void refresh();

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QPointer<Common::ServiceHistory> m_history;
    Common::ServiceHistory::Filter m_filter;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // HISTORYMODEL_H
