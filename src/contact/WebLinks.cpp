#include "contact/WebLinks.h"

#include "shell/SettingsStore.h"
#include "sheet/RecordSheet.h"

namespace quillon {

namespace {

QString settingOr(const SettingsStore& settings, const QString& name, const QString& fallback)
{
    const QString value = settings.ReadSettingText(name).trimmed();
    return value.isEmpty() ? fallback : value;
}

QUrl userUrl(const QString& text)
{
    return QUrl::fromUserInput(text);
}

} // namespace

QList<WebLinks::MapService> WebLinks::mapServices()
{
    return {
        {QStringLiteral("OpenStreetMap"), defaultMapTemplate()},
        {QStringLiteral("Google Maps"),
         QStringLiteral("https://www.google.com/maps/search/?api=1&query={street}%2C+{city}%2C+{state}+{zip}")},
        {QStringLiteral("Bing Maps"), QStringLiteral("https://www.bing.com/maps?q={street}%2C+{city}%2C+{state}+{zip}")},
    };
}

QString WebLinks::defaultMapTemplate()
{
    return QStringLiteral("https://www.openstreetmap.org/search?query={street}%2C+{city}%2C+{state}+{zip}");
}

QString WebLinks::defaultHomePage()
{
    return QStringLiteral("https://quillon.example.org/");
}

bool WebLinks::isMapTemplate(const QString& urlTemplate)
{
    const QUrl url = mapUrl(mapQueryText(urlTemplate, QString(), QString(), QString(), QString()));
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
           && !url.host().isEmpty();
}

QString WebLinks::hostMapTemplate(const QString& host)
{
    QString t = host.trimmed();
    if (!t.contains(QLatin1String("://")))
        t.prepend(QLatin1String("http://"));
    while (t.endsWith(QLatin1Char('/')))
        t.chop(1);
    return t + QLatin1String("/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below&addr={street}"
                             "&csz={city}%2C+{state}+{zip}&Country=us&Get%A0Map=Get+Map");
}

QString WebLinks::mapTemplate(const SettingsStore& settings)
{
    const QString configured = settings.ReadSettingText(mapUrlSetting()).trimmed();
    if (isMapTemplate(configured))
        return configured;
    const QString host = settings.ReadSettingText(mapHostSetting()).trimmed();
    if (!host.isEmpty() && isMapTemplate(hostMapTemplate(host)))
        return hostMapTemplate(host);
    return defaultMapTemplate();
}

QUrl WebLinks::homePage(const SettingsStore& settings)
{
    return userUrl(settingOr(settings, homePageSetting(), defaultHomePage()));
}

QUrl WebLinks::guidePage(const SettingsStore& settings)
{
    const QString value = settings.ReadSettingText(guideSetting()).trimmed();
    return value.isEmpty() ? QUrl() : userUrl(value);
}

QString WebLinks::encodeQueryValue(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || u == u'&' || u == u'#' || u == u'%' || u == u'+')
            out += QStringLiteral("%%1").arg(uint(u), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString WebLinks::mapQueryText(const QString& urlTemplate, const QString& street, const QString& city,
                               const QString& state, const QString& zip)
{
    QString addr = encodeQueryValue(street);
    int replaced = 0;
    for (qsizetype i = 0; i < addr.size() && replaced < 99; ++i) {
        if (addr.at(i) == QLatin1Char(' ')) {
            addr[i] = QLatin1Char('+');
            ++replaced;
        }
    }
    const std::pair<QLatin1String, QString> fields[] = {
        {QLatin1String("{street}"), addr},
        {QLatin1String("{city}"), encodeQueryValue(city)},
        {QLatin1String("{state}"), encodeQueryValue(state)},
        {QLatin1String("{zip}"), encodeQueryValue(zip)},
    };
    // One pass over the template, so a cell text that reads like a placeholder
    // stays what it is.
    QString query;
    query.reserve(urlTemplate.size() + addr.size() + city.size() + state.size() + zip.size());
    for (qsizetype i = 0; i < urlTemplate.size();) {
        bool matched = false;
        if (urlTemplate.at(i) == QLatin1Char('{')) {
            for (const auto& [placeholder, value] : fields) {
                if (QStringView(urlTemplate).sliced(i).startsWith(placeholder)) {
                    query += value;
                    i += placeholder.size();
                    matched = true;
                    break;
                }
            }
        }
        if (!matched)
            query += urlTemplate.at(i++);
    }
    return query;
}

QString WebLinks::mapQueryText(const QString& urlTemplate, const RecordSheet& sheet)
{
    return mapQueryText(urlTemplate, CurrentRecordCell(sheet, 1), CurrentRecordCell(sheet, 2),
                        CurrentRecordCell(sheet, 3), CurrentRecordCell(sheet, 4));
}

QUrl WebLinks::mapUrl(const QString& queryText)
{
    // Tolerant parsing keeps every percent-encoding already in the text ("%2C",
    // "%A0", "%26") and encodes only what a web address cannot hold.
    return QUrl(queryText, QUrl::TolerantMode);
}

QString CurrentRecordCell(const RecordSheet& sheet, int col)
{
    const int row = sheet.currentRow();
    if (row < 1 || row >= sheet.rows() || col < 0 || col >= sheet.cols())
        return QString();
    return sheet.text(row, col);
}

} // namespace quillon
