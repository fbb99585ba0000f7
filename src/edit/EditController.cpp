#include "edit/EditController.h"

#include "shell/MainModel.h"
#include "shell/WindowParts.h"
#include "edit/ColorPalette.h"
#include "edit/DeleteRecordDialog.h"
#include "edit/EditCommands.h"
#include "edit/FindWindow.h"
#include "sheet/SheetTableModel.h"
#include "ui/SheetView.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace quillon {

namespace {

constexpr int kNavigationButtonSize = 16; // pixels, as imgClose

QStyle::StandardPixmap navigationIcon(int button)
{
    static const QStyle::StandardPixmap icons[EditCommands::kNavigationButtons] = {
        QStyle::SP_TrashIcon,          QStyle::SP_FileIcon,           QStyle::SP_MediaSkipBackward,
        QStyle::SP_ArrowUp,            QStyle::SP_ArrowDown,          QStyle::SP_MediaSkipForward,
        QStyle::SP_TitleBarUnshadeButton, QStyle::SP_TitleBarShadeButton};
    return icons[button];
}

} // namespace

EditController* EditController::install(WindowParts& window)
{
    return new EditController(window);
}

EditController::EditController(WindowParts& window)
    : QObject(window.widget()), m_window(window), m_commands(new EditCommands(window.model(), this))
{
    setObjectName(QStringLiteral("EditController"));
    m_commands->setDeletePrompt([this] { return deleteDialog()->ask(); });
    wireMenus();
    wireSheet();
    buildNavigationButtons();

    // The font colour palette, over the Results page, under the "Acolor" button.
    m_palette = new ColorPalette(window.widget());
    m_palette->hide();
    connect(m_palette, &ColorPalette::swatchClicked, m_commands, &EditCommands::chooseSwatch);
    connect(m_palette, &ColorPalette::backgroundClicked, m_commands, &EditCommands::hidePalette);
    connect(m_commands, &EditCommands::swatchChanged, m_palette, &ColorPalette::setPressedSwatch);
    connect(m_commands, &EditCommands::paletteShownChanged, this, [this](bool shown) {
        if (!m_palette)
            return;
        if (shown) {
            placePalette();
            m_palette->show();
            m_palette->raise();
        } else {
            m_palette->hide();
        }
    });
    // Any other button of the sheet's toolbar hides the palette first.
    window.whenToolbarButtonPressed(this, [this](int toolbar, const QString& key) {
        if (toolbar == 0 && key != QLatin1String("Acolor"))
            m_commands->hidePalette();
    });
    window.widget()->installEventFilter(this);
}

EditController::~EditController()
{
    delete m_find;
}

// ---- menus and toolbar ---------------------------------------------------------------------------

