#include "grab/KeyWorkshopWindow.h"

#include "grab/HtmlText.h"
#include "grab/KeyWorkshop.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>

#include <climits>

namespace quillon {

/** The preview's listings as a table: one row a listing, one column a sheet column
 *  the key fills. Reads the workshop's preview as it is painted. */
class PreviewTableModel : public QAbstractTableModel
{
public:
    explicit PreviewTableModel(KeyWorkshop& workshop, QObject* parent) : QAbstractTableModel(parent), m_workshop(workshop)
    {
    }

    void reset()
    {
        beginResetModel();
        m_columns.clear();
        const KeyPreview& cut = m_workshop.preview().cut;
        for (int c = 0; c < int(cut.columnCounts.size()); ++c)
            if (cut.columnCounts[size_t(c)] > 0)
                m_columns << c;
        for (const GrabKey::Field& f : m_workshop.key().fields)
            if (f.column >= 0 && f.column < int(cut.columnCounts.size()) && !m_columns.contains(f.column))
                m_columns << f.column;
        std::sort(m_columns.begin(), m_columns.end());
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : m_workshop.preview().cut.listings();
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(m_columns.size()); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return m_workshop.value(index.row(), m_columns.value(index.column()));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return section + 1;
        return m_workshop.columnTitle(m_columns.value(section));
    }

private:
    KeyWorkshop& m_workshop;
    QList<int> m_columns;
};

namespace {

QLineEdit* markerBox(QWidget* parent, const char* name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setPlaceholderText(QObject::tr("(none)"));
    return box;
}

/** The UTF-16 length of UTF-8 text: what a byte offset of the page is in the page view. */
qsizetype utf16Length(QByteArrayView utf8)
{
    qsizetype n = 0;
    for (const char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b & 0xC0) != 0x80)
            n += b >= 0xF0 ? 2 : 1;
    }
    return n;
}

} // namespace

QString KeyWorkshopWindow::markerText(const QString& marker)
{
    QString out;
    out.reserve(marker.size());
    for (const QChar ch : marker) {
        if (ch == u'\\')
            out += QStringLiteral("\\\\");
        else if (ch == u'\n')
            out += QStringLiteral("\\n");
        else if (ch == u'\r')
            out += QStringLiteral("\\r");
        else if (ch == u'\t')
            out += QStringLiteral("\\t");
        else
            out += ch;
    }
    return out;
}

QString KeyWorkshopWindow::markerFromText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch != u'\\' || i + 1 >= text.size()) {
            out += ch;
            continue;
        }
        const QChar next = text[i + 1];
        if (next == u'n')
            out += u'\n';
        else if (next == u'r')
            out += u'\r';
        else if (next == u't')
            out += u'\t';
        else if (next == u'\\')
            out += u'\\';
        else {
            out += ch;
            continue;
        }
        ++i;
    }
    return out;
}

