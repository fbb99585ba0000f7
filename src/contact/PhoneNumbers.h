#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>

class QLocale;

namespace i18n::phonenumbers {
class PhoneNumber;
}

namespace quillon {

class SettingsStore;

/**
 * Phone numbers read from cell texts and written out again, for one home region,
 * with Google's libphonenumber.
 *
 * The home region (a two-letter code such as "US" or "GB", the setting "PhoneRegion")
 * says how a number written without a country code is read and how a number is
 * dialled from here. Texts from directory pages hold more than a number: labels
 * ("Tel:"), a second number, an extension, letters on the keypad ("1-800-FLOWERS").
 * find() and findFirst() pick the numbers out of such a text; parse() reads a text
 * that is meant to be one number.
 */
class PhoneNumbers
{
public:
    /** How format() writes a number. */
    enum class Format
    {
        E164,          ///< "+15551234567"
        National,      ///< "(555) 123-4567", as it is written in its own country
        International, ///< "+1 555-123-4567"
        Rfc3966,       ///< "tel:+1-555-123-4567;ext=12"
    };

    /** A phone number read from a text. */
    struct Number
    {
        qsizetype start = 0;  ///< where it begins in the text it was read from
        qsizetype length = 0; ///< how long it is there, extension included
        QString text;         ///< as written, extension included
        int countryCode = 0;
        QString nationalNumber; ///< the national significant number, digits only
        QString extension;      ///< digits; empty when there is none
        /** Written with its country code ("+1 ...", "011 44 ...", "1 800 ..."), not
         *  as a number of the home region. */
        bool withCountryCode = false;
        /** Possible only as a local number: the area code is missing. */
        bool localOnly = false;
        /** A number in use by the numbering plan of its country, not only one of the
         *  right length. */
        bool valid = false;

    private:
        friend class PhoneNumbers;
        std::shared_ptr<const i18n::phonenumbers::PhoneNumber> m_number;
    };

    /** For the home region @p region; a code that is not a region gives defaultRegion(). */
    explicit PhoneNumbers(const QString& region = defaultRegion());
    /** For the home region of the setting "PhoneRegion". */
    static PhoneNumbers fromSettings(const SettingsStore& settings);

    QString region() const { return m_region; }
    /** The country calling code of the home region (1 for "US", 44 for "GB"). */
    int countryCode() const;
    /** The digits dialled before a number of the home region within it ("1" for "US",
     *  "0" for "GB"); empty where there are none. */
    QString nationalPrefix() const;

    /** Every phone number in @p text, in their order; at most @p limit (all when below 1). */
    QList<Number> find(QStringView text, int limit = 0) const;
    /** The first phone number in @p text. */
    std::optional<Number> findFirst(QStringView text) const;
    /** @p text read as one number (blanks around it aside); none when it is not a
     *  possible number. */
    std::optional<Number> parse(QStringView text) const;

    /**
     * The numbers of a cell: a text written as one number alone (digits with blanks,
     * brackets, dots and dashes between them, a "+" first) is read whole, as parse()
     * does but without telling whether it is valid (Number::valid stays false), and
     * searched as find() does when that gives no possible number; any other text is
     * searched as find() does.
     */
    QList<Number> cellNumbers(QStringView text) const;
    /** Whether @p text is written as one number alone in the sense of cellNumbers(). */
    static bool isPlainNumberText(QStringView text);

    /**
     * The numbers in @p text as keys that are equal exactly when libphonenumber
     * matches the two numbers as the same one, read for the home region: the
     * country code, the national significant number and the extension
     * ("1/5551234567", "44/2079460958x12"). The numbers are those of
     * cellNumbers(). Empty when it holds none.
     */
    QList<QByteArray> sameNumberKeys(QStringView text) const;

    /** @p number written in @p format. Rfc3966 writes a number without its area code
     *  as a local number with the country as its context ("tel:555-1234;phone-context=+1"). */
    QString format(const Number& number, Format format) const;

    /** libphonenumber's example number of the home region written in @p format
     *  ("(201) 555-0123" for "US" nationally); empty when it has none. */
    QString exampleNumber(Format format) const;

    /**
     * What a modem dials from the home region for @p text: digits and the dial
     * characters "*", "#" and "," only. The first number of the text is dialled,
     * letters as their keypad digits and without its extension (left for the
     * handset): a number of the home region as it is dialled at home, a number
     * written with its country code as it is dialled from the home region (through
     * the international access code when it is abroad). Dial characters alone before
     * a number of the home region (a "9," for an outside line, a "1" for long
     * distance) are kept; a text of dial characters alone is dialled as it is.
     * Empty when the text holds no number.
     */
    QString dialString(QStringView text) const;

    /** The "tel:" address (RFC 3966) of the first number in @p text; empty when there
     *  is none. */
    QUrl telUrl(QStringView text) const;

    /** @p text with each ASCII letter replaced by its digit on a telephone keypad. */
    static QString keypadDigits(QStringView text);
    /** Whether a modem's dial string may hold @p c: a digit, "*", "#" or "," (a pause). */
    static bool isDialCharacter(QChar c);

    /** The setting that holds the home region. */
    static QString regionSetting() { return QStringLiteral("PhoneRegion"); }
    /** Whether @p code (any letter case) is a region libphonenumber knows. */
    static bool isRegion(const QString& code);
    /** The region of @p locale's territory; "US" when it has none that is known. */
    static QString regionForLocale(const QLocale& locale);
    /** The region of the system's locale; "US" when it has none. */
    static QString defaultRegion();

private:
    /** @p judge: whether to tell a valid number (Number::valid), which takes time. */
    std::optional<Number> read(const std::string& raw, qsizetype start, bool judge = true) const;

    QString m_region;
    std::string m_regionUtf8;
};

} // namespace quillon
