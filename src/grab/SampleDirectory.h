#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QHttpServer;
class QUrlQuery;

namespace quillon {

/**
 * The sample directory: a directory search site that ships inside Quillon, so that
 * grabbing works with no internet connection. It is served on 127.0.0.1 at a free
 * port, with a search form and paginated result pages drawn from a bundled set of
 * fictional people and business listings.
 *
 * It comes in three variants, each with its own page layout and decoding key:
 * "/a/" follows built-in site A's rules (relative next links with "&amp;"), "/b/"
 * built-in site B's (the next link begins with the result address prefix), and
 * "/k/" is driven by its key alone (a relative "next" link in the page head, pages
 * in Windows-1252).
 *
 * Addresses in the site table that begin with "quillon-sample:" name pages of the
 * sample directory; resolve() turns them into the live address.
 */
class SampleDirectory : public QObject
{
    Q_OBJECT

public:
    struct Listing
    {
        QString category;
        QString name;
        /** "unit|street" when the address has a building line; empty when withheld. */
        QString street;
        QString city;
        QString state;
        QString zip;
        QString phone;
        QString web;
        QString email;
    };

    struct Query
    {
        QString category;
        QString city;
        QString state;
        int page = 1;
        int perPage = kDefaultPerPage;
    };

    static constexpr int kDefaultPerPage = 25;
    static constexpr int kMaxPerPage = 100;

    explicit SampleDirectory(QObject* parent = nullptr);
    ~SampleDirectory() override;

    /** Starts serving (once); false with the reason when it cannot. */
    bool start(QString* error = nullptr);
    bool isRunning() const { return m_port != 0; }
    /** "http://127.0.0.1:PORT"; empty until started. */
    QString root() const;

    /** The prefix that names sample directory pages in the site table. */
    static QString addressPrefix() { return QStringLiteral("quillon-sample:"); }
    static bool isSampleAddress(const QString& address) { return address.startsWith(addressPrefix()); }
    /** A "quillon-sample:" address as a live one, starting the server when needed;
     *  any other address unchanged. Empty when the server cannot start. */
    QString resolve(const QString& address);

    const QList<Listing>& listings() const { return m_listings; }
    QStringList categories() const;
    QStringList cities() const;
    QStringList states() const;
    /** The listings a search finds, in the order the result pages show them. */
    QList<const Listing*> search(const Query& query) const;

    /** The pages, as served (variant 'a', 'b' or 'k'). */
    QByteArray indexPage() const;
    QByteArray searchPage(char variant) const;
    QByteArray resultPage(char variant, const Query& query) const;
    static Query queryFrom(const QUrlQuery& query);
    /** "cat=..&city=..&state=..&page=N" as a form sends it ("+" for blanks). */
    static QString queryText(const Query& query, int page);

private:
    void loadListings();

    std::unique_ptr<QHttpServer> m_server;
    quint16 m_port = 0;
    QList<Listing> m_listings;
};

} // namespace quillon
