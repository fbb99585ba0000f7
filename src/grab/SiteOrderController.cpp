#include "grab/SiteOrderController.h"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/WindowParts.h"
#include "grab/GrabController.h"
#include "grab/GrabSession.h"
#include "grab/KeyWorkshopController.h"
#include "grab/SiteOrder.h"
#include "grab/SiteOrderDialog.h"
#include "ui/Platform.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QStyle>
#include <QToolButton>

namespace quillon {

SiteOrderController* SiteOrderController::install(WindowParts& window)
{
    auto* grab = window.widget()->findChild<GrabController*>();
    return grab ? new SiteOrderController(window, grab->session()) : nullptr;
}

SiteOrderController::SiteOrderController(WindowParts& window, GrabSession& session)
    : QObject(window.widget()), m_window(window), m_session(session)
{
    setObjectName(QStringLiteral("SiteOrderController"));
    QComboBox* cboKest2 = window.siteList();
    QWidget* bar = cboKest2->parentWidget();
    m_cmdUpDown = new QToolButton(bar);
    m_cmdUpDown->setObjectName(QStringLiteral("cmdUpDown"));
    m_cmdUpDown->setIcon(m_cmdUpDown->style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    m_cmdUpDown->setToolTip(QStringLiteral("Set Default Site & Order"));
    if (auto* layout = qobject_cast<QBoxLayout*>(bar->layout()))
        layout->insertWidget(layout->indexOf(cboKest2) + 1, m_cmdUpDown);
    connect(m_cmdUpDown, &QToolButton::clicked, this, &SiteOrderController::openDialog);
}

SiteOrderDialog* SiteOrderController::dialog() const
{
    return m_dialog;
}

QString SiteOrderController::savedTablePath()
{
    return AppPaths::userDataFolder() + QLatin1Char('/') + SavedSiteTableName();
}

SiteOrderDialog* SiteOrderController::openDialog()
{
    if (m_dialog) {
        m_dialog->raise();
        return m_dialog;
    }
    QComboBox* cboKest2 = m_window.siteList();
    QStringList names;
    for (int i = 0; i < cboKest2->count(); ++i)
        names << cboKest2->itemText(i);
    auto* dialog = new SiteOrderDialog(names, m_window.widget());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { save(dialog->order()); });
    connect(dialog, &SiteOrderDialog::keyWorkshopRequested, this, &SiteOrderController::openWorkshop);
    m_dialog = dialog;
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    return dialog;
}

void SiteOrderController::openWorkshop(const QString& site)
{
    auto* workshop = m_window.widget()->findChild<KeyWorkshopController*>();
    QComboBox* cboKest2 = m_window.siteList();
    const int index = cboKest2->findText(site);
    if (!workshop || index < 0)
        return;
    if (index != m_session.currentSite()) {
        // The site chosen first, as a pick from the list chooses it; then the workshop.
        const QSignalBlocker blocker(cboKest2);
        cboKest2->setCurrentIndex(index);
        m_session.SelectSite(index);
    }
    workshop->open();
}

void SiteOrderController::save(const QStringList& names)
{
    // 1. and 2.: the site list in the new order, the chosen site shown again. The
    // chosen site does not change, so it is not chosen anew (no reload, no warning).
    QComboBox* cboKest2 = m_window.siteList();
    const QString shown = cboKest2->currentText();
    const int shownAt = cboKest2->currentIndex();
    {
        const QSignalBlocker blocker(cboKest2);
        cboKest2->clear();
        cboKest2->addItems(names);
        cboKest2->setCurrentIndex(shownAt < 0 ? -1 : int(names.indexOf(shown)));
    }
    QStringList order;
    for (int i = 0; i < cboKest2->count(); ++i)
        order << cboKest2->itemText(i);

    // 3.: the catalog in the same order.
    m_session.reorderSites(order, cboKest2->currentIndex());

    // 4.: the site table as the next start reads it.
    QString error;
    if (!SaveSiteTable(m_session.mKests(), savedTablePath(), &error)) {
        m_window.model().platform().message(QStringLiteral("Set Default Site & Order"),
                                            QStringLiteral("The site order cannot be saved to '%1'. %2")
                                                .arg(QDir::toNativeSeparators(savedTablePath()), error),
                                            Platform::Ok, Platform::Warning);
    }
}

} // namespace quillon
