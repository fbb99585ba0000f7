#include "shell/ScreenPlacement.h"

#include <QTest>

using namespace quillon;

Q_DECLARE_METATYPE(QList<QRect>)

class TestScreenPlacement : public QObject
{
    Q_OBJECT

private slots:
    void placement_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("placed");
        const QRect laptop(0, 0, 1366, 740);
        const QRect wide(1366, 0, 3840, 2100);
        QTest::newRow("on the screen") << QRect(100, 80, 800, 600) << QList<QRect>{laptop} << QRect(100, 80, 800, 600);
        QTest::newRow("larger than the screen it is on")
            << QRect(0, 0, 3000, 2400) << QList<QRect>{laptop} << QRect(0, 0, 3000, 2400);
        QTest::newRow("title bar just showing") << QRect(1266, 700, 800, 600) << QList<QRect>{laptop}
                                                << QRect(1266, 700, 800, 600);
        QTest::newRow("title bar grip too narrow")
            << QRect(1300, 100, 800, 600) << QList<QRect>{laptop} << QRect(566, 100, 800, 600);
        QTest::newRow("title bar above the screen")
            << QRect(100, -590, 800, 600) << QList<QRect>{laptop} << QRect(100, 0, 800, 600);
        QTest::newRow("on a second screen that is gone")
            << QRect(2000, 300, 2500, 1500) << QList<QRect>{laptop} << QRect(0, 0, 1366, 740);
        QTest::newRow("on a second screen that is there")
            << QRect(2000, 300, 2500, 1500) << QList<QRect>{laptop, wide} << QRect(2000, 300, 2500, 1500);
        QTest::newRow("far away goes to the nearest screen")
            << QRect(20000, 500, 800, 600) << QList<QRect>{laptop, wide} << QRect(4406, 500, 800, 600);
        QTest::newRow("left of every screen") << QRect(-13000, 40, 800, 600) << QList<QRect>{laptop, wide}
                                              << QRect(0, 40, 800, 600);
        QTest::newRow("no screens") << QRect(-13000, 40, 800, 600) << QList<QRect>{} << QRect(-13000, 40, 800, 600);
    }

    void placement()
    {
        QFETCH(QRect, window);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, placed);
        QCOMPARE(PlaceOnScreens(window, screens), placed);
    }
};

QTEST_GUILESS_MAIN(TestScreenPlacement)
#include "TestScreenPlacement.moc"
