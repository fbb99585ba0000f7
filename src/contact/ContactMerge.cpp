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

// Three digits in a row of a phone cell, letters read as their keys on the keypad and
// everything else left out. Two cells that hold the same number share the last three
// digits of its national significant number, so cells that share no such run need not
// be read by libphonenumber. A cell of fewer digits gives them all, marked by length.
void digitRuns(const QString& text, std::vector<int>& runs)
{
    std::string digits;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (ch.isDigit())
            digits += char('0' + ch.digitValue());
        else if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'))
            digits += PhoneNumbers::keypadDigits(QStringView(&ch, 1)).at(0).toLatin1();
    }
    if (digits.size() < 3) {
        int v = 0;
        for (const char d : digits)
            v = v * 10 + (d - '0');
        runs.push_back(int(1000 * (1 + digits.size()) + v));
        return;
    }
    for (size_t i = 0; i + 3 <= digits.size(); ++i)
        runs.push_back((digits[i] - '0') * 100 + (digits[i + 1] - '0') * 10 + (digits[i + 2] - '0'));
}

bool hasDigit(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

struct FoundGroup
{
    std::vector<int> rows;
};

/** The same-contact groups among @p members (rows of one name, ascending). */
void groupMembers(const RecordSheet& sheet, const ContactColumns& columns, const PhoneNumbers& numbers,
                  std::span<const int> members, std::vector<FoundGroup>& out)
{
    const size_t n = members.size();
    // A cell longer than this is read by libphonenumber whenever its name is shared.
    constexpr qsizetype kLongCell = 256;

    std::vector<QString> phones(n);
    std::vector<char> digit(n), readAlways(n), read(n);
    std::vector<std::pair<int, int>> runs; // (run, member)
    std::vector<int> cellRuns;
    bool anyAlways = false;
    for (size_t i = 0; i < n; ++i) {
        phones[i] = sheet.text(members[i], columns.phone);
        digit[i] = hasDigit(phones[i]);
        if (!digit[i])
            continue;
        if (phones[i].size() > kLongCell) {
            readAlways[i] = true;
            anyAlways = true;
            continue;
        }
        cellRuns.clear();
        digitRuns(phones[i], cellRuns);
        std::sort(cellRuns.begin(), cellRuns.end());
        cellRuns.erase(std::unique(cellRuns.begin(), cellRuns.end()), cellRuns.end());
        for (const int r : cellRuns)
            runs.emplace_back(r, int(i));
    }
    std::sort(runs.begin(), runs.end());
    for (size_t a = 0; a < runs.size();) {
        size_t b = a + 1;
        while (b < runs.size() && runs[b].first == runs[a].first)
            ++b;
        if (b - a > 1) {
            for (size_t k = a; k < b; ++k)
                read[size_t(runs[k].second)] = true;
        }
        a = b;
    }

    // Streets and zip codes, for the records without a phone number.
    std::vector<std::pair<QByteArray, int>> addresses;
    if (columns.street >= 0 && columns.zip >= 0) {
        for (size_t i = 0; i < n; ++i) {
            std::string street, zip;
            appendNormalized(sheet.textUtf8(members[i], columns.street), street);
            appendNormalized(sheet.textUtf8(members[i], columns.zip), zip);
            if (street.empty() || zip.empty())
                continue;
            QByteArray key(street.data(), qsizetype(street.size()));
            key += '\x1f';
            key.append(zip.data(), qsizetype(zip.size()));
            addresses.emplace_back(std::move(key), int(i));
        }
        std::sort(addresses.begin(), addresses.end());
        for (size_t a = 0; a < addresses.size();) {
            size_t b = a + 1;
            while (b < addresses.size() && addresses[b].first == addresses[a].first)
                ++b;
            // Whether a phone cell with digits holds a number decides whether these
            // records may be the same by their address.
            if (b - a > 1) {
                for (size_t k = a; k < b; ++k)
                    read[size_t(addresses[k].second)] = true;
            }
            a = b;
        }
    }

    Components components(n);
    std::vector<std::pair<QByteArray, int>> keys;
    std::vector<char> numberless(n);
    for (size_t i = 0; i < n; ++i) {
        if (!digit[i]) {
            numberless[i] = true;
            continue;
        }
        // A cell too long for its runs to be listed may hold any number.
        if (!(read[i] || readAlways[i] || anyAlways))
            continue;
        const QList<QByteArray> found = numbers.sameNumberKeys(phones[i]);
        numberless[i] = found.isEmpty();
        for (const QByteArray& k : found)
            keys.emplace_back(k, int(i));
    }
    std::sort(keys.begin(), keys.end());
    for (size_t k = 1; k < keys.size(); ++k) {
        if (keys[k].first == keys[k - 1].first)
            components.join(keys[k].second, keys[k - 1].second);
    }
    // Records without a number whose streets and zip codes match: each joins the
    // first such record of its address.
    for (size_t a = 0; a < addresses.size();) {
        size_t b = a;
        int first = -1;
        while (b < addresses.size() && addresses[b].first == addresses[a].first) {
            const int m = addresses[b].second;
            if (numberless[size_t(m)]) {
                if (first < 0)
                    first = m;
                else
                    components.join(first, m);
            }
            ++b;
        }
        a = b;
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
    const auto partStart = [&](size_t p) { return int(qint64(records) * qint64(p) / qint64(parts)); };
    RunInParallel(parts, [&](size_t p, size_t) {
        std::string& arena = arenas[p];
        arena.reserve(size_t(partStart(p + 1) - partStart(p)) * 16);
        for (int i = partStart(p); i < partStart(p + 1); ++i) {
            const size_t at = arena.size();
            offsets[size_t(i)] = uint32_t(at);
            appendNormalized(sheet.textUtf8(i + 1, nameCol), arena);
            hashes[size_t(i)] = hashBytes(std::string_view(arena).substr(at));
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

    // Each name's records are grouped on their own, the names split over the workers.
    const size_t workers = members.size() >= 20'000 ? WorkerCount() : 1;
    std::vector<std::vector<FoundGroup>> found(workers);
    RunInParallel(workers, [&](size_t w, size_t count) {
        const size_t first = shared.size() * w / count;
        const size_t last = shared.size() * (w + 1) / count;
        for (size_t k = first; k < last; ++k) {
            const int g = shared[k];
            const std::span<const int> rows(members.data() + start[size_t(g)],
                                            size_t(start[size_t(g) + 1] - start[size_t(g)]));
            groupMembers(sheet, plan.columns, numbers, rows, found[w]);
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
