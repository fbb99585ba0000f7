#include "app/AboutDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

QString AboutDialog::versionText()
{
    return QStringLiteral(QUILLON_VERSION_TEXT);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillon"));
    setModal(false);

    auto* title = new QLabel(QStringLiteral("Quillon"), this);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.8);
    title->setFont(big);

    auto* version = new QLabel(QStringLiteral("Version ") + versionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));

    auto* description = new QLabel(
        QStringLiteral("Builds contact lists from online telephone-directory sites: search a directory in the "
                       "built-in browser, grab the result pages into the record sheet, then edit, sort, "
                       "save, print, map and dial your records."),
        this);
    description->setWordWrap(true);
    description->setMinimumWidth(320);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addSpacing(8);
    layout->addWidget(description);
    layout->addSpacing(8);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

} // namespace quillon
