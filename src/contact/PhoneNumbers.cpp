#include "contact/PhoneNumbers.h"

#include "shell/SettingsStore.h"

#include <QLocale>
#include <QRegularExpression>

#include <phonenumbers/logger.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumbermatch.h>
#include <phonenumbers/phonenumbermatcher.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <limits>
#include <set>

namespace quillon {

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberMatch;
using i18n::phonenumbers::PhoneNumberMatcher;
using i18n::phonenumbers::PhoneNumberUtil;

const PhoneNumberUtil& util()
{
    static const PhoneNumberUtil* const instance = [] {
        PhoneNumberUtil* u = PhoneNumberUtil::GetInstance();
        // The library may report what it could not parse; nobody reads that here.
        u->SetLogger(new i18n::phonenumbers::NullLogger);
        return u;
    }();
    return *instance;
}

QString fromStd(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string toStd(QStringView text)
{
    return text.toUtf8().toStdString();
}

QString digitsOnly(const std::string& text)
{
    QString out;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            out += QLatin1Char(c);
    }
    return out;
}

// A number written with letters on the keypad, which libphonenumber's matcher passes
// over: digits (the last one, or a closing bracket, right before the letters or
// before a "-" or "." in front of them), then groups of letters and digits joined by
// "-" or ".". libphonenumber then decides whether it is one (three digits first,
// three letters at least, a possible number). The parts are bounded, as numbers are
// short, so that a long text of digits and blanks is scanned in linear time.
const QRegularExpression& vanityPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("(?<![\\p{L}\\p{N}])(?:\\+ ?)?\\(?\\d(?:[\\d().\\- ]{0,24}[\\d)])?[\\-.]?"
                       "[A-Za-z][A-Za-z\\d]{0,15}(?:[\\-.][A-Za-z\\d]{1,15}){0,4}"));
    return pattern;
}

// Dial characters alone (digits, "*", "#" and ",") with the separators people
// write between them; at least one digit, no blank inside.
bool isPlainDialText(QStringView text)
{
    bool digit = false;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (!PhoneNumbers::isDialCharacter(c) && c != u'-' && c != u'.' && c != u'(' && c != u')')
            return false;
    }
    return digit;
}

QString dialCharacters(QStringView text)
{
    QString out;
    for (const QChar c : text) {
        if (PhoneNumbers::isDialCharacter(c))
            out += c;
    }
    return out;
}

// A local number for a "tel:" address: its digits, with "-" where the national
// format separates them.
QString localDigits(const QString& national)
{
    QString out;
    bool gap = false;
    for (const QChar c : national) {
        if (c >= u'0' && c <= u'9') {
            if (gap && !out.isEmpty())
                out += QLatin1Char('-');
            out += c;
            gap = false;
        } else {
            gap = true;
        }
    }
    return out;
}

} // namespace

PhoneNumbers::PhoneNumbers(const QString& region)
    : m_region(isRegion(region) ? region.trimmed().toUpper() : defaultRegion()), m_regionUtf8(toStd(m_region))
{
}

PhoneNumbers PhoneNumbers::fromSettings(const SettingsStore& settings)
{
    return PhoneNumbers(settings.ReadSettingText(regionSetting()));
}

bool PhoneNumbers::isRegion(const QString& code)
{
    const QString c = code.trimmed().toUpper();
    if (c.size() != 2)
        return false;
    std::set<std::string> regions;
    util().GetSupportedRegions(&regions);
    return regions.count(c.toStdString()) > 0;
}

QString PhoneNumbers::regionForLocale(const QLocale& locale)
{
    const QString code = QLocale::territoryToCode(locale.territory());
    return isRegion(code) ? code.toUpper() : QStringLiteral("US");
}

QString PhoneNumbers::defaultRegion()
{
    return regionForLocale(QLocale::system());
}

std::optional<PhoneNumbers::Number> PhoneNumbers::read(const std::string& raw, qsizetype start, bool judge) const
{
    auto number = std::make_shared<PhoneNumber>();
    if (util().ParseAndKeepRawInput(raw, m_regionUtf8, number.get()) != PhoneNumberUtil::NO_PARSING_ERROR)
        return std::nullopt;
    const PhoneNumberUtil::ValidationResult possible = util().IsPossibleNumberWithReason(*number);
    if (possible != PhoneNumberUtil::IS_POSSIBLE && possible != PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY)
        return std::nullopt;

    Number n;
    n.start = start;
    n.text = fromStd(raw);
    n.length = n.text.size();
    n.countryCode = number->country_code();
    std::string national;
    util().GetNationalSignificantNumber(*number, &national);
    n.nationalNumber = fromStd(national);
    n.extension = fromStd(number->extension());
    n.withCountryCode = number->country_code_source() != PhoneNumber::FROM_DEFAULT_COUNTRY;
    n.localOnly = possible == PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY;
    n.valid = judge && util().IsValidNumber(*number);
    n.m_number = std::move(number);
    return n;
}

