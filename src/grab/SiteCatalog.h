#pragma once

#include <QList>
#include <QString>

#include <memory>

namespace quillon {

class KeyTable;

/** One directory search site of the catalog. */
class objKest
{
public:
    /** Row of the site in the site table (first site row = 1). */
    int Index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    /** Start address, opened in the browser when the site is chosen. */
    QString URL() const { return m_url; }
    void setURL(const QString& url) { m_url = url; }
    /** True: listing pages of this site can be grabbed. */
    bool Avail() const { return m_avail; }
    void setAvail(bool avail) { m_avail = avail; }
    /** The site's decoding-key file, relative to the shipped data folder. */
    QString FileName() const { return m_fileName; }
    void setFileName(const QString& fileName) { m_fileName = fileName; }
    /** Display name shown in the site list. */
    QString ListName() const { return m_listName; }
    void setListName(const QString& listName) { m_listName = listName; }

private:
    int m_index = 0;
    QString m_url;
    bool m_avail = false;
    QString m_fileName;
    QString m_listName;
};

/**
 * The site collection: an ordered, optionally keyed list of objKest. Positions
 * are 1-based; keys are texts (" 0", " 1", ... as the catalog fills it).
 */
class colKests
{
public:
    colKests() = default;
    colKests(const colKests&) = delete;
    colKests& operator=(const colKests&) = delete;

    /** Creates a site, sets ListName, FileName, Avail, URL and Index in that order,
     *  adds it at the end (under @p key when it is not empty) and returns it. A key
     *  already in use is not taken again: the site is then added without a key. */
    objKest& Add(const QString& ListName, const QString& FileName, bool Avail, const QString& URL, int Index,
                 const QString& key = QString());
    /** The site at 1-based @p position, or nullptr. */
    objKest* Item(int position);
    const objKest* Item(int position) const;
    /** The site added under @p key, or nullptr. */
    objKest* Item(const QString& key);
    int Count() const { return int(m_entries.size()); }
    /** Removes the site at @p position (1-based); outside the list nothing happens. */
    void Remove(int position);
    void Remove(const QString& key);
    void clear() { m_entries.clear(); }

    /** Iteration over the sites in order (the enumerator). */
    class Iterator
    {
    public:
        explicit Iterator(QList<std::pair<QString, std::shared_ptr<objKest>>>::const_iterator it) : m_it(it) {}
        objKest& operator*() const { return *m_it->second; }
        objKest* operator->() const { return m_it->second.get(); }
        Iterator& operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator==(const Iterator& other) const { return m_it == other.m_it; }
        bool operator!=(const Iterator& other) const { return m_it != other.m_it; }

    private:
        QList<std::pair<QString, std::shared_ptr<objKest>>>::const_iterator m_it;
    };
    Iterator begin() const { return Iterator(m_entries.cbegin()); }
    Iterator end() const { return Iterator(m_entries.cend()); }
    Iterator NewEnum() const { return begin(); }

    /**
     * Fills the collection from a site table: one site for each row from 1 on whose
     * column 1 (the key file) is not empty, with column 0 as ListName, column 1 as
     * FileName, column 2's number (non-zero = true) as Avail, column 3 as URL, the
     * row as Index and " " + (row - 1) as key. Returns the display names in order.
     */
    QStringList fill(const KeyTable& table);

private:
    QList<std::pair<QString, std::shared_ptr<objKest>>> m_entries;
};

} // namespace quillon
