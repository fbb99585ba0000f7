#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/SettingsStore.h"
#include "grab/GrabController.h"
#include "grab/GrabSession.h"
#include "grab/SiteCatalog.h"
#include "grab/SiteOrderController.h"
#include "grab/SiteOrderDialog.h"
#include "ui/Twips.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>

using namespace quillon;

namespace {

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

/**
 * The site order in the main window: `cmdUpDown` beside the site list opens
 * "Set Default Site & Order"; Save reorders the site list and the catalog alike,
 * keeps the chosen site and keeps the order for the next start.
 */
class TestSiteOrderWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    TestPlatform m_platform;
    std::unique_ptr<MainWindow> m_window;

    QString userFolder() const { return m_dir->filePath(QStringLiteral("user")); }
    QString savedTable() const { return userFolder() + QStringLiteral("/stpl00.bin"); }
    QString shippedTable() const { return AppPaths::dataFolder() + QStringLiteral("/stpl88.bin"); }
    GrabSession& session() const
    {
        return m_window->findChild<GrabController*>(QStringLiteral("GrabController"))->session();
    }
    SiteOrderController* controller() const
    {
        return m_window->findChild<SiteOrderController*>(QStringLiteral("SiteOrderController"));
    }
    QComboBox* sites() const { return m_window->siteList(); }
    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < sites()->count(); ++i)
            names << sites()->itemText(i);
        return names;
    }
    QStringList catalogNames() const
    {
        QStringList names;
        for (const objKest& site : session().mKests())
            names << site.ListName();
        return names;
    }

    void openWindow()
    {
        m_window = std::make_unique<MainWindow>(*m_settings, m_platform);
        m_window->setEndAction([] {});
        m_window->show();
    }

    // Opens the dialog with cmdUpDown, selects @p row and moves it up @p ups times.
    SiteOrderDialog* openAndMoveUp(int row, int ups)
    {
        QTest::mouseClick(controller()->button(), Qt::LeftButton);
        SiteOrderDialog* dialog = controller()->dialog();
        if (!dialog)
            return nullptr;
        dialog->grid()->setCurrentCell(row, 0);
        auto* up = dialog->findChild<QToolButton*>(QStringLiteral("cmd0"));
        for (int i = 0; i < ups; ++i)
            QTest::mouseClick(up, Qt::LeftButton);
        return dialog;
    }

    // Chooses entry @p index of the site list as the program does; Select site follows.
    bool choose(int index)
    {
        sites()->setCurrentIndex(index);
        return QTest::qWaitFor([&] { return session().currentSite() == index; });
    }

    void press(SiteOrderDialog* dialog, const char* button)
    {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return !controller()->dialog(); }));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(userFolder());
        m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("quillon.ini")));
        m_platform.messages.clear();
        m_platform.clipboard = QStringLiteral("the user's clipboard");
        QGuiApplication::clipboard()->setText(QStringLiteral("the system clipboard"));
        openWindow();
    }

    void cleanup() { m_window.reset(); }

    void buttonBesideTheSiteList()
    {
        QToolButton* cmdUpDown = m_window->findChild<QToolButton*>(QStringLiteral("cmdUpDown"));
        QVERIFY(cmdUpDown);
        QCOMPARE(cmdUpDown, controller()->button());
        QCOMPARE(cmdUpDown->parentWidget(), sites()->parentWidget());
        auto* layout = qobject_cast<QBoxLayout*>(sites()->parentWidget()->layout());
        QVERIFY(layout);
        QCOMPARE(layout->indexOf(cmdUpDown), layout->indexOf(sites()) + 1);

        QTest::mouseClick(cmdUpDown, Qt::LeftButton);
        SiteOrderDialog* dialog = controller()->dialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->isModal());
        // 5800 twips right of and 1000 twips below the main window's corner
        QCOMPARE(dialog->pos(), m_window->frameGeometry().topLeft() +
                                    QPoint(Twips::toPixels(5800, dialog), Twips::toPixels(1000, dialog)));
        QCOMPARE(dialog->order(), listed());
        QCOMPARE(dialog->grid()->rowCount(), sites()->count());
        press(dialog, "cmdCancel");
    }

    void saveReordersListAndCatalogAndKeepsTheChosenSite()
    {
        const QStringList before = listed();
        QVERIFY(before.size() >= 3);
        const QByteArray shipped = fileHash(shippedTable());
        QVERIFY(!shipped.isEmpty());

        // The second site is the chosen one; the third moves to the top.
        QVERIFY(choose(1));
        const QString chosen = before[1];
        SiteOrderDialog* dialog = openAndMoveUp(2, 2);
        QVERIFY(dialog);
        QCOMPARE(dialog->grid()->currentRow(), 0);
        press(dialog, "cmdSave");

        QStringList after = before;
        after.move(2, 0);
        QCOMPARE(listed(), after);
        QCOMPARE(sites()->currentText(), chosen);
        QCOMPARE(sites()->currentIndex(), 2);
        QCOMPARE(session().currentSite(), 2);
        QCOMPARE(catalogNames(), after);
        QCOMPARE(session().siteNames(), after);
        QVERIFY(QFile::exists(savedTable()));
        QCOMPARE(fileHash(shippedTable()), shipped);
        QVERIFY(m_platform.messages.isEmpty());
        QCOMPARE(m_platform.clipboard, QStringLiteral("the user's clipboard"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the system clipboard"));

        // Choosing an entry now chooses the site shown there: the first entry is
        // the site with the key rules, whose start page is the sample's /k/.
        QCOMPARE(after[0], QStringLiteral("Sample Directory (key rules)"));
        QVERIFY(choose(0));
        QCOMPARE(session().mKests().Item(1)->ListName(), after[0]);
        QCOMPARE(m_window->addressBox()->text(), session().sampleDirectory().root() + QStringLiteral("/k/"));

        // The next start reads the saved order, and the shipped table is untouched.
        m_window.reset();
        openWindow();
        QCOMPARE(listed(), after);
        QCOMPARE(catalogNames(), after);
        QCOMPARE(sites()->currentIndex(), 0);
        QCOMPARE(session().currentSite(), 0);
        QCOMPARE(m_window->addressBox()->text(), session().sampleDirectory().root() + QStringLiteral("/k/"));
    }

    void cancelChangesNothing()
    {
        const QStringList before = listed();
        QVERIFY(choose(1));
        SiteOrderDialog* dialog = openAndMoveUp(3, 3);
        QVERIFY(dialog);
        QVERIFY(dialog->order() != before);
        press(dialog, "cmdCancel");
        QCOMPARE(listed(), before);
        QCOMPARE(catalogNames(), before);
        QCOMPARE(sites()->currentIndex(), 1);
        QCOMPARE(session().currentSite(), 1);
        QVERIFY(!QFile::exists(savedTable()));
        QVERIFY(m_platform.messages.isEmpty());
    }

    void unwritableFolderIsReported()
    {
        // Where the user data folder should be there is a file: nothing can be saved.
        const QString blocked = m_dir->filePath(QStringLiteral("blocked"));
        AppPaths::setUserDataFolder(blocked);
        QFile blocker(blocked);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("not a folder");
        blocker.close();

        const QStringList before = listed();
        SiteOrderDialog* dialog = openAndMoveUp(1, 1);
        QVERIFY(dialog);
        press(dialog, "cmdSave");

        QCOMPARE(m_platform.messages.size(), 1);
        QCOMPARE(m_platform.messages[0].caption, QStringLiteral("Set Default Site & Order"));
        QVERIFY2(m_platform.messages[0].text.contains(QStringLiteral("stpl00.bin")),
                 qPrintable(m_platform.messages[0].text));
        QVERIFY(blocker.open(QIODevice::ReadOnly));
        QCOMPARE(blocker.readAll(), QByteArray("not a folder"));
        blocker.close();
        // The new order holds for this session.
        QStringList after = before;
        after.move(1, 0);
        QCOMPARE(listed(), after);
        QCOMPARE(catalogNames(), after);
    }

    void damagedSavedOrderFallsBackToTheShippedTable()
    {
        m_window.reset();
        QVERIFY(QDir().mkpath(userFolder()));
        QFile damaged(savedTable());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("\x01\x02 not a grid file");
        damaged.close();
        openWindow();
        QVERIFY(sites()->count() >= 7);
        QCOMPARE(sites()->itemText(0), QStringLiteral("Sample Directory (site A rules)"));
        QCOMPARE(catalogNames(), listed());
    }
};

QUILLON_WIDGET_TEST_MAIN(TestSiteOrderWindow)
#include "TestSiteOrderWindow.moc"
