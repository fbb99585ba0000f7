#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/PanelLayout.h"
#include "shell/SettingsStore.h"
#include "app/WindowLayout.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"
#include "ui/SheetView.h"
#include "ui/Twips.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

using namespace quillon;

class TestWindowLayout : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    TestPlatform m_platform;

    QString settingsPath() const { return m_dir->filePath(QStringLiteral("quillon.ini")); }
    static int px(int twips) { return Twips::toPixels(twips); }

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto w = std::make_unique<MainWindow>(*m_settings, m_platform);
        w->setEndAction([] {});
        w->resize(px(12000), px(9000));
        w->show();
        w->model().setCurrentPage(MainModel::ResultsPage);
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        QCoreApplication::processEvents();
        return w;
    }

    static WindowLayout* layoutOf(MainWindow& w) { return w.findChild<WindowLayout*>(); }
    static QSplitterHandle* handleOf(MainWindow& w) { return w.vbar()->handle(1); }
    /** x of @p widget in the Results page. */
    static int pageX(MainWindow& w, const QWidget* widget)
    {
        return widget->mapTo(w.vbar()->parentWidget(), QPoint(0, 0)).x();
    }

    /** Presses the splitter, moves it so that its left edge would be at @p twips of the
     *  splitter, and, when @p release, lets it go there. */
    static void drag(MainWindow& w, int twips, bool release = true)
    {
        QSplitterHandle* h = handleOf(w);
        const QPoint grip(h->width() / 2, h->height() / 2);
        QTest::mousePress(h, Qt::LeftButton, {}, grip);
        const QPoint to = grip + QPoint(px(twips) - h->x(), 0);
        QTest::mouseMove(h, to);
        if (release)
            QTest::mouseRelease(h, Qt::LeftButton, {}, to);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
        m_settings = std::make_unique<SettingsStore>(settingsPath());
    }

    void cleanup()
    {
        m_settings.reset();
        m_dir.reset();
    }

    void confinement_data()
    {
        QTest::addColumn<int>("candidate");
        QTest::addColumn<int>("inner");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<bool>("limit");
        QTest::newRow("inside") << 5000 << 12000 << 5000 << false;
        QTest::newRow("left of the minimum") << 1000 << 12000 << 3000 << true;
        QTest::newRow("at the minimum") << 3000 << 12000 << 3000 << false;
        QTest::newRow("negative") << -400 << 12000 << 3000 << true;
        QTest::newRow("at the right limit") << 11400 << 12000 << 11400 << false;
        QTest::newRow("past the right edge") << 15000 << 12000 << 11400 << true;
        QTest::newRow("narrowest window") << 9000 << 9000 << 8400 << true;
        QTest::newRow("too narrow for both") << 2000 << 3300 << 3000 << true;
    }

    void confinement()
    {
        QFETCH(int, candidate);
        QFETCH(int, inner);
        QFETCH(int, dropped);
        QFETCH(bool, limit);
        QCOMPARE(PanelLayout::confineSplitter(candidate, inner), dropped);
        QCOMPARE(PanelLayout::atSplitterLimit(candidate, inner), limit);
    }

    void windowNeverNarrowerThan9000()
    {
        auto w = makeWindow();
        QVERIFY(w);
        w->resize(px(5000), px(9000));
        QCOMPARE(w->width(), px(PanelLayout::kMinimumWidth));
        w->resize(px(9500), px(9000));
        QCOMPARE(w->width(), px(9500));
        const int low = std::max(px(5000), w->minimumSizeHint().height());
        w->resize(px(9500), low);
        QCOMPARE(w->height(), low);
        w->resize(px(9500), px(20000));
        QCOMPARE(w->height(), px(20000));
    }

    void dragLeftOfTheMinimumDropsAt3000()
    {
        auto w = makeWindow();
        QVERIFY(w);
        WindowLayout* layout = layoutOf(*w);
        QVERIFY(layout);
        QCOMPARE(layout->splitterLeft(), 3570);
        drag(*w, 3570); // a click on the splitter leaves it where it is
        QCOMPARE(layout->splitterLeft(), 3570);

        drag(*w, 1000, false);
        QFrame* ghost1 = w->findChild<QFrame*>(QStringLiteral("VBar1"));
        QFrame* ghost2 = w->findChild<QFrame*>(QStringLiteral("VBar2"));
        QVERIFY(ghost1 && ghost2);
        QVERIFY(ghost2->isVisible());
        QVERIFY(!ghost1->isVisible());
        QCOMPARE(pageX(*w, ghost2), pageX(*w, w->vbar()) + px(3000));
        QCOMPARE(ghost2->height(), w->sheetView()->height());
        QCOMPARE(layout->splitterLeft(), 3570); // nothing moves before the drop

        QTest::mouseRelease(handleOf(*w), Qt::LeftButton, {},
                            QPoint(0, handleOf(*w)->height() / 2) + QPoint(px(1000) - handleOf(*w)->x(), 0));
        QVERIFY(!ghost1->isVisible());
        QVERIFY(!ghost2->isVisible());
        QCOMPARE(layout->splitterLeft(), 3000);
        QCOMPARE(w->model().vbarLeft(), 3000);
        QCOMPARE(w->vbar()->sizes().value(0), px(3000));
    }

    void dragPastTheRightEdgeDrops600Short()
    {
        auto w = makeWindow();
        QVERIFY(w);
        drag(*w, 30000);
        WindowLayout* layout = layoutOf(*w);
        QCOMPARE(layout->splitterLeftInWindow(), w->width() - px(600));
        QVERIFY(w->sheetView()->isVisible());
        QVERIFY(pageX(*w, w->sheetView()) > pageX(*w, handleOf(*w)));
        QCOMPARE(w->model().vbarLeft(), layout->splitterLeft());
    }

    void dragInsideTheLimitsShowsTheGhostBar()
    {
        auto w = makeWindow();
        QVERIFY(w);
        drag(*w, 6000, false);
        QFrame* ghost1 = w->findChild<QFrame*>(QStringLiteral("VBar1"));
        QVERIFY(ghost1->isVisible());
        QVERIFY(!w->findChild<QFrame*>(QStringLiteral("VBar2"))->isVisible());
        QCOMPARE(pageX(*w, ghost1), pageX(*w, w->vbar()) + px(6000));
        QSplitterHandle* h = handleOf(*w);
        QTest::mouseRelease(h, Qt::LeftButton, {},
                            QPoint(h->width() / 2 + px(6000) - h->x(), h->height() / 2));
        QCOMPARE(layoutOf(*w)->splitterLeft(), 6000);
        QVERIFY(!ghost1->isVisible());
    }

    void buttonsFollowTheSplitter()
    {
        auto w = makeWindow();
        QVERIFY(w);
        // The form panel's own buttons, as the editing commands add them.
        auto* btn6 = new QToolButton(w->vbar()->parentWidget());
        btn6->setObjectName(QStringLiteral("imgBtn6"));
        auto* btn7 = new QToolButton(w->vbar()->parentWidget());
        btn7->setObjectName(QStringLiteral("imgBtn7"));

        for (int at : {5000, 3000, 7200}) {
            drag(*w, at);
            QToolButton* close = w->findChild<QToolButton*>(QStringLiteral("imgClose"));
            QVERIFY(close && close->isVisible());
            const int splitter = pageX(*w, handleOf(*w));
            QCOMPARE(pageX(*w, close), splitter + px(-260));
            QCOMPARE(pageX(*w, btn7), splitter + px(-480));
            QCOMPARE(pageX(*w, btn6), splitter + px(-680));
            QVERIFY(close->y() >= w->formTab()->mapTo(w->vbar()->parentWidget(), QPoint(0, 0)).y());
        }
    }

    void imgCloseThenF2RestoresTheSheetRightOfTheSplitter()
    {
        auto w = makeWindow();
        QVERIFY(w);
        drag(*w, 4500);
        QToolButton* close = w->findChild<QToolButton*>(QStringLiteral("imgClose"));
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!w->formTab()->isVisible());
        QVERIFY(!handleOf(*w)->isVisible());
        QVERIFY(!close->isVisible());
        QVERIFY(!w->action(QStringLiteral("mnuViewFb"))->isChecked());
        QVERIFY(!w->model().formPanelShown());
        QCOMPARE(pageX(*w, w->sheetView()), pageX(*w, w->vbar()));
        QCOMPARE(w->sheetView()->width(), w->vbar()->width());

        w->action(QStringLiteral("mnuViewFb"))->trigger(); // F2
        QCoreApplication::processEvents();
        QVERIFY(w->formTab()->isVisible());
        QVERIFY(handleOf(*w)->isVisible());
        QVERIFY(w->action(QStringLiteral("mnuViewFb"))->isChecked());
        QCOMPARE(layoutOf(*w)->splitterLeft(), 4500);
        QCOMPARE(pageX(*w, w->sheetView()), pageX(*w, handleOf(*w)) + handleOf(*w)->width());
        QVERIFY(close->isVisible());
        QCOMPARE(pageX(*w, close), pageX(*w, handleOf(*w)) + px(-260));

        // F2 again hides the panel, and once more brings it back.
        w->action(QStringLiteral("mnuViewFb"))->trigger();
        QVERIFY(!w->formTab()->isVisible());
        w->action(QStringLiteral("mnuViewFb"))->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(layoutOf(*w)->splitterLeft(), 4500);
    }

    void f2IsTheShortcut()
    {
        auto w = makeWindow();
        QVERIFY(w);
        QCOMPARE(w->action(QStringLiteral("mnuViewFb"))->shortcut(), QKeySequence(Qt::Key_F2));
        QCOMPARE(w->action(QStringLiteral("mnuViewFb"))->text(), QStringLiteral("&Form Panel"));
    }

    void addressBoxToggles()
    {
        auto w = makeWindow();
        QVERIFY(w);
        QAction* box = w->action(QStringLiteral("mnuViewDropBox"));
        QCOMPARE(box->text(), QStringLiteral("&URL Address Box"));
        QVERIFY(!box->isChecked());
        QVERIFY(!w->addressBar()->isVisible());
        w->model().setCurrentPage(MainModel::BrowserPage);
        const int topHidden = w->tabMain()->mapTo(w.get(), QPoint(0, 0)).y();

        box->trigger();
        QCoreApplication::processEvents();
        QVERIFY(box->isChecked());
        QVERIFY(w->addressBar()->isVisible());
        QVERIFY(w->addressBox()->isVisible());
        QVERIFY(w->addressLabel()->isVisible());
        QVERIFY(w->tabMain()->mapTo(w.get(), QPoint(0, 0)).y() > topHidden);

        w->model().setCurrentPage(MainModel::ResultsPage);
        QVERIFY(!w->addressBox()->isVisible());

        box->trigger();
        QCoreApplication::processEvents();
        QVERIFY(!box->isChecked());
        QVERIFY(!w->addressBar()->isVisible());
        QCOMPARE(w->tabMain()->mapTo(w.get(), QPoint(0, 0)).y(), topHidden);
    }

    void vbarLeftWrittenAtExitIsTheLastDrop()
    {
        {
            auto w = makeWindow();
            QVERIFY(w);
            drag(*w, 5200);
            drag(*w, 1000);
            drag(*w, 6405);
            // A press and a move without a release does not count.
            drag(*w, 8000, false);
            w->close();
        }
        QCOMPARE(SettingsStore(settingsPath()).ReadSettingText(QStringLiteral("VBarLeft")),
                 QStringLiteral("6405"));
        auto again = makeWindow();
        QVERIFY(again);
        QCOMPARE(layoutOf(*again)->splitterLeft(), 6405);
    }
};

QUILLON_WIDGET_TEST_MAIN(TestWindowLayout)
#include "TestWindowLayout.moc"
