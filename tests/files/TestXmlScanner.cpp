#include "files/XmlScanner.h"

#include <QTest>

#include <algorithm>
#include <cstring>

using namespace quillon;

namespace {

/** Hands out @p xml in pieces of @p piece bytes (the whole at once when 0). */
XmlScanner::Source sourceOf(const QByteArray& xml, qint64 piece)
{
    auto at = std::make_shared<qint64>(0);
    return [xml, piece, at](char* into, qint64 size) -> qint64 {
        const qint64 n = std::min({size, qint64(xml.size()) - *at, piece > 0 ? piece : size});
        std::memcpy(into, xml.constData() + *at, size_t(n));
        *at += n;
        return n;
    };
}

/** The tokens as "<name a=v>", "</name>" and texts, joined by "|"; or "error: ..." */
QString scan(const QByteArray& xml, qint64 piece)
{
    XmlScanner scanner(sourceOf(xml, piece));
    QStringList out;
    QString text;
    for (;;) {
        const XmlScanner::Token t = scanner.next();
        if (t != XmlScanner::Text && !text.isEmpty()) {
            out << text; // texts split by comments or CDATA count as one
            text.clear();
        }
        switch (t) {
        case XmlScanner::StartElement: {
            QString tag = QStringLiteral("<") + QString::fromUtf8(scanner.name());
            for (const char* a : {"a", "b"})
                if (scanner.hasAttribute(a))
                    tag += QStringLiteral(" %1=%2").arg(QLatin1String(a), QString::fromUtf8(scanner.attribute(a)));
            out << tag + QStringLiteral(">");
            break;
        }
        case XmlScanner::EndElement:
            out << QStringLiteral("</") + QString::fromUtf8(scanner.name()) + QStringLiteral(">");
            break;
        case XmlScanner::Text:
            text += QString::fromUtf8(scanner.text());
            break;
        case XmlScanner::End:
            return out.join(QLatin1Char('|'));
        case XmlScanner::Invalid:
            return QStringLiteral("error: ") + scanner.errorString();
        }
    }
}

} // namespace

