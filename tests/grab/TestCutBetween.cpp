#include "grab/CutBetween.h"

#include <QTest>

#include <string>

using namespace quillon;

class TestCutBetween : public QObject
{
    Q_OBJECT

private slots:
    void table_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("after");

        //                                          text          start   end     result    text afterwards
        QTest::newRow("start not found")         << "abc"       << "x"  << "c"  << ""     << "abc";
        QTest::newRow("start found, end empty")  << "abXcd"     << "X"  << ""   << "cd"   << "cd";
        QTest::newRow("end after start")         << "a[b]c]"    << "["  << "]"  << "b"    << "b";
        QTest::newRow("start empty, end found")  << "ab]c]"     << ""   << "]"  << "ab"   << "ab";
        QTest::newRow("end only before start")   << "a]b[c"     << "["  << "]"  << ""     << "";
        QTest::newRow("start empty, no end")     << "abc"       << ""   << "]"  << ""     << "";
        QTest::newRow("both empty")              << "abc"       << ""   << ""   << "abc"  << "abc";
        QTest::newRow("same, not found")         << "abc"       << "|"  << "|"  << ""     << "abc";
        QTest::newRow("same, found twice")       << "a|b|c|d"   << "|"  << "|"  << "b"    << "b|c|d";
        QTest::newRow("same, found once")        << "a|bc"      << "|"  << "|"  << "bc"   << "bc";
        QTest::newRow("same, adjacent")          << "a||c"      << "|"  << "|"  << ""     << "|c";
        QTest::newRow("case matters")            << "a<BR>b"    << "<br>" << "" << ""     << "a<BR>b";
        QTest::newRow("first occurrences")       << "x[1]y[2]"  << "["  << "]"  << "1"    << "1";
        QTest::newRow("empty between markers")   << "a[]b"      << "["  << "]"  << ""     << "";
        QTest::newRow("marker is a prefix of end") << "<b><b>x</b>" << "<b>" << "</b>" << "<b>x" << "<b>x";
        QTest::newRow("end overlaps start")      << "abcd"      << "ab" << "bc" << ""     << "";
        QTest::newRow("empty text")              << ""          << "a"  << "b"  << ""     << "";
        QTest::newRow("empty text, no markers")  << ""          << ""   << ""   << ""     << "";
        QTest::newRow("non-ASCII")               << "Caf\u00e9 [M\u00fcller] x" << "[" << "]" << "M\u00fcller" << "M\u00fcller";
    }

    void table()
    {
        QFETCH(QString, text);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, result);
        QFETCH(QString, after);

        // The owning form.
        QString owned = text;
        QCOMPARE(CutBetween(owned, start, end), result);
        QCOMPARE(owned, after);

        // The view form over UTF-16.
        QStringView view(text);
        QCOMPARE(CutBetween(view, QStringView(start), QStringView(end)).toString(), result);
        QCOMPARE(view.toString(), after);

        // The view form over UTF-8, as the parser uses it.
        const QByteArray utf8 = text.toUtf8();
        const QByteArray s = start.toUtf8();
        const QByteArray e = end.toUtf8();
        QByteArrayView bytes(utf8);
        QCOMPARE(QString::fromUtf8(CutBetween(bytes, QByteArrayView(s), QByteArrayView(e))), result);
        QCOMPARE(QString::fromUtf8(bytes), after);
    }

    void findBytesAgreesWithPlainSearch()
    {
        // Every length around the sixteen-byte steps, over a two-letter alphabet so that
        // partial matches are everywhere.
        quint32 seed = 12345;
        auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) & 0x7fff;
        };
        for (int n = 0; n < 70; ++n) {
            for (int k = 1; k < 20; ++k) {
                for (int round = 0; round < 6; ++round) {
                    std::string text, needle;
                    for (int i = 0; i < n; ++i)
                        text += char('a' + next() % 2);
                    for (int i = 0; i < k; ++i)
                        needle += char('a' + next() % 2);
                    const auto expected = text.find(needle);
                    const qsizetype found = FindBytes(text.data(), qsizetype(text.size()), needle.data(), k);
                    QCOMPARE(found, expected == std::string::npos ? qsizetype(-1) : qsizetype(expected));
                    for (int from = 0; from <= n; from += 7) {
                        const auto e = text.find(needle, size_t(from));
                        QCOMPARE(FindIn(QByteArrayView(text.data(), qsizetype(text.size())),
                                        QByteArrayView(needle.data(), k), from),
                                 e == std::string::npos ? qsizetype(-1) : qsizetype(e));
                    }
                }
            }
        }
        QCOMPARE(FindIn(QByteArrayView("abc"), QByteArrayView(), 3), qsizetype(3));
        QCOMPARE(FindIn(QByteArrayView("abc"), QByteArrayView("c"), 4), qsizetype(-1));
    }

    void viewsStayInsideTheText()
    {
        // The cut hands on positions, not copies: a long text is cut piece by piece
        // without copying what remains.
        QString text;
        for (int i = 0; i < 1000; ++i)
            text += QStringLiteral("<li>%1</li>").arg(i);
        QStringView remaining(text);
        int pieces = 0;
        while (true) {
            QStringView copy = remaining;
            const QStringView piece = CutBetween(copy, u"<li>", u"</li>");
            if (piece.isEmpty())
                break;
            QVERIFY(piece.data() >= text.constData() && piece.data() + piece.size() <= text.constData() + text.size());
            QCOMPARE(piece.toString(), QString::number(pieces));
            ++pieces;
            remaining = remaining.sliced(remaining.indexOf(u"</li>") + 5);
        }
        QCOMPARE(pieces, 1000);
    }
};

QTEST_GUILESS_MAIN(TestCutBetween)
#include "TestCutBetween.moc"
