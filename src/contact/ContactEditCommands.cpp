#include "contact/ContactEditCommands.h"

#include "contact/PhoneNumbers.h"
#include "edit/SheetSteps.h"
#include "shell/MainModel.h"
#include "ui/LongWork.h"
#include "ui/Platform.h"

#include <algorithm>
#include <new>

namespace quillon {

namespace {

const QString& caption()
{
    static const QString text = QStringLiteral("Quillon");
    return text;
}

void tell(Platform& platform, const QString& text, Platform::Icon icon = Platform::Information)
{
    platform.message(caption(), text, Platform::Ok, icon);
}

} // namespace

ContactEditCommands::ContactEditCommands(MainModel& model, QObject* parent) : QObject(parent), m_model(model)
{
    // Anything that changes the records makes a pending merge stale; moving the
    // cursor or the selection, or a column's width, does not.
    RecordSheet& sheet = m_model.sheet();
    connect(&sheet, &RecordSheet::cellsChanged, this, &ContactEditCommands::sheetChanged);
    connect(&sheet, &RecordSheet::rowsInserted, this, &ContactEditCommands::sheetChanged);
    connect(&sheet, &RecordSheet::rowsRemoved, this, &ContactEditCommands::sheetChanged);
    connect(&sheet, &RecordSheet::columnsInserted, this, &ContactEditCommands::sheetChanged);
    connect(&sheet, &RecordSheet::columnsRemoved, this, &ContactEditCommands::sheetChanged);
    connect(&sheet, &RecordSheet::layoutChanged, this, &ContactEditCommands::sheetChanged);
    connect(&sheet, &RecordSheet::wasReset, this, &ContactEditCommands::sheetChanged);
}

// ---- Merge Duplicate Contacts ---------------------------------------------------------------

const ContactMergePlan* ContactEditCommands::planMerge()
{
    m_pending.reset();
    RecordSheet& sheet = m_model.sheet();
    Platform& platform = m_model.platform();
    if (!ContactColumns::of(sheet).canMerge()) {
        tell(platform, QStringLiteral("The records have no Name and Phone columns to compare."),
             Platform::Warning);
        return nullptr;
    }
    try {
        LongWork work(platform, qint64(sheet.recordCount()) * 4);
        m_pending = PlanContactMerge(sheet, PhoneNumbers::fromSettings(m_model.settings()));
    } catch (const std::bad_alloc&) {
        m_pending.reset();
        tell(platform,
             QStringLiteral("There is not enough memory to look for duplicate contacts; the records were "
                            "left as they were."),
             Platform::Critical);
        return nullptr;
    }
    if (m_pending->isEmpty()) {
        m_pending.reset();
        tell(platform, QStringLiteral("No duplicate contacts were found."));
        return nullptr;
    }
    m_changed = false;
    return &*m_pending;
}

void ContactEditCommands::dropMerge()
{
    m_pending.reset();
}

bool ContactEditCommands::applyMerge()
{
    if (!m_pending)
        return false;
    const ContactMergePlan plan = std::move(*m_pending);
    m_pending.reset();
    RecordSheet& sheet = m_model.sheet();
    Platform& platform = m_model.platform();
    if (m_changed || m_model.isSheetHeld()) {
        tell(platform,
             QStringLiteral("The records changed before the merge was made; nothing was merged. Choose "
                            "Merge Duplicate Contacts again."),
             Platform::Warning);
        return false;
    }

    UndoScope step(m_model, QStringLiteral("Merge Duplicate Contacts"));
    {
        LongWork work(platform, qint64(sheet.recordCount()) * 2);
        std::vector<MergeFill> fills;
        std::vector<int> removed;
        CellSnapshot gone;
        try {
            fills = MergeFills(sheet, plan);
            removed = plan.removedRows();
            // Everything the step keeps is read before anything changes, so that memory
            // running out leaves the records as they were.
            if (!fills.empty()) {
                std::vector<int> filledRows;
                int left = sheet.cols();
                int right = -1;
                for (const MergeFill& f : fills) {
                    if (filledRows.empty() || filledRows.back() != f.row)
                        filledRows.push_back(f.row);
                    left = std::min(left, f.col);
                    right = std::max(right, f.col);
                }
                step.keepCells(CellSnapshot::rangesOf(filledRows), left, right,
                               CellSnapshot::Texts | CellSnapshot::Styles);
            }
            gone = CellSnapshot::read(sheet, CellSnapshot::rangesOf(removed), 0, sheet.cols() - 1,
                                      CellSnapshot::All);
        } catch (const std::bad_alloc&) {
            step.discard();
            tell(platform,
                 QStringLiteral(
                     "There is not enough memory to keep the records for Undo; nothing was merged."),
                 Platform::Critical);
            return false;
        }
        WriteMergeFills(sheet, fills);
        sheet.removeRowSet(removed);
        step.add<RemoveRowsPart>(sheet, std::move(gone));

        // The cursor goes to the first merged record, where it stands now.
        const int first = plan.keptRow(0);
        const auto before = std::lower_bound(removed.begin(), removed.end(), first) - removed.begin();
        sheet.setCurrentCell(first - int(before),
                             std::clamp(sheet.currentCol(), 0, std::max(0, sheet.cols() - 1)));
    }
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
    m_changed = false;
    return true;
}

// ---- Format Phone Numbers -------------------------------------------------------------------

qint64 ContactEditCommands::formatPhoneNumbers(PhoneForm form, bool selectedOnly)
{
    RecordSheet& sheet = m_model.sheet();
    Platform& platform = m_model.platform();
    const int col = ContactColumns::of(sheet).phone;
    if (col < 0) {
        tell(platform, QStringLiteral("The records have no Phone column."), Platform::Warning);
        return 0;
    }
    std::vector<int> rows;
    PhoneFormatResult result;
    LongWork work(platform, qint64(sheet.recordCount()) * 4);
    try {
        if (selectedOnly) {
            rows = sheet.selectedRowList();
        } else {
            rows.resize(size_t(sheet.recordCount()));
            for (size_t i = 0; i < rows.size(); ++i)
                rows[i] = int(i) + 1;
        }
        rows.erase(
            std::remove_if(rows.begin(), rows.end(), [&](int r) { return r < 1 || r >= sheet.rows(); }),
            rows.end());
        result = FormatPhoneCells(sheet, col, rows, PhoneNumbers::fromSettings(m_model.settings()), form);
    } catch (const std::bad_alloc&) {
        tell(platform,
             QStringLiteral("There is not enough memory to format the phone numbers; the records were left "
                            "as they were."),
             Platform::Critical);
        return 0;
    }

    const qint64 changed = qint64(result.changes.size());
    if (changed > 0) {
        UndoScope step(m_model, QStringLiteral("Format Phone Numbers"));
        std::vector<int> changedRows;
        try {
            changedRows.reserve(result.changes.size());
            for (const auto& c : result.changes)
                changedRows.push_back(c.row);
            step.keepCells(CellSnapshot::rangesOf(changedRows), col, col, CellSnapshot::Texts);
        } catch (const std::bad_alloc&) {
            step.discard();
            tell(platform,
                 QStringLiteral("There is not enough memory to keep the phone numbers for Undo; none was "
                                "changed."),
                 Platform::Critical);
            return 0;
        }
        {
            RecordSheet::Batch batch(sheet);
            for (const auto& c : result.changes)
                sheet.setText(c.row, col, c.text);
        }
        m_model.fa_Click();
        m_model.document().MarkEdited(true);
    }
    tell(platform,
         QStringLiteral("Phone numbers formatted.\nCells changed: %1\nCells left as they were: %2 (no phone "
                        "number in them, or written so already)")
             .arg(changed)
             .arg(result.leftAlone));
    return changed;
}

} // namespace quillon