class TestXmlScanner : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");
        QTest::newRow("elements, attributes, text") << QByteArray("<r><c a=\"1\" b='2'>x y</c></r>")
                                                   << QStringLiteral("<r>|<c a=1 b=2>|x y|</c>|</r>");
        QTest::newRow("an empty element is a start and an end")
            << QByteArray("<r><c a=\"1\"/><d /></r>") << QStringLiteral("<r>|<c a=1>|</c>|<d>|</d>|</r>");
        QTest::newRow("namespace prefixes") << QByteArray("<x:r xmlns:x=\"u\"><x:c x:a=\"2\"/></x:r>")
                                            << QStringLiteral("<r>|<c a=2>|</c>|</r>");
        QTest::newRow("entities and character references")
            << QByteArray("<r>&lt;&gt;&amp;&quot;&apos;&#65;&#x263A;&#x1D11E;</r>")
            << QString::fromUtf8("<r>|<>&\"'A☺𝄞|</r>");
        QTest::newRow("entities in attributes, > in a value")
            << QByteArray("<r a=\"a&amp;b\" b=\"x>y\"/>") << QStringLiteral("<r a=a&b b=x>y>|</r>");
        QTest::newRow("CDATA is text as it is") << QByteArray("<r>a<![CDATA[<x>&amp;]]>b</r>")
                                                << QStringLiteral("<r>|a<x>&amp;b|</r>");
        QTest::newRow("declaration, comments, instructions")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<!-- c -->"
                          "<r><!-- in <r> -->t<?pi x?>u</r>\n<!-- after -->\n")
            << QStringLiteral("<r>|tu|</r>");
        QTest::newRow("line ends become line feeds") << QByteArray("<r>a\r\nb\rc\nd</r>")
                                                     << QStringLiteral("<r>|a\nb\nc\nd|</r>");
        QTest::newRow("a byte-order mark") << QByteArray("\xEF\xBB\xBF<r/>") << QStringLiteral("<r>|</r>");
        QTest::newRow("UTF-8 text") << QByteArray("<r>Åsa ☕</r>") << QString::fromUtf8("<r>|Åsa ☕|</r>");
        // Refused.
        QTest::newRow("a document type declaration")
            << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaa\">]><r>&a;</r>")
            << QStringLiteral("error: Its XML has a document type declaration (DTD); Quillon refuses those, as "
                              "entities defined in one can make a small file expand without bound.");
        QTest::newRow("an entity of the file's own")
            << QByteArray("<r>&nbsp;</r>")
            << QStringLiteral("error: Its XML uses the entity &nbsp;, which is none of XML's own; Quillon refuses "
                              "entities a file defines.");
        QTest::newRow("a reference to NUL") << QByteArray("<r>&#0;</r>")
                                            << QStringLiteral("error: Its XML refers to a character that XML does not "
                                                              "allow (&#0;).");
        QTest::newRow("a reference to a surrogate")
            << QByteArray("<r a=\"&#xD800;\"/>")
            << QStringLiteral("error: Its XML refers to a character that XML does not allow (&#xD800;).");
        QTest::newRow("an & without an entity") << QByteArray("<r>a & b</r>")
                                                << QStringLiteral("error: Its XML has an \"&\" that starts no entity.");
        QTest::newRow("tags that do not match")
            << QByteArray("<r><a></b></r>")
            << QStringLiteral("error: Its XML closes an element it did not open; the file may be damaged.");
        QTest::newRow("cut short") << QByteArray("<r><a>text")
                                   << QStringLiteral("error: Its XML ends early; the file may be damaged.");
        QTest::newRow("cut inside a tag") << QByteArray("<r><a b=\"1")
                                          << QStringLiteral("error: Its XML ends inside a tag; the file may be damaged.");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("error: Its XML ends early; the file may be damaged.");
        QTest::newRow("text outside the root") << QByteArray("x<r/>")
                                               << QStringLiteral("error: Its XML has text outside its root element.");
        QTest::newRow("two roots") << QByteArray("<r/><r/>")
                                   << QStringLiteral("error: Its XML has more than one root element.");
        QTest::newRow("not UTF-8") << QByteArray("<r>caf\xe9</r>") << QStringLiteral("error: Its XML is not UTF-8 text.");
        QTest::newRow("another encoding")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>")
            << QStringLiteral("error: Its XML is written in the encoding iso-8859-1, which Quillon does not read.");
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0r\0/\0>\0", 10)
                                << QStringLiteral("error: Its XML is written in UTF-16, which Quillon does not read.");
        QTest::newRow("nested too deep") << QByteArray("<a>").repeated(300)
                                         << QStringLiteral("error: Its XML nests elements more than 256 deep; no "
                                                           "spreadsheet does.");
        QByteArray many = "<r";
        for (int i = 0; i < 1100; ++i)
            many += " a" + QByteArray::number(i) + "=\"1\"";
        QTest::newRow("too many attributes") << many + "/>"
                                             << QStringLiteral("error: Its XML has a tag of more than 1024 attributes; no "
                                                               "spreadsheet writes one.");
        QTest::newRow("an attribute without quotes")
            << QByteArray("<r a=1/>") << QStringLiteral("error: Its XML has an attribute value without quotes.");
    }
    void tokens()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QCOMPARE(scan(xml, 0), expected);
        // Every token once split between two reads.
        QCOMPARE(scan(xml, 1), expected);
    }

    void aTextOfMoreThan64MBIsRefused()
    {
        const QByteArray xml = "<r>" + QByteArray((64 << 20) + 10, 'x') + "</r>";
        QCOMPARE(scan(xml, 0),
                 QStringLiteral("error: Its XML has a tag or a text of more than 64 MB; no spreadsheet writes one."));
    }

    void largeDocumentsReadTheSameInAnyPieces()
    {
        // Over the first buffer's megabyte, with long texts and tags across its end.
        QByteArray xml = "<sheet>";
        for (int i = 0; i < 40000; ++i) {
            xml += "<c r=\"A" + QByteArray::number(i) + "\" a=\"x&amp;" + QByteArray::number(i % 7) + "\"><t>";
            xml += QByteArray(i % 97, char('a' + i % 26)) + "&lt;" + QByteArray::number(i) + "</t></c>";
            if (i % 5000 == 0)
                xml += "<big>" + QByteArray(300000, 'z') + "</big><!-- " + QByteArray(i, '-').replace("--", "-+") + " -->";
        }
        xml += "</sheet>";
        QVERIFY(xml.size() > (3 << 20));
        const QString whole = scan(xml, 0);
        QVERIFY(!whole.startsWith(QLatin1String("error")));
        QCOMPARE(whole.count(QLatin1String("<c a=x&")), 40000);
        QCOMPARE(scan(xml, 7), whole);
        QCOMPARE(scan(xml, 65537), whole);
    }
};

QTEST_GUILESS_MAIN(TestXmlScanner)
#include "TestXmlScanner.moc"
