#include "shell/CommandCatalog.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "shell/Tips.h"
#include "testsupport/TestPlatform.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {
QStringList names(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* n : list)
        out.append(QString::fromLatin1(n));
    return out;
}
} // namespace

class TestMainModel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    TestPlatform m_platform;
    std::unique_ptr<MainModel> m_model;

    QString untitled() const { return m_dir.filePath(QStringLiteral("Untitled1.vty")); }

private slots:
    void init()
    {
        m_settings = std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("quillon.ini")));
        m_model = std::make_unique<MainModel>(*m_settings, m_platform, untitled());
        m_model->formPanel().SetupFormPanel(3000);
        m_model->setMouseMode(false);
        m_model->startUntitledDocument();
    }
    void cleanup()
    {
        m_model.reset();
        m_settings.reset();
    }

    // ---- the command catalog ------------------------------------------------------------

    void catalogNamesAreUnique()
    {
        const QStringList names = CommandCatalog::allMenuNames();
        const QSet<QString> unique(names.cbegin(), names.cend());
        QCOMPARE(unique.size(), names.size());
        for (int t = 0; t < CommandCatalog::kToolbarCount; ++t) {
            QSet<QString> keys;
            for (const ToolButtonEntry& b : CommandCatalog::toolbar(t)) {
                if (b.isSeparator())
                    continue;
                QVERIFY2(!keys.contains(b.key), qPrintable(b.key));
                keys.insert(b.key);
            }
        }
    }

    void shortcutsAreUnique()
    {
        QHash<QString, QString> owner;
        std::function<void(const QList<MenuEntry>&)> walk = [&](const QList<MenuEntry>& entries) {
            for (const MenuEntry& e : entries) {
                if (!e.shortcut.isEmpty()) {
                    QVERIFY2(!owner.contains(e.shortcut),
                             qPrintable(e.shortcut + QStringLiteral(": ") + owner.value(e.shortcut) +
                                        QStringLiteral(" and ") + e.name));
                    owner.insert(e.shortcut, e.name);
                }
                walk(e.children);
            }
        };
        walk(CommandCatalog::menus());
        QCOMPARE(owner.value(QStringLiteral("Ctrl+A")), QStringLiteral("mnuAppend"));
        QCOMPARE(owner.value(QStringLiteral("Ctrl+L")), QStringLiteral("mnuSelectAll"));
    }

    void toolbarZeroHidesItsTwentyFifthButton()
    {
        const QList<ToolButtonEntry>& bar = CommandCatalog::toolbar(0);
        QVERIFY(bar.size() >= 25);
        const ToolButtonEntry& spare = bar.at(24);
        QVERIFY(!spare.isSeparator());
        QVERIFY(!m_model->commands().isVisible(CommandStates::button(0, spare.key)));
        int hiddenButtons = 0;
        for (const ToolButtonEntry& b : bar)
            hiddenButtons += b.has(MenuEntry::Hidden) ? 1 : 0;
        QCOMPARE(hiddenButtons, 1);
    }

    void initialStates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("visible");
        QTest::newRow("Save") << "mnuSave" << false << false << true;
        QTest::newRow("Save button") << "tb0.Save" << false << false << true;
        QTest::newRow("Row Mode") << "mnuMouseMode0" << true << true << true;
        QTest::newRow("Block mode") << "mnuMouseMode1" << true << false << true;
        QTest::newRow("RowMode button") << "tb0.RowMode" << true << true << true;
        QTest::newRow("Grid Lines") << "mnuGrid" << true << true << true;
        QTest::newRow("Form Panel") << "mnuViewFb" << true << true << true;
        QTest::newRow("Undo Edit, nothing to undo") << "mnuUndoEdit" << false << false << true;
        QTest::newRow("Redo, nothing to redo") << "mnuRedoEdit" << false << false << true;
        QTest::newRow("Undo button") << "tb0.Undo" << false << false << true;
        QTest::newRow("Redo button") << "tb0.Redo" << false << false << true;
        QTest::newRow("print submenu hidden") << "mnuPrintSheet" << true << false << false;
        QTest::newRow("column type hidden") << "mnuColDataType" << true << false << false;
        QTest::newRow("Send Mail hidden") << "mnuSendMail" << true << false << false;
        QTest::newRow("Disclaimer hidden") << "mnuDisclaimer" << true << false << false;
        QTest::newRow("popup hidden") << "mnuGrid1Popup" << true << false << false;
        QTest::newRow("No Drag ticked") << "mnuDragNo" << true << true << false;
        QTest::newRow("Guide On-line") << "mnuHelpGuide" << true << false << true;
    }
    void initialStates()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QFETCH(bool, checked);
        QFETCH(bool, visible);
        const CommandStates& c = m_model->commands();
        QCOMPARE(c.isEnabled(name), enabled);
        QCOMPARE(c.isChecked(name), checked);
        QCOMPARE(c.isVisible(name), visible);
    }

    // ---- pages ------------------------------------------------------------------------------

    void pageStates_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("guideEntry");
        QTest::newRow("Results") << 0
                                 << names({"mnuFile", "mnuEdit", "mnuView", "mnuTools", "Toolbar0"}) << true;
        QTest::newRow("Browser") << 1 << names({"mnuFileB", "mnuViewB", "Toolbar1"}) << true;
        QTest::newRow("Guide Online") << 2 << names({"mnuFileG", "mnuViewB", "Toolbar2"}) << false;
    }
    void pageStates()
    {
        QFETCH(int, page);
        QFETCH(QStringList, shown);
        QFETCH(bool, guideEntry);
        // Arrive from another page, so that every state really changes.
        m_model->setCurrentPage((page + 1) % 3);
        m_model->setCurrentPage(page);
        const QStringList all = names({"mnuFile", "mnuFileB", "mnuFileG", "mnuEdit", "mnuView", "mnuViewB",
                                       "mnuTools", "Toolbar0", "Toolbar1", "Toolbar2"});
        for (const QString& name : all)
            QVERIFY2(m_model->commands().isVisible(name) == shown.contains(name), qPrintable(name));
        QVERIFY(m_model->commands().isVisible(QStringLiteral("mnuHelp")));
        QCOMPARE(m_model->commands().isVisible(QStringLiteral("mnuHelpGuide")), guideEntry);
    }

    void pageOutOfRangeIsIgnored()
    {
        QSignalSpy spy(m_model.get(), &MainModel::pageChanged);
        m_model->setCurrentPage(3);
        m_model->setCurrentPage(-1);
        m_model->setCurrentPage(0);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(m_model->currentPage(), 0);
    }

    // ---- the document at start ---------------------------------------------------------------

    void untitledDocument()
    {
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- Untitled1.vty"));
        QCOMPARE(m_model->document().DocumentName(), untitled());
        QCOMPARE(m_model->sheet().recordCount(), 20);
        QCOMPARE(m_model->sheet().cols(), 10);
        QCOMPARE(m_model->panels().text(MainModel::RecordPanel), QStringLiteral("1 / 20"));
        QCOMPARE(m_model->panels().text(MainModel::ModePanel), QStringLiteral("ROW"));
        QCOMPARE(m_model->panels().text(MainModel::SelectionPanel), QStringLiteral("1 Sel"));
        QCOMPARE(m_model->formPanel().grid().rows(), 11);
        QCOMPARE(m_model->formPanel().grid().text(1, 0), QStringLiteral("Name"));
        QVERIFY(!m_model->document().IsModified());
    }

    void mouseModes()
    {
        RecordSheet& s = m_model->sheet();
        s.setCurrentCell(4, 2);
        m_model->setMouseMode(true);
        QCOMPARE(s.selectionMode(), RecordSheet::SelectionMode::Block);
        QCOMPARE(m_model->panels().text(MainModel::ModePanel), QStringLiteral("EDIT"));
        QVERIFY(m_model->isBlockMode());
        QVERIFY(m_model->commands().isChecked(QStringLiteral("mnuMouseMode1")));
        QVERIFY(!m_model->commands().isChecked(QStringLiteral("mnuMouseMode0")));
        QVERIFY(!m_model->commands().isChecked(QStringLiteral("tb0.RowMode")));

        s.selectBlock(4, 2, 6, 3);
        m_model->setMouseMode(false);
        QCOMPARE(s.selectionMode(), RecordSheet::SelectionMode::Rows);
        QCOMPARE(m_model->panels().text(MainModel::ModePanel), QStringLiteral("ROW"));
        // Row mode selects the current row across all columns.
        QCOMPARE(s.selectedRowList(), std::vector<int>{4});
        QCOMPARE(s.selectedBlock(), (CellRect{4, 0, 4, 9}));
    }

    void selectionPanelCountsSelectedRows()
    {
        m_model->sheet().setSelectedRows({{3, 3}, {5, 5}, {9, 9}});
        QCOMPARE(m_model->panels().text(MainModel::SelectionPanel), QStringLiteral("3 Sel"));
        m_model->setMouseMode(true);
        m_model->sheet().selectBlock(2, 0, 7, 3);
        QCOMPARE(m_model->panels().text(MainModel::SelectionPanel), QStringLiteral("6 Sel"));
    }

    // ---- edits and the modified mark ------------------------------------------------------------

    void sheetEditOfUntitledDocument()
    {
        RecordSheet& s = m_model->sheet();
        s.setCurrentCell(2, 1);
        s.setText(2, 1, QStringLiteral("12 Elm St"));
        m_model->afterSheetEdit(2, 1);
        QCOMPARE(m_model->formPanel().grid().text(2, 1), QStringLiteral("12 Elm St"));
        QVERIFY(m_model->document().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
    }

    void sheetEditOfNamedDocument()
    {
        m_model->document().setDocumentName(m_dir.filePath(QStringLiteral("list.vty")));
        m_model->sheet().setText(1, 0, QStringLiteral("Ann"));
        m_model->afterSheetEdit(1, 0);
        QVERIFY(m_model->document().IsModified());
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("tb0.Save")));
    }

    void formPanelEditReachesTheSheet()
    {
        RecordSheet& s = m_model->sheet();
        s.setCurrentCell(3, 0);
        m_model->fa_Click();
        RecordSheet& fb = m_model->formPanel().grid();
        fb.setText(3, 1, QStringLiteral("Springfield"));
        m_model->afterFormPanelEdit(3);
        QCOMPARE(s.text(3, 2), QStringLiteral("Springfield"));
    }

    void boldOnFormPanelLeavesSheetAndMark()
    {
        RecordSheet& fb = m_model->formPanel().grid();
        fb.setCurrentCell(2, 1);
        m_model->setFocusedGrid(MainModel::Grid::FormPanel);
        m_model->toggleFontFlag(CellStyle::Bold);
        QVERIFY(fb.style(2, 1).bold());
        QVERIFY(m_model->commands().isChecked(QStringLiteral("tb0.Bold")));
        QCOMPARE(m_model->sheet().styledCellCount(), qsizetype(0));
        QVERIFY(!m_model->document().IsModified());
        m_model->toggleFontFlag(CellStyle::Bold);
        QVERIFY(!fb.style(2, 1).bold());
        QVERIFY(!m_model->commands().isChecked(QStringLiteral("tb0.Bold")));
    }

    void boldOnSheetMarksNamedDocument()
    {
        m_model->document().setDocumentName(m_dir.filePath(QStringLiteral("list.vty")));
        m_model->sheet().setCurrentCell(2, 0);
        m_model->toggleFontFlag(CellStyle::Italic);
        QVERIFY(m_model->sheet().style(2, 9).italic());
        QVERIFY(m_model->document().IsModified());
    }

    void viewOptionsKeepTheirTicks()
    {
        m_model->setAlternateColor(false);
        QVERIFY(!m_model->commands().isChecked(QStringLiteral("mnuAlternateColor")));
        QVERIFY(!m_model->commands().isChecked(QStringLiteral("tb0.AlternateColor")));
        m_model->setAlternateColor(true);
        QVERIFY(m_model->alternateColor());
        m_model->setAddressBoxShown(true);
        QVERIFY(m_model->commands().isChecked(QStringLiteral("mnuViewDropBox")));
        m_model->setFormPanelShown(false);
        QVERIFY(!m_model->formPanel().isShown());
        QVERIFY(!m_model->formPanelShown());
    }

    // ---- tips ---------------------------------------------------------------------------------------

    void tipsTurnDaily()
    {
        QVERIFY(TipTexts().size() >= 5);
        const QDate day(2026, 3, 1);
        QCOMPARE((TipOfTheDayIndex(day) + 1) % TipTexts().size(), TipOfTheDayIndex(day.addDays(1)));
        QVERIFY(TipOfTheDayIndex(day) >= 0 && TipOfTheDayIndex(day) < TipTexts().size());
        QCOMPARE(TipOfTheDayIndex(QDate()), 0);
    }
};

QTEST_GUILESS_MAIN(TestMainModel)
#include "TestMainModel.moc"