void EditController::wireMenus()
{
    EditCommands* e = m_commands;
    const auto on = [this](const char* name, auto slot) {
        if (QAction* a = m_window.action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, slot);
    };

    // Mouse modes.
    on("mnuMouseMode0", [e] { e->rowMode(); });
    on("tb0.RowMode", [e] { e->rowMode(); });
    on("mnuMouseMode1", [e] { e->blockMode(); });
    on("tb0.BlockMode", [e] { e->blockMode(); });

    // Row heights.
    on("mnuRowHeightInc", [e] { e->increaseRowHeight(); });
    on("mnuRowHeightDec", [e] { e->decreaseRowHeight(); });
    on("mnuRowHeightReset", [e] { e->resetRowHeights(); });

    // Rows and columns.
    on("mnuEditAddRow", [e] { e->addRow(); });
    on("mnuInsertRow", [e] { e->insertRow(); });
    on("mnuPUInsertRow", [e] { e->insertRow(); });
    on("mnuInsertCol", [e] { e->insertColumn(); });
    on("mnuPUInsertCol", [e] { e->insertColumn(); });
    on("mnuDeleteRow", [e] { e->deleteRows(); });
    on("mnuPUDeleteRow", [e] { e->deleteRows(); });
    on("mnuDeleteCol", [e] { e->deleteColumn(); });
    on("mnuPUDeleteCol", [e] { e->deleteColumn(); });

    // Clipboard and selection.
    on("mnuEditCopy", [e] { e->copy(); });
    on("tb0.Copy", [e] { e->copy(); });
    on("mnuPUCopy", [e] { e->copySheet(); });
    on("mnuEditCut", [e] { e->cut(); });
    on("tb0.Cut", [e] { e->cut(); });
    on("mnuEditPaste", [e] { e->paste(); });
    on("tb0.Paste", [e] { e->paste(); });
    on("mnuPUPaste", [e] { e->pasteIntoSheet(); });
    on("mnuSelectAll", [this, e] {
        e->selectAll();
        m_window.sheetView()->setFocus(Qt::OtherFocusReason);
    });
    on("mnuPUEditCell", [e] { e->editCell(); });

    // Texts and formatting.
    on("mnuEditColTitle", [e] { e->columnTitle(); });
    on("mnuPUColTitle", [e] { e->columnTitle(); });
    on("mnuDateTimeNow", [e] { e->dateTimeStamp(); });
    on("mnuAlignLeft", [e] { e->alignCells(AlignLeft); });
    on("mnuAlignCenter", [e] { e->alignCells(AlignCenter); });
    on("mnuAlignRight", [e] { e->alignCells(AlignRight); });
    on("mnuBkColor", [e] { e->backgroundColor(); });
    on("tb0.Flood", [e] { e->backgroundColor(); });
    on("mnuFonts", [e] { e->fonts(); });
    on("tb0.Acolor", [e] { e->showPalette(); });

    // View options.
    on("mnuGrid", [e] { e->toggleGridLines(); });
    on("mnuDragDrop", [e] { e->toggleDragMode(); });
    on("tb0.DragMode", [e] { e->toggleDragMode(); });
    on("mnuDragNo", [e] {
        if (e->isDragMode())
            e->toggleDragMode();
    });
    on("mnuAlternateColor", [e] { e->toggleAlternateColor(); });
    on("tb0.AlternateColor", [e] { e->toggleAlternateColor(); });

    // Column commands; the popup's data type items do not refresh.
    const std::pair<const char*, int> types[] = {{"Check", TypeCheckbox}, {"Date", TypeDate},
                                                 {"Money", TypeMoney},    {"Number", TypeNumber},
                                                 {"Text", TypeText}};
    for (const auto& [suffix, type] : types) {
        const int t = type;
        on(("mnuColDataType" + std::string(suffix)).c_str(), [e, t] { e->setColumnDataType(t); });
        const std::string popup = std::string("mnuPUCol") + (t == TypeCheckbox ? "Checkbox" : suffix);
        on(popup.c_str(), [e, t] { e->setColumnDataType(t, false); });
    }
    const std::pair<const char*, int> aligns[] = {{"Left", AlignLeft}, {"Center", AlignCenter}, {"Right", AlignRight}};
    for (const auto& [suffix, align] : aligns) {
        const int a = align;
        on(("mnuColAlign" + std::string(suffix)).c_str(), [e, a] { e->setColumnAlignment(a); });
        on(("mnuPUColAlign" + std::string(suffix)).c_str(), [e, a] { e->setColumnAlignment(a); });
    }
    const std::pair<const char*, const char*> formats[] = {
        {"0", "0"},         {"000", "0.00"},           {"Comma", "#,###"},
        {"Comma00", "#,###.00"}, {"DollarComma", "$#,###"}, {"DollarComma00", "$#,###.00"}};
    for (const auto& [suffix, format] : formats) {
        const QString f = QString::fromLatin1(format);
        on(("mnuColFormat" + std::string(suffix)).c_str(), [e, f] { e->setColumnFormat(f); });
        on(("mnuPU" + std::string(suffix)).c_str(), [e, f] { e->setColumnFormat(f); });
    }

    // Undo and redo; an edit still open is stored first, as a step of its own.
    const auto commitEdits = [this] {
        m_window.formView()->commitOpenEdit();
        m_window.sheetView()->commitOpenEdit();
    };
    on("mnuUndoEdit", [e, commitEdits] {
        commitEdits();
        e->undo();
    });
    on("tb0.Undo", [e, commitEdits] {
        commitEdits();
        e->undo();
    });
    on("mnuRedoEdit", [e, commitEdits] {
        commitEdits();
        e->redo();
    });
    on("tb0.Redo", [e, commitEdits] {
        commitEdits();
        e->redo();
    });

    // Font attributes and the current font colour.
    on("tb0.Bold", [e] { e->toggleFontFlag(CellStyle::Bold); });
    on("tb0.Italic", [e] { e->toggleFontFlag(CellStyle::Italic); });
    on("tb0.Underline", [e] { e->toggleFontFlag(CellStyle::Underline); });
    on("tb0.A", [e] { e->applyCurrentFontColor(); });

    // Find and duplicates.
    on("mnuEditFind", [this] { showFindWindow(); });
    on("tb0.Find", [this] { showFindWindow(); });
    on("mnuDelDup", [e] { e->deleteDuplicates(); });
}

