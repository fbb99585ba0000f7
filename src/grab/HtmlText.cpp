#include "grab/HtmlText.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quillon::HtmlText {

namespace {

struct NamedReference
{
    const char* name;
    char32_t code;
};

// The character references of HTML 4 and "apos", ordered by name (byte order).
constexpr NamedReference kNamed[] = {
    {"AElig", 198}, {"Aacute", 193}, {"Acirc", 194}, {"Agrave", 192}, {"Alpha", 913}, {"Aring", 197},
    {"Atilde", 195}, {"Auml", 196}, {"Beta", 914}, {"Ccedil", 199}, {"Chi", 935}, {"Dagger", 8225},
    {"Delta", 916}, {"ETH", 208}, {"Eacute", 201}, {"Ecirc", 202}, {"Egrave", 200}, {"Epsilon", 917},
    {"Eta", 919}, {"Euml", 203}, {"Gamma", 915}, {"Iacute", 205}, {"Icirc", 206}, {"Igrave", 204}, {"Iota", 921},
    {"Iuml", 207}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924}, {"Ntilde", 209}, {"Nu", 925}, {"OElig", 338},
    {"Oacute", 211}, {"Ocirc", 212}, {"Ograve", 210}, {"Omega", 937}, {"Omicron", 927}, {"Oslash", 216},
    {"Otilde", 213}, {"Ouml", 214}, {"Phi", 934}, {"Pi", 928}, {"Prime", 8243}, {"Psi", 936}, {"Rho", 929},
    {"Scaron", 352}, {"Sigma", 931}, {"THORN", 222}, {"Tau", 932}, {"Theta", 920}, {"Uacute", 218},
    {"Ucirc", 219}, {"Ugrave", 217}, {"Upsilon", 933}, {"Uuml", 220}, {"Xi", 926}, {"Yacute", 221},
    {"Yuml", 376}, {"Zeta", 918}, {"aacute", 225}, {"acirc", 226}, {"acute", 180}, {"aelig", 230},
    {"agrave", 224}, {"alefsym", 8501}, {"alpha", 945}, {"amp", 38}, {"and", 8743}, {"ang", 8736}, {"apos", 39},
    {"aring", 229}, {"asymp", 8776}, {"atilde", 227}, {"auml", 228}, {"bdquo", 8222}, {"beta", 946},
    {"brvbar", 166}, {"bull", 8226}, {"cap", 8745}, {"ccedil", 231}, {"cedil", 184}, {"cent", 162}, {"chi", 967},
    {"circ", 710}, {"clubs", 9827}, {"cong", 8773}, {"copy", 169}, {"crarr", 8629}, {"cup", 8746},
    {"curren", 164}, {"dArr", 8659}, {"dagger", 8224}, {"darr", 8595}, {"deg", 176}, {"delta", 948},
    {"diams", 9830}, {"divide", 247}, {"eacute", 233}, {"ecirc", 234}, {"egrave", 232}, {"empty", 8709},
    {"emsp", 8195}, {"ensp", 8194}, {"epsilon", 949}, {"equiv", 8801}, {"eta", 951}, {"eth", 240}, {"euml", 235},
    {"euro", 8364}, {"exist", 8707}, {"fnof", 402}, {"forall", 8704}, {"frac12", 189}, {"frac14", 188},
    {"frac34", 190}, {"frasl", 8260}, {"gamma", 947}, {"ge", 8805}, {"gt", 62}, {"hArr", 8660}, {"harr", 8596},
    {"hearts", 9829}, {"hellip", 8230}, {"iacute", 237}, {"icirc", 238}, {"iexcl", 161}, {"igrave", 236},
    {"image", 8465}, {"infin", 8734}, {"int", 8747}, {"iota", 953}, {"iquest", 191}, {"isin", 8712},
    {"iuml", 239}, {"kappa", 954}, {"lArr", 8656}, {"lambda", 955}, {"lang", 9001}, {"laquo", 171},
    {"larr", 8592}, {"lceil", 8968}, {"ldquo", 8220}, {"le", 8804}, {"lfloor", 8970}, {"lowast", 8727},
    {"loz", 9674}, {"lrm", 8206}, {"lsaquo", 8249}, {"lsquo", 8216}, {"lt", 60}, {"macr", 175}, {"mdash", 8212},
    {"micro", 181}, {"middot", 183}, {"minus", 8722}, {"mu", 956}, {"nabla", 8711}, {"nbsp", 160},
    {"ndash", 8211}, {"ne", 8800}, {"ni", 8715}, {"not", 172}, {"notin", 8713}, {"nsub", 8836}, {"ntilde", 241},
    {"nu", 957}, {"oacute", 243}, {"ocirc", 244}, {"oelig", 339}, {"ograve", 242}, {"oline", 8254},
    {"omega", 969}, {"omicron", 959}, {"oplus", 8853}, {"or", 8744}, {"ordf", 170}, {"ordm", 186},
    {"oslash", 248}, {"otilde", 245}, {"otimes", 8855}, {"ouml", 246}, {"para", 182}, {"part", 8706},
    {"permil", 8240}, {"perp", 8869}, {"phi", 966}, {"pi", 960}, {"piv", 982}, {"plusmn", 177}, {"pound", 163},
    {"prime", 8242}, {"prod", 8719}, {"prop", 8733}, {"psi", 968}, {"quot", 34}, {"rArr", 8658}, {"radic", 8730},
    {"rang", 9002}, {"raquo", 187}, {"rarr", 8594}, {"rceil", 8969}, {"rdquo", 8221}, {"real", 8476},
    {"reg", 174}, {"rfloor", 8971}, {"rho", 961}, {"rlm", 8207}, {"rsaquo", 8250}, {"rsquo", 8217},
    {"sbquo", 8218}, {"scaron", 353}, {"sdot", 8901}, {"sect", 167}, {"shy", 173}, {"sigma", 963},
    {"sigmaf", 962}, {"sim", 8764}, {"spades", 9824}, {"sub", 8834}, {"sube", 8838}, {"sum", 8721},
    {"sup", 8835}, {"sup1", 185}, {"sup2", 178}, {"sup3", 179}, {"supe", 8839}, {"szlig", 223}, {"tau", 964},
    {"there4", 8756}, {"theta", 952}, {"thetasym", 977}, {"thinsp", 8201}, {"thorn", 254}, {"tilde", 732},
    {"times", 215}, {"trade", 8482}, {"uArr", 8657}, {"uacute", 250}, {"uarr", 8593}, {"ucirc", 251},
    {"ugrave", 249}, {"uml", 168}, {"upsih", 978}, {"upsilon", 965}, {"uuml", 252}, {"weierp", 8472},
    {"xi", 958}, {"yacute", 253}, {"yen", 165}, {"yuml", 255}, {"zeta", 950}, {"zwj", 8205}, {"zwnj", 8204}
};

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void putUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

