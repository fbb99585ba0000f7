#include "print/PrintRenderer.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quillon {

namespace {

// Grid lines and check box frames: half a point.
constexpr double kLineWidth = 10;
// Outlines on the preview: light grey, a device pixel wide.
constexpr QRgb kOutlineColor = 0xffb4b4b4;

} // namespace

// ---- PrintFace ------------------------------------------------------------------

PrintFace::PrintFace(const QFont& font, const QPaintDevice* device)
    : m_font(font), m_metrics(font, device), m_ascent(m_metrics.ascent()), m_descent(m_metrics.descent())
{
    m_advance.fill(-1);
}

double PrintFace::width(const QString& text)
{
    double w = 0;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u > 0xff)
            return m_metrics.horizontalAdvance(text);
        float& a = m_advance[u];
        if (a < 0)
            a = float(m_metrics.horizontalAdvance(ch));
        w += a;
    }
    return w;
}

qsizetype PrintFace::fittingLength(const QString& text, double width)
{
    qsizetype lo = 0;
    qsizetype hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (this->width(text.left(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && lo < text.size() && text.at(lo - 1).isHighSurrogate())
        --lo;
    return lo;
}

// ---- PrintSheet::Renderer -------------------------------------------------------

PrintSheet::Renderer::Renderer(const PrintSheet& sheet, QPaintDevice* device)
    : m_sheet(sheet), m_device(device), m_kx(device->logicalDpiX() / double(kTwipsPerInch)),
      m_ky(device->logicalDpiY() / double(kTwipsPerInch))
{
}

PrintFace& PrintSheet::Renderer::face(int flags, double pointSize)
{
    const double size = pointSize > 0 ? pointSize : m_sheet.m_fontPointSize;
    const std::pair<int, int> key(flags & 7, int(std::lround(size * 100)));
    for (auto& [k, f] : m_faces)
        if (k == key)
            return *f;
    m_faces.emplace_back(key, std::make_unique<PrintFace>(
                                  cellFont(m_sheet.m_fontFamily, size * m_sheet.m_scale / 100.0, key.first), m_device));
    return *m_faces.back().second;
}

void PrintSheet::Renderer::paint(QPainter& p, int page, bool withOutlines)
{
    const PrintSheet& s = m_sheet;
    const QSizeF paper = s.paperTwips();
    const QMargins m = s.m_margins;
    const double scale = s.m_scale / 100.0;
    const double pageRight = paper.width() - m.right();
    const double pageBottom = paper.height() - m.bottom();

    p.save();
    if (withOutlines && !s.m_outlines.empty()) {
        QPen outline{QColor(kOutlineColor)};
        outline.setWidth(0);
        p.setPen(outline);
        p.setBrush(Qt::NoBrush);
        for (const QRectF& r : s.m_outlines)
            p.drawRect(QRectF(r.left() * m_kx, r.top() * m_ky, r.width() * m_kx, r.height() * m_ky));
    }
    p.setPen(QPen(Qt::black));

    if (!s.m_header.isEmpty()) {
        if (!m_headerFont) {
            m_headerFont.emplace(s.m_fontFamily);
            m_headerFont->setPointSizeF(s.m_fontPointSize);
            m_headerFont->setBold(true);
        }
        p.setFont(*m_headerFont);
        const QRectF band(m.left() * m_kx, 0, (pageRight - m.left()) * m_kx, m.top() * m_ky);
        p.drawText(band, Qt::AlignCenter | Qt::TextSingleLine, printable(s.m_header));
    }

    const PageCells cells = s.pageCells(page);
    if (cells.columns.empty() || cells.firstRow >= cells.endRow || !s.m_cells) {
        p.restore();
        return;
    }
    const PrintCells& source = *s.m_cells;
    source.pageStarted();

    // Column edges in twips.
    std::vector<double> xs;
    xs.reserve(cells.columns.size() + 1);
    xs.push_back(m.left());
    for (int c : cells.columns)
        xs.push_back(xs.back() + s.columnWidth(c) * scale);
    // The text of a column reaches to its limit (the cell's edge when it has none)
    // and never past the paper's printing area.
    std::vector<double> textRight;
    textRight.reserve(cells.columns.size());
    for (size_t i = 0; i < cells.columns.size(); ++i) {
        const int limit = s.textLimit(cells.columns[i]);
        const double right = limit > 0 ? xs[i] + limit * scale : xs[i + 1];
        textRight.push_back(std::min(right, pageRight));
    }

    const double padding = kCellPadding * scale;
    std::vector<double> ys;
    ys.reserve(size_t(cells.endRow - cells.firstRow) + 1);
    ys.push_back(m.top());

    const QString hashes = QStringLiteral("###");
    const PrintFace* current = nullptr;
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
            PrintFace& f = face(source.fontFlags(r, c), source.pointSize(r, c));
            if (&f != current) {
                p.setFont(f.font());
                current = &f;
            }
            const double room = (textRight[i] - xs[i] - 2 * padding) * m_kx;
            if (room <= 0)
                continue;
            double w = f.width(text);
            double narrowing = 1;
            if (w > room) {
                switch (source.overflow(r, c)) {
                case PrintCells::Overflow::Whole:
                    narrowing = room / w;
                    w = room;
                    break;
                case PrintCells::Overflow::Hashes:
                    text = hashes;
                    w = f.width(text);
                    if (w <= room)
                        break;
                    [[fallthrough]];
                case PrintCells::Overflow::Clip:
                    text.truncate(f.fittingLength(text, room));
                    w = f.width(text);
                    break;
                }
                if (text.isEmpty())
                    continue;
            }
            const double left = (xs[i] + padding) * m_kx;
            double x = left;
            const Qt::Alignment align = source.alignment(r, c);
            if (align & Qt::AlignRight)
                x = std::max(left, (textRight[i] - padding) * m_kx - w);
            else if (align & Qt::AlignHCenter)
                x = std::max(left, (xs[i] + textRight[i]) / 2 * m_kx - w / 2);
            const double baseline = (top + height / 2) * m_ky + (f.ascent() - f.descent()) / 2;
            if (narrowing < 1) {
                p.save();
                p.translate(x, baseline);
                p.scale(narrowing, 1);
                p.drawText(QPointF(0, 0), text);
                p.restore();
            } else {
                p.drawText(QPointF(x, baseline), text);
            }
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
