#include "contact/ContactMerge.h"

#include "contact/PhoneNumbers.h"
#include "sheet/ParallelWork.h"
#include "sheet/RecordSheet.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillon {

namespace {

// The fewest digits of a national significant number the merge takes for a number.
constexpr int kShortestNumber = 4;

// Titles by which the columns are found, normalised.
bool titleIs(const RecordSheet& sheet, int col, std::initializer_list<const char*> names)
{
    const QString title = NormalizedContactText(sheet.title(col));
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return title == QLatin1String(n); });
}

int findColumn(const RecordSheet& sheet, std::initializer_list<const char*> names, int layoutColumn)
{
    for (int c = 0; c < sheet.cols(); ++c) {
        if (titleIs(sheet, c, names))
            return c;
    }
    return layoutColumn < sheet.cols() ? layoutColumn : -1;
}

void appendNormalized(QByteArrayView utf8, std::string& out)
{
    const size_t start = out.size();
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80) {
            // Letters beyond ASCII: folded and compared as Unicode.
            out.resize(start);
            const QByteArray folded = NormalizedContactText(QString::fromUtf8(utf8)).toUtf8();
            out.append(folded.constData(), size_t(folded.size()));
            return;
        }
        if (c >= 'A' && c <= 'Z')
            out += char(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += char(c);
    }
}

struct NameKey
{
    uint64_t hash;
    std::string_view text;
    bool operator==(const NameKey& o) const { return hash == o.hash && text == o.text; }
};
struct NameKeyHash
{
    size_t operator()(const NameKey& k) const { return size_t(k.hash); }
};

