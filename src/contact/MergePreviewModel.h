#pragma once

#include <QAbstractItemModel>

namespace quillon {

class ContactMergePlan;
class RecordSheet;

/**
 * The merge a user is shown before it is made: one row a group ("3 records"), with
 * the group's records under it, the kept one first and marked "kept", each with
 * its name, phone, street and zip code as the sheet holds them. The columns are
 * titled by the sheet's own titles of the columns compared. Read from the sheet
 * and the plan as the view asks, so that a hundred thousand groups show at once;
 * both must stay as they are while the model is shown.
 */
class MergePreviewModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    MergePreviewModel(const RecordSheet& sheet, const ContactMergePlan& plan, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /** Sheet row of record @p i of group @p group as it is listed (the kept one first). */
    int listedRow(int group, int i) const;

private:
    int sheetColumn(int column) const;

    const RecordSheet& m_sheet;
    const ContactMergePlan& m_plan;
};

} // namespace quillon