char32_t numericCharacter(unsigned long long value)
{
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0xFFFD;
    if (value >= 0x80 && value <= 0x9F)
        return kWindows1252High[value - 0x80];
    return char32_t(value);
}

/** Reads a reference at text[0] == '&'. Returns the bytes it takes (0 when it is
 *  not a reference) and the character in @p c. */
qsizetype readReference(QByteArrayView text, char32_t& c)
{
    const qsizetype n = text.size();
    if (n < 3)
        return 0;
    if (text[1] == '#') {
        qsizetype i = 2;
        const bool hex = i < n && (text[i] == 'x' || text[i] == 'X');
        if (hex)
            ++i;
        const qsizetype digits = i;
        unsigned long long value = 0;
        while (i < n) {
            const char ch = text[i];
            int d;
            if (ch >= '0' && ch <= '9')
                d = ch - '0';
            else if (hex && ch >= 'a' && ch <= 'f')
                d = ch - 'a' + 10;
            else if (hex && ch >= 'A' && ch <= 'F')
                d = ch - 'A' + 10;
            else
                break;
            if (value <= 0x10FFFF)
                value = value * (hex ? 16 : 10) + unsigned(d);
            ++i;
        }
        if (i == digits)
            return 0;
        if (i < n && text[i] == ';')
            ++i;
        c = numericCharacter(value);
        return i;
    }
    qsizetype i = 1;
    while (i < n && i <= 9 && ((text[i] >= 'a' && text[i] <= 'z') || (text[i] >= 'A' && text[i] <= 'Z')
                               || (text[i] >= '0' && text[i] <= '9')))
        ++i;
    if (i == 1 || i >= n || text[i] != ';')
        return 0;
    const std::string_view name(text.data() + 1, size_t(i - 1));
    const auto* end = std::end(kNamed);
    const auto* it = std::lower_bound(std::begin(kNamed), end, name,
                                      [](const NamedReference& r, std::string_view v) { return r.name < v; });
    if (it == end || it->name != name)
        return 0;
    c = it->code;
    return i + 1;
}

