#include "ui/ToolIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

#include <functional>

namespace quillon {

namespace {

constexpr int kSize = 32;

QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    draw(p);
    p.end();
    return QIcon(pixmap);
}

QIcon letter(const QString& text, bool bold, bool italic, bool underline, QColor color = QColor(0x20, 0x20, 0x20))
{
    return drawn([&](QPainter& p) {
        QFont f(QStringLiteral("Serif"));
        f.setPixelSize(text.size() > 1 ? 13 : 24);
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(underline);
        p.setFont(f);
        p.setPen(color);
        p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, text);
    });
}

void sheetGrid(QPainter& p, bool block)
{
    p.drawRect(QRectF(4, 6, 24, 20));
    for (int y : {12, 19})
        p.drawLine(QPointF(4, y), QPointF(28, y));
    if (block) {
        p.drawLine(QPointF(12, 6), QPointF(12, 26));
        p.drawLine(QPointF(20, 6), QPointF(20, 26));
        p.fillRect(QRectF(12, 12, 8, 7), QColor(0x30, 0x60, 0xC0));
    } else {
        p.fillRect(QRectF(4, 12, 24, 7), QColor(0x30, 0x60, 0xC0));
    }
}

QIcon glyph(const QString& key)
{
    if (key == QLatin1String("Bold"))
        return letter(QStringLiteral("B"), true, false, false);
    if (key == QLatin1String("Italic"))
        return letter(QStringLiteral("I"), false, true, false);
    if (key == QLatin1String("Underline"))
        return letter(QStringLiteral("U"), false, false, true);
    if (key == QLatin1String("Web") || key == QLatin1String("Result"))
        return drawn([&](QPainter& p) {
            if (key == QLatin1String("Result")) {
                sheetGrid(p, false);
                return;
            }
            p.drawEllipse(QRectF(5, 5, 22, 22));
            p.drawEllipse(QRectF(11, 5, 10, 22));
            p.drawLine(QPointF(5, 16), QPointF(27, 16));
        });
    if (key == QLatin1String("Cut"))
        return drawn([](QPainter& p) {
            p.drawEllipse(QRectF(5, 20, 7, 7));
            p.drawEllipse(QRectF(20, 20, 7, 7));
            p.drawLine(QPointF(11, 21), QPointF(23, 4));
            p.drawLine(QPointF(21, 21), QPointF(9, 4));
        });
    if (key == QLatin1String("Copy"))
        return drawn([](QPainter& p) {
            p.drawRect(QRectF(5, 4, 15, 18));
            p.fillRect(QRectF(12, 10, 15, 18), Qt::white);
            p.drawRect(QRectF(12, 10, 15, 18));
        });
    if (key == QLatin1String("Paste"))
        return drawn([](QPainter& p) {
            p.drawRect(QRectF(6, 6, 20, 22));
            p.fillRect(QRectF(11, 3, 10, 6), QColor(0x80, 0x80, 0x80));
            p.drawLine(QPointF(10, 15), QPointF(22, 15));
            p.drawLine(QPointF(10, 21), QPointF(22, 21));
        });
    if (key == QLatin1String("Undo") || key == QLatin1String("Redo")) {
        const bool undo = key == QLatin1String("Undo");
        return drawn([undo](QPainter& p) {
            // A curved arrow: back to the left for Undo, on to the right for Redo.
            if (!undo) {
                p.translate(kSize, 0);
                p.scale(-1, 1);
            }
            QPainterPath curve;
            curve.moveTo(9, 12);
            curve.cubicTo(22, 6, 31, 16, 24, 26);
            p.drawPath(curve);
            QPainterPath head;
            head.moveTo(4, 12);
            head.lineTo(12, 6);
            head.lineTo(12, 18);
            head.closeSubpath();
            p.fillPath(head, QColor(0x30, 0x30, 0x30));
        });
    }
    if (key == QLatin1String("Find"))
        return drawn([](QPainter& p) {
            p.drawEllipse(QRectF(5, 5, 15, 15));
            p.setPen(QPen(QColor(0x30, 0x30, 0x30), 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(18, 18), QPointF(27, 27));
        });
    if (key == QLatin1String("Acolor"))
        return drawn([](QPainter& p) {
            const QColor swatches[] = {Qt::black, Qt::red, QColor(0x80, 0, 0), QColor(0, 0x80, 0)};
            for (int i = 0; i < 4; ++i)
                p.fillRect(QRectF(4 + (i % 2) * 12, 4 + (i / 2) * 12, 11, 11), swatches[i]);
            p.drawLine(QPointF(20, 27), QPointF(28, 27));
        });
    if (key == QLatin1String("Flood"))
        return drawn([](QPainter& p) {
            QPainterPath bucket;
            bucket.moveTo(6, 12);
            bucket.lineTo(16, 4);
            bucket.lineTo(26, 14);
            bucket.lineTo(16, 24);
            bucket.closeSubpath();
            p.drawPath(bucket);
            p.setBrush(QColor(0xC0, 0xFF, 0xC0));
            p.drawEllipse(QRectF(22, 20, 7, 9));
        });
    if (key == QLatin1String("RowMode"))
        return drawn([](QPainter& p) { sheetGrid(p, false); });
    if (key == QLatin1String("BlockMode"))
        return drawn([](QPainter& p) { sheetGrid(p, true); });
    if (key == QLatin1String("DragMode"))
        return drawn([](QPainter& p) {
            p.drawLine(QPointF(16, 3), QPointF(16, 29));
            p.drawLine(QPointF(3, 16), QPointF(29, 16));
            for (const auto& [a, b, c] : {std::tuple{QPointF(12, 7), QPointF(16, 3), QPointF(20, 7)},
                                          std::tuple{QPointF(12, 25), QPointF(16, 29), QPointF(20, 25)},
                                          std::tuple{QPointF(7, 12), QPointF(3, 16), QPointF(7, 20)},
                                          std::tuple{QPointF(25, 12), QPointF(29, 16), QPointF(25, 20)}}) {
                p.drawLine(a, b);
                p.drawLine(b, c);
            }
        });
    if (key == QLatin1String("AlternateColor"))
        return drawn([](QPainter& p) {
            for (int i = 0; i < 4; ++i)
                p.fillRect(QRectF(4, 5 + i * 6, 24, 6), i % 2 ? QColor(0xC0, 0xFF, 0xC0) : QColor(Qt::white));
            p.drawRect(QRectF(4, 5, 24, 24));
        });
    if (key == QLatin1String("map"))
        return drawn([](QPainter& p) {
            QPainterPath pin;
            pin.moveTo(16, 29);
            pin.cubicTo(4, 16, 6, 3, 16, 3);
            pin.cubicTo(26, 3, 28, 16, 16, 29);
            p.setBrush(QColor(0xD0, 0x30, 0x30));
            p.drawPath(pin);
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(12, 8, 8, 8));
        });
    if (key == QLatin1String("phone"))
        return drawn([](QPainter& p) {
            QPainterPath handset;
            handset.moveTo(6, 8);
            handset.cubicTo(6, 20, 12, 26, 24, 26);
            p.setPen(QPen(QColor(0x30, 0x30, 0x30), 5, Qt::SolidLine, Qt::RoundCap));
            p.drawPath(handset);
        });
    if (key == QLatin1String("KeyWorkshop"))
        return drawn([](QPainter& p) {
            // A key over a page of text: teaching Quillon a site.
            p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1.5));
            for (int y = 6; y <= 26; y += 5)
                p.drawLine(QPointF(4, y), QPointF(18, y));
            p.setPen(QPen(QColor(0xb0, 0x80, 0x10), 3, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(17, 5, 10, 10));
            p.drawLine(QPointF(22, 15), QPointF(22, 28));
            p.drawLine(QPointF(22, 24), QPointF(26, 24));
        });
    if (key == QLatin1String("ContinueGrab"))
        return drawn([](QPainter& p) {
            // The grab arrow under a bar: grabbing goes on from where it stood.
            p.fillRect(QRectF(5, 3, 22, 4), QColor(0x30, 0x30, 0x30));
            p.setBrush(QColor(0x20, 0x90, 0x30));
            QPainterPath arrow;
            arrow.moveTo(16, 29);
            arrow.lineTo(6, 18);
            arrow.lineTo(12, 18);
            arrow.lineTo(12, 10);
            arrow.lineTo(20, 10);
            arrow.lineTo(20, 18);
            arrow.lineTo(26, 18);
            arrow.closeSubpath();
            p.drawPath(arrow);
        });
    if (key == QLatin1String("StartGrab"))
        return drawn([](QPainter& p) {
            p.setBrush(QColor(0x20, 0x90, 0x30));
            QPainterPath arrow;
            arrow.moveTo(16, 28);
            arrow.lineTo(5, 15);
            arrow.lineTo(12, 15);
            arrow.lineTo(12, 4);
            arrow.lineTo(20, 4);
            arrow.lineTo(20, 15);
            arrow.lineTo(27, 15);
            arrow.closeSubpath();
            p.drawPath(arrow);
        });
    return letter(key.left(4), false, false, false);
}

