#include "sheet/FormPanel.h"

#include "sheet/Document.h"
#include "sheet/ValueFormat.h"

namespace quillon {

namespace {
constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kGreen = 0x008000;
} // namespace

FormPanel::FormPanel(Document& document, QObject* parent) : QObject(parent), m_document(document)
{
    m_grid.setCols(2);
    m_grid.setSelectionMode(RecordSheet::SelectionMode::Rows);
}

void FormPanel::SetupFormPanel(int panelWidth)
{
    m_grid.setSelectionMode(RecordSheet::SelectionMode::Rows);
    m_grid.setCols(2);
    m_grid.setColumnWidth(0, 1300);
    m_grid.setColumnWidth(1, 1300);
    m_grid.setColumnAlignment(0, AlignRight);
    m_grid.setColumnAlignment(1, AlignLeft);
    m_grid.setTitle(0, QStringLiteral("Column"));
    m_grid.setTitle(1, QStringLiteral("Value"));
    const CellRect header{0, 0, 0, 1};
    m_grid.setFontFlag(header, CellStyle::Bold, true);
    m_grid.setForeColor(header, kWhite);
    m_grid.setBackColor(header, kGreen);
    m_grid.setCellAlignment(header, AlignCenter);
    fitValueColumn(panelWidth);
}

void FormPanel::fitValueColumn(int panelWidth)
{
    m_grid.setColumnWidth(1, std::max(panelWidth - m_grid.column(0).width, 300));
}

void FormPanel::resync()
{
    m_grid.setRows(m_document.sheet().cols() + 1);
    FillFormPanelTitles();
}

void FormPanel::FillFormPanelTitles()
{
    const RecordSheet& sheet = m_document.sheet();
    if (m_grid.rows() != sheet.cols() + 1)
        m_grid.setRows(sheet.cols() + 1);
    RecordSheet::Batch batch(m_grid);
    for (int c = 0; c < sheet.cols(); ++c) {
        m_grid.setText(c + 1, 0, sheet.title(c));
        m_grid.setCellAlignment({c + 1, 0, c + 1, 0}, AlignRight);
    }
    IsFbCol0Populated = true;
}

void FormPanel::refresh()
{
    if (!m_shown)
        return;
    if (!IsFbCol0Populated || TitlesChanged) {
        FillFormPanelTitles();
        IsFbCol0Populated = true;
        TitlesChanged = false;
    }
    RecordSheet::Batch batch(m_grid);
    for (int c = 0; c < m_document.sheet().cols(); ++c)
        showValue(c);
}

void FormPanel::showValue(int col)
{
    const RecordSheet& sheet = m_document.sheet();
    const int fbRow = col + 1;
    if (fbRow >= m_grid.rows())
        return;
    const int row = sheet.currentRow();
    const ColumnAttributes& attr = sheet.column(col);
    CellStyle style = m_grid.style(fbRow, 1);
    if (attr.dataType == TypeCheckbox) {
        m_grid.setText(fbRow, 1, QString());
        style.checked = int8_t(row >= 1 && sheet.isChecked(row, col) ? 1 : kUncheckedBox);
        m_grid.setStyle(fbRow, 1, style);
        return;
    }
    style.checked = 0;
    m_grid.setStyle(fbRow, 1, style);
    const QString text = row >= 1 ? sheet.text(row, col) : QString();
    m_grid.setText(fbRow, 1, isFormattedType(attr.dataType) ? FormatValue(text, attr.dataType, attr.format) : text);
}

QString FormPanel::editText(int fbRow, int col) const
{
    const RecordSheet& sheet = m_document.sheet();
    const int sheetCol = fbRow - 1;
    if (col != 1 || sheetCol < 0 || sheetCol >= sheet.cols() || sheet.currentRow() < 1)
        return m_grid.text(fbRow, col);
    return sheet.text(sheet.currentRow(), sheetCol);
}

void FormPanel::applyEdit(int fbRow)
{
    RecordSheet& sheet = m_document.sheet();
    const int col = fbRow - 1;
    const int row = sheet.currentRow();
    if (col < 0 || col >= sheet.cols() || row < 1)
        return;
    bool changed = false;
    if (sheet.column(col).dataType == TypeCheckbox) {
        const bool on = m_grid.isChecked(fbRow, 1);
        changed = on != sheet.isChecked(row, col);
        if (changed)
            sheet.setChecked(row, col, on ? 1 : 0);
    } else {
        const QString text = m_grid.text(fbRow, 1);
        changed = text != sheet.text(row, col);
        if (changed)
            sheet.setText(row, col, text);
    }
    showValue(col);
    if (changed)
        m_document.MarkEdited(true);
}

} // namespace quillon
