#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace quillon {

/**
 * A pull scanner for the large XML parts of a spreadsheet file: a sheet's cells and the
 * shared strings, hundreds of megabytes for a million records, where a general XML
 * reader is several times too slow. It reads UTF-8 XML in one pass through a buffer
 * filled piece by piece and hands out start tags with their attributes, end tags and
 * text, with the five predefined entities and character references resolved.
 *
 * It is strict where a hostile file could hurt and refuses, with a sentence saying why:
 * a document type declaration (so no entity of the file's own is ever expanded), an
 * entity it does not know, a character reference to a character XML does not allow,
 * text that is not UTF-8 or a declared encoding other than UTF-8, tags that do not
 * match or are cut short, a file that ends before its root element does, and what no
 * spreadsheet writes and would only make it hold more memory: a tag or text of more
 * than 64 MB, elements nested more than 256 deep, a tag of more than 1024
 * attributes. Views stay valid until the next call of next().
 */
class XmlScanner
{
public:
    /** Fills @p buffer with up to @p size bytes; returns how many, 0 at the end, -1 on
     *  failure (say why through fail()). */
    using Source = std::function<qint64(char* buffer, qint64 size)>;

    enum Token { StartElement, EndElement, Text, End, Invalid };

    explicit XmlScanner(Source source);

    /** The next token; End after the root element closed, Invalid on an error. An empty
     *  element (<c/>) is a StartElement followed by its EndElement. */
    Token next();

    /** The name of the element just started or ended, without its namespace prefix. */
    QByteArrayView name() const { return m_local; }
    /** name() == @p local, for a literal: cheaper than comparing views. */
    template<size_t N> bool nameIs(const char (&local)[N]) const { return equalBytes(m_local, local, N - 1); }
    /** The value of the attribute @p localName of the element just started (prefix
     *  ignored), entities resolved; an empty view when it has none. */
    QByteArrayView attribute(QByteArrayView localName);
    template<size_t N> QByteArrayView attribute(const char (&localName)[N])
    {
        return attribute(QByteArrayView(localName, qsizetype(N - 1)));
    }
    bool hasAttribute(QByteArrayView localName) const;

    /** @p a holds the @p n bytes at @p b. */
    static bool equalBytes(QByteArrayView a, const char* b, size_t n)
    {
        if (size_t(a.size()) != n)
            return false;
        for (size_t i = 0; i < n; ++i)
            if (a.data()[i] != b[i])
                return false;
        return true;
    }
    /** The text of a Text token, entities resolved. */
    QByteArrayView text() const { return m_text; }
    /** How deep the element just started is: 1 for the root. */
    int depth() const { return int(m_open.size()); }

    /** Skips what is left of the element just started, up to and including its end. */
    bool skipElement();
    /** Collects the text of the element just started up to its end (the texts of the
     *  elements inside it included) into @p out. */
    bool readElementText(std::string& out);

    /** Makes the scan fail with @p reason (the source uses it). */
    void fail(const QString& reason);
    const QString& errorString() const { return m_error; }
    /** Bytes taken from the source so far. */
    qint64 bytesRead() const { return m_read; }

private:
    /** Where an attribute's local name and value are in the buffer. */
    struct Attribute
    {
        size_t nameStart, nameLength, valueStart, valueLength;
    };

    bool fill(size_t from);
    bool need(size_t n);
    Token error(const QString& reason);
    Token startTag();
    Token endTag();
    Token special();
    bool decode(const char* p, size_t n, std::string& out);
    bool validateUpTo(size_t end, bool last);

    Source m_source;
    std::vector<char> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
    size_t m_validated = 0;
    bool m_eof = false;
    qint64 m_read = 0;
    bool m_started = false;
    bool m_rootSeen = false;
    bool m_pendingEnd = false;

    std::vector<std::string> m_open; ///< qualified names of the open elements
    std::string m_tagName;
    QByteArrayView m_local;
    std::vector<Attribute> m_attributes;
    std::string m_attributeScratch;
    std::string m_textScratch;
    QByteArrayView m_text;
    QString m_error;
};

} // namespace quillon
