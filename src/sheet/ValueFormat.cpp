#include "sheet/ValueFormat.h"

#include "sheet/SheetTypes.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace quillon {

namespace {

const char* const kMonthAbbrev[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthName[] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};
const char* const kDayAbbrev[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kDayName[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

QString groupThousands(const QString& digits)
{
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits[i];
    }
    return out;
}

QDateTime fromSerial(double serial)
{
    // Day serial numbers count from 30 December 1899, the fraction is the time of day.
    static const QDate epoch(1899, 12, 30);
    const double days = std::floor(serial);
    const qint64 msecs = qint64(std::llround((serial - days) * 86400000.0));
    if (std::abs(days) > 3'000'000)
        return {};
    return QDateTime(epoch.addDays(qint64(days)), QTime(0, 0)).addMSecs(msecs);
}

int expandYear(int year, int digits)
{
    if (digits > 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

int monthFromName(QStringView name)
{
    for (int i = 0; i < 12; ++i) {
        const QLatin1String full(kMonthName[i]);
        if (name.compare(full, Qt::CaseInsensitive) == 0 ||
            (name.size() >= 3 && full.startsWith(name, Qt::CaseInsensitive)))
            return i + 1;
    }
    return 0;
}

} // namespace

bool LooksNumeric(QByteArrayView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    if (i < n && (text[i] == '-' || text[i] == '+'))
        ++i;
    bool digit = false;
    bool dot = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c == '.' && !dot)
            dot = true;
        else if (c == ' ')
            break;
        else
            return false;
    }
    while (i < n && text[i] == ' ')
        ++i;
    return digit && i == n;
}

std::optional<double> ParseNumber(const QString& input)
{
    QString t = input.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')'))) {
        negative = true;
        t = t.mid(1, t.size() - 2).trimmed();
    }
    if (t.startsWith(QLatin1Char('-'))) {
        negative = !negative;
        t.remove(0, 1);
    } else if (t.startsWith(QLatin1Char('+'))) {
        t.remove(0, 1);
    }
    if (t.startsWith(QLatin1Char('$')))
        t.remove(0, 1);
    if (t.startsWith(QLatin1Char('-')) && !negative) {
        negative = true;
        t.remove(0, 1);
    }
    double scale = 1.0;
    if (t.endsWith(QLatin1Char('%'))) {
        scale = 0.01;
        t.chop(1);
    }
    t = t.trimmed();
    // Thousands commas only between digit groups of three.
    static const QRegularExpression grouped(QStringLiteral("^\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    if (t.contains(QLatin1Char(','))) {
        if (!grouped.match(t).hasMatch())
            return std::nullopt;
        t.remove(QLatin1Char(','));
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return (negative ? -v : v) * scale;
}

QString FormatNumber(double value, const QString& picture)
{
    // Split the picture into literal prefix, digit placeholders and literal suffix.
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < picture.size(); ++i) {
        const QChar c = picture[i];
        if (c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char(',') || c == QLatin1Char('.')) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    const bool percent = picture.contains(QLatin1Char('%'));
    if (percent)
        value *= 100.0;
    QString prefix;
    QString suffix;
    QString body;
    if (first < 0) {
        prefix = picture;
        prefix.remove(QLatin1Char('%'));
        suffix = percent ? QStringLiteral("%") : QString();
        body = QStringLiteral("0");
    } else {
        prefix = picture.left(first);
        body = picture.mid(first, last - first + 1);
        suffix = picture.mid(last + 1);
    }
    const qsizetype dot = body.indexOf(QLatin1Char('.'));
    const QString intPart = dot < 0 ? body : body.left(dot);
    const QString decPart = dot < 0 ? QString() : body.mid(dot + 1);
    const bool grouping = intPart.contains(QLatin1Char(','));
    const int minInt = int(intPart.count(QLatin1Char('0')));
    const int forcedDec = int(decPart.count(QLatin1Char('0')));
    const int maxDec = forcedDec + int(decPart.count(QLatin1Char('#')));

    const bool negative = std::signbit(value) && value != 0.0;
    QString digits = QString::number(std::abs(value), 'f', maxDec);
    QString intDigits = digits;
    QString decDigits;
    if (const qsizetype p = digits.indexOf(QLatin1Char('.')); p >= 0) {
        intDigits = digits.left(p);
        decDigits = digits.mid(p + 1);
    }
    while (decDigits.size() > forcedDec && decDigits.endsWith(QLatin1Char('0')))
        decDigits.chop(1);
    if (intDigits == QLatin1String("0"))
        intDigits.clear();
    while (intDigits.size() < minInt)
        intDigits.prepend(QLatin1Char('0'));
    if (grouping)
        intDigits = groupThousands(intDigits);
    QString out = intDigits;
    if (!decDigits.isEmpty())
        out += QLatin1Char('.') + decDigits;
    const bool allZero = intDigits.isEmpty() && decDigits.count(QLatin1Char('0')) == decDigits.size();
    QString sign = (negative && !allZero) ? QStringLiteral("-") : QString();
    return sign + prefix + out + suffix;
}

std::optional<QDateTime> ParseDateTime(const QString& input)
{
    const QString t = input.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    static const QRegularExpression timeRe(
        QStringLiteral("(?:[ T]+(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.\\d+)?)?\\s*([AaPp][Mm])?)?$"));
    static const QRegularExpression mdy(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{2,4})"));
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})"));
    static const QRegularExpression dMonY(QStringLiteral("^(\\d{1,2})[- ]([A-Za-z]{3,9})[- ,]+(\\d{2,4})"));
    static const QRegularExpression monDY(QStringLiteral("^([A-Za-z]{3,9})[- ](\\d{1,2})[-, ]+(\\d{2,4})"));

    QDate date;
    qsizetype used = 0;
    if (auto m = mdy.match(t); m.hasMatch()) {
        date = QDate(expandYear(m.captured(3).toInt(), int(m.capturedLength(3))), m.captured(1).toInt(),
                     m.captured(2).toInt());
        used = m.capturedLength(0);
    } else if (auto m2 = ymd.match(t); m2.hasMatch()) {
        date = QDate(m2.captured(1).toInt(), m2.captured(2).toInt(), m2.captured(3).toInt());
        used = m2.capturedLength(0);
    } else if (auto m3 = dMonY.match(t); m3.hasMatch() && monthFromName(m3.capturedView(2))) {
        date = QDate(expandYear(m3.captured(3).toInt(), int(m3.capturedLength(3))),
                     monthFromName(m3.capturedView(2)), m3.captured(1).toInt());
        used = m3.capturedLength(0);
    } else if (auto m4 = monDY.match(t); m4.hasMatch() && monthFromName(m4.capturedView(1))) {
        date = QDate(expandYear(m4.captured(3).toInt(), int(m4.capturedLength(3))),
                     monthFromName(m4.capturedView(1)), m4.captured(2).toInt());
        used = m4.capturedLength(0);
    } else if (const auto serial = ParseNumber(t); serial && !t.contains(QLatin1Char('%'))) {
        const QDateTime dt = fromSerial(*serial);
        if (dt.isValid())
            return dt;
        return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!date.isValid())
        return std::nullopt;
    const QString rest = t.mid(used);
    if (rest.trimmed().isEmpty())
        return QDateTime(date, QTime(0, 0));
    const auto tm = timeRe.match(rest);
    if (!tm.hasMatch() || tm.capturedStart(0) != 0)
        return std::nullopt;
    int h = tm.captured(1).toInt();
    const int mi = tm.captured(2).toInt();
    const int s = tm.captured(3).toInt();
    const QString ampm = tm.captured(4).toUpper();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return std::nullopt;
        if (ampm == QLatin1String("AM") && h == 12)
            h = 0;
        else if (ampm == QLatin1String("PM") && h != 12)
            h += 12;
    }
    const QTime time(h, mi, s);
    if (!time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

QString FormatDateTime(const QDateTime& value, const QString& picture)
{
    if (picture.isEmpty()) {
        if (value.time() == QTime(0, 0))
            return FormatDateTime(value, QStringLiteral("m/d/yyyy"));
        return FormatDateTime(value, QStringLiteral("m/d/yyyy h:mm:ss AMPM"));
    }
    const QDate d = value.date();
    const QTime t = value.time();
    const bool twelve = picture.contains(QLatin1String("AMPM"), Qt::CaseInsensitive) ||
                        picture.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive);

    struct Token
    {
        QChar kind; // y m d h n s a, or 0 for literal
        int len;
        QString literal;
    };
    std::vector<Token> tokens;
    for (qsizetype i = 0; i < picture.size();) {
        const QChar c = picture[i].toLower();
        if (picture.mid(i, 4).compare(QLatin1String("AMPM"), Qt::CaseInsensitive) == 0) {
            tokens.push_back({QLatin1Char('a'), 4, {}});
            i += 4;
            continue;
        }
        if (picture.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            tokens.push_back({QLatin1Char('a'), 5, picture.mid(i, 5)});
            i += 5;
            continue;
        }
        if (c == QLatin1Char('y') || c == QLatin1Char('m') || c == QLatin1Char('d') || c == QLatin1Char('h') ||
            c == QLatin1Char('n') || c == QLatin1Char('s')) {
            qsizetype j = i;
            while (j < picture.size() && picture[j].toLower() == c)
                ++j;
            tokens.push_back({c, int(j - i), {}});
            i = j;
            continue;
        }
        tokens.push_back({QChar(), 1, QString(picture[i])});
        ++i;
    }
    // "m" right after an hour or right before a second means minutes.
    for (size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].kind != QLatin1Char('m') || tokens[k].len > 2)
            continue;
        bool minutes = false;
        for (size_t p = k; p-- > 0;) {
            if (tokens[p].kind.isNull())
                continue;
            minutes = tokens[p].kind == QLatin1Char('h');
            break;
        }
        for (size_t q = k + 1; !minutes && q < tokens.size(); ++q) {
            if (tokens[q].kind.isNull())
                continue;
            minutes = tokens[q].kind == QLatin1Char('s');
            break;
        }
        if (minutes)
            tokens[k].kind = QLatin1Char('n');
    }
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    QString out;
    for (const Token& tok : tokens) {
        const char k = tok.kind.toLatin1();
        switch (k) {
        case 'y':
            out += tok.len >= 3 ? QString::number(d.year()) : two(d.year() % 100);
            break;
        case 'm':
            if (tok.len >= 4)
                out += QLatin1String(kMonthName[d.month() - 1]);
            else if (tok.len == 3)
                out += QLatin1String(kMonthAbbrev[d.month() - 1]);
            else
                out += tok.len == 2 ? two(d.month()) : QString::number(d.month());
            break;
        case 'd':
            if (tok.len >= 4)
                out += QLatin1String(kDayName[d.dayOfWeek() - 1]);
            else if (tok.len == 3)
                out += QLatin1String(kDayAbbrev[d.dayOfWeek() - 1]);
            else
                out += tok.len == 2 ? two(d.day()) : QString::number(d.day());
            break;
        case 'h': {
            int h = t.hour();
            if (twelve) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += tok.len >= 2 ? two(h) : QString::number(h);
            break;
        }
        case 'n':
            out += tok.len >= 2 ? two(t.minute()) : QString::number(t.minute());
            break;
        case 's':
            out += tok.len >= 2 ? two(t.second()) : QString::number(t.second());
            break;
        case 'a': {
            const bool pm = t.hour() >= 12;
            QString mark = pm ? QStringLiteral("PM") : QStringLiteral("AM");
            if (!tok.literal.isEmpty() && tok.literal[0].isLower())
                mark = mark.toLower();
            out += mark;
            break;
        }
        default:
            out += tok.literal;
        }
    }
    return out;
}

QString FormatValue(const QString& text, int dataType, const QString& format)
{
    if (format.isEmpty() || text.isEmpty())
        return text;
    if (dataType == TypeDate) {
        if (const auto dt = ParseDateTime(text))
            return FormatDateTime(*dt, format);
        return text;
    }
    if (dataType == TypeNumber || dataType == TypeMoney) {
        if (const auto v = ParseNumber(text))
            return FormatNumber(*v, format);
    }
    return text;
}

} // namespace quillon
