#include "ui/SheetView.h"

#include "sheet/RecordSheet.h"
#include "sheet/SheetTableModel.h"
#include "ui/Twips.h"

#include <QAbstractItemDelegate>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>

#include <algorithm>
#include <map>

namespace quillon {

namespace {

/** Beyond this many rows a height change is applied by resetting the whole header. */
constexpr int kRowByRowLimit = 512;

const QColor kAlternateGreen(0xC0, 0xFF, 0xC0);

} // namespace

SheetHeader::SheetHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
}

void SheetHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (!model())
        return;
    const int picture = model()->headerData(logicalIndex, orientation(), SheetTableModel::HeaderPictureRole).toInt();
    if (picture != PictureUp && picture != PictureDown)
        return;
    const int size = std::max(5, std::min(rect.height() / 3, 8));
    const int right = rect.right() - 4;
    const int midY = rect.center().y();
    QPainterPath arrow;
    if (picture == PictureUp) {
        arrow.moveTo(right - size, midY + size / 2);
        arrow.lineTo(right, midY + size / 2);
        arrow.lineTo(right - size / 2.0, midY - size / 2);
    } else {
        arrow.moveTo(right - size, midY - size / 2);
        arrow.lineTo(right, midY - size / 2);
        arrow.lineTo(right - size / 2.0, midY + size / 2);
    }
    arrow.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(arrow, palette().color(QPalette::ButtonText));
    painter->restore();
}

SheetView::SheetView(RecordSheet* sheet, QWidget* parent)
    : QTableView(parent), m_sheet(sheet), m_model(new SheetTableModel(sheet, this))
{
    setHorizontalHeader(new SheetHeader(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setMinimumSectionSize(1);
    // A title click is the sort command's, not a column selection.
    disconnect(horizontalHeader(), SIGNAL(sectionPressed(int)), this, SLOT(selectColumn(int)));
    disconnect(horizontalHeader(), SIGNAL(sectionEntered(int)), this, SLOT(_q_selectColumn(int)));
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Typing starts an edit; F2 is the window's (it shows and hides the form panel).
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed);

    // Connected before the model is set, so that these run ahead of the selection
    // model's own handling, which reports the selection of a half-changed model.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, &SheetView::structureAboutToChange);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &SheetView::structureAboutToChange);
    connect(m_model, &QAbstractItemModel::columnsAboutToBeInserted, this, &SheetView::structureAboutToChange);
    connect(m_model, &QAbstractItemModel::columnsAboutToBeRemoved, this, &SheetView::structureAboutToChange);
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, &SheetView::structureAboutToChange);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &SheetView::structureAboutToChange);
    setModel(m_model);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { structureChanged(false, true); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] { structureChanged(false, false); });
    connect(m_model, &QAbstractItemModel::columnsInserted, this, [this] { structureChanged(true, false); });
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, [this] { structureChanged(true, false); });
    connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] { structureChanged(true, true); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { structureChanged(true, true); });

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &SheetView::viewSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &SheetView::viewSelectionChanged);
    connect(sheet, &RecordSheet::selectionChanged, this, &SheetView::syncFromSheet);
    connect(sheet, &RecordSheet::cursorChanged, this, [this] {
        if (!m_syncing)
            m_scrollPending = true;
        syncFromSheet();
    });
    connect(sheet, &RecordSheet::columnAttributesChanged, this, [this] {
        if (m_structural == 0)
            applyColumnLayout();
    });
    connect(sheet, &RecordSheet::rowHeightsChanged, this, [this](int first, int last) {
        if (m_structural == 0)
            applyRowHeights(first, last);
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int size) {
        if (m_applyingLayout || col < 0 || col >= m_sheet->cols())
            return;
        QScopedValueRollback guard(m_applyingLayout, true);
        m_sheet->setColumnWidth(col, Twips::fromPixels(size, this));
    });

    setAlternateColor(false);
    applyColumnLayout();
    applyRowHeights(0, m_sheet->rows() - 1);
    syncFromSheet();
}

SheetView::~SheetView() = default;

