#include "grab/KeyWorkshop.h"

#include "grab/StructuredData.h"

#include <QUrl>

#include <algorithm>

namespace quillon {

KeyWorkshop::KeyWorkshop(QObject* parent) : QObject(parent), m_titles(KeyLearner::fieldTitles())
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshDelayMs);
    connect(&m_refresh, &QTimer::timeout, this, &KeyWorkshop::refresh);
}

KeyWorkshop::~KeyWorkshop() = default;

void KeyWorkshop::changed()
{
    m_dirty = true;
    emit keyChanged();
    m_refresh.start();
}

void KeyWorkshop::setKey(const GrabKey& key)
{
    m_key = key;
    m_key.lastField = int(m_key.fields.size()) - 1;
    changed();
}

void KeyWorkshop::setRules(SiteRules rules)
{
    if (rules == m_rules)
        return;
    m_rules = rules;
    changed();
}

void KeyWorkshop::setKind(KeyKind kind)
{
    m_key.kind = kind;
    changed();
}

void KeyWorkshop::setFromBrowser(bool fromBrowser)
{
    m_key.fromBrowser = fromBrowser;
    changed();
}

void KeyWorkshop::setListingsPerPage(int n)
{
    m_key.listingsPerPage = std::max(0, n);
    changed();
}

void KeyWorkshop::setListingMarkers(const QString& start, const QString& end)
{
    m_key.listingStart = start.toUtf8();
    m_key.listingEnd = end.toUtf8();
    changed();
}

void KeyWorkshop::setNextMarkers(const QString& start, const QString& end)
{
    m_key.nextStart = start.toUtf8();
    m_key.nextEnd = end.toUtf8();
    changed();
}

void KeyWorkshop::setListingPageMarker(const QString& marker)
{
    m_key.listingPageMarker = marker;
    changed();
}

void KeyWorkshop::setCountMarkers(bool read, const QString& start, const QString& end, const QString& start2,
                                  const QString& end2)
{
    m_key.readCount = read;
    m_key.countStart = start;
    m_key.countEnd = end;
    m_key.countStart2 = start2;
    m_key.countEnd2 = end2;
    changed();
}

void KeyWorkshop::setAddressMarkers(const QString& city, const QString& state)
{
    m_key.cityMarker = city;
    m_key.stateMarker = state;
    changed();
}

void KeyWorkshop::setField(int j, int column, const QString& start, const QString& end)
{
    if (j < 0 || j >= fieldCount())
        return;
    GrabKey::Field& f = m_key.fields[size_t(j)];
    f.column = column;
    f.start = start.toUtf8();
    f.end = end.toUtf8();
    changed();
}

int KeyWorkshop::addField(int column)
{
    if (fieldCount() >= GrabKey::kMaxFields)
        return -1;
    GrabKey::Field f;
    f.column = column;
    m_key.fields.push_back(f);
    m_key.lastField = fieldCount() - 1;
    changed();
    return fieldCount() - 1;
}

void KeyWorkshop::removeField(int j)
{
    if (j < 0 || j >= fieldCount())
        return;
    m_key.fields.erase(m_key.fields.begin() + j);
    m_key.lastField = fieldCount() - 1;
    changed();
}

void KeyWorkshop::setColumnTitles(const QStringList& titles)
{
    m_titles = titles.isEmpty() ? KeyLearner::fieldTitles() : titles;
    changed();
}

QString KeyWorkshop::columnTitle(int column) const
{
    if (column >= 0 && column < m_titles.size() && !m_titles.at(column).isEmpty())
        return m_titles.at(column);
    return tr("Column %1").arg(column + 1);
}

int KeyWorkshop::columnOf(const QString& title) const
{
    for (int c = 0; c < m_titles.size(); ++c)
        if (m_titles.at(c).compare(title.trimmed(), Qt::CaseInsensitive) == 0)
            return c;
    return KeyLearner::columnOf(title);
}

void KeyWorkshop::setPage(const QByteArray& page, const QString& address)
{
    m_page = page;
    m_address = address;
    m_learner.reset();
    m_learned = KeyLearner::Result();
    m_structuredListings = -1;
    m_dirty = true;
    emit pageChanged();
    m_refresh.start();
}

KeyLearner& KeyWorkshop::learner()
{
    if (!m_learner)
        m_learner = std::make_unique<KeyLearner>(m_page);
    return *m_learner;
}

void KeyWorkshop::refresh()
{
    m_refresh.stop();
    if (!m_dirty)
        return;
    m_dirty = false;
    Preview preview;
    const int columns = std::max<int>(int(m_titles.size()), 8);
    preview.cut = PreviewKey(m_page, m_key, m_rules, columns, &preview.trace);
    preview.summary = summaryOf(preview.cut, m_key);
    m_preview = std::move(preview);
    emit previewRefreshed();
}

