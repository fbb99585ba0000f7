#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

class KeyTable;
struct GrabKey;

/**
 * The sites a user taught Quillon, kept in the user data folder beside the shipped
 * ones: "Sites/sites.csv" holds their rows (the site table's columns: name, key
 * file, grab flag, start address) and "Sites/<name>.csv" each one's key, both
 * comma text a person can read. A user site's key file is named "user:Sites/..."
 * in the site table, so that it is never looked for among the shipped data, which
 * Quillon never writes.
 */
namespace UserSites {

/** "user:", the mark of a key file in the user data folder. */
QString userPrefix();
/** The folder of the user's sites and keys. */
QString folder();
/** The user's site rows, "Sites/sites.csv". */
QString tablePath();

/** Whether @p fileName (a site table's key file) is one of the user's keys. */
bool isUserKey(const QString& fileName);
/** Where key file @p fileName is: the user data folder for a user's key, else the
 *  shipped data folder. */
QString keyPath(const QString& fileName);

/** Saves @p key as a new site named @p name starting at @p url: its key file, then
 *  its row in the user's site table. False, with the reason in @p error, when the
 *  name is empty or one of @p takenNames, or a file cannot be written (nothing is
 *  then left half-written). The key file's name for the site table goes to
 *  @p fileName. */
bool saveNewSite(const QString& name, const QString& url, const GrabKey& key, const QStringList& takenNames,
                 QString* fileName, QString* error);

/** Renames the user's site @p name to @p newName in the user's site table; its key
 *  file stays. False, with the reason in @p error, when @p name is not a site of the
 *  user's, @p newName is empty or the name of another site (@p takenNames or the
 *  user's), or the table cannot be written. */
bool renameSite(const QString& name, const QString& newName, const QStringList& takenNames, QString* error);

/** Takes the user's site @p name out of the user's site table and deletes its key
 *  file. False, with the reason in @p error, when it is not a site of the user's or
 *  the table cannot be written (the key then stays too). */
bool removeSite(const QString& name, QString* error);

/** Writes @p key over the user's key file @p fileName ("user:Sites/..."); false for a
 *  shipped key, which is never written. */
bool saveKey(const QString& fileName, const GrabKey& key, QString* error);

/** The catalog's site table: the shipped sites of @p shippedTable, then the user's
 *  sites of @p userTable whose names are not taken; when @p savedOrder (a site table
 *  the site order dialog saved) can be read, the sites it names come first in its
 *  order (as the catalog has them; a user's site by its key file, renamed or not;
 *  shipped ones the catalog does not have as they were saved, user's ones it does
 *  not have, removed since, left out), and those it does not know (shipped by a newer release, saved by the
 *  user since) follow in catalog order. Row 0 of @p out is the header. */
void BuildCatalogTable(const QString& shippedTable, const QString& userTable, const QString& savedOrder,
                       KeyTable& out);

} // namespace UserSites

} // namespace quillon
