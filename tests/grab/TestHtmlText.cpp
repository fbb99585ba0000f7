#include "grab/HtmlText.h"

#include <QTest>

using namespace quillon;

class TestHtmlText : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("amp") << QByteArray("T &amp; G") << "T & G";
        QTest::newRow("quotes") << QByteArray("&quot;Joe&apos;s&quot;") << "\"Joe's\"";
        QTest::newRow("latin-1 names") << QByteArray("Caf&eacute; M&uuml;ller &Aring;") << "Caf\u00e9 M\u00fcller \u00c5";
        QTest::newRow("typographic") << QByteArray("&ldquo;a&rdquo; &ndash; &hellip;&euro;") << "\u201ca\u201d \u2013 \u2026\u20ac";
        QTest::newRow("decimal") << QByteArray("O&#39;Brien") << "O'Brien";
        QTest::newRow("hex") << QByteArray("&#x41;&#X42;") << "AB";
        QTest::newRow("numeric without semicolon") << QByteArray("&#65B") << "AB";
        QTest::newRow("windows-1252 number") << QByteArray("&#128;&#150;") << "\u20ac\u2013";
        QTest::newRow("zero") << QByteArray("a&#0;b") << "a\ufffdb";
        QTest::newRow("surrogate") << QByteArray("&#xD800;") << "\ufffd";
        QTest::newRow("too large") << QByteArray("&#99999999999999999999;") << "\ufffd";
        QTest::newRow("astral") << QByteArray("&#x1F600;") << QString::fromUcs4(U"\U0001F600");
        QTest::newRow("unknown name kept") << QByteArray("&bogus; &amp") << "&bogus; &amp";
        QTest::newRow("named needs semicolon") << QByteArray("a&copy=1") << "a&copy=1";
        QTest::newRow("case matters") << QByteArray("&AMP;") << "&AMP;";
        QTest::newRow("lone ampersands") << QByteArray("& && &# &#x;") << "& && &# &#x;";
        QTest::newRow("escaped reference") << QByteArray("&amp;amp;") << "&amp;";
        QTest::newRow("at the end") << QByteArray("x&") << "x&";
    }

    void decode()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, decoded);
        QCOMPARE(QString::fromUtf8(HtmlText::decoded(QByteArrayView(text))), decoded);
        QCOMPARE(HtmlText::decoded(QString::fromUtf8(text)), decoded);
    }

    void cleanValue_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("clean");
        QTest::newRow("untouched") << QByteArray("12 Main St") << "12 Main St";
        QTest::newRow("blanks and breaks") << QByteArray(" \r\n\t12 Main St \r\n") << "12 Main St";
        QTest::newRow("no-break spaces") << QByteArray("&nbsp;Washington,&nbsp;") << "Washington,";
        QTest::newRow("no-break bytes") << QByteArray("\xc2\xa0x\xc2\xa0") << "x";
        QTest::newRow("unicode spaces") << QByteArray("\xe2\x80\x83x\xe3\x80\x80") << "x";
        QTest::newRow("inside kept") << QByteArray("  Suite 5\n 12&nbsp;Elm ") << "Suite 5\n 12\u00a0Elm";
        QTest::newRow("only space") << QByteArray(" &nbsp; \n") << "";
        QTest::newRow("decoded space") << QByteArray("&#32;x&#10;") << "x";
        QTest::newRow("tags kept") << QByteArray(" <b>x</b> ") << "<b>x</b>";
        QTest::newRow("non-space after accent") << QByteArray("Caf\xc3\xa9 ") << "Caf\u00e9";
    }

    void cleanValue()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, clean);
        QByteArray out("prefix");
        const qsizetype n = HtmlText::appendCleanValue(out, raw);
        QCOMPARE(QString::fromUtf8(out.mid(6)), clean);
        QCOMPARE(n, out.size() - 6);
        QVERIFY(out.startsWith("prefix"));
    }

    void page_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");

        const QByteArray latin = "<p>Caf\xe9 \x80 M\xfcller</p>";
        const QString latinText = QStringLiteral("<p>Caf\u00e9 \u20ac M\u00fcller</p>");
        QTest::newRow("utf-8 without any charset") << QByteArray("<p>Caf\xc3\xa9</p>") << QByteArray()
                                                   << "<p>Caf\u00e9</p>";
        QTest::newRow("not utf-8, no charset: windows-1252") << latin << QByteArray() << latinText;
        QTest::newRow("header charset") << latin << QByteArray("text/html; charset=ISO-8859-1") << latinText;
        QTest::newRow("header charset quoted") << latin << QByteArray("text/html;charset=\"windows-1252\"")
                                               << latinText;
        QTest::newRow("meta charset") << QByteArray("<meta charset=\"windows-1252\">") + latin << QByteArray()
                                      << QStringLiteral("<meta charset=\"windows-1252\">") + latinText;
        QTest::newRow("meta http-equiv")
            << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">") + latin
            << QByteArray()
            << QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">") + latinText;
        QTest::newRow("header wins over meta")
            << QByteArray("<meta charset=\"utf-8\">") + latin << QByteArray("text/html; charset=windows-1252")
            << QStringLiteral("<meta charset=\"utf-8\">") + latinText;
        QTest::newRow("utf-8 named, windows-1252 bytes among utf-8")
            << QByteArray("Jos\xc3\xa9 M\xfcller \x93Ole\x94 \xe2\x82") << QByteArray("text/html; charset=utf-8")
            << "Jos\u00e9 M\u00fcller \u201cOle\u201d \u00e2\u201a";
        QTest::newRow("windows-1252 named, utf-8 sent")
            << QByteArray("<p>Caf\xc3\xa9 \xe2\x82\xac</p>") << QByteArray("text/html; charset=windows-1252")
            << "<p>Caf\u00e9 \u20ac</p>";
        QTest::newRow("iso-8859-1 named, ascii sent") << QByteArray("<p>Cafe</p>")
                                                      << QByteArray("text/html; charset=iso-8859-1") << "<p>Cafe</p>";
        QTest::newRow("utf-8 byte order mark dropped") << QByteArray("\xef\xbb\xbf<p>x</p>") << QByteArray()
                                                       << "<p>x</p>";
        QTest::newRow("utf-16 with byte order mark") << QByteArray("\xff\xfe<\0p\0>\0", 8) << QByteArray() << "<p>";
        QTest::newRow("unknown charset name") << QByteArray("<p>Caf\xc3\xa9</p>")
                                              << QByteArray("text/html; charset=x-nonsense") << "<p>Caf\u00e9</p>";
        QTest::newRow("meta utf-16 read as utf-8") << QByteArray("<meta charset=utf-16><p>\xc3\xa9</p>") << QByteArray()
                                                   << "<meta charset=utf-16><p>\u00e9</p>";
    }

    void page()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, text);
        const QByteArray utf8 = HtmlText::pageToUtf8(body, contentType);
        QVERIFY(HtmlText::isValidUtf8(utf8));
        QCOMPARE(QString::fromUtf8(utf8), text);
    }

    void utf8Validity_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("plain text that is long enough for chunks") << true;
        QTest::newRow("two bytes") << QByteArray("\xc3\xa9") << true;
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << true;
        QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("overlong three") << QByteArray("\xe0\x80\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
        QTest::newRow("cut short") << QByteArray("abcdefgh\xe2\x82") << false;
        QTest::newRow("stray continuation") << QByteArray("abc\x80") << false;
    }

    void utf8Validity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(HtmlText::isValidUtf8(bytes), valid);
    }
};

QTEST_GUILESS_MAIN(TestHtmlText)
#include "TestHtmlText.moc"