int PhoneNumbers::countryCode() const
{
    return util().GetCountryCodeForRegion(m_regionUtf8);
}

QString PhoneNumbers::nationalPrefix() const
{
    std::string prefix;
    util().GetNddPrefixForRegion(m_regionUtf8, true, &prefix);
    return fromStd(prefix);
}

bool PhoneNumbers::isPlainNumberText(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    bool digit = false;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const char16_t c = trimmed.at(i).unicode();
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (c == u'+' ? i > 0 : (c != u' ' && c != u'(' && c != u')' && c != u'-' && c != u'.'))
            return false;
    }
    return digit;
}

QList<PhoneNumbers::Number> PhoneNumbers::cellNumbers(QStringView text) const
{
    if (isPlainNumberText(text)) {
        const QStringView trimmed = text.trimmed();
        if (std::optional<Number> whole = read(toStd(trimmed), trimmed.data() - text.data(), false))
            return {*whole};
    }
    return find(text);
}

QList<QByteArray> PhoneNumbers::sameNumberKeys(QStringView text) const
{
    const auto key = [](int countryCode, const std::string& national, const std::string& extension) {
        QByteArray k = QByteArray::number(countryCode);
        k += '/';
        k.append(national.data(), qsizetype(national.size()));
        if (!extension.empty()) {
            k += 'x';
            k.append(extension.data(), qsizetype(extension.size()));
        }
        return k;
    };
    if (isPlainNumberText(text)) {
        // The common case, a cell of one number, is read without the matcher and
        // without keeping the raw input: the key needs neither.
        PhoneNumber number;
        if (util().Parse(toStd(text.trimmed()), m_regionUtf8, &number) == PhoneNumberUtil::NO_PARSING_ERROR) {
            const PhoneNumberUtil::ValidationResult possible = util().IsPossibleNumberWithReason(number);
            if (possible == PhoneNumberUtil::IS_POSSIBLE || possible == PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY) {
                std::string national;
                util().GetNationalSignificantNumber(number, &national);
                return {key(number.country_code(), national, number.extension())};
            }
        }
    }
    QList<QByteArray> keys;
    for (const Number& n : find(text))
        keys.append(key(n.countryCode, toStd(n.nationalNumber), toStd(n.extension)));
    return keys;
}

QList<PhoneNumbers::Number> PhoneNumbers::find(QStringView text, int limit) const
{
    QList<Number> found;
    const std::string utf8 = toStd(text);
    PhoneNumberMatcher matcher(util(), utf8, m_regionUtf8, PhoneNumberMatcher::POSSIBLE,
                               std::numeric_limits<int>::max());
    while ((limit < 1 || found.size() < limit) && matcher.HasNext()) {
        PhoneNumberMatch match;
        if (!matcher.Next(&match))
            break;
        // The matcher counts in bytes of UTF-8.
        const qsizetype start = QString::fromUtf8(utf8.data(), qsizetype(match.start())).size();
        if (auto n = read(match.raw_string(), start))
            found.append(*n);
    }

    // Numbers in letters, which the matcher passes over. Where one overlaps what the
    // matcher took for a number ("24/7 1-800" in "24/7 1-800-FLOWERS"), the valid
    // one of the two stays.
    auto overlapping = [&found](qsizetype start, qsizetype length) {
        QList<qsizetype> at;
        for (qsizetype i = 0; i < found.size(); ++i) {
            if (start < found.at(i).start + found.at(i).length && found.at(i).start < start + length)
                at.append(i);
        }
        return at;
    };
    // A candidate that is no number may have taken in digits before one: the search
    // goes on from its next character then.
    for (qsizetype from = 0; from < text.size();) {
        const QRegularExpressionMatch m = vanityPattern().match(text, from);
        if (!m.hasMatch())
            break;
        from = m.capturedStart() + 1;
        const std::string raw = toStd(m.capturedView());
        if (!util().IsAlphaNumber(raw))
            continue;
        const std::optional<Number> n = read(raw, m.capturedStart());
        if (!n)
            continue;
        const QList<qsizetype> overlapped = overlapping(n->start, n->length);
        const bool better = std::none_of(overlapped.cbegin(), overlapped.cend(),
                                         [&](qsizetype i) { return found.at(i).valid || !n->valid; });
        if (!overlapped.isEmpty() && !better)
            continue;
        for (auto i = overlapped.crbegin(); i != overlapped.crend(); ++i)
            found.removeAt(*i);
        found.append(*n);
        from = m.capturedEnd();
    }

    std::stable_sort(found.begin(), found.end(),
                     [](const Number& a, const Number& b) { return a.start < b.start; });
    if (limit > 0 && found.size() > limit)
        found.resize(limit);
    return found;
}

