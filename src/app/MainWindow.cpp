#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "shell/AppPaths.h"
#include "shell/CommandCatalog.h"
#include "shell/MainModel.h"
#include "shell/ScreenPlacement.h"
#include "shell/SettingsStore.h"
#include "app/TipDialog.h"
#include "shell/Tips.h"
#include "app/WindowLayout.h"
#include "contact/ContactCommands.h"
#include "files/FileMenuController.h"
#include "grab/GrabController.h"
#include "grab/KeyWorkshopController.h"
#include "grab/SiteOrderController.h"
#include "print/PrintMenuController.h"
#include "edit/ColumnDefController.h"
#include "edit/EditController.h"
#include "sheet/SheetTableModel.h"
#include "ui/Platform.h"
#include "ui/SheetView.h"
#include "ui/ToolIcons.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QApplication>
#include <QCryptographicHash>
#include <QHash>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace quillon {

namespace {

/** Status fields in the order they stand in the status bar, with their least width in
 *  characters. */
constexpr std::pair<int, int> kPanelLayout[] = {
    {MainModel::GrabStatusPanel, 14}, {MainModel::GrabStatusCopyPanel, 6}, {MainModel::CategoryPanel, 8},
    {MainModel::CityPanel, 8},        {MainModel::StatePanel, 3},          {MainModel::CountPanel, 5},
    {MainModel::ModePanel, 5},        {MainModel::DragPanel, 5},           {MainModel::SelectionPanel, 7},
    {MainModel::RecordPanel, 10},     {MainModel::VersionPanel, 4},
};

const QString kGuideResource = QStringLiteral("qrc:/guide/index.html");

} // namespace

