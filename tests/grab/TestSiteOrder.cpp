#include "grab/SiteOrder.h"
#include "grab/SiteOrderDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace quillon;

namespace {

const QStringList kSites = {QStringLiteral("Alpha Pages"), QStringLiteral("Bravo Find"),
                            QStringLiteral("Charlie 411"), QStringLiteral("Delta People")};

} // namespace

class TestSiteOrder : public QObject
{
    Q_OBJECT

private slots:
    void moves_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("moves"); // u = up, d = down
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<int>("selectedAfter");
        QTest::addColumn<bool>("save");

        QTest::newRow("nothing") << 1 << "" << kSites << 1 << false;
        QTest::newRow("first up") << 0 << "u" << kSites << 0 << true;
        QTest::newRow("last down") << 3 << "d" << kSites << 3 << true;
        QTest::newRow("second up") << 1 << "u" << QStringList{kSites[1], kSites[0], kSites[2], kSites[3]} << 0
                                   << true;
        QTest::newRow("first down twice")
            << 0 << "dd" << QStringList{kSites[1], kSites[2], kSites[0], kSites[3]} << 2 << true;
        QTest::newRow("third to the top and past it")
            << 2 << "uuu" << QStringList{kSites[2], kSites[0], kSites[1], kSites[3]} << 0 << true;
        QTest::newRow("down then up") << 1 << "du" << kSites << 1 << true;
        QTest::newRow("to the bottom")
            << 0 << "ddddd" << QStringList{kSites[1], kSites[2], kSites[3], kSites[0]} << 3 << true;
    }

    void moves()
    {
        QFETCH(int, selected);
        QFETCH(QString, moves);
        QFETCH(QStringList, order);
        QFETCH(int, selectedAfter);
        QFETCH(bool, save);

        SiteOrder model(kSites);
        model.setSelected(selected);
        for (const QChar m : moves)
            m == QLatin1Char('u') ? model.moveUp() : model.moveDown();
        QCOMPARE(model.names(), order);
        QCOMPARE(model.selected(), selectedAfter);
        QCOMPARE(model.isSaveEnabled(), save);
    }

    void emptyAndSingleLists()
    {
        SiteOrder empty;
        QCOMPARE(empty.selected(), -1);
        QVERIFY(!empty.moveUp());
        QVERIFY(!empty.moveDown());
        QVERIFY(empty.names().isEmpty());

        SiteOrder one({QStringLiteral("Only")});
        QCOMPARE(one.selected(), 0);
        QVERIFY(!one.moveDown());
        QCOMPARE(one.names(), QStringList{QStringLiteral("Only")});
        one.setSelected(5);
        QCOMPARE(one.selected(), 0);
    }

    void dialogMovesRowsWithoutTheClipboard()
    {
        QApplication::clipboard(); // created on demand; it must stay untouched
        const QString before = QStringLiteral("the user's clipboard");
        QGuiApplication::clipboard()->setText(before);

        QWidget window;
        window.move(100, 50);
        window.show();
        SiteOrderDialog dialog(kSites, &window);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Default Site & Order"));
        QCOMPARE(dialog.objectName(), QStringLiteral("frmSites"));
        dialog.show();

        QTableWidget* ft = dialog.findChild<QTableWidget*>(QStringLiteral("ft"));
        QVERIFY(ft);
        QCOMPARE(ft->columnCount(), 1);
        QCOMPARE(ft->rowCount(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(ft->item(i, 0)->text(), kSites[i]);

        auto* up = dialog.findChild<QToolButton*>(QStringLiteral("cmd0"));
        auto* down = dialog.findChild<QToolButton*>(QStringLiteral("cmd1"));
        auto* save = dialog.findChild<QPushButton*>(QStringLiteral("cmdSave"));
        QVERIFY(up && down && save);
        QVERIFY(!save->isEnabled());

        ft->setCurrentCell(2, 0);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(ft->item(1, 0)->text(), kSites[2]);
        QCOMPARE(ft->item(2, 0)->text(), kSites[1]);
        QCOMPARE(ft->currentRow(), 1);
        QVERIFY(save->isEnabled());
        QTest::mouseClick(up, Qt::LeftButton);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(ft->currentRow(), 0);
        QCOMPARE(dialog.order(), (QStringList{kSites[2], kSites[0], kSites[1], kSites[3]}));

        ft->setCurrentCell(3, 0);
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(ft->currentRow(), 3);
        QCOMPARE(dialog.order(), (QStringList{kSites[2], kSites[0], kSites[1], kSites[3]}));

        QCOMPARE(QGuiApplication::clipboard()->text(), before);

        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void dialogCancel()
    {
        SiteOrderDialog dialog(kSites);
        dialog.show();
        dialog.grid()->setCurrentCell(1, 0);
        dialog.moveDown();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestSiteOrder)
#include "TestSiteOrder.moc"
