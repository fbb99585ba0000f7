#include "edit/DeleteRecordDialog.h"

#include "ui/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace quillon {

namespace {
constexpr int kYes = 1;
constexpr int kNo = 2;
} // namespace

DeleteRecordDialog::DeleteRecordDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDelDialog"));
    setWindowTitle(QStringLiteral("Delete Record"));
    setModal(true);

    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(size, size));
    auto* text = new QLabel(QStringLiteral("Are you sure you want to delete this record?"), this);
    text->setObjectName(QStringLiteral("lblAsk"));

    m_yes = new QPushButton(QStringLiteral("&Yes"), this);
    m_yes->setObjectName(QStringLiteral("cmdYes"));
    m_yes->setDefault(true);
    m_no = new QPushButton(QStringLiteral("&No"), this);
    m_no->setObjectName(QStringLiteral("cmdNo"));
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_chkAskDel = new QCheckBox(QStringLiteral("Do not ask me next time"), this);
    m_chkAskDel->setObjectName(QStringLiteral("chkAskDel"));

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    buttons->addWidget(m_cancel);
    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addLayout(buttons);
    column->addWidget(m_chkAskDel);

    connect(m_yes, &QPushButton::clicked, this, [this] { done(kYes); });
    connect(m_no, &QPushButton::clicked, this, [this] { done(kNo); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_chkAskDel, &QCheckBox::toggled, this, &DeleteRecordDialog::dontAskAgainChanged);
}

int DeleteRecordDialog::ask()
{
    m_yes->setFocus();
    switch (exec()) {
    case kYes:
        return Platform::Yes;
    case kNo:
        return Platform::No;
    default:
        return Platform::Cancel;
    }
}

bool DeleteRecordDialog::dontAskAgain() const
{
    return m_chkAskDel->isChecked();
}

} // namespace quillon
