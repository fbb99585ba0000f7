#include "files/VCardFormat.h"

#include "files/DelimitedText.h"
#include "files/DeviceStreams.h"
#include "sheet/RecordSheet.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace quillon::VCardFormat {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("GridFile", text);
}

constexpr int kFieldCount = int(Field::Category) + 2; // Company follows Category
constexpr int kCompany = kFieldCount - 1;

int index(Field f)
{
    return int(f);
}

QString normalizedTitle(const QString& title)
{
    return title.simplified().toLower();
}

/** Company is a field of its own beside the public ones: ORG when it differs from FN. */
int fieldIndexForTitle(const QString& title)
{
    const QString t = normalizedTitle(title);
    if (t == QLatin1String("company") || t == QLatin1String("organization") || t == QLatin1String("organisation"))
        return kCompany;
    return index(fieldForTitle(title));
}

QString titleOfIndex(int field)
{
    return field == kCompany ? QStringLiteral("Company") : titleOf(Field(field));
}

// ---- writing ----------------------------------------------------------------------

/** Appends @p text escaped as a vCard value: backslash, comma and line breaks always,
 *  the semicolon too in a component of a structured value. */
void appendEscaped(std::string& out, QByteArrayView text, bool component)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* run = p;
        while (p < end && *p != '\\' && *p != ',' && *p != '\n' && *p != '\r' && (*p != ';' || !component))
            ++p;
        out.append(run, size_t(p - run));
        if (p == end)
            break;
        const char c = *p++;
        switch (c) {
        case '\r':
            if (p < end && *p == '\n')
                ++p;
            [[fallthrough]];
        case '\n':
            out += "\\n";
            break;
        default:
            out.push_back('\\');
            out.push_back(c);
        }
    }
}

/** A parameter value in double quotes, with RFC 6868's carets for what quotes cannot hold. */
std::string quotedParameter(QByteArrayView text)
{
    std::string out = "\"";
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '^')
            out += "^^";
        else if (c == '"')
            out += "^'";
        else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "^n";
        } else
            out.push_back(c);
    }
    out.push_back('"');
    return out;
}

class CardWriter
{
public:
    explicit CardWriter(DeviceWriter& out) : m_out(out) {}

    std::string line;

    /** Writes line, folded: no physical line longer than 75 bytes, a fold never inside
     *  a UTF-8 sequence, each continuation starting with a space. */
    void put()
    {
        const size_t n = line.size();
        if (n <= 75) {
            char* q = m_out.reserve(n + 2);
            std::memcpy(q, line.data(), n);
            q[n] = '\r';
            q[n + 1] = '\n';
            m_out.commit(n + 2);
            return;
        }
        size_t pos = 0;
        size_t room = 75;
        while (pos < n) {
            size_t take = std::min(room, n - pos);
            if (pos + take < n) {
                size_t cut = pos + take;
                while (cut > pos && (uint8_t(line[cut]) & 0xC0u) == 0x80u)
                    --cut;
                if (cut > pos)
                    take = cut - pos;
            }
            char* q = m_out.reserve(take + 3);
            char* const start = q;
            if (pos > 0)
                *q++ = ' ';
            std::memcpy(q, line.data() + pos, take);
            q += take;
            *q++ = '\r';
            *q++ = '\n';
            m_out.commit(size_t(q - start));
            pos += take;
            room = 74;
        }
    }

private:
    DeviceWriter& m_out;
};

} // namespace