MainWindow::MainWindow(SettingsStore& settings, Platform& platform, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_platform(platform)
{
    setObjectName(QStringLiteral("frmMain"));
    m_model = new MainModel(settings, platform, AppPaths::userDataFolder() + QStringLiteral("/Untitled1.vty"), this);
    m_startupNew = [this] { m_model->startUntitledDocument(); };
    m_endAction = [] { QCoreApplication::exit(0); };

    buildMenus();
    buildToolbars();
    buildPages();
    buildStatusBar();
    bindModel();
    wireOwnCommands();

    // Controllers: the commands of each subsystem, one line each.
    const QObjectList beforeControllers = children();
    new PrintMenuController(*m_model, this, [this](const QString& name) { return action(name); }, this);
    FileMenuController::install(*this);
    GrabController::install(*this);
    SiteOrderController::install(*this);
    KeyWorkshopController::install(*this);
    new ContactCommands(*m_model, this, [this](const QString& name) { return action(name); }, this);
    EditController::install(*this);
    ColumnDefController::install(*this);
    new WindowLayout(*this);
    for (QObject* child : children())
        if (!child->isWidgetType() && !beforeControllers.contains(child))
            m_controllers.emplace_back(child);

    load();
}

QWebEngineProfile* MainWindow::browserProfile()
{
    // The browser keeps its cookies and storage on disk in the user data folder, so
    // that a check the user passed on a site once stays passed (and a grab from the
    // browser sees what the user sees). One profile a folder, kept for the process:
    // its pages must all be gone before it goes.
    static QHash<QString, QPointer<QWebEngineProfile>> profiles;
    const QString folder = AppPaths::userDataFolder() + QStringLiteral("/Browser");
    QPointer<QWebEngineProfile>& profile = profiles[folder];
    if (!profile) {
        const QByteArray hash = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
        profile = new QWebEngineProfile(QStringLiteral("Quillon-") + QString::fromLatin1(hash), qApp);
        profile->setPersistentStoragePath(folder);
        profile->setCachePath(folder + QStringLiteral("/Cache"));
        profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    }
    return profile;
}

MainWindow::~MainWindow()
{
    // The controllers watch the window's widgets and call the window back; they go
    // while the window is still whole, before its widgets are taken down, the last one
    // installed first: a controller may use one installed before it (the key workshop
    // cancels its download through the grab's session).
    for (auto it = m_controllers.rbegin(); it != m_controllers.rend(); ++it)
        delete it->data();
    // The remaining children go in the order they were added. The views hold
    // references into the model, so the model moves to the end of the line.
    m_model->setParent(nullptr);
    m_model->setParent(this);
}

// ---- menus and toolbars ---------------------------------------------------------------

QAction* MainWindow::registerAction(QAction* action, const QString& name)
{
    action->setObjectName(name);
    m_actions.insert(name, action);
    // Connected first, so that it runs before any command: a click does not change a
    // tick by itself, the command's state does.
    connect(action, &QAction::triggered, this, [this, name] { applyCommandState(name); });
    return action;
}

void MainWindow::buildMenu(QMenu* menu, const MenuEntry& entry)
{
    for (const MenuEntry& child : entry.children) {
        if (child.isSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (child.submenu) {
            QMenu* sub = menu->addMenu(child.caption);
            sub->setObjectName(child.name);
            m_menus.insert(child.name, sub);
            registerAction(sub->menuAction(), child.name);
            buildMenu(sub, child);
            continue;
        }
        QAction* action = registerAction(menu->addAction(child.caption), child.name);
        if (!child.shortcut.isEmpty())
            action->setShortcuts(QKeySequence::listFromString(child.shortcut, QKeySequence::PortableText));
        action->setCheckable(child.has(MenuEntry::Checkable));
    }
}

void MainWindow::buildMenus()
{
    for (const MenuEntry& top : CommandCatalog::menus()) {
        QMenu* menu = nullptr;
        if (top.name == QLatin1String("mnuGrid1Popup")) {
            menu = new QMenu(top.caption, this);
        } else {
            menu = menuBar()->addMenu(top.caption);
        }
        menu->setObjectName(top.name);
        m_menus.insert(top.name, menu);
        registerAction(menu->menuAction(), top.name);
        buildMenu(menu, top);
    }
}

void MainWindow::buildToolbars()
{
    for (int t = 0; t < CommandCatalog::kToolbarCount; ++t) {
        auto* bar = new QToolBar(this);
        bar->setObjectName(CommandCatalog::toolbarName(t));
        bar->setWindowTitle(QStringLiteral("Toolbar %1").arg(t));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        bar->setIconSize(QSize(22, 22));
        addToolBar(Qt::TopToolBarArea, bar);
        m_toolbars[t] = bar;
        for (const ToolButtonEntry& b : CommandCatalog::toolbar(t)) {
            if (b.isSeparator()) {
                bar->addSeparator();
                continue;
            }
            const QString name = CommandStates::button(t, b.key);
            auto* action = new QAction(ToolIcon(b.key, style()), b.toolTip.isEmpty() ? b.key : b.toolTip, bar);
            action->setToolTip(b.toolTip);
            action->setCheckable(b.has(MenuEntry::Checkable));
            registerAction(action, name);
            connect(action, &QAction::triggered, this, [this, t, key = b.key] { emit toolbarButtonTriggered(t, key); });
            bar->addAction(action);
            if (!b.dropDown.isEmpty()) {
                auto* drop = new QMenu(bar);
                drop->setObjectName(name + QStringLiteral(".menu"));
                for (const auto& [key, caption] : b.dropDown)
                    registerAction(drop->addAction(caption), CommandStates::button(t, key));
                action->setMenu(drop);
                if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
                    button->setPopupMode(QToolButton::MenuButtonPopup);
            }
        }
    }
}

// ---- pages -------------------------------------------------------------------------------

void MainWindow::buildPages()
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(2, 2, 2, 0);
    column->setSpacing(2);

    // Address row above the pages: "Address:", txtDrop and txtURL.
    m_addressBar = new QWidget(central);
    m_addressBar->setObjectName(QStringLiteral("addressBar"));
    auto* addressRow = new QHBoxLayout(m_addressBar);
    addressRow->setContentsMargins(0, 0, 0, 0);
    m_addressLabel = new QLabel(QStringLiteral("Address:"), m_addressBar);
    m_addressLabel->setObjectName(QStringLiteral("lblAddress"));
    m_txtDrop = new QLineEdit(m_addressBar);
    m_txtDrop->setObjectName(QStringLiteral("txtDrop"));
    m_txtDrop->setClearButtonEnabled(true);
    m_txtURL = new QLineEdit(m_addressBar);
    m_txtURL->setObjectName(QStringLiteral("txtURL"));
    m_txtURL->setReadOnly(true);
    m_txtURL->setFocusPolicy(Qt::NoFocus);
    m_addressLabel->setBuddy(m_txtDrop);
    addressRow->addWidget(m_addressLabel);
    addressRow->addWidget(m_txtDrop, 3);
    addressRow->addWidget(m_txtURL, 1);
    column->addWidget(m_addressBar);

    m_tabMain = new QTabWidget(central);
    m_tabMain->setObjectName(QStringLiteral("tabMain"));
    m_tabMain->setDocumentMode(true);
    column->addWidget(m_tabMain, 1);

    // Results: form panel | VBar | record sheet.
    auto* results = new QWidget(m_tabMain);
    results->setObjectName(QStringLiteral("SSPanMain"));
    auto* resultsLayout = new QHBoxLayout(results);
    resultsLayout->setContentsMargins(0, 2, 0, 0);
    m_vbar = new QSplitter(Qt::Horizontal, results);
    m_vbar->setObjectName(QStringLiteral("VBar"));
    m_vbar->setChildrenCollapsible(false);
    m_vbar->setHandleWidth(6);
    m_tabForm = new QTabWidget(m_vbar);
    m_tabForm->setObjectName(QStringLiteral("tabForm"));
    m_fb = new SheetView(&m_model->formPanel().grid(), m_tabForm);
    m_fb->setObjectName(QStringLiteral("fb"));
    m_fb->sheetModel()->setCheckBoxesByCell(true);
    m_fb->sheetModel()->setEditTextSource(
        [&panel = m_model->formPanel()](int row, int col) { return panel.editText(row, col); });
    m_fb->setFirstEditableColumn(1);
    m_fb->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    m_fb->horizontalHeader()->setStretchLastSection(true);
    // The viewport, not the panel: a vertical scroll bar coming or going narrows or widens it.
    m_fb->viewport()->installEventFilter(this);
    m_tabForm->addTab(m_fb, QStringLiteral("Form"));
    m_fa = new SheetView(&m_model->sheet(), m_vbar);
    m_fa->setObjectName(QStringLiteral("fa"));
    m_fa->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed);
    m_vbar->addWidget(m_tabForm);
    m_vbar->addWidget(m_fa);
    m_vbar->setStretchFactor(0, 0);
    m_vbar->setStretchFactor(1, 1);
    m_vbar->installEventFilter(this);
    resultsLayout->addWidget(m_vbar);
    m_tabMain->addTab(results, QStringLiteral("Results"));

    // Browser: site list, hint area, WBrowser.
    auto* web = new QWidget(m_tabMain);
    web->setObjectName(QStringLiteral("SSPanWeb"));
    auto* webLayout = new QVBoxLayout(web);
    webLayout->setContentsMargins(0, 2, 0, 0);
    webLayout->setSpacing(2);
    m_browserBar = new QWidget(web);
    m_browserBar->setObjectName(QStringLiteral("browserBar"));
    auto* barLayout = new QHBoxLayout(m_browserBar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    m_cboKest2 = new QComboBox(m_browserBar);
    m_cboKest2->setObjectName(QStringLiteral("cboKest2"));
    m_cboKest2->setMinimumContentsLength(28);
    m_cboKest2->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_cboKest2->setToolTip(QStringLiteral("Directory site"));
    barLayout->addWidget(m_cboKest2);
    barLayout->addStretch(1);
    webLayout->addWidget(m_browserBar);
    m_hintArea = new QWidget(web);
    m_hintArea->setObjectName(QStringLiteral("hintArea"));
    auto* hintLayout = new QHBoxLayout(m_hintArea);
    hintLayout->setContentsMargins(0, 0, 0, 0);
    webLayout->addWidget(m_hintArea);
    m_browser = new QWebEngineView(web);
    m_browser->setObjectName(QStringLiteral("WBrowser"));
    m_browser->setPage(new QWebEnginePage(browserProfile(), m_browser));
    webLayout->addWidget(m_browser, 1);
    m_tabMain->addTab(web, QStringLiteral("Browser"));

    // Guide Online.
    auto* guide = new QWidget(m_tabMain);
    guide->setObjectName(QStringLiteral("SSPanGuide"));
    auto* guideLayout = new QVBoxLayout(guide);
    guideLayout->setContentsMargins(0, 2, 0, 0);
    m_guide = new QWebEngineView(guide);
    m_guide->setObjectName(QStringLiteral("WBrowserGuide"));
    guideLayout->addWidget(m_guide);
    m_tabMain->addTab(guide, QStringLiteral("Guide Online"));

    connect(m_browser->page(), &QWebEnginePage::linkHovered, m_txtURL, &QLineEdit::setText);
    setCentralWidget(central);
    setMinimumWidth(Twips::toPixels(9000, this));
}

void MainWindow::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(true);
    const int charWidth = fontMetrics().averageCharWidth();
    for (const auto& [panel, chars] : kPanelLayout) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("Panel%1").arg(panel));
        label->setMinimumWidth(chars * charWidth + 8);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setText(m_model->panels().text(panel));
        bar->addPermanentWidget(label, panel == MainModel::GrabStatusPanel ? 3 : 0);
        m_panels.insert(panel, label);
    }
}

