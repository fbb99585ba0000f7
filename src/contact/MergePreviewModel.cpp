#include "contact/MergePreviewModel.h"

#include "contact/ContactMerge.h"
#include "sheet/RecordSheet.h"

namespace quillon {

namespace {

// Columns: the record, then the sheet's name, phone, street and zip code.
constexpr int kColumns = 5;
// A group's index has internal id 0; a record's, its group + 1.
constexpr quintptr kGroupId = 0;

} // namespace

MergePreviewModel::MergePreviewModel(const RecordSheet& sheet, const ContactMergePlan& plan, QObject* parent)
    : QAbstractItemModel(parent), m_sheet(sheet), m_plan(plan)
{}

QModelIndex MergePreviewModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= kColumns || row < 0 || row >= rowCount(parent))
        return QModelIndex();
    if (!parent.isValid())
        return createIndex(row, column, kGroupId);
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex MergePreviewModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == kGroupId)
        return QModelIndex();
    return createIndex(int(child.internalId() - 1), 0, kGroupId);
}

int MergePreviewModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return m_plan.groupCount();
    if (parent.internalId() != kGroupId || parent.column() != 0)
        return 0;
    return int(m_plan.groupRows(parent.row()).size());
}

int MergePreviewModel::columnCount(const QModelIndex&) const
{
    return kColumns;
}

int MergePreviewModel::listedRow(int group, int i) const
{
    const int kept = m_plan.keptRow(group);
    if (i == 0)
        return kept;
    // The others in their order, the kept one left out.
    const auto rows = m_plan.groupRows(group);
    int seen = 0;
    for (const int r : rows) {
        if (r == kept)
            continue;
        if (++seen == i)
            return r;
    }
    return kept;
}

int MergePreviewModel::sheetColumn(int column) const
{
    switch (column) {
    case 1:
        return m_plan.columns.name;
    case 2:
        return m_plan.columns.phone;
    case 3:
        return m_plan.columns.street;
    case 4:
        return m_plan.columns.zip;
    default:
        return -1;
    }
}

QVariant MergePreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    if (index.internalId() == kGroupId) {
        if (index.column() == 0)
            return QStringLiteral("%1 records").arg(m_plan.groupRows(index.row()).size());
        const int col = sheetColumn(index.column());
        return col >= 0 && col < m_sheet.cols() ? m_sheet.text(m_plan.keptRow(index.row()), col) : QString();
    }
    const int group = int(index.internalId() - 1);
    const int row = listedRow(group, index.row());
    if (index.column() == 0) {
        return row == m_plan.keptRow(group) ? QStringLiteral("Row %1 (kept)").arg(row)
                                            : QStringLiteral("Row %1").arg(row);
    }
    const int col = sheetColumn(index.column());
    return col >= 0 && col < m_sheet.cols() ? m_sheet.text(row, col) : QString();
}

QVariant MergePreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return QStringLiteral("Records");
    const int col = sheetColumn(section);
    return col >= 0 && col < m_sheet.cols() ? m_sheet.title(col) : QString();
}

} // namespace quillon