void SheetView::setAlternateColor(bool on)
{
    m_alternateColor = on;
    QPalette p = palette();
    p.setColor(QPalette::AlternateBase, on ? kAlternateGreen : p.color(QPalette::Base));
    setPalette(p);
    setAlternatingRowColors(on);
}

void SheetView::applyColumnLayout()
{
    QScopedValueRollback guard(m_applyingLayout, true);
    const double dpi = Twips::dpi(this);
    for (int c = 0; c < m_sheet->cols(); ++c) {
        const ColumnAttributes& a = m_sheet->column(c);
        if (horizontalHeader()->sectionSize(c) != Twips::toPixels(a.width, dpi) && !a.hidden)
            horizontalHeader()->resizeSection(c, Twips::toPixels(a.width, dpi));
        if (isColumnHidden(c) != a.hidden)
            setColumnHidden(c, a.hidden);
    }
}

void SheetView::applyRowHeights(int first, int last)
{
    QHeaderView* header = verticalHeader();
    const double dpi = Twips::dpi(this);
    first = std::max(first, 1);
    last = std::min(last, m_sheet->rows() - 1);
    if (last < first)
        return;
    if (last - first >= kRowByRowLimit) {
        // The header is rebuilt at the most common height, then the rows that differ
        // are sized one by one. Rebuilding costs one pass; each single row costs a pass
        // of the header's own, so the fewer the better.
        const int rows = m_sheet->rows();
        const int sheetDefault = Twips::toPixels(m_sheet->defaultRowHeight(), dpi);
        std::map<int, qsizetype> counts;
        qsizetype exceptions = 0;
        for (const auto& [row, twips] : m_sheet->rowHeights()) {
            if (row >= 1 && row < rows) {
                ++counts[Twips::toPixels(twips, dpi)];
                ++exceptions;
            }
        }
        counts[sheetDefault] += (rows - 1) - exceptions;
        const int common = std::max_element(counts.cbegin(), counts.cend(), [](const auto& a, const auto& b) {
                               return a.second < b.second;
                           })->first;
        if (header->defaultSectionSize() == common)
            header->reset();
        else
            header->setDefaultSectionSize(common);
        const auto& heights = m_sheet->rowHeights();
        if (common == sheetDefault) {
            for (const auto& [row, twips] : heights) {
                const int px = Twips::toPixels(twips, dpi);
                if (row >= 1 && row < rows && px != common)
                    header->resizeSection(row - 1, px);
            }
            return;
        }
        auto next = heights.begin();
        for (int r = 1; r < rows; ++r) {
            while (next != heights.end() && next->first < r)
                ++next;
            const int px = (next != heights.end() && next->first == r) ? Twips::toPixels(next->second, dpi)
                                                                        : sheetDefault;
            if (px != common)
                header->resizeSection(r - 1, px);
        }
        return;
    }
    for (int r = first; r <= last; ++r) {
        const int px = Twips::toPixels(m_sheet->rowHeight(r), dpi);
        if (header->sectionSize(r - 1) != px)
            header->resizeSection(r - 1, px);
    }
}