KeyWorkshopWindow::KeyWorkshopWindow(KeyWorkshop& workshop, QWidget* parent)
    : QWidget(parent, Qt::Window), m_workshop(workshop)
{
    setObjectName(QStringLiteral("frmKeyWorkshop"));
    setWindowTitle(tr("Key Workshop"));
    resize(1200, 800);

    auto* top = new QVBoxLayout(this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setWordWrap(true);
    top->addWidget(m_status);

    auto* split = new QSplitter(Qt::Horizontal, this);
    top->addWidget(split, 1);

    auto* scroll = new QScrollArea(split);
    scroll->setWidgetResizable(true);
    auto* form = new QWidget(scroll);
    buildForm(form);
    scroll->setWidget(form);
    split->addWidget(scroll);

    auto* right = new QSplitter(Qt::Vertical, split);
    auto* previewArea = new QWidget(right);
    auto* previewLayout = new QVBoxLayout(previewArea);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    m_summary = new QLabel(previewArea);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    previewLayout->addWidget(m_summary);
    m_previewModel = new PreviewTableModel(m_workshop, this);
    m_preview = new QTableView(previewArea);
    m_preview->setObjectName(QStringLiteral("tblPreview"));
    m_preview->setModel(m_previewModel);
    m_preview->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_preview->setSelectionMode(QAbstractItemView::SingleSelection);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->verticalHeader()->setDefaultSectionSize(m_preview->fontMetrics().height() + 4);
    previewLayout->addWidget(m_preview, 1);
    right->addWidget(previewArea);

    m_page = new QPlainTextEdit(right);
    m_page->setObjectName(QStringLiteral("txtPage"));
    m_page->setReadOnly(true);
    m_page->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_page->setToolTip(tr("The page text a grab of this address cuts. Select a value and take it as a field "
                          "of the example below."));
    right->addWidget(m_page);

    auto* learning = new QWidget(right);
    buildLearning(learning);
    right->addWidget(learning);
    split->addWidget(right);
    split->setStretchFactor(1, 2);

    auto* buttons = new QHBoxLayout;
    auto* reload = new QPushButton(tr("&Reload Page"), this);
    reload->setObjectName(QStringLiteral("cmdReload"));
    m_save = new QPushButton(tr("&Save"), this);
    m_save->setObjectName(QStringLiteral("cmdSave"));
    auto* saveNew = new QPushButton(tr("Save as &New Site..."), this);
    saveNew->setObjectName(QStringLiteral("cmdSaveAsNew"));
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    m_rename = new QPushButton(tr("Rena&me Site..."), this);
    m_rename->setObjectName(QStringLiteral("cmdRenameSite"));
    m_remove = new QPushButton(tr("Remo&ve Site"), this);
    m_remove->setObjectName(QStringLiteral("cmdRemoveSite"));
    buttons->addWidget(reload);
    buttons->addWidget(m_rename);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(saveNew);
    buttons->addWidget(close);
    top->addLayout(buttons);
    connect(reload, &QPushButton::clicked, this, &KeyWorkshopWindow::reloadRequested);
    connect(m_save, &QPushButton::clicked, this, &KeyWorkshopWindow::saveRequested);
    connect(saveNew, &QPushButton::clicked, this, &KeyWorkshopWindow::saveAsNewRequested);
    connect(m_rename, &QPushButton::clicked, this, &KeyWorkshopWindow::renameRequested);
    connect(m_remove, &QPushButton::clicked, this, &KeyWorkshopWindow::removeRequested);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    connect(&m_workshop, &KeyWorkshop::keyChanged, this, &KeyWorkshopWindow::showKey);
    connect(&m_workshop, &KeyWorkshop::pageChanged, this, &KeyWorkshopWindow::showPage);
    connect(&m_workshop, &KeyWorkshop::previewRefreshed, this, &KeyWorkshopWindow::showPreview);
    connect(&m_workshop, &KeyWorkshop::learningFinished, this, &KeyWorkshopWindow::showLearned);
    connect(m_preview->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showListing(current.isValid() ? current.row() : -1); });

    showKey();
    showPage();
    showPreview();
}

KeyWorkshopWindow::~KeyWorkshopWindow() = default;

