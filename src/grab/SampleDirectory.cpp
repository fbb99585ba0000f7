#include "grab/SampleDirectory.h"

#include <QFile>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QLocale>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

static void initSampleResources()
{
    Q_INIT_RESOURCE(sample);
}

namespace quillon {

namespace {

QString esc(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += ch;
        }
    }
    return out;
}

/** Form encoding of a query value: "+" for blanks, percent escapes otherwise. */
QString formEncoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, " ")).replace(QLatin1Char(' '), QLatin1Char('+'));
}

QString formDecoded(const QString& encoded)
{
    QString text = encoded;
    text.replace(QLatin1Char('+'), QLatin1Char(' '));
    return QUrl::fromPercentEncoding(text.toLatin1());
}

/** The page as Windows-1252 bytes; characters it cannot hold as numeric references. */
QByteArray toWindows1252(const QString& text)
{
    static const char16_t high[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QByteArray out;
    out.reserve(text.size());
    const QList<uint> codes = text.toUcs4();
    for (const uint c : codes) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(char(c));
            continue;
        }
        const auto* hit = std::find(std::begin(high), std::end(high), char16_t(c));
        if (c <= 0xFFFF && hit != std::end(high) && c != 0)
            out.append(char(0x80 + (hit - std::begin(high))));
        else
            out.append("&#" + QByteArray::number(c) + ';');
    }
    return out;
}

QString variantPath(char variant)
{
    return QStringLiteral("/%1/").arg(QLatin1Char(variant));
}

QString pageHead(const QString& title, const QString& charset, const QString& extra = QString())
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n"
                          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">\n"
                          "<title>%2</title>\n%3"
                          "<style>body{font-family:sans-serif;margin:1em 2em}"
                          ".listing,.card{border-bottom:1px solid #ccc;padding:.4em 0}"
                          "td,th{padding:.2em .6em;text-align:left}</style>\n</head>\n<body>\n")
        .arg(charset, esc(title), extra);
}

QString unitOf(const QString& street)
{
    const qsizetype bar = street.indexOf(QLatin1Char('|'));
    return bar < 0 ? QString() : street.left(bar);
}

QString streetOf(const QString& street)
{
    const qsizetype bar = street.indexOf(QLatin1Char('|'));
    return bar < 0 ? street : street.mid(bar + 1);
}

} // namespace

SampleDirectory::SampleDirectory(QObject* parent) : QObject(parent)
{
    loadListings();
}

SampleDirectory::~SampleDirectory() = default;

void SampleDirectory::loadListings()
{
    initSampleResources();
    QFile file(QStringLiteral(":/quillon/sample/listings.csv"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString text = QString::fromUtf8(file.readAll());
    // The bundled file is plain comma-separated text: quotes around cells that hold
    // commas or quotes, "" for a quote.
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                cell += ch;
                ++i;
            } else if (ch == u'"') {
                quoted = false;
            } else {
                cell += ch;
            }
        } else if (ch == u'"') {
            quoted = true;
        } else if (ch == u',') {
            row << cell;
            cell.clear();
        } else if (ch == u'\n') {
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
        } else if (ch != u'\r') {
            cell += ch;
        }
    }
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList& c = rows[r];
        if (c.size() < 9)
            continue;
        m_listings.append({c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]});
    }
}

bool SampleDirectory::start(QString* error)
{
    if (m_port)
        return true;
    if (m_listings.isEmpty()) {
        if (error)
            *error = tr("The sample directory's listings are missing.");
        return false;
    }
    m_server = std::make_unique<QHttpServer>();
    m_server->route(QStringLiteral("/"), [this] {
        return QHttpServerResponse("text/html; charset=utf-8", indexPage());
    });
    for (const char variant : {'a', 'b', 'k'}) {
        const QByteArray charset = variant == 'k' ? "text/html; charset=windows-1252" : "text/html; charset=utf-8";
        m_server->route(variantPath(variant), [this, variant, charset] {
            return QHttpServerResponse(charset, searchPage(variant));
        });
        m_server->route(variantPath(variant) + QStringLiteral("results"),
                        [this, variant, charset](const QHttpServerRequest& request) {
                            return QHttpServerResponse(charset, resultPage(variant, queryFrom(request.query())));
                        });
    }
    const quint16 port = m_server->listen(QHostAddress::LocalHost, 0);
    if (!port) {
        m_server.reset();
        if (error)
            *error = tr("The sample directory cannot listen on 127.0.0.1.");
        return false;
    }
    m_port = port;
    return true;
}

