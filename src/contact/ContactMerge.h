#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <span>
#include <vector>

namespace quillon {

class PhoneNumbers;
class RecordSheet;

/**
 * The columns that say who a record is: name, street, zip code and phone. Each is
 * found by its title ("Name"; "Street" or "Address"; "Zip Code", "Zip", "Postal
 * Code" or "Postcode"; "Phone", "Telephone" or "Tel"), letter case, blanks and
 * punctuation aside, the first such column from the left; a title not found falls
 * back on the column of the new document's layout (0, 1, 4 and 5) when the sheet
 * has it. -1 where there is none.
 */
struct ContactColumns
{
    int name = -1;
    int street = -1;
    int zip = -1;
    int phone = -1;

    static ContactColumns of(const RecordSheet& sheet);
    /** Whether the name and the phone columns are there (the least a merge needs). */
    bool canMerge() const { return name >= 0 && phone >= 0; }
};

/** @p text as the merge compares names, streets and zip codes: letters and digits
 *  only, letters in one case, as full case folding makes them ("O'Brien, J." and "obrien j" are both
 * "obrienj"). */
QString NormalizedContactText(QStringView text);
/** The same on UTF-8 bytes, as UTF-8; fast for ASCII. */
QByteArray NormalizedContactUtf8(QByteArrayView utf8);

/**
 * The records of a sheet that are the same contact, in groups, and which record of
 * each group is kept.
 *
 * Two records are the same contact when their names match (NormalizedContactText,
 * never an empty one) and
 * - they have a phone number in common: the same number as libphonenumber matches
 *   it for the home region (PhoneNumbers::sameNumberKeys), however it is written,
 *   the extension included; a phone cell may hold more than one number; a short
 *   code of fewer than four digits is taken for none; or
 * - neither phone cell holds a number (empty, or a text such as "n/a") and their
 *   streets and zip codes match, neither of them empty.
 * The relation is followed through: records that are the same contact as one
 * another make one group.
 *
 * The record kept is the most complete one of its group (most cells not empty, a
 * checked check box counting as filled); of equals, the first.
 *
 * The records are grouped by their normalised name in one pass over the sheet;
 * only records whose name is not alone are read further, and only phone cells that
 * may end a number with the same four digits as another cell of their name group
 * are read by libphonenumber, so that a million records take seconds, never a
 * comparison of each record with each.
 */
class ContactMergePlan
{
public:
    ContactColumns columns;

    /** How many groups merge. */
    int groupCount() const { return int(m_starts.empty() ? 0 : m_starts.size() - 1); }
    /** The rows of group @p g, ascending; the kept row among them. */
    std::span<const int> groupRows(int g) const
    {
        return std::span<const int>(m_rows).subspan(size_t(m_starts[size_t(g)]),
                                                    size_t(m_starts[size_t(g) + 1] - m_starts[size_t(g)]));
    }
    int keptRow(int g) const { return m_kept[size_t(g)]; }
    /** The rows that go (every group's rows but the kept one), ascending. */
    std::vector<int> removedRows() const;
    /** How many records go. */
    qint64 removedCount() const { return qint64(m_rows.size()) - qint64(m_kept.size()); }
    bool isEmpty() const { return m_kept.empty(); }

    /** Adds a group (rows ascending, at least two) and the row it keeps. Groups are
     *  added in the order of their first rows. */
    void addGroup(std::span<const int> rows, int kept);

private:
    std::vector<int> m_rows;
    std::vector<int> m_starts;
    std::vector<int> m_kept;
};

/** Finds the records of @p sheet that are the same contact, reading phone numbers with
 *  @p numbers. May throw std::bad_alloc; the sheet is only read. */
ContactMergePlan PlanContactMerge(const RecordSheet& sheet, const PhoneNumbers& numbers);

/** Cells of @p row that are not empty (a Checkbox column's cell when it has a text or
 *  is checked). */
int FilledCellCount(const RecordSheet& sheet, int row);

/**
 * A cell of a kept record filled from another record of its group: what merging
 * writes. The cell takes the other record's text and, in a Checkbox column, its
 * check state; the kept record's colours, fonts and alignment stay.
 */
struct MergeFill
{
    int row;
    int col;
    int fromRow;
};
/** The fills of @p plan on @p sheet: each empty cell of a kept record gets the first
 *  filled cell of the same column among the other rows of its group, in row order. By
 *  row, then column. */
std::vector<MergeFill> MergeFills(const RecordSheet& sheet, const ContactMergePlan& plan);
/** Writes @p fills into @p sheet (one batch); the rows are not removed. */
void WriteMergeFills(RecordSheet& sheet, const std::vector<MergeFill>& fills);

} // namespace quillon
