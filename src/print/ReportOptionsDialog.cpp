#include "print/ReportOptionsDialog.h"

#include "print/PrintPreviewDialog.h"
#include "print/PrintSheet.h"
#include "sheet/RecordSheet.h"
#include "ui/Platform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillon {

ReportOptionsDialog::ReportOptionsDialog(const RecordSheet& sheet, Platform& platform, QWidget* parent,
                                         LabelStocks stocks)
    : QDialog(parent), m_form(sheet, std::move(stocks)), m_platform(platform)
{
    setObjectName(QStringLiteral("frmReportOptions"));
    setWindowTitle(QStringLiteral("Address Labels Printing"));

    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("cboLabelFormat"));
    m_format->addItems(m_form.formatNames());
    m_format->setCurrentText(m_form.format());
    m_format->setMaxVisibleItems(20);
    m_stock = new QLabel(this);
    m_stock->setObjectName(QStringLiteral("lblStock"));
    m_stock->setWordWrap(true);
    m_fontSize = new QComboBox(this);
    m_fontSize->setObjectName(QStringLiteral("cboFontSize"));
    m_start = new QSpinBox(this);
    m_start->setObjectName(QStringLiteral("txtStartLabel"));
    m_start->setToolTip(QStringLiteral("On a sheet partly used, the first free label: labels count across, "
                                       "then down"));
    showFormat();
    // A new format brings its own font, the sizes that fit its rows and its number of
    // labels a sheet.
    connect(m_format, &QComboBox::currentTextChanged, this, [this](const QString& name) {
        m_form.setFormat(name);
        showFormat();
    });
    connect(m_start, &QSpinBox::valueChanged, this, [this](int position) { m_form.setStartLabel(position); });
    connect(m_fontSize, &QComboBox::currentTextChanged, this,
            [this](const QString& size) { m_form.setFontSize(size); });
    auto* formatLabel = new QLabel(QStringLiteral("Mailing Label Format:"), this);
    formatLabel->setBuddy(m_format);
    auto* sizeLabel = new QLabel(QStringLiteral("Font Size:"), this);
    sizeLabel->setBuddy(m_fontSize);
    auto* startLabel = new QLabel(QStringLiteral("&Start at label:"), this);
    startLabel->setBuddy(m_start);

    // Stocks of the stock file that are left out, and why.
    auto* problems = new QLabel(this);
    problems->setObjectName(QStringLiteral("lblStockProblems"));
    problems->setWordWrap(true);
    problems->setTextFormat(Qt::PlainText);
    // A file full of faults names the first few.
    constexpr qsizetype kProblemsShown = 5;
    QStringList shown = m_form.stocks().problems().mid(0, kProblemsShown);
    if (m_form.stocks().problems().size() > kProblemsShown)
        shown << QStringLiteral("(%1 more stocks are left out.)").arg(m_form.stocks().problems().size() - kProblemsShown);
    problems->setText(shown.join(QLatin1Char('\n')));
    problems->setVisible(!m_form.stocks().problems().isEmpty());
    problems->setStyleSheet(QStringLiteral("color: #a00000"));

    m_skip = new QCheckBox(QStringLiteral("Skip incompleted address"), this);
    m_skip->setObjectName(QStringLiteral("chkSkip"));
    m_skip->setChecked(m_form.skipIncomplete());
    connect(m_skip, &QCheckBox::toggled, this, [this](bool on) { m_form.setSkipIncomplete(on); });

    auto* countryFrame = new QGroupBox(QStringLiteral("Print Country Name"), this);
    countryFrame->setObjectName(QStringLiteral("fraCountry"));
    m_country = new QLineEdit(m_form.countryText(), countryFrame);
    m_country->setObjectName(QStringLiteral("txtCountry"));
    m_printCountry = new QCheckBox(QStringLiteral("Print on the 4th line"), countryFrame);
    m_printCountry->setObjectName(QStringLiteral("chkCountry"));
    m_printCountry->setChecked(m_form.printCountry());
    m_country->setEnabled(m_form.printCountry());
    connect(m_country, &QLineEdit::textChanged, this, [this](const QString& text) { m_form.setCountryText(text); });
    // The country text is only edited while it is to print.
    connect(m_printCountry, &QCheckBox::toggled, this, [this](bool on) {
        m_form.setPrintCountry(on);
        m_country->setEnabled(on);
    });
    auto* countryLayout = new QVBoxLayout(countryFrame);
    countryLayout->addWidget(m_country);
    countryLayout->addWidget(m_printCountry);

    auto* area = new QGroupBox(QStringLiteral("Print Area"), this);
    area->setObjectName(QStringLiteral("fraPrintArea"));
    m_all = new QRadioButton(QStringLiteral("All"), area);
    m_all->setObjectName(QStringLiteral("OpDataSource0"));
    m_selected = new QRadioButton(area);
    m_selected->setObjectName(QStringLiteral("OpDataSource1"));
    m_all->setChecked(true);
    connect(m_all, &QRadioButton::toggled, this, [this](bool on) {
        m_form.setDataSource(on ? ReportOptionsForm::AllRecords : ReportOptionsForm::SelectedRows);
    });
    auto* areaLayout = new QVBoxLayout(area);
    areaLayout->addWidget(m_all);
    areaLayout->addWidget(m_selected);

    auto* hint = new QLabel(ReportOptionsForm::hint(), this);
    hint->setObjectName(QStringLiteral("lblHint"));
    hint->setWordWrap(true);

    m_print = new QPushButton(QStringLiteral("&Print && Preview"), this);
    m_print->setObjectName(QStringLiteral("cmdPrint"));
    m_print->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_print, &QPushButton::clicked, this, &ReportOptionsDialog::cmdPrint_Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(formatLabel, m_format);
    fields->addRow(QString(), m_stock);
    fields->addRow(sizeLabel, m_fontSize);
    fields->addRow(startLabel, m_start);
    fields->addRow(m_skip);
    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addWidget(countryFrame);
    left->addWidget(area);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_print);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(problems);
    layout->addWidget(hint);

    m_selected->setText(m_form.selectedRowsCaption());
}

ReportOptionsDialog::~ReportOptionsDialog()
{
    // The preview paints from the print sheet: it goes first.
    delete m_preview;
}

void ReportOptionsDialog::fillFontSizes()
{
    const QString size = m_form.fontSize();
    const QSignalBlocker block(m_fontSize);
    m_fontSize->clear();
    m_fontSize->addItems(m_form.fontSizes());
    m_fontSize->setCurrentText(size);
}

void ReportOptionsDialog::showFormat()
{
    fillFontSizes();
    m_stock->setText(m_form.labelFormat().description());
    // A start beyond the new sheet's labels becomes its last label.
    const QSignalBlocker block(m_start);
    m_start->setRange(1, m_form.labelsPerSheet());
    m_start->setValue(m_form.startLabel());
    m_form.setStartLabel(m_start->value());
}

bool ReportOptionsDialog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        m_form.refreshSelection();
        m_selected->setText(m_form.selectedRowsCaption());
    }
    return QDialog::event(event);
}

void ReportOptionsDialog::cmdPrint_Click()
{
    if (m_preview)
        return;
    int shortened = 0;
    m_printSheet = m_form.makePrintSheet(&shortened);
    if (shortened > 0)
        m_platform.message(windowTitle(), ReportOptionsForm::shortenedMessage(shortened), Platform::Ok,
                           Platform::Information);
    if (m_previewer) {
        if (m_previewer(*m_printSheet))
            accept();
        return;
    }
    m_preview = PrintPreviewDialog::openOver(this, *m_printSheet, m_platform, false);
}

} // namespace quillon