void SheetView::applySelectionBehaviour()
{
    const bool rows = m_sheet->selectionMode() == RecordSheet::SelectionMode::Rows;
    setSelectionBehavior(rows ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setSelectionMode(rows ? QAbstractItemView::ExtendedSelection : QAbstractItemView::ContiguousSelection);
}

void SheetView::structureAboutToChange()
{
    ++m_structural;
}

void SheetView::structureChanged(bool columns, bool rows)
{
    m_structural = std::max(0, m_structural - 1);
    if (m_structural > 0)
        return;
    if (columns)
        applyColumnLayout();
    if (rows)
        applyRowHeights(0, m_sheet->rows() - 1);
    syncFromSheet();
}

void SheetView::syncFromSheet()
{
    if (m_syncing || m_structural > 0)
        return;
    QScopedValueRollback guard(m_syncing, true);
    applySelectionBehaviour();
    QItemSelectionModel* sm = selectionModel();
    const int rowCount = m_model->rowCount();
    const int colCount = m_model->columnCount();
    if (rowCount == 0 || colCount == 0 || m_sheet->currentRow() < 1) {
        sm->clear();
        return;
    }
    const auto modelRow = [rowCount](int sheetRow) { return std::clamp(sheetRow - 1, 0, rowCount - 1); };
    const auto modelCol = [colCount](int col) { return std::clamp(col, 0, colCount - 1); };

    QItemSelection selection;
    if (m_sheet->selectionMode() == RecordSheet::SelectionMode::Rows) {
        for (const auto& [a, b] : m_sheet->selectedRowRanges())
            selection.append(QItemSelectionRange(m_model->index(modelRow(a), 0),
                                                 m_model->index(modelRow(b), colCount - 1)));
    } else {
        const CellRect block = m_sheet->selectedBlock();
        if (!block.isEmpty())
            selection.append(QItemSelectionRange(m_model->index(modelRow(block.top), modelCol(block.left)),
                                                 m_model->index(modelRow(block.bottom), modelCol(block.right))));
    }
    const QModelIndex current = m_model->index(modelRow(m_sheet->rowSel()), modelCol(m_sheet->colSel()));
    {
        // In row mode the far end of the selection is the row's last column: the view
        // must not scroll there on its own. Where the view goes is decided below.
        const bool autoScrolls = hasAutoScroll();
        setAutoScroll(false);
        sm->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        setAutoScroll(autoScrolls);
    }
    sm->select(selection, QItemSelectionModel::ClearAndSelect);
    if (m_scrollPending) {
        m_scrollPending = false;
        scrollTo(m_model->index(modelRow(m_sheet->currentRow()), modelCol(m_sheet->currentCol())));
    }
}

void SheetView::viewSelectionChanged()
{
    if (m_userStep > 0) {
        m_viewDirty = true;
        return;
    }
    takeViewSelection();
}

template<typename F> void SheetView::asOneStep(F&& handler)
{
    ++m_userStep;
    handler();
    --m_userStep;
    if (m_userStep == 0 && m_viewDirty) {
        m_viewDirty = false;
        takeViewSelection();
    }
}

void SheetView::takeViewSelection()
{
    if (m_syncing || m_structural > 0)
        return;
    RecordSheet& s = *m_sheet;
    if (s.cols() == 0 || s.rows() <= 1)
        return;
    QScopedValueRollback guard(m_syncing, true);
    const QModelIndex cur = selectionModel()->currentIndex();
    const int curRow = cur.isValid() ? cur.row() + 1 : s.currentRow();
    const int curCol = cur.isValid() ? cur.column() : s.currentCol();
    const QItemSelection selection = selectionModel()->selection();
    const int oldRow = s.currentRow();
    const int oldCol = s.currentCol();

    if (s.selectionMode() == RecordSheet::SelectionMode::Rows) {
        std::vector<std::pair<int, int>> ranges;
        ranges.reserve(size_t(selection.size()));
        for (const QItemSelectionRange& r : selection)
            ranges.emplace_back(r.top() + 1, r.bottom() + 1);
        // The anchor is the far end of the run of selected rows the current row ends.
        std::sort(ranges.begin(), ranges.end());
        int anchor = curRow;
        int runStart = -1;
        int runEnd = -1;
        for (const auto& [a, b] : ranges) {
            if (runStart < 0 || a > runEnd + 1) {
                if (runStart >= 0 && curRow >= runStart && curRow <= runEnd)
                    break;
                runStart = a;
                runEnd = b;
            } else {
                runEnd = std::max(runEnd, b);
            }
        }
        if (runStart >= 0 && curRow >= runStart && curRow <= runEnd) {
            if (curRow == runEnd)
                anchor = runStart;
            else if (curRow == runStart)
                anchor = runEnd;
        }
        // Extending a run keeps the current cell where the run started.
        const int col = anchor == curRow ? curCol : oldCol;
        s.setSelection(anchor, col, curRow, curCol, std::move(ranges));
    } else {
        int anchorRow = curRow;
        int anchorCol = curCol;
        for (const QItemSelectionRange& r : selection) {
            if (!r.contains(m_model->index(curRow - 1, curCol)))
                continue;
            anchorRow = (curRow - 1 == r.bottom() ? r.top() : r.bottom()) + 1;
            anchorCol = curCol == r.right() ? r.left() : r.right();
            break;
        }
        s.setSelection(anchorRow, anchorCol, curRow, curCol, {});
    }
    if (s.currentRow() != oldRow || s.currentCol() != oldCol)
        emit cursorMovedByUser();
}

void SheetView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    emit focusEntered();
}

