#include "grab/ListingParser.h"

#include "grab/CutBetween.h"
#include "grab/HtmlText.h"
#include "grab/KeyTable.h"

#include <algorithm>
#include <climits>

namespace quillon {

namespace {

int clampedInt(double value, int low, int high)
{
    if (!(value >= low))
        return low;
    if (value > high)
        return high;
    return int(value);
}

qsizetype characterCount(QByteArrayView utf8)
{
    qsizetype n = 0;
    for (const char ch : utf8)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80)
            ++n;
    return n;
}

/** The cells of the row being cut: one per column, a later write replacing an earlier one. */
class RowBuilder
{
public:
    explicit RowBuilder(ParsedPage& page) : m_page(page) {}

    void clear() { m_cells.clear(); }

    void write(int column, QByteArrayView raw)
    {
        const qsizetype offset = m_page.values.size();
        const qsizetype length = HtmlText::appendCleanValue(m_page.values, raw);
        set(column, offset, length);
    }

    void set(int column, qsizetype offset, qsizetype length)
    {
        for (ParsedPage::Cell& c : m_cells) {
            if (c.column == column) {
                c.offset = offset;
                c.length = length;
                return;
            }
        }
        m_cells.push_back({column, offset, length});
    }

    const ParsedPage::Cell* find(int column) const
    {
        for (const ParsedPage::Cell& c : m_cells)
            if (c.column == column)
                return &c;
        return nullptr;
    }

    bool isEmpty(int column) const
    {
        const ParsedPage::Cell* c = find(column);
        return !c || c->length == 0;
    }

    void commit()
    {
        m_page.cells.insert(m_page.cells.end(), m_cells.begin(), m_cells.end());
        m_page.rowEnds.push_back(m_page.cells.size());
    }

private:
    ParsedPage& m_page;
    std::vector<ParsedPage::Cell> m_cells;
};

/** The place of @p part in @p page; none when it is not a view into the page. */
ParseTrace::Range rangeIn(QByteArrayView page, QByteArrayView part)
{
    if (part.isEmpty() || part.data() < page.data() || part.data() + part.size() > page.data() + page.size())
        return {};
    return {qsizetype(part.data() - page.data()), part.size()};
}

/** Notes @p marker at @p offset of the page, when it stands there. */
void noteMarker(QByteArrayView page, std::vector<ParseTrace::Part>& out, int field, qsizetype offset,
                QByteArrayView marker)
{
    if (marker.isEmpty() || offset < 0 || offset + marker.size() > page.size())
        return;
    if (page.sliced(offset, marker.size()) == marker)
        out.push_back({field, {offset, marker.size()}});
}

} // namespace

GrabKey GrabKey::fromTable(const KeyTable& table)
{
    GrabKey key;
    key.kind = table.text(2, 2).trimmed().compare(QLatin1String("schema.org"), Qt::CaseInsensitive) == 0
                 ? KeyKind::StructuredData
                 : KeyKind::Markers;
    key.fromBrowser = table.text(3, 2).trimmed().compare(QLatin1String("browser"), Qt::CaseInsensitive) == 0;
    key.listingsPerPage = clampedInt(table.number(1, 2), 0, INT_MAX);
    key.lastField = clampedInt(table.number(1, 6), -1, kMaxFields - 1);
    key.listingStart = table.text(5, 2).toUtf8();
    key.listingEnd = table.text(5, 5).toUtf8();
    for (int j = 0; j <= key.lastField; ++j) {
        Field f;
        f.column = clampedInt(table.number(6 + j, 1), -1, INT_MAX);
        f.start = table.text(6 + j, 2).toUtf8();
        f.end = table.text(6 + j, 5).toUtf8();
        key.fields.push_back(std::move(f));
    }
    key.nextStart = table.text(15, 2).toUtf8();
    key.nextEnd = table.text(16, 2).toUtf8();

    key.listingPageMarker = table.text(1, 4);
    key.readCount = table.number(1, 8) != 0;
    key.countStart = table.text(18, 2);
    key.countEnd = table.text(18, 3);
    key.countStart2 = table.text(14, 2);
    key.countEnd2 = table.text(14, 3);
    key.cityMarker = table.text(19, 2);
    key.stateMarker = table.text(20, 2);
    return key;
}