uint64_t hashBytes(std::string_view s)
{
    // FNV-1a, then mixed: names are short.
    uint64_t h = 1469598103934665603ull;
    for (const char c : s) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

/** Union-find over a group's members. */
struct Components
{
    std::vector<int> parent;
    explicit Components(size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    int root(int i)
    {
        while (parent[size_t(i)] != i) {
            parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
            i = parent[size_t(i)];
        }
        return i;
    }
    void join(int a, int b)
    {
        a = root(a);
        b = root(b);
        if (a != b)
            parent[size_t(std::max(a, b))] = std::min(a, b);
    }
};

// Where a number may end in a phone cell, and the four digits before each such place:
// the text read as digits (letters as their keys on the keypad, everything else left
// out), at the end of every run of digits and of every run of letters. A phone number
// found in a cell ends at such a place, its national significant number with it, so
// two cells that hold the same number share the four digits there. Cells that share
// none are not read by libphonenumber.
class NumberEnds
{
public:
    explicit NumberEnds(std::vector<int>& ends) : m_ends(ends) {}

    /** A character: its digit (0-9), or -1 for one that is neither digit nor letter;
     *  @p letter tells a letter's key from a digit. */
    void add(int digit, bool letter)
    {
        const Run kind = digit < 0 ? None : letter ? Letter : Digit;
        if (kind != m_run && m_run != None)
            endHere();
        m_run = kind;
        if (digit >= 0) {
            m_last = (m_last * 10 + digit) % 10000;
            m_count = std::min(m_count + 1, kShortestNumber);
        }
    }
    void finish()
    {
        if (m_run != None)
            endHere();
    }

private:
    enum Run
    {
        None,
        Digit,
        Letter
    };
    void endHere()
    {
        if (m_count == kShortestNumber)
            m_ends.push_back(m_last);
    }

    std::vector<int>& m_ends;
    int m_last = 0;
    int m_count = 0;
    Run m_run = None;
};

int keypadDigit(char16_t letter)
{
    static const char keys[] = "22233344455566677778889999";
    if (letter >= u'a' && letter <= u'z')
        return keys[letter - u'a'] - '0';
    if (letter >= u'A' && letter <= u'Z')
        return keys[letter - u'A'] - '0';
    return -1;
}

/** Adds the places where a number may end in @p utf8 to @p ends. */
void numberEnds(QByteArrayView utf8, std::vector<int>& ends)
{
    NumberEnds found(ends);
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
        for (const char c : utf8) {
            if (c >= '0' && c <= '9')
                found.add(c - '0', false);
            else
                found.add(keypadDigit(char16_t(c)), true);
        }
    } else {
        // Digits of other scripts are digits to libphonenumber too.
        for (const QChar ch : QString::fromUtf8(utf8)) {
            if (ch.isDigit())
                found.add(ch.digitValue(), false);
            else
                found.add(keypadDigit(ch.unicode()), true);
        }
    }
    found.finish();
}

/** The home region's country code and national prefix, as digits. */
struct Home
{
    std::string countryCode;
    std::string nationalPrefix;
};

/**
 * What a plain number text (PhoneNumbers::isPlainNumberText) reads the same as: a "+"
 * when it has one, and its digits, for libphonenumber reads such a text by them
 * alone. A number of the home region written with its country code ("+1 212 555
 * 0134") reads as the same digits without it ("212 555 0134") when these begin
 * with neither a 0 or 1, nor the national prefix, nor the country code, which
 * libphonenumber would read otherwise.
 */
std::string plainNumberKey(const QString& text, const Home& home)
{
    std::string key;
    for (const QChar ch : text) {
        if (ch == u'+' || ch.isDigit())
            key += ch == u'+' ? '+' : char('0' + ch.digitValue());
    }
    const size_t cc = home.countryCode.size();
    if (key.size() > cc + 1 && key[0] == '+' && key.compare(1, cc, home.countryCode) == 0) {
        const std::string_view national = std::string_view(key).substr(cc + 1);
        if (national[0] >= '2' && !national.starts_with(home.countryCode) &&
            (home.nationalPrefix.empty() || !national.starts_with(home.nationalPrefix)))
            return std::string(national);
    }
    return key;
}

/** What the merge needs of a record's phone and address, read in one pass over the
 *  sheet so that the records of a name, which lie anywhere in it, need not be. */
struct RowFacts
{
    static constexpr uint8_t kManyEnds = 0xff;
    uint64_t address = 0;  ///< hash of the normalised street and zip code; 0: one is empty
    uint16_t ends[4] = {}; ///< where a number may end (NumberEnds), ascending, distinct
    uint8_t endCount = 0;  ///< how many; kManyEnds when more than fit
};

/** The hash of @p utf8 normalised; 0 when that is empty. */
uint64_t normalizedHash(QByteArrayView utf8, std::string& buffer)
{
    buffer.clear();
    appendNormalized(utf8, buffer);
    return buffer.empty() ? 0 : hashBytes(buffer) | 1;
}

RowFacts rowFacts(const RecordSheet& sheet, const ContactColumns& columns, int row, std::vector<int>& ends,
                  std::string& buffer)
{
    RowFacts facts;
    ends.clear();
    numberEnds(sheet.textUtf8(row, columns.phone), ends);
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    if (ends.size() > std::size(facts.ends)) {
        facts.endCount = RowFacts::kManyEnds;
    } else {
        facts.endCount = uint8_t(ends.size());
        std::copy(ends.begin(), ends.end(), facts.ends);
    }
    if (columns.street >= 0 && columns.zip >= 0) {
        const uint64_t street = normalizedHash(sheet.textUtf8(row, columns.street), buffer);
        const uint64_t zip = street ? normalizedHash(sheet.textUtf8(row, columns.zip), buffer) : 0;
        if (street && zip)
            facts.address = (street ^ (zip * 0x9E3779B97F4A7C15ull)) | 1;
    }
    return facts;
}

struct FoundGroup
{
    std::vector<int> rows;
};

/** Sorts @p pairs and calls @p run(first, last) for each run of two or more equal keys. */
template <typename Key, typename F> void forEachShared(std::vector<std::pair<Key, int>>& pairs, F&& run)
{
    std::sort(pairs.begin(), pairs.end());
    for (size_t a = 0; a < pairs.size();) {
        size_t b = a + 1;
        while (b < pairs.size() && pairs[b].first == pairs[a].first)
            ++b;
        if (b - a > 1)
            run(a, b);
        a = b;
    }
}

/** The same-contact groups among @p members (rows of one name, ascending); @p facts
 *  holds each record's RowFacts by row - 1. */
void groupMembers(const RecordSheet& sheet, const ContactColumns& columns, const PhoneNumbers& numbers,
                  const Home& home, std::span<const int> members, const std::vector<RowFacts>& facts,
                  std::vector<FoundGroup>& out)
{
    const size_t n = members.size();
    std::vector<char> read(n), numberless(n);
    const auto factsOf = [&](size_t i) -> const RowFacts& { return facts[size_t(members[i] - 1)]; };

    // Phone cells that may hold a number another cell of the name holds.
    std::vector<std::pair<int, int>> ends; // (where a number may end, member)
    std::vector<int> cellEnds;
    for (size_t i = 0; i < n; ++i) {
        const RowFacts& f = factsOf(i);
        if (f.endCount == RowFacts::kManyEnds) {
            cellEnds.clear();
            numberEnds(sheet.textUtf8(members[i], columns.phone), cellEnds);
            for (const int e : cellEnds)
                ends.emplace_back(e, int(i));
        } else {
            for (int k = 0; k < f.endCount; ++k)
                ends.emplace_back(f.ends[k], int(i));
        }
        // A cell without four digits holds no number the merge takes.
        numberless[i] = f.endCount == 0;
    }
    forEachShared(ends, [&](size_t a, size_t b) {
        for (size_t k = a; k < b; ++k)
            read[size_t(ends[k].second)] = true;
    });

    // Streets and zip codes, for the records without a phone number: by a hash of the
    // normalised texts, compared where two are equal.
    std::vector<std::pair<uint64_t, int>> addresses;
    for (size_t i = 0; i < n; ++i) {
        if (factsOf(i).address)
            addresses.emplace_back(factsOf(i).address, int(i));
    }
    // Whether a phone cell with digits holds a number decides whether these records may
    // be the same by their address.
    forEachShared(addresses, [&](size_t a, size_t b) {
        for (size_t k = a; k < b; ++k)
            read[size_t(addresses[k].second)] = true;
    });
    std::string street, zip;
    const auto address = [&](int row) {
        street.clear();
        zip.clear();
        appendNormalized(sheet.textUtf8(row, columns.street), street);
        appendNormalized(sheet.textUtf8(row, columns.zip), zip);
        return !street.empty() && !zip.empty();
    };

    Components components(n);
    std::vector<std::pair<QByteArray, int>> keys;
    // Plain numbers of the same digits read the same: each is read once.
    std::unordered_map<std::string, QList<QByteArray>> plain;
    for (size_t i = 0; i < n; ++i) {
        if (!read[i] || numberless[i])
            continue;
        const QString phone = sheet.text(members[i], columns.phone);
        QList<QByteArray> found;
        if (PhoneNumbers::isPlainNumberText(phone)) {
            const auto [it, added] = plain.try_emplace(plainNumberKey(phone, home));
            if (added)
                it->second = numbers.sameNumberKeys(phone);
            found = it->second;
        } else {
            found = numbers.sameNumberKeys(phone);
        }
        bool any = false;
        for (const QByteArray& k : found) {
            // A short code of a few digits is no contact's number.
            const qsizetype national = k.indexOf('/') + 1;
            const qsizetype extension = k.indexOf('x', national);
            if ((extension < 0 ? k.size() : extension) - national < kShortestNumber)
                continue;
            keys.emplace_back(k, int(i));
            any = true;
        }
        numberless[i] = !any;
    }
    forEachShared(keys, [&](size_t a, size_t b) {
        for (size_t k = a + 1; k < b; ++k)
            components.join(keys[k].second, keys[a].second);
    });

    // Records without a number whose streets and zip codes match: each joins the
    // first such record of its address.
    if (!addresses.empty()) {
        std::vector<std::pair<QByteArray, int>> same;
        forEachShared(addresses, [&](size_t a, size_t b) {
            same.clear();
            for (size_t k = a; k < b; ++k) {
                const int m = addresses[k].second;
                if (!numberless[size_t(m)] || !address(members[size_t(m)]))
                    continue;
                QByteArray key(street.data(), qsizetype(street.size()));
                key += '\x1f';
                key.append(zip.data(), qsizetype(zip.size()));
                same.emplace_back(std::move(key), m);
            }
            forEachShared(same, [&](size_t c, size_t d) {
                for (size_t k = c + 1; k < d; ++k)
                    components.join(same[k].second, same[c].second);
            });
        });
    }

    // Members are ascending and a root is its component's smallest member, so the
    // components come out in the order of their first rows.
    std::vector<int> size(n);
    for (size_t i = 0; i < n; ++i)
        ++size[size_t(components.root(int(i)))];
    std::vector<int> slot(n, -1);
    for (size_t i = 0; i < n; ++i) {
        const int r = components.root(int(i));
        if (size[size_t(r)] < 2)
            continue;
        if (slot[size_t(r)] < 0) {
            slot[size_t(r)] = int(out.size());
            out.push_back({});
            out.back().rows.reserve(size_t(size[size_t(r)]));
        }
        out[size_t(slot[size_t(r)])].rows.push_back(members[i]);
    }
}

} // namespace