QString KeyWorkshop::summaryOf(const KeyPreview& cut, const GrabKey& key) const
{
    const int n = cut.listings();
    QStringList parts;
    parts << (n == 1 ? tr("1 listing") : tr("%1 listings").arg(n));
    // The columns the key fills, in the order of its fields; a structured-data key
    // fills the default columns it finds.
    QList<int> columns;
    if (key.kind == KeyKind::StructuredData) {
        for (int c = 0; c < StructuredData::ColumnCount; ++c)
            if (c < int(cut.columnCounts.size()) && cut.columnCounts[size_t(c)] > 0)
                columns << c;
    } else {
        for (const GrabKey::Field& f : key.fields)
            if (f.column >= 0 && !columns.contains(f.column))
                columns << f.column;
    }
    if (n > 0) {
        for (int c : columns) {
            const int have = c < int(cut.columnCounts.size()) ? cut.columnCounts[size_t(c)] : 0;
            parts << tr("%1 %2 of %3").arg(columnTitle(c)).arg(have).arg(n);
        }
    }
    const QString next = QString::fromUtf8(cut.nextLink).simplified();
    parts << (next.isEmpty() ? tr("no next page") : tr("next page: %1").arg(next.left(200)));
    QString text = parts.join(QStringLiteral("; "));
    for (const QString& note : cut.notes)
        text += QStringLiteral("\n") + note;
    return text;
}

QString KeyWorkshop::value(int row, int column) const
{
    if (row < 0 || row >= m_preview.cut.listings())
        return {};
    return QString::fromUtf8(m_preview.cut.rows.cellText(row, column));
}

bool KeyWorkshop::learn(const KeyLearner::Example& example)
{
    KeyLearner::Example values;
    for (auto it = example.begin(); it != example.end(); ++it)
        if (!it.value().trimmed().isEmpty())
            values.insert(it.key(), it.value().trimmed());
    if (!values.contains(kNameColumn)) {
        m_learned = KeyLearner::Result();
        m_learned.problems << tr("Give at least the listing's name: it tells one listing from the next.");
        emit learningFinished();
        return false;
    }
    if (m_page.isEmpty()) {
        m_learned = KeyLearner::Result();
        m_learned.problems << tr("There is no page text to learn from: open a result page of the site first.");
        emit learningFinished();
        return false;
    }
    m_learned = learner().learn(values);
    emit learningFinished();
    return m_learned.ok();
}

QString KeyWorkshop::proposalText(int index) const
{
    if (index < 0 || index >= int(m_learned.proposals.size()))
        return {};
    const KeyLearner::Proposal& p = m_learned.proposals[size_t(index)];
    return p.note + QStringLiteral(": ") + summaryOf(p.preview, p.key).section(QLatin1Char('\n'), 0, 0);
}

bool KeyWorkshop::accept(int index)
{
    if (index < 0 || index >= int(m_learned.proposals.size()))
        return false;
    const GrabKey& learned = m_learned.proposals[size_t(index)].key;
    GrabKey key = m_key;
    key.kind = learned.kind;
    key.listingsPerPage = learned.listingsPerPage;
    key.listingStart = learned.listingStart;
    key.listingEnd = learned.listingEnd;
    key.fields = learned.fields;
    if (int(key.fields.size()) > learned.lastField + 1)
        key.fields.resize(size_t(std::max(0, learned.lastField + 1)));
    key.nextStart = learned.nextStart;
    key.nextEnd = learned.nextEnd;
    suggestPageMarker(key);
    setKey(key);
    return true;
}

QString KeyWorkshop::suggestedPageMarker(const QString& address)
{
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.path().isEmpty())
        return {};
    QString marker = url.path(QUrl::FullyEncoded);
    if (url.hasQuery())
        marker += QLatin1Char('?');
    return marker;
}

void KeyWorkshop::suggestPageMarker(GrabKey& key) const
{
    // A learned key with no listing-page marker, or one this page's address does not
    // hold (the key of another site), would never make grabbing available here.
    if (key.listingPageMarker.isEmpty() || (!m_address.isEmpty() && !m_address.contains(key.listingPageMarker)))
        key.listingPageMarker = suggestedPageMarker(m_address);
}

std::vector<std::pair<qsizetype, qsizetype>> KeyWorkshop::find(const QString& value)
{
    return learner().find(value, 50);
}

QString KeyWorkshop::structuredDataOffer()
{
    if (m_page.isEmpty())
        return {};
    if (m_structuredListings < 0) {
        const StructuredData::Reading reading = StructuredData::Read(m_page);
        m_structuredListings = int(reading.listings.size());
        m_structuredSource = StructuredData::SourceName(reading.source);
    }
    if (m_structuredListings == 0)
        return {};
    return tr("The page describes %1 listings as schema.org items (%2).")
        .arg(m_structuredListings)
        .arg(m_structuredSource);
}

bool KeyWorkshop::useStructuredData()
{
    const KeyLearner::Result result = learner().learnStructured();
    if (!result.ok()) {
        m_learned = result;
        emit learningFinished();
        return false;
    }
    const GrabKey& learned = result.proposals.front().key;
    GrabKey key = m_key;
    key.kind = KeyKind::StructuredData;
    key.listingsPerPage = learned.listingsPerPage;
    key.fields.clear();
    key.nextStart = learned.nextStart;
    key.nextEnd = learned.nextEnd;
    suggestPageMarker(key);
    setKey(key);
    return true;
}

} // namespace quillon