void GrabKey::toTable(KeyTable& table, const QString& note) const
{
    static const char* const titles[] = {"Name", "Street", "City", "State", "Zip Code", "Phone", "Web Site", "Email"};
    table.clear();
    auto put = [&table](int row, std::initializer_list<QString> cells) {
        int col = 0;
        for (const QString& cell : cells)
            table.setText(row, col++, cell);
    };
    auto number = [](qint64 n) { return QString::number(n); };
    const QString empty;
    put(0, {note});
    put(1, {QStringLiteral("Page"), QStringLiteral("listings"), number(listingsPerPage), QStringLiteral("page marker"),
            listingPageMarker, QStringLiteral("last field"), number(lastField), QStringLiteral("read count"),
            number(readCount ? 1 : 0)});
    put(2, {QStringLiteral("Kind"), QStringLiteral("reads"),
            kind == KeyKind::StructuredData ? QStringLiteral("schema.org") : QStringLiteral("markers")});
    put(3, {QStringLiteral("Page text"), QStringLiteral("from"),
            fromBrowser ? QStringLiteral("browser") : QStringLiteral("download")});
    put(5, {QStringLiteral("Listing"), QStringLiteral("start"), QString::fromUtf8(listingStart), empty,
            QStringLiteral("end"), QString::fromUtf8(listingEnd)});
    put(14, {QStringLiteral("Count (second)"), empty, countStart2, countEnd2});
    put(15, {QStringLiteral("Next link start"), empty, QString::fromUtf8(nextStart)});
    put(16, {QStringLiteral("Next link end"), empty, QString::fromUtf8(nextEnd)});
    put(18, {QStringLiteral("Count"), empty, countStart, countEnd});
    put(19, {QStringLiteral("City in address"), empty, cityMarker});
    put(20, {QStringLiteral("State in address"), empty, stateMarker});
    for (int j = 0; j <= lastField && j < int(fields.size()); ++j) {
        const Field& f = fields[size_t(j)];
        const QString title = f.column >= 0 && f.column < 8 ? QLatin1String(titles[f.column])
                            : f.column < 0                   ? QStringLiteral("(not kept)")
                                                             : QStringLiteral("Column %1").arg(f.column + 1);
        put(6 + j, {QStringLiteral("Field %1 %2").arg(j).arg(title), number(f.column), QString::fromUtf8(f.start), empty,
                    QStringLiteral("end"), QString::fromUtf8(f.end)});
    }
}

QByteArrayView ParsedPage::cellText(int row, int column) const
{
    for (size_t i = rowBegin(row); i < rowEnds[size_t(row)]; ++i)
        if (cells[i].column == column)
            return value(cells[i]);
    return {};
}

QByteArrayView CutListing(QByteArrayView& remaining, QByteArrayView start, QByteArrayView end)
{
    if (start.isEmpty() && end.isEmpty()) {
        // No markers: the whole text is one listing.
        const QByteArrayView block = remaining;
        remaining = remaining.sliced(remaining.size());
        return block;
    }
    if (start == end) {
        const qsizetype at = FindIn(remaining, start);
        if (at < 0) {
            remaining = remaining.sliced(remaining.size());
            return {};
        }
        const QByteArrayView after = remaining.sliced(at + start.size());
        const qsizetype second = FindIn(after, end);
        if (second < 0) {
            remaining = after;
            return after;
        }
        // The end marker is the next listing's start: continue on it.
        remaining = after.sliced(second);
        return after.first(second);
    }
    qsizetype from = 0;
    if (!start.isEmpty()) {
        const qsizetype at = FindIn(remaining, start);
        if (at < 0) {
            remaining = remaining.sliced(remaining.size());
            return {};
        }
        from = at + start.size();
    }
    if (end.isEmpty()) {
        remaining = remaining.sliced(from);
        return remaining;
    }
    const qsizetype stop = FindIn(remaining, end, from);
    if (stop < 0) {
        remaining = remaining.sliced(remaining.size());
        return {};
    }
    const QByteArrayView block = remaining.sliced(from, stop - from);
    remaining = remaining.sliced(stop + end.size());
    return block;
}

QByteArrayView NextLink(QByteArrayView page, const GrabKey& key)
{
    if (key.nextStart.isEmpty() && key.nextEnd.isEmpty())
        return {};
    QByteArrayView copy = page;
    return CutBetween(copy, QByteArrayView(key.nextStart), QByteArrayView(key.nextEnd));
}

