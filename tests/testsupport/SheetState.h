#pragma once

// Everything of the main window's document a user could see change, read into plain
// values, so that a test can say "the document is exactly as it was". Undo tests take
// one before a command, one after, and compare.

#include "shell/MainModel.h"
#include "sheet/RecordSheet.h"

#include <QStringList>
#include <QTest>

#include <map>
#include <tuple>
#include <vector>

namespace quillon {

struct SheetState
{
    int rows = 0;
    int cols = 0;
    QStringList cells; ///< "row,col=text" for every cell with a text, header included
    QStringList styles; ///< "row,col: back fore flags checked alignment picture" for every styled cell
    std::map<int, int> heights;
    int defaultHeight = 0;
    int fontSize = 0;
    QStringList columns; ///< "type|format|alignment|hidden|width" a column
    // Where the user is.
    int row = 0;
    int col = 0;
    int rowSel = 0;
    int colSel = 0;
    std::vector<std::pair<int, int>> selectedRows;
    bool blockMode = false; ///< Block & Edit mode (a view setting undo leaves as it is)
    // The document around the sheet.
    bool modified = false;
    bool saveEnabled = false;
    int sortedColumn = -1;
    bool clearBeforeGrab = false;
    QStringList comboLists;

    static SheetState of(MainModel& model)
    {
        SheetState s;
        const RecordSheet& sheet = model.sheet();
        s.rows = sheet.rows();
        s.cols = sheet.cols();
        for (int r = 0; r < sheet.rows(); ++r)
            for (int c = 0; c < sheet.cols(); ++c)
                if (!sheet.isCellEmpty(r, c))
                    s.cells << QStringLiteral("%1,%2=%3").arg(r).arg(c).arg(sheet.text(r, c));
        for (const auto& [key, st] : sheet.styledCells())
            s.styles << QStringLiteral("%1,%2: %3 %4 %5 %6 %7 %8")
                            .arg(RecordSheet::styleKeyRow(key))
                            .arg(RecordSheet::styleKeyCol(key))
                            .arg(st.back, 6, 16, QLatin1Char('0'))
                            .arg(st.fore, 6, 16, QLatin1Char('0'))
                            .arg(st.flags)
                            .arg(st.checked)
                            .arg(st.alignment)
                            .arg(st.picture);
        for (const auto& [r, h] : sheet.rowHeights())
            if (h != sheet.defaultRowHeight())
                s.heights[r] = h;
        s.defaultHeight = sheet.defaultRowHeight();
        s.fontSize = sheet.fontPointSize();
        for (int c = 0; c < sheet.cols(); ++c) {
            const ColumnAttributes& a = sheet.column(c);
            s.columns << QStringLiteral("%1|%2|%3|%4|%5").arg(a.dataType).arg(a.format).arg(a.alignment).arg(a.hidden).arg(a.width);
        }
        s.row = sheet.currentRow();
        s.col = sheet.currentCol();
        s.rowSel = sheet.rowSel();
        s.colSel = sheet.colSel();
        if (sheet.selectionMode() == RecordSheet::SelectionMode::Rows)
            s.selectedRows = sheet.selectedRowRanges();
        s.blockMode = sheet.selectionMode() == RecordSheet::SelectionMode::Block;
        Document& doc = model.document();
        s.modified = doc.IsModified();
        s.saveEnabled = doc.isSaveEnabled();
        s.sortedColumn = doc.SortedColumn();
        s.clearBeforeGrab = doc.ClearBeforeGrab();
        s.comboLists = doc.ColumnComboLists();
        return s;
    }

    /** Only what the sheet holds: without the cursor, the selection and the marks. */
    auto contents() const
    {
        return std::tie(rows, cols, cells, styles, heights, defaultHeight, fontSize, columns, sortedColumn,
                        comboLists, clearBeforeGrab);
    }
    bool sameContents(const SheetState& o) const { return contents() == o.contents(); }
    bool operator==(const SheetState& o) const
    {
        return sameContents(o) &&
               std::tie(row, col, rowSel, colSel, selectedRows, modified, saveEnabled) ==
                   std::tie(o.row, o.col, o.rowSel, o.colSel, o.selectedRows, o.modified, o.saveEnabled);
    }

