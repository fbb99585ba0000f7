#include "edit/ColumnDefDialog.h"

#include "edit/ColumnDefModel.h"
#include "ui/HeaderStyle.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QCompleter>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

namespace quillon {

namespace {

// Where the controls stand, in twips from the dialog's top left corner.
constexpr int kMargin = 120;
constexpr int kGridWidth = 6660;
constexpr int kGridHeightOne = 810;
constexpr int kGridHeightAll = 2715;
constexpr int kButtonGap = 150; // grid to the button row: "&OK" at 2985 with every column
constexpr int kButtonWidth = 960;
constexpr int kButtonHeight = 375;
constexpr int kHintHeight = 240;
constexpr int kRowHeight = 300;
constexpr int kDialogWidth = kGridWidth + 2 * kMargin;
constexpr int kDialogHeightAll = 3975;

/**
 * The editors of `fd`: an editable drop-down list where the model offers one (data
 * type, the format of the row's type, alignment), a line edit elsewhere. Names are
 * compared exactly, so the list's completion is case-sensitive: a typed "number"
 * stays "number" and is not turned into the list's "Number".
 */
class ColumnDefDelegate : public QStyledItemDelegate
{
public:
    ColumnDefDelegate(const ColumnDefModel& model, std::function<void(QWidget*)> editing, QObject* parent)
        : QStyledItemDelegate(parent), m_model(model), m_editing(std::move(editing))
    {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        const QStringList list = m_model.dropDownList(index.row(), index.column());
        QWidget* editor = nullptr;
        if (list.isEmpty()) {
            editor = QStyledItemDelegate::createEditor(parent, option, index);
        } else {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(list);
            combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
            combo->setMaxVisibleItems(int(list.size()));
            editor = combo;
        }
        if (editor && m_editing)
            m_editing(editor);
        return editor;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (m_editing)
            m_editing(nullptr);
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const QString text = index.data(Qt::EditRole).toString();
            combo->setCurrentIndex(combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
            combo->setEditText(text);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, combo->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    const ColumnDefModel& m_model;
    std::function<void(QWidget*)> m_editing;
};

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter ends an edit in the grid; it must not also press a button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLabel* makeHint(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

ColumnDefDialog::ColumnDefDialog(MainModel& model, bool oneColumn, QWidget* parent)
    : QDialog(parent), m_fd(new ColumnDefModel(model, this))
{
    setObjectName(QStringLiteral("frmColDef"));
    setWindowTitle(QStringLiteral("Column Define"));
    setModal(true);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("fd"));
    m_grid->setModel(m_fd);
    m_grid->setItemDelegate(new ColumnDefDelegate(
        *m_fd,
        [this](QWidget* editor) {
            m_editor = editor;
            showEditing(editor != nullptr);
        },
        m_grid));
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setMinimumSectionSize(1);
    m_grid->verticalHeader()->setDefaultSectionSize(px(kRowHeight));
    setGreenHeader(m_grid->horizontalHeader());
    m_grid->horizontalHeader()->setSectionsMovable(false);
    m_grid->horizontalHeader()->setMinimumSectionSize(1); // "Hide" is narrower than the style's least
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_grid->setTabKeyNavigation(false);
    for (int c = 0; c < ColumnDefModel::ColumnCount; ++c)
        m_grid->setColumnWidth(c, px(ColumnDefModel::columnWidth(c)));
    m_grid->setColumnHidden(ColumnDefModel::ComboColumn, true);
    connect(m_grid, &QAbstractItemView::clicked, m_fd, &ColumnDefModel::cellClicked);

    m_cmdBtn[0] = makeButton(QStringLiteral("cmdBtn0"), QStringLiteral("&OK"), this);
    m_cmdBtn[1] = makeButton(QStringLiteral("cmdBtn1"), QStringLiteral("&Cancel"), this);
    m_cmdBtn[2] = makeButton(QStringLiteral("cmdBtn2"), QStringLiteral("&All Cols"), this);
    m_cmdCol[0] = makeButton(QStringLiteral("cmdCol0"), QStringLiteral("Add"), this);
    m_cmdCol[1] = makeButton(QStringLiteral("cmdCol1"), QStringLiteral("Insert"), this);
    m_cmdCol[2] = makeButton(QStringLiteral("cmdCol2"), QStringLiteral("Delete"), this);
    connect(m_cmdBtn[0], &QPushButton::clicked, this, &ColumnDefDialog::ok);
    connect(m_cmdBtn[1], &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdBtn[2], &QPushButton::clicked, this, &ColumnDefDialog::allCols);
    connect(m_cmdCol[0], &QPushButton::clicked, this, &ColumnDefDialog::appendColumn);
    connect(m_cmdCol[1], &QPushButton::clicked, this, &ColumnDefDialog::insertColumn);
    connect(m_cmdCol[2], &QPushButton::clicked, this, &ColumnDefDialog::deleteColumn);

    m_hint[0] = makeHint(QStringLiteral("lblHint1"),
                         QStringLiteral("1. Column 7 to 10 are user defined columns."), this);
    m_hint[1] = makeHint(QStringLiteral("lblHint2"),
                         QStringLiteral("2. Double click cell to edit or click to select."), this);
    m_hint[2] = makeHint(QStringLiteral("lblHint3"), QStringLiteral("3. Press Enter key after edit."), this);

    connect(m_fd, &ColumnDefModel::okEnabledChanged, m_cmdBtn[0], &QWidget::setEnabled);
    connect(m_fd, &ColumnDefModel::modeChanged, this, [this](bool one) {
        placeControls(one);
        // From one column to all: the cursor stays on the column the dialog was opened for.
        const auto& rows = m_fd->definitions();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].source >= 0 && rows[i].source == m_openedFor) {
                m_grid->setCurrentIndex(m_fd->index(int(i), ColumnDefModel::TitleColumn));
                break;
            }
        }
    });