Field fieldForTitle(const QString& title)
{
    static const QHash<QString, Field> fields = {
        {QStringLiteral("name"), Field::Name},
        {QStringLiteral("full name"), Field::Name},
        {QStringLiteral("street"), Field::Street},
        {QStringLiteral("address"), Field::Street},
        {QStringLiteral("street address"), Field::Street},
        {QStringLiteral("city"), Field::City},
        {QStringLiteral("town"), Field::City},
        {QStringLiteral("state"), Field::State},
        {QStringLiteral("province"), Field::State},
        {QStringLiteral("region"), Field::State},
        {QStringLiteral("zip code"), Field::Zip},
        {QStringLiteral("zip"), Field::Zip},
        {QStringLiteral("zipcode"), Field::Zip},
        {QStringLiteral("postal code"), Field::Zip},
        {QStringLiteral("postcode"), Field::Zip},
        {QStringLiteral("country"), Field::Country},
        {QStringLiteral("phone"), Field::Phone},
        {QStringLiteral("telephone"), Field::Phone},
        {QStringLiteral("phone number"), Field::Phone},
        {QStringLiteral("web site"), Field::WebSite},
        {QStringLiteral("website"), Field::WebSite},
        {QStringLiteral("url"), Field::WebSite},
        {QStringLiteral("email"), Field::Email},
        {QStringLiteral("e-mail"), Field::Email},
        {QStringLiteral("email address"), Field::Email},
        {QStringLiteral("note"), Field::Note},
        {QStringLiteral("notes"), Field::Note},
        {QStringLiteral("category"), Field::Category},
        {QStringLiteral("categories"), Field::Category},
    };
    return fields.value(normalizedTitle(title), Field::None);
}

QString titleOf(Field field)
{
    switch (field) {
    case Field::Name:
        return QStringLiteral("Name");
    case Field::Street:
        return QStringLiteral("Street");
    case Field::City:
        return QStringLiteral("City");
    case Field::State:
        return QStringLiteral("State");
    case Field::Zip:
        return QStringLiteral("Zip Code");
    case Field::Country:
        return QStringLiteral("Country");
    case Field::Phone:
        return QStringLiteral("Phone");
    case Field::WebSite:
        return QStringLiteral("Web Site");
    case Field::Email:
        return QStringLiteral("Email");
    case Field::Note:
        return QStringLiteral("Note");
    case Field::Category:
        return QStringLiteral("Category");
    case Field::None:
        break;
    }
    return {};
}

QStringList standardTitles()
{
    QStringList titles;
    for (Field f : {Field::Name, Field::Street, Field::City, Field::State, Field::Zip, Field::Phone, Field::WebSite,
                    Field::Email})
        titles << titleOf(f);
    return titles;
}

bool write(QIODevice& device, const RecordSheet& sheet, QString* error, const GridProgress& progress)
{
    // Which column holds each field; other titled columns go out as X-QUILLON-COLUMN.
    std::array<int, kFieldCount> column;
    column.fill(-1);
    struct Extra
    {
        int column;
        std::string start; ///< the property up to and including its colon
    };
    std::vector<Extra> extras; ///< after the address, phone, web site and email: in column order
    std::vector<int> used;
    for (int c = 0; c < sheet.cols(); ++c) {
        const QString title = sheet.title(c);
        if (title.trimmed().isEmpty())
            continue;
        used.push_back(c);
        const int f = fieldIndexForTitle(title);
        if (f != index(Field::None) && column[size_t(f)] < 0) {
            column[size_t(f)] = c;
            continue;
        }
        extras.push_back({c, "X-QUILLON-COLUMN;X-TITLE=" + quotedParameter(sheet.textUtf8(0, c)) + ":"});
    }
    for (const auto& [field, start] : {std::pair{Field::Note, "NOTE:"}, std::pair{Field::Category, "CATEGORIES:"}})
        if (const int c = column[size_t(index(field))]; c >= 0)
            extras.push_back({c, start});
    std::sort(extras.begin(), extras.end(), [](const Extra& a, const Extra& b) { return a.column < b.column; });

    qint64 expected = 0;
    for (int c : used)
        expected += qint64(sheet.textColumn(c).arenaBytes() - sheet.textColumn(c).garbageBytes());
    expected += qint64(sheet.rows()) * 120;
    DeviceWriter out(device, progress, expected);
    CardWriter card(out);
    std::string& line = card.line;
    const auto text = [&](Field f, int row) {
        const int c = column[size_t(index(f))];
        return c < 0 ? QByteArrayView() : sheet.textColumn(c).utf8(row);
    };
    const auto simple = [&](const char* start, QByteArrayView value) {
        if (value.isEmpty())
            return;
        line.assign(start);
        appendEscaped(line, value, false);
        card.put();
    };
    for (int r = 1; r < sheet.rows() && !out.failed(); ++r) {
        const bool blank = std::all_of(used.begin(), used.end(), [&](int c) { return sheet.isCellEmpty(r, c); });
        if (blank)
            continue;
        static constexpr char kBegin[] = "BEGIN:VCARD\r\nVERSION:4.0\r\n";
        out.put(kBegin, sizeof kBegin - 1);

        const QByteArrayView name = text(Field::Name, r);
        line.assign("FN:");
        appendEscaped(line, name, false);
        card.put();
        const int companyColumn = column[size_t(kCompany)];
        const QByteArrayView org = companyColumn >= 0 ? sheet.textColumn(companyColumn).utf8(r) : name;
        if (!org.isEmpty()) {
            line.assign("ORG:");
            appendEscaped(line, org, true);
            card.put();
        }
        const QByteArrayView street = text(Field::Street, r), city = text(Field::City, r),
                             state = text(Field::State, r), zip = text(Field::Zip, r),
                             country = text(Field::Country, r);
        if (!street.isEmpty() || !city.isEmpty() || !state.isEmpty() || !zip.isEmpty() || !country.isEmpty()) {
            line.assign("ADR;TYPE=work:;;");
            appendEscaped(line, street, true);
            line.push_back(';');
            appendEscaped(line, city, true);
            line.push_back(';');
            appendEscaped(line, state, true);
            line.push_back(';');
            appendEscaped(line, zip, true);
            line.push_back(';');
            appendEscaped(line, country, true);
            card.put();
        }
        simple("TEL;TYPE=work:", text(Field::Phone, r));
        simple("URL:", text(Field::WebSite, r));
        simple("EMAIL:", text(Field::Email, r));
        for (const Extra& e : extras) {
            const QByteArrayView value = sheet.textColumn(e.column).utf8(r);
            if (value.isEmpty())
                continue;
            line.assign(e.start);
            appendEscaped(line, value, false);
            card.put();
        }
        static constexpr char kEnd[] = "END:VCARD\r\n";
        out.put(kEnd, sizeof kEnd - 1);
    }
    if (!out.flush()) {
        if (error)
            *error = out.error();
        return false;
    }
    return true;
}

