#include "shell/AppPaths.h"

#include <QTest>

using namespace quillon;

class TestAppPaths : public QObject
{
    Q_OBJECT

private slots:
    void filesOnTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("files");
        const QString q = QStringLiteral("quillon");
        QTest::newRow("none") << QStringList{q} << QStringList{};
        QTest::newRow("one file") << QStringList{q, QStringLiteral("people.vty")}
                                  << QStringList{QStringLiteral("people.vty")};
        QTest::newRow("after the options")
            << QStringList{q, QStringLiteral("--settings"), QStringLiteral("my.ini"), QStringLiteral("--no-tips"),
                           QStringLiteral("--user-data"), QStringLiteral("/tmp/u"), QStringLiteral("a.csv"),
                           QStringLiteral("b.txt")}
            << QStringList{QStringLiteral("a.csv"), QStringLiteral("b.txt")};
        QTest::newRow("an option's value is no file")
            << QStringList{q, QStringLiteral("--data"), QStringLiteral("/opt/quillon/share")} << QStringList{};
        QTest::newRow("a file named like an option after --")
            << QStringList{q, QStringLiteral("--"), QStringLiteral("--settings"), QStringLiteral("-x.vty")}
            << QStringList{QStringLiteral("--settings"), QStringLiteral("-x.vty")};
        QTest::newRow("an address from the desktop")
            << QStringList{q, QStringLiteral("file:///home/ann/My%20Lists/florists.vty")}
            << QStringList{QStringLiteral("/home/ann/My Lists/florists.vty")};
        QTest::newRow("an option left without its value")
            << QStringList{q, QStringLiteral("people.vty"), QStringLiteral("--settings")}
            << QStringList{QStringLiteral("people.vty")};
    }
    void filesOnTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, files);
        QCOMPARE(AppPaths::filesOnCommandLine(arguments), files);
    }
};

QTEST_GUILESS_MAIN(TestAppPaths)
#include "TestAppPaths.moc"