std::optional<PhoneNumbers::Number> PhoneNumbers::findFirst(QStringView text) const
{
    const QList<Number> found = find(text, 1);
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

std::optional<PhoneNumbers::Number> PhoneNumbers::parse(QStringView text) const
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return read(toStd(trimmed), trimmed.data() - text.data());
}

QString PhoneNumbers::format(const Number& number, Format format) const
{
    if (!number.m_number)
        return QString();
    const PhoneNumber& n = *number.m_number;
    std::string out;
    switch (format) {
    case Format::E164: {
        PhoneNumber plain(n);
        plain.clear_extension();
        util().Format(plain, PhoneNumberUtil::E164, &out);
        break;
    }
    case Format::National:
        util().Format(n, PhoneNumberUtil::NATIONAL, &out);
        break;
    case Format::International:
        util().Format(n, PhoneNumberUtil::INTERNATIONAL, &out);
        break;
    case Format::Rfc3966:
        if (number.localOnly) {
            // Without its area code the number is no global number: it is written as
            // a local one within its country (RFC 3966, 5.1.5).
            PhoneNumber plain(n);
            plain.clear_extension();
            std::string national;
            util().Format(plain, PhoneNumberUtil::NATIONAL, &national);
            QString local = QStringLiteral("tel:") + localDigits(fromStd(national));
            if (!number.extension.isEmpty())
                local += QStringLiteral(";ext=") + number.extension;
            return local + QStringLiteral(";phone-context=+") + QString::number(number.countryCode);
        }
        util().Format(n, PhoneNumberUtil::RFC3966, &out);
        break;
    }
    return fromStd(out);
}

QString PhoneNumbers::exampleNumber(Format format) const
{
    PhoneNumber example;
    if (!util().GetExampleNumber(m_regionUtf8, &example))
        return QString();
    std::string raw;
    util().Format(example, PhoneNumberUtil::E164, &raw);
    const std::optional<Number> number = read(raw, 0);
    return number ? this->format(*number, format) : QString();
}

QString PhoneNumbers::dialString(QStringView text) const
{
    if (const std::optional<Number> number = findFirst(text)) {
        PhoneNumber plain(*number->m_number);
        plain.clear_extension();
        std::string out;
        if (number->withCountryCode) {
            util().FormatOutOfCountryCallingNumber(plain, m_regionUtf8, &out);
            return digitsOnly(out);
        }
        util().Format(plain, PhoneNumberUtil::NATIONAL, &out);
        const QStringView before = text.first(number->start).trimmed();
        const QString lead = isPlainDialText(before) || before.isEmpty() ? dialCharacters(before) : QString();
        return lead + digitsOnly(out);
    }
    const QStringView trimmed = text.trimmed();
    if (isPlainDialText(trimmed))
        return dialCharacters(trimmed);
    // A number in letters after a prefix ("1555-BOOK") is no possible number itself.
    const QRegularExpressionMatch vanity = vanityPattern().match(trimmed, 0, QRegularExpression::NormalMatch,
                                                                   QRegularExpression::AnchorAtOffsetMatchOption);
    if (vanity.hasMatch() && vanity.capturedLength() == trimmed.size() && util().IsAlphaNumber(toStd(trimmed)))
        return dialCharacters(keypadDigits(trimmed));
    return QString();
}

QUrl PhoneNumbers::telUrl(QStringView text) const
{
    QString address;
    if (const std::optional<Number> number = findFirst(text)) {
        address = format(*number, Format::Rfc3966);
    } else {
        // Digits alone that make no possible number ("1555-1234") are still a number
        // to call from here.
        const QStringView trimmed = text.trimmed();
        const bool digitsAlone = isPlainDialText(trimmed) && std::none_of(trimmed.begin(), trimmed.end(), [](QChar c) {
                                     return c == u'*' || c == u'#' || c == u',';
                                 });
        if (!digitsAlone)
            return QUrl();
        const QString digits = localDigits(trimmed.toString());
        address = QStringLiteral("tel:") + digits + QStringLiteral(";phone-context=+")
                  + QString::number(util().GetCountryCodeForRegion(m_regionUtf8));
    }
    return QUrl::fromEncoded(address.toUtf8(), QUrl::StrictMode);
}

QString PhoneNumbers::keypadDigits(QStringView text)
{
    static const char keys[] = "22233344455566677778889999";
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            out += QLatin1Char(keys[u - u'a']);
        else if (u >= u'A' && u <= u'Z')
            out += QLatin1Char(keys[u - u'A']);
        else
            out += c;
    }
    return out;
}

bool PhoneNumbers::isDialCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || u == u'*' || u == u'#' || u == u',';
}

} // namespace quillon
