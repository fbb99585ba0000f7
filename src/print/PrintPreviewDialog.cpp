#include "print/PrintPreviewDialog.h"

#include "print/PdfExport.h"
#include "print/PrintSheet.h"
#include "ui/Platform.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace quillon {

namespace {

constexpr int kMinZoom = 25;
constexpr int kMaxZoom = 400;

} // namespace

PrintPreviewDialog::PrintPreviewDialog(PrintSheet& sheet, Platform& platform, bool pageSizeFollowsPrinter,
                                       QWidget* parent)
    : QDialog(parent), m_sheet(sheet), m_platform(platform), m_pageSizeFollowsPrinter(pageSizeFollowsPrinter)
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(tr("Print Preview"));

    m_toolBar = new QToolBar(this);
    auto add = [this](const QString& name, const QString& text, const QKeySequence& key, auto slot) {
        QAction* a = m_toolBar->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add(QStringLiteral("actPrint"), tr("&Print..."), QKeySequence::Print, [this] { printPages(); });
    add(QStringLiteral("actSavePdf"), tr("Save as P&DF..."), QKeySequence(), [this] { savePdf(); });
    m_toolBar->addSeparator();
    add(QStringLiteral("actFirstPage"), tr("|<"), QKeySequence(), [this] { showPage(0); });
    add(QStringLiteral("actPreviousPage"), tr("<"), QKeySequence(), [this] { showPage(m_page - 1); });
    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("spnPage"));
    m_pageBox->setKeyboardTracking(false);
    m_toolBar->addWidget(m_pageBox);
    m_pageTotal = new QLabel(this);
    m_pageTotal->setObjectName(QStringLiteral("lblPages"));
    m_toolBar->addWidget(m_pageTotal);
    add(QStringLiteral("actNextPage"), tr(">"), QKeySequence(), [this] { showPage(m_page + 1); });
    add(QStringLiteral("actLastPage"), tr(">|"), QKeySequence(), [this] { showPage(pageCount() - 1); });
    m_toolBar->addSeparator();
    add(QStringLiteral("actZoomOut"), tr("Zoom &Out"), QKeySequence::ZoomOut, [this] { setZoom(m_zoom * 4 / 5); });
    add(QStringLiteral("actZoomIn"), tr("Zoom &In"), QKeySequence::ZoomIn, [this] { setZoom(m_zoom * 5 / 4); });
    add(QStringLiteral("actFitWidth"), tr("Fit &Width"), QKeySequence(), [this] { fitWidth(); });
    m_toolBar->addSeparator();
    add(QStringLiteral("actClose"), tr("&Close"), QKeySequence(), [this] { accept(); });
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int value) {
        if (value - 1 != m_page)
            showPage(value - 1);
    });

    m_pageView = new QLabel(this);
    m_pageView->setObjectName(QStringLiteral("lblPage"));
    m_pageView->setAlignment(Qt::AlignCenter);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_pageView);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setWidgetResizable(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_scroll, 1);

    const QSizeF paper = m_sheet.paperTwips();
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                          : QRect(0, 0, 1024, 768);
    const int pageWidth = int(paper.width() / 1440 * logicalDpiX());
    resize(std::min(pageWidth + 60, screen.width() * 9 / 10), screen.height() * 9 / 10);

    showPage(0);
}

PrintPreviewDialog::~PrintPreviewDialog() = default;

int PrintPreviewDialog::pageCount() const
{
    return m_sheet.pageCount();
}

PrintPreviewDialog* PrintPreviewDialog::openOver(QDialog* owner, PrintSheet& sheet, Platform& platform,
                                                 bool pageSizeFollowsPrinter)
{
    auto* preview = new PrintPreviewDialog(sheet, platform, pageSizeFollowsPrinter, owner);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    // Once something was printed or saved, the options dialog has done its work.
    connect(preview, &QDialog::finished, owner, [owner, preview] {
        if (preview->hasOutput())
            owner->accept();
    });
    preview->open();
    return preview;
}

void PrintPreviewDialog::showPage(int page)
{
    m_page = std::clamp(page, 0, pageCount() - 1);
    render();
    updateControls();
    m_scroll->verticalScrollBar()->setValue(0);
}