/** Length of the white space character at the start of @p s, 0 when there is none. */
qsizetype spaceAt(const unsigned char* s, qsizetype n)
{
    const unsigned char b = s[0];
    if (b == ' ' || (b >= '\t' && b <= '\r'))
        return 1;
    if (b == 0xC2 && n >= 2 && s[1] == 0xA0)
        return 2;
    if (b == 0xE2 && n >= 3) {
        if (s[1] == 0x80 && (s[2] <= 0x8A || s[2] == 0xAF))
            return 3;
        if (s[1] == 0x81 && s[2] == 0x9F)
            return 3;
    }
    if (b == 0xE3 && n >= 3 && s[1] == 0x80 && s[2] == 0x80)
        return 3;
    return 0;
}

/** Length of the white space character that ends @p s (n bytes), 0 when none. */
qsizetype spaceBefore(const unsigned char* s, qsizetype n)
{
    if (n >= 1 && spaceAt(s + n - 1, 1) == 1)
        return 1;
    if (n >= 2 && spaceAt(s + n - 2, 2) == 2)
        return 2;
    if (n >= 3 && spaceAt(s + n - 3, 3) == 3)
        return 3;
    return 0;
}

QByteArray lower(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch - 'A' + 'a');
    return out;
}

qsizetype indexOfCaseless(QByteArrayView haystack, QByteArrayView needle, qsizetype from)
{
    for (qsizetype i = from; i + needle.size() <= haystack.size(); ++i) {
        qsizetype k = 0;
        while (k < needle.size()) {
            char ch = haystack[i + k];
            if (ch >= 'A' && ch <= 'Z')
                ch = char(ch - 'A' + 'a');
            if (ch != needle[k])
                break;
            ++k;
        }
        if (k == needle.size())
            return i;
    }
    return -1;
}

QByteArray charsetValue(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '"' || text[i] == '\''))
        ++i;
    qsizetype j = i;
    while (j < text.size() && text[j] != '"' && text[j] != '\'' && text[j] != ';' && text[j] != ' '
           && text[j] != '>' && text[j] != '/' && text[j] != ',')
        ++j;
    return lower(text.sliced(i, j - i));
}

enum class Charset { Utf8, Windows1252, Other, Unknown };

Charset classify(const QByteArray& label)
{
    static const char* const utf8[] = {"utf-8", "utf8", "unicode-1-1-utf-8"};
    static const char* const w1252[] = {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1",
                                        "iso_8859-1", "latin1", "l1", "us-ascii", "ascii", "ansi_x3.4-1968"};
    if (label.isEmpty())
        return Charset::Unknown;
    for (const char* n : utf8)
        if (label == n)
            return Charset::Utf8;
    for (const char* n : w1252)
        if (label == n)
            return Charset::Windows1252;
    return Charset::Other;
}

} // namespace

qsizetype referenceAt(QByteArrayView text, char32_t& c)
{
    return text.startsWith('&') ? readReference(text, c) : 0;
}