QString SampleDirectory::root() const
{
    return m_port ? QStringLiteral("http://127.0.0.1:%1").arg(m_port) : QString();
}

QString SampleDirectory::resolve(const QString& address)
{
    if (!isSampleAddress(address))
        return address;
    if (!start())
        return QString();
    QString rest = address.mid(addressPrefix().size());
    if (!rest.isEmpty() && !rest.startsWith(QLatin1Char('/')))
        rest.prepend(QLatin1Char('/'));
    return root() + rest;
}

QStringList SampleDirectory::categories() const
{
    QStringList out;
    for (const Listing& l : m_listings)
        if (!out.contains(l.category))
            out << l.category;
    std::sort(out.begin(), out.end());
    return out;
}

QStringList SampleDirectory::cities() const
{
    QStringList out;
    for (const Listing& l : m_listings)
        if (!out.contains(l.city))
            out << l.city;
    std::sort(out.begin(), out.end());
    return out;
}

QStringList SampleDirectory::states() const
{
    QStringList out;
    for (const Listing& l : m_listings)
        if (!l.state.isEmpty() && !out.contains(l.state))
            out << l.state;
    std::sort(out.begin(), out.end());
    return out;
}

QList<const SampleDirectory::Listing*> SampleDirectory::search(const Query& query) const
{
    QList<const Listing*> out;
    const QString category = query.category.trimmed();
    const QString city = query.city.trimmed();
    const QString state = query.state.trimmed();
    for (const Listing& l : m_listings) {
        if (!category.isEmpty() && l.category.compare(category, Qt::CaseInsensitive) != 0)
            continue;
        if (!city.isEmpty() && l.city.compare(city, Qt::CaseInsensitive) != 0)
            continue;
        if (!state.isEmpty() && l.state.compare(state, Qt::CaseInsensitive) != 0)
            continue;
        out << &l;
    }
    return out;
}

SampleDirectory::Query SampleDirectory::queryFrom(const QUrlQuery& query)
{
    auto value = [&query](const char* name) {
        return formDecoded(query.queryItemValue(QString::fromLatin1(name), QUrl::FullyEncoded));
    };
    Query q;
    q.category = value("cat");
    q.city = value("city");
    q.state = value("state");
    q.page = std::max(1, value("page").toInt());
    const int per = value("per").toInt();
    q.perPage = per > 0 ? std::min(per, int(kMaxPerPage)) : int(kDefaultPerPage);
    return q;
}

QString SampleDirectory::queryText(const Query& query, int page)
{
    QString text = QStringLiteral("cat=%1&city=%2&state=%3")
                       .arg(formEncoded(query.category), formEncoded(query.city), formEncoded(query.state));
    if (query.perPage != kDefaultPerPage)
        text += QStringLiteral("&per=%1").arg(query.perPage);
    return text + QStringLiteral("&page=%1").arg(page);
}

QByteArray SampleDirectory::indexPage() const
{
    QString html = pageHead(QStringLiteral("Quillon Sample Directory"), QStringLiteral("utf-8"));
    html += QStringLiteral(
        "<h1>Quillon Sample Directory</h1>\n"
        "<p>A telephone directory of %1 fictional people and businesses, for trying out grabbing "
        "without an internet connection. Every name, address and number in it is made up.</p>\n"
        "<ul>\n<li><a href=\"/a/\">Search layout A</a></li>\n<li><a href=\"/b/\">Search layout B</a></li>\n"
        "<li><a href=\"/k/\">Search layout K</a></li>\n</ul>\n</body>\n</html>\n")
                .arg(m_listings.size());
    return html.toUtf8();
}

