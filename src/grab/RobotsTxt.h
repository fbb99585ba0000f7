#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QUrl>

#include <vector>

namespace quillon {

/**
 * What a site's robots.txt allows one robot, read as RFC 9309 reads it: the groups
 * whose user-agent line names the robot's product token (in any letter case), or,
 * when none does, the groups for "*"; of the allow and disallow rules that match a
 * path, the longest wins, and allow wins a tie. A rule may hold "*" (any run of
 * characters) and end in "$" (the end of the path). Paths are compared with the
 * query, percent-encoded. "/robots.txt" itself is always allowed. Only the first
 * 500 KiB of the file are read.
 *
 * A default RobotsTxt (a site without a robots.txt) allows everything.
 */
class RobotsTxt
{
public:
    RobotsTxt() = default;

    static RobotsTxt parse(QByteArrayView text, QByteArrayView productToken);

    bool allows(const QUrl& url) const;
    /** @p pathAndQuery as sent in a request ("/r?p=2"), percent-encoded. */
    bool allowsPath(QByteArrayView pathAndQuery) const;

    /** The rules that apply to the robot. */
    int ruleCount() const { return int(m_rules.size()); }

    static constexpr qsizetype kMaxBytes = 500 * 1024;

private:
    struct Rule
    {
        QByteArray pattern;
        bool allow = false;
    };

    static bool matches(QByteArrayView pattern, QByteArrayView path);

    std::vector<Rule> m_rules;
};

} // namespace quillon
