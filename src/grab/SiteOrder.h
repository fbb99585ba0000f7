#pragma once

#include <QStringList>

namespace quillon {

/**
 * The list of the site order dialog: the display names of the directory sites in
 * the order of the site list, a selected row that follows the row it moves, and
 * whether Save has been enabled by a move button.
 */
class SiteOrder
{
public:
    explicit SiteOrder(QStringList names = {});

    const QStringList& names() const { return m_names; }
    int count() const { return int(m_names.size()); }

    /** The selected row, -1 when the list is empty. */
    int selected() const { return m_selected; }
    /** Selects @p row; a row outside the list is ignored. */
    void setSelected(int row);

    /** Moves the selected site one row up (nothing for the first row); the selection
     *  follows it and Save becomes enabled. True when the order changed. */
    bool moveUp();
    /** Moves the selected site one row down (nothing for the last row); the selection
     *  follows it and Save becomes enabled. True when the order changed. */
    bool moveDown();

    bool isSaveEnabled() const { return m_saveEnabled; }

private:
    bool move(int by);

    QStringList m_names;
    int m_selected = -1;
    bool m_saveEnabled = false;
};

} // namespace quillon
