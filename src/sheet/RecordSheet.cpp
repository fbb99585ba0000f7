#include "sheet/RecordSheet.h"

#include "sheet/ParallelWork.h"

#include <algorithm>

namespace quillon {

RecordSheet::RecordSheet(QObject* parent) : QObject(parent) {}

RecordSheet::~RecordSheet() = default;

// ---- notifications --------------------------------------------------------------

void RecordSheet::touch(int top, int left, int bottom, int right)
{
    if (bottom < top || right < left)
        return;
    if (m_batchDepth > 0) {
        m_dirty = m_dirty.united({top, left, bottom, right});
        return;
    }
    emit cellsChanged(top, left, bottom, right);
}

void RecordSheet::endBatch()
{
    if (--m_batchDepth > 0 || m_dirty.isEmpty())
        return;
    const CellRect r = clip(m_dirty);
    m_dirty = {};
    if (!r.isEmpty())
        emit cellsChanged(r.top, r.left, r.bottom, r.right);
}

CellRect RecordSheet::clip(const CellRect& rect) const
{
    return {std::max(rect.top, 0), std::max(rect.left, 0), std::min(rect.bottom, m_rows - 1),
            std::min(rect.right, cols() - 1)};
}

// ---- size -----------------------------------------------------------------------

void RecordSheet::setRows(int rows)
{
    rows = std::max(rows, 1);
    if (rows == m_rows)
        return;
    if (rows > m_rows) {
        const int first = m_rows;
        emit rowsAboutToBeInserted(first, rows - 1);
        for (auto& c : m_columns)
            c.resize(rows);
        m_rows = rows;
        clampCursor();
        emit rowsInserted(first, rows - 1);
    } else {
        const int first = rows;
        const int last = m_rows - 1;
        emit rowsAboutToBeRemoved(first, last);
        for (auto& c : m_columns)
            c.resize(rows);
        m_rows = rows;
        remapRows([rows](int r) { return r < rows ? r : -1; });
        clampCursor();
        emit rowsRemoved(first, last);
    }
}

void RecordSheet::setCols(int cols)
{
    cols = std::max(cols, 0);
    const int old = this->cols();
    if (cols == old)
        return;
    if (cols > old) {
        emit columnsAboutToBeInserted(old, cols - 1);
        m_columns.resize(size_t(cols), TextColumn(m_rows));
        m_attributes.resize(size_t(cols));
        clampCursor();
        emit columnsInserted(old, cols - 1);
    } else {
        emit columnsAboutToBeRemoved(cols, old - 1);
        m_columns.resize(size_t(cols));
        m_attributes.resize(size_t(cols));
        remapColumns([cols](int c) { return c < cols ? c : -1; });
        clampCursor();
        emit columnsRemoved(cols, old - 1);
    }
}

// ---- text -----------------------------------------------------------------------

QString RecordSheet::text(int row, int col) const
{
    const QByteArrayView v = textUtf8(row, col);
    return v.isEmpty() ? QString() : QString::fromUtf8(v);
}

void RecordSheet::setText(int row, int col, const QString& text)
{
    setTextUtf8(row, col, text.toUtf8());
}

void RecordSheet::setTextUtf8Slow(int row, int col, QByteArrayView text)
{
    TextColumn& column = m_columns[size_t(col)];
    if (column.utf8(row) == text)
        return;
    column.set(row, text);
    touch(row, col, row, col);
}

void RecordSheet::clearTexts(const CellRect& rect)
{
    const CellRect r = clip(rect);
    if (r.isEmpty())
        return;
    for (int c = r.left; c <= r.right; ++c)
        for (int row = r.top; row <= r.bottom; ++row)
            m_columns[size_t(c)].clear(row);
    touch(r);
}

// ---- styles ---------------------------------------------------------------------

CellStyle RecordSheet::style(int row, int col) const
{
    return m_styles.value(styleKey(row, col));
}

std::vector<std::pair<quint64, CellStyle>> RecordSheet::styledCells() const
{
    std::vector<std::pair<quint64, CellStyle>> out;
    out.reserve(size_t(m_styles.size()));
    for (auto it = m_styles.cbegin(); it != m_styles.cend(); ++it)
        out.emplace_back(it.key(), it.value());
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}

void RecordSheet::storeStyle(int row, int col, const CellStyle& style)
{
    if (style.isPlain())
        m_styles.remove(styleKey(row, col));
    else
        m_styles.insert(styleKey(row, col), style);
}

void RecordSheet::setStyle(int row, int col, const CellStyle& style)
{
    if (this->style(row, col) == style)
        return;
    storeStyle(row, col, style);
    touch(row, col, row, col);
}

template<typename F> void RecordSheet::editStyles(const CellRect& rect, F&& edit)
{
    const CellRect r = clip(rect);
    if (r.isEmpty())
        return;
    for (int row = r.top; row <= r.bottom; ++row) {
        for (int c = r.left; c <= r.right; ++c) {
            CellStyle s = style(row, c);
            edit(s);
            storeStyle(row, c, s);
        }
    }
    touch(r);
}

void RecordSheet::setChecked(int row, int col, int state)
{
    CellStyle s = style(row, col);
    s.checked = int8_t(std::clamp(state, -128, 127));
    setStyle(row, col, s);
}

void RecordSheet::setFontFlag(const CellRect& rect, CellStyle::Flag flag, bool on)
{
    editStyles(rect, [flag, on](CellStyle& s) {
        s.flags = on ? uint8_t(s.flags | flag) : uint8_t(s.flags & ~flag);
    });
}

void RecordSheet::setBackColor(const CellRect& rect, Rgb color)
{
    editStyles(rect, [color](CellStyle& s) {
        s.back = color & 0xffffffu;
        s.flags |= CellStyle::HasBack;
    });
}

void RecordSheet::setForeColor(const CellRect& rect, Rgb color)
{
    editStyles(rect, [color](CellStyle& s) {
        s.fore = color & 0xffffffu;
        s.flags |= CellStyle::HasFore;
    });
}

void RecordSheet::setCellAlignment(const CellRect& rect, int alignment)
{
    editStyles(rect, [alignment](CellStyle& s) { s.alignment = uint8_t(std::clamp(alignment, 0, 255)); });
}

void RecordSheet::setHeaderPicture(int col, HeaderPicture picture)
{
    editStyles({0, col, 0, col}, [picture](CellStyle& s) { s.picture = picture; });
}

void RecordSheet::clearStyles(const CellRect& rect)
{
    const CellRect r = clip(rect);
    if (r.isEmpty())
        return;
    if (qsizetype(r.rowCount()) * r.columnCount() > m_styles.size()) {
        for (auto it = m_styles.begin(); it != m_styles.end();) {
            if (r.contains(styleKeyRow(it.key()), styleKeyCol(it.key())))
                it = m_styles.erase(it);
            else
                ++it;
        }
    } else {
        for (int row = r.top; row <= r.bottom; ++row)
            for (int c = r.left; c <= r.right; ++c)
                m_styles.remove(styleKey(row, c));
    }
    touch(r);
}

// ---- columns --------------------------------------------------------------------

void RecordSheet::setColumn(int col, const ColumnAttributes& attributes)
{
    if (m_attributes[size_t(col)] == attributes)
        return;
    m_attributes[size_t(col)] = attributes;
    emit columnAttributesChanged(col, col);
}

void RecordSheet::setColumnDataType(int col, int type)
{
    ColumnAttributes a = column(col);
    a.dataType = type;
    setColumn(col, a);
}

void RecordSheet::setColumnFormat(int col, const QString& format)
{
    ColumnAttributes a = column(col);
    a.format = format;
    setColumn(col, a);
}

void RecordSheet::setColumnAlignment(int col, int alignment)
{
    ColumnAttributes a = column(col);
    a.alignment = alignment;
    setColumn(col, a);
}

void RecordSheet::setColumnHidden(int col, bool hidden)
{
    ColumnAttributes a = column(col);
    a.hidden = hidden;
    setColumn(col, a);
}

void RecordSheet::setColumnWidth(int col, int twips)
{
    ColumnAttributes a = column(col);
    a.width = std::max(twips, 0);
    setColumn(col, a);
}

int RecordSheet::effectiveAlignment(int row, int col) const
{
    const int own = style(row, col).alignment;
    return own != AlignUnset ? own : column(col).alignment;
}

// ---- row heights ----------------------------------------------------------------

int RecordSheet::rowHeight(int row) const
{
    const auto it = m_rowHeights.find(row);
    return it == m_rowHeights.end() ? m_defaultRowHeight : it->second;
}

void RecordSheet::setRowHeight(int row, int twips)
{
    twips = std::max(twips, 0);
    if (rowHeight(row) == twips)
        return;
    if (twips == m_defaultRowHeight)
        m_rowHeights.erase(row);
    else
        m_rowHeights[row] = twips;
    emit rowHeightsChanged(row, row);
}

void RecordSheet::setDefaultRowHeight(int twips)
{
    twips = std::max(twips, 0);
    if (twips == m_defaultRowHeight)
        return;
    // Rows that had the old default keep it as an exception of their own only when
    // they were set explicitly; the default itself moves for all others.
    m_defaultRowHeight = twips;
    std::erase_if(m_rowHeights, [twips](const auto& e) { return e.second == twips; });
    emit rowHeightsChanged(0, m_rows - 1);
}

void RecordSheet::setFontPointSize(int points)
{
    points = std::clamp(points, 0, 400);
    if (points == m_fontPointSize)
        return;
    m_fontPointSize = points;
    emit fontChanged();
}

// ---- structure ------------------------------------------------------------------

template<typename F> void RecordSheet::remapRows(F&& newRow)
{
    if (!m_styles.isEmpty()) {
        QHash<quint64, CellStyle> moved;
        moved.reserve(m_styles.size());
        for (auto it = m_styles.cbegin(); it != m_styles.cend(); ++it) {
            const int r = styleKeyRow(it.key());
            const int to = r == 0 ? 0 : newRow(r);
            if (to >= 0)
                moved.insert(styleKey(to, styleKeyCol(it.key())), it.value());
        }
        m_styles.swap(moved);
    }
    if (!m_rowHeights.empty()) {
        std::map<int, int> moved;
        for (const auto& [r, h] : m_rowHeights) {
            const int to = r == 0 ? 0 : newRow(r);
            if (to >= 0)
                moved.emplace(to, h);
        }
        m_rowHeights.swap(moved);
    }
}

template<typename F> void RecordSheet::remapColumns(F&& newCol)
{
    if (m_styles.isEmpty())
        return;
    QHash<quint64, CellStyle> moved;
    moved.reserve(m_styles.size());
    for (auto it = m_styles.cbegin(); it != m_styles.cend(); ++it) {
        const int to = newCol(styleKeyCol(it.key()));
        if (to >= 0)
            moved.insert(styleKey(styleKeyRow(it.key()), to), it.value());
    }
    m_styles.swap(moved);
}

void RecordSheet::insertRows(int pos, int count)
{
    pos = std::clamp(pos, 1, m_rows);
    if (count <= 0)
        return;
    emit rowsAboutToBeInserted(pos, pos + count - 1);
    for (auto& c : m_columns)
        c.insertRows(pos, count);
    m_rows += count;
    remapRows([pos, count](int r) { return r >= pos ? r + count : r; });
    if (m_row >= pos)
        m_row += count;
    clampCursor();
    emit rowsInserted(pos, pos + count - 1);
}

void RecordSheet::removeRows(int pos, int count)
{
    if (pos < 1 || count <= 0 || pos >= m_rows)
        return;
    count = std::min(count, m_rows - pos);
    const int last = pos + count - 1;
    emit rowsAboutToBeRemoved(pos, last);
    for (auto& c : m_columns)
        c.removeRows(pos, count);
    m_rows -= count;
    remapRows([pos, last, count](int r) { return r < pos ? r : (r <= last ? -1 : r - count); });
    if (m_row > last)
        m_row -= count;
    clampCursor();
    emit rowsRemoved(pos, last);
}

void RecordSheet::removeRowSet(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](int r) { return r < 1 || r >= m_rows; });
    if (rows.empty())
        return;
    if (rows.back() - rows.front() + 1 == int(rows.size())) {
        removeRows(rows.front(), int(rows.size()));
        return;
    }
    emit aboutToBeReset();
    for (auto& c : m_columns)
        c.removeRowSet(rows);
    m_rows -= int(rows.size());
    remapRows([&rows](int r) {
        const auto it = std::lower_bound(rows.begin(), rows.end(), r);
        if (it != rows.end() && *it == r)
            return -1;
        return r - int(it - rows.begin());
    });
    const auto below = std::lower_bound(rows.begin(), rows.end(), m_row);
    m_row -= int(below - rows.begin());
    clampCursor();
    emit wasReset();
}

