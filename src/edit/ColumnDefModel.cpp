#include "edit/ColumnDefModel.h"

#include "edit/SheetSteps.h"
#include "shell/MainModel.h"
#include "sheet/SheetTypes.h"

#include <QFont>

namespace quillon {

namespace {

const QStringList& typeNames()
{
    static const QStringList names = QStringLiteral("Checkbox|Date|Money|Number|Text").split(QLatin1Char('|'));
    return names;
}

const QStringList& alignmentNames()
{
    static const QStringList names = QStringLiteral("Left|Center|Right").split(QLatin1Char('|'));
    return names;
}

QStringList formatsFor(const QString& typeName)
{
    if (typeName == QLatin1String("Number"))
        return QStringLiteral("0|0.0|0.00|0.000|0.0000|%|#.00%|#,###|#,###.00").split(QLatin1Char('|'));
    if (typeName == QLatin1String("Money"))
        return QStringLiteral("$#,###|$#,###.00").split(QLatin1Char('|'));
    if (typeName == QLatin1String("Date"))
        return QStringLiteral("mm/dd/yy|mm/dd/yyyy|m/d/yy|m/d/yyyy|dd-Mmm-yyyy|Mmm-dd-yyyy|mm/dd/yy hh:mm|"
                              "mm/dd/yy hh:mm:ss|mm/dd/yy hh:mm AMPM|mm/dd/yy hh:mm:ss AMPM")
            .split(QLatin1Char('|'));
    return {};
}

} // namespace

ColumnDefModel::ColumnDefModel(MainModel& model, QObject* parent) : QAbstractTableModel(parent), m_model(model) {}

QString ColumnDefModel::headerText(int column)
{
    static const char* const texts[ColumnCount] = {"Col",       "Title", "Data Type",
                                                   "Data Format", "Alignment", "Hide",
                                                   "Combo List (Use '|' to separate items)"};
    return column >= 0 && column < ColumnCount ? QLatin1String(texts[column]) : QString();
}

int ColumnDefModel::columnWidth(int column)
{
    static const int widths[ColumnCount] = {500, 1500, 1000, 2000, 1000, 300, 0};
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

ColumnDefModel::Definition ColumnDefModel::read(int col) const
{
    const RecordSheet& sheet = m_model.sheet();
    const ColumnAttributes& a = sheet.column(col);
    Definition d;
    d.number = col + 1;
    d.title = sheet.title(col);
    d.type = DataTypeName(a.dataType);
    d.format = a.format;
    d.alignment = AlignmentName(a.alignment);
    d.hidden = a.hidden;
    d.comboList = m_model.document().ColumnComboLists().value(col);
    d.source = col;
    return d;
}

void ColumnDefModel::open(bool oneColumn)
{
    m_model.document().resizeComboLists(true);
    const RecordSheet& sheet = m_model.sheet();
    beginResetModel();
    m_rows.clear();
    m_oneColumn = oneColumn;
    if (oneColumn) {
        if (sheet.cols() > 0)
            m_rows.push_back(read(sheet.currentCol()));
    } else {
        for (int c = 0; c < sheet.cols(); ++c)
            m_rows.push_back(read(c));
    }
    endResetModel();
    setOkEnabled(false);
    emit modeChanged(oneColumn);
}

void ColumnDefModel::allColumns()
{
    if (!m_oneColumn)
        return;
    const std::vector<Definition> edited = m_rows;
    const RecordSheet& sheet = m_model.sheet();
    beginResetModel();
    m_rows.clear();
    for (int c = 0; c < sheet.cols(); ++c)
        m_rows.push_back(read(c));
    // What was typed for the one column stays.
    for (Definition d : edited) {
        if (d.source >= 0 && d.source < int(m_rows.size())) {
            d.number = d.source + 1;
            m_rows[size_t(d.source)] = d;
        }
    }
    m_oneColumn = false;
    endResetModel();
    emit modeChanged(false);
}

QStringList ColumnDefModel::dropDownList(int row, int column) const
{
    switch (column) {
    case TypeColumn:
        return typeNames();
    case FormatColumn:
        return row >= 0 && row < int(m_rows.size()) ? formatsFor(m_rows[size_t(row)].type) : QStringList();
    case AlignmentColumn:
        return alignmentNames();
    default:
        return {};
    }
}

void ColumnDefModel::setOkEnabled(bool on)
{
    if (on == m_okEnabled)
        return;
    m_okEnabled = on;
    emit okEnabledChanged(on);
}

void ColumnDefModel::cellClicked()
{
    setOkEnabled(true);
}

void ColumnDefModel::renumber()
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i].number = int(i) + 1;
    if (!m_rows.empty())
        emit dataChanged(index(0, NumberColumn), index(int(m_rows.size()) - 1, NumberColumn));
}

void ColumnDefModel::appendRow()
{
    // The column buttons shape the whole sheet: from one column, all columns first.
    allColumns();
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    Definition d;
    d.number = at + 1;
    m_rows.push_back(d);
    endInsertRows();
    setOkEnabled(true);
}

void ColumnDefModel::insertRow(int row)
{
    if (m_oneColumn) {
        const int source = row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].source : -1;
        allColumns();
        row = source >= 0 ? source : row;
    }
    row = std::clamp(row, 0, int(m_rows.size()));
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + row, Definition{});
    endInsertRows();
    renumber();
    setOkEnabled(true);
}

