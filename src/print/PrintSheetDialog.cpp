#include "print/PrintSheetDialog.h"

#include "print/PrintPreviewDialog.h"
#include "print/PrintSheet.h"
#include "sheet/RecordSheet.h"
#include "ui/HeaderStyle.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

namespace {

int twipsToPixels(const QWidget* w, int twips)
{
    return int(twips * w->logicalDpiX() / 1440.0 + 0.5);
}

QGroupBox* frame(const QString& name, const QString& title, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    return box;
}

} // namespace

PrintSheetDialog::PrintSheetDialog(const RecordSheet& sheet, Platform& platform, QWidget* parent)
    : QDialog(parent), m_form(sheet), m_platform(platform)
{
    setObjectName(QStringLiteral("frmPrintSheet"));
    setWindowTitle(QStringLiteral("Print Sheet "));

    // The column list.
    m_fd = new QTableWidget(int(m_form.columns().size()), 3, this);
    m_fd->setObjectName(QStringLiteral("fd"));
    m_fd->setHorizontalHeaderLabels({QStringLiteral("Col"), QStringLiteral("Title"), QStringLiteral("Print")});
    setGreenHeader(m_fd->horizontalHeader());
    m_fd->verticalHeader()->hide();
    m_fd->setSelectionMode(QAbstractItemView::SingleSelection);
    m_fd->setColumnWidth(0, twipsToPixels(this, 500));
    m_fd->setColumnWidth(1, twipsToPixels(this, 1500));
    m_fd->setColumnWidth(2, twipsToPixels(this, 700));
    for (int i = 0; i < int(m_form.columns().size()); ++i) {
        const PrintSheetForm::ColumnEntry& entry = m_form.columns()[size_t(i)];
        auto* number = new QTableWidgetItem(QString::number(entry.number));
        number->setTextAlignment(Qt::AlignCenter);
        number->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        auto* title = new QTableWidgetItem(entry.title);
        title->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        auto* print = new QTableWidgetItem;
        print->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        print->setCheckState(entry.print ? Qt::Checked : Qt::Unchecked);
        m_fd->setItem(i, 0, number);
        m_fd->setItem(i, 1, title);
        m_fd->setItem(i, 2, print);
    }
    connect(m_fd, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 2)
            m_form.setPrint(item->row(), item->checkState() == Qt::Checked);
    });
    m_fd->setMinimumWidth(twipsToPixels(this, 500 + 1500 + 700) + 24);

    // Print area.
    QGroupBox* area = frame(QStringLiteral("fraPrintArea"), QStringLiteral("Print Area"), this);
    m_all = new QRadioButton(QStringLiteral("All"), area);
    m_all->setObjectName(QStringLiteral("OpDataSource0"));
    m_selected = new QRadioButton(area);
    m_selected->setObjectName(QStringLiteral("OpDataSource1"));
    m_all->setChecked(m_form.dataSource() == PrintSheetForm::AllRecords);
    m_selected->setChecked(m_form.dataSource() == PrintSheetForm::SelectedRows);
    connect(m_all, &QRadioButton::toggled, this, [this](bool on) {
        m_form.setDataSource(on ? PrintSheetForm::AllRecords : PrintSheetForm::SelectedRows);
    });
    auto* areaLayout = new QVBoxLayout(area);
    areaLayout->addWidget(m_all);
    areaLayout->addWidget(m_selected);

    // Orientation.
    QGroupBox* orientation = frame(QStringLiteral("fraOrientation"), QStringLiteral("Orintation"), this);
    m_portrait = new QRadioButton(QStringLiteral("Portrait"), orientation);
    m_portrait->setObjectName(QStringLiteral("OpOrin0"));
    m_landscape = new QRadioButton(QStringLiteral("Landscape"), orientation);
    m_landscape->setObjectName(QStringLiteral("OpOrin1"));
    m_portrait->setChecked(m_form.orientation() == QPageLayout::Portrait);
    m_landscape->setChecked(m_form.orientation() == QPageLayout::Landscape);
    connect(m_landscape, &QRadioButton::toggled, this, [this](bool on) {
        m_form.setOrientation(on ? QPageLayout::Landscape : QPageLayout::Portrait);
    });
    auto* orientationLayout = new QVBoxLayout(orientation);
    orientationLayout->addWidget(m_portrait);
    orientationLayout->addWidget(m_landscape);

    // Scale.
    QGroupBox* scale = frame(QStringLiteral("fraScale"), QStringLiteral("Print Scale"), this);
    m_scale = new QLineEdit(m_form.scaleText(), scale);
    m_scale->setObjectName(QStringLiteral("txtScale"));
    m_scale->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    connect(m_scale, &QLineEdit::textChanged, this, [this](const QString& text) { m_form.setScaleText(text); });
    auto* arrows = new QWidget(scale);
    arrows->setObjectName(QStringLiteral("UpDownCol"));
    m_up = new QToolButton(arrows);
    m_up->setObjectName(QStringLiteral("UpDownColUp"));
    m_up->setArrowType(Qt::UpArrow);
    m_up->setAutoRepeat(true);
    m_down = new QToolButton(arrows);
    m_down->setObjectName(QStringLiteral("UpDownColDown"));
    m_down->setArrowType(Qt::DownArrow);
    m_down->setAutoRepeat(true);
    auto* arrowLayout = new QVBoxLayout(arrows);
    arrowLayout->setContentsMargins(0, 0, 0, 0);
    arrowLayout->setSpacing(0);
    arrowLayout->addWidget(m_up);
    arrowLayout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] {
        m_form.scaleUp();
        m_scale->setText(m_form.scaleText());
    });
    connect(m_down, &QToolButton::clicked, this, [this] {
        m_form.scaleDown();
        m_scale->setText(m_form.scaleText());
    });
    auto* note = new QLabel(QStringLiteral("Max 100 Min   50"), scale);
    note->setObjectName(QStringLiteral("lblScaleNote"));
    auto* scaleLayout = new QGridLayout(scale);
    scaleLayout->addWidget(m_scale, 0, 0);
    scaleLayout->addWidget(arrows, 0, 1);
    scaleLayout->addWidget(note, 1, 0, 1, 3);
    scaleLayout->setColumnStretch(2, 1);

    m_print = new QPushButton(QStringLiteral("&Print && Preview"), this);
    m_print->setObjectName(QStringLiteral("cmdPrint"));
    m_print->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_print, &QPushButton::clicked, this, &PrintSheetDialog::cmdPrint_Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    side->addWidget(area);
    side->addWidget(orientation);
    side->addWidget(scale);
    side->addStretch(1);
    side->addWidget(m_print);
    side->addWidget(m_cancel);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_fd, 1);
    layout->addLayout(side);

    showSelectionCaption();
}

PrintSheetDialog::~PrintSheetDialog()
{
    // The preview paints from the print sheet: it goes first.
    delete m_preview;
}

void PrintSheetDialog::showSelectionCaption()
{
    m_selected->setText(m_form.selectedRowsCaption());
}

bool PrintSheetDialog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        m_form.refreshSelection();
        showSelectionCaption();
    }
    return QDialog::event(event);
}

void PrintSheetDialog::cmdPrint_Click()
{
    if (m_preview)
        return;
    m_printSheet = m_form.makePrintSheet();
    if (m_previewer) {
        if (m_previewer(*m_printSheet))
            accept();
        return;
    }
    m_preview = PrintPreviewDialog::openOver(this, *m_printSheet, m_platform, true);
}

} // namespace quillon