// ---- the sheet and the form panel ------------------------------------------------------------

void EditController::wireSheet()
{
    SheetView* fa = m_window.sheetView();
    SheetView* fb = m_window.formView();
    m_fa = fa;
    m_faViewport = fa->viewport();
    connect(fa, &SheetView::focusEntered, this, [this] { m_commands->gridFocused(MainModel::Grid::Sheet); });
    connect(fb, &SheetView::focusEntered, this, [this] { m_commands->gridFocused(MainModel::Grid::FormPanel); });
    connect(m_commands, &EditCommands::focusRequested, this, [this](MainModel::Grid grid) {
        SheetView* view = grid == MainModel::Grid::Sheet ? m_window.sheetView() : m_window.formView();
        view->setFocus(Qt::OtherFocusReason);
    });
    connect(m_commands, &EditCommands::editCellRequested, this, &EditController::startCellEdit);
    // In-place edits are stored by the commands, one undo step each.
    EditCommands* e = m_commands;
    fa->sheetModel()->setEditHandler(
        [e](int row, int col, const QVariant& value, int role) { e->editSheetCell(row, col, value, role); });
    fb->sheetModel()->setEditHandler(
        [e](int row, int col, const QVariant& value, int role) { e->editFormPanelCell(row, col, value, role); });
    connect(fa, &SheetView::deletePressed, m_commands, &EditCommands::clearCells);
    connect(fb, &SheetView::deletePressed, m_commands, &EditCommands::clearFormPanelValues);
    // A title click sorts by that column.
    connect(fa->horizontalHeader(), &QHeaderView::sectionClicked, m_commands, &EditCommands::sortByTitle);
    fa->installEventFilter(this);
    fa->viewport()->installEventFilter(this);
}

void EditController::startCellEdit()
{
    SheetView* fa = m_window.sheetView();
    const RecordSheet& sheet = m_window.model().sheet();
    if (sheet.currentRow() < 1 || sheet.currentCol() < 0 || sheet.currentCol() >= sheet.cols())
        return;
    fa->setFocus(Qt::OtherFocusReason);
    const QModelIndex cell = fa->sheetModel()->index(sheet.currentRow() - 1, sheet.currentCol());
    fa->scrollTo(cell);
    fa->edit(cell);
}

bool EditController::eventFilter(QObject* watched, QEvent* event)
{
    // The window's views may be gone already while the window is being destroyed (a
    // dialog closing then still activates it): only what is still there is looked at.
    if (!watched)
        return false;
    if (watched == m_fa.data() && event->type() == QEvent::KeyRelease) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            m_window.model().fa_Click();
            break;
        default:
            break;
        }
    } else if (watched == m_faViewport.data() && dragRecords(event)) {
        return true;
    } else if (watched == m_faViewport.data() && event->type() == QEvent::MouseMove) {
        if (m_faViewport->testAttribute(Qt::WA_SetCursor))
            m_faViewport->unsetCursor();
    } else if (watched == m_formTab.data() &&
               (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                event->type() == QEvent::LayoutRequest)) {
        placeNavigationRow();
    } else if (watched == m_window.widget() && event->type() == QEvent::WindowActivate) {
        m_commands->hidePalette();
    }
    return QObject::eventFilter(watched, event);
}

// ---- drag mode ------------------------------------------------------------------------------------

bool EditController::dragRecords(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto* me = static_cast<QMouseEvent*>(event);
    SheetView* fa = m_fa;
    if (!fa)
        return false;
    RecordSheet& sheet = m_window.model().sheet();
    if (type == QEvent::MouseButtonPress) {
        // In drag mode a press on a selected record (Row mode) picks the selection up.
        if (me->button() != Qt::LeftButton || me->modifiers() != Qt::NoModifier || !m_commands->isDragMode() ||
            sheet.selectionMode() != RecordSheet::SelectionMode::Rows)
            return false;
        const QModelIndex at = fa->indexAt(me->position().toPoint());
        if (!at.isValid())
            return false;
        const int row = at.row() + 1;
        bool selected = false;
        for (const auto& [a, b] : sheet.selectedRowRanges())
            selected = selected || (row >= a && row <= b);
        if (!selected)
            return false;
        m_dragging = true;
        fa->viewport()->setCursor(Qt::DragMoveCursor);
        return true;
    }
    if (!m_dragging)
        return false;
    if (type == QEvent::MouseMove)
        return true;
    // Dropped: the records go before the row under the pointer, after it in its lower half.
    m_dragging = false;
    fa->viewport()->unsetCursor();
    const QPoint pos = me->position().toPoint();
    const QModelIndex at = fa->indexAt(pos);
    int before = sheet.rows();
    if (at.isValid()) {
        const QRect cell = fa->visualRect(at);
        before = at.row() + 1 + (pos.y() >= cell.center().y() ? 1 : 0);
    } else if (pos.y() < 0) {
        before = 1;
    }
    m_commands->moveSelectedRecords(before);
    return true;
}

