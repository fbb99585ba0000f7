#include "edit/ColumnDefController.h"

#include "shell/WindowParts.h"
#include "edit/ColumnDefDialog.h"

#include <QAction>

namespace quillon {

ColumnDefController::ColumnDefController(MainModel& model, QWidget* window, QObject* parent)
    : QObject(parent), m_model(model), m_window(window)
{}

ColumnDefController::~ColumnDefController()
{
    delete m_dialog;
}

ColumnDefController* ColumnDefController::install(WindowParts& window)
{
    auto* controller = new ColumnDefController(window.model(), window.widget(), window.widget());
    for (const char* name : {"mnuEditColAttr", "mnuPUColAttr"})
        if (QAction* a = window.action(QLatin1String(name)))
            connect(a, &QAction::triggered, controller, [controller] { controller->open(true); });
    if (QAction* a = window.action(QStringLiteral("mnuColDef")))
        connect(a, &QAction::triggered, controller, [controller] { controller->open(false); });
    return controller;
}

ColumnDefDialog* ColumnDefController::openDialog() const
{
    return m_dialog;
}

void ColumnDefController::open(bool oneColumn)
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    auto* dialog = new ColumnDefDialog(m_model, oneColumn, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog = dialog;
    // A closed dialog is gone at once for the commands, though it is deleted later.
    connect(dialog, &QDialog::finished, this, [this] { m_dialog = nullptr; });
    // Modal without a nested event loop: the dialog closes itself.
    dialog->show();
}

} // namespace quillon