QByteArray SampleDirectory::searchPage(char variant) const
{
    const bool k = variant == 'k';
    QString html = pageHead(QStringLiteral("Search - Quillon Sample Directory"),
                            k ? QStringLiteral("windows-1252") : QStringLiteral("utf-8"));
    html += QStringLiteral("<h1>Find people and businesses</h1>\n<form action=\"%1results\" method=\"get\">\n"
                           "<p><label>Category <select name=\"cat\">\n")
                .arg(variantPath(variant));
    for (const QString& c : categories())
        html += QStringLiteral("<option>%1</option>\n").arg(esc(c));
    html += QStringLiteral("</select></label></p>\n<p><label>City <input name=\"city\" list=\"cities\"></label>\n"
                           "<datalist id=\"cities\">\n");
    for (const QString& c : cities())
        html += QStringLiteral("<option value=\"%1\">\n").arg(esc(c));
    html += QStringLiteral("</datalist></p>\n<p><label>State <select name=\"state\">\n"
                           "<option value=\"\">Any state</option>\n");
    for (const QString& s : states())
        html += QStringLiteral("<option>%1</option>\n").arg(s);
    html += QStringLiteral("</select></label></p>\n<p><button type=\"submit\">Search</button></p>\n</form>\n"
                           "<p><a href=\"/\">Directory home</a></p>\n</body>\n</html>\n");
    return k ? toWindows1252(html) : html.toUtf8();
}

