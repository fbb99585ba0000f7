#pragma once

#include <QDialog>
#include <QImage>

#include <functional>

class QLabel;
class QScrollArea;
class QSpinBox;
class QToolBar;
class QPrinter;

namespace quillon {

class Platform;
class PrintSheet;

/**
 * The preview of a print sheet, from which the user prints or saves a PDF file.
 *
 * It shows one page at a time and paints a page only when it is shown, so the
 * first page of a printout of thousands of pages appears at once. "Print..." opens
 * the printer dialog and prints through the same print sheet; "Save as PDF..."
 * writes a PDF file.
 */
class PrintPreviewDialog : public QDialog
{
    Q_OBJECT

public:
    /** @p pageSizeFollowsPrinter: a page size or orientation chosen in the printer
     *  dialog lays the pages out anew (a table; labels keep their stock). */
    PrintPreviewDialog(PrintSheet& sheet, Platform& platform, bool pageSizeFollowsPrinter,
                       QWidget* parent = nullptr);
    ~PrintPreviewDialog() override;

    /** Opens a preview of @p sheet over @p owner, a print options dialog that is
     *  accepted once the preview has printed or saved something. The preview deletes
     *  itself when closed. */
    static PrintPreviewDialog* openOver(QDialog* owner, PrintSheet& sheet, Platform& platform,
                                        bool pageSizeFollowsPrinter);

    int currentPage() const { return m_page; }
    int pageCount() const;
    void showPage(int page);
    /** Zoom in percent of the paper's real size. */
    void setZoom(int percent);
    int zoom() const { return m_zoom; }

    /** Pages painted so far (each time a page is shown). */
    int pagesPainted() const { return m_painted; }
    /** What the page area shows. */
    QImage shownImage() const { return m_image; }
    /** True once something was printed or saved. */
    bool hasOutput() const { return m_output; }

    /** Opens the printer dialog and prints. */
    void printPages();
    /** Asks for a file name and writes a PDF file. */
    void savePdf();

    /** Replaces the printer dialog (tests): gets the printer set up from the print
     *  sheet, returns whether to print. */
    void setPrinterDialog(std::function<bool(QPrinter&)> dialog) { m_printerDialog = std::move(dialog); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void render();
    void updateControls();
    void fitWidth();

    PrintSheet& m_sheet;
    Platform& m_platform;
    bool m_pageSizeFollowsPrinter;
    int m_page = 0;
    int m_zoom = 100;
    int m_painted = 0;
    bool m_output = false;
    QImage m_image;
    std::function<bool(QPrinter&)> m_printerDialog;

    QToolBar* m_toolBar = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageTotal = nullptr;
    QLabel* m_pageView = nullptr;
    QScrollArea* m_scroll = nullptr;
};

} // namespace quillon
