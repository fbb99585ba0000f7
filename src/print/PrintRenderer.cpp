#include "print/PrintRenderer.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <vector>

namespace quillon {

namespace {

// Blank space between a cell's edge and its text, in twips before scaling.
constexpr double kCellPadding = 40;
// Grid lines and check box frames: half a point.
constexpr double kLineWidth = 10;

} // namespace

PrintSheet::Renderer::Renderer(const PrintSheet& sheet, QPaintDevice* device)
    : m_sheet(sheet), m_device(device), m_kx(device->logicalDpiX() / double(kTwipsPerInch)),
      m_ky(device->logicalDpiY() / double(kTwipsPerInch))
{
}

QString PrintSheet::Renderer::printable(QString text)
{
    for (QChar& ch : text)
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7f)
            ch = QLatin1Char(' ');
    return text;
}

PrintSheet::Renderer::Face& PrintSheet::Renderer::face(int flags)
{
    std::optional<Face>& slot = m_faces[size_t(flags & 7)];
    if (!slot) {
        slot.emplace();
        Face& f = *slot;
        f.font = QFont(m_sheet.m_fontFamily);
        f.font.setPointSizeF(std::max(0.5, m_sheet.m_fontPointSize * m_sheet.m_scale / 100.0));
        f.font.setKerning(false);
        f.font.setBold(flags & CellStyle::Bold);
        f.font.setItalic(flags & CellStyle::Italic);
        f.font.setUnderline(flags & CellStyle::Underline);
        f.metrics.emplace(f.font, m_device);
        f.ascent = f.metrics->ascent();
        f.descent = f.metrics->descent();
        f.advance.fill(-1);
    }
    return *slot;
}

double PrintSheet::Renderer::textWidth(Face& f, const QString& text)
{
    // Latin-1 text (almost every listing) is measured from a table of advances; other
    // text goes through the full text layout.
    double w = 0;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u > 0xff)
            return f.metrics->horizontalAdvance(text);
        float& a = f.advance[u];
        if (a < 0)
            a = float(f.metrics->horizontalAdvance(ch));
        w += a;
    }
    return w;
}

