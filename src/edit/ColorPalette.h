#pragma once

#include <QFrame>

namespace quillon {

/**
 * The font colour palette `PanColor`: eight colour swatches (`SSPanelColor`0-7) in
 * a raised panel. The pressed swatch shows an inset bevel, the others are raised. A
 * click on a swatch or on the panel's background is reported; the palette does not
 * hide itself.
 */
class ColorPalette : public QFrame
{
    Q_OBJECT

public:
    explicit ColorPalette(QWidget* parent = nullptr);

    static constexpr int kSwatches = 8;
    QFrame* swatch(int i) const { return i >= 0 && i < kSwatches ? m_swatches[i] : nullptr; }
    int pressedSwatch() const { return m_pressed; }
    void setPressedSwatch(int i);

signals:
    void swatchClicked(int swatch);
    void backgroundClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QFrame* m_swatches[kSwatches] = {};
    int m_pressed = 0;
};

} // namespace quillon
