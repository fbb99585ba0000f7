#include "contact/ContactCommands.h"

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "contact/DialDialog.h"
#include "contact/DialSettings.h"
#include "contact/WebLinks.h"
#include "ui/Platform.h"

#include <QAction>

namespace quillon {

ContactCommands::ContactCommands(MainModel& model, QWidget* window, QObject* parent)
    : QObject(parent), m_model(model), m_window(window)
{}

ContactCommands::ContactCommands(MainModel& model, QWidget* window, const ActionLookup& action,
                                 QObject* parent)
    : ContactCommands(model, window, parent)
{
    connectAction(action, QStringLiteral("mnuTools_DialPhone"), &ContactCommands::runDialPhone);
    connectAction(action, CommandStates::button(0, QStringLiteral("phone")), &ContactCommands::runDialPhone);
    connectAction(action, QStringLiteral("mnuMap"), &ContactCommands::showMap);
    connectAction(action, CommandStates::button(0, QStringLiteral("map")), &ContactCommands::showMap);
    connectAction(action, QStringLiteral("mnuWeb"), &ContactCommands::openHomePage);
}

void ContactCommands::connectAction(const ActionLookup& action, const QString& name,
                                    void (ContactCommands::*run)())
{
    if (QAction* a = action ? action(name) : nullptr)
        connect(a, &QAction::triggered, this, run);
}

DialDialog* ContactCommands::dialPhone()
{
    if (m_dialer) {
        m_dialer->raise();
        m_dialer->activateWindow();
        return m_dialer;
    }
    auto* dialog = new DialDialog(m_model.settings(), m_model.platform(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setNumber(
        DialNumber(m_model.sheet(), dialog->dialOne(), dialog->longDistance(), dialog->phoneNumbers()));
    m_dialer = dialog;
    // Modal without a nested event loop: the dialog is shown and the command returns.
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    return dialog;
}

DialDialog* ContactCommands::dialer() const
{
    return m_dialer;
}

void ContactCommands::showMap()
{
    const QString query = WebLinks::mapQueryText(WebLinks::mapTemplate(m_model.settings()), m_model.sheet());
    m_model.platform().openUrl(WebLinks::mapUrl(query));
}

void ContactCommands::openHomePage()
{
    m_model.platform().openUrl(WebLinks::homePage(m_model.settings()));
}

} // namespace quillon
