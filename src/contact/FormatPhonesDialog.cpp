#include "contact/FormatPhonesDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillon {

FormatPhonesDialog::FormatPhonesDialog(const PhoneNumbers& numbers, int selectedRecords, int allRecords,
                                       QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFormatPhones"));
    setWindowTitle(QStringLiteral("Format Phone Numbers"));
    setWindowModality(Qt::WindowModal);

    const auto example = [&numbers](PhoneNumbers::Format f) {
        const QString e = numbers.exampleNumber(f);
        return e.isEmpty() ? QString() : QStringLiteral(", as %1").arg(e);
    };
    auto* formBox = new QGroupBox(QStringLiteral("Write the numbers"), this);
    m_national =
        new QRadioButton(QStringLiteral("&National form") + example(PhoneNumbers::Format::National), formBox);
    m_national->setObjectName(QStringLiteral("optNational"));
    m_international = new QRadioButton(
        QStringLiteral("&International form") + example(PhoneNumbers::Format::International), formBox);
    m_international->setObjectName(QStringLiteral("optInternational"));
    m_national->setChecked(true);
    auto* formColumn = new QVBoxLayout(formBox);
    formColumn->addWidget(m_national);
    formColumn->addWidget(m_international);

    auto* rowsBox = new QGroupBox(QStringLiteral("In the phone column of"), this);
    m_selected = new QRadioButton(QStringLiteral("the &selected records (%1)").arg(selectedRecords), rowsBox);
    m_selected->setObjectName(QStringLiteral("optSelected"));
    m_all = new QRadioButton(QStringLiteral("&all records (%1)").arg(allRecords), rowsBox);
    m_all->setObjectName(QStringLiteral("optAll"));
    (selectedRecords > 1 ? m_selected : m_all)->setChecked(true);
    m_selected->setEnabled(selectedRecords > 0);
    auto* rowsColumn = new QVBoxLayout(rowsBox);
    rowsColumn->addWidget(m_selected);
    rowsColumn->addWidget(m_all);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(formBox);
    column->addWidget(rowsBox);
    column->addWidget(buttons);
}

PhoneForm FormatPhonesDialog::form() const
{
    return m_international->isChecked() ? PhoneForm::International : PhoneForm::National;
}

bool FormatPhonesDialog::selectedOnly() const
{
    return m_selected->isChecked();
}

} // namespace quillon