// ---- columns and names ----------------------------------------------------------------------

ContactColumns ContactColumns::of(const RecordSheet& sheet)
{
    ContactColumns c;
    c.name = findColumn(sheet, {"name"}, 0);
    c.street = findColumn(sheet, {"street", "address"}, 1);
    c.zip = findColumn(sheet, {"zipcode", "zip", "postalcode", "postcode"}, 4);
    c.phone = findColumn(sheet, {"phone", "telephone", "tel"}, 5);
    return c;
}

QString NormalizedContactText(QStringView text)
{
    QString out;
    // Upper case first, which writes the German sharp s as "SS", then lower case: letter case
    // aside, as full case folding does.
    const QString folded = text.toString().normalized(QString::NormalizationForm_KC).toUpper().toLower();
    for (const char32_t u : folded.toUcs4()) {
        if (QChar::isLetterOrNumber(u))
            out += QStringView(QChar::fromUcs4(u));
    }
    return out;
}

QByteArray NormalizedContactUtf8(QByteArrayView utf8)
{
    std::string out;
    appendNormalized(utf8, out);
    return QByteArray(out.data(), qsizetype(out.size()));
}

// ---- the plan -------------------------------------------------------------------------------

void ContactMergePlan::addGroup(std::span<const int> rows, int kept)
{
    if (m_starts.empty())
        m_starts.push_back(0);
    m_rows.insert(m_rows.end(), rows.begin(), rows.end());
    m_starts.push_back(int(m_rows.size()));
    m_kept.push_back(kept);
}

