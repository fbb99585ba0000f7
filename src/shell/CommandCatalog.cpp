#include "shell/CommandCatalog.h"

#include "shell/CommandStates.h"

namespace quillon::CommandCatalog {

namespace {

using F = MenuEntry::Flag;

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

MenuEntry item(const char* name, const char* caption, const char* key = "", unsigned flags = 0)
{
    MenuEntry e;
    e.name = s(name);
    e.caption = s(caption);
    e.shortcut = s(key);
    e.flags = flags;
    return e;
}

MenuEntry hidden(const char* name, const char* caption, const char* key = "")
{
    return item(name, caption, key, F::Hidden);
}

MenuEntry menu(const char* name, const char* caption, QList<MenuEntry> children, unsigned flags = 0)
{
    MenuEntry e;
    e.name = s(name);
    e.caption = s(caption);
    e.flags = flags;
    e.submenu = true;
    e.children = std::move(children);
    return e;
}

MenuEntry separator()
{
    return {};
}

QList<MenuEntry> buildMenus()
{
    constexpr unsigned Tick = F::Checkable | F::Checked;
    return {
        menu("mnuFile", "&File",
             {
                 item("mnuNew", "&New", "Ctrl+N"),
                 item("mnuOpenA", "&Open", "Ctrl+O"),
                 item("mnuAppend", "&Append", "Ctrl+A"),
                 separator(),
                 item("mnuSave", "&Save", "Ctrl+S", F::Disabled),
                 menu("mnuSaveAs", "Save &As",
                      {
                          item("mnuSaveAsVTY", "Vantry (*.vty)"),
                          item("mnuSaveAsComma", "Comma Delimited (*.csv)"),
                          item("mnuSaveAsTab", "Tab Delimited (*.txt)"),
                          separator(),
                          item("mnuSaveAsSpreadsheetCsv", "Comma Delimited for Spreadsheets (*.csv)"),
                          item("mnuSaveAsXlsx", "Spreadsheet (*.xlsx)"),
                          item("mnuSaveAsVCard", "vCard (*.vcf)"),
                      }),
                 separator(),
                 menu("mnuPrintSheet", "Print &Sheet",
                      {
                          item("mnuPrintSheet_fa0", "&All"),
                          item("mnuPrintSheet_fa1", "&Selected Row(s)"),
                      },
                      F::Hidden),
                 item("mnuPrintSheet0", "Print &Sheet...", "Ctrl+P"),
                 item("mnuPrint", "&Print Mailing Labels...", "Ctrl+M"),
                 hidden("mnuPrintOptions", "Setup Mailing &Labels"),
                 hidden("mnuPreview", "Print Mailing Labels Pre&view"),
                 separator(),
                 hidden("mnuFile1", ""),
                 hidden("mnuFile2", ""),
                 hidden("mnuFile3", ""),
                 hidden("mnuFile4", ""),
                 separator(),
                 item("mnuExit", "E&xit"),
             }),
        menu("mnuFileB", "&File",
             {
                 item("mnuFileB_back", "Go &Back"),
                 item("mnuFileB_forward", "Go &Forward"),
                 separator(),
                 item("mnuFileB_Grab", "Start &Grabbing", "F5"),
                 item("mnuFileB_StopGrab", "&Stop Grabbing", "Ctrl+F5"),
                 item("mnuFileB_ContinueGrab", "&Continue Grab", "", F::Disabled),
                 item("mnuFileB_KeyWorkshop", "&Key Workshop..."),
                 separator(),
                 item("mnuFileBexit", "E&xit"),
             }),
        menu("mnuFileG", "&File",
             {
                 item("mnuFileG_back", "Go &Back"),
                 item("mnuFileG_forward", "Go &Forward"),
                 separator(),
                 item("mnuFileGexit", "E&xit"),
             }),
        menu("mnuEdit", "&Edit",
             {
                 item("mnuUndoEdit", "&Undo Edit", "Ctrl+Z", F::Disabled),
                 item("mnuRedoEdit", "&Redo", "Ctrl+Y; Ctrl+Shift+Z", F::Disabled),
                 separator(),
                 item("mnuEditCut", "C&ut", "Ctrl+X"),
                 item("mnuEditCopy", "&Copy", "Ctrl+C"),
                 item("mnuEditPaste", "&Paste", "Ctrl+V"),
                 separator(),
                 item("mnuSelectAll", "Select &All", "Ctrl+L"),
                 item("mnuEditFind", "&Find...", "Ctrl+F"),
                 separator(),
                 item("mnuEditAddRow", "&Add Row", "Ctrl+Ins"),
                 item("mnuInsertRow", "&Insert Row", "Shift+Ins"),
                 item("mnuDeleteRow", "&Delete Row(s)", "Shift+Del"),
                 menu("mnuInsert", "I&nsert", {hidden("mnuInsertCol", "&Col")}, F::Hidden),
                 menu("mnuDelete", "D&elete", {hidden("mnuDeleteCol", "&Col")}, F::Hidden),
                 hidden("mnuRowCol", "Ro&w && Col"),
                 separator(),
                 hidden("mnuEditColTitle", "Column &Title..."),
                 hidden("mnuEditColAttr", "Column &Attributes..."),
                 menu("mnuColDataType", "Column Data Typ&e",
                      {
                          item("mnuColDataTypeCheck", "&Checkbox"),
                          item("mnuColDataTypeDate", "&Date"),
                          item("mnuColDataTypeMoney", "&Money"),
                          item("mnuColDataTypeNumber", "&Number"),
                          item("mnuColDataTypeText", "&Text"),
                      },
                      F::Hidden),
                 menu("mnuColAlign", "Column &Alignment",
                      {
                          item("mnuColAlignLeft", "&Left"),
                          item("mnuColAlignCenter", "&Center"),
                          item("mnuColAlignRight", "&Right"),
                      },
                      F::Hidden),
                 menu("mnuColFormat", "Column &Format",
                      {
                          item("mnuColFormat0", "0"),
                          item("mnuColFormat000", "0.00"),
                          item("mnuColFormatComma", "#,###"),
                          item("mnuColFormatComma00", "#,###.00"),
                          item("mnuColFormatDollarComma", "$#,###"),
                          item("mnuColFormatDollarComma00", "$#,###.00"),
                      },
                      F::Hidden),
                 separator(),
                 menu("mnuAlign", "A&lignment",
                      {
                          item("mnuAlignLeft", "&Left"),
                          item("mnuAlignCenter", "&Center"),
                          item("mnuAlignRight", "&Right"),
                      }),
                 item("mnuBkColor", "&Backgorund Color..."),
                 menu("mnuRowHeight", "&Row Height",
                      {
                          item("mnuRowHeightReset", "&Reset All"),
                          item("mnuRowHeightInc", "&Increase", "F11"),
                          item("mnuRowHeightDec", "&Decrease", "F12"),
                      }),
             }),
        menu("mnuView", "&View",
             {
                 item("mnuViewFb", "&Form Panel", "F2", Tick),
                 separator(),
                 item("mnuAlternateColor", "&Alternate Row Color", "", F::Checkable),
                 item("mnuGrid", "&Grid Lines", "", Tick),
                 separator(),
                 item("mnuToolbar", "&Toolbar", "", Tick | F::Hidden),
                 item("mnuStatusBar", "&Status Bar", "", Tick | F::Hidden),
                 menu("mnuOptions", "&Options",
                      {
                          item("mnuOptionsGridLine", "Grid Line"),
                          item("mnuOptionsFlag", "Flag"),
                          item("mnuFonts", "Fonts"),
                      },
                      F::Hidden),
             }),
        menu("mnuViewB", "&View", {item("mnuViewDropBox", "&URL Address Box", "", F::Checkable)}),
        menu("mnuTools", "&Tools",
             {
                 item("mnuMouseMode0", "&Row Mode", "F6", Tick),
                 item("mnuMouseMode1", "&Block && Edit Mode", "F7", F::Checkable),
                 separator(),
                 item("mnuColDef", "&Column Define...", "F9"),
                 separator(),
                 item("mnuMap", "Intenet &Map", "F8"),
                 item("mnuTools_DialPhone", "&Dial Phone", "Ctrl+F8"),
                 separator(),
                 item("mnuDateTimeNow", "DateTime Stamp Now", "F3"),
                 item("mnuDelDup", "Delete Duplicates", "Ctrl+D"),
                 item("mnuMergeContacts", "Mer&ge Duplicate Contacts..."),
                 item("mnuFormatPhones", "Format &Phone Numbers..."),
                 separator(),
                 hidden("mnuHyperlink", "&Hyperlink"),
                 item("mnuDragNo", "&No Drag", "", Tick | F::Hidden),
                 item("mnuDragDrop", "&Drag Mode", "", F::Checkable | F::Hidden),
                 hidden("mnuSendMail", "Send Bulk &EMail..."),
             }),
        menu("mnuHelp", "&Help",
             {
                 item("mnuTip", "&Tip of The Day", "F1"),
                 separator(),
                 item("mnuHelpGuide", "&Guide On-line"),
                 item("mnuWeb", "Quillon on the &Web"),
                 separator(),
                 hidden("mnuDisclaimer", "&Disclaimer"),
                 item("mnuAbout", "&About"),
             }),
        menu("mnuGrid1Popup", "Grid1PopupMenu",
             {
                 item("mnuPUEditCell", "Edit Cell"),
                 separator(),
                 item("mnuPUCopy", "Copy"),
                 item("mnuPUPaste", "Paste"),
                 separator(),
                 menu("mnuPUInsert", "Insert",
                      {
                          item("mnuPUInsertRow", "Row"),
                          item("mnuPUInsertCol", "Col"),
                      }),
                 menu("mnuPUDelete", "Delete",
                      {
                          item("mnuPUDeleteRow", "Row(s)"),
                          item("mnuPUDeleteCol", "Col"),
                      }),
                 separator(),
                 menu("mnuPUColDataType", "Column Data Typ&e",
                      {
                          item("mnuPUColCheckbox", "&Checkbox"),
                          item("mnuPUColDate", "&Date"),
                          item("mnuPUColMoney", "&Money"),
                          item("mnuPUColNumber", "&Number"),
                          item("mnuPUColText", "&Text"),
                      }),
                 menu("mnuPUColAlign", "Column &Alignment",
                      {
                          item("mnuPUColAlignLeft", "&Left"),
                          item("mnuPUColAlignCenter", "&Center"),
                          item("mnuPUColAlignRight", "&Right"),
                      }),
                 menu("mnuPUColFormat", "Column &Format",
                      {
                          item("mnuPU0", "0"),
                          item("mnuPU000", "0.00"),
                          item("mnuPUComma", "#,###"),
                          item("mnuPUComma00", "#,###.00"),
                          item("mnuPUDollarComma", "$#,###"),
                          item("mnuPUDollarComma00", "$#,###.00"),
                      }),
                 separator(),
                 item("mnuPUColAttr", "Column &Attributes..."),
                 item("mnuPUColTitle", "Column &Title..."),
             },
             F::Hidden),
    };
}

ToolButtonEntry button(const char* key, const char* tip, unsigned flags = 0)
{
    ToolButtonEntry b;
    b.key = s(key);
    b.toolTip = s(tip);
    b.flags = flags;
    return b;
}

ToolButtonEntry gap()
{
    return {};
}

QList<QList<ToolButtonEntry>> buildToolbars()
{
    ToolButtonEntry open = button("Open", "Open Data File");
    open.dropDown = {{s("OPEN_VTY"), s("Vantry (*.vty)")},
                     {s("OPEN_CSV"), s("Comma Delimited (*.csv)")},
                     {s("OPEN_TXT"), s("Tab Delimited (*.txt)")},
                     {s("OPEN_XLSX"), s("Spreadsheet (*.xlsx)")},
                     {s("OPEN_VCF"), s("vCard (*.vcf)")}};
    // Separators count as buttons, so the spare button hidden at load is the 25th; with
    // Undo and Redo beside the clipboard's buttons it stands, unseen, before AlternateColor.
    QList<ToolButtonEntry> results = {
        button("Web", "Go to Web Browser tab"),
        gap(),
        button("New", "New"),
        open,
        button("Save", "Save", F::Disabled),
        gap(),
        button("Cut", "Cut"),
        button("Copy", "Copy"),
        button("Paste", "Paste"),
        button("Undo", "Undo", F::Disabled),
        button("Redo", "Redo", F::Disabled),
        gap(),
        button("Find", "Find"),
        gap(),
        button("Bold", "Bold", F::Checkable),
        button("Italic", "Italic", F::Checkable),
        button("Underline", "Underline", F::Checkable),
        button("A", "Current Font Color"),
        button("Acolor", "Set Font Color"),
        button("Flood", "Set Background Color"),
        gap(),
        button("RowMode", "Row and Find Mode", F::Checkable | F::Checked),
        button("BlockMode", "Block and Edit Mode", F::Checkable),
        button("DragMode", "Toggle Drag Mode", F::Checkable),
        button("Spare", "", F::Hidden),
        button("AlternateColor", "Toggle Alternate Color", F::Checkable),
        gap(),
        button("map", "Internet Map"),
        button("phone", "Dial Phone"),
        gap(),
        button("Stop", "Stop Downloading"),
    };
    QList<ToolButtonEntry> browser = {
        button("Result", "Go to Results / Data tab"),
        gap(),
        button("Back", "Go Back"),
        button("Forward", "Go Forward"),
        button("Reload", "Refresh Current Page"),
        gap(),
        button("Stop", "Stop Grabbing"),
        button("StartGrab", "Start Grabbing"),
        button("ContinueGrab", "Continue Grab", F::Disabled),
        gap(),
        button("KeyWorkshop", "Key Workshop"),
    };
    QList<ToolButtonEntry> guide = {
        button("Web", "Go to Searching Site"),
        gap(),
        button("Back", "Go Back"),
        button("Forward", "Go Forward"),
        button("Reload", "Refresh Current Page"),
    };
    return {results, browser, guide};
}

void collectNames(const QList<MenuEntry>& entries, QStringList& out)
{
    for (const MenuEntry& e : entries) {
        if (e.isSeparator())
            continue;
        out.append(e.name);
        collectNames(e.children, out);
    }
}

const MenuEntry* find(const QList<MenuEntry>& entries, const QString& name)
{
    for (const MenuEntry& e : entries) {
        if (e.name == name)
            return &e;
        if (const MenuEntry* inner = find(e.children, name))
            return inner;
    }
    return nullptr;
}

void applyStates(const QList<MenuEntry>& entries, CommandStates& commands)
{
    for (const MenuEntry& e : entries) {
        if (e.isSeparator())
            continue;
        commands.setEnabled(e.name, !e.has(F::Disabled));
        commands.setVisible(e.name, !e.has(F::Hidden));
        commands.setChecked(e.name, e.has(F::Checked));
        applyStates(e.children, commands);
    }
}

} // namespace

const QList<MenuEntry>& menus()
{
    static const QList<MenuEntry> all = buildMenus();
    return all;
}

const QList<ToolButtonEntry>& toolbar(int index)
{
    static const QList<QList<ToolButtonEntry>> all = buildToolbars();
    static const QList<ToolButtonEntry> none;
    return index >= 0 && index < all.size() ? all[index] : none;
}

QString toolbarName(int index)
{
    return QStringLiteral("Toolbar%1").arg(index);
}

const MenuEntry* findMenuEntry(const QString& name)
{
    return name.isEmpty() ? nullptr : find(menus(), name);
}

QStringList allMenuNames()
{
    QStringList out;
    collectNames(menus(), out);
    return out;
}

QStringList pageMenus(int page)
{
    switch (page) {
    case 0:
        return {QStringLiteral("mnuFile"), QStringLiteral("mnuEdit"), QStringLiteral("mnuView"),
                QStringLiteral("mnuTools"), QStringLiteral("mnuHelp")};
    case 1:
        return {QStringLiteral("mnuFileB"), QStringLiteral("mnuViewB"), QStringLiteral("mnuHelp")};
    case 2:
        return {QStringLiteral("mnuFileG"), QStringLiteral("mnuViewB"), QStringLiteral("mnuHelp")};
    default:
        return {};
    }
}

QStringList pageDependentMenus()
{
    return {QStringLiteral("mnuFile"), QStringLiteral("mnuFileB"), QStringLiteral("mnuFileG"),
            QStringLiteral("mnuEdit"), QStringLiteral("mnuView"),  QStringLiteral("mnuViewB"),
            QStringLiteral("mnuTools")};
}

void applyInitialStates(CommandStates& commands)
{
    applyStates(menus(), commands);
    for (int t = 0; t < kToolbarCount; ++t) {
        for (const ToolButtonEntry& b : toolbar(t)) {
            if (b.isSeparator())
                continue;
            const QString name = CommandStates::button(t, b.key);
            commands.setEnabled(name, !b.has(F::Disabled));
            commands.setVisible(name, !b.has(F::Hidden));
            commands.setChecked(name, b.has(F::Checked));
            for (const auto& [key, caption] : b.dropDown)
                commands.setEnabled(CommandStates::button(t, key), true);
        }
    }
}

} // namespace quillon::CommandCatalog