void SheetView::mousePressEvent(QMouseEvent* event)
{
    // The right button keeps the selection: it opens the menu that acts on it.
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    asOneStep([&] { QTableView::mousePressEvent(event); });
}

void SheetView::mouseMoveEvent(QMouseEvent* event)
{
    asOneStep([&] { QTableView::mouseMoveEvent(event); });
}

void SheetView::mouseDoubleClickEvent(QMouseEvent* event)
{
    asOneStep([&] { QTableView::mouseDoubleClickEvent(event); });
}

void SheetView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (state() != QAbstractItemView::EditingState) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
                moveByKey(modifiers == Qt::ShiftModifier ? Qt::Key_Up : Qt::Key_Down);
                event->accept();
                return;
            }
            break;
        case Qt::Key_Delete:
            if (modifiers == Qt::NoModifier) {
                emit deletePressed();
                event->accept();
                return;
            }
            break;
        case Qt::Key_Home:
        case Qt::Key_End:
            if (modifiers == Qt::ControlModifier) {
                moveToRow(event->key() == Qt::Key_Home ? 0 : m_model->rowCount() - 1);
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    asOneStep([&] { QTableView::keyPressEvent(event); });
}

void SheetView::moveByKey(int key)
{
    QKeyEvent move(QEvent::KeyPress, key, Qt::NoModifier);
    asOneStep([&] { QTableView::keyPressEvent(&move); });
}

void SheetView::moveToRow(int modelRow)
{
    if (modelRow < 0 || m_model->columnCount() == 0)
        return;
    const QModelIndex current = currentIndex();
    const QModelIndex to = m_model->index(modelRow, current.isValid() ? current.column() : 0);
    const bool rows = m_sheet->selectionMode() == RecordSheet::SelectionMode::Rows;
    asOneStep([&] {
        selectionModel()->setCurrentIndex(
            to, QItemSelectionModel::ClearAndSelect | (rows ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
    });
    scrollTo(to);
}

bool SheetView::eventFilter(QObject* watched, QEvent* event)
{
    // An editor's Enter and Tab store the edit and move on as in a spreadsheet; Escape
    // and everything else stay the editor's and its delegate's.
    auto* editor = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && editor && state() == QAbstractItemView::EditingState &&
        editor->parentWidget() == viewport()) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        int move = 0;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)
                move = modifiers == Qt::ShiftModifier ? Qt::Key_Up : Qt::Key_Down;
            break;
        case Qt::Key_Tab:
            if (modifiers == Qt::NoModifier)
                move = Qt::Key_Tab;
            break;
        case Qt::Key_Backtab:
            move = Qt::Key_Backtab;
            break;
        default:
            break;
        }
        if (move != 0) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
            moveByKey(move);
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

void SheetView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit contextMenuWanted(event->globalPosition().toPoint());
        return;
    }
    asOneStep([&] { QTableView::mouseReleaseEvent(event); });
}

void SheetView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse) {
        const QRect cell = visualRect(currentIndex());
        emit contextMenuWanted(viewport()->mapToGlobal(cell.isValid() ? cell.center() : QPoint(0, 0)));
    }
}

void SheetView::commitOpenEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool SheetView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    QModelIndex target = index;
    if (target.isValid() && target.column() < m_firstEditableColumn) {
        // Typing on a title of the form panel edits the value beside it.
        if (trigger != AnyKeyPressed)
            return false;
        target = target.siblingAtColumn(m_firstEditableColumn);
    }
    if (!QTableView::edit(target, trigger, event))
        return false;
    if (QWidget* editor = indexWidget(target)) {
        editor->removeEventFilter(this);
        editor->installEventFilter(this);
    }
    return true;
}

} // namespace quillon
