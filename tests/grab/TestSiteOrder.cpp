#include "grab/KeyTable.h"
#include "grab/SiteCatalog.h"
#include "grab/SiteOrder.h"
#include "grab/SiteOrderDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTableWidget>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace quillon;

namespace {

const QStringList kSites = {QStringLiteral("Alpha Pages"), QStringLiteral("Bravo Find"),
                            QStringLiteral("Charlie 411"), QStringLiteral("Delta People")};

// A catalog of the four sites above, each with its own key file, grab flag and
// start address, at site table rows 1, 2, 4 and 5 (row 3 had no key file).
void fillCatalog(colKests& sites)
{
    const int rows[] = {1, 2, 4, 5};
    for (int i = 0; i < 4; ++i)
        sites.Add(kSites[i], QStringLiteral("key%1.bin").arg(i), i % 2 == 0,
                  QStringLiteral("https://site%1.example/").arg(i), rows[i], QStringLiteral(" %1").arg(i));
}

// One line per site in collection order: ListName|FileName|Avail|URL|Index.
QStringList describe(const colKests& sites)
{
    QStringList lines;
    for (const objKest& site : sites)
        lines << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(site.ListName(), site.FileName(), QString::number(site.Avail()), site.URL(),
                          QString::number(site.Index()));
    return lines;
}

QString site(int i, int index)
{
    return QStringLiteral("%1|key%2.bin|%3|https://site%2.example/|%4")
        .arg(kSites[i], QString::number(i), QString::number(i % 2 == 0), QString::number(index));
}

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

    // Save brings the catalog into the site list's order by exchanging the site
    // data of entries; each entry's Index stays where it was.
    void catalogTakesTheNewOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("unchanged") << kSites << QStringList{site(0, 1), site(1, 2), site(2, 4), site(3, 5)};
        QTest::newRow("second to the top") << QStringList{kSites[1], kSites[0], kSites[2], kSites[3]}
                                           << QStringList{site(1, 1), site(0, 2), site(2, 4), site(3, 5)};
        QTest::newRow("reversed") << QStringList{kSites[3], kSites[2], kSites[1], kSites[0]}
                                  << QStringList{site(3, 1), site(2, 2), site(1, 4), site(0, 5)};
        QTest::newRow("first to the bottom") << QStringList{kSites[1], kSites[2], kSites[3], kSites[0]}
                                             << QStringList{site(1, 1), site(2, 2), site(3, 4), site(0, 5)};
        QTest::newRow("rotated the other way") << QStringList{kSites[3], kSites[0], kSites[1], kSites[2]}
                                               << QStringList{site(3, 1), site(0, 2), site(1, 4), site(2, 5)};
        // A name the catalog does not have leaves its position as it is.
        QTest::newRow("unknown name") << QStringList{QStringLiteral("Nowhere"), kSites[2], kSites[1], kSites[3]}
                                      << QStringList{site(0, 1), site(2, 2), site(1, 4), site(3, 5)};
        QTest::newRow("fewer names") << QStringList{kSites[2]}
                                     << QStringList{site(2, 1), site(1, 2), site(0, 4), site(3, 5)};
        QTest::newRow("no names") << QStringList{} << QStringList{site(0, 1), site(1, 2), site(2, 4), site(3, 5)};
    }

    void catalogTakesTheNewOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);

        colKests sites;
        fillCatalog(sites);
        ApplySiteOrder(sites, names);
        QCOMPARE(describe(sites), expected);
        // The keys stay with their positions too.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(sites.Item(QStringLiteral(" %1").arg(i)), sites.Item(i + 1));
    }

    void sameNamesKeepTheirOwnData()
    {
        colKests sites;
        sites.Add(QStringLiteral("Twin"), QStringLiteral("first.bin"), true, QStringLiteral("https://1/"), 1);
        sites.Add(QStringLiteral("Other"), QStringLiteral("other.bin"), true, QStringLiteral("https://2/"), 2);
        sites.Add(QStringLiteral("Twin"), QStringLiteral("second.bin"), false, QStringLiteral("https://3/"), 3);
        ApplySiteOrder(sites, {QStringLiteral("Twin"), QStringLiteral("Twin"), QStringLiteral("Other")});
        QCOMPARE(describe(sites), (QStringList{QStringLiteral("Twin|first.bin|1|https://1/|1"),
                                               QStringLiteral("Twin|second.bin|0|https://3/|2"),
                                               QStringLiteral("Other|other.bin|1|https://2/|3")}));
    }

    // The saved site table is read back by the catalog loader in the new order,
    // with every site's key file, grab flag and start address.
    void savedTableReadsBackInTheNewOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("not yet/made/stpl00.bin"));
        colKests sites;
        fillCatalog(sites);
        const QStringList order{kSites[2], kSites[0], kSites[3], kSites[1]};
        ApplySiteOrder(sites, order);
        QString error;
        QVERIFY2(SaveSiteTable(sites, path, &error), qPrintable(error));

        KeyTable table;
        QVERIFY(table.load(path, &error));
        QCOMPARE(table.rows(), 5);
        QCOMPARE(table.text(0, 0), QStringLiteral("Site"));
        colKests loaded;
        QCOMPARE(loaded.fill(table), order);
        // Index is the row of the table just read.
        QCOMPARE(describe(loaded), (QStringList{site(2, 1), site(0, 2), site(3, 3), site(1, 4)}));
    }

    void unwritableTableIsReported()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("user"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("a file where the folder should be");
        file.close();

        colKests sites;
        fillCatalog(sites);
        QString error;
        QVERIFY(!SaveSiteTable(sites, blocker + QStringLiteral("/stpl00.bin"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(error.contains(QStringLiteral("user")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{QStringLiteral("user")});
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("a file where the folder should be"));
    }
};

QTEST_MAIN(TestSiteOrder)
#include "TestSiteOrder.moc"