    /** Compares field by field, so that a failure names what differs; true when equal. */
    static bool compare(const SheetState& actual, const SheetState& expected, const char* file, int line)
    {
        const auto check = [&](bool same, const char* what, const QString& a, const QString& e) {
            if (!same)
                QTest::qFail(qPrintable(QStringLiteral("%1 differs: %2 instead of %3").arg(QLatin1String(what), a, e)),
                             file, line);
            return same;
        };
        const auto num = [](auto v) { return QString::number(v); };
        const auto list = [](const QStringList& l) {
            return l.size() <= 12 ? l.join(QStringLiteral("; ")) : QStringLiteral("%1 entries").arg(l.size());
        };
        const auto firstDifference = [](const QStringList& a, const QStringList& b) {
            for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i)
                if (a.value(i) != b.value(i))
                    return QStringLiteral("[%1] \"%2\" vs \"%3\"").arg(i).arg(a.value(i), b.value(i));
            return QString();
        };
        const auto ranges = [](const std::vector<std::pair<int, int>>& r) {
            QStringList out;
            for (const auto& [a, b] : r)
                out << QStringLiteral("%1-%2").arg(a).arg(b);
            return out.join(QLatin1Char(' '));
        };
        const auto heights = [](const std::map<int, int>& h) {
            QStringList out;
            for (const auto& [r, t] : h)
                out << QStringLiteral("%1:%2").arg(r).arg(t);
            return out.join(QLatin1Char(' '));
        };
        return check(actual.rows == expected.rows, "rows", num(actual.rows), num(expected.rows)) &&
               check(actual.cols == expected.cols, "columns", num(actual.cols), num(expected.cols)) &&
               check(actual.cells == expected.cells, "cells", firstDifference(actual.cells, expected.cells),
                     list(expected.cells)) &&
               check(actual.styles == expected.styles, "styles", list(actual.styles), list(expected.styles)) &&
               check(actual.heights == expected.heights, "row heights", heights(actual.heights),
                     heights(expected.heights)) &&
               check(actual.defaultHeight == expected.defaultHeight, "default height", num(actual.defaultHeight),
                     num(expected.defaultHeight)) &&
               check(actual.fontSize == expected.fontSize, "font size", num(actual.fontSize), num(expected.fontSize)) &&
               check(actual.columns == expected.columns, "column attributes", list(actual.columns),
                     list(expected.columns)) &&
               check(actual.sortedColumn == expected.sortedColumn, "sorted column", num(actual.sortedColumn),
                     num(expected.sortedColumn)) &&
               check(actual.comboLists == expected.comboLists, "combo lists", list(actual.comboLists),
                     list(expected.comboLists)) &&
               check(actual.clearBeforeGrab == expected.clearBeforeGrab, "ClearBeforeGrab",
                     num(actual.clearBeforeGrab), num(expected.clearBeforeGrab)) &&
               check(std::tie(actual.row, actual.col, actual.rowSel, actual.colSel) ==
                         std::tie(expected.row, expected.col, expected.rowSel, expected.colSel),
                     "cursor and selection end",
                     QStringLiteral("%1,%2 %3,%4").arg(actual.row).arg(actual.col).arg(actual.rowSel).arg(actual.colSel),
                     QStringLiteral("%1,%2 %3,%4")
                         .arg(expected.row)
                         .arg(expected.col)
                         .arg(expected.rowSel)
                         .arg(expected.colSel)) &&
               check(actual.selectedRows == expected.selectedRows, "selected rows", ranges(actual.selectedRows),
                     ranges(expected.selectedRows)) &&
               check(actual.modified == expected.modified, "modified mark", num(actual.modified),
                     num(expected.modified)) &&
               check(actual.saveEnabled == expected.saveEnabled, "Save enabled", num(actual.saveEnabled),
                     num(expected.saveEnabled));
    }
};

} // namespace quillon

/** Fails the test, naming the first difference, when the two states differ. */
#define QUILLON_COMPARE_STATE(actual, expected)                                                                 \
    do {                                                                                                       \
        if (!quillon::SheetState::compare((actual), (expected), __FILE__, __LINE__))                           \
            return;                                                                                            \
    } while (false)
