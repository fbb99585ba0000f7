#include "app/MainModel.h"

#include "app/SettingsStore.h"
#include "ui/Platform.h"

namespace quillon {

MainModel::MainModel(SettingsStore& settings, Platform& platform, const QString& untitledPath, QObject* parent)
    : QObject(parent), m_settings(settings), m_platform(platform), m_document(untitledPath),
      m_formPanel(m_document)
{
    connect(&m_document, &Document::saveEnabledChanged, this, [this](bool on) {
        m_commands.setEnabled(QStringLiteral("mnuSave"), on);
        m_commands.setEnabled(CommandStates::button(0, QStringLiteral("Save")), on);
    });
    m_commands.setEnabled(QStringLiteral("mnuSave"), false);
    m_commands.setEnabled(CommandStates::button(0, QStringLiteral("Save")), false);
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
    emit pageChanged(page);
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

CellRect MainModel::sheetFormatTarget() const
{
    const RecordSheet& s = m_document.sheet();
    if (s.currentRow() < 1 || s.cols() == 0)
        return {};
    if (isBlockMode())
        return s.selectedBlock();
    const int a = s.currentRow();
    const int b = std::max(a, s.rowSel());
    return {a, 0, b, s.cols() - 1};
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
    sheet().setFontFlag(sheetFormatTarget(), flag, !state);
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
    sheet().setForeColor(sheetFormatTarget(), m_fontColor);
    m_document.MarkEdited(false);
}

void MainModel::setWindowTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit windowTitleChanged(title);
}

} // namespace quillon
