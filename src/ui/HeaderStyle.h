#pragma once

#include <QHeaderView>

namespace quillon {

/** The dialogs' column grids head their columns in bold white on flat green. */
inline void setGreenHeader(QHeaderView* header)
{
    header->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: #008000; color: #ffffff; font-weight: bold;"
        " border: none; border-right: 1px solid #c0c0c0; border-bottom: 1px solid #c0c0c0; }"));
}

} // namespace quillon
