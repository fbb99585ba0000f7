#include "grab/RobotsTxt.h"

#include <QTest>

using namespace quillon;

class TestRobotsTxt : public QObject
{
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("allowed");

        const QByteArray everyone = "User-agent: *\nDisallow: /search\nAllow: /search/public\n";
        QTest::newRow("no rules") << QByteArray() << QByteArray("/r?p=1") << true;
        QTest::newRow("outside the rule") << everyone << QByteArray("/r?p=1") << true;
        QTest::newRow("a rule is a prefix") << everyone << QByteArray("/search?q=pizza") << false;
        QTest::newRow("the longer allow wins") << everyone << QByteArray("/search/public/x") << true;
        QTest::newRow("allow wins a tie")
            << QByteArray("User-agent: *\nDisallow: /page\nAllow: /page\n") << QByteArray("/page") << true;
        QTest::newRow("the longer disallow wins")
            << QByteArray("User-agent: *\nAllow: /a\nDisallow: /a/b\n") << QByteArray("/a/b/c") << false;
        QTest::newRow("disallow everything") << QByteArray("User-agent: *\nDisallow: /\n") << QByteArray("/") << false;
        QTest::newRow("an empty disallow allows")
            << QByteArray("User-agent: *\nDisallow:\n") << QByteArray("/anything") << true;
        QTest::newRow("robots.txt itself is always allowed")
            << QByteArray("User-agent: *\nDisallow: /\n") << QByteArray("/robots.txt") << true;
        QTest::newRow("wildcard in the middle")
            << QByteArray("User-agent: *\nDisallow: /*.php\n") << QByteArray("/dir/list.php?p=2") << false;
        QTest::newRow("wildcard that does not match")
            << QByteArray("User-agent: *\nDisallow: /*.php\n") << QByteArray("/dir/list.html") << true;
        QTest::newRow("end anchor matches the end")
            << QByteArray("User-agent: *\nDisallow: /*.gif$\n") << QByteArray("/a/b.gif") << false;
        QTest::newRow("end anchor, more after it")
            << QByteArray("User-agent: *\nDisallow: /*.gif$\n") << QByteArray("/a/b.gif?x=1") << true;
        QTest::newRow("query is part of the path")
            << QByteArray("User-agent: *\nDisallow: /r?sort=\n") << QByteArray("/r?sort=name") << false;
        QTest::newRow("comments and blank lines")
            << QByteArray("# the rules\n\nUser-agent: * # everyone\n\nDisallow: /private # keep out\n")
            << QByteArray("/private/1") << false;
        QTest::newRow("field names in any case")
            << QByteArray("USER-AGENT: *\nDISALLOW: /x\n") << QByteArray("/x") << false;
        QTest::newRow("CR line ends") << QByteArray("User-agent: *\rDisallow: /x\r") << QByteArray("/x") << false;
        QTest::newRow("percent escapes in either case")
            << QByteArray("User-agent: *\nDisallow: /caf%c3%a9\n") << QByteArray("/caf%C3%A9/list") << false;
        QTest::newRow("non-ASCII in a rule")
            << QByteArray("User-agent: *\nDisallow: /caf\xc3\xa9\n") << QByteArray("/caf%C3%A9") << false;

        // Groups: the robot's own group wins over "*", in whatever letter case it is named.
        const QByteArray groups = "User-agent: *\nDisallow: /\n\nUser-agent: quillon\nDisallow: /private\n";
        QTest::newRow("own group, allowed") << groups << QByteArray("/r?p=1") << true;
        QTest::newRow("own group, disallowed") << groups << QByteArray("/private") << false;
        QTest::newRow("own group with a version")
            << QByteArray("User-agent: *\nDisallow: /\nUser-agent: Quillon/1.1\nAllow: /\n") << QByteArray("/x")
            << true;
        QTest::newRow("a group for another robot only")
            << QByteArray("User-agent: OtherBot\nDisallow: /\n") << QByteArray("/x") << true;
        QTest::newRow("another robot's name that begins like ours")
            << QByteArray("User-agent: QuillonPlus\nDisallow: /\n") << QByteArray("/x") << true;
        QTest::newRow("one group for several robots")
            << QByteArray("User-agent: OtherBot\nUser-agent: Quillon\nDisallow: /x\n") << QByteArray("/x") << false;
        QTest::newRow("groups for the robot are merged")
            << QByteArray("User-agent: Quillon\nDisallow: /a\n\nUser-agent: *\nDisallow: /\n\n"
                          "User-agent: Quillon\nDisallow: /b\n")
            << QByteArray("/b/1") << false;
        QTest::newRow("own group without rules allows everything")
            << QByteArray("User-agent: *\nDisallow: /\n\nUser-agent: Quillon\n") << QByteArray("/x") << true;
        QTest::newRow("rules before any user-agent are no one's")
            << QByteArray("Disallow: /\nUser-agent: *\nDisallow: /y\n") << QByteArray("/x") << true;
        QTest::newRow("sitemap lines do not end a group")
            << QByteArray("User-agent: *\nSitemap: /map.xml\nDisallow: /x\n") << QByteArray("/x") << false;
        QTest::newRow("an HTML page instead of a robots.txt")
            << QByteArray("<html><body><h1>Not found: the page you asked for</h1></body></html>")
            << QByteArray("/x") << true;
    }

    void rules()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, path);
        QFETCH(bool, allowed);
        QCOMPARE(RobotsTxt::parse(text, "Quillon").allowsPath(path), allowed);
    }

    void urls()
    {
        const RobotsTxt robots = RobotsTxt::parse("User-agent: *\nDisallow: /r?p=3\nDisallow: /$\n", "Quillon");
        QVERIFY(robots.allows(QUrl(QStringLiteral("http://127.0.0.1:8080/r?p=2"))));
        QVERIFY(!robots.allows(QUrl(QStringLiteral("http://127.0.0.1:8080/r?p=3"))));
        QVERIFY(!robots.allows(QUrl(QStringLiteral("http://127.0.0.1:8080"))));
        QVERIFY(robots.allows(QUrl(QStringLiteral("http://127.0.0.1:8080/index.html"))));
    }

    void onlyTheFirst500KiBAreRead()
    {
        QByteArray text = "User-agent: *\nDisallow: /early\n";
        text += QByteArray(600 * 1024, '#') + "\nDisallow: /late\n";
        const RobotsTxt robots = RobotsTxt::parse(text, "Quillon");
        QVERIFY(!robots.allowsPath("/early"));
        QVERIFY(robots.allowsPath("/late"));
    }

    void manyWildcardsOnALongPath()
    {
        // A rule made to be slow is still answered.
        const QByteArray rule = "User-agent: *\nDisallow: /" + QByteArray(200, '*').replace("**", "*a") + "z$\n";
        const QByteArray path = "/" + QByteArray(8000, 'a');
        QVERIFY(RobotsTxt::parse(rule, "Quillon").allowsPath(path));
    }
};

QTEST_GUILESS_MAIN(TestRobotsTxt)
#include "TestRobotsTxt.moc"
