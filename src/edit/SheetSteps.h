#pragma once

#include "shell/MainModel.h"
#include "shell/UndoHistory.h"
#include "sheet/CellSnapshot.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillon {

/**
 * One step of the undo history as the user sees it ("Sort", "Paste", "Grab (412
 * records)"): its parts make the change, and the step brings back what goes with the
 * sheet around them: the cursor and the selection, the sorted column, the combo lists
 * and whether a grab still empties the sheet first. Undo and redo end with the form
 * panel and the current record shown anew.
 */
class SheetStep : public UndoStep
{
public:
    SheetStep(MainModel& model, const QString& text);

    /** The change is made: the selection and fields as they are now are what redo gives
     *  back. */
    void finish();
    UndoHistory::Marks marksBefore() const { return m_marksBefore; }

    void undo() override;
    void redo() override;
    qint64 memoryCost() const override;

private:
    struct Where
    {
        int row = 0;
        int col = 0;
        int rowSel = 0;
        int colSel = 0;
        std::vector<std::pair<int, int>> rows; ///< Row mode's selected rows
        int sortedColumn = -1;
        bool clearBeforeGrab = false;
        QStringList comboLists;
    };
    Where where() const;
    void restore(const Where& where);

    MainModel& m_model;
    Where m_before;
    Where m_after;
    UndoHistory::Marks m_marksBefore;
};

/** A part of a SheetStep: one change of the sheet. */
class SheetPart : public UndoStep
{
public:
    explicit SheetPart(QUndoCommand* step) : UndoStep(step) {}
    /** True when the change turned out to change nothing (an edit that left a cell as
     *  it was): a step of such parts only is not kept. */
    virtual bool changesNothing() const { return false; }
};

/**
 * Cells whose texts, styles or row heights a command changed: keeps their contents
 * from before the change and swaps them with the sheet's on undo and on redo, so that
 * it holds one copy of the area, the old one or the new one.
 */
class CellsPart : public SheetPart
{
public:
    /** @p before is read before the change. */
    CellsPart(RecordSheet& sheet, CellSnapshot before, QUndoCommand* step);
    void undo() override { m_kept.swapWith(m_sheet); }
    void redo() override { m_kept.swapWith(m_sheet); }
    bool changesNothing() const override;
    qint64 memoryCost() const override { return qint64(sizeof(*this)) + m_kept.memoryBytes(); }

private:
    RecordSheet& m_sheet;
    CellSnapshot m_kept;
};

/** Empty records inserted at @p pos (Insert Row, Add Row). */
class InsertRowsPart : public SheetPart
{
public:
    InsertRowsPart(RecordSheet& sheet, int pos, int count, QUndoCommand* step);
    void undo() override;
    void redo() override;

private:
    RecordSheet& m_sheet;
    int m_pos;
    int m_count;
};

/**
 * Records removed (Delete Row(s), Delete Duplicates, the records a grab into a new
 * document drops): keeps them with their places, texts, styles and heights until they
 * are put back, and only their places once they are back.
 */
class RemoveRowsPart : public SheetPart
{
public:
    /** @p removed is read (CellSnapshot::All, every column) before the removal. */
    RemoveRowsPart(RecordSheet& sheet, CellSnapshot removed, QUndoCommand* step);
    void undo() override;
    void redo() override;
    qint64 memoryCost() const override { return qint64(sizeof(*this)) + m_removed.memoryBytes(); }

private:
    RecordSheet& m_sheet;
    CellSnapshot m_removed;
};

/**
 * Records added at the end from row @p first on (a grab, Append): keeps only where they
 * start while they are in the sheet, and the records themselves once undone.
 */
class AppendRowsPart : public SheetPart
{
public:
    AppendRowsPart(RecordSheet& sheet, int first, QUndoCommand* step);
    void undo() override;
    void redo() override;
    bool changesNothing() const override { return m_sheet.rows() <= m_first; }
    qint64 memoryCost() const override { return qint64(sizeof(*this)) + m_taken.memoryBytes(); }

private:
    RecordSheet& m_sheet;
    int m_first;
    CellSnapshot m_taken;
};

/** The records put in a new order (a sort, records dragged): keeps the order; undo
 *  applies its inverse. */
class PermutePart : public SheetPart
{
public:
    /** New record i+1 is old row order[i], as RecordSheet::applyRecordOrder() takes it. */
    PermutePart(RecordSheet& sheet, std::vector<int> order, QUndoCommand* step);
    void undo() override;
    void redo() override;
    qint64 memoryCost() const override
    {
        return qint64(sizeof(*this)) + qint64(m_order.capacity() * sizeof(int));
    }

private:
    RecordSheet& m_sheet;
    std::vector<int> m_order;
};

