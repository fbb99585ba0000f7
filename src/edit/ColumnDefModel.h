#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

namespace quillon {

class MainModel;

/**
 * The grid `fd` of the column definition dialog (frmColDef): one row a sheet column
 * with its number, title, data type name, format, alignment name, hidden flag and
 * combo list, edited on a copy and written to the sheet by apply() ("&OK").
 *
 * It opens for the current column only (Column Attributes) or for all columns
 * (Column Define). Editing a row's "Data Type" sets its alignment and format by the
 * type-change rule; the column buttons append, insert and delete rows. Every row
 * remembers the sheet column it was read from, so that on "&OK" a column's cells go
 * with its definition: a row inserted in the middle makes an empty column there, a
 * row deleted takes its column and the cells in it.
 */
class ColumnDefModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NumberColumn, TitleColumn, TypeColumn, FormatColumn, AlignmentColumn, HideColumn, ComboColumn,
                  ColumnCount };

    struct Definition
    {
        int number = 0;
        QString title;
        QString type = QStringLiteral("Text");
        QString format;
        QString alignment = QStringLiteral("Left");
        bool hidden = false;
        QString comboList;
        int source = -1; ///< the sheet column it was read from; -1 for a new one
    };

    explicit ColumnDefModel(MainModel& model, QObject* parent = nullptr);

    /** Reads the sheet: its current column only (@p oneColumn), or every column. Grows
     *  the combo lists to the column count first. */
    void open(bool oneColumn);
    bool isOneColumn() const { return m_oneColumn; }
    /** "&All Cols": continues with every column; edits made to the one row stay. */
    void allColumns();

    const std::vector<Definition>& definitions() const { return m_rows; }
    /** The drop-down list offered when @p column of @p row is edited; empty for free text. */
    QStringList dropDownList(int row, int column) const;

    /** A cell was clicked: "&OK" becomes available. */
    void cellClicked();
    bool isOkEnabled() const { return m_okEnabled; }

    /** `cmdCol` 0: a definition row at the end. */
    void appendRow();
    /** `cmdCol` 1 "Insert": an empty row above @p row. */
    void insertRow(int row);
    /** `cmdCol` 2 "Delete": removes @p row. */
    void deleteRow(int row);

    /** "&OK": writes the definitions to the sheet, refreshes and marks the document
     *  modified. */
    void apply();

    // ---- QAbstractTableModel ----------------------------------------------------------
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static QString headerText(int column);
    static int columnWidth(int column); ///< twips

signals:
    void okEnabledChanged(bool enabled);
    void modeChanged(bool oneColumn);

private:
    Definition read(int col) const;
    void setOkEnabled(bool on);
    void renumber();
    void applyDefinition(const Definition& d, int col);

    MainModel& m_model;
    std::vector<Definition> m_rows;
    bool m_oneColumn = false;
    bool m_okEnabled = false;
};

} // namespace quillon
