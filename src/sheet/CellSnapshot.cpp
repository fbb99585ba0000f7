#include "sheet/CellSnapshot.h"

#include <algorithm>

namespace quillon {

CellSnapshot::Ranges CellSnapshot::rangesOf(const std::vector<int>& ascendingRows)
{
    Ranges out;
    for (int r : ascendingRows) {
        if (!out.empty() && r <= out.back().second + 1)
            out.back().second = std::max(out.back().second, r);
        else
            out.emplace_back(r, r);
    }
    return out;
}

qint64 CellSnapshot::rowCount() const
{
    qint64 n = 0;
    for (const auto& [a, b] : m_rows)
        n += b - a + 1;
    return n;
}

std::vector<int> CellSnapshot::rowList() const
{
    std::vector<int> out;
    out.reserve(size_t(rowCount()));
    for (const auto& [a, b] : m_rows)
        for (int r = a; r <= b; ++r)
            out.push_back(r);
    return out;
}

bool CellSnapshot::hasRow(int row) const
{
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                     [](int r, const std::pair<int, int>& range) { return r < range.first; });
    return it != m_rows.begin() && row <= std::prev(it)->second;
}

std::vector<CellSnapshot::StyledCell> CellSnapshot::readStyles(const RecordSheet& sheet) const
{
    std::vector<StyledCell> out;
    if (columnCount() == 0 || sheet.styledCellCount() == 0)
        return out;
    if (cellCount() <= sheet.styledCellCount()) {
        for (const auto& [a, b] : m_rows)
            for (int r = a; r <= b; ++r)
                for (int c = m_left; c <= m_right; ++c) {
                    const CellStyle s = sheet.style(r, c);
                    if (!s.isPlain())
                        out.push_back({r, c, s});
                }
        return out;
    }
    sheet.forEachStyledCell([&](int r, int c, const CellStyle& s) {
        if (c >= m_left && c <= m_right && hasRow(r))
            out.push_back({r, c, s});
    });
    std::sort(out.begin(), out.end(),
              [](const StyledCell& x, const StyledCell& y) { return std::pair(x.row, x.col) < std::pair(y.row, y.col); });
    return out;
}

std::vector<std::pair<int, int>> CellSnapshot::readHeights(const RecordSheet& sheet) const
{
    std::vector<std::pair<int, int>> out;
    const auto& heights = sheet.rowHeights();
    if (heights.empty())
        return out;
    if (rowCount() <= qint64(heights.size())) {
        for (const auto& [a, b] : m_rows)
            for (int r = a; r <= b; ++r)
                if (heights.count(r))
                    out.emplace_back(r, heights.at(r));
        return out;
    }
    for (const auto& [r, h] : heights)
        if (hasRow(r))
            out.emplace_back(r, h);
    return out;
}

CellSnapshot CellSnapshot::read(const RecordSheet& sheet, Ranges rows, int left, int right, int parts)
{
    CellSnapshot s;
    for (auto& [a, b] : rows) {
        a = std::max(a, 0);
        b = std::min(b, sheet.rows() - 1);
    }
    std::erase_if(rows, [](const auto& r) { return r.first > r.second; });
    s.m_rows = std::move(rows);
    s.m_left = std::max(left, 0);
    s.m_right = std::min(right, sheet.cols() - 1);
    s.m_parts = parts;
    s.m_hasContents = true;
    if (parts & Texts) {
        const int columns = s.columnCount();
        const qint64 cells = s.rowCount();
        s.m_texts.resize(size_t(columns));
        s.m_ends.resize(size_t(columns));
        for (int i = 0; i < columns; ++i) {
            const TextColumn& column = sheet.textColumn(s.m_left + i);
            // Measured first, so that each column takes the memory it needs and no more.
            qint64 bytes = 0;
            for (const auto& [a, b] : s.m_rows)
                for (int r = a; r <= b; ++r)
                    bytes += column.utf8(r).size();
            QByteArray& texts = s.m_texts[size_t(i)];
            texts.reserve(bytes);
            std::vector<uint32_t>& ends = s.m_ends[size_t(i)];
            ends.reserve(size_t(cells));
            for (const auto& [a, b] : s.m_rows) {
                for (int r = a; r <= b; ++r) {
                    const QByteArrayView text = column.utf8(r);
                    if (!text.isEmpty())
                        texts.append(text.data(), text.size());
                    ends.push_back(uint32_t(texts.size()));
                }
            }
        }
    }
    if (parts & Styles)
        s.m_styles = s.readStyles(sheet);
    if (parts & Heights)
        s.m_heights = s.readHeights(sheet);
    return s;
}