void RecordSheet::insertRowSet(const std::vector<int>& positions)
{
    const int count = int(positions.size());
    if (count == 0)
        return;
    for (int i = 0; i < count; ++i) {
        if (positions[size_t(i)] < 1 || positions[size_t(i)] > m_rows - 1 + count ||
            (i > 0 && positions[size_t(i)] <= positions[size_t(i) - 1]))
            return;
    }
    if (positions.back() - positions.front() + 1 == count) {
        insertRows(positions.front(), count);
        return;
    }
    emit aboutToBeReset();
    for (auto& c : m_columns)
        c.insertRowSet(positions);
    m_rows += count;
    // An old row moves down by the number of inserted rows that come before it: position
    // i stands before old row positions[i] - i.
    std::vector<int> before(positions.size());
    for (size_t i = 0; i < positions.size(); ++i)
        before[i] = positions[i] - int(i);
    const auto shifted = [&before](int r) {
        return r + int(std::upper_bound(before.begin(), before.end(), r) - before.begin());
    };
    remapRows(shifted);
    if (m_row >= 1)
        m_row = shifted(m_row);
    clampCursor();
    emit wasReset();
}

void RecordSheet::moveRow(int from, int to)
{
    if (from < 1 || to < 1 || from >= m_rows || to >= m_rows || from == to)
        return;
    for (auto& c : m_columns)
        c.moveRow(from, to);
    remapRows([from, to](int r) {
        if (r == from)
            return to;
        if (from < to && r > from && r <= to)
            return r - 1;
        if (to < from && r >= to && r < from)
            return r + 1;
        return r;
    });
    const int lo = std::min(from, to);
    const int hi = std::max(from, to);
    touch(lo, 0, hi, cols() - 1);
    emit rowHeightsChanged(lo, hi);
}

