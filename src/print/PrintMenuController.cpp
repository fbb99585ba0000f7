#include "print/PrintMenuController.h"

#include "shell/MainModel.h"
#include "print/PrintSheetDialog.h"
#include "print/ReportOptionsDialog.h"

#include <QAction>

namespace quillon {

PrintMenuController::PrintMenuController(MainModel& model, QWidget* window, const ActionLookup& action,
                                         QObject* parent)
    : QObject(parent), m_model(model), m_window(window)
{
    if (QAction* a = action(QStringLiteral("mnuPrintSheet0")))
        connect(a, &QAction::triggered, this, &PrintMenuController::printSheet);
    if (QAction* a = action(QStringLiteral("mnuPrint")))
        connect(a, &QAction::triggered, this, &PrintMenuController::printLabels);
}

PrintMenuController::~PrintMenuController()
{
    delete m_dialog;
}

void PrintMenuController::show(QDialog* dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog = dialog;
    // Window-modal and without a nested event loop: the dialog closes itself.
    dialog->open();
}

void PrintMenuController::printSheet()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    show(new PrintSheetDialog(m_model.sheet(), m_model.platform(), m_window));
}

void PrintMenuController::printLabels()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    show(new ReportOptionsDialog(m_model.sheet(), m_model.platform(), m_window));
}

} // namespace quillon