void KeyWorkshopWindow::buildForm(QWidget* form)
{
    auto* layout = new QFormLayout(form);
    m_kind = new QComboBox(form);
    m_kind->setObjectName(QStringLiteral("cboKind"));
    m_kind->addItem(tr("Markers in the page text"));
    m_kind->addItem(tr("The page's schema.org data"));
    layout->addRow(tr("Listings are read by"), m_kind);
    m_source = new QComboBox(form);
    m_source->setObjectName(QStringLiteral("cboSource"));
    m_source->addItem(tr("download"));
    m_source->addItem(tr("browser"));
    m_source->setToolTip(tr("download: the page as the site sends it; browser: the document the built-in browser "
                            "shows once loaded, with its cookies and its scripts' work"));
    layout->addRow(tr("Page text from"), m_source);
    m_perPage = new QSpinBox(form);
    m_perPage->setObjectName(QStringLiteral("txtListingsPerPage"));
    m_perPage->setRange(0, 100000);
    layout->addRow(tr("Listings per page"), m_perPage);
    m_listingStart = markerBox(form, "txtListingStart");
    m_listingEnd = markerBox(form, "txtListingEnd");
    layout->addRow(tr("Listing start"), m_listingStart);
    layout->addRow(tr("Listing end"), m_listingEnd);

    m_fields = new QTableWidget(0, 3, form);
    m_fields->setObjectName(QStringLiteral("tblFields"));
    m_fields->setHorizontalHeaderLabels({tr("Column"), tr("Start"), tr("End")});
    m_fields->horizontalHeader()->setStretchLastSection(true);
    m_fields->setMinimumHeight(200);
    layout->addRow(tr("Fields"), m_fields);
    auto* fieldButtons = new QHBoxLayout;
    auto* add = new QPushButton(tr("&Add Field"), form);
    add->setObjectName(QStringLiteral("cmdAddField"));
    auto* remove = new QPushButton(tr("Remove Field"), form);
    remove->setObjectName(QStringLiteral("cmdRemoveField"));
    fieldButtons->addWidget(add);
    fieldButtons->addWidget(remove);
    layout->addRow(QString(), fieldButtons);
    connect(add, &QPushButton::clicked, this, [this] { m_workshop.addField(m_workshop.fieldCount() == 0 ? 0 : -1); });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = m_fields->currentRow();
        m_workshop.removeField(row >= 0 ? row : m_workshop.fieldCount() - 1);
    });
    connect(m_fields, &QTableWidget::cellChanged, this, &KeyWorkshopWindow::fieldsChanged);

    m_nextStart = markerBox(form, "txtNextStart");
    m_nextEnd = markerBox(form, "txtNextEnd");
    layout->addRow(tr("Next link start"), m_nextStart);
    layout->addRow(tr("Next link end"), m_nextEnd);
    m_pageMarker = markerBox(form, "txtPageMarker");
    m_pageMarker->setToolTip(tr("An address that holds this is a listing page; the search category follows it"));
    layout->addRow(tr("Listing page marker"), m_pageMarker);
    m_readCount = new QCheckBox(tr("Read the listing count from the page"), form);
    m_readCount->setObjectName(QStringLiteral("chkReadCount"));
    layout->addRow(QString(), m_readCount);
    m_countStart = markerBox(form, "txtCountStart");
    m_countEnd = markerBox(form, "txtCountEnd");
    m_count2Start = markerBox(form, "txtCount2Start");
    m_count2End = markerBox(form, "txtCount2End");
    layout->addRow(tr("Count start"), m_countStart);
    layout->addRow(tr("Count end"), m_countEnd);
    layout->addRow(tr("Count start (second)"), m_count2Start);
    layout->addRow(tr("Count end (second)"), m_count2End);
    m_cityMarker = markerBox(form, "txtCityMarker");
    m_stateMarker = markerBox(form, "txtStateMarker");
    layout->addRow(tr("City in address after"), m_cityMarker);
    layout->addRow(tr("State in address after"), m_stateMarker);

    for (QLineEdit* box : {m_listingStart, m_listingEnd, m_nextStart, m_nextEnd, m_pageMarker, m_countStart,
                           m_countEnd, m_count2Start, m_count2End, m_cityMarker, m_stateMarker})
        connect(box, &QLineEdit::textEdited, this, &KeyWorkshopWindow::formChanged);
    connect(m_perPage, &QSpinBox::valueChanged, this, &KeyWorkshopWindow::formChanged);
    connect(m_readCount, &QCheckBox::toggled, this, &KeyWorkshopWindow::formChanged);
    connect(m_kind, &QComboBox::activated, this, &KeyWorkshopWindow::formChanged);
    connect(m_source, &QComboBox::activated, this, &KeyWorkshopWindow::formChanged);
}

