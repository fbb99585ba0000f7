#include "grab/SiteCatalog.h"

#include "grab/KeyTable.h"

#include <QStringList>

namespace quillon {

objKest& colKests::Add(const QString& ListName, const QString& FileName, bool Avail, const QString& URL, int Index,
                       const QString& key)
{
    auto site = std::make_shared<objKest>();
    site->setListName(ListName);
    site->setFileName(FileName);
    site->setAvail(Avail);
    site->setURL(URL);
    site->setIndex(Index);
    const bool keyFree = !key.isEmpty() && !Item(key);
    m_entries.append({keyFree ? key : QString(), site});
    return *site;
}

objKest* colKests::Item(int position)
{
    if (position < 1 || position > m_entries.size())
        return nullptr;
    return m_entries[position - 1].second.get();
}

const objKest* colKests::Item(int position) const
{
    if (position < 1 || position > m_entries.size())
        return nullptr;
    return m_entries[position - 1].second.get();
}

objKest* colKests::Item(const QString& key)
{
    if (key.isEmpty())
        return nullptr;
    for (const auto& entry : m_entries)
        if (entry.first == key)
            return entry.second.get();
    return nullptr;
}

void colKests::Remove(int position)
{
    if (position >= 1 && position <= m_entries.size())
        m_entries.removeAt(position - 1);
}

void colKests::Remove(const QString& key)
{
    if (key.isEmpty())
        return;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first == key) {
            m_entries.removeAt(i);
            return;
        }
    }
}

QStringList colKests::fill(const KeyTable& table)
{
    QStringList names;
    for (int r = 1; r < table.rows(); ++r) {
        if (table.text(r, 1).isEmpty())
            continue;
        names << table.text(r, 0);
        Add(table.text(r, 0), table.text(r, 1), table.number(r, 2) != 0, table.text(r, 3), r,
            QStringLiteral(" %1").arg(r - 1));
    }
    return names;
}

} // namespace quillon
