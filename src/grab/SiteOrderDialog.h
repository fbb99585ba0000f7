#pragma once

#include "grab/SiteOrder.h"

#include <QDialog>

class QPushButton;
class QTableWidget;
class QToolButton;

namespace quillon {

/**
 * "Set Default Site & Order" (frmSites): the sites of the site list in a one-column
 * grid `ft`, moved up and down with the buttons `cmd`(0) and `cmd`(1). Save accepts
 * the dialog with the new order in order(); Cancel rejects it and nothing changes.
 * The system clipboard is not used.
 */
class SiteOrderDialog : public QDialog
{
    Q_OBJECT

public:
    /** @p names: the entries of the site list in order. Placed 1000 twips below and
     *  5800 twips right of @p parent's top left corner. */
    explicit SiteOrderDialog(const QStringList& names, QWidget* parent = nullptr);

    /** The order shown now. */
    const QStringList& order() const { return m_order.names(); }
    const SiteOrder& model() const { return m_order; }
    QTableWidget* grid() const { return m_ft; }

    void moveUp();
    void moveDown();

signals:
    /** "Key Workshop...": the dialog closed without saving, the workshop is to open on
     *  the site @p name. Offered while the order is unchanged. */
    void keyWorkshopRequested(const QString& name);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fill();
    void showSelection();
    int twipsToPixels(int twips) const;

    SiteOrder m_order;
    QTableWidget* m_ft = nullptr;
    QToolButton* m_cmd[2] = {nullptr, nullptr};
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdWorkshop = nullptr;
};

} // namespace quillon