/** Empty columns inserted at @p pos. */
class InsertColumnsPart : public SheetPart
{
public:
    InsertColumnsPart(RecordSheet& sheet, int pos, int count, QUndoCommand* step);
    void undo() override;
    void redo() override;

private:
    RecordSheet& m_sheet;
    int m_pos;
    int m_count;
};

/** A column removed with everything in it (Delete column, a definition deleted in
 *  Column Define): the column's texts are moved, not copied. */
class RemoveColumnPart : public SheetPart
{
public:
    /** @p taken is what RecordSheet::takeColumn(@p pos) handed over. */
    RemoveColumnPart(RecordSheet& sheet, int pos, ColumnPiece taken, QUndoCommand* step);
    void undo() override;
    void redo() override;
    qint64 memoryCost() const override { return qint64(sizeof(*this)) + qint64(m_taken.memoryBytes()); }

private:
    RecordSheet& m_sheet;
    int m_pos;
    ColumnPiece m_taken;
};

/** Column attributes (type, format, alignment, hidden, width) of columns @p first to
 *  @p last, kept before a change and swapped on undo and redo. */
class ColumnAttributesPart : public SheetPart
{
public:
    ColumnAttributesPart(RecordSheet& sheet, int first, int last, QUndoCommand* step);
    void undo() override { swap(); }
    void redo() override { swap(); }
    bool changesNothing() const override;
    qint64 memoryCost() const override;

private:
    void swap();

    RecordSheet& m_sheet;
    int m_first;
    std::vector<ColumnAttributes> m_kept;
};

/** The font size of every cell ("Fonts"). */
class FontSizePart : public SheetPart
{
public:
    FontSizePart(RecordSheet& sheet, int before, QUndoCommand* step);
    void undo() override { swap(); }
    void redo() override { swap(); }
    bool changesNothing() const override { return m_sheet.fontPointSize() == m_kept; }

private:
    void swap();

    RecordSheet& m_sheet;
    int m_kept;
};

/**
 * One command's undo step while it runs: made with the command's name, it collects
 * the parts the command adds and is pushed to the history when it goes out of scope
 * (or at commit()), unless no part changed anything. The change is made by the command
 * itself; the parts record it, read before or after as each one says.
 */
class UndoScope
{
public:
    UndoScope(MainModel& model, const QString& text);
    ~UndoScope();
    UndoScope(const UndoScope&) = delete;
    UndoScope& operator=(const UndoScope&) = delete;

    MainModel& model() { return m_model; }
    RecordSheet& sheet() { return m_model.sheet(); }
    /** The step parts hang from; nullptr once committed or dropped. */
    SheetStep* step() { return m_step.get(); }

    /** Adds a part, made with @p args and the step. */
    template<typename Part, typename... Args> Part* add(Args&&... args)
    {
        return m_step ? new Part(std::forward<Args>(args)..., m_step.get()) : nullptr;
    }
    /** Keeps the @p parts (CellSnapshot::Part) of rows @p rows across columns @p left
     *  .. @p right before the command changes them. */
    void keepCells(CellSnapshot::Ranges rows, int left, int right, int parts);
    void keepCells(const CellRect& rect, int parts);
    /** The same for rectangles side by side in rows (what a formatting command takes):
     *  rectangles of the same columns go in one part. */
    void keepCells(const std::vector<CellRect>& rects, int parts);

    void setText(const QString& text);
    /** Pushes the step now (when it changed anything). */
    void commit();
    /** Drops the step: the command changed nothing after all, or cannot be undone. */
    void discard();

private:
    MainModel& m_model;
    std::unique_ptr<SheetStep> m_step;
    int m_exceptions;
};

/**
 * The undo step of records added at the end of the sheet in batches over a while (a
 * grab, page by page): one step for all of them, "Grab (412 records)", as long as it is
 * the last step of the history. Once another step comes after it (an edit made while
 * the grab goes on), the batches that follow make a step of their own.
 */
class AppendingStep
{
public:
    /** @p text names the step by the number of records it added. */
    AppendingStep(MainModel& model, std::function<QString(int records)> text);
    ~AppendingStep();

    /** A batch of records is about to be added at the end. */
    void beforeRows();
    /** Before the first batch: the sheet's records are dropped (a grab into a new
     *  document empties it first), as part of the step. */
    void dropRecords();
    /** The batch is in the sheet. */
    void afterRows();
    /** The adding is over (the grab ended): the step takes what came last and the marks
     *  the document has now; the next batch starts a new step. */
    void end();

private:
    UndoHistory::Marks editedMarks() const;

    MainModel& m_model;
    std::function<QString(int)> m_text;
    std::unique_ptr<SheetStep> m_pending; ///< a step not pushed yet
    SheetStep* m_growing = nullptr;       ///< the pushed step, valid while its serial is the last
    quint64 m_serial = 0;
    int m_first = 0;
};

} // namespace quillon