QByteArrayView CellSnapshot::text(int column, qint64 index) const
{
    const std::vector<uint32_t>& ends = m_ends[size_t(column)];
    const uint32_t end = ends[size_t(index)];
    const uint32_t start = index == 0 ? 0 : ends[size_t(index) - 1];
    return QByteArrayView(m_texts[size_t(column)].constData() + start, qsizetype(end - start));
}

void CellSnapshot::write(RecordSheet& sheet) const
{
    if (!m_hasContents)
        return;
    RecordSheet::Batch batch(sheet);
    const int columns = std::min(columnCount(), sheet.cols() - m_left);
    if (m_parts & Texts) {
        for (int i = 0; i < columns; ++i) {
            qint64 index = 0;
            for (const auto& [a, b] : m_rows)
                for (int r = a; r <= b; ++r, ++index)
                    if (r < sheet.rows())
                        sheet.setTextUtf8(r, m_left + i, text(i, index));
        }
    }
    if ((m_parts & Styles) && columns > 0) {
        for (const StyledCell& cell : readStyles(sheet))
            sheet.setStyle(cell.row, cell.col, CellStyle{});
        for (const StyledCell& cell : m_styles)
            if (cell.row < sheet.rows() && cell.col < sheet.cols())
                sheet.setStyle(cell.row, cell.col, cell.style);
    }
    if (m_parts & Heights) {
        for (const auto& [row, height] : readHeights(sheet))
            sheet.setRowHeight(row, sheet.defaultRowHeight());
        for (const auto& [row, height] : m_heights)
            if (row < sheet.rows())
                sheet.setRowHeight(row, height);
    }
}

void CellSnapshot::swapWith(RecordSheet& sheet)
{
    CellSnapshot now = read(sheet, m_rows, m_left, m_right, m_parts);
    write(sheet);
    *this = std::move(now);
}

bool CellSnapshot::matches(const RecordSheet& sheet) const
{
    if (!m_hasContents)
        return false;
    if (m_parts & Texts) {
        for (int i = 0; i < columnCount(); ++i) {
            if (m_left + i >= sheet.cols())
                return false;
            const TextColumn& column = sheet.textColumn(m_left + i);
            qint64 index = 0;
            for (const auto& [a, b] : m_rows)
                for (int r = a; r <= b; ++r, ++index)
                    if (r >= sheet.rows() || column.utf8(r) != text(i, index))
                        return false;
        }
    }
    if ((m_parts & Styles) && readStyles(sheet) != m_styles)
        return false;
    if ((m_parts & Heights) && readHeights(sheet) != m_heights)
        return false;
    return true;
}

void CellSnapshot::clearContents()
{
    m_hasContents = false;
    m_texts = {};
    m_ends = {};
    m_styles = {};
    m_heights = {};
}

qint64 CellSnapshot::memoryBytes() const
{
    qint64 n = qint64(sizeof(*this)) + qint64(m_rows.capacity() * sizeof(m_rows[0]));
    for (const QByteArray& t : m_texts)
        n += qint64(sizeof(QByteArray)) + t.capacity();
    for (const auto& e : m_ends)
        n += qint64(sizeof(e) + e.capacity() * sizeof(uint32_t));
    n += qint64(m_styles.capacity() * sizeof(StyledCell) + m_heights.capacity() * sizeof(m_heights[0]));
    return n;
}

} // namespace quillon
