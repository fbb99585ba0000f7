#pragma once

#include <QAbstractTableModel>

#include <functional>

namespace quillon {

class RecordSheet;

/**
 * Shows a RecordSheet to Qt's item views. Model row r is sheet row r+1 (the
 * sheet's header row is the horizontal header); columns are the same. The model
 * only translates: it keeps no copy of the data and forwards the sheet's change
 * signals as item-model notifications.
 */
class SheetTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        HeaderPictureRole = Qt::UserRole + 1, ///< int HeaderPicture of a header cell
        RawTextRole,                          ///< the stored text, unformatted
        DataTypeRole,                         ///< the column's data type code
    };

    explicit SheetTableModel(RecordSheet* sheet, QObject* parent = nullptr);

    RecordSheet* sheet() const { return m_sheet; }

    /** Check boxes follow each cell's own check state (0 none, 1 checked, other
     *  unchecked) instead of the column's Checkbox type; the form panel's way. */
    void setCheckBoxesByCell(bool on) { m_checkBoxesByCell = on; }
    /** The text an in-place editor of sheet cell (row, col) starts from, where it is not
     *  the cell's own text (the form panel shows values formatted but edits them as
     *  stored). */
    using EditTextSource = std::function<QString(int row, int col)>;
    void setEditTextSource(EditTextSource source) { m_editText = std::move(source); }
    /** What stores an in-place edit of sheet cell (row, col) instead of the model: the
     *  edited text (Qt::EditRole) or check state (Qt::CheckStateRole), already known to
     *  differ from the cell's. With one set, the model changes nothing itself and sends
     *  no cellEdited() (the editing commands record an undo step and store the value). */
    using EditHandler = std::function<void(int row, int col, const QVariant& value, int role)>;
    void setEditHandler(EditHandler handler) { m_editHandler = std::move(handler); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /** Alignment flags for a sheet alignment code; @p numeric decides the general code 9. */
    static Qt::Alignment alignmentFlags(int code, bool numeric);

signals:
    /** The user finished an in-place edit of sheet cell (row, col) (without an edit handler). */
    void cellEdited(int row, int col);
    /** Row heights changed for sheet rows first .. last. */
    void rowHeightsChanged(int first, int last);

private:
    RecordSheet* m_sheet;
    bool m_checkBoxesByCell = false;
    EditTextSource m_editText;
    EditHandler m_editHandler;
};

} // namespace quillon