QByteArray SampleDirectory::resultPage(char variant, const Query& query) const
{
    const QList<const Listing*> found = search(query);
    const qsizetype total = found.size();
    const qsizetype first = qsizetype(query.page - 1) * query.perPage;
    const qsizetype last = std::min<qsizetype>(total, first + query.perPage);
    const bool hasNext = last < total;
    const QString base = variantPath(variant) + QStringLiteral("results?");
    const QString nextHref = esc(base + queryText(query, query.page + 1));
    const QString prevHref = esc(QStringLiteral("results?") + queryText(query, query.page - 1));
    QString where = query.city.isEmpty() ? QString() : QStringLiteral(" in ") + query.city;
    if (!query.state.isEmpty())
        where += (query.city.isEmpty() ? QStringLiteral(" in ") : QStringLiteral(", ")) + query.state;
    const QString title = (query.category.isEmpty() ? QStringLiteral("Listings") : query.category) + where;

    QString html;
    switch (variant) {
    case 'a': {
        html = pageHead(title + QStringLiteral(" - Sample Directory"), QStringLiteral("utf-8"));
        html += QStringLiteral("<ul class=\"menu\"><li><a href=\"/a/\">New search</a></li>"
                               "<li><a href=\"/\">Directory home</a></li></ul>\n<h1>%1</h1>\n")
                    .arg(esc(title));
        if (total == 0)
            html += QStringLiteral("<p class=\"found\">No listings match your search.</p>\n");
        else
            html += QStringLiteral("<p class=\"found\">Showing %1 to %2 of <b>%3</b> listings</p>\n")
                        .arg(first + 1)
                        .arg(last)
                        .arg(QLocale(QLocale::English).toString(total));
        html += QStringLiteral("<div class=\"results\">\n");
        for (qsizetype i = first; i < last; ++i) {
            const Listing& l = *found[i];
            html += QStringLiteral("<div class=\"listing\">\n<h3 class=\"name\">%1</h3>\n").arg(esc(l.name));
            if (l.street.isEmpty())
                html += QStringLiteral("<div class=\"street\"><em>Address withheld</em></div>\n");
            else if (unitOf(l.street).isEmpty())
                html += QStringLiteral("<div class=\"street\">%1</div>\n").arg(esc(l.street));
            else
                html += QStringLiteral("<div class=\"street\">%1, %2</div>\n")
                            .arg(esc(unitOf(l.street)), esc(streetOf(l.street)));
            html += QStringLiteral("<div class=\"place\"><span class=\"city\">%1</span>, ").arg(esc(l.city));
            if (!l.state.isEmpty())
                html += QStringLiteral("<span class=\"state\">%1</span> ").arg(esc(l.state));
            html += QStringLiteral("<span class=\"zip\">%1</span></div>\n<div class=\"phone\">%2</div>\n")
                        .arg(esc(l.zip), esc(l.phone));
            html += QStringLiteral("<div class=\"links\">");
            if (!l.web.isEmpty())
                html += QStringLiteral("<a class=\"web\" href=\"%1\">Web site</a> ").arg(esc(l.web));
            if (!l.email.isEmpty())
                html += QStringLiteral("<a class=\"email\" href=\"mailto:%1\">Email</a>").arg(esc(l.email));
            html += QStringLiteral("</div>\n</div><!-- listing -->\n");
        }
        html += QStringLiteral("</div>\n<div class=\"pages\">");
        if (query.page > 1)
            html += QStringLiteral("<a class=\"prev\" href=\"%1\">&laquo; Previous</a> ").arg(prevHref);
        if (hasNext)
            html += QStringLiteral("<a class=\"next\" href=\"%1\">Next &raquo;</a>").arg(nextHref);
        html += QStringLiteral("</div>\n</body>\n</html>\n");
        return html.toUtf8();
    }
    case 'b': {
        html = pageHead(title + QStringLiteral(" | Sample Directory"), QStringLiteral("utf-8"));
        html += QStringLiteral("<h1>%1</h1>\n<div class=\"total\">Listings found: <em>%2</em></div>\n")
                    .arg(esc(title))
                    .arg(total);
        html += QStringLiteral("<table class=\"entries\">\n<tr><th>Name</th><th>Address</th><th>City</th><th>State</th>"
                               "<th>Zip</th><th>Phone</th><th>Web</th><th>Email</th></tr>\n");
        for (qsizetype i = first; i < last; ++i) {
            const Listing& l = *found[i];
            html += QStringLiteral("<tr class=\"entry\"><td class=\"n\">%1</td>").arg(esc(l.name));
            if (l.street.isEmpty())
                html += QStringLiteral("<td class=\"a\"><i>withheld</i></td>");
            else if (unitOf(l.street).isEmpty())
                html += QStringLiteral("<td class=\"a\">%1</td>").arg(esc(l.street));
            else
                html += QStringLiteral("<td class=\"a\"><b>%1</b><BR>%2</td>")
                            .arg(esc(unitOf(l.street)), esc(streetOf(l.street)));
            html += QStringLiteral("<td class=\"c\">%1</td><td class=\"s\">%2</td><td class=\"z\">%3</td>"
                                   "<td class=\"p\">%4</td><td class=\"w\">")
                        .arg(esc(l.city), esc(l.state), esc(l.zip), esc(l.phone));
            if (!l.web.isEmpty())
                html += QStringLiteral("<a href=\"%1\">site</a>").arg(esc(l.web));
            html += QStringLiteral("</td><td class=\"e\">%1</td></tr>\n").arg(esc(l.email));
        }
        html += QStringLiteral("</table>\n<p class=\"more\">");
        // The next link comes first: its address prefix is the key's next-link marker.
        if (hasNext)
            html += QStringLiteral("<a href=\"%1\">Next page</a> ").arg(nextHref);
        if (query.page > 1)
            html += QStringLiteral("<a href=\"%1\">Previous page</a>").arg(prevHref);
        html += QStringLiteral("</p>\n</body>\n</html>\n");
        return html.toUtf8();
    }
    default: {
        const QString next =
            hasNext ? QStringLiteral("<link rel=\"next\" href=\"%1\">\n")
                          .arg(esc(QStringLiteral("results?") + queryText(query, query.page + 1)))
                    : QString();
        html = pageHead(title, QStringLiteral("windows-1252"), next);
        html += QStringLiteral("<ul class=\"nav\"><li><a href=\"/k/\">Search again</a></li>"
                               "<li><a href=\"/\">Home</a></li></ul>\n<h2>%1 results</h2>\n<ol class=\"cards\">\n")
                    .arg(total);
        for (qsizetype i = first; i < last; ++i) {
            const Listing& l = *found[i];
            html += QStringLiteral("<li class=\"card\"><strong class=\"fn\">%1</strong>\n").arg(esc(l.name));
            if (unitOf(l.street).isEmpty())
                html += QStringLiteral("<p class=\"adr\">%1</p>\n").arg(esc(l.street));
            else
                html += QStringLiteral("<p class=\"adr\"><span class=\"unit\">%1</span><BR>%2</p>\n")
                            .arg(esc(unitOf(l.street)), esc(streetOf(l.street)));
            html += QStringLiteral("<p class=\"loc\"><span class=\"locality\">%1</span>, <span class=\"region\">%2</span>"
                                   " <span class=\"postal-code\">%3</span></p>\n<p class=\"tel\">%4</p>\n")
                        .arg(esc(l.city), esc(l.state), esc(l.zip), esc(l.phone));
            if (!l.web.isEmpty())
                html += QStringLiteral("<p class=\"url\"><a href=\"%1\">%1</a></p>\n").arg(esc(l.web));
            if (!l.email.isEmpty())
                html += QStringLiteral("<p class=\"mail\">%1</p>\n").arg(esc(l.email));
            html += QStringLiteral("</li>\n");
        }
        html += QStringLiteral("</ol>\n</body>\n</html>\n");
        return toWindows1252(html);
    }
    }
}

} // namespace quillon