// ---- binding to the model -------------------------------------------------------------------

void MainWindow::applyCommandState(const QString& name)
{
    const CommandStates::State state = m_model->commands().state(name);
    if (QAction* action = m_actions.value(name)) {
        action->setEnabled(state.enabled);
        action->setVisible(state.visible);
        if (action->isCheckable())
            action->setChecked(state.checked);
        if (!state.caption.isEmpty() && action->text() != state.caption) {
            action->setText(state.caption);
            if (name.startsWith(QLatin1String("tb")))
                action->setToolTip(state.caption);
        }
    }
    if (name.startsWith(QLatin1String("Toolbar"))) {
        for (int t = 0; t < CommandCatalog::kToolbarCount; ++t) {
            if (name == CommandCatalog::toolbarName(t))
                m_toolbars[t]->setVisible(state.visible);
        }
    } else if (name == QLatin1String("mnuAlternateColor")) {
        m_fa->setAlternateColor(state.checked);
    } else if (name == QLatin1String("mnuGrid")) {
        m_fa->setShowGrid(state.checked);
    } else if (name == QLatin1String("mnuViewDropBox")) {
        updateAddressBar();
    } else if (name == QLatin1String("mnuViewFb")) {
        m_tabForm->setVisible(state.checked);
    }
}

void MainWindow::applyAllCommandStates()
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        applyCommandState(it.key());
    for (int t = 0; t < CommandCatalog::kToolbarCount; ++t)
        applyCommandState(CommandCatalog::toolbarName(t));
}