void RecordSheet::insertColumns(int pos, int count)
{
    pos = std::clamp(pos, 0, cols());
    if (count <= 0)
        return;
    emit columnsAboutToBeInserted(pos, pos + count - 1);
    m_columns.insert(m_columns.begin() + pos, size_t(count), TextColumn(m_rows));
    m_attributes.insert(m_attributes.begin() + pos, size_t(count), ColumnAttributes{});
    remapColumns([pos, count](int c) { return c >= pos ? c + count : c; });
    if (m_col >= pos && cols() > count)
        m_col += count;
    clampCursor();
    emit columnsInserted(pos, pos + count - 1);
}

void RecordSheet::removeColumns(int pos, int count)
{
    if (pos < 0 || count <= 0 || pos >= cols())
        return;
    count = std::min(count, cols() - pos);
    const int last = pos + count - 1;
    emit columnsAboutToBeRemoved(pos, last);
    m_columns.erase(m_columns.begin() + pos, m_columns.begin() + last + 1);
    m_attributes.erase(m_attributes.begin() + pos, m_attributes.begin() + last + 1);
    remapColumns([pos, last, count](int c) { return c < pos ? c : (c <= last ? -1 : c - count); });
    if (m_col > last)
        m_col -= count;
    clampCursor();
    emit columnsRemoved(pos, last);
}

