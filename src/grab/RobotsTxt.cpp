#include "grab/RobotsTxt.h"

#include <cctype>

namespace quillon {

namespace {

/** Percent-encodes what is not printable ASCII and writes the digits of every escape
 *  in upper case, so that a rule and a path compare byte for byte. */
QByteArray normalised(QByteArrayView text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.append('%');
            out.append(char(std::toupper(static_cast<unsigned char>(text[i + 1]))));
            out.append(char(std::toupper(static_cast<unsigned char>(text[i + 2]))));
            i += 2;
        } else if (b <= 0x20 || b >= 0x7F) {
            out.append('%');
            out.append(hex[b >> 4]);
            out.append(hex[b & 15]);
        } else {
            out.append(char(b));
        }
    }
    return out;
}

QByteArray lower(QByteArrayView text)
{
    return text.toByteArray().toLower();
}

} // namespace

RobotsTxt RobotsTxt::parse(QByteArrayView text, QByteArrayView productToken)
{
    text = text.first(std::min(text.size(), kMaxBytes));
    const QByteArray token = lower(productToken);

    std::vector<Rule> ours;
    std::vector<Rule> anyone;
    bool namesUs = false;        // some group names the robot
    bool groupIsOurs = false;    // the group being read names it
    bool groupIsAnyone = false;  // ... or "*"
    bool inAgentLines = false;   // the last line read was a user-agent line

    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = from;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        QByteArrayView line = text.sliced(from, end - from);
        from = end + 1;
        const qsizetype hash = line.indexOf('#');
        if (hash >= 0)
            line = line.first(hash);
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = lower(line.first(colon).trimmed());
        const QByteArrayView value = line.sliced(colon + 1).trimmed();

        if (key == "user-agent") {
            if (!inAgentLines) {
                groupIsOurs = false;
                groupIsAnyone = false;
            }
            inAgentLines = true;
            const QByteArray agent = lower(value);
            // "Quillon" and "Quillon/1.1" both name the robot.
            const qsizetype slash = agent.indexOf('/');
            const QByteArray name = slash < 0 ? agent : agent.left(slash);
            if (!name.isEmpty() && name == token) {
                groupIsOurs = true;
                namesUs = true;
            } else if (agent == "*") {
                groupIsAnyone = true;
            }
            continue;
        }
        if (key != "allow" && key != "disallow")
            continue; // sitemap, crawl-delay and the like are not rules
        inAgentLines = false;
        if (value.isEmpty())
            continue; // an empty rule matches nothing
        const Rule rule{normalised(value), key == "allow"};
        if (groupIsOurs)
            ours.push_back(rule);
        if (groupIsAnyone)
            anyone.push_back(rule);
    }

    RobotsTxt robots;
    robots.m_rules = namesUs ? std::move(ours) : std::move(anyone);
    return robots;
}

bool RobotsTxt::allows(const QUrl& url) const
{
    QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    if (path.isEmpty())
        path = "/";
    if (url.hasQuery())
        path += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    return allowsPath(path);
}

bool RobotsTxt::allowsPath(QByteArrayView pathAndQuery) const
{
    const QByteArray path = normalised(pathAndQuery);
    if (path == "/robots.txt")
        return true;
    qsizetype best = -1;
    bool allowed = true;
    for (const Rule& rule : m_rules) {
        if (rule.pattern.size() < best || !matches(rule.pattern, path))
            continue;
        if (rule.pattern.size() > best) {
            best = rule.pattern.size();
            allowed = rule.allow;
        } else if (rule.allow) {
            allowed = true; // the same length: allow wins
        }
    }
    return allowed;
}

bool RobotsTxt::matches(QByteArrayView pattern, QByteArrayView path)
{
    const bool anchored = pattern.endsWith('$');
    if (anchored)
        pattern.chop(1);
    // Wildcard matching with one point to come back to, linear for the usual rules.
    qsizetype p = 0;
    qsizetype s = 0;
    qsizetype star = -1;
    qsizetype mark = 0;
    while (s < path.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = s;
        } else if (p < pattern.size() && pattern[p] == path[s]) {
            ++p;
            ++s;
        } else if (p == pattern.size() && !anchored) {
            return true; // a rule is a prefix unless it ends in "$"
        } else if (star >= 0) {
            p = star + 1;
            s = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace quillon