void MainWindow::bindModel()
{
    connect(&m_model->commands(), &CommandStates::changed, this, &MainWindow::applyCommandState);
    applyAllCommandStates();

    connect(&m_model->panels(), &StatusPanels::textChanged, this, [this](int panel, const QString& text) {
        if (QLabel* label = m_panels.value(panel)) {
            label->setText(text);
            // A panel may be narrower than its text (a page's failure, a long path): the
            // tip shows it whole.
            label->setToolTip(text.trimmed());
        }
    });
    connect(m_model, &MainModel::windowTitleChanged, this, &QWidget::setWindowTitle);
    connect(m_model, &MainModel::pageChanged, this, &MainWindow::applyPage);
    connect(m_tabMain, &QTabWidget::currentChanged, m_model, &MainModel::setCurrentPage);
    connect(m_model, &MainModel::currentFontColorChanged, this, &MainWindow::updateFontColorIcon);
    connect(m_model, &MainModel::vbarLeftChanged, this, [this] {
        if (!m_movingVBar)
            applyVBar();
    });
    connect(m_vbar, &QSplitter::splitterMoved, this, [this](int pos) {
        QScopedValueRollback guard(m_movingVBar, true);
        m_model->setVBarLeft(Twips::fromPixels(pos, this));
    });

    // The record sheet and the form panel.
    connect(m_fa, &SheetView::cursorMovedByUser, m_model, &MainModel::fa_Click);
    connect(m_fa, &SheetView::focusEntered, this, [this] { m_model->setFocusedGrid(MainModel::Grid::Sheet); });
    connect(m_fb, &SheetView::focusEntered, this, [this] { m_model->setFocusedGrid(MainModel::Grid::FormPanel); });
    connect(m_fa->sheetModel(), &SheetTableModel::cellEdited, m_model, &MainModel::afterSheetEdit);
    connect(m_fb->sheetModel(), &SheetTableModel::cellEdited, this, [this](int row, int col) {
        if (col == 1)
            m_model->afterFormPanelEdit(row);
    });
    connect(m_fa, &SheetView::contextMenuWanted, this, [this](const QPoint& pos) {
        m_model->commands().setEnabled(QStringLiteral("mnuRowHeight"), !m_model->isBlockMode());
        m_menus.value(QStringLiteral("mnuEdit"))->popup(pos);
    });

    m_fa->setAlternateColor(m_model->alternateColor());
    m_fa->setShowGrid(m_model->gridLines());
    updateFontColorIcon();
    applyPage(m_model->currentPage());
}

