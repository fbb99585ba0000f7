#include "app/TipDialog.h"

#include "shell/Tips.h"
#include "ui/CentreOnScreen.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

TipDialog::TipDialog(bool showTips, int firstTip, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    setModal(false);

    auto* heading = new QLabel(QStringLiteral("Did you know..."), this);
    QFont bigger = heading->font();
    bigger.setBold(true);
    bigger.setPointSizeF(bigger.pointSizeF() * 1.3);
    heading->setFont(bigger);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lblTipText"));
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setMinimumSize(360, 110);
    m_text->setFrameShape(QFrame::StyledPanel);
    m_text->setMargin(10);
    m_text->setBackgroundRole(QPalette::Base);
    m_text->setAutoFillBackground(true);

    m_show = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    m_show->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    m_show->setChecked(showTips);

    auto* next = new QPushButton(QStringLiteral("&Next Tip"), this);
    next->setObjectName(QStringLiteral("cmdNextTip"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_show);
    buttons->addStretch(1);
    buttons->addWidget(next);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);

    connect(next, &QPushButton::clicked, this, &TipDialog::nextTip);
    connect(ok, &QPushButton::clicked, this, [this] {
        emit showTipsChosen(m_show->isChecked());
        accept();
    });

    const auto count = TipTexts().size();
    m_index = count > 0 ? int(((firstTip % count) + count) % count) : 0;
    showTip();
}

QString TipDialog::currentText() const
{
    return TipTexts().value(m_index);
}

bool TipDialog::showTipsChecked() const
{
    return m_show->isChecked();
}

void TipDialog::nextTip()
{
    const auto count = TipTexts().size();
    if (count > 0)
        m_index = int((m_index + 1) % count);
    showTip();
}

void TipDialog::showTip()
{
    m_text->setText(currentText());
}

void TipDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        CentreOnScreen(this);
    }
}

} // namespace quillon
