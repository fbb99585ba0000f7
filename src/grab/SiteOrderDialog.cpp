#include "grab/SiteOrderDialog.h"

#include "ui/Twips.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

SiteOrderDialog::SiteOrderDialog(const QStringList& names, QWidget* parent) : QDialog(parent), m_order(names)
{
    setObjectName(QStringLiteral("frmSites"));
    setWindowTitle(QStringLiteral("Set Default Site & Order"));

    m_ft = new QTableWidget(this);
    m_ft->setObjectName(QStringLiteral("ft"));
    m_ft->setColumnCount(1);
    m_ft->horizontalHeader()->hide();
    m_ft->verticalHeader()->hide();
    m_ft->setSelectionMode(QAbstractItemView::SingleSelection);
    m_ft->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_ft->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_ft->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    const QStyle::StandardPixmap arrows[2] = {QStyle::SP_ArrowUp, QStyle::SP_ArrowDown};
    const char* const tips[2] = {"Move Up", "Move Down"};
    for (int i = 0; i < 2; ++i) {
        m_cmd[i] = new QToolButton(this);
        m_cmd[i]->setObjectName(QStringLiteral("cmd%1").arg(i));
        m_cmd[i]->setIcon(style()->standardIcon(arrows[i]));
        m_cmd[i]->setToolTip(QLatin1String(tips[i]));
    }
    m_cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    m_cmdSave->setObjectName(QStringLiteral("cmdSave"));
    m_cmdSave->setEnabled(false);
    m_cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdWorkshop = new QPushButton(tr("&Key Workshop..."), this);
    m_cmdWorkshop->setObjectName(QStringLiteral("cmdKeyWorkshop"));
    m_cmdWorkshop->setToolTip(tr("Close this dialog and open the selected site's key in the key workshop"));

    auto* side = new QVBoxLayout;
    side->addWidget(m_cmd[0]);
    side->addWidget(m_cmd[1]);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_ft, 1);
    top->addLayout(side);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdWorkshop);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    resize(twipsToPixels(4200), twipsToPixels(4200));
    if (parent) {
        const QPoint corner = parent->frameGeometry().topLeft();
        move(corner + QPoint(twipsToPixels(5800), twipsToPixels(1000)));
    }
    fill();

    connect(m_cmd[0], &QToolButton::clicked, this, &SiteOrderDialog::moveUp);
    connect(m_cmd[1], &QToolButton::clicked, this, &SiteOrderDialog::moveDown);
    connect(m_cmdSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdWorkshop, &QPushButton::clicked, this, [this] {
        // The order is left as it was saved; a changed one is saved or cancelled first.
        const QString site = m_order.names().value(m_order.selected());
        reject();
        if (!site.isEmpty())
            emit keyWorkshopRequested(site);
    });
    connect(m_ft, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { m_order.setSelected(row); });
}

int SiteOrderDialog::twipsToPixels(int twips) const
{
    return Twips::toPixels(twips, this);
}

void SiteOrderDialog::fill()
{
    m_ft->setRowCount(m_order.count());
    for (int i = 0; i < m_order.count(); ++i) {
        auto* item = m_ft->item(i, 0);
        if (!item) {
            item = new QTableWidgetItem;
            m_ft->setItem(i, 0, item);
        }
        item->setText(m_order.names().at(i));
    }
    showSelection();
}

void SiteOrderDialog::showSelection()
{
    if (m_order.selected() >= 0)
        m_ft->setCurrentCell(m_order.selected(), 0);
}

void SiteOrderDialog::moveUp()
{
    if (m_order.moveUp())
        fill();
    m_cmdSave->setEnabled(m_order.isSaveEnabled());
    m_cmdWorkshop->setEnabled(!m_order.isSaveEnabled());
}

void SiteOrderDialog::moveDown()
{
    if (m_order.moveDown())
        fill();
    m_cmdSave->setEnabled(m_order.isSaveEnabled());
    m_cmdWorkshop->setEnabled(!m_order.isSaveEnabled());
}

void SiteOrderDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_ft->setColumnWidth(0, qMax(0, m_ft->viewport()->width()));
}

} // namespace quillon