void PrintPreviewDialog::setZoom(int percent)
{
    const int zoom = std::clamp(percent, kMinZoom, kMaxZoom);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    render();
}

void PrintPreviewDialog::fitWidth()
{
    const QSizeF paper = m_sheet.paperTwips();
    const double pageWidth = paper.width() / 1440 * logicalDpiX();
    const int room = m_scroll->viewport()->width() - 20;
    if (pageWidth > 0 && room > 0)
        setZoom(int(room * 100 / pageWidth));
}

void PrintPreviewDialog::render()
{
    const QSizeF paper = m_sheet.paperTwips();
    const double dpi = logicalDpiX() * m_zoom / 100.0;
    const QSize size(std::max(1, int(paper.width() / 1440 * dpi)), std::max(1, int(paper.height() / 1440 * dpi)));
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254));
    image.setDotsPerMeterY(int(dpi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        // The preview shows what the printout is printed on (the labels of a stock).
        m_sheet.paintPage(painter, m_page, true);
    }
    ++m_painted;
    m_image = image;
    m_pageView->setPixmap(QPixmap::fromImage(m_image));
    m_pageView->resize(m_image.size());
}

void PrintPreviewDialog::updateControls()
{
    const int pages = pageCount();
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setRange(1, pages);
        m_pageBox->setValue(m_page + 1);
    }
    m_pageTotal->setText(QStringLiteral(" / %1 ").arg(pages));
    for (QAction* a : m_toolBar->actions()) {
        if (a->objectName() == QLatin1String("actFirstPage") || a->objectName() == QLatin1String("actPreviousPage"))
            a->setEnabled(m_page > 0);
        else if (a->objectName() == QLatin1String("actNextPage") || a->objectName() == QLatin1String("actLastPage"))
            a->setEnabled(m_page < pages - 1);
    }
}

void PrintPreviewDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
        showPage(m_page + 1);
        return;
    case Qt::Key_PageUp:
        showPage(m_page - 1);
        return;
    case Qt::Key_Home:
        showPage(0);
        return;
    case Qt::Key_End:
        showPage(pageCount() - 1);
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void PrintPreviewDialog::printPages()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(m_sheet.pageLayout());
    printer.setFromTo(0, 0);
    bool go = false;
    if (m_printerDialog) {
        go = m_printerDialog(printer);
    } else {
        QPrintDialog dialog(&printer, this);
        dialog.setMinMax(1, pageCount());
        dialog.setOption(QAbstractPrintDialog::PrintPageRange);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
        go = dialog.exec() == QDialog::Accepted;
    }
    if (!go)
        return;
    if (m_pageSizeFollowsPrinter) {
        const QPageLayout chosen = printer.pageLayout();
        m_sheet.setPageSize(chosen.pageSize());
        m_sheet.setOrientation(chosen.orientation());
    }
    int first = 0;
    int last = -1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = std::max(first, printer.toPage() - 1);
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        first = last = m_page;
    }

    QProgressDialog progress(tr("Printing..."), tr("&Cancel"), 0, 100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QString error;
    const bool ok = m_sheet.print(
        printer, &error,
        [&progress](int done, int total) {
            progress.setMaximum(total);
            progress.setValue(done);
            return !progress.wasCanceled();
        },
        first, last);
    progress.reset();
    if (!ok)
        m_platform.message(windowTitle(), error, Platform::Ok, Platform::Warning);
    else
        m_output = true;
    showPage(m_page);
}

void PrintPreviewDialog::savePdf()
{
    FileDialogRequest request;
    request.caption = tr("Save as PDF");
    request.filters = QStringList{tr("PDF Files (*.pdf)")};
    request.defaultSuffix = QStringLiteral("pdf");
    const QString path = m_platform.saveFileName(request);
    if (path.isEmpty())
        return;
    QProgressDialog progress(tr("Saving..."), tr("&Cancel"), 0, 100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QString error;
    const bool ok = WritePdf(m_sheet, path, &error, [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    progress.reset();
    if (!ok)
        m_platform.message(request.caption, error, Platform::Ok, Platform::Critical);
    else
        m_output = true;
}

} // namespace quillon
