#include "shell/MainModel.h"

#include "shell/AppPaths.h"
#include "shell/CommandCatalog.h"
#include "shell/SettingsStore.h"
#include "ui/Platform.h"

namespace quillon {

MainModel::MainModel(SettingsStore& settings, Platform& platform, const QString& untitledPath, QObject* parent)
    : QObject(parent), m_settings(settings), m_platform(platform), m_document(untitledPath),
      m_history(m_document), m_formPanel(m_document)
{
    connect(&m_document, &Document::saveEnabledChanged, this, [this](bool on) {
        m_commands.setEnabled(QStringLiteral("mnuSave"), on);
        m_commands.setEnabled(CommandStates::button(0, QStringLiteral("Save")), on);
    });
    CommandCatalog::applyInitialStates(m_commands);
    m_commands.setEnabled(QStringLiteral("mnuSave"), false);
    m_commands.setEnabled(CommandStates::button(0, QStringLiteral("Save")), false);
    applyPageStates();
    connect(&sheet(), &RecordSheet::selectionChanged, this, &MainModel::updateSelectionPanel);
    connect(&sheet(), &RecordSheet::wasReset, this, &MainModel::updateSelectionPanel);
    m_history.setMemoryLimit(undoMemoryLimit(settings));
    connect(&m_history, &UndoHistory::changed, this, &MainModel::updateUndoCommands);
    updateUndoCommands();
}

qint64 MainModel::undoMemoryLimit(const SettingsStore& settings)
{
    bool ok = false;
    const qint64 mb = settings.ReadSettingText(QStringLiteral("UndoMemoryMB")).trimmed().toLongLong(&ok);
    return (ok && mb >= 1 && mb <= (qint64(1) << 20) ? mb : UndoHistory::kDefaultMemoryMB) << 20;
}

void MainModel::updateUndoCommands()
{
    // With a step to take, the entries name it ("&Undo Sort"); without, the design's
    // own captions.
    const QString undo = m_history.undoText();
    const QString redo = m_history.redoText();
    const QString tbUndo = CommandStates::button(0, QStringLiteral("Undo"));
    const QString tbRedo = CommandStates::button(0, QStringLiteral("Redo"));
    m_commands.setCaption(QStringLiteral("mnuUndoEdit"),
                          undo.isEmpty() ? QStringLiteral("&Undo Edit") : QStringLiteral("&Undo ") + undo);
    m_commands.setCaption(QStringLiteral("mnuRedoEdit"),
                          redo.isEmpty() ? QStringLiteral("&Redo") : QStringLiteral("&Redo ") + redo);
    m_commands.setCaption(tbUndo, undo.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + undo);
    m_commands.setCaption(tbRedo, redo.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + redo);
    m_commands.setEnabled(QStringLiteral("mnuUndoEdit"), m_history.canUndo());
    m_commands.setEnabled(tbUndo, m_history.canUndo());
    m_commands.setEnabled(QStringLiteral("mnuRedoEdit"), m_history.canRedo());
    m_commands.setEnabled(tbRedo, m_history.canRedo());
}

MainModel::~MainModel() = default;

void MainModel::fa_Click()
{
    RecordSheet& s = sheet();
    const int row = s.currentRow();
    const int col = s.currentCol();
    const CellStyle style = (s.cols() > 0) ? s.style(row, col) : CellStyle{};
    const CellStyle::Flag flags[] = {CellStyle::Bold, CellStyle::Italic, CellStyle::Underline};
    for (int i = 0; i < 3; ++i) {
        const bool on = style.flags & flags[i];
        m_sheetToggles[i] = on;
        m_commands.setChecked(CommandStates::button(0, buttonKey(flags[i])), on);
    }
    m_panels.setText(RecordPanel, QStringLiteral("%1 / %2").arg(row).arg(s.rows() - 1));
    m_formPanel.refresh();
}

void MainModel::ResyncFormPanel()
{
    m_formPanel.resync();
    fa_Click();
}

void MainModel::setCurrentPage(int page)
{
    if (page < ResultsPage || page > GuidePage || page == m_page)
        return;
    m_page = page;
    applyPageStates();
    emit pageChanged(page);
}

void MainModel::applyPageStates()
{
    const QStringList shown = CommandCatalog::pageMenus(m_page);
    for (const QString& name : CommandCatalog::pageDependentMenus())
        m_commands.setVisible(name, shown.contains(name));
    m_commands.setVisible(QStringLiteral("mnuHelpGuide"), m_page != GuidePage);
    for (int t = 0; t < CommandCatalog::kToolbarCount; ++t)
        m_commands.setVisible(CommandCatalog::toolbarName(t), t == m_page);
}

void MainModel::setFocusedGrid(Grid grid)
{
    if (grid == m_focused)
        return;
    m_focused = grid;
    emit focusedGridChanged(grid);
}

void MainModel::setMouseMode(bool block)
{
    m_commands.setChecked(QStringLiteral("mnuMouseMode0"), !block);
    m_commands.setChecked(QStringLiteral("mnuMouseMode1"), block);
    m_commands.setChecked(CommandStates::button(0, QStringLiteral("RowMode")), !block);
    m_commands.setChecked(CommandStates::button(0, QStringLiteral("BlockMode")), block);
    m_panels.setText(ModePanel, block ? QStringLiteral("EDIT") : QStringLiteral("ROW"));
    RecordSheet& s = sheet();
    s.setSelectionMode(block ? RecordSheet::SelectionMode::Block : RecordSheet::SelectionMode::Rows);
    if (!block && s.cols() > 0)
        s.selectBlock(s.currentRow(), 0, s.currentRow(), s.cols() - 1);
}

void MainModel::setAlternateColor(bool on)
{
    m_commands.setChecked(QStringLiteral("mnuAlternateColor"), on);
    m_commands.setChecked(CommandStates::button(0, QStringLiteral("AlternateColor")), on);
}

void MainModel::setAddressBoxShown(bool on)
{
    m_commands.setChecked(QStringLiteral("mnuViewDropBox"), on);
}

void MainModel::setFormPanelShown(bool on)
{
    m_commands.setChecked(QStringLiteral("mnuViewFb"), on);
    m_formPanel.setShown(on);
}

void MainModel::setGridLines(bool on)
{
    m_commands.setChecked(QStringLiteral("mnuGrid"), on);
}

void MainModel::setVBarLeft(int twips)
{
    if (twips == m_vbarLeft)
        return;
    m_vbarLeft = twips;
    emit vbarLeftChanged(twips);
}

void MainModel::startUntitledDocument()
{
    m_document.buildNewSheet();
    m_document.setDocumentName(m_document.UntitledPath());
    m_document.MakeModified(false);
    setWindowTitle(QStringLiteral("Quillon -- ") + AppPaths::FilePart(m_document.UntitledPath()));
    ResyncFormPanel();
    m_history.clear();
}

void MainModel::afterSheetEdit(int row, int col)
{
    if (row == sheet().currentRow())
        m_formPanel.showValue(col);
    m_document.MarkEdited(true);
}

void MainModel::afterFormPanelEdit(int fbRow)
{
    m_formPanel.applyEdit(fbRow);
}

void MainModel::updateSelectionPanel()
{
    m_panels.setText(SelectionPanel, QStringLiteral("%1 Sel").arg(sheet().selectedRowCount()));
}

QString MainModel::buttonKey(CellStyle::Flag flag)
{
    switch (flag) {
    case CellStyle::Bold:
        return QStringLiteral("Bold");
    case CellStyle::Italic:
        return QStringLiteral("Italic");
    default:
        return QStringLiteral("Underline");
    }
}

bool& MainModel::toggleState(Grid grid, CellStyle::Flag flag)
{
    const int i = flag == CellStyle::Bold ? 0 : (flag == CellStyle::Italic ? 1 : 2);
    return grid == Grid::Sheet ? m_sheetToggles[i] : m_panelToggles[i];
}

std::vector<CellRect> MainModel::sheetFormatTargets() const
{
    const RecordSheet& s = m_document.sheet();
    if (s.currentRow() < 1 || s.cols() == 0)
        return {};
    if (isBlockMode())
        return {s.selectedBlock()};
    std::vector<CellRect> out;
    for (const auto& [a, b] : s.selectedRowRanges())
        out.push_back({a, 0, b, s.cols() - 1});
    if (out.empty())
        out.push_back({s.currentRow(), 0, s.currentRow(), s.cols() - 1});
    return out;
}

void MainModel::toggleFontFlag(CellStyle::Flag flag)
{
    const QString key = CommandStates::button(0, buttonKey(flag));
    if (m_focused == Grid::FormPanel) {
        RecordSheet& fb = m_formPanel.grid();
        bool& state = toggleState(Grid::FormPanel, flag);
        const int a = fb.currentRow();
        if (a >= 1)
            fb.setFontFlag({a, 1, std::max(a, fb.rowSel()), 1}, flag, !state);
        m_commands.setChecked(key, !state);
        state = !state;
        return;
    }
    bool& state = toggleState(Grid::Sheet, flag);
    for (const CellRect& target : sheetFormatTargets())
        sheet().setFontFlag(target, flag, !state);
    m_commands.setChecked(key, !state);
    state = !state;
    m_document.MarkEdited(false);
}

void MainModel::setCurrentFontColor(Rgb color)
{
    if (color == m_fontColor)
        return;
    m_fontColor = color;
    emit currentFontColorChanged(color);
}

void MainModel::applyCurrentFontColor()
{
    if (m_focused == Grid::FormPanel) {
        RecordSheet& fb = m_formPanel.grid();
        const int a = fb.currentRow();
        if (a >= 1)
            fb.setForeColor({a, 1, std::max(a, fb.rowSel()), 1}, m_fontColor);
        return;
    }
    for (const CellRect& target : sheetFormatTargets())
        sheet().setForeColor(target, m_fontColor);
    m_document.MarkEdited(false);
}

void MainModel::setWindowTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit windowTitleChanged(title);
}

void MainModel::setSheetHeld(bool held)
{
    if (held == m_sheetHeld)
        return;
    m_sheetHeld = held;
    m_history.setHeld(held);
    emit sheetHeldChanged(held);
}

} // namespace quillon
