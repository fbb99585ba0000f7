#include "print/LabelStocks.h"

#include "print/PrintSheet.h"
#include "sheet/SheetTypes.h"
#include "shell/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace quillon {

namespace {

constexpr double kInch = kTwipsPerInch;
constexpr double kMillimetre = kTwipsPerInch / 25.4;

// A stock file larger than this is not a stock file.
constexpr qsizetype kMaxFileSize = 1024 * 1024;
constexpr int kMaxAcross = 20;
constexpr int kMaxDown = 100;
// Lengths may miss by this much (twips) where labels meet each other or the edge of
// the page: figures in millimetres do not add up to the twip.
constexpr double kTolerance = 0.5;
// A label must hold four lines of the least type, 6 points, and an address's width.
constexpr int kLeastPointSize = 6;
constexpr int kMostPointSize = 24;
constexpr double kLeastLabelHeight = 0.4 * kInch;
constexpr double kLeastLabelWidth = 0.75 * kInch;
// Type sizes of a stock: the line takes 1.2 times the size, four lines take at most
// this share of the label's height.
constexpr double kLinesShare = 0.95;
constexpr double kLineFactor = 1.2;

QStringList sizes(int least, int most)
{
    QStringList out;
    for (int p = least; p <= most; ++p)
        out << QString::number(p);
    return out;
}

std::vector<LabelFormat> makeBuiltIns()
{
    std::vector<LabelFormat> formats;
    LabelFormat f;
    f.builtIn = true;
    f.pageSize = QPageSize(QPageSize::Letter);
    // 2 5/8 x 1 inch labels, 3 across, 1/8 inch apart, 10 down, half an inch from the top.
    f.name = QStringLiteral("3 x 10");
    f.across = 3;
    f.down = 10;
    f.labelWidth = kInch * 21 / 8;
    f.labelHeight = kInch;
    f.horizontalPitch = kInch * 11 / 4;
    f.verticalPitch = kInch;
    f.leftMargin = kInch * 3 / 16;
    f.topMargin = kInch / 2;
    f.columnWidths = {3976, 3976, 3300};
    f.rowHeight = 240;
    f.fontFamily = QStringLiteral("Arial");
    f.fontSize = 10;
    f.fontSizes = sizes(8, 12);
    formats.push_back(f);
    // 4 x 1 inch labels, 2 across, 3/16 inch apart, 10 down.
    f.name = QStringLiteral("2 x 10");
    f.across = 2;
    f.labelWidth = kInch * 4;
    f.horizontalPitch = kInch * 67 / 16;
    f.leftMargin = kInch * 5 / 32;
    f.columnWidths = {6120, 5000};
    formats.push_back(f);
    // 4 x 2 inch labels, 2 across, 5 down.
    f.name = QStringLiteral("2 x 5");
    f.labelHeight = kInch * 2;
    f.verticalPitch = kInch * 2;
    f.down = 5;
    f.rowHeight = 480;
    f.fontFamily = QStringLiteral("Times New Roman");
    f.fontSize = 16;
    f.fontSizes =
        QStringList{QStringLiteral("12"), QStringLiteral("14"), QStringLiteral("16"), QStringLiteral("18"),
                    QStringLiteral("20"), QStringLiteral("22"), QStringLiteral("24")};
    formats.push_back(f);
    return formats;
}

QString normalName(const QString& name)
{
    QString out;
    for (QChar ch : name)
        if (!ch.isSpace())
            out += ch.toLower();
    return out;
}

QString numberText(double value, int decimals)
{
    const double factor = std::pow(10.0, decimals);
    return QString::number(std::round(value * factor) / factor, 'f', decimals)
        .remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

/** "2.625 in", "2 5/8 in", "5/32 in", "63.5 mm": twips, and whether in millimetres. */
bool parseLength(const QString& text, double* twips, bool* metric)
{
    static const QRegularExpression re(
        QStringLiteral(
            "^(?:(\\d{1,4}(?:\\.\\d{1,6})?)|(?:(\\d{1,4})\\s+)?(\\d{1,4})/(\\d{1,4}))\\s*(in|mm)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    double value = 0;
    if (!m.captured(1).isEmpty()) {
        value = m.captured(1).toDouble();
    } else {
        const double denominator = m.captured(4).toDouble();
        if (denominator <= 0)
            return false;
        value = m.captured(2).toDouble() + m.captured(3).toDouble() / denominator;
    }
    *metric = m.captured(5).compare(QLatin1String("mm"), Qt::CaseInsensitive) == 0;
    *twips = value * (*metric ? kMillimetre : kInch);
    return std::isfinite(*twips);
}

bool parsePaper(const QString& text, QPageSize* size)
{
    const QString n = text.trimmed().toLower();
    if (n == QLatin1String("letter"))
        *size = QPageSize(QPageSize::Letter);
    else if (n == QLatin1String("legal"))
        *size = QPageSize(QPageSize::Legal);
    else if (n == QLatin1String("a4"))
        *size = QPageSize(QPageSize::A4);
    else if (n == QLatin1String("a5"))
        *size = QPageSize(QPageSize::A5);
    else
        return false;
    return true;
}

enum class Key
{
    Paper,
    LabelWidth,
    LabelHeight,
    HorizontalPitch,
    VerticalPitch,
    LeftMargin,
    TopMargin,
    Across,
    Down,
    Font,
    FontSize
};

const std::vector<std::pair<QString, Key>>& keys()
{
    static const std::vector<std::pair<QString, Key>> k{
        {QStringLiteral("paper"), Key::Paper},
        {QStringLiteral("label width"), Key::LabelWidth},
        {QStringLiteral("label height"), Key::LabelHeight},
        {QStringLiteral("horizontal pitch"), Key::HorizontalPitch},
        {QStringLiteral("vertical pitch"), Key::VerticalPitch},
        {QStringLiteral("left margin"), Key::LeftMargin},
        {QStringLiteral("top margin"), Key::TopMargin},
        {QStringLiteral("across"), Key::Across},
        {QStringLiteral("down"), Key::Down},
        {QStringLiteral("font"), Key::Font},
        {QStringLiteral("font size"), Key::FontSize},
    };
    return k;
}

QString keyName(Key key)
{
    for (const auto& [name, k] : keys())
        if (k == key)
            return name;
    return {};
}

} // namespace

// ---- LabelFormat ----------------------------------------------------------------

QRectF LabelFormat::labelRect(int col, int row) const
{
    return QRectF(leftMargin + col * horizontalPitch, topMargin + row * verticalPitch, labelWidth,
                  labelHeight);
}

QSizeF LabelFormat::paperTwips() const
{
    return PrintSheet::paperTwips(pageSize);
}

QString LabelFormat::length(double twips) const
{
    return metric ? numberText(twips / kMillimetre, 2) + QStringLiteral(" mm")
                  : numberText(twips / kInch, 3) + QStringLiteral(" in");
}

QString LabelFormat::description() const
{
    const QString size = metric ? numberText(labelWidth / kMillimetre, 2) + QStringLiteral(" x ") +
                                      numberText(labelHeight / kMillimetre, 2) + QStringLiteral(" mm")
                                : numberText(labelWidth / kInch, 3) + QStringLiteral(" x ") +
                                      numberText(labelHeight / kInch, 3) + QStringLiteral(" in");
    return QStringLiteral("%1 labels a sheet, %2 across and %3 down, each %4, on %5 paper")
        .arg(labelsPerSheet())
        .arg(across)
        .arg(down)
        .arg(size, pageSize.key());
}

const std::vector<LabelFormat>& BuiltInLabelFormats()
{
    static const std::vector<LabelFormat> formats = makeBuiltIns();
    return formats;
}

const LabelFormat* FindLabelFormat(const QString& name)
{
    for (const LabelFormat& f : BuiltInLabelFormats())
        if (f.name == name)
            return &f;
    return nullptr;
}

// ---- LabelStocks ----------------------------------------------------------------

/** A stock as the file describes it, while it is read. */
struct LabelStocks::Entry
{
    QString name;
    QString fileName;
    int line = 0;
    std::map<Key, std::pair<QString, int>> values; ///< the value and its line
    QString problem;                               ///< the first fault found
};

LabelStocks::LabelStocks() : m_formats(BuiltInLabelFormats()) {}

QString LabelStocks::shippedFile()
{
    return AppPaths::dataFolder() + QLatin1Char('/') + QLatin1String(kFileName);
}

LabelStocks LabelStocks::shipped()
{
    LabelStocks stocks;
    stocks.readFile(shippedFile());
    return stocks;
}

void LabelStocks::readFile(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_problems << QStringLiteral(
                          "The label stock file %1 could not be read: %2. Only the built-in label formats "
                          "are offered.")
                          .arg(shown, file.errorString());
        return;
    }
    if (file.size() > kMaxFileSize) {
        m_problems << QStringLiteral(
                          "The label stock file %1 is larger than 1 MB and cannot be a label stock file. "
                          "Only the built-in label formats are offered.")
                          .arg(shown);
        return;
    }
    read(file.read(kMaxFileSize + 1), shown);
}

void LabelStocks::read(QByteArrayView text, const QString& fileName)
{
    auto refuseFile = [&](const QString& why) {
        m_problems << QStringLiteral(
                          "The label stock file %1 %2. Only the built-in label formats are offered.")
                          .arg(fileName, why);
    };
    if (text.size() > kMaxFileSize)
        return refuseFile(QStringLiteral("is larger than 1 MB and cannot be a label stock file"));
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decode(text);
    if (decode.hasError())
        return refuseFile(QStringLiteral("is damaged: it is not UTF-8 text"));
    for (QChar ch : decoded)
        if (ch.unicode() < 0x20 && ch != QLatin1Char('\n') && ch != QLatin1Char('\r') &&
            ch != QLatin1Char('\t'))
            return refuseFile(QStringLiteral("is damaged: it holds control characters, not text"));

    static const QRegularExpression section(QStringLiteral("^\\[(.*)\\]$"));
    const QStringList lines = decoded.split(QLatin1Char('\n'));
    std::optional<Entry> entry;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = int(i + 1);
        QString line = lines.at(i);
        if (const qsizetype hash = line.indexOf(QLatin1Char('#')); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const QString raw = line.left(60);
        const QRegularExpressionMatch m = section.match(line);
        if (m.hasMatch()) {
            if (entry)
                finish(*entry);
            entry.emplace();
            entry->name = m.captured(1).simplified();
            entry->fileName = fileName;
            entry->line = lineNumber;
            if (entry->name.isEmpty())
                entry->problem = QStringLiteral("it has no name between the brackets");
            continue;
        }
        if (!entry) {
            m_problems << QStringLiteral(
                              "%1, line %2: \"%3\" belongs to no label stock; a stock begins with its "
                              "name in brackets, like [Avery 5160].")
                              .arg(fileName)
                              .arg(lineNumber)
                              .arg(raw);
            continue;
        }
        if (!entry->problem.isEmpty())
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            entry->problem = QStringLiteral("line %1 is not understood: \"%2\"").arg(lineNumber).arg(raw);
            continue;
        }
        const QString name = line.left(equals).simplified().toLower();
        const QString value = line.mid(equals + 1).trimmed();
        const auto known =
            std::find_if(keys().begin(), keys().end(), [&](const auto& k) { return k.first == name; });
        if (known == keys().end()) {
            entry->problem = QStringLiteral("line %1 names \"%2\", which is not a label stock setting")
                                 .arg(lineNumber)
                                 .arg(name.left(40));
            continue;
        }
        if (entry->values.count(known->second)) {
            entry->problem = QStringLiteral("\"%1\" is given twice (line %2)").arg(name).arg(lineNumber);
            continue;
        }
        entry->values[known->second] = {value, lineNumber};
    }
    if (entry)
        finish(*entry);
}

void LabelStocks::finish(Entry& entry)
{
    auto refuse = [&](const QString& why) {
        m_problems << QStringLiteral("The label stock \"%1\" (%2, line %3) is left out: %4.")
                          .arg(entry.name.isEmpty() ? QStringLiteral("?") : entry.name.left(60),
                               entry.fileName)
                          .arg(entry.line)
                          .arg(why);
    };
    if (!entry.problem.isEmpty())
        return refuse(entry.problem);

    LabelFormat f;
    f.name = entry.name;
    f.source = QStringLiteral("%1, line %2").arg(entry.fileName).arg(entry.line);
    f.fontFamily = QStringLiteral("Arial");

    for (Key key : {Key::Paper, Key::LabelWidth, Key::LabelHeight, Key::HorizontalPitch, Key::VerticalPitch,
                    Key::LeftMargin, Key::TopMargin, Key::Across, Key::Down})
        if (!entry.values.count(key))
            return refuse(QStringLiteral("\"%1\" is missing").arg(keyName(key)));

    auto value = [&](Key key) { return entry.values.at(key).first; };
    auto badValue = [&](Key key, const QString& wanted) {
        refuse(QStringLiteral("\"%1\" on line %2 is \"%3\", not %4")
                   .arg(keyName(key))
                   .arg(entry.values.at(key).second)
                   .arg(value(key).left(40), wanted));
    };

    if (!parsePaper(value(Key::Paper), &f.pageSize))
        return badValue(Key::Paper, QStringLiteral("Letter, Legal, A4 or A5"));

    struct LengthKey
    {
        Key key;
        double* twips;
        bool mayBeZero;
    };
    const LengthKey lengths[] = {
        {Key::LabelWidth, &f.labelWidth, false},
        {Key::LabelHeight, &f.labelHeight, false},
        {Key::HorizontalPitch, &f.horizontalPitch, false},
        {Key::VerticalPitch, &f.verticalPitch, false},
        {Key::LeftMargin, &f.leftMargin, true},
        {Key::TopMargin, &f.topMargin, true},
    };
    for (const LengthKey& l : lengths) {
        bool metric = false;
        if (!parseLength(value(l.key), l.twips, &metric) || (!l.mayBeZero && !(*l.twips > 0)))
            return badValue(l.key, l.mayBeZero
                                       ? QStringLiteral("a length such as \"0.5 in\" or \"12.9 mm\"")
                                       : QStringLiteral("a length above 0 such as \"1 in\" or \"38.1 mm\""));
        if (l.key == Key::LabelWidth)
            f.metric = metric;
    }
    auto count = [&](Key key, int most, int* out) {
        bool ok = false;
        *out = value(key).toInt(&ok);
        if (!ok || *out < 1 || *out > most) {
            badValue(key, QStringLiteral("a number of labels from 1 to %1").arg(most));
            return false;
        }
        return true;
    };
    if (!count(Key::Across, kMaxAcross, &f.across) || !count(Key::Down, kMaxDown, &f.down))
        return;

    // The geometry: every label on the page, none over another.
    const QSizeF paper = f.paperTwips();
    const QString page = f.pageSize.key();
    if (f.labelWidth > paper.width() + kTolerance)
        return refuse(QStringLiteral("its labels are %1 wide, wider than its %2 page (%3)")
                          .arg(f.length(f.labelWidth), page, f.length(paper.width())));
    if (f.labelHeight > paper.height() + kTolerance)
        return refuse(QStringLiteral("its labels are %1 high, higher than its %2 page (%3)")
                          .arg(f.length(f.labelHeight), page, f.length(paper.height())));
    if (f.across > 1 && f.horizontalPitch < f.labelWidth - kTolerance)
        return refuse(
            QStringLiteral("its labels overlap: labels %1 wide are only %2 apart across (horizontal pitch)")
                .arg(f.length(f.labelWidth), f.length(f.horizontalPitch)));
    if (f.down > 1 && f.verticalPitch < f.labelHeight - kTolerance)
        return refuse(
            QStringLiteral("its labels overlap: labels %1 high are only %2 apart down (vertical pitch)")
                .arg(f.length(f.labelHeight), f.length(f.verticalPitch)));
    const double right = f.leftMargin + (f.across - 1) * f.horizontalPitch + f.labelWidth;
    if (right > paper.width() + kTolerance)
        return refuse(
            QStringLiteral("its labels run off the page: the last label across ends %1 from the left "
                           "edge of a %2 page %3 wide")
                .arg(f.length(right), page, f.length(paper.width())));
    const double bottom = f.topMargin + (f.down - 1) * f.verticalPitch + f.labelHeight;
    if (bottom > paper.height() + kTolerance)
        return refuse(
            QStringLiteral("its labels run off the page: the last row of labels ends %1 from the top "
                           "of a %2 page %3 high")
                .arg(f.length(bottom), page, f.length(paper.height())));
    if (f.labelHeight < kLeastLabelHeight - kTolerance)
        return refuse(QStringLiteral("its labels are %1 high, too low for the four lines of an address "
                                     "(at least %2)")
                          .arg(f.length(f.labelHeight), f.length(kLeastLabelHeight)));
    if (f.labelWidth < kLeastLabelWidth - kTolerance)
        return refuse(QStringLiteral("its labels are %1 wide, too narrow for an address (at least %2)")
                          .arg(f.length(f.labelWidth), f.length(kLeastLabelWidth)));

    // The type: four lines fill at most 95% of the label; 10 points, 12 on labels of
    // an inch and a half or more.
    const int most = std::clamp(int(std::floor(kLinesShare * f.labelHeight / (4 * kLineFactor * 20))),
                                kLeastPointSize, kMostPointSize);
    f.fontSize = std::min(most, f.labelHeight >= 1.5 * kInch - kTolerance ? 12 : 10);
    if (entry.values.count(Key::Font)) {
        f.fontFamily = value(Key::Font).simplified();
        if (f.fontFamily.isEmpty() || f.fontFamily.size() > 60)
            return badValue(Key::Font, QStringLiteral("the name of a font"));
    }
    if (entry.values.count(Key::FontSize)) {
        bool ok = false;
        const int size = value(Key::FontSize).toInt(&ok);
        if (!ok || size < kLeastPointSize || size > most)
            return badValue(Key::FontSize,
                            QStringLiteral("a type size in points from %1 to %2, the sizes these labels hold")
                                .arg(kLeastPointSize)
                                .arg(most));
        f.fontSize = size;
    }
    f.fontSizes = sizes(std::min(f.fontSize, 8), most);

    const QString wanted = normalName(f.name);
    for (const LabelFormat& known : m_formats)
        if (normalName(known.name) == wanted)
            return refuse(QStringLiteral("a label format named \"%1\" is listed already").arg(known.name));
    m_formats.push_back(std::move(f));
}

QStringList LabelStocks::names() const
{
    QStringList out;
    for (const LabelFormat& f : m_formats)
        out << f.name;
    return out;
}

const LabelFormat* LabelStocks::find(const QString& name) const
{
    for (const LabelFormat& f : m_formats)
        if (f.name == name)
            return &f;
    return nullptr;
}

const LabelFormat* LabelStocks::lookUp(const QString& name) const
{
    const QString wanted = normalName(name);
    if (wanted.isEmpty())
        return nullptr;
    for (const LabelFormat& f : m_formats)
        if (normalName(f.name) == wanted)
            return &f;
    // The maker left out: the name's last word alone.
    const LabelFormat* found = nullptr;
    for (const LabelFormat& f : m_formats) {
        const QStringList words = f.name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() > 1 && normalName(words.last()) == wanted) {
            if (found)
                return nullptr;
            found = &f;
        }
    }
    return found;
}

} // namespace quillon