std::vector<int> ContactMergePlan::removedRows() const
{
    std::vector<int> rows;
    rows.reserve(size_t(removedCount()));
    for (int g = 0; g < groupCount(); ++g) {
        for (const int r : groupRows(g)) {
            if (r != keptRow(g))
                rows.push_back(r);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int FilledCellCount(const RecordSheet& sheet, int row)
{
    int filled = 0;
    for (int c = 0; c < sheet.cols(); ++c) {
        if (!sheet.isCellEmpty(row, c) ||
            (sheet.column(c).dataType == TypeCheckbox && sheet.isChecked(row, c)))
            ++filled;
    }
    return filled;
}

ContactMergePlan PlanContactMerge(const RecordSheet& sheet, const PhoneNumbers& numbers)
{
    ContactMergePlan plan;
    plan.columns = ContactColumns::of(sheet);
    if (!plan.columns.canMerge() || sheet.recordCount() < 2)
        return plan;
    const int records = sheet.recordCount();
    const int nameCol = plan.columns.name;

    // Normalised names, in one text a part of the sheet.
    const size_t parts = records >= 100'000 ? WorkerCount() : 1;
    std::vector<std::string> arenas(parts);
    std::vector<uint32_t> offsets(size_t(records) + 1);
    std::vector<uint64_t> hashes(static_cast<size_t>(records));
    std::vector<RowFacts> facts(static_cast<size_t>(records));
    const auto partStart = [&](size_t p) { return int(qint64(records) * qint64(p) / qint64(parts)); };
    RunInParallel(parts, [&](size_t p, size_t) {
        std::string& arena = arenas[p];
        arena.reserve(size_t(partStart(p + 1) - partStart(p)) * 16);
        std::vector<int> ends;
        std::string buffer;
        for (int i = partStart(p); i < partStart(p + 1); ++i) {
            const size_t at = arena.size();
            offsets[size_t(i)] = uint32_t(at);
            appendNormalized(sheet.textUtf8(i + 1, nameCol), arena);
            hashes[size_t(i)] = hashBytes(std::string_view(arena).substr(at));
            facts[size_t(i)] = rowFacts(sheet, plan.columns, i + 1, ends, buffer);
        }
    });
    const auto nameOf = [&](int i) {
        size_t p = 0;
        while (p + 1 < parts && i >= partStart(p + 1))
            ++p;
        const size_t end = i + 1 == partStart(p + 1) ? arenas[p].size() : offsets[size_t(i) + 1];
        return std::string_view(arenas[p]).substr(offsets[size_t(i)], end - offsets[size_t(i)]);
    };

    // Records by name: one pass through a hash table.
    std::vector<int> nameGroup(size_t(records), -1);
    std::vector<int> groupSize;
    {
        std::unordered_map<NameKey, int, NameKeyHash> groups;
        groups.reserve(size_t(records));
        for (int i = 0; i < records; ++i) {
            const std::string_view name = nameOf(i);
            if (name.empty())
                continue;
            const auto [it, added] =
                groups.try_emplace(NameKey{hashes[size_t(i)], name}, int(groupSize.size()));
            if (added)
                groupSize.push_back(0);
            nameGroup[size_t(i)] = it->second;
            ++groupSize[size_t(it->second)];
        }
    }
    std::vector<uint32_t>().swap(offsets);
    std::vector<uint64_t>().swap(hashes);
    std::vector<std::string>().swap(arenas);

    // The records of names that are not alone, name by name, each name's ascending.
    std::vector<int> start(groupSize.size() + 1, 0);
    for (size_t g = 0; g < groupSize.size(); ++g)
        start[g + 1] = start[g] + (groupSize[g] > 1 ? groupSize[g] : 0);
    std::vector<int> members(size_t(start.back()));
    {
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (int i = 0; i < records; ++i) {
            const int g = nameGroup[size_t(i)];
            if (g >= 0 && groupSize[size_t(g)] > 1)
                members[size_t(fill[size_t(g)]++)] = i + 1;
        }
    }
    std::vector<int>().swap(nameGroup);
    std::vector<int> shared;
    for (size_t g = 0; g < groupSize.size(); ++g) {
        if (groupSize[g] > 1)
            shared.push_back(int(g));
    }

    const Home home{std::to_string(numbers.countryCode()), numbers.nationalPrefix().toStdString()};
    // Each name's records are grouped on their own, the names split over the workers.
    const size_t workers = members.size() >= 20'000 ? WorkerCount() : 1;
    std::vector<std::vector<FoundGroup>> found(workers);
    // The names split where the records do, so that each worker has as many.
    std::vector<size_t> split(workers + 1, shared.size());
    split[0] = 0;
    for (size_t k = 0, w = 1; k < shared.size() && w < workers; ++k) {
        if (size_t(start[size_t(shared[k])]) * workers >= members.size() * w)
            split[w++] = k;
    }
    RunInParallel(workers, [&](size_t w, size_t) {
        for (size_t k = split[w]; k < split[w + 1]; ++k) {
            const int g = shared[k];
            const std::span<const int> rows(members.data() + start[size_t(g)],
                                            size_t(start[size_t(g) + 1] - start[size_t(g)]));
            groupMembers(sheet, plan.columns, numbers, home, rows, facts, found[w]);
        }
    });

    std::vector<FoundGroup> all;
    for (auto& part : found) {
        for (auto& group : part)
            all.push_back(std::move(group));
    }
    std::sort(all.begin(), all.end(),
              [](const FoundGroup& a, const FoundGroup& b) { return a.rows[0] < b.rows[0]; });
    for (const FoundGroup& group : all) {
        int kept = group.rows[0];
        int most = -1;
        for (const int r : group.rows) {
            const int filled = FilledCellCount(sheet, r);
            if (filled > most) {
                most = filled;
                kept = r;
            }
        }
        plan.addGroup(group.rows, kept);
    }
    return plan;
}

// ---- filling the kept records ---------------------------------------------------------------

std::vector<MergeFill> MergeFills(const RecordSheet& sheet, const ContactMergePlan& plan)
{
    std::vector<MergeFill> fills;
    const auto isEmpty = [&sheet](int row, int col) {
        return sheet.isCellEmpty(row, col) &&
               !(sheet.column(col).dataType == TypeCheckbox && sheet.isChecked(row, col));
    };
    for (int g = 0; g < plan.groupCount(); ++g) {
        const int kept = plan.keptRow(g);
        for (int c = 0; c < sheet.cols(); ++c) {
            if (!isEmpty(kept, c))
                continue;
            for (const int r : plan.groupRows(g)) {
                if (r != kept && !isEmpty(r, c)) {
                    fills.push_back({kept, c, r});
                    break;
                }
            }
        }
    }
    std::sort(fills.begin(), fills.end(), [](const MergeFill& a, const MergeFill& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
    return fills;
}

void WriteMergeFills(RecordSheet& sheet, const std::vector<MergeFill>& fills)
{
    RecordSheet::Batch batch(sheet);
    for (const MergeFill& f : fills) {
        sheet.setText(f.row, f.col, sheet.text(f.fromRow, f.col));
        if (sheet.column(f.col).dataType == TypeCheckbox && sheet.checked(f.fromRow, f.col) != 0)
            sheet.setChecked(f.row, f.col, sheet.checked(f.fromRow, f.col));
    }
}

} // namespace quillon
