#pragma once

#include <QObject>
#include <QPointer>

class QFrame;
class QSplitter;
class QSplitterHandle;
class QToolButton;
class QWidget;

namespace quillon {

class MainWindow;

/**
 * The layout of the main window's Results page and its panels.
 *
 * The splitter `VBar` between the form panel and the record sheet is dragged with
 * ghost bars (`VBar1` inside its limits, `VBar2` at a limit) and dropped within
 * 3000 twips and the window's inner width less 600; the drop becomes the splitter
 * position written as "VBarLeft" at exit. `imgClose` closes the form panel; it and
 * the form panel's `imgBtn`(7) and `imgBtn`(6) sit 260, 480 and 680 twips left of
 * the splitter. "&Form Panel" (F2) and "&URL Address Box" toggle their panels.
 */
class WindowLayout : public QObject
{
    Q_OBJECT

public:
    explicit WindowLayout(MainWindow& window);

    /** The splitter's left edge in the Results page's splitter, twips. */
    int splitterLeft() const;
    /** The splitter's left edge in the window, pixels. */
    int splitterLeftInWindow() const;

    /** "&Form Panel": shows or hides the form panel and the splitter. */
    void toggleFormPanel();
    /** `imgClose`: hides the form panel and the splitter. */
    void closeFormPanel();
    /** "&URL Address Box": shows or hides the address box. */
    void toggleAddressBox();

    QToolButton* closeButton() const { return m_imgClose; }
    /** `VBar1` (@p i = 0) and `VBar2` (@p i = 1). */
    QFrame* ghostBar(int i) const { return m_ghost[i]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSplitterHandle* handle() const;
    int toPixels(int twips) const;
    int toTwips(int pixels) const;
    void beginDrag(int globalX);
    void dragTo(int globalX);
    void drop();
    /** The confined splitter position, twips, for a candidate in pixels of the splitter. */
    int confine(int candidatePixels) const;
    bool atLimit(int candidatePixels) const;
    void showGhost(int leftPixels, bool atLimit);
    void hideGhosts();
    void placeSplitter(int twips);
    void placeButtons();

    MainWindow& m_window;
    QSplitter* m_vbar;
    QWidget* m_page;
    QToolButton* m_imgClose = nullptr;
    QFrame* m_ghost[2] = {nullptr, nullptr};
    bool m_dragging = false;
    int m_pressX = 0;
    int m_startLeft = 0; ///< pixels
    int m_candidate = 0; ///< pixels
};

} // namespace quillon
