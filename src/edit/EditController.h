#pragma once

#include "edit/ColorPalette.h"
#include "edit/FindWindow.h"
#include "ui/SheetView.h"

#include <QObject>
#include <QPointer>
#include <QTabWidget>
#include <QToolButton>

class QAction;

namespace quillon {

class DeleteRecordDialog;
class EditCommands;
class WindowParts;

/**
 * Connects the editing commands of the main window to EditCommands: the Edit, View
 * and Tools menu entries of the record sheet, the right-click menu's entries, the
 * sheet toolbar's editing buttons, the title click (sort), in-place editing, the keys
 * and mouse reactions of the sheet, the font colour palette `PanColor`, the record
 * navigation buttons `imgBtn` 0-7 beside the form panel, the find window `frmSearch`
 * and the delete confirmation `frmDelDialog`.
 */
class EditController : public QObject
{
    Q_OBJECT

public:
    static EditController* install(WindowParts& window);
    ~EditController() override;

    EditCommands& commands() const { return *m_commands; }

    /** "&Find...": shows the find window (loading it when it is not loaded). */
    void showFindWindow();
    /** The loaded find window, or nullptr. */
    FindWindow* findWindow() const { return m_find; }
    /** The delete confirmation; made on first use and kept (hidden) afterwards. */
    DeleteRecordDialog* deleteDialog();
    ColorPalette* palette() const { return m_palette.data(); }
    /** `imgBtn`(@p i), i = 0 .. 7. */
    QToolButton* navigationButton(int i) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit EditController(WindowParts& window);
    void wireMenus();
    void wireSheet();
    void buildNavigationButtons();
    void showNavigationButtons();
    void placeNavigationRow();
    void startCellEdit();
    void placePalette();
    /** Drag mode: a press on the selected records picks them up, the release drops
     *  them; true when @p event was taken. */
    bool dragRecords(QEvent* event);

    WindowParts& m_window;
    EditCommands* m_commands;
    QPointer<ColorPalette> m_palette;
    QPointer<SheetView> m_fa;
    QPointer<QWidget> m_faViewport;
    QPointer<QTabWidget> m_formTab;
    QPointer<FindWindow> m_find;
    DeleteRecordDialog* m_deleteDialog = nullptr;
    QPointer<QToolButton> m_navigation[8];
    QPointer<QWidget> m_navigationRow;
    bool m_dragging = false;
};

} // namespace quillon
