#include "files/XmlScanner.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("GridFile", text);
}

constexpr size_t kFirstBuffer = size_t(1) << 20;
/** No tag or text of a spreadsheet part comes near these; a file that goes past them
 *  would only make the scanner hold more memory. */
constexpr size_t kMaxTokenBytes = size_t(64) << 20;
constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxAttributes = 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/** Where the last, incomplete UTF-8 sequence of [p, p+n) starts; n when it ends complete. */
size_t completeUtf8Prefix(const char* p, size_t n)
{
    for (size_t k = 1; k <= std::min<size_t>(3, n); ++k) {
        const auto b = uint8_t(p[n - k]);
        if ((b & 0xC0u) == 0x80u)
            continue;
        if (b >= 0xC0u) {
            const size_t length = b >= 0xF0u ? 4 : (b >= 0xE0u ? 3 : 2);
            return length > k ? n - k : n;
        }
        return n;
    }
    return n;
}

void appendUtf8(std::string& out, char32_t u)
{
    if (u < 0x80) {
        out.push_back(char(u));
    } else if (u < 0x800) {
        out.push_back(char(0xC0 | (u >> 6)));
        out.push_back(char(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
        out.push_back(char(0xE0 | (u >> 12)));
        out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(char(0x80 | (u & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (u >> 18)));
        out.push_back(char(0x80 | ((u >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(char(0x80 | (u & 0x3F)));
    }
}

bool isXmlChar(char32_t u)
{
    return u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) || (u >= 0xE000 && u <= 0xFFFD) ||
           (u >= 0x10000 && u <= 0x10FFFF);
}

QByteArrayView localPart(QByteArrayView name)
{
    for (qsizetype i = name.size(); i-- > 0;)
        if (name[i] == ':')
            return name.sliced(i + 1);
    return name;
}

bool same(QByteArrayView a, QByteArrayView b)
{
    return XmlScanner::equalBytes(a, b.data(), size_t(b.size()));
}

} // namespace

XmlScanner::XmlScanner(Source source) : m_source(std::move(source))
{
    m_buffer.resize(kFirstBuffer);
}

void XmlScanner::fail(const QString& reason)
{
    if (m_error.isEmpty())
        m_error = reason;
}

XmlScanner::Token XmlScanner::error(const QString& reason)
{
    fail(reason);
    return Invalid;
}

bool XmlScanner::validateUpTo(size_t end, bool last)
{
    const size_t upTo = last ? end : m_validated + completeUtf8Prefix(m_buffer.data() + m_validated, end - m_validated);
    if (upTo > m_validated) {
        if (!QByteArrayView(m_buffer.data() + m_validated, qsizetype(upTo - m_validated)).isValidUtf8()) {
            fail(tr("Its XML is not UTF-8 text."));
            return false;
        }
        m_validated = upTo;
    }
    return true;
}

bool XmlScanner::fill(size_t)
{
    if (m_eof || !m_error.isEmpty())
        return false;
    // Keep what is not yet consumed at the front; grow when it fills the buffer.
    if (m_pos > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_validated -= m_pos;
        m_pos = 0;
    }
    if (m_end == m_buffer.size()) {
        // The buffer is full of one tag or text that goes on.
        if (m_buffer.size() >= kMaxTokenBytes) {
            fail(tr("Its XML has a tag or a text of more than %1 MB; no spreadsheet writes one.")
                     .arg(kMaxTokenBytes >> 20));
            return false;
        }
        m_buffer.resize(m_buffer.size() * 2);
    }
    qint64 got = 0;
    // The first bytes say what the text is: read at least four of them before looking.
    do {
        const qint64 n = m_source(m_buffer.data() + m_end, qint64(m_buffer.size() - m_end));
        if (n < 0) {
            fail(tr("The file could not be read."));
            return false;
        }
        m_read += n;
        m_end += size_t(n);
        got += n;
        if (n == 0)
            break;
    } while (!m_started && m_end < 4);
    if (!m_started) {
        m_started = true;
        const QByteArrayView head(m_buffer.data(), qsizetype(std::min<size_t>(m_end, 4)));
        if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
            fail(tr("Its XML is written in UTF-16, which Quillon does not read."));
            return false;
        }
        if (head.startsWith("\xEF\xBB\xBF"))
            m_pos = m_validated = 3;
    }
    if (got == 0) {
        m_eof = true;
        validateUpTo(m_end, true);
        return false;
    }
    return validateUpTo(m_end, false);
}

bool XmlScanner::need(size_t n)
{
    while (m_end - m_pos < n)
        if (!fill(0))
            return m_end - m_pos >= n;
    return true;
}

bool XmlScanner::decode(const char* p, size_t n, std::string& out)
{
    out.clear();
    const char* const end = p + n;
    while (p < end) {
        const char* run = p;
        while (p < end && *p != '&' && *p != '\r')
            ++p;
        out.append(run, size_t(p - run));
        if (p == end)
            break;
        if (*p == '\r') {
            // A line end is a line feed, whatever it was in the file.
            out.push_back('\n');
            ++p;
            if (p < end && *p == '\n')
                ++p;
            continue;
        }
        const auto* semicolon = static_cast<const char*>(std::memchr(p, ';', size_t(std::min<ptrdiff_t>(end - p, 12))));
        if (!semicolon) {
            fail(tr("Its XML has an \"&\" that starts no entity."));
            return false;
        }
        const QByteArrayView entity(p + 1, semicolon - p - 1);
        p = semicolon + 1;
        if (entity == "lt")
            out.push_back('<');
        else if (entity == "gt")
            out.push_back('>');
        else if (entity == "amp")
            out.push_back('&');
        else if (entity == "quot")
            out.push_back('"');
        else if (entity == "apos")
            out.push_back('\'');
        else if (entity.startsWith('#')) {
            const bool hex = entity.size() > 1 && (entity[1] == 'x');
            const QByteArrayView digits = entity.sliced(hex ? 2 : 1);
            bool ok = false;
            const uint u = digits.isEmpty() ? 0 : digits.toByteArray().toUInt(&ok, hex ? 16 : 10);
            if (!ok || !isXmlChar(char32_t(u))) {
                fail(tr("Its XML refers to a character that XML does not allow (&%1;).")
                         .arg(QString::fromLatin1(entity.data(), entity.size())));
                return false;
            }
            appendUtf8(out, char32_t(u));
        } else {
            fail(tr("Its XML uses the entity &%1;, which is none of XML's own; Quillon refuses entities a file "
                    "defines.")
                     .arg(QString::fromUtf8(entity.data(), entity.size())));
            return false;
        }
    }
    return true;
}

XmlScanner::Token XmlScanner::next()
{
    if (!m_error.isEmpty())
        return Invalid;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_open.pop_back();
        return EndElement;
    }
    for (;;) {
        if (!need(1)) {
            if (!m_error.isEmpty())
                return Invalid;
            if (!m_rootSeen || !m_open.empty())
                return error(tr("Its XML ends early; the file may be damaged."));
            return End;
        }
        const char* p = m_buffer.data() + m_pos;
        if (*p != '<') {
            // Text up to the next tag.
            size_t scanned = 0;
            const char* lt = nullptr;
            for (;;) {
                p = m_buffer.data() + m_pos;
                lt = static_cast<const char*>(std::memchr(p + scanned, '<', m_end - m_pos - scanned));
                if (lt)
                    break;
                scanned = m_end - m_pos;
                if (!fill(0)) {
                    if (!m_error.isEmpty())
                        return Invalid;
                    break;
                }
            }
            p = m_buffer.data() + m_pos;
            const size_t n = lt ? size_t(lt - p) : m_end - m_pos;
            m_pos += n;
            if (m_open.empty()) {
                if (!std::all_of(p, p + n, isSpace))
                    return error(tr("Its XML has text outside its root element."));
                continue;
            }
            if (std::memchr(p, '&', n) || std::memchr(p, '\r', n)) {
                if (!decode(p, n, m_textScratch))
                    return Invalid;
                m_text = QByteArrayView(m_textScratch.data(), qsizetype(m_textScratch.size()));
            } else {
                m_text = QByteArrayView(p, qsizetype(n));
            }
            return Text;
        }
        if (!need(2))
            return error(tr("Its XML ends early; the file may be damaged."));
        const char c = m_buffer[m_pos + 1];
        if (c == '/')
            return endTag();
        if (c == '?' || c == '!') {
            const Token t = special();
            if (t == Invalid)
                return t;
            if (t == Text)
                return t;
            continue;
        }
        return startTag();
    }
}

XmlScanner::Token XmlScanner::startTag()
{
    // Find the closing ">" outside quoted attribute values, reading on as needed.
    size_t i = 1;
    char quote = 0;
    for (;;) {
        if (m_pos + i >= m_end && !fill(0))
            return m_error.isEmpty() ? error(tr("Its XML ends inside a tag; the file may be damaged.")) : Invalid;
        const char ch = m_buffer[m_pos + i];
        if (quote) {
            if (ch == quote)
                quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        } else if (ch == '>') {
            break;
        } else if (ch == '<') {
            return error(tr("Its XML has a tag inside a tag; the file may be damaged."));
        }
        ++i;
    }
    const char* const tag = m_buffer.data() + m_pos;
    const size_t close = i; // tag[close] == '>'
    const bool empty = tag[close - 1] == '/';
    const size_t limit = empty ? close - 1 : close;
    size_t k = 1;
    while (k < limit && !isSpace(tag[k]))
        ++k;
    if (k == 1)
        return error(tr("Its XML has a tag without a name."));
    const QByteArrayView qualified(tag + 1, qsizetype(k - 1));
    if (m_open.empty() && m_rootSeen)
        return error(tr("Its XML has more than one root element."));
    m_attributes.clear();
    while (k < limit) {
        while (k < limit && isSpace(tag[k]))
            ++k;
        if (k >= limit)
            break;
        const size_t nameStart = k;
        while (k < limit && tag[k] != '=' && !isSpace(tag[k]))
            ++k;
        const size_t nameLength = k - nameStart;
        while (k < limit && isSpace(tag[k]))
            ++k;
        if (k >= limit || tag[k] != '=' || nameLength == 0)
            return error(tr("Its XML has an attribute without a value."));
        ++k;
        while (k < limit && isSpace(tag[k]))
            ++k;
        if (k >= limit || (tag[k] != '"' && tag[k] != '\''))
            return error(tr("Its XML has an attribute value without quotes."));
        const char q = tag[k++];
        const size_t valueStart = k;
        while (k < limit && tag[k] != q)
            ++k;
        if (k >= limit)
            return error(tr("Its XML has an attribute value without its closing quote."));
        const QByteArrayView local = localPart(QByteArrayView(tag + nameStart, qsizetype(nameLength)));
        if (m_attributes.size() == kMaxAttributes)
            return error(tr("Its XML has a tag of more than %1 attributes; no spreadsheet writes one.")
                             .arg(kMaxAttributes));
        m_attributes.push_back({m_pos + size_t(local.data() - tag), size_t(local.size()), m_pos + valueStart,
                                k - valueStart});
        ++k;
    }
    if (m_open.size() == kMaxDepth)
        return error(tr("Its XML nests elements more than %1 deep; no spreadsheet does.").arg(kMaxDepth));
    m_open.emplace_back(qualified.data(), size_t(qualified.size()));
    m_rootSeen = true;
    const std::string& name = m_open.back();
    m_local = localPart(QByteArrayView(name.data(), qsizetype(name.size())));
    m_pos += close + 1;
    m_pendingEnd = empty;
    if (empty) {
        // The name must outlive the pop of the end that follows.
        m_tagName = name;
        m_local = localPart(QByteArrayView(m_tagName.data(), qsizetype(m_tagName.size())));
    }
    return StartElement;
}

XmlScanner::Token XmlScanner::endTag()
{
    size_t i = 2;
    for (;;) {
        if (m_pos + i >= m_end && !fill(0))
            return m_error.isEmpty() ? error(tr("Its XML ends inside a tag; the file may be damaged.")) : Invalid;
        if (m_buffer[m_pos + i] == '>')
            break;
        ++i;
    }
    QByteArrayView name(m_buffer.data() + m_pos + 2, qsizetype(i - 2));
    while (!name.isEmpty() && isSpace(name.back()))
        name.chop(1);
    if (m_open.empty() || !same(name, QByteArrayView(m_open.back().data(), qsizetype(m_open.back().size()))))
        return error(tr("Its XML closes an element it did not open; the file may be damaged."));
    m_tagName.swap(m_open.back());
    m_open.pop_back();
    m_local = localPart(QByteArrayView(m_tagName.data(), qsizetype(m_tagName.size())));
    m_pos += i + 1;
    return EndElement;
}

XmlScanner::Token XmlScanner::special()
{
    // Finds @p pattern from offset @p from of the token, reading on as needed; its
    // offset from the token's start, or npos at the end of the file.
    const auto find = [this](const char* pattern, size_t from) -> size_t {
        const size_t n = std::strlen(pattern);
        for (;;) {
            const char* base = m_buffer.data() + m_pos;
            const size_t have = m_end - m_pos;
            if (have >= from + n) {
                const char* hit = std::search(base + from, base + have, pattern, pattern + n);
                if (hit != base + have)
                    return size_t(hit - base);
                from = have - (n - 1);
            }
            if (!fill(0))
                return std::string::npos;
        }
    };
    const auto startsWith = [this](const char* prefix) {
        const size_t n = std::strlen(prefix);
        return need(n) && std::memcmp(m_buffer.data() + m_pos, prefix, n) == 0;
    };
    if (m_buffer[m_pos + 1] == '?') {
        const size_t end = find("?>", 2);
        if (end == std::string::npos)
            return m_error.isEmpty() ? error(tr("Its XML ends early; the file may be damaged.")) : Invalid;
        const QByteArrayView pi(m_buffer.data() + m_pos + 2, qsizetype(end - 2));
        if (pi.startsWith("xml") && (pi.size() == 3 || isSpace(pi[3]))) {
            const qsizetype at = pi.indexOf("encoding");
            if (at >= 0) {
                qsizetype q = at + 8;
                while (q < pi.size() && (isSpace(pi[q]) || pi[q] == '='))
                    ++q;
                if (q < pi.size() && (pi[q] == '"' || pi[q] == '\'')) {
                    const char quote = pi[q];
                    const qsizetype close = pi.indexOf(quote, q + 1);
                    const QByteArray encoding = pi.sliced(q + 1, close < 0 ? 0 : close - q - 1).toByteArray().toLower();
                    if (encoding != "utf-8" && encoding != "utf8")
                        return error(tr("Its XML is written in the encoding %1, which Quillon does not read.")
                                         .arg(QString::fromLatin1(encoding)));
                }
            }
        }
        m_pos += end + 2;
        return End; // nothing to hand out
    }
    if (startsWith("<!--")) {
        const size_t end = find("-->", 4);
        if (end == std::string::npos)
            return m_error.isEmpty() ? error(tr("Its XML ends inside a comment; the file may be damaged.")) : Invalid;
        m_pos += end + 3;
        return End;
    }
    if (startsWith("<![CDATA[")) {
        if (m_open.empty())
            return error(tr("Its XML has text outside its root element."));
        const size_t end = find("]]>", 9);
        if (end == std::string::npos)
            return m_error.isEmpty() ? error(tr("Its XML ends inside a CDATA section; the file may be damaged."))
                                     : Invalid;
        const char* p = m_buffer.data() + m_pos + 9;
        const size_t n = end - 9;
        m_textScratch.clear();
        for (size_t i = 0; i < n; ++i) {
            if (p[i] == '\r') {
                m_textScratch.push_back('\n');
                if (i + 1 < n && p[i + 1] == '\n')
                    ++i;
            } else {
                m_textScratch.push_back(p[i]);
            }
        }
        m_text = QByteArrayView(m_textScratch.data(), qsizetype(m_textScratch.size()));
        m_pos += end + 3;
        return Text;
    }
    if (startsWith("<!DOCTYPE") || startsWith("<!doctype"))
        return error(tr("Its XML has a document type declaration (DTD); Quillon refuses those, as entities "
                        "defined in one can make a small file expand without bound."));
    return m_error.isEmpty() ? error(tr("Its XML has a \"<!\" that is neither a comment nor CDATA.")) : Invalid;
}

bool XmlScanner::hasAttribute(QByteArrayView localName) const
{
    for (const Attribute& a : m_attributes)
        if (same(QByteArrayView(m_buffer.data() + a.nameStart, qsizetype(a.nameLength)), localName))
            return true;
    return false;
}

QByteArrayView XmlScanner::attribute(QByteArrayView localName)
{
    for (const Attribute& a : m_attributes) {
        if (!same(QByteArrayView(m_buffer.data() + a.nameStart, qsizetype(a.nameLength)), localName))
            continue;
        const char* v = m_buffer.data() + a.valueStart;
        if (!std::memchr(v, '&', a.valueLength))
            return QByteArrayView(v, qsizetype(a.valueLength));
        if (!decode(v, a.valueLength, m_attributeScratch))
            return {};
        return QByteArrayView(m_attributeScratch.data(), qsizetype(m_attributeScratch.size()));
    }
    return {};
}

bool XmlScanner::skipElement()
{
    const size_t depth = m_open.size() - 1;
    for (;;) {
        const Token t = next();
        if (t == Invalid || t == End)
            return false;
        if (t == EndElement && m_open.size() == depth)
            return true;
    }
}

bool XmlScanner::readElementText(std::string& out)
{
    out.clear();
    const size_t depth = m_open.size() - 1;
    for (;;) {
        const Token t = next();
        if (t == Invalid || t == End)
            return false;
        if (t == Text)
            out.append(m_text.data(), size_t(m_text.size()));
        else if (t == EndElement && m_open.size() == depth)
            return true;
    }
}

} // namespace quillon