void MainWindow::whenLoaded(QObject* context, std::function<void()> step)
{
    connect(this, &MainWindow::loaded, context, [step = std::move(step)] { step(); });
}

void MainWindow::whenToolbarButtonPressed(QObject* context, std::function<void(int, const QString&)> step)
{
    connect(this, &MainWindow::toolbarButtonTriggered, context,
            [step = std::move(step)](int toolbar, const QString& key) { step(toolbar, key); });
}

void MainWindow::connectTo(const QString& name, std::function<void()> slot)
{
    if (QAction* a = m_actions.value(name))
        connect(a, &QAction::triggered, this, [slot = std::move(slot)] { slot(); });
}

void MainWindow::wireOwnCommands()
{
    MainModel& m = *m_model;
    const auto page = [&m](int p) { return [&m, p] { m.setCurrentPage(p); }; };

    // Pages.
    connectTo(QStringLiteral("tb0.Web"), page(MainModel::BrowserPage));
    connectTo(QStringLiteral("tb1.Result"), page(MainModel::ResultsPage));
    connectTo(QStringLiteral("tb2.Web"), page(MainModel::BrowserPage));
    connectTo(QStringLiteral("mnuHelpGuide"), page(MainModel::GuidePage));

    // The browsers' history on the toolbars; the Guide page's menu.
    connectTo(QStringLiteral("tb1.Back"), [this, &m] {
        m.setCurrentPage(MainModel::BrowserPage);
        m_browser->back();
    });
    connectTo(QStringLiteral("tb1.Forward"), [this, &m] {
        m.setCurrentPage(MainModel::BrowserPage);
        m_browser->forward();
    });
    connectTo(QStringLiteral("tb1.Reload"), [this, &m] {
        m.setCurrentPage(MainModel::BrowserPage);
        m.panels().clear({MainModel::GrabStatusPanel, MainModel::GrabStatusCopyPanel});
        m_browser->reload();
    });
    const auto guideBack = [this, &m] {
        m.setCurrentPage(MainModel::GuidePage);
        m_guide->back();
    };
    const auto guideForward = [this, &m] {
        m.setCurrentPage(MainModel::GuidePage);
        m_guide->forward();
    };
    connectTo(QStringLiteral("tb2.Back"), guideBack);
    connectTo(QStringLiteral("tb2.Forward"), guideForward);
    connectTo(QStringLiteral("mnuFileG_back"), guideBack);
    connectTo(QStringLiteral("mnuFileG_forward"), guideForward);
    connectTo(QStringLiteral("tb2.Reload"), [this, &m] {
        m.setCurrentPage(MainModel::GuidePage);
        m_guide->reload();
    });

    // The Guide page's Exit closes the window like the others (whose command is the
    // document's Exit); the close guard asks about unsaved changes.
    connectTo(QStringLiteral("mnuFileGexit"), [this] { close(); });

    connectTo(QStringLiteral("mnuTip"), [this] { showTipOfTheDay(); });
    connectTo(QStringLiteral("mnuAbout"), [this] { showAbout(); });
}