    m_fd->open(oneColumn);
    if (oneColumn && !m_fd->definitions().empty())
        m_openedFor = m_fd->definitions().front().source;
    m_cmdBtn[0]->setEnabled(m_fd->isOkEnabled());
    placeControls(m_fd->isOneColumn());
    if (m_fd->rowCount() > 0)
        m_grid->setCurrentIndex(m_fd->index(0, ColumnDefModel::TitleColumn));
    showEditing(false);
}

ColumnDefDialog::~ColumnDefDialog()
{
    // The grid and its editors go while the hints they report to are still here.
    delete m_grid;
}

int ColumnDefDialog::px(int twips) const
{
    return Twips::toPixels(twips, this);
}

void ColumnDefDialog::placeControls(bool oneColumn)
{
    const int gridHeight = oneColumn ? kGridHeightOne : kGridHeightAll;
    m_grid->setGeometry(px(kMargin), px(kMargin), px(kGridWidth), px(gridHeight));

    const int buttonTop = kMargin + gridHeight + kButtonGap;
    auto place = [this, buttonTop](QPushButton* button, int left) {
        button->setGeometry(px(left), px(buttonTop), px(kButtonWidth), px(kButtonHeight));
    };
    place(m_cmdBtn[0], kMargin);
    place(m_cmdBtn[1], kMargin + kButtonWidth + kMargin);
    // The column buttons and "&All Cols" stand at the right end of the row.
    const int right = kMargin + kGridWidth;
    place(m_cmdBtn[2], right - kButtonWidth);
    for (int i = 2; i >= 0; --i)
        place(m_cmdCol[i], right - (4 - i) * kButtonWidth - (3 - i) * kMargin);
    m_cmdBtn[2]->setEnabled(oneColumn);

    // The hint of the moment on the first line; with every column, which of them are
    // the user's own below it.
    const int hintTop = buttonTop + kButtonHeight + kMargin / 2;
    for (int i = 1; i < 3; ++i)
        m_hint[i]->setGeometry(px(kMargin), px(hintTop), px(kGridWidth), px(kHintHeight));
    m_hint[0]->setGeometry(px(kMargin), px(hintTop + kHintHeight), px(kGridWidth), px(kHintHeight));
    m_hint[0]->setVisible(!oneColumn);

    const int height = oneColumn ? hintTop + kHintHeight + kMargin : kDialogHeightAll;
    setFixedSize(px(kDialogWidth), px(height));
}

void ColumnDefDialog::showEditing(bool editing)
{
    m_hint[1]->setVisible(!editing);
    m_hint[2]->setVisible(editing);
}

void ColumnDefDialog::ok()
{
    // An edit still open counts, as if Enter had been pressed.
    if (m_editor)
        emit m_grid->itemDelegate()->commitData(m_editor);
    m_fd->apply();
    accept();
}

void ColumnDefDialog::allCols()
{
    m_fd->allColumns();
}

void ColumnDefDialog::appendColumn()
{
    m_fd->appendRow();
}

void ColumnDefDialog::insertColumn()
{
    const QModelIndex current = m_grid->currentIndex();
    m_fd->insertRow(current.isValid() ? current.row() : 0);
}

void ColumnDefDialog::deleteColumn()
{
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        m_fd->deleteRow(current.row());
}

} // namespace quillon
