#include "sheet/SheetSort.h"

#include "sheet/ByteKeySort.h"
#include "sheet/ParallelWork.h"
#include "sheet/RecordSheet.h"
#include "sheet/SortKeys.h"
#include "sheet/ValueFormat.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>
#include <optional>

namespace quillon {

namespace {

// Entry of the typed sort: class 0 a value of the column's type, 1 a text that does
// not read as one, 2 an empty cell. Sorting by (class, key, row) gives the order.
struct Entry
{
    uint64_t key;
    uint32_t cls;
    int32_t row;
};

struct EntryLess
{
    bool operator()(const Entry& a, const Entry& b) const
    {
        if (a.cls != b.cls)
            return a.cls < b.cls;
        if (a.key != b.key)
            return a.key < b.key;
        return a.row < b.row;
    }
};

/** A double as an unsigned key with the same order. */
uint64_t orderedBits(double v)
{
    const uint64_t bits = std::bit_cast<uint64_t>(v + 0.0); // -0 becomes +0
    return (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
}

/** Gives the entries listed in @p which their text's rank in the sheet collation as key. */
void rankByCollation(const TextColumn& column, std::vector<Entry>& entries, const std::vector<size_t>& which)
{
    if (which.empty())
        return;
    std::vector<int> rows(which.size());
    for (size_t i = 0; i < which.size(); ++i)
        rows[i] = entries[which[i]].row;
    const CollatedRows collated = CollateRows(column, rows);
    uint64_t rank = 0;
    for (size_t i = 0; i < collated.rows.size(); ++i) {
        if (i > 0 && collated.startsGroup[i])
            ++rank;
        entries[size_t(collated.rows[i] - 1)].key = rank;
    }
}

/** What the user set on a record besides its texts, as comparable bytes: each cell's
 *  font flags, colours, alignment and check state (1 and -1 both checked), and the
 *  row's height. */
QByteArray RecordLook(const RecordSheet& sheet, int row)
{
    QByteArray look;
    const auto put = [&look](uint32_t v) { look.append(reinterpret_cast<const char*>(&v), sizeof v); };
    for (int c = 0; c < sheet.cols(); ++c) {
        const CellStyle s = sheet.style(row, c);
        const uint32_t flags = s.flags & (CellStyle::Bold | CellStyle::Italic | CellStyle::Underline |
                                          CellStyle::HasBack | CellStyle::HasFore);
        if (flags == 0 && !s.isChecked() && s.alignment == 0)
            continue;
        put(uint32_t(c));
        put(flags | (s.isChecked() ? 0x100u : 0u) | (uint32_t(s.alignment) << 16));
        put(s.hasBack() ? s.back : 0);
        put(s.hasFore() ? s.fore : 0);
    }
    put(uint32_t(sheet.rowHeight(row)));
    return look;
}

} // namespace

QLocale SheetCollationLocale()
{
    const QLocale system;
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

bool ParseSortNumber(QByteArrayView text, double& value)
{
    // Plain decimals (digits with an optional sign and fraction) are read directly;
    // everything else goes through ParseNumber, which gives the same value for them.
    const char* p = text.data();
    const char* end = p + text.size();
    const char* q = p;
    if (q != end && *q == '-')
        ++q;
    const char* digits = q;
    while (q != end && *q >= '0' && *q <= '9')
        ++q;
    bool plain = q != digits && text.size() <= 40;
    if (plain && q != end) {
        if (*q == '.' && q + 1 != end) {
            ++q;
            while (q != end && *q >= '0' && *q <= '9')
                ++q;
        }
        plain = q == end;
    }
    if (plain) {
        double v = 0;
        const auto r = std::from_chars(p, end, v);
        if (r.ec == std::errc() && r.ptr == end && std::isfinite(v)) {
            value = v + 0.0;
            return true;
        }
    }
    const auto parsed = ParseNumber(QString::fromUtf8(text));
    if (!parsed)
        return false;
    value = *parsed + 0.0;
    return true;
}

std::vector<int> TypedRecordOrder(const RecordSheet& sheet, int col, bool ascending)
{
    const int n = sheet.recordCount();
    std::vector<int> order(static_cast<size_t>(std::max(n, 0)));
    std::iota(order.begin(), order.end(), 1);
    if (n <= 1 || col < 0 || col >= sheet.cols())
        return order;

    const TextColumn& column = sheet.textColumn(col);
    const int type = sheet.column(col).dataType;
    std::vector<Entry> entries(static_cast<size_t>(n));
    std::vector<size_t> needText; // entries whose key is a collation rank

    if (type == TypeCheckbox) {
        for (int r = 1; r <= n; ++r)
            entries[size_t(r - 1)] = {sheet.isChecked(r, col) ? 1u : 0u, 0, r};
    } else if (type == TypeNumber || type == TypeMoney) {
        for (int r = 1; r <= n; ++r) {
            if (r + 16 <= n)
                column.prefetch(r + 16);
            Entry& e = entries[size_t(r - 1)];
            e.row = r;
            const QByteArrayView t = column.utf8(r);
            double v = 0;
            if (t.isEmpty()) {
                e.cls = 2;
                e.key = 0;
            } else if (ParseSortNumber(t, v)) {
                e.cls = 0;
                e.key = orderedBits(v);
            } else {
                e.cls = 1;
                needText.push_back(size_t(r - 1));
            }
        }
    } else if (type == TypeDate) {
        // Dates repeat a lot: read each distinct text once.
        std::vector<int> rows;
        rows.reserve(size_t(n));
        for (int r = 1; r <= n; ++r) {
            entries[size_t(r - 1)] = {0, 2, r};
            if (!column.isEmpty(r))
                rows.push_back(r);
        }
        const DistinctTexts distinct = FindDistinctTexts(column, rows);
        std::vector<std::optional<uint64_t>> keys(distinct.texts.size());
        for (size_t i = 0; i < distinct.texts.size(); ++i) {
            const auto dt = ParseDateTime(QString::fromUtf8(distinct.texts[i]));
            if (dt) {
                // Day and time of day, free of any time zone.
                const int64_t ms = dt->date().toJulianDay() * 86400000LL + dt->time().msecsSinceStartOfDay();
                keys[i] = uint64_t(ms) ^ 0x8000000000000000ull;
            }
        }
        for (size_t i = 0; i < rows.size(); ++i) {
            Entry& e = entries[size_t(rows[i] - 1)];
            if (const auto& k = keys[distinct.idOf[i]]) {
                e.cls = 0;
                e.key = *k;
            } else {
                e.cls = 1;
                needText.push_back(size_t(rows[i] - 1));
            }
        }
    } else {
        // Text: the collated order itself, its groups of equal texts reversed for a
        // descending sort, then the empty cells.
        std::vector<int> filled;
        std::vector<int> empty;
        filled.reserve(size_t(n));
        for (int r = 1; r <= n; ++r)
            (column.isEmpty(r) ? empty : filled).push_back(r);
        const CollatedRows collated = CollateRows(column, filled);
        size_t out = 0;
        if (ascending) {
            std::copy(collated.rows.begin(), collated.rows.end(), order.begin());
            out = collated.rows.size();
        } else {
            size_t end = collated.rows.size();
            while (end > 0) {
                size_t start = end - 1;
                while (start > 0 && !collated.startsGroup[start])
                    --start;
                for (size_t i = start; i < end; ++i)
                    order[out++] = collated.rows[i];
                end = start;
            }
        }
        std::copy(empty.begin(), empty.end(), order.begin() + std::ptrdiff_t(out));
        return order;
    }
    rankByCollation(column, entries, needText);

    if (!ascending)
        for (Entry& e : entries)
            if (e.cls != 2)
                e.key = ~e.key;
    ParallelSort(entries, EntryLess());
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = entries[size_t(i)].row;
    return order;
}

// ---- exact order --------------------------------------------------------------------

ExactOrder ExactRecordOrder(const RecordSheet& sheet)
{
    ExactOrder out;
    const int n = sheet.recordCount();
    out.order.resize(static_cast<size_t>(std::max(n, 0)));
    std::iota(out.order.begin(), out.order.end(), 1);
    if (n <= 0)
        return out;

    // Most significant column first: each column sorts only the runs of records still
    // equal in every column before it, so later columns cost little once records differ.
    std::vector<KeyItem> items(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        items[size_t(i)] = {0, 0, i + 1};
    std::vector<KeyRun> work{{0, uint32_t(n), 0}};
    std::vector<std::pair<uint32_t, uint32_t>> equal;
    for (int c = 0; c < sheet.cols() && !work.empty(); ++c) {
        const TextColumn& column = sheet.textColumn(c);
        equal.clear();
        SortKeyRuns(
            items, std::move(work), [&column](int32_t row) { return column.utf8(row); },
            [&column](int32_t row) { column.prefetch(row); }, equal);
        work.clear();
        for (const auto& [first, last] : equal)
            work.push_back({first, last, 0});
    }
    // Records equal in every text are duplicates only if they also look the same: what
    // the user set on them (check boxes, colours, fonts, alignment, row height) sets them
    // apart. Each run of equal texts is ordered by that look, stably.
    const bool styled = sheet.styledCellCount() > 0 || !sheet.rowHeights().empty();
    std::vector<std::pair<QByteArray, int32_t>> looks;
    for (const KeyRun& run : work) {
        if (!styled) {
            for (uint32_t i = run.first + 1; i < run.last; ++i)
                out.duplicateRows.push_back(int(i) + 1);
            continue;
        }
        looks.clear();
        for (uint32_t i = run.first; i < run.last; ++i)
            looks.emplace_back(RecordLook(sheet, items[i].id), items[i].id);
        std::stable_sort(looks.begin(), looks.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (uint32_t i = run.first; i < run.last; ++i) {
            const size_t k = i - run.first;
            items[i].id = looks[k].second;
            if (k > 0 && looks[k].first == looks[k - 1].first)
                out.duplicateRows.push_back(int(i) + 1);
        }
    }
    for (int i = 0; i < n; ++i)
        out.order[size_t(i)] = items[size_t(i)].id;
    std::sort(out.duplicateRows.begin(), out.duplicateRows.end());
    return out;
}

} // namespace quillon
