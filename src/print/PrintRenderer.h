#pragma once

#include "print/PrintSheet.h"

#include <QFont>
#include <QFontMetricsF>

#include <array>
#include <optional>

class QPaintDevice;

namespace quillon {

/**
 * Paints pages of a print sheet on one paint device. It keeps the fonts and their
 * metrics for the device, so that painting many pages measures each font once.
 */
class PrintSheet::Renderer
{
public:
    Renderer(const PrintSheet& sheet, QPaintDevice* device);

    void paint(QPainter& painter, int page);

    /** @p text with tabs, line breaks and other control characters shown as blanks. */
    static QString printable(QString text);

private:
    struct Face
    {
        QFont font;
        std::optional<QFontMetricsF> metrics;
        double ascent = 0;
        double descent = 0;
        // Advances of the Latin-1 characters; -1 until measured.
        std::array<float, 256> advance;
    };

    Face& face(int flags);
    double textWidth(Face& face, const QString& text);
    /** Number of leading characters of @p text that fit into @p width. */
    qsizetype fittingLength(Face& face, const QString& text, double width);

    const PrintSheet& m_sheet;
    QPaintDevice* m_device;
    double m_kx; // device units a twip
    double m_ky;
    std::array<std::optional<Face>, 8> m_faces;
    std::optional<Face> m_headerFace;
};

} // namespace quillon