void MainWindow::applyPage(int page)
{
    if (m_tabMain->currentIndex() != page)
        m_tabMain->setCurrentIndex(page);
    updateAddressBar();
}

void MainWindow::updateAddressBar()
{
    const bool on = m_model->addressBoxShown();
    m_addressBar->setVisible(on);
    m_addressLabel->setVisible(on);
    m_txtURL->setVisible(on);
    m_txtDrop->setVisible(on && m_model->currentPage() == MainModel::BrowserPage);
}

void MainWindow::updateFontColorIcon()
{
    if (QAction* a = m_actions.value(CommandStates::button(0, QStringLiteral("A"))))
        a->setIcon(FontColorIcon(QColor(QRgb(m_model->currentFontColor()))));
}

void MainWindow::applyVBar()
{
    const int total = m_vbar->width() - m_vbar->handleWidth();
    if (!m_vbar->isVisible() || total <= 0) {
        m_vbarPending = true;
        return;
    }
    m_vbarPending = false;
    const int left = std::clamp(Twips::toPixels(m_model->vbarLeft(), this), 1, std::max(1, total - 1));
    QScopedValueRollback guard(m_movingVBar, true);
    m_vbar->setSizes({left, total - left});
}

// ---- load, close ------------------------------------------------------------------------------

void MainWindow::load()
{
    // Settings slice.
    const WindowSettings ws = WindowSettings::read(m_settings, AppPaths::installationFolder());
    move(Twips::toPixels(ws.left, this), Twips::toPixels(ws.top, this));
    resize(Twips::toPixels(ws.width, this), Twips::toPixels(ws.height, this));
    m_loadedGeometry.twips = QRect(ws.left, ws.top, ws.width, ws.height);
    m_loadedGeometry.pixels = QRect(x(), y(), width(), height());
    // A window remembered on a screen that is gone comes back onto one that is there.
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QRect placed = PlaceOnScreens(geometry(), screens);
    if (placed != geometry()) {
        move(placed.topLeft());
        resize(placed.size());
    }
    m_model->setVBarLeft(ws.vbarLeft);
    m_model->setAlternateColor(ws.alternateColor);
    m_model->setAddressBoxShown(ws.addressBox);
    m_model->document().setLastOpenPath(ws.lastOpenPath);
    m_listIndexAtLoad = ws.listIndex;
    m_model->setShowTips(ws.showTips);

    m_model->panels().setText(MainModel::VersionPanel, AboutDialog::versionText());

    // The grids, row mode, a new document.
    FormPanel& fb = m_model->formPanel();
    SetDefaults(m_model->sheet());
    fb.SetupFormPanel(std::max(ws.vbarLeft - 200, 1000));
    m_model->setMouseMode(false);
    m_model->sheet().setRows(21);
    fb.IsFbCol0Populated = false;
    m_model->document().setDocumentName(m_model->document().UntitledPath());
    if (m_startupNew)
        m_startupNew();
    if (fb.grid().rows() != m_model->sheet().cols() + 1)
        m_model->ResyncFormPanel();

    m_guide->setUrl(guideAddress());
    emit loaded();
}