void ColumnDefModel::deleteRow(int row)
{
    if (m_oneColumn) {
        const int source = row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].source : -1;
        allColumns();
        row = source;
    }
    if (row < 0 || row >= int(m_rows.size()))
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    renumber();
    setOkEnabled(true);
}

void ColumnDefModel::applyDefinition(const Definition& d, int col)
{
    RecordSheet& sheet = m_model.sheet();
    sheet.setTitle(col, d.title);
    ColumnAttributes a = sheet.column(col);
    a.dataType = DataTypeCode(d.type);
    a.format = d.format;
    a.alignment = AlignmentCode(d.alignment);
    a.hidden = d.hidden;
    sheet.setColumn(col, a);
    QStringList& lists = m_model.document().ColumnComboLists();
    while (lists.size() <= col)
        lists.append(QString());
    lists[col] = d.comboList;
}

void ColumnDefModel::apply()
{
    RecordSheet& sheet = m_model.sheet();
    Document& doc = m_model.document();
    UndoScope step(m_model, m_oneColumn ? QStringLiteral("Column Attributes") : QStringLiteral("Column Define"));
    if (m_oneColumn) {
        const int col = sheet.currentCol();
        for (const Definition& d : m_rows) {
            if (d.source == col && col < sheet.cols()) {
                step.keepCells({0, col, 0, col}, CellSnapshot::Texts);
                step.add<ColumnAttributesPart>(sheet, col, col);
                applyDefinition(d, col);
                break;
            }
        }
    } else {
        // Columns go with their definitions: a deleted row takes its column and cells,
        // a new row is a new, empty column at its place.
        const int old = sheet.cols();
        std::vector<int> newIndex(size_t(old), -1);
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].source >= 0 && m_rows[i].source < old)
                newIndex[size_t(m_rows[i].source)] = int(i);
        QStringList& lists = doc.ColumnComboLists();
        for (int c = old - 1; c >= 0; --c) {
            if (newIndex[size_t(c)] < 0) {
                step.add<RemoveColumnPart>(sheet, c, sheet.takeColumn(c));
                if (c < lists.size())
                    lists.removeAt(c);
            }
        }
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].source < 0 || m_rows[i].source >= old) {
                sheet.insertColumns(int(i), 1);
                step.add<InsertColumnsPart>(sheet, int(i), 1);
            }
        }
        if (sheet.cols() > 0) {
            step.keepCells({0, 0, 0, sheet.cols() - 1}, CellSnapshot::Texts);
            step.add<ColumnAttributesPart>(sheet, 0, sheet.cols() - 1);
        }
        for (size_t i = 0; i < m_rows.size(); ++i)
            applyDefinition(m_rows[i], int(i));
        while (lists.size() > sheet.cols())
            lists.removeLast();
        const int sorted = doc.SortedColumn();
        doc.setSortedColumn(sorted >= 0 && sorted < old ? newIndex[size_t(sorted)] : -1);
    }
    FormPanel& panel = m_model.formPanel();
    panel.IsFbCol0Populated = false;
    m_model.ResyncFormPanel();
    doc.MakeModified(true);
}

// ---- the grid ---------------------------------------------------------------------------

int ColumnDefModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ColumnDefModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant ColumnDefModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Definition& d = m_rows[size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case NumberColumn:
            return QString::number(d.number);
        case TitleColumn:
            return d.title;
        case TypeColumn:
            return d.type;
        case FormatColumn:
            return d.format;
        case AlignmentColumn:
            return d.alignment;
        case ComboColumn:
            return d.comboList;
        default:
            return {};
        }
    }
    if (role == Qt::CheckStateRole && column == HideColumn)
        return d.hidden ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole) {
        if (column == NumberColumn)
            return int(Qt::AlignCenter);
        if (column == FormatColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role == Qt::FontRole && column == NumberColumn) {
        QFont font;
        font.setBold(true);
        return font;
    }
    return {};
}

bool ColumnDefModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return false;
    Definition& d = m_rows[size_t(index.row())];
    const int column = index.column();
    if (column == HideColumn) {
        if (role != Qt::CheckStateRole)
            return false;
        d.hidden = value.toInt() == Qt::Checked;
    } else if (role == Qt::EditRole || role == Qt::DisplayRole) {
        const QString text = value.toString();
        switch (column) {
        case TitleColumn:
            d.title = text;
            break;
        case TypeColumn:
            d.type = text;
            // Numbers and money are right-aligned and keep their format; other types
            // lose the format, a check box is centred, the rest left-aligned.
            if (text == QLatin1String("Number") || text == QLatin1String("Money")) {
                d.alignment = QStringLiteral("Right");
            } else {
                d.alignment = text == QLatin1String("Checkbox") ? QStringLiteral("Center") : QStringLiteral("Left");
                d.format.clear();
            }
            break;
        case FormatColumn:
            d.format = text;
            break;
        case AlignmentColumn:
            d.alignment = text;
            break;
        case ComboColumn:
            d.comboList = text;
            break;
        default:
            return false;
        }
    } else {
        return false;
    }
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    setOkEnabled(true);
    return true;
}

QVariant ColumnDefModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return headerText(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ColumnDefModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == NumberColumn)
        return base;
    if (index.column() == HideColumn)
        return base | Qt::ItemIsUserCheckable;
    return base | Qt::ItemIsEditable;
}

} // namespace quillon
