#pragma once

#include "print/PrintSheet.h"

#include <QFont>
#include <QFontMetricsF>

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QPaintDevice;

namespace quillon {

/**
 * A print font measured for one paint device. Latin-1 text (almost every listing)
 * is measured from a table of advances filled as characters are met; other text
 * goes through the full text layout.
 */
class PrintFace
{
public:
    PrintFace(const QFont& font, const QPaintDevice* device);
    PrintFace(const PrintFace&) = delete;
    PrintFace& operator=(const PrintFace&) = delete;

    const QFont& font() const { return m_font; }
    const QFontMetricsF& metrics() const { return m_metrics; }
    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }

    /** Width of @p text in device units. */
    double width(const QString& text);
    /** Number of leading characters of @p text that fit into @p width (device units),
     *  never splitting a surrogate pair. */
    qsizetype fittingLength(const QString& text, double width);

private:
    QFont m_font;
    QFontMetricsF m_metrics;
    double m_ascent = 0;
    double m_descent = 0;
    // Advances of the Latin-1 characters; -1 until measured.
    std::array<float, 256> m_advance;
};

/**
 * Paints pages of a print sheet on one paint device. It keeps the fonts and their
 * metrics for the device, so that painting many pages measures each font once.
 */
class PrintSheet::Renderer
{
public:
    Renderer(const PrintSheet& sheet, QPaintDevice* device);

    /** Paints page @p page; @p withOutlines: the sheet's outlines too, under the text. */
    void paint(QPainter& painter, int page, bool withOutlines = false);

    /** @p text with tabs, line breaks and other control characters shown as blanks. */
    static QString printable(QString text) { return PrintSheet::printableText(std::move(text)); }

private:
    /** The face of the print sheet's font with @p flags at @p pointSize (0: the
     *  sheet's size), scaled. */
    PrintFace& face(int flags, double pointSize);

    const PrintSheet& m_sheet;
    QPaintDevice* m_device;
    double m_kx; // device units a twip
    double m_ky;
    // Faces by font flags and size in hundredths of a point.
    std::vector<std::pair<std::pair<int, int>, std::unique_ptr<PrintFace>>> m_faces;
    std::optional<QFont> m_headerFont;
};

} // namespace quillon