// ---- reading ----------------------------------------------------------------------

namespace {

bool equalsUpper(QByteArrayView text, const char* upper)
{
    const size_t n = std::strlen(upper);
    if (size_t(text.size()) != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = text[qsizetype(i)];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView v)
{
    QByteArray out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '=' && i + 2 < v.size() + 0 && hexDigit(v[i + 1]) >= 0 && hexDigit(v[i + 2]) >= 0) {
            out.append(char(hexDigit(v[i + 1]) * 16 + hexDigit(v[i + 2])));
            i += 2;
        } else if (c == '=' && i + 1 == v.size()) {
            // a soft break at the very end
        } else {
            out.append(c);
        }
    }
    return out;
}

/** RFC 6868: ^^ caret, ^' double quote, ^n line break. */
std::string caretDecoded(QByteArrayView v)
{
    std::string out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == '^' && i + 1 < v.size()) {
            const char n = v[i + 1];
            if (n == '^' || n == '\'' || n == 'n' || n == 'N') {
                out.push_back(n == '^' ? '^' : (n == '\'' ? '"' : '\n'));
                ++i;
                continue;
            }
        }
        out.push_back(v[i]);
    }
    return out;
}

/** Removes the backslash escapes of a vCard value: \n and \N a line break, \\ \, \; \:
 *  the character; any other backslash stays. */
void appendUnescaped(std::string& out, QByteArrayView v)
{
    const char* p = v.data();
    const char* const end = p + v.size();
    while (p < end) {
        const auto* slash = static_cast<const char*>(std::memchr(p, '\\', size_t(end - p)));
        if (!slash) {
            out.append(p, size_t(end - p));
            return;
        }
        out.append(p, size_t(slash - p));
        if (slash + 1 == end) {
            out.push_back('\\');
            return;
        }
        const char c = slash[1];
        if (c == 'n' || c == 'N')
            out.push_back('\n');
        else if (c == '\\' || c == ',' || c == ';' || c == ':')
            out.push_back(c);
        else {
            out.push_back('\\');
            out.push_back(c);
        }
        p = slash + 2;
    }
}

