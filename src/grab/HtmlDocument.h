#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <gumbo.h>

#include <vector>

namespace quillon {

/**
 * A page's document tree, read by an HTML5 parser (gumbo) as a browser would build
 * it. The tree points into the page text, which must outlive the document.
 *
 * Reading is bounded: a page larger than kMaxPageBytes is not read, nor one whose
 * elements nest so deep that building its tree would take the parser too long
 * (the work of an HTML5 tree grows with the depth at every element opened).
 * isRead() tells, problem() says why in words.
 */
class HtmlDocument
{
public:
    static constexpr qsizetype kMaxPageBytes = qsizetype(16) << 20;
    /** The most element-opens-times-depth a page may take; about a tenth of a second
     *  of the parser's time. Real pages stay below a hundredth of it. */
    static constexpr qint64 kMaxNestingWork = 20'000'000;

    explicit HtmlDocument(QByteArrayView page);
    ~HtmlDocument();
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    bool isRead() const { return m_output != nullptr; }
    QString problem() const { return m_problem; }
    /** The html element; null when the page was not read. */
    const GumboNode* root() const { return m_output ? m_output->root : nullptr; }
    QByteArrayView page() const { return m_page; }

    /** Every element (and template) in document order, without recursion. */
    std::vector<const GumboNode*> elements() const;

    /** The value of attribute @p name of @p element; null view when it has none. */
    static QByteArrayView attribute(const GumboNode* element, const char* name);
    static bool hasAttribute(const GumboNode* element, const char* name);
    /** The attribute's value as it stands in the page, without its quotes and with
     *  its character references; its offset in the page in @p offset. */
    QByteArrayView rawAttribute(const GumboNode* element, const char* name, qsizetype* offset = nullptr) const;
    /** The text of @p node and its descendants, white space collapsed to single blanks
     *  and trimmed, at most @p limit bytes. */
    static QByteArray text(const GumboNode* node, qsizetype limit = 4096);
    static GumboTag tag(const GumboNode* node);
    /** Whether the white-space separated list @p list holds @p token (ASCII case ignored). */
    static bool hasToken(QByteArrayView list, QByteArrayView token);

    /** Estimates the tree work of @p page (see kMaxNestingWork) by following its tags
     *  the way the tree is built: void and raw-text elements, end tags that close
     *  nothing, and elements closed by their siblings are accounted for. Stops
     *  counting beyond @p stopAbove. */
    static qint64 nestingWork(QByteArrayView page, qint64 stopAbove = kMaxNestingWork);

private:
    QByteArrayView m_page;
    GumboOutput* m_output = nullptr;
    QString m_problem;
};

} // namespace quillon
