#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace quillon {

class RecordSheet;
class SettingsStore;

/**
 * The web addresses the contact tools open: the street map of an address, the
 * product's home page and its online guide. Each is a setting with a default, so
 * a moved service is followed without a new program.
 *
 * The street map's address is a template, the setting "MapURL": a web address
 * (http or https) in which {street}, {city}, {state} and {zip} stand for the
 * current record's address cells. A setup of older versions that names only the
 * host of its map service ("MapHost") keeps the query it has always sent there.
 */
namespace WebLinks {

/** Setting names. */
inline QString mapUrlSetting()
{
    return QStringLiteral("MapURL");
}
inline QString mapHostSetting()
{
    return QStringLiteral("MapHost");
}
inline QString homePageSetting()
{
    return QStringLiteral("HomePage");
}
inline QString guideSetting()
{
    return QStringLiteral("GuideURL");
}

/** A street-map service the user can choose. */
struct MapService
{
    QString name;        ///< "OpenStreetMap"
    QString urlTemplate; ///< its "MapURL"
};

/** The services offered: OpenStreetMap (the default), Google Maps and Bing Maps. */
QList<MapService> mapServices();

/** Defaults used while the settings are not set. */
QString defaultMapTemplate();
QString defaultHomePage();

/** Whether @p urlTemplate makes a web address: http or https, with a host. */
bool isMapTemplate(const QString& urlTemplate);
/** The template of the query older versions sent to the map service at @p host
 *  ("maps.example.com", "http://host/"): host + "/py/maps.py?BFCat=&Pyt=Tmap&newFL=
 *  Use+Address+Below&addr={street}&csz={city}%2C+{state}+{zip}&Country=us&Get%A0Map=Get+Map". */
QString hostMapTemplate(const QString& host);
/** The street map's template from the settings: "MapURL" when it makes a web address,
 *  else the form for "MapHost" when that is set, else defaultMapTemplate(). */
QString mapTemplate(const SettingsStore& settings);
/** The product's home page from the settings. */
QUrl homePage(const SettingsStore& settings);
/** The online guide's address from the settings; empty when the shipped guide is used. */
QUrl guidePage(const SettingsStore& settings);

/**
 * Percent-encodes the characters of a cell text that would change the structure of
 * a query ("&", "#", "%", "+") and the control characters; everything else, spaces
 * included, is kept.
 */
QString encodeQueryValue(QStringView text);

/**
 * The street-map address for one address: @p urlTemplate with {street} replaced by
 * the street (its first 99 spaces as "+"), {city}, {state} and {zip} by those cells.
 * The cell texts are passed through encodeQueryValue() first; other spaces are
 * left for mapUrl() to encode.
 */
QString mapQueryText(const QString& urlTemplate, const QString& street, const QString& city, const QString& state,
                     const QString& zip);

/** mapQueryText() of the sheet's current row (columns 1 to 4) as an address; a row
 *  outside the records or a missing column gives empty values. */
QString mapQueryText(const QString& urlTemplate, const RecordSheet& sheet);

/** The address handed to the browser for @p queryText. Its encoded form is the text
 *  itself, with only characters a web address cannot hold (a space, a letter beyond
 *  ASCII) percent-encoded as a browser would. */
QUrl mapUrl(const QString& queryText);

} // namespace WebLinks

/** The text of a cell of the sheet's current record; empty when there is no such cell. */
QString CurrentRecordCell(const RecordSheet& sheet, int col);

} // namespace quillon
