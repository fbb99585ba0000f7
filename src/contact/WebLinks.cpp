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

QString WebLinks::defaultMapHost()
{
    return QStringLiteral("http://maps.yahoo.com");
}

QString WebLinks::defaultHomePage()
{
    return QStringLiteral("https://quillon.example.org/");
}

QString WebLinks::mapHost(const SettingsStore& settings)
{
    QString host = settingOr(settings, mapHostSetting(), defaultMapHost());
    if (!host.contains(QLatin1String("://")))
        host.prepend(QLatin1String("http://"));
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    return host;
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

QString WebLinks::mapQueryText(const QString& host, const QString& street, const QString& city,
                               const QString& state, const QString& zip)
{
    QString query = host;
    query += QLatin1String("/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below&addr=");

    QString addr = encodeQueryValue(street);
    int replaced = 0;
    for (qsizetype i = 0; i < addr.size() && replaced < 99; ++i) {
        if (addr.at(i) == QLatin1Char(' ')) {
            addr[i] = QLatin1Char('+');
            ++replaced;
        }
    }
    query += addr;
    query += QLatin1String("&csz=");
    query += encodeQueryValue(city);
    query += QLatin1String("%2C+");
    query += encodeQueryValue(state);
    query += QLatin1Char('+');
    query += encodeQueryValue(zip);
    query += QLatin1String("&Country=us&Get%A0Map=Get+Map");
    return query;
}

QString WebLinks::mapQueryText(const QString& host, const RecordSheet& sheet)
{
    return mapQueryText(host, CurrentRecordCell(sheet, 1), CurrentRecordCell(sheet, 2),
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
