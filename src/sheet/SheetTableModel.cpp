#include "sheet/SheetTableModel.h"

#include "sheet/RecordSheet.h"
#include "sheet/ValueFormat.h"

#include <QColor>
#include <QFont>

#include <algorithm>

namespace quillon {

SheetTableModel::SheetTableModel(RecordSheet* sheet, QObject* parent)
    : QAbstractTableModel(parent), m_sheet(sheet)
{
    connect(sheet, &RecordSheet::cellsChanged, this, [this](int top, int left, int bottom, int right) {
        if (top == 0)
            emit headerDataChanged(Qt::Horizontal, left, right);
        top = std::max(top, 1);
        if (bottom >= top)
            emit dataChanged(index(top - 1, left), index(bottom - 1, right));
    });
    connect(sheet, &RecordSheet::columnAttributesChanged, this, [this](int first, int last) {
        emit headerDataChanged(Qt::Horizontal, first, last);
        if (rowCount() > 0)
            emit dataChanged(index(0, first), index(rowCount() - 1, last));
    });
    connect(sheet, &RecordSheet::fontChanged, this, [this] {
        emit headerDataChanged(Qt::Horizontal, 0, std::max(columnCount() - 1, 0));
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::FontRole});
    });
    connect(sheet, &RecordSheet::rowHeightsChanged, this, &SheetTableModel::rowHeightsChanged);
    connect(sheet, &RecordSheet::rowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows({}, first - 1, last - 1); });
    connect(sheet, &RecordSheet::rowsInserted, this, [this] { endInsertRows(); });
    connect(sheet, &RecordSheet::rowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows({}, first - 1, last - 1); });
    connect(sheet, &RecordSheet::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(sheet, &RecordSheet::columnsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertColumns({}, first, last); });
    connect(sheet, &RecordSheet::columnsInserted, this, [this] { endInsertColumns(); });
    connect(sheet, &RecordSheet::columnsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveColumns({}, first, last); });
    connect(sheet, &RecordSheet::columnsRemoved, this, [this] { endRemoveColumns(); });
    connect(sheet, &RecordSheet::layoutAboutToBeChanged, this, [this] { emit layoutAboutToBeChanged(); });
    connect(sheet, &RecordSheet::layoutChanged, this, [this] { emit layoutChanged(); });
    connect(sheet, &RecordSheet::aboutToBeReset, this, [this] { beginResetModel(); });
    connect(sheet, &RecordSheet::wasReset, this, [this] { endResetModel(); });
}

int SheetTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_sheet->rows() - 1;
}

int SheetTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_sheet->cols();
}

Qt::Alignment SheetTableModel::alignmentFlags(int code, bool numeric)
{
    switch (code) {
    case AlignLeft:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case AlignCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case AlignRight:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return (numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
}

namespace {

QFont cellFont(const CellStyle& style, int pointSize)
{
    QFont font;
    if (pointSize > 0)
        font.setPointSize(pointSize);
    font.setBold(style.bold());
    font.setItalic(style.italic());
    font.setUnderline(style.underline());
    return font;
}

QVariant styleData(const RecordSheet& sheet, int row, int col, int role)
{
    const CellStyle style = sheet.style(row, col);
    switch (role) {
    case Qt::FontRole:
        if (style.flags & (CellStyle::Bold | CellStyle::Italic | CellStyle::Underline) || sheet.fontPointSize() > 0)
            return cellFont(style, sheet.fontPointSize());
        return {};
    case Qt::BackgroundRole:
        return style.hasBack() ? QVariant(QColor(QRgb(style.back))) : QVariant();
    case Qt::ForegroundRole:
        return style.hasFore() ? QVariant(QColor(QRgb(style.fore))) : QVariant();
    default:
        return {};
    }
}

} // namespace

QVariant SheetTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    const int col = index.column();
    if (row >= m_sheet->rows() || col >= m_sheet->cols())
        return {};
    const ColumnAttributes& column = m_sheet->column(col);
    switch (role) {
    case Qt::DisplayRole: {
        const QString text = m_sheet->text(row, col);
        if (isFormattedType(column.dataType) && !column.format.isEmpty() && !text.isEmpty())
            return FormatValue(text, column.dataType, column.format);
        return text;
    }
    case Qt::EditRole:
        return m_editText ? m_editText(row, col) : m_sheet->text(row, col);
    case RawTextRole:
        return m_sheet->text(row, col);
    case Qt::CheckStateRole:
        if (m_checkBoxesByCell ? m_sheet->checked(row, col) == 0 : column.dataType != TypeCheckbox)
            return {};
        return m_sheet->isChecked(row, col) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole: {
        const int code = m_sheet->effectiveAlignment(row, col);
        if (code == AlignGeneral || code == AlignUnset)
            return QVariant::fromValue(alignmentFlags(code, LooksNumeric(m_sheet->textUtf8(row, col))));
        return QVariant::fromValue(alignmentFlags(code, false));
    }
    case DataTypeRole:
        return column.dataType;
    default:
        return styleData(*m_sheet, row, col, role);
    }
}

bool SheetTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid())
        return false;
    const int row = index.row() + 1;
    const int col = index.column();
    // An editor closed on the text it started from, or a box set as it was, changes nothing.
    if (role == Qt::EditRole) {
        const QString text = value.toString();
        if (text == data(index, Qt::EditRole).toString())
            return true;
        if (m_editHandler) {
            m_editHandler(row, col, text, role);
            return true;
        }
        m_sheet->setText(row, col, text);
    } else if (role == Qt::CheckStateRole) {
        const bool on = value.toInt() == Qt::Checked;
        if (data(index, Qt::CheckStateRole).isValid() && on == m_sheet->isChecked(row, col))
            return true;
        if (m_editHandler) {
            m_editHandler(row, col, on ? int(Qt::Checked) : int(Qt::Unchecked), role);
            return true;
        }
        m_sheet->setChecked(row, col, on ? 1 : (m_checkBoxesByCell ? 2 : 0));
    } else {
        return false;
    }
    emit cellEdited(row, col);
    return true;
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return section + 1;
        return {};
    }
    if (section < 0 || section >= m_sheet->cols())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_sheet->title(section);
    case HeaderPictureRole:
        return int(m_sheet->style(0, section).picture);
    case Qt::TextAlignmentRole: {
        const int own = m_sheet->style(0, section).alignment;
        return own != AlignUnset ? QVariant::fromValue(alignmentFlags(own, false)) : QVariant();
    }
    case DataTypeRole:
        return m_sheet->column(section).dataType;
    default:
        return styleData(*m_sheet, 0, section, role);
    }
}

Qt::ItemFlags SheetTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    const bool box = m_checkBoxesByCell ? m_sheet->checked(index.row() + 1, index.column()) != 0
                                        : m_sheet->column(index.column()).dataType == TypeCheckbox;
    if (box)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

} // namespace quillon
