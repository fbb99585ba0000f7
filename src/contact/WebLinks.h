#pragma once

#include <QString>
#include <QUrl>

namespace quillon {

class RecordSheet;
class SettingsStore;

/**
 * The web addresses the contact tools open: the street-map service's host, the
 * product's home page and its online guide. Each is a setting with a default, so
 * a moved service is followed without a new program.
 */
namespace WebLinks {

/** Setting names. */
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

/** Defaults used while the settings are not set. */
QString defaultMapHost();
QString defaultHomePage();

/** The map service's host ("http://host", no trailing "/") from the settings. */
QString mapHost(const SettingsStore& settings);
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
 * The street-map query for one address: host + "/py/maps.py?BFCat=&Pyt=Tmap&newFL=
 * Use+Address+Below&addr=" + street (its first 99 spaces as "+") + "&csz=" + city +
 * "%2C+" + state + "+" + zip + "&Country=us&Get%A0Map=Get+Map". The cell texts are
 * passed through encodeQueryValue() first.
 */
QString mapQueryText(const QString& host, const QString& street, const QString& city, const QString& state,
                     const QString& zip);

/** mapQueryText() of the sheet's current row (columns 1 to 4) as an address; a row
 *  outside the records or a missing column gives empty values. */
QString mapQueryText(const QString& host, const RecordSheet& sheet);

/** The address handed to the browser for @p queryText. Its encoded form is the text
 *  itself, with only characters a web address cannot hold (a space, a letter beyond
 *  ASCII) percent-encoded as a browser would. */
QUrl mapUrl(const QString& queryText);

} // namespace WebLinks

/** The text of a cell of the sheet's current record; empty when there is no such cell. */
QString CurrentRecordCell(const RecordSheet& sheet, int col);

} // namespace quillon
