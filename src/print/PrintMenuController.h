#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QDialog;
class QWidget;

namespace quillon {

class MainModel;

/**
 * Connects the File menu's print commands to their dialogs: "Print &Sheet..."
 * (mnuPrintSheet0) opens "Print Sheet ", "&Print Mailing Labels..." (mnuPrint)
 * opens "Address Labels Printing". The dialogs are modal to the main window and
 * close themselves; one is open at a time.
 */
class PrintMenuController : public QObject
{
    Q_OBJECT

public:
    /** Finds an action by its command name ("mnuPrint"); nullptr when absent. */
    using ActionLookup = std::function<QAction*(const QString& name)>;

    PrintMenuController(MainModel& model, QWidget* window, const ActionLookup& action, QObject* parent = nullptr);
    ~PrintMenuController() override;

    /** "Print &Sheet...". */
    void printSheet();
    /** "&Print Mailing Labels...". */
    void printLabels();

    /** The print dialog now open, or nullptr. */
    QDialog* openDialog() const { return m_dialog; }

private:
    void show(QDialog* dialog);

    MainModel& m_model;
    QWidget* m_window;
    QPointer<QDialog> m_dialog;
};

} // namespace quillon
