#pragma once

#include "print/SheetPrint.h"
#include "print/PrintPreviewDialog.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QToolButton;

namespace quillon {

class Platform;
class PrintSheet;
class RecordSheet;

/**
 * "Print Sheet " (frmPrintSheet): which columns print, all records or the selected
 * rows, the orientation and the scale. A view over PrintSheetForm; "&Print &&
 * Preview" sets up the print sheet and opens the preview.
 */
class PrintSheetDialog : public QDialog
{
    Q_OBJECT

public:
    PrintSheetDialog(const RecordSheet& sheet, Platform& platform, QWidget* parent = nullptr);
    ~PrintSheetDialog() override;

    PrintSheetForm& form() { return m_form; }

    /** Replaces the preview (tests): gets the print sheet set up by "&Print &&
     *  Preview"; returns whether something was printed. */
    using Previewer = std::function<bool(PrintSheet&)>;
    void setPreviewer(Previewer previewer) { m_previewer = std::move(previewer); }

    /** "&Print && Preview": sets up the print sheet and opens the preview. */
    void cmdPrint_Click();
    /** The preview now open, or nullptr. */
    PrintPreviewDialog* previewDialog() const { return m_preview; }

protected:
    bool event(QEvent* event) override;

private:
    void showSelectionCaption();

    PrintSheetForm m_form;
    Platform& m_platform;
    Previewer m_previewer;
    std::unique_ptr<PrintSheet> m_printSheet;
    QPointer<PrintPreviewDialog> m_preview;

    QTableWidget* m_fd = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_selected = nullptr;
    QRadioButton* m_portrait = nullptr;
    QRadioButton* m_landscape = nullptr;
    QLineEdit* m_scale = nullptr;
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace quillon