/** The components of a structured value (ADR, N, ORG), split at semicolons that are
 *  not escaped, each unescaped. */
std::vector<std::string> components(QByteArrayView v)
{
    std::vector<std::string> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= v.size(); ++i) {
        if (i == v.size() || v[i] == ';') {
            out.emplace_back();
            appendUnescaped(out.back(), v.sliced(start, i - start));
            start = i + 1;
        } else if (v[i] == '\\') {
            ++i;
        }
    }
    return out;
}

std::string joinNonEmpty(std::initializer_list<const std::string*> parts, const char* separator)
{
    std::string out;
    for (const std::string* p : parts) {
        if (p->empty())
            continue;
        if (!out.empty())
            out += separator;
        out += *p;
    }
    return out;
}

struct Property
{
    QByteArrayView name;
    QByteArrayView value;
    QByteArrayView charset;
    QByteArrayView title; ///< X-TITLE, still in quotes' encoding
    bool quotedPrintable = false;
    bool base64 = false;
};

/** Where the value of a content line starts: after the first colon outside double
 *  quotes; -1 when there is none. */
qsizetype valueStart(QByteArrayView line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            return i + 1;
    }
    return -1;
}

bool parseProperty(QByteArrayView line, Property& p)
{
    const qsizetype colon = valueStart(line);
    if (colon < 0)
        return false;
    p.value = line.sliced(colon);
    const QByteArrayView head = line.first(colon - 1);
    qsizetype i = 0;
    while (i < head.size() && head[i] != ';')
        ++i;
    QByteArrayView name = trimmed(head.first(i));
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1); // a group: "item1.TEL"
    p.name = name;
    // Parameters: NAME=value,"value" or, in vCard 2.1, a bare value.
    while (i < head.size()) {
        ++i; // the semicolon
        const qsizetype start = i;
        bool quoted = false;
        while (i < head.size() && (quoted || head[i] != ';')) {
            if (head[i] == '"')
                quoted = !quoted;
            ++i;
        }
        const QByteArrayView param = trimmed(head.sliced(start, i - start));
        const qsizetype eq = param.indexOf('=');
        const QByteArrayView key = trimmed(eq < 0 ? param : param.first(eq));
        QByteArrayView value = eq < 0 ? QByteArrayView() : trimmed(param.sliced(eq + 1));
        if (eq < 0) {
            if (equalsUpper(key, "QUOTED-PRINTABLE"))
                p.quotedPrintable = true;
            else if (equalsUpper(key, "BASE64"))
                p.base64 = true;
            continue;
        }
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.sliced(1, value.size() - 2);
        if (equalsUpper(key, "ENCODING")) {
            if (equalsUpper(value, "QUOTED-PRINTABLE"))
                p.quotedPrintable = true;
            else if (equalsUpper(value, "B") || equalsUpper(value, "BASE64"))
                p.base64 = true;
        } else if (equalsUpper(key, "CHARSET")) {
            p.charset = value;
        } else if (equalsUpper(key, "X-TITLE")) {
            p.title = value;
        }
    }
    return true;
}

/** The parameters of a content line ask for quoted-printable: its value may go on in
 *  the next line after a soft break ("=" at the end). */
bool asksQuotedPrintable(QByteArrayView line)
{
    const qsizetype colon = valueStart(line);
    const QByteArrayView head = colon < 0 ? line : line.first(colon);
    static const QByteArray marker("QUOTED-PRINTABLE");
    return QByteArray(head.data(), head.size()).toUpper().contains(marker);
}

class Reader
{
public:
    Reader(RecordSheet& sheet, const QStringList& titles) : m_sheet(sheet)
    {
        m_column.fill(-1);
        m_sheet.setRows(1);
        m_sheet.setCols(int(titles.size()));
        m_columnBytes.assign(size_t(titles.size()), 0);
        for (int c = 0; c < titles.size(); ++c) {
            m_sheet.setTitle(c, titles[c]);
            const int f = fieldIndexForTitle(titles[c]);
            if (f != index(Field::None) && m_column[size_t(f)] < 0) {
                m_column[size_t(f)] = c;
                continue;
            }
            const QString key = normalizedTitle(titles[c]);
            if (!key.isEmpty() && !m_titled.contains(key))
                m_titled.insert(key, c);
        }
    }

