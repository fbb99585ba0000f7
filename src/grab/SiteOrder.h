#pragma once

#include <QStringList>

namespace quillon {

class colKests;
class RecordSheet;

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

/**
 * Brings @p sites into the order of @p names (the site list after Save): for each
 * position i from 1 on, the first entry from i onward whose ListName is names[i-1]
 * exchanges its ListName, FileName, Avail and URL with entry i; Index values stay
 * where they are. A name without an entry leaves position i as it is.
 */
void ApplySiteOrder(colKests& sites, const QStringList& names);

/** The site table of @p sites in their order: the header row "Site", "Key file",
 *  "Grab", "Start address", then one row per site with its ListName, FileName,
 *  Avail ("1" or "0") and URL. */
void BuildSiteTable(const colKests& sites, RecordSheet& table);

/** Writes BuildSiteTable() of @p sites as a native grid file at @p path, making its
 *  folder when needed; false with the reason in @p error when it could not. */
bool SaveSiteTable(const colKests& sites, const QString& path, QString* error = nullptr);

/** The saved site order's file name, "stpl00.bin". */
inline QString SavedSiteTableName()
{
    return QStringLiteral("stpl00.bin");
}

} // namespace quillon
