#include "grab/SiteOrder.h"

#include "files/GridFile.h"
#include "grab/SiteCatalog.h"
#include "sheet/RecordSheet.h"

#include <QDir>
#include <QFileInfo>

namespace quillon {

SiteOrder::SiteOrder(QStringList names) : m_names(std::move(names)), m_selected(m_names.isEmpty() ? -1 : 0) {}

void SiteOrder::setSelected(int row)
{
    if (row >= 0 && row < count())
        m_selected = row;
}

bool SiteOrder::moveUp()
{
    return move(-1);
}

bool SiteOrder::moveDown()
{
    return move(+1);
}

bool SiteOrder::move(int by)
{
    m_saveEnabled = true;
    const int to = m_selected + by;
    if (m_selected < 0 || to < 0 || to >= count())
        return false;
    m_names.move(m_selected, to);
    m_selected = to;
    return true;
}

void ApplySiteOrder(colKests& sites, const QStringList& names)
{
    const int count = std::min(sites.Count(), int(names.size()));
    for (int i = 1; i <= count; ++i) {
        const QString& wanted = names.at(i - 1);
        objKest* here = sites.Item(i);
        for (int j = i; j <= sites.Count(); ++j) {
            objKest* there = sites.Item(j);
            if (there->ListName() != wanted)
                continue;
            if (there != here) {
                const objKest moved = *there;
                there->setListName(here->ListName());
                there->setFileName(here->FileName());
                there->setAvail(here->Avail());
                there->setURL(here->URL());
                here->setListName(moved.ListName());
                here->setFileName(moved.FileName());
                here->setAvail(moved.Avail());
                here->setURL(moved.URL());
            }
            break;
        }
    }
}

void BuildSiteTable(const colKests& sites, RecordSheet& table)
{
    table.setCols(0);
    table.setRows(sites.Count() + 1);
    table.setCols(4);
    const char* const titles[] = {"Site", "Key file", "Grab", "Start address"};
    for (int c = 0; c < 4; ++c)
        table.setTitle(c, QLatin1String(titles[c]));
    int row = 1;
    for (const objKest& site : sites) {
        table.setText(row, 0, site.ListName());
        table.setText(row, 1, site.FileName());
        table.setText(row, 2, site.Avail() ? QStringLiteral("1") : QStringLiteral("0"));
        table.setText(row, 3, site.URL());
        ++row;
    }
}

bool SaveSiteTable(const colKests& sites, const QString& path, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    RecordSheet table;
    BuildSiteTable(sites, table);
    return SaveGrid(path, FormatNative, table, error);
}

} // namespace quillon