    bool run(QIODevice& device, QString* error, const GridProgress& progress);

private:
    struct Card
    {
        std::array<std::string, kFieldCount> values;
        std::array<bool, kFieldCount> seen{};
        std::string org;
        std::string n;
        bool hasOrg = false;
        bool hasN = false;
        std::vector<std::pair<std::string, std::string>> extras; ///< title, value
        /** The fields and extras (kFieldCount + their index) in the order the card has
         *  them: the order new columns are made in. */
        std::vector<int> order;
    };

    bool fail(const QString& reason)
    {
        if (m_reason.isEmpty())
            m_reason = reason;
        return false;
    }
    bool content(QByteArrayView line, qint64 lineNumber);
    bool property(QByteArrayView line);
    std::string decodedValue(const Property& p) const;
    bool finishCard();
    int fieldColumn(int field);
    int titledColumn(const std::string& title);
    int newColumn(const QString& title);
    bool setCell(int row, int col, const std::string& text);

    RecordSheet& m_sheet;
    std::array<int, kFieldCount> m_column;
    QHash<QString, int> m_titled;
    std::vector<quint64> m_columnBytes;
    Card m_card;
    int m_depth = 0;
    qint64 m_cardLine = 0;
    int m_records = 0;
    bool m_anyCard = false;
    QString m_reason;
};

/** Line breaks that a transfer encoding brought in are line feeds, as "\n" makes them. */
void normalizeLineBreaks(std::string& s)
{
    if (s.find('\r') == std::string::npos)
        return;
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r') {
            out.push_back(s[i]);
            continue;
        }
        out.push_back('\n');
        if (i + 1 < s.size() && s[i + 1] == '\n')
            ++i;
    }
    s.swap(out);
}

std::string Reader::decodedValue(const Property& p) const
{
    QByteArray raw;
    QByteArrayView bytes = p.value;
    if (p.quotedPrintable) {
        raw = decodeQuotedPrintable(bytes);
        bytes = raw;
    } else if (p.base64) {
        raw = QByteArray::fromBase64(QByteArray(bytes.data(), bytes.size()));
        bytes = raw;
    }
    std::string out;
    if (!p.charset.isEmpty() && !equalsUpper(p.charset, "UTF-8") && !equalsUpper(p.charset, "UTF8")) {
        QStringDecoder decoder(QByteArray(p.charset.data(), p.charset.size()).constData());
        if (decoder.isValid()) {
            const QString text = decoder.decode(bytes);
            if (!decoder.hasError()) {
                const QByteArray utf8 = text.toUtf8();
                out.assign(utf8.constData(), size_t(utf8.size()));
                normalizeLineBreaks(out);
                return out;
            }
        }
        // A charset that is unknown or wrong: read the bytes as an undeclared value.
    }
    if (QByteArrayView(bytes).isValidUtf8())
        out.assign(bytes.data(), size_t(bytes.size()));
    else
        appendMixedAsUtf8(out, bytes.data(), size_t(bytes.size()));
    normalizeLineBreaks(out);
    return out;
}