void RecordSheet::moveColumn(int from, int to)
{
    const int n = cols();
    if (from < 0 || to < 0 || from >= n || to >= n || from == to)
        return;
    emit layoutAboutToBeChanged();
    const auto rot = [from, to](auto& v) {
        auto it = v.begin();
        if (from < to)
            std::rotate(it + from, it + from + 1, it + to + 1);
        else
            std::rotate(it + to, it + from, it + from + 1);
    };
    rot(m_columns);
    rot(m_attributes);
    remapColumns([from, to](int c) {
        if (c == from)
            return to;
        if (from < to && c > from && c <= to)
            return c - 1;
        if (to < from && c >= to && c < from)
            return c + 1;
        return c;
    });
    emit layoutChanged();
    emit columnAttributesChanged(std::min(from, to), std::max(from, to));
}

ColumnPiece RecordSheet::takeColumn(int pos)
{
    ColumnPiece piece;
    if (pos < 0 || pos >= cols())
        return piece;
    piece.attributes = m_attributes[size_t(pos)];
    for (auto it = m_styles.cbegin(); it != m_styles.cend(); ++it)
        if (styleKeyCol(it.key()) == pos)
            piece.styles.emplace_back(styleKeyRow(it.key()), it.value());
    std::sort(piece.styles.begin(), piece.styles.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    piece.texts = std::move(m_columns[size_t(pos)]);
    removeColumns(pos, 1);
    return piece;
}

void RecordSheet::putColumn(int pos, ColumnPiece piece)
{
    pos = std::clamp(pos, 0, cols());
    if (piece.texts.rowCount() != m_rows)
        piece.texts.resize(m_rows);
    emit columnsAboutToBeInserted(pos, pos);
    m_columns.insert(m_columns.begin() + pos, std::move(piece.texts));
    m_attributes.insert(m_attributes.begin() + pos, std::move(piece.attributes));
    remapColumns([pos](int c) { return c >= pos ? c + 1 : c; });
    for (const auto& [row, style] : piece.styles)
        if (row >= 0 && row < m_rows)
            storeStyle(row, pos, style);
    if (m_col >= pos && cols() > 1)
        ++m_col;
    clampCursor();
    emit columnsInserted(pos, pos);
}

void RecordSheet::applyRecordOrder(std::span<const int> order)
{
    if (int(order.size()) != m_rows - 1 || order.empty())
        return;
    emit layoutAboutToBeChanged();
    std::vector<int> full(static_cast<size_t>(m_rows));
    full[0] = 0;
    std::copy(order.begin(), order.end(), full.begin() + 1);
    for (auto& c : m_columns)
        c.permute(full);
    if (!m_styles.isEmpty() || !m_rowHeights.empty()) {
        std::vector<int> inverse(static_cast<size_t>(m_rows));
        for (size_t i = 0; i < full.size(); ++i)
            inverse[size_t(full[i])] = int(i);
        remapRows([&inverse](int r) { return inverse[size_t(r)]; });
    }
    emit layoutChanged();
}

void RecordSheet::clearAll()
{
    emit aboutToBeReset();
    for (auto& c : m_columns)
        c.clearAll();
    for (auto& a : m_attributes)
        a = ColumnAttributes{};
    m_styles.clear();
    m_rowHeights.clear();
    m_defaultRowHeight = kDefaultRowHeight;
    m_fontPointSize = 0;
    clampCursor();
    emit wasReset();
}

void RecordSheet::swapContents(RecordSheet& other)
{
    emit aboutToBeReset();
    emit other.aboutToBeReset();
    std::swap(m_rows, other.m_rows);
    m_columns.swap(other.m_columns);
    m_attributes.swap(other.m_attributes);
    m_styles.swap(other.m_styles);
    m_rowHeights.swap(other.m_rowHeights);
    std::swap(m_defaultRowHeight, other.m_defaultRowHeight);
    std::swap(m_fontPointSize, other.m_fontPointSize);
    m_row = m_col = 0;
    other.m_row = other.m_col = 0;
    clampCursor();
    other.clampCursor();
    emit other.wasReset();
    emit wasReset();
}

void RecordSheet::copyContentsFrom(const RecordSheet& other)
{
    if (&other == this)
        return;
    emit aboutToBeReset();
    m_rows = other.m_rows;
    m_columns = other.m_columns;
    m_attributes = other.m_attributes;
    m_styles = other.m_styles;
    m_rowHeights = other.m_rowHeights;
    m_defaultRowHeight = other.m_defaultRowHeight;
    m_fontPointSize = other.m_fontPointSize;
    clampCursor();
    emit wasReset();
}

void RecordSheet::snapshotContentsFrom(const RecordSheet& other)
{
    if (&other == this)
        return;
    emit aboutToBeReset();
    std::vector<TextColumn> columns(other.m_columns.size());
    const size_t parts = qint64(other.m_rows) * qint64(other.m_columns.size()) >= 1'000'000 ? WorkerCount() : 1;
    RunInParallel(parts, [&](size_t part, size_t count) {
        for (size_t c = part; c < columns.size(); c += count)
            columns[c].copyStorage(other.m_columns[c]);
    });
    m_rows = other.m_rows;
    m_columns = std::move(columns);
    m_attributes = other.m_attributes;
    m_styles = other.m_styles;
    m_rowHeights = other.m_rowHeights;
    m_defaultRowHeight = other.m_defaultRowHeight;
    m_fontPointSize = other.m_fontPointSize;
    clampCursor();
    emit wasReset();
}

// ---- cursor and selection -------------------------------------------------------

void RecordSheet::clampCursor()
{
    const int oldRow = m_row;
    const int oldCol = m_col;
    collapseSelection();
    if (oldRow != m_row || oldCol != m_col)
        emit cursorChanged(m_row, m_col);
    emit selectionChanged();
}

void RecordSheet::collapseSelection()
{
    m_row = m_rows > 1 ? std::clamp(m_row, 1, m_rows - 1) : 0;
    m_col = cols() > 0 ? std::clamp(m_col, 0, cols() - 1) : 0;
    m_rowSel = m_row;
    m_colSel = m_col;
    m_selectedRows.clear();
    if (m_mode == SelectionMode::Rows && m_row >= 1)
        m_selectedRows.emplace_back(m_row, m_row);
}

void RecordSheet::setCurrentCell(int row, int col)
{
    const int oldRow = m_row;
    const int oldCol = m_col;
    m_row = row;
    m_col = col;
    collapseSelection();
    if (oldRow != m_row || oldCol != m_col)
        emit cursorChanged(m_row, m_col);
    emit selectionChanged();
}

void RecordSheet::selectBlock(int row, int col, int rowSel, int colSel)
{
    const auto clampRow = [this](int r) { return m_rows > 1 ? std::clamp(r, 1, m_rows - 1) : 0; };
    const auto clampCol = [this](int c) { return cols() > 0 ? std::clamp(c, 0, cols() - 1) : 0; };
    const bool moved = clampRow(row) != m_row || clampCol(col) != m_col;
    m_row = clampRow(row);
    m_col = clampCol(col);
    m_rowSel = clampRow(rowSel);
    m_colSel = clampCol(colSel);
    m_selectedRows.clear();
    if (m_mode == SelectionMode::Rows && m_row >= 1)
        m_selectedRows.emplace_back(std::min(m_row, m_rowSel), std::max(m_row, m_rowSel));
    if (moved)
        emit cursorChanged(m_row, m_col);
    emit selectionChanged();
}

CellRect RecordSheet::selectedBlock() const
{
    if (cols() == 0)
        return {};
    if (m_mode == SelectionMode::Rows)
        return {std::min(m_row, m_rowSel), 0, std::max(m_row, m_rowSel), cols() - 1};
    return {std::min(m_row, m_rowSel), std::min(m_col, m_colSel), std::max(m_row, m_rowSel),
            std::max(m_col, m_colSel)};
}

void RecordSheet::setSelectionMode(SelectionMode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    m_selectedRows.clear();
    if (m_mode == SelectionMode::Rows && m_row >= 1)
        m_selectedRows.emplace_back(std::min(m_row, m_rowSel), std::max(m_row, m_rowSel));
    emit selectionChanged();
}

std::vector<std::pair<int, int>> RecordSheet::mergedRowRanges(std::vector<std::pair<int, int>> ranges) const
{
    for (auto& [a, b] : ranges) {
        if (a > b)
            std::swap(a, b);
        a = std::max(a, 1);
        b = std::min(b, m_rows - 1);
    }
    std::erase_if(ranges, [](const auto& r) { return r.first > r.second; });
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<int, int>> merged;
    for (const auto& r : ranges) {
        if (!merged.empty() && r.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    return merged;
}

void RecordSheet::setSelectedRows(std::vector<std::pair<int, int>> ranges)
{
    m_selectedRows = mergedRowRanges(std::move(ranges));
    if (!m_selectedRows.empty())
        m_rowSel = m_selectedRows.back().second;
    emit selectionChanged();
}

void RecordSheet::setSelection(int row, int col, int rowSel, int colSel, std::vector<std::pair<int, int>> ranges)
{
    const auto clampRow = [this](int r) { return m_rows > 1 ? std::clamp(r, 1, m_rows - 1) : 0; };
    const auto clampCol = [this](int c) { return cols() > 0 ? std::clamp(c, 0, cols() - 1) : 0; };
    const bool moved = clampRow(row) != m_row || clampCol(col) != m_col;
    m_row = clampRow(row);
    m_col = clampCol(col);
    m_rowSel = clampRow(rowSel);
    m_colSel = clampCol(colSel);
    m_selectedRows.clear();
    if (m_mode == SelectionMode::Rows && m_row >= 1)
        m_selectedRows = mergedRowRanges(std::move(ranges));
    if (moved)
        emit cursorChanged(m_row, m_col);
    emit selectionChanged();
}

int RecordSheet::selectedRowCount() const
{
    if (m_mode == SelectionMode::Block)
        return m_row >= 1 ? std::abs(m_rowSel - m_row) + 1 : 0;
    int n = 0;
    for (const auto& [a, b] : m_selectedRows)
        n += b - a + 1;
    return n;
}

int RecordSheet::selectedRow(int i) const
{
    if (m_mode == SelectionMode::Block)
        return std::min(m_row, m_rowSel) + i;
    for (const auto& [a, b] : m_selectedRows) {
        if (i <= b - a)
            return a + i;
        i -= b - a + 1;
    }
    return -1;
}

std::vector<int> RecordSheet::selectedRowList() const
{
    std::vector<int> out;
    out.reserve(size_t(selectedRowCount()));
    if (m_mode == SelectionMode::Block) {
        if (m_row >= 1)
            for (int r = std::min(m_row, m_rowSel); r <= std::max(m_row, m_rowSel); ++r)
                out.push_back(r);
        return out;
    }
    for (const auto& [a, b] : m_selectedRows)
        for (int r = a; r <= b; ++r)
            out.push_back(r);
    return out;
}

} // namespace quillon
