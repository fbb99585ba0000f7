#pragma once

#include "files/GridFile.h"

#include <QString>
#include <QStringList>

class QIODevice;

namespace quillon {

class RecordSheet;

/**
 * Contacts as vCards (RFC 6350): one card a record, the fields found by the titles of
 * the columns.
 *
 * | column title (any case; or)                    | property                     |
 * |------------------------------------------------|------------------------------|
 * | Name (Full Name)                               | FN, and ORG                  |
 * | Street (Address), City, State, Zip Code, Country | ADR, one address of type work |
 * | Phone (Telephone)                              | TEL of type work             |
 * | Web Site (Website, URL)                        | URL                          |
 * | Email (E-mail)                                 | EMAIL                        |
 * | Note (Notes)                                   | NOTE                         |
 * | Category (Categories)                          | CATEGORIES                   |
 * | any other title                                | X-QUILLON-COLUMN;X-TITLE="title" |
 *
 * Written as vCard 4.0 in UTF-8 with CR LF line ends, values escaped and lines folded
 * at 75 bytes as the RFC says, never inside a UTF-8 sequence. A record with no text in
 * these columns makes no card; a column without a title is not written. The first
 * column of a title counts; a second column of the same field goes out as an
 * X-QUILLON-COLUMN.
 *
 * Read: vCard 4.0, 3.0 and 2.1, folded lines unfolded and values unescaped, ENCODING
 * QUOTED-PRINTABLE and BASE64 decoded and a CHARSET honoured; a value without one that
 * is not UTF-8 is taken as Windows-1252 byte by byte. Of several TEL, EMAIL, URL or
 * ADR the first counts; several NOTE and CATEGORIES are joined. Properties not in the
 * table are ignored, and so are the cards nested in a card (AGENT). The name is FN,
 * else ORG, else N. A file with no card, with binary data, or whose last card has no
 * END is refused, as is one larger than a sheet can hold.
 */
namespace VCardFormat {

enum class Field { None, Name, Street, City, State, Zip, Country, Phone, WebSite, Email, Note, Category };

/** The field a column title stands for (the table above); None for any other title. */
Field fieldForTitle(const QString& title);
/** The title a column made for @p field gets ("Zip Code", "Web Site"). */
QString titleOf(Field field);
/** The columns a read lays cards out in when no titles are given: those of a new document. */
QStringList standardTitles();

bool write(QIODevice& device, const RecordSheet& sheet, QString* error, const GridProgress& progress);

/**
 * Reads cards into @p fresh, a sheet just made, one record a card. Its columns are
 * @p columnTitles (standardTitles() when empty), each field in the first column of its
 * title, and after them one column for each field the file has that none of them takes.
 */
bool read(QIODevice& device, RecordSheet& fresh, const QStringList& columnTitles, QString* error,
          const GridProgress& progress);

} // namespace VCardFormat

} // namespace quillon