bool Reader::property(QByteArrayView line)
{
    Property p;
    if (!parseProperty(line, p) || p.name.isEmpty())
        return true; // not a property: ignored
    const QByteArrayView name = p.name;
    const auto text = [&]() {
        std::string v;
        appendUnescaped(v, decodedValue(p));
        return v;
    };
    const auto first = [&](Field f, std::string value) {
        const size_t i = size_t(index(f));
        if (!m_card.seen[i] && !value.empty()) {
            m_card.values[i] = std::move(value);
            m_card.seen[i] = true;
            m_card.order.push_back(int(i));
        }
    };
    const auto joined = [&](Field f, const std::string& value, const char* separator) {
        std::string& v = m_card.values[size_t(index(f))];
        if (value.empty())
            return;
        if (!v.empty())
            v += separator;
        else
            m_card.order.push_back(index(f));
        v += value;
    };
    if (equalsUpper(name, "FN")) {
        first(Field::Name, text());
    } else if (equalsUpper(name, "ORG")) {
        if (!m_card.hasOrg) {
            const std::string decoded = decodedValue(p);
            std::string org;
            for (const std::string& part : components(decoded)) {
                if (part.empty())
                    continue;
                if (!org.empty())
                    org += ", ";
                org += part;
            }
            m_card.org = std::move(org);
            m_card.hasOrg = !m_card.org.empty();
            m_card.order.push_back(kCompany);
        }
    } else if (equalsUpper(name, "N")) {
        if (!m_card.hasN) {
            std::vector<std::string> parts = components(decodedValue(p));
            parts.resize(5);
            // family; given; additional; prefix; suffix
            m_card.n = joinNonEmpty({&parts[3], &parts[1], &parts[2], &parts[0], &parts[4]}, " ");
            m_card.hasN = !m_card.n.empty();
        }
    } else if (equalsUpper(name, "ADR")) {
        if (m_card.seen[size_t(index(Field::Street))] || m_card.seen[size_t(index(Field::City))] ||
            m_card.seen[size_t(index(Field::State))] || m_card.seen[size_t(index(Field::Zip))] ||
            m_card.seen[size_t(index(Field::Country))])
            return true; // the first address counts
        std::vector<std::string> parts = components(decodedValue(p));
        parts.resize(7);
        // post office box; extended address; street; locality; region; postal code; country
        first(Field::Street, joinNonEmpty({&parts[2], &parts[1], &parts[0]}, ", "));
        first(Field::City, parts[3]);
        first(Field::State, parts[4]);
        first(Field::Zip, parts[5]);
        first(Field::Country, parts[6]);
    } else if (equalsUpper(name, "TEL")) {
        std::string v = text();
        if (v.size() >= 4 && equalsUpper(QByteArrayView(v.data(), 4), "TEL:"))
            v.erase(0, 4);
        first(Field::Phone, std::move(v));
    } else if (equalsUpper(name, "EMAIL")) {
        first(Field::Email, text());
    } else if (equalsUpper(name, "URL")) {
        first(Field::WebSite, text());
    } else if (equalsUpper(name, "NOTE")) {
        joined(Field::Note, text(), "\n");
    } else if (equalsUpper(name, "CATEGORIES")) {
        joined(Field::Category, text(), ",");
    } else if (equalsUpper(name, "X-QUILLON-COLUMN") && !p.title.isEmpty()) {
        std::string v = text();
        if (!v.empty()) {
            m_card.order.push_back(kFieldCount + int(m_card.extras.size()));
            m_card.extras.emplace_back(caretDecoded(p.title), std::move(v));
        }
    }
    return true;
}

int Reader::newColumn(const QString& title)
{
    const int c = m_sheet.cols();
    if (!RecordSheet::canHold(m_sheet.rows(), qint64(c) + 1))
        m_sheet.setRows(m_records + 2); // rows made ahead are empty: room for the column
    if (!RecordSheet::canHold(m_sheet.rows(), qint64(c) + 1)) {
        fail(sheetSizeRefusal(m_sheet.rows(), qint64(c) + 1));
        return -1;
    }
    m_sheet.setCols(c + 1);
    m_sheet.setTitle(c, title);
    m_columnBytes.push_back(0);
    return c;
}

int Reader::fieldColumn(int field)
{
    int& c = m_column[size_t(field)];
    if (c < 0)
        c = newColumn(titleOfIndex(field));
    return c;
}

int Reader::titledColumn(const std::string& title)
{
    const QString t = QString::fromUtf8(title.data(), qsizetype(title.size()));
    const QString key = normalizedTitle(t);
    if (const auto it = m_titled.constFind(key); it != m_titled.constEnd())
        return it.value();
    const int c = newColumn(t);
    if (c >= 0)
        m_titled.insert(key, c);
    return c;
}

