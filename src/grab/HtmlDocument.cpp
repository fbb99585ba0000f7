#include "grab/HtmlDocument.h"

#include <QObject>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillon {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

/** First occurrence of @p needle (lower case) in @p text from @p from, ASCII case ignored. */
qsizetype findCaseless(const char* text, qsizetype n, qsizetype from, std::string_view needle)
{
    const auto k = qsizetype(needle.size());
    for (qsizetype i = from; i + k <= n; ++i) {
        const void* lt = std::memchr(text + i, needle[0], size_t(n - i));
        if (!lt)
            return -1;
        i = static_cast<const char*>(lt) - text;
        if (i + k > n)
            return -1;
        qsizetype j = 1;
        while (j < k && lowerAscii(text[i + j]) == needle[size_t(j)])
            ++j;
        if (j == k)
            return i;
    }
    return -1;
}

/** The end of the tag whose name ends at @p i: one past its '>', skipping quoted
 *  attribute values; whether it ends in "/>" in @p selfClosing. */
qsizetype tagEnd(const char* s, qsizetype n, qsizetype i, bool& selfClosing)
{
    selfClosing = false;
    char quote = 0;
    for (; i < n; ++i) {
        const char c = s[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            // Only a quote that opens a value counts: name="...".
            if (i > 0 && s[i - 1] == '=')
                quote = c;
        } else if (c == '>') {
            selfClosing = i > 0 && s[i - 1] == '/';
            return i + 1;
        }
    }
    return n;
}

} // namespace

qint64 HtmlDocument::nestingWork(QByteArrayView page, qint64 stopAbove)
{
    const char* s = page.data();
    const qsizetype n = page.size();
    std::vector<std::string> stack;
    std::unordered_map<std::string, int> open;
    qint64 work = 0;
    std::string name;

    auto popTo = [&](const std::string& target) {
        while (!stack.empty()) {
            const std::string top = std::move(stack.back());
            stack.pop_back();
            --open[top];
            if (top == target)
                return;
        }
    };

    qsizetype i = 0;
    while (i < n) {
        const void* lt = std::memchr(s + i, '<', size_t(n - i));
        if (!lt)
            break;
        i = static_cast<const char*>(lt) - s;
        if (i + 1 >= n)
            break;
        const char next = s[i + 1];
        if (next == '!') {
            if (i + 3 < n && s[i + 2] == '-' && s[i + 3] == '-') {
                const QByteArrayView rest = page.sliced(i + 4);
                const qsizetype close = rest.indexOf("-->");
                i = close < 0 ? n : i + 4 + close + 3;
            } else {
                const void* gt = std::memchr(s + i, '>', size_t(n - i));
                i = gt ? static_cast<const char*>(gt) - s + 1 : n;
            }
            continue;
        }
        if (next == '?') {
            const void* gt = std::memchr(s + i, '>', size_t(n - i));
            i = gt ? static_cast<const char*>(gt) - s + 1 : n;
            continue;
        }
        const bool isEnd = next == '/';
        qsizetype j = i + (isEnd ? 2 : 1);
        if (j >= n || !isLetter(s[j])) {
            ++i;
            continue;
        }
        name.clear();
        while (j < n && !isSpace(s[j]) && s[j] != '>' && s[j] != '/') {
            if (name.size() < 32)
                name.push_back(lowerAscii(s[j]));
            ++j;
        }
        bool selfClosing = false;
        i = tagEnd(s, n, j, selfClosing);
        if (isEnd) {
            auto it = open.find(name);
            if (it != open.end() && it->second > 0)
                popTo(name);
            continue;
        }
        if (oneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
                         "source", "track", "wbr", "keygen", "basefont", "bgsound", "frame", "image", "html",
                         "head", "body"}))
            continue;
        if (oneOf(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"})) {
            // Raw text up to the element's end tag.
            const std::string close = "</" + name;
            const qsizetype at = findCaseless(s, n, i, close);
            i = at < 0 ? n : at;
            continue;
        }
        if (name == "plaintext")
            break;
        const bool foreign = open["svg"] > 0 || open["math"] > 0;
        if (selfClosing && foreign)
            continue;
        // Elements that a sibling of the same name closes.
        if (oneOf(name, {"a", "button", "nobr", "li", "dd", "dt", "option", "optgroup", "p", "tr", "td", "th",
                         "tbody", "thead", "tfoot", "caption", "colgroup", "rb", "rp", "rt", "rtc", "form"})) {
            auto it = open.find(name);
            if (it != open.end() && it->second > 0)
                popTo(name);
        }
        stack.push_back(name);
        ++open[name];
        work += qint64(stack.size());
        if (work > stopAbove)
            return work;
    }
    return work;
}