void KeyWorkshopWindow::buildLearning(QWidget* area)
{
    auto* layout = new QHBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* exampleBox = new QGroupBox(tr("Learn from one listing"), area);
    auto* exampleLayout = new QVBoxLayout(exampleBox);
    const QStringList titles = KeyLearner::fieldTitles();
    m_example = new QTableWidget(int(titles.size()), 1, exampleBox);
    m_example->setObjectName(QStringLiteral("tblExample"));
    m_example->setHorizontalHeaderLabels({tr("Value of one listing")});
    m_example->setVerticalHeaderLabels(titles);
    m_example->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < titles.size(); ++r)
        m_example->setItem(r, 0, new QTableWidgetItem);
    exampleLayout->addWidget(m_example);
    auto* take = new QHBoxLayout;
    auto* takeButton = new QPushButton(tr("&Take Selection as"), exampleBox);
    takeButton->setObjectName(QStringLiteral("cmdTakeSelection"));
    m_takeAs = new QComboBox(exampleBox);
    m_takeAs->setObjectName(QStringLiteral("cboTakeAs"));
    m_takeAs->addItems(titles);
    take->addWidget(takeButton);
    take->addWidget(m_takeAs, 1);
    exampleLayout->addLayout(take);
    auto* learnButton = new QPushButton(tr("&Learn"), exampleBox);
    learnButton->setObjectName(QStringLiteral("cmdLearn"));
    exampleLayout->addWidget(learnButton);
    connect(takeButton, &QPushButton::clicked, this, &KeyWorkshopWindow::takeSelection);
    connect(learnButton, &QPushButton::clicked, this, &KeyWorkshopWindow::learn);
    layout->addWidget(exampleBox, 1);

    auto* proposalBox = new QGroupBox(tr("Proposals"), area);
    auto* proposalLayout = new QVBoxLayout(proposalBox);
    m_proposals = new QListWidget(proposalBox);
    m_proposals->setObjectName(QStringLiteral("lstProposals"));
    m_proposals->setWordWrap(true);
    proposalLayout->addWidget(m_proposals, 1);
    auto* accept = new QPushButton(tr("&Accept"), proposalBox);
    accept->setObjectName(QStringLiteral("cmdAccept"));
    proposalLayout->addWidget(accept);
    m_problems = new QLabel(proposalBox);
    m_problems->setObjectName(QStringLiteral("lblProblems"));
    m_problems->setWordWrap(true);
    proposalLayout->addWidget(m_problems);
    m_structured = new QLabel(proposalBox);
    m_structured->setObjectName(QStringLiteral("lblStructured"));
    m_structured->setWordWrap(true);
    proposalLayout->addWidget(m_structured);
    m_useStructured = new QPushButton(tr("Read the &schema.org Data"), proposalBox);
    m_useStructured->setObjectName(QStringLiteral("cmdUseStructured"));
    proposalLayout->addWidget(m_useStructured);
    connect(accept, &QPushButton::clicked, this, &KeyWorkshopWindow::acceptProposal);
    connect(m_proposals, &QListWidget::itemDoubleClicked, this, &KeyWorkshopWindow::acceptProposal);
    connect(m_useStructured, &QPushButton::clicked, this, [this] { m_workshop.useStructuredData(); });
    layout->addWidget(proposalBox, 1);
}

void KeyWorkshopWindow::setSite(const QString& name, bool ownKey)
{
    setWindowTitle(name.isEmpty() ? tr("Key Workshop") : tr("Key Workshop - %1").arg(name));
    m_save->setEnabled(ownKey);
    m_save->setToolTip(ownKey ? tr("Save the key over this site's key")
                              : tr("A site that comes with Quillon keeps its key; save the key as a new site"));
    // Only a site of the user's can be renamed or removed.
    m_rename->setEnabled(ownKey);
    m_remove->setEnabled(ownKey);
    const QString shipped = tr("A site that comes with Quillon stays in the site list");
    m_rename->setToolTip(ownKey ? tr("Give this site another name in the site list") : shipped);
    m_remove->setToolTip(ownKey ? tr("Take this site out of the site list and delete its key") : shipped);
}

void KeyWorkshopWindow::setStatus(const QString& text)
{
    m_status->setText(text);
}