bool Reader::setCell(int row, int col, const std::string& text)
{
    if (text.empty())
        return true;
    if (qint64(text.size()) > kMaxCellTextBytes)
        return fail(tr("Its card on line %1 has a value of more than %2 bytes, more than a cell of a sheet can hold.")
                        .arg(m_cardLine)
                        .arg(kMaxCellTextBytes));
    quint64& bytes = m_columnBytes[size_t(col)];
    bytes += quint64(text.size()) + 5;
    const QByteArrayView view(text.data(), qsizetype(text.size()));
    if (bytes > kMaxColumnTextBytes || (m_sheet.setTextUtf8(row, col, view), m_sheet.isCellEmpty(row, col)))
        return fail(tr("Its column %1 holds more text than a column of a sheet can keep.").arg(col + 1));
    return true;
}

bool Reader::finishCard()
{
    Card& card = m_card;
    const size_t nameIndex = size_t(index(Field::Name));
    std::string company;
    if (card.values[nameIndex].empty()) {
        card.values[nameIndex] = card.hasOrg ? card.org : card.n;
        card.order.insert(card.order.begin(), int(nameIndex));
    } else if (card.hasOrg && card.org != card.values[nameIndex]) {
        company = card.org;
    }
    const bool any = !company.empty() || !card.extras.empty() ||
                     std::any_of(card.values.begin(), card.values.end(), [](const std::string& v) { return !v.empty(); });
    if (any) {
        const int row = m_records + 1;
        if (row >= m_sheet.rows()) {
            // Grow by half again, within what a sheet holds.
            const qint64 cols = std::max(m_sheet.cols(), 1);
            const qint64 most = std::min<qint64>(RecordSheet::kMaxRows, RecordSheet::kMaxCells / cols);
            if (row >= most)
                return fail(row >= RecordSheet::kMaxRows
                                ? tr("It has more than the %1 cards a sheet can hold.").arg(RecordSheet::kMaxRows - 1)
                                : sheetSizeRefusal(qint64(row) + 1, cols));
            m_sheet.setRows(int(std::min<qint64>(most, std::max<qint64>(row + 1, m_sheet.rows() + m_sheet.rows() / 2 + 64))));
        }
        for (const int slot : card.order) {
            if (slot >= kFieldCount) {
                const auto& [title, value] = card.extras[size_t(slot - kFieldCount)];
                const int c = titledColumn(title);
                if (c < 0 || !setCell(row, c, value))
                    return false;
                continue;
            }
            const std::string& value = slot == kCompany ? company : card.values[size_t(slot)];
            if (value.empty())
                continue;
            const int c = fieldColumn(slot);
            if (c < 0 || !setCell(row, c, value))
                return false;
        }
        ++m_records;
    }
    m_card = Card();
    return true;
}

bool Reader::content(QByteArrayView line, qint64 lineNumber)
{
    const qsizetype colon = line.indexOf(':');
    if (colon >= 0) {
        const QByteArrayView name = trimmed(line.first(colon));
        const QByteArrayView value = trimmed(line.sliced(colon + 1));
        if (equalsUpper(name, "BEGIN") && equalsUpper(value, "VCARD")) {
            if (m_depth++ == 0) {
                m_cardLine = lineNumber;
                m_anyCard = true;
                m_card = Card();
            }
            return true;
        }
        if (equalsUpper(name, "END") && equalsUpper(value, "VCARD")) {
            if (m_depth == 0)
                return true; // an END without its BEGIN says nothing
            if (--m_depth == 0)
                return finishCard();
            return true;
        }
    }
    if (m_depth == 1)
        return property(line);
    return true; // outside cards, or inside a nested one
}