qsizetype spaceAt(QByteArrayView text)
{
    return text.isEmpty() ? 0 : spaceAt(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

void appendUtf8(QByteArray& out, char32_t c)
{
    putUtf8(out, c);
}

void appendDecoded(QByteArray& out, QByteArrayView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const void* amp = std::memchr(text.data() + i, '&', size_t(n - i));
        if (!amp) {
            out.append(text.sliced(i));
            return;
        }
        const qsizetype at = static_cast<const char*>(amp) - text.data();
        out.append(text.sliced(i, at - i));
        char32_t c = 0;
        const qsizetype used = readReference(text.sliced(at), c);
        if (used == 0) {
            out.append('&');
            i = at + 1;
        } else {
            putUtf8(out, c);
            i = at + used;
        }
    }
}

qsizetype appendCleanValue(QByteArray& out, QByteArrayView raw)
{
    const qsizetype before = out.size();
    if (raw.indexOf('&') < 0) {
        // The common case: only white space to trim, no copy beyond the result.
        const auto* s = reinterpret_cast<const unsigned char*>(raw.data());
        qsizetype b = 0, e = raw.size();
        while (b < e) {
            const qsizetype k = spaceAt(s + b, e - b);
            if (!k)
                break;
            b += k;
        }
        while (e > b) {
            const qsizetype k = spaceBefore(s + b, e - b);
            if (!k)
                break;
            e -= k;
        }
        out.append(raw.sliced(b, e - b));
        return out.size() - before;
    }
    appendDecoded(out, raw);
    const auto* s = reinterpret_cast<const unsigned char*>(out.constData()) + before;
    qsizetype b = 0, e = out.size() - before;
    while (b < e) {
        const qsizetype k = spaceAt(s + b, e - b);
        if (!k)
            break;
        b += k;
    }
    while (e > b) {
        const qsizetype k = spaceBefore(s + b, e - b);
        if (!k)
            break;
        e -= k;
    }
    if (b > 0)
        out.remove(before, b);
    out.truncate(before + (e - b));
    return out.size() - before;
}

QString decoded(const QString& text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    return QString::fromUtf8(decoded(QByteArrayView(text.toUtf8())));
}

QByteArray decoded(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    appendDecoded(out, text);
    return out;
}

QByteArray headerCharset(QByteArrayView contentType)
{
    const qsizetype at = indexOfCaseless(contentType, "charset=", 0);
    if (at < 0)
        return {};
    return charsetValue(contentType.sliced(at + 8));
}

QByteArray metaCharset(QByteArrayView page)
{
    const QByteArrayView head = page.first(std::min<qsizetype>(page.size(), 4096));
    qsizetype from = 0;
    while (true) {
        const qsizetype meta = indexOfCaseless(head, "<meta", from);
        if (meta < 0)
            return {};
        qsizetype close = head.indexOf('>', meta);
        if (close < 0)
            close = head.size();
        const QByteArrayView tag = head.sliced(meta, close - meta);
        const qsizetype at = indexOfCaseless(tag, "charset=", 0);
        if (at >= 0) {
            QByteArray value = charsetValue(tag.sliced(at + 8));
            if (!value.isEmpty())
                return value;
        }
        from = close;
    }
}

namespace {

/** The length of the well-formed UTF-8 sequence that starts at @p i (lead byte 0x80 or
 *  more); 0 when the bytes there are not one. */
qsizetype utf8SequenceLength(const unsigned char* s, qsizetype i, qsizetype n)
{
    const unsigned char b = s[i];
    qsizetype len;
    char32_t c;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        c = b & 0x07;
    } else {
        return 0;
    }
    if (i + len > n)
        return 0;
    for (qsizetype k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (s[i + k] & 0x3F);
    }
    if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return len;
}

void appendWindows1252(QByteArray& out, unsigned char b)
{
    if (b < 0x80)
        out.append(char(b));
    else if (b < 0xA0)
        appendUtf8(out, kWindows1252High[b - 0x80]);
    else
        appendUtf8(out, b);
}

} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Runs of ASCII eight bytes at a time.
        while (i + 8 <= n) {
            quint64 chunk;
            std::memcpy(&chunk, s + i, 8);
            if (chunk & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const qsizetype len = utf8SequenceLength(s, i, n);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

QByteArray utf8OrWindows1252ToUtf8(QByteArrayView bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    QByteArray out;
    out.reserve(n + n / 8);
    qsizetype i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            out.append(char(s[i++]));
            continue;
        }
        const qsizetype len = utf8SequenceLength(s, i, n);
        if (len == 0) {
            appendWindows1252(out, s[i++]);
            continue;
        }
        out.append(reinterpret_cast<const char*>(s + i), len);
        i += len;
    }
    return out;
}

bool hasUtf8Sequences(QByteArrayView bytes)
{
    for (const char ch : bytes)
        if (static_cast<unsigned char>(ch) >= 0x80)
            return isValidUtf8(bytes);
    return false;
}

QByteArray windows1252ToUtf8(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char ch : bytes)
        appendWindows1252(out, static_cast<unsigned char>(ch));
    return out;
}

QByteArray pageToUtf8(const QByteArray& body, QByteArrayView contentType)
{
    if (body.startsWith("\xEF\xBB\xBF")) {
        const QByteArrayView rest = QByteArrayView(body).sliced(3);
        return isValidUtf8(rest) ? rest.toByteArray() : QString::fromUtf8(rest).toUtf8();
    }
    if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(body.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return QString(decoder(QByteArrayView(body).sliced(2))).toUtf8();
    }
    QByteArray label = headerCharset(contentType);
    if (label.isEmpty()) {
        label = metaCharset(body);
        // A page that names UTF-16 in ASCII text cannot be UTF-16; browsers read it as UTF-8.
        if (label.startsWith("utf-16"))
            label = "utf-8";
    }
    switch (classify(label)) {
    case Charset::Utf8:
        // Bytes that are not UTF-8 in a page that says it is were typed in Windows-1252.
        return isValidUtf8(body) ? body : utf8OrWindows1252ToUtf8(body);
    case Charset::Windows1252:
        // A page that says it is Windows-1252 but holds well-formed UTF-8 beyond ASCII
        // is UTF-8 whose char set was named wrongly.
        return hasUtf8Sequences(body) ? body : windows1252ToUtf8(body);
    case Charset::Other: {
        QStringDecoder decoder(label.constData());
        if (decoder.isValid()) {
            const QString text = decoder(body);
            if (!decoder.hasError())
                return text.toUtf8();
        }
        break;
    }
    case Charset::Unknown:
        break;
    }
    return isValidUtf8(body) ? body : windows1252ToUtf8(body);
}

} // namespace quillon::HtmlText