HtmlDocument::HtmlDocument(QByteArrayView page) : m_page(page)
{
    if (page.size() > kMaxPageBytes) {
        m_problem = QObject::tr("the page is larger than %1 MB; its document tree is not read")
                        .arg(kMaxPageBytes >> 20);
        return;
    }
    const qint64 limit = kMaxNestingWork + 8 * qint64(page.size());
    if (nestingWork(page, limit) > limit) {
        m_problem = QObject::tr("the page's elements nest too deep to read its document tree");
        return;
    }
    GumboOptions options = kGumboDefaultOptions;
    // Parse errors are not kept: real pages have thousands, and nothing reads them.
    options.max_errors = 0;
    m_output = gumbo_parse_with_options(&options, page.data(), size_t(page.size()));
    if (!m_output || !m_output->root) {
        m_problem = QObject::tr("the page's document tree could not be read");
        m_output = nullptr;
    }
}

HtmlDocument::~HtmlDocument()
{
    if (m_output)
        gumbo_destroy_output(&kGumboDefaultOptions, m_output);
}

std::vector<const GumboNode*> HtmlDocument::elements() const
{
    std::vector<const GumboNode*> out;
    if (!m_output)
        return out;
    std::vector<const GumboNode*> todo{m_output->root};
    while (!todo.empty()) {
        const GumboNode* node = todo.back();
        todo.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        out.push_back(node);
        const GumboVector& children = node->v.element.children;
        for (unsigned k = children.length; k > 0; --k)
            todo.push_back(static_cast<const GumboNode*>(children.data[k - 1]));
    }
    return out;
}

QByteArrayView HtmlDocument::attribute(const GumboNode* element, const char* name)
{
    if (!element || (element->type != GUMBO_NODE_ELEMENT && element->type != GUMBO_NODE_TEMPLATE))
        return {};
    const GumboAttribute* a = gumbo_get_attribute(&element->v.element.attributes, name);
    if (!a)
        return {};
    // An attribute that is there with no value reads as an empty view that is not null.
    return a->value[0] ? QByteArrayView(a->value) : QByteArrayView("", 0);
}

bool HtmlDocument::hasAttribute(const GumboNode* element, const char* name)
{
    return !attribute(element, name).isNull();
}

QByteArrayView HtmlDocument::rawAttribute(const GumboNode* element, const char* name, qsizetype* offset) const
{
    if (!element || (element->type != GUMBO_NODE_ELEMENT && element->type != GUMBO_NODE_TEMPLATE))
        return {};
    const GumboAttribute* a = gumbo_get_attribute(&element->v.element.attributes, name);
    if (!a || !a->original_value.data)
        return {};
    const char* data = a->original_value.data;
    qsizetype length = qsizetype(a->original_value.length);
    if (data < m_page.data() || data + length > m_page.data() + m_page.size())
        return {};
    if (length >= 2 && (data[0] == '"' || data[0] == '\'') && data[length - 1] == data[0]) {
        ++data;
        length -= 2;
    }
    if (offset)
        *offset = data - m_page.data();
    return QByteArrayView(data, length);
}

QByteArray HtmlDocument::text(const GumboNode* node, qsizetype limit)
{
    QByteArray out;
    if (!node)
        return out;
    bool space = false;
    std::vector<const GumboNode*> todo{node};
    while (!todo.empty() && out.size() < limit) {
        const GumboNode* n = todo.back();
        todo.pop_back();
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE || n->type == GUMBO_NODE_CDATA) {
            for (const char* p = n->v.text.text; *p && out.size() < limit; ++p) {
                if (isSpace(*p)) {
                    space = !out.isEmpty();
                } else {
                    if (space)
                        out.append(' ');
                    space = false;
                    out.append(*p);
                }
            }
        } else if (n->type == GUMBO_NODE_ELEMENT || n->type == GUMBO_NODE_TEMPLATE) {
            const GumboTag t = n->v.element.tag;
            if (t == GUMBO_TAG_SCRIPT || t == GUMBO_TAG_STYLE)
                continue;
            if (t == GUMBO_TAG_BR)
                space = !out.isEmpty();
            const GumboVector& children = n->v.element.children;
            for (unsigned k = children.length; k > 0; --k)
                todo.push_back(static_cast<const GumboNode*>(children.data[k - 1]));
        }
    }
    // A value cut at the limit may end inside a character.
    while (out.size() >= limit && !out.isEmpty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
        out.chop(1);
    if (out.size() >= limit && !out.isEmpty() && (static_cast<unsigned char>(out.back()) & 0x80))
        out.chop(1);
    return out;
}

GumboTag HtmlDocument::tag(const GumboNode* node)
{
    if (!node || (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE))
        return GUMBO_TAG_UNKNOWN;
    return node->v.element.tag;
}

bool HtmlDocument::hasToken(QByteArrayView list, QByteArrayView token)
{
    qsizetype i = 0;
    const qsizetype n = list.size();
    while (i < n) {
        while (i < n && isSpace(list[i]))
            ++i;
        qsizetype j = i;
        while (j < n && !isSpace(list[j]))
            ++j;
        if (j - i == token.size()) {
            qsizetype k = 0;
            while (k < token.size() && lowerAscii(list[i + k]) == lowerAscii(token[k]))
                ++k;
            if (k == token.size())
                return true;
        }
        i = j;
    }
    return false;
}

} // namespace quillon