struct ThemeEntry
{
    const char* key;
    const char* theme;
    QStyle::StandardPixmap standard;
};

// Keys whose picture the desktop theme or the style has; the rest are drawn.
constexpr ThemeEntry kThemed[] = {
    {"New", "document-new", QStyle::SP_FileIcon},
    {"Open", "document-open", QStyle::SP_DialogOpenButton},
    {"Save", "document-save", QStyle::SP_DialogSaveButton},
    {"Back", "go-previous", QStyle::SP_ArrowBack},
    {"Forward", "go-next", QStyle::SP_ArrowForward},
    {"Reload", "view-refresh", QStyle::SP_BrowserReload},
    {"Stop", "process-stop", QStyle::SP_BrowserStop},
    {"Cut", "edit-cut", QStyle::SP_CustomBase},
    {"Copy", "edit-copy", QStyle::SP_CustomBase},
    {"Paste", "edit-paste", QStyle::SP_CustomBase},
    {"Undo", "edit-undo", QStyle::SP_CustomBase},
    {"Redo", "edit-redo", QStyle::SP_CustomBase},
    {"Find", "edit-find", QStyle::SP_CustomBase},
    {"Bold", "format-text-bold", QStyle::SP_CustomBase},
    {"Italic", "format-text-italic", QStyle::SP_CustomBase},
    {"Underline", "format-text-underline", QStyle::SP_CustomBase},
};

} // namespace

QIcon ToolIcon(const QString& key, const QStyle* style)
{
    for (const ThemeEntry& e : kThemed) {
        if (key != QLatin1String(e.key))
            continue;
        const QString themeName = QString::fromLatin1(e.theme);
        if (QIcon::hasThemeIcon(themeName))
            return QIcon::fromTheme(themeName);
        if (e.standard != QStyle::SP_CustomBase && style) {
            const QIcon icon = style->standardIcon(e.standard);
            if (!icon.isNull())
                return icon;
        }
        break;
    }
    return glyph(key);
}

QIcon FontColorIcon(QColor color)
{
    return drawn([&](QPainter& p) {
        QFont f(QStringLiteral("Serif"));
        f.setPixelSize(20);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(0, 0, kSize, 24), Qt::AlignCenter, QStringLiteral("A"));
        p.fillRect(QRectF(5, 24, 22, 6), color);
    });
}

} // namespace quillon