qsizetype PrintSheet::Renderer::fittingLength(Face& f, const QString& text, double width)
{
    qsizetype lo = 0;
    qsizetype hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (textWidth(f, text.left(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && lo < text.size() && text.at(lo - 1).isHighSurrogate())
        --lo;
    return lo;
}

void PrintSheet::Renderer::paint(QPainter& p, int page)
{
    const PrintSheet& s = m_sheet;
    const QSizeF paper = s.paperTwips();
    const QMargins m = s.m_margins;
    const double scale = s.m_scale / 100.0;
    const double pageRight = paper.width() - m.right();
    const double pageBottom = paper.height() - m.bottom();

    p.save();
    p.setPen(QPen(Qt::black));

    if (!s.m_header.isEmpty()) {
        if (!m_headerFace) {
            m_headerFace.emplace();
            m_headerFace->font = QFont(s.m_fontFamily);
            m_headerFace->font.setPointSizeF(s.m_fontPointSize);
            m_headerFace->font.setBold(true);
        }
        p.setFont(m_headerFace->font);
        const QRectF band(m.left() * m_kx, 0, (pageRight - m.left()) * m_kx, m.top() * m_ky);
        p.drawText(band, Qt::AlignCenter | Qt::TextSingleLine, printable(s.m_header));
    }

    const PageCells cells = s.pageCells(page);
    if (cells.columns.empty() || cells.firstRow >= cells.endRow || !s.m_cells) {
        p.restore();
        return;
    }
    const PrintCells& source = *s.m_cells;

    // Column edges in twips.
    std::vector<double> xs;
    xs.reserve(cells.columns.size() + 1);
    xs.push_back(m.left());
    for (int c : cells.columns)
        xs.push_back(xs.back() + s.columnWidth(c) * scale);
    // The text of a column reaches at most to its limit and never past the paper's
    // printing area.
    std::vector<double> textRight;
    textRight.reserve(cells.columns.size());
    for (size_t i = 0; i < cells.columns.size(); ++i) {
        const int limit = s.textLimit(cells.columns[i]);
        double right = xs[i + 1];
        if (limit > 0)
            right = std::min(right, xs[i] + limit * scale);
        textRight.push_back(std::min(right, pageRight));
    }

    const double padding = kCellPadding * scale;
    std::vector<double> ys;
    ys.reserve(size_t(cells.endRow - cells.firstRow) + 1);
    ys.push_back(m.top());

    int currentFlags = -1;
    for (int r = cells.firstRow; r < cells.endRow; ++r) {
        const double top = ys.back();
        const double height = s.rowHeight(r) * scale;
        ys.push_back(top + height);
        for (size_t i = 0; i < cells.columns.size(); ++i) {
            const int c = cells.columns[i];
            QString text = source.text(r, c);
            if (text.isEmpty())
                continue;
            text = printable(std::move(text));
            const int flags = source.fontFlags(r, c) & 7;
            Face& f = face(flags);
            if (flags != currentFlags) {
                p.setFont(f.font);
                currentFlags = flags;
            }
            const double room = (textRight[i] - xs[i] - 2 * padding) * m_kx;
            if (room <= 0)
                continue;
            double w = textWidth(f, text);
            if (w > room) {
                text.truncate(fittingLength(f, text, room));
                if (text.isEmpty())
                    continue;
                w = textWidth(f, text);
            }
            const double left = (xs[i] + padding) * m_kx;
            double x = left;
            const Qt::Alignment align = source.alignment(r, c);
            if (align & Qt::AlignRight)
                x = std::max(left, (textRight[i] - padding) * m_kx - w);
            else if (align & Qt::AlignHCenter)
                x = std::max(left, (xs[i] + textRight[i]) / 2 * m_kx - w / 2);
            const double baseline = (top + height / 2) * m_ky + (f.ascent - f.descent) / 2;
            p.drawText(QPointF(x, baseline), text);
        }
    }

    QPen line(Qt::black);
    line.setWidthF(kLineWidth * m_kx);
    line.setCapStyle(Qt::FlatCap);
    p.setPen(line);

    if (s.m_gridLines) {
        const double right = std::min(xs.back(), pageRight);
        const double bottom = std::min(ys.back(), pageBottom);
        std::vector<QLineF> lines;
        lines.reserve(xs.size() + ys.size());
        for (double y : ys)
            if (y <= bottom + 0.5)
                lines.emplace_back(xs.front() * m_kx, y * m_ky, right * m_kx, y * m_ky);
        for (double x : xs)
            if (x <= right + 0.5)
                lines.emplace_back(x * m_kx, ys.front() * m_ky, x * m_kx, bottom * m_ky);
        p.drawLines(lines.data(), int(lines.size()));
    }

    for (const CheckBoxColumn& boxes : s.m_checkBoxes) {
        const auto it = std::find(cells.columns.begin(), cells.columns.end(), boxes.col);
        if (it == cells.columns.end())
            continue;
        const size_t i = size_t(it - cells.columns.begin());
        const double cw = xs[i + 1] - xs[i];
        const double l = std::clamp(boxes.left, 0.0, 1.0);
        const double rr = std::clamp(boxes.right, l, 1.0);
        const double t = std::clamp(boxes.top, 0.0, 1.0);
        const double b = std::clamp(boxes.bottom, t, 1.0);
        for (int r = cells.firstRow; r < cells.endRow; ++r) {
            const double top = ys[size_t(r - cells.firstRow)];
            const double rh = ys[size_t(r - cells.firstRow) + 1] - top;
            const QRectF box((xs[i] + l * cw) * m_kx, (top + t * rh) * m_ky, (rr - l) * cw * m_kx,
                             (b - t) * rh * m_ky);
            p.fillRect(box, Qt::white);
            p.drawRect(box);
            if (source.isChecked(r, boxes.col)) {
                const QPointF mark[3] = {
                    QPointF(box.left() + box.width() * 0.2, box.top() + box.height() * 0.5),
                    QPointF(box.left() + box.width() * 0.42, box.top() + box.height() * 0.78),
                    QPointF(box.left() + box.width() * 0.82, box.top() + box.height() * 0.2),
                };
                p.drawPolyline(mark, 3);
            }
        }
    }
    p.restore();
}

} // namespace quillon
