#pragma once

#include "print/LabelPrint.h"
#include "print/PrintPreviewDialog.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace quillon {

class Platform;
class PrintSheet;
class RecordSheet;

/**
 * "Address Labels Printing" (frmReportOptions): label format (the built-in formats
 * and the label stocks of the stock file), font size, the label to start at,
 * skipping incomplete addresses, the country line and the print area. A view over
 * ReportOptionsForm; "&Print && Preview" lays out the labels and opens the preview.
 * Stocks the stock file describes wrongly are named on the dialog, with why they
 * are left out.
 */
class ReportOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    ReportOptionsDialog(const RecordSheet& sheet, Platform& platform, QWidget* parent = nullptr,
                        LabelStocks stocks = LabelStocks::shipped());
    ~ReportOptionsDialog() override;

    ReportOptionsForm& form() { return m_form; }

    /** Replaces the preview (tests); returns whether something was printed. */
    using Previewer = std::function<bool(PrintSheet&)>;
    void setPreviewer(Previewer previewer) { m_previewer = std::move(previewer); }

    /** "&Print && Preview": sets up the print sheet and opens the preview. */
    void cmdPrint_Click();
    /** The preview now open, or nullptr. */
    PrintPreviewDialog* previewDialog() const { return m_preview; }

protected:
    bool event(QEvent* event) override;

private:
    void fillFontSizes();
    void showFormat();

    ReportOptionsForm m_form;
    Platform& m_platform;
    Previewer m_previewer;
    std::unique_ptr<PrintSheet> m_printSheet;
    QPointer<PrintPreviewDialog> m_preview;

    QComboBox* m_format = nullptr;
    QComboBox* m_fontSize = nullptr;
    QLabel* m_stock = nullptr;
    QSpinBox* m_start = nullptr;
    QCheckBox* m_skip = nullptr;
    QLineEdit* m_country = nullptr;
    QCheckBox* m_printCountry = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_selected = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace quillon