ParsedPage ParseListings(QByteArrayView page, const GrabKey& key, SiteRules rules, const ParseContext& context,
                         ParseTrace* trace)
{
    ParsedPage out;
    if (page.size() <= 16 && characterCount(page) <= 4)
        return out;

    const QByteArrayView listingStart(key.listingStart);
    const QByteArrayView listingEnd(key.listingEnd);
    const bool canCarryState = context.sheetColumns > kStateColumn;
    const bool canName = context.sheetColumns > kNameColumn;

    // The state a listing without one takes: the kept row above it.
    bool haveAbove = context.hasRecordAbove && canCarryState;
    qsizetype aboveOffset = 0;
    qsizetype aboveLength = 0;
    if (haveAbove) {
        aboveOffset = out.values.size();
        out.values.append(context.stateAbove);
        aboveLength = context.stateAbove.size();
    }

    // Room for the values and cells of a page, so that they are not copied as they grow.
    out.values.reserve(std::min<qsizetype>(page.size() / 8 + 64, qsizetype(16) << 20));
    out.cells.reserve(size_t(std::min<qsizetype>(key.listingsPerPage, page.size() / 64 + 1))
                      * size_t(std::max(1, key.lastField + 1)));
    RowBuilder row(out);
    QByteArray scratch;
    QByteArrayView remaining = page;
    for (int pass = 0; pass < key.listingsPerPage; ++pass) {
        // Once the text is used up every further pass cuts nothing.
        if (remaining.isEmpty())
            break;
        QByteArrayView block = CutListing(remaining, listingStart, listingEnd);
        row.clear();
        ParseTrace::Listing* traced = nullptr;
        if (trace && !block.isEmpty()) {
            traced = &trace->listings.emplace_back();
            traced->block = rangeIn(page, block);
            if (traced->block.isValid()) {
                noteMarker(page, traced->markers, -1, traced->block.offset - listingStart.size(), listingStart);
                noteMarker(page, traced->markers, -1, traced->block.offset + traced->block.length, listingEnd);
            }
        }
        for (int j = 0; j <= key.lastField && j < int(key.fields.size()); ++j) {
            const GrabKey::Field& f = key.fields[size_t(j)];
            QByteArrayView copy = block;
            QByteArrayView value = CutBetween(copy, QByteArrayView(f.start), QByteArrayView(f.end));
            if (value.isEmpty())
                continue;
            if (traced) {
                const ParseTrace::Range at = rangeIn(page, value);
                if (at.isValid()) {
                    traced->values.push_back({j, at});
                    noteMarker(page, traced->markers, j, at.offset - f.start.size(), QByteArrayView(f.start));
                    noteMarker(page, traced->markers, j, at.offset + at.length, QByteArrayView(f.end));
                }
            }
            if (j == 1 && FindIn(value, QByteArrayView("</")) >= 0) {
                if (rules == SiteRules::BuiltInA) {
                    const qsizetype div = FindIn(block, QByteArrayView("</div>"));
                    QByteArray next("\n  ");
                    if (div >= 0)
                        next.append(block.sliced(div + 6));
                    scratch.swap(next);
                    block = scratch;
                    value = {};
                } else {
                    const qsizetype br = FindIn(value, QByteArrayView("<BR>"));
                    value = br < 0 ? QByteArrayView() : value.sliced(br + 4);
                }
            } else if (!f.end.isEmpty()) {
                const qsizetype at = FindIn(block, QByteArrayView(f.end));
                if (at >= 0)
                    block = block.sliced(at + f.end.size());
            }
            if (f.column >= 0 && f.column < context.sheetColumns)
                row.write(f.column, value);
        }
        if (!canName || row.isEmpty(kNameColumn))
            continue;
        if (canCarryState) {
            if (row.isEmpty(kStateColumn)) {
                if (haveAbove)
                    row.set(kStateColumn, aboveOffset, aboveLength);
            }
            if (const ParsedPage::Cell* state = row.find(kStateColumn)) {
                aboveOffset = state->offset;
                aboveLength = state->length;
            } else {
                aboveLength = 0;
            }
            haveAbove = true;
        }
        row.commit();
        if (traced && trace)
            traced->row = out.rowCount() - 1;
        if (context.stopRequested) {
            out.stopped = true;
            break;
        }
    }
    return out;
}

} // namespace quillon