bool Reader::run(QIODevice& device, QString* error, const GridProgress& progress)
{
    const auto refuse = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (device.size() - device.pos() <= 0)
        return refuse(tr("The file is empty."));
    RecordSheet::Batch batch(m_sheet);
    DeviceReader in(device, -1, progress);
    std::string pending;
    bool havePending = false;
    qint64 pendingLine = 0;
    qint64 lineNumber = 0;
    bool first = true;
    const auto process = [&]() { return content(QByteArrayView(pending.data(), qsizetype(pending.size())), pendingLine); };
    for (;;) {
        // The next physical line, ending at CR, LF or CR LF.
        if (in.available() == 0 && !in.fill(1))
            break;
        const char* p = in.pos();
        size_t n = in.available();
        const char* eol = nullptr;
        for (;;) {
            const auto* lf = static_cast<const char*>(std::memchr(p, '\n', n));
            const auto* cr = static_cast<const char*>(std::memchr(p, '\r', lf ? size_t(lf - p) : n));
            eol = cr ? cr : lf;
            if (eol && !(eol == cr && eol + 1 == p + n && in.remaining() > qint64(n)))
                break;
            if (in.remaining() == qint64(n)) { // the last line has no line end
                eol = nullptr;
                break;
            }
            if (qint64(n) > kMaxCellTextBytes)
                return refuse(tr("Its line %1 is longer than %2 bytes, more than a cell of a sheet can hold.")
                                  .arg(lineNumber + 1)
                                  .arg(kMaxCellTextBytes));
            in.fill(std::max<size_t>(n * 2, n + 1));
            if (in.failed())
                return refuse(in.error());
            p = in.pos();
            n = in.available();
        }
        const size_t length = eol ? size_t(eol - p) : n;
        size_t consumed = length;
        if (eol)
            consumed += (*eol == '\r' && length + 1 < n && eol[1] == '\n') ? 2 : 1;
        QByteArrayView physical(p, qsizetype(length));
        ++lineNumber;
        if (std::memchr(physical.data(), '\0', size_t(physical.size())))
            return refuse(tr("The file is not a text file: it holds binary data."));
        if (first && physical.startsWith("\xEF\xBB\xBF"))
            physical = physical.sliced(3);
        first = false;

        if (havePending && !physical.isEmpty() && (physical.front() == ' ' || physical.front() == '\t')) {
            pending.append(physical.data() + 1, size_t(physical.size() - 1));
        } else if (havePending && !pending.empty() && pending.back() == '=' &&
                   asksQuotedPrintable(QByteArrayView(pending.data(), qsizetype(pending.size())))) {
            pending.pop_back(); // a quoted-printable soft line break
            pending.append(physical.data(), size_t(physical.size()));
        } else {
            if (havePending && !process())
                return refuse(m_reason);
            pending.assign(physical.data(), size_t(physical.size()));
            havePending = true;
            pendingLine = lineNumber;
        }
        if (qint64(pending.size()) > kMaxCellTextBytes)
            return refuse(tr("Its line %1 is longer than %2 bytes, more than a cell of a sheet can hold.")
                              .arg(pendingLine)
                              .arg(kMaxCellTextBytes));
        in.advance(consumed);
    }
    if (in.failed())
        return refuse(in.error());
    if (havePending && !process())
        return refuse(m_reason);
    if (!m_anyCard)
        return refuse(tr("The file holds no vCard: it has no BEGIN:VCARD line."));
    if (m_depth > 0)
        return refuse(tr("The card that begins on line %1 has no END:VCARD line; the file may have been cut short.")
                          .arg(m_cardLine));
    m_sheet.setRows(m_records + 1);
    return true;
}

} // namespace

bool read(QIODevice& device, RecordSheet& fresh, const QStringList& columnTitles, QString* error,
          const GridProgress& progress)
{
    if (device.isSequential()) {
        QByteArray all = device.readAll();
        QBuffer buffer(&all);
        buffer.open(QIODevice::ReadOnly);
        return read(buffer, fresh, columnTitles, error, progress);
    }
    const QByteArray head = device.peek(2);
    if (head == "\xFF\xFE" || head == "\xFE\xFF") {
        // UTF-16, as some address books export: read as UTF-8.
        const QByteArray raw = device.readAll();
        QStringDecoder decoder(head == "\xFF\xFE" ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString text = decoder.decode(QByteArrayView(raw).sliced(2));
        if (decoder.hasError() || raw.size() % 2 != 0) {
            if (error)
                *error = tr("The file is not valid UTF-16 text.");
            return false;
        }
        QByteArray utf8 = text.toUtf8();
        QBuffer buffer(&utf8);
        buffer.open(QIODevice::ReadOnly);
        return read(buffer, fresh, columnTitles, error, progress);
    }
    Reader reader(fresh, columnTitles.isEmpty() ? standardTitles() : columnTitles);
    return reader.run(device, error, progress);
}

} // namespace quillon::VCardFormat
