#include "contact/ContactCommands.h"

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "contact/ContactEditCommands.h"
#include "contact/DialDialog.h"
#include "contact/DialSettings.h"
#include "contact/FormatPhonesDialog.h"
#include "contact/MergeContactsDialog.h"
#include "contact/WebLinks.h"
#include "ui/Platform.h"

#include <QAction>
#include <QTreeView>

namespace quillon {

ContactCommands::ContactCommands(MainModel& model, QWidget* window, QObject* parent)
    : QObject(parent), m_model(model), m_window(window), m_edits(new ContactEditCommands(model, this))
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
    connectAction(action, QStringLiteral("mnuMergeContacts"), &ContactCommands::runMerge);
    connectAction(action, QStringLiteral("mnuFormatPhones"), &ContactCommands::runFormat);
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

MergeContactsDialog* ContactCommands::mergeDuplicateContacts()
{
    const ContactMergePlan* plan = m_edits->planMerge();
    if (!plan)
        return nullptr;
    auto* dialog = new MergeContactsDialog(m_model.sheet(), *plan, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The dialog reads the plan and the sheet while it is open: it is gone before
    // either changes.
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        dialog->groupView()->setModel(nullptr);
        if (result == QDialog::Accepted)
            m_edits->applyMerge();
        else
            m_edits->dropMerge();
    });
    dialog->open();
    return dialog;
}

FormatPhonesDialog* ContactCommands::formatPhoneNumbers()
{
    const RecordSheet& sheet = m_model.sheet();
    auto* dialog = new FormatPhonesDialog(PhoneNumbers::fromSettings(m_model.settings()), sheet.selectedRowCount(),
                                          sheet.recordCount(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_edits->formatPhoneNumbers(dialog->form(), dialog->selectedOnly());
    });
    dialog->open();
    return dialog;
}

} // namespace quillon