void KeyWorkshopWindow::showKey()
{
    if (m_showing)
        return;
    m_showing = true;
    const GrabKey& key = m_workshop.key();
    m_kind->setCurrentIndex(key.kind == KeyKind::StructuredData ? 1 : 0);
    m_source->setCurrentIndex(key.fromBrowser ? 1 : 0);
    m_perPage->setValue(std::min(key.listingsPerPage, m_perPage->maximum()));
    auto put = [](QLineEdit* box, const QString& text) {
        const QString shown = markerText(text);
        if (box->text() != shown)
            box->setText(shown);
    };
    put(m_listingStart, QString::fromUtf8(key.listingStart));
    put(m_listingEnd, QString::fromUtf8(key.listingEnd));
    put(m_nextStart, QString::fromUtf8(key.nextStart));
    put(m_nextEnd, QString::fromUtf8(key.nextEnd));
    put(m_pageMarker, key.listingPageMarker);
    m_readCount->setChecked(key.readCount);
    put(m_countStart, key.countStart);
    put(m_countEnd, key.countEnd);
    put(m_count2Start, key.countStart2);
    put(m_count2End, key.countEnd2);
    put(m_cityMarker, key.cityMarker);
    put(m_stateMarker, key.stateMarker);

    // The fields: a column chosen by its title, and the two markers.
    const int rows = int(key.fields.size());
    if (m_fields->rowCount() != rows)
        m_fields->setRowCount(rows);
    QStringList titles;
    const int columns = std::max<int>(int(m_workshop.columnTitles().size()), 8);
    for (int c = 0; c < columns; ++c)
        titles << m_workshop.columnTitle(c);
    titles << tr("(not kept)");
    for (int r = 0; r < rows; ++r) {
        const GrabKey::Field& f = key.fields[size_t(r)];
        auto* combo = qobject_cast<QComboBox*>(m_fields->cellWidget(r, 0));
        if (!combo) {
            combo = new QComboBox(m_fields);
            combo->setObjectName(QStringLiteral("cboFieldColumn%1").arg(r));
            m_fields->setCellWidget(r, 0, combo);
            connect(combo, &QComboBox::activated, this, &KeyWorkshopWindow::fieldsChanged);
        }
        QStringList items = titles;
        while (f.column >= columns && items.size() - 1 <= f.column)
            items.insert(items.size() - 1, m_workshop.columnTitle(int(items.size()) - 1));
        if (combo->count() != items.size()) {
            combo->clear();
            combo->addItems(items);
        }
        combo->setCurrentIndex(f.column < 0 ? int(items.size()) - 1 : f.column);
        for (int c = 1; c <= 2; ++c) {
            const QString text = markerText(QString::fromUtf8(c == 1 ? f.start : f.end));
            QTableWidgetItem* item = m_fields->item(r, c);
            if (!item)
                m_fields->setItem(r, c, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
    }
    m_showing = false;
}

void KeyWorkshopWindow::formChanged()
{
    if (m_showing)
        return;
    m_showing = true;
    m_workshop.setKind(m_kind->currentIndex() == 1 ? KeyKind::StructuredData : KeyKind::Markers);
    m_workshop.setFromBrowser(m_source->currentIndex() == 1);
    m_workshop.setListingsPerPage(m_perPage->value());
    m_workshop.setListingMarkers(markerFromText(m_listingStart->text()), markerFromText(m_listingEnd->text()));
    m_workshop.setNextMarkers(markerFromText(m_nextStart->text()), markerFromText(m_nextEnd->text()));
    m_workshop.setListingPageMarker(markerFromText(m_pageMarker->text()));
    m_workshop.setCountMarkers(m_readCount->isChecked(), markerFromText(m_countStart->text()),
                               markerFromText(m_countEnd->text()), markerFromText(m_count2Start->text()),
                               markerFromText(m_count2End->text()));
    m_workshop.setAddressMarkers(markerFromText(m_cityMarker->text()), markerFromText(m_stateMarker->text()));
    m_showing = false;
}

void KeyWorkshopWindow::fieldsChanged()
{
    if (m_showing)
        return;
    m_showing = true;
    for (int r = 0; r < m_fields->rowCount() && r < m_workshop.fieldCount(); ++r) {
        auto* combo = qobject_cast<QComboBox*>(m_fields->cellWidget(r, 0));
        const int column = !combo || combo->currentIndex() == combo->count() - 1 ? -1 : combo->currentIndex();
        auto text = [this, r](int c) { return m_fields->item(r, c) ? markerFromText(m_fields->item(r, c)->text()) : QString(); };
        const GrabKey::Field& f = m_workshop.key().fields[size_t(r)];
        if (f.column != column || f.start != text(1).toUtf8() || f.end != text(2).toUtf8())
            m_workshop.setField(r, column, text(1), text(2));
    }
    m_showing = false;
}

void KeyWorkshopWindow::showPage()
{
    m_pageText = QString::fromUtf8(m_workshop.page());
    // A carriage return would end a line of the view: it is shown as a blank, so that
    // the page's places stay where the parser counts them.
    m_pageText.replace(QLatin1Char('\r'), QLatin1Char(' '));
    m_page->setPlainText(m_pageText);
    m_proposals->clear();
    m_problems->clear();
    showStructuredOffer();
}

void KeyWorkshopWindow::showStructuredOffer()
{
    const QString offer = m_workshop.structuredDataOffer();
    m_structured->setText(offer);
    m_useStructured->setVisible(!offer.isEmpty() && m_workshop.key().kind != KeyKind::StructuredData);
}

void KeyWorkshopWindow::showPreview()
{
    const int selected = m_preview->currentIndex().isValid() ? m_preview->currentIndex().row() : -1;
    m_previewModel->reset();
    m_summary->setText(m_workshop.preview().summary);
    m_useStructured->setVisible(!m_structured->text().isEmpty() && m_workshop.key().kind != KeyKind::StructuredData);
    if (selected >= 0 && selected < m_previewModel->rowCount(QModelIndex()))
        m_preview->setCurrentIndex(m_previewModel->index(selected, 0));
    else
        showListing(-1);
}

void KeyWorkshopWindow::showListing(int row)
{
    QList<QTextEdit::ExtraSelection> marks;
    const QByteArray& page = m_workshop.page();
    const ParseTrace& trace = m_workshop.preview().trace;
    const ParseTrace::Listing* listing = nullptr;
    for (const ParseTrace::Listing& l : trace.listings)
        if (l.row == row && row >= 0) {
            listing = &l;
            break;
        }
    if (listing && listing->block.isValid()) {
        // Byte places of the page to places of the view, counted from the block's start.
        const qsizetype base = listing->block.offset;
        const qsizetype baseChar = utf16Length(QByteArrayView(page).first(base));
        auto mark = [&](const ParseTrace::Range& range, const QColor& colour) {
            if (!range.isValid())
                return;
            const qsizetype from = range.offset >= base
                                     ? baseChar + utf16Length(QByteArrayView(page).sliced(base, range.offset - base))
                                     : utf16Length(QByteArrayView(page).first(range.offset));
            const qsizetype length = utf16Length(QByteArrayView(page).sliced(range.offset, range.length));
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(m_page->document());
            s.cursor.setPosition(int(std::min<qsizetype>(from, INT_MAX)));
            s.cursor.setPosition(int(std::min<qsizetype>(from + length, INT_MAX)), QTextCursor::KeepAnchor);
            s.format.setBackground(colour);
            marks << s;
        };
        mark(listing->block, QColor(0xff, 0xf4, 0xc0));
        for (const ParseTrace::Part& m : listing->markers)
            mark(m.range, QColor(0xff, 0xc0, 0x80));
        for (const ParseTrace::Part& v : listing->values)
            mark(v.range, QColor(0xa8, 0xe6, 0xa0));
        if (!marks.isEmpty()) {
            QTextCursor at(m_page->document());
            at.setPosition(marks.front().cursor.selectionStart());
            m_page->setTextCursor(at);
            m_page->centerCursor();
        }
    }
    m_page->setExtraSelections(marks);
}

void KeyWorkshopWindow::takeSelection()
{
    QString text = m_page->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char(' '));
    text = HtmlText::decoded(text).simplified();
    if (text.isEmpty()) {
        setStatus(tr("Select a value of one listing in the page text first."));
        return;
    }
    const int row = m_takeAs->currentIndex();
    if (m_example->item(row, 0))
        m_example->item(row, 0)->setText(text);
}

void KeyWorkshopWindow::learn()
{
    KeyLearner::Example example;
    for (int r = 0; r < m_example->rowCount(); ++r)
        if (m_example->item(r, 0) && !m_example->item(r, 0)->text().trimmed().isEmpty())
            example.insert(r, m_example->item(r, 0)->text().trimmed());
    m_workshop.learn(example);
}

void KeyWorkshopWindow::showLearned()
{
    m_proposals->clear();
    const KeyLearner::Result& result = m_workshop.learned();
    for (int i = 0; i < int(result.proposals.size()); ++i)
        m_proposals->addItem(m_workshop.proposalText(i));
    if (m_proposals->count() > 0)
        m_proposals->setCurrentRow(0);
    m_problems->setText(result.problems.isEmpty()
                            ? QString()
                            : tr("Not learned: %1").arg(result.problems.join(QStringLiteral("; "))));
}

void KeyWorkshopWindow::acceptProposal()
{
    m_workshop.accept(m_proposals->currentRow());
}

} // namespace quillon