QUrl MainWindow::guideAddress() const
{
    const QString configured = m_settings.ReadSettingText(QStringLiteral("GuideURL")).trimmed();
    if (!configured.isEmpty()) {
        const QUrl url = QUrl::fromUserInput(configured);
        if (url.isValid())
            return url;
    }
    return QUrl(kGuideResource);
}

WindowSettings MainWindow::currentWindowSettings() const
{
    WindowSettings ws;
    const auto side = [this](int now, int pixelsAtLoad, int twipsAtLoad) {
        return now == pixelsAtLoad ? twipsAtLoad : Twips::fromPixels(now, this);
    };
    const QRect& px = m_loadedGeometry.pixels;
    const QRect& tw = m_loadedGeometry.twips;
    ws.top = side(y(), px.y(), tw.y());
    ws.left = side(x(), px.x(), tw.x());
    ws.width = side(width(), px.width(), tw.width());
    ws.height = side(height(), px.height(), tw.height());
    ws.vbarLeft = m_model->vbarLeft();
    ws.alternateColor = m_model->alternateColor();
    ws.addressBox = m_model->addressBoxShown();
    ws.lastOpenPath = m_model->document().LastOpenPath();
    ws.listIndex = m_cboKest2->currentIndex();
    ws.showTips = m_model->showTips();
    return ws;
}

void MainWindow::SaveSettingsAndEnd()
{
    currentWindowSettings().write(m_settings);
    m_ending = true;
    // Open dialogs end with the window, without a chance to do anything of their own.
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow() && w->isVisible())
            w->hide();
    }
    hide();
    if (m_endAction)
        m_endAction();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_ending) {
        event->accept();
        return;
    }
    if (m_model->document().IsModified())
        m_model->setCurrentPage(MainModel::ResultsPage);
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    event->accept();
    SaveSettingsAndEnd();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_vbarPending)
        applyVBar();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_model->fa_Click();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_vbar && event->type() == QEvent::Resize && m_vbarPending)
        applyVBar();
    if (m_fb && watched == m_fb->viewport() && event->type() == QEvent::Resize) {
        // The value column fills the form panel.
        m_model->formPanel().fitValueColumn(Twips::fromPixels(m_fb->viewport()->width(), this));
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- subsystem 7 -------------------------------------------------------------------------------

void MainWindow::showTipOfTheDay()
{
    if (!m_tip) {
        m_tip = new TipDialog(m_model->showTips(), TipOfTheDayIndex(m_platform.now().date()), this);
        m_tip->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_tip, &TipDialog::showTipsChosen, m_model, &MainModel::setShowTips);
    }
    m_tip->show();
    m_tip->raise();
    m_tip->activateWindow();
}

void MainWindow::showAbout()
{
    if (!m_about) {
        m_about = new AboutDialog(this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

TipDialog* MainWindow::tipDialog() const
{
    return m_tip.data();
}

AboutDialog* MainWindow::aboutDialog() const
{
    return m_about.data();
}

QAction* MainWindow::action(const QString& name) const
{
    return m_actions.value(name);
}

QMenu* MainWindow::menu(const QString& name) const
{
    return m_menus.value(name);
}

QToolBar* MainWindow::toolbar(int index) const
{
    return index >= 0 && index < CommandCatalog::kToolbarCount ? m_toolbars[index] : nullptr;
}

} // namespace quillon
