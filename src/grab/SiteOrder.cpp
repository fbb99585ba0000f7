#include "grab/SiteOrder.h"

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

} // namespace quillon
