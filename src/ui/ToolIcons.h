#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QStyle;

namespace quillon {

/**
 * The icon of a toolbar button by its key ("New", "Bold", "StartGrab"): the
 * desktop theme's icon where it has one, the style's standard icon, else a small
 * drawn glyph, so that every button is recognisable on any desktop.
 */
QIcon ToolIcon(const QString& key, const QStyle* style);

/** The "A" button: a letter A over a bar of @p color. */
QIcon FontColorIcon(QColor color);

} // namespace quillon
