#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quillon {

/**
 * Text helpers of the listing parser: HTML character references, the white space
 * around grabbed values, and the conversion of a downloaded page to UTF-8.
 */
namespace HtmlText {

/** Appends @p text to @p out with its character references decoded: the named
 *  ones of HTML 4 (and "&apos;"), which need their ";", and decimal or hex
 *  numeric ones. Numbers that name no character become U+FFFD, 128 to 159 the
 *  characters of Windows-1252, as browsers read them. Anything else is copied. */
void appendDecoded(QByteArray& out, QByteArrayView text);

/** A grabbed value as it is written to the sheet: character references decoded and
 *  the white space around it (blanks, tabs, line breaks, no-break and other Unicode
 *  spaces) removed; nothing else is removed. Appends to @p out and returns the
 *  length appended. */
qsizetype appendCleanValue(QByteArray& out, QByteArrayView raw);

/** The character reference at the start of @p text (text[0] == '&'), as appendDecoded()
 *  reads it: returns the bytes it takes, 0 when it is none, and the character in @p c. */
qsizetype referenceAt(QByteArrayView text, char32_t& c);

/** The length of the white space character (as trimmed from values) at the start of
 *  @p text; 0 when there is none. */
qsizetype spaceAt(QByteArrayView text);

/** Appends the character @p c to @p out as UTF-8. */
void appendUtf8(QByteArray& out, char32_t c);

QString decoded(const QString& text);
QByteArray decoded(QByteArrayView text);

/** The first char set a page names in a <meta> tag near its top; empty for none. */
QByteArray metaCharset(QByteArrayView page);
/** The char set parameter of a Content-Type header value; empty for none. */
QByteArray headerCharset(QByteArrayView contentType);

bool isValidUtf8(QByteArrayView bytes);
/** Windows-1252 bytes as UTF-8. */
QByteArray windows1252ToUtf8(QByteArrayView bytes);
/** Bytes as UTF-8: well-formed UTF-8 sequences as they are, every other byte taken as
 *  Windows-1252 on its own. */
QByteArray utf8OrWindows1252ToUtf8(QByteArrayView bytes);
/** Whether @p bytes are well-formed UTF-8 with at least one character beyond ASCII. */
bool hasUtf8Sequences(QByteArrayView bytes);

/**
 * A downloaded page body as UTF-8 text: a byte order mark decides first, then the
 * char set of the Content-Type header, then one named in a <meta> tag; without
 * any, the body is read as UTF-8 when it is valid UTF-8 and as Windows-1252 when
 * it is not. A UTF-8 byte order mark is dropped. Sites name wrong char sets: in a
 * page named UTF-8, bytes that are not UTF-8 are taken as Windows-1252 one by one;
 * a page named Windows-1252 (or ISO-8859-1) that is well-formed UTF-8 beyond ASCII
 * is read as UTF-8.
 */
QByteArray pageToUtf8(const QByteArray& body, QByteArrayView contentType = {});

} // namespace HtmlText

} // namespace quillon
