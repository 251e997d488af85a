#ifndef TEXTTABLEMODEL_H
#define TEXTTABLEMODEL_H

#include "gui_global.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// Rows of texts under column titles, read-only: what a window shows of a list it fetched
// whole (the shared history's entries, the fleet).
class GUI_EXPORT TextTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TextTableModel(const QStringList& titles, QObject* parent = nullptr);

    void setRows(const QList<QStringList>& rows);
    QStringList row(int row) const { return m_rows.value(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_titles;
    QList<QStringList> m_rows;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TEXTTABLEMODEL_H
