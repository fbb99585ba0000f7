#pragma once

#include "contact/PhoneFormatting.h"

#include <QDialog>

class QRadioButton;

namespace quillon {

/**
 * "Format Phone Numbers": the form to write the numbers in (national or
 * international, each shown with an example of the home region) and which records
 * (the selected ones or all). Window-modal, shown with open().
 */
class FormatPhonesDialog : public QDialog
{
    Q_OBJECT

public:
    /** @p selectedRecords is the number of records selected; with one or none, all
     *  records are chosen at first. */
    FormatPhonesDialog(const PhoneNumbers& numbers, int selectedRecords, int allRecords,
                       QWidget* parent = nullptr);

    PhoneForm form() const;
    bool selectedOnly() const;

private:
    QRadioButton* m_national = nullptr;
    QRadioButton* m_international = nullptr;
    QRadioButton* m_selected = nullptr;
    QRadioButton* m_all = nullptr;
};

} // namespace quillon
