#pragma once

#include <QObject>
#include <QPointer>

namespace quillon {

class ColumnDefDialog;
class MainModel;
class WindowParts;

/**
 * Opens the column definition dialog from the main window: "Column &Attributes..."
 * (mnuEditColAttr, and mnuPUColAttr of the sheet's popup menu) for the current column,
 * "&Column Define..." (mnuColDef, F9) for every column. The dialog is modal and
 * closes itself; one is open at a time.
 */
class ColumnDefController : public QObject
{
    Q_OBJECT

public:
    ColumnDefController(MainModel& model, QWidget* window, QObject* parent = nullptr);
    ~ColumnDefController() override;

    /** Connects the window's commands to a new controller owned by the window. */
    static ColumnDefController* install(WindowParts& window);

    /** Shows the dialog for the current column (@p oneColumn) or for every column. */
    void open(bool oneColumn);
    /** The dialog now open, or nullptr. */
    ColumnDefDialog* openDialog() const;

private:
    MainModel& m_model;
    QWidget* m_window;
    QPointer<ColumnDefDialog> m_dialog;
};

} // namespace quillon