// ---- palette ------------------------------------------------------------------------------------

void EditController::placePalette()
{
    m_palette->adjustSize();
    QPoint at(0, 0);
    QAction* a = m_window.action(QStringLiteral("tb0.Acolor"));
    QToolBar* bar = m_window.toolbar(0);
    if (a && bar) {
        if (QWidget* button = bar->widgetForAction(a))
            at = button->mapTo(m_window.widget(), QPoint(0, button->height()));
    }
    at.setX(std::clamp(at.x(), 0, std::max(0, m_window.widget()->width() - m_palette->width())));
    m_palette->move(at);
}

// ---- navigation buttons -------------------------------------------------------------------------

void EditController::buildNavigationButtons()
{
    // imgBtn 0-5 stand at the left of the form panel's header; 6 and 7 sit next to
    // the splitter, where the window layout places them.
    QTabWidget* form = m_window.formTab();
    m_formTab = form;
    auto* row = new QWidget(form);
    row->setObjectName(QStringLiteral("navigationButtons"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(2, 0, 4, 0);
    layout->setSpacing(1);
    QWidget* page = m_window.vbar()->parentWidget();
    for (int i = 0; i < EditCommands::kNavigationButtons; ++i) {
        auto* b = new QToolButton(i < 6 ? row : page);
        b->setObjectName(QStringLiteral("imgBtn%1").arg(i));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolTip(EditCommands::navigationHint(i));
        b->setIcon(b->style()->standardIcon(navigationIcon(i)));
        b->setFixedSize(kNavigationButtonSize, kNavigationButtonSize);
        if (i < 6)
            layout->addWidget(b);
        connect(b, &QToolButton::clicked, m_commands, [this, i] {
            // The buttons take no focus, so an edit still open would otherwise be lost.
            m_window.formView()->commitOpenEdit();
            m_window.sheetView()->commitOpenEdit();
            m_commands->navigate(i);
        });
        m_navigation[i] = b;
    }
    // Free of the tab widget's layout, so that the form panel can be narrowed as before.
    m_navigationRow = row;
    row->adjustSize();
    form->installEventFilter(this);
    placeNavigationRow();
    showNavigationButtons();
    connect(&m_window.model().commands(), &CommandStates::changed, this, [this](const QString& name) {
        if (name == QLatin1String("mnuViewFb"))
            showNavigationButtons();
    });
}

void EditController::placeNavigationRow()
{
    QTabWidget* form = m_formTab;
    if (!form || !m_navigationRow)
        return;
    const QTabBar* bar = form->tabBar();
    const int barHeight = bar->isVisible() ? bar->height() : kNavigationButtonSize;
    const int x = bar->isVisible() ? bar->geometry().right() + 1 : 0;
    m_navigationRow->move(x, std::max(0, (barHeight - m_navigationRow->height()) / 2));
    m_navigationRow->raise();
}

void EditController::showNavigationButtons()
{
    const bool shown = m_window.model().formPanelShown();
    for (int i = 6; i < EditCommands::kNavigationButtons; ++i) {
        if (m_navigation[i])
            m_navigation[i]->setVisible(shown);
    }
}

QToolButton* EditController::navigationButton(int i) const
{
    return i >= 0 && i < EditCommands::kNavigationButtons ? m_navigation[i] : nullptr;
}

// ---- find and delete windows ----------------------------------------------------------------------

void EditController::showFindWindow()
{
    if (!m_find)
        m_find = new FindWindow(m_commands->findSession(), m_window.widget());
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
    m_find->textBox()->setFocus(Qt::OtherFocusReason);
}

DeleteRecordDialog* EditController::deleteDialog()
{
    if (!m_deleteDialog) {
        m_deleteDialog = new DeleteRecordDialog(m_window.widget());
        m_deleteDialog->askCheck()->setChecked(m_commands->dontAskDelete());
        connect(m_deleteDialog, &DeleteRecordDialog::dontAskAgainChanged, m_commands,
                &EditCommands::setDontAskDelete);
    }
    return m_deleteDialog;
}

} // namespace quillon
