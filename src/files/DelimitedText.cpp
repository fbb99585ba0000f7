#include "files/DelimitedText.h"

#include "files/DeviceStreams.h"
#include "files/GridFile.h"
#include "sheet/RecordSheet.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

namespace quillon {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("GridFile", text);
}

constexpr quint64 kOnes = 0x0101010101010101ull;
constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7Full;
constexpr quint64 kHigh = 0x8080808080808080ull;

/** The high bit of every byte of @p x that is zero, and of no other. */
inline quint64 zeroBytes(quint64 x)
{
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

inline bool isAscii(const char* p, size_t n)
{
    quint64 acc = 0;
    while (n >= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        acc |= w;
        p += 8;
        n -= 8;
    }
    while (n--)
        acc |= quint64(uint8_t(*p++));
    return (acc & kHigh) == 0;
}

/** Where the last, incomplete UTF-8 sequence of [p, p+n) starts; n when it ends complete. */
size_t completeUtf8Prefix(const char* p, size_t n)
{
    for (size_t k = 1; k <= std::min<size_t>(3, n); ++k) {
        const auto b = uint8_t(p[n - k]);
        if ((b & 0xC0u) == 0x80u)
            continue;
        if (b >= 0xC0u) {
            const size_t length = b >= 0xF0u ? 4 : (b >= 0xE0u ? 3 : 2);
            return length > k ? n - k : n;
        }
        return n;
    }
    return n;
}

// Windows-1252 bytes 0x80 to 0x9F; the five the code page leaves free keep their C1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

/** Appends the Windows-1252 byte @p b (0x80 or more) as UTF-8. */
void appendCp1252AsUtf8(std::string& out, uint8_t b)
{
    const char16_t u = b < 0xA0u ? kCp1252High[b - 0x80u] : char16_t(b);
    if (u < 0x800u) {
        out.push_back(char(0xC0u | (u >> 6)));
        out.push_back(char(0x80u | (u & 0x3Fu)));
    } else {
        out.push_back(char(0xE0u | (u >> 12)));
        out.push_back(char(0x80u | ((u >> 6) & 0x3Fu)));
        out.push_back(char(0x80u | (u & 0x3Fu)));
    }
}

/** The length of the well-formed UTF-8 sequence that starts at @p p, a byte of 0x80 or
 *  more, and ends by @p end; 0 when none does (a stray byte, a lead byte without its
 *  tail, an overlong form, a surrogate, a code point past U+10FFFF). */
size_t utf8SequenceAt(const unsigned char* p, const unsigned char* end)
{
    const unsigned b = p[0];
    const auto tail = [](unsigned c) { return (c & 0xC0u) == 0x80u; };
    const size_t left = size_t(end - p);
    if (b >= 0xC2u && b <= 0xDFu)
        return left >= 2 && tail(p[1]) ? 2 : 0;
    if (b >= 0xE0u && b <= 0xEFu) {
        if (left < 3 || !tail(p[1]) || !tail(p[2]))
            return 0;
        if ((b == 0xE0u && p[1] < 0xA0u) || (b == 0xEDu && p[1] >= 0xA0u))
            return 0;
        return 3;
    }
    if (b >= 0xF0u && b <= 0xF4u) {
        if (left < 4 || !tail(p[1]) || !tail(p[2]) || !tail(p[3]))
            return 0;
        if ((b == 0xF0u && p[1] < 0x90u) || (b == 0xF4u && p[1] >= 0x90u))
            return 0;
        return 4;
    }
    return 0;
}

/** Where the first byte of [p, p+n) that is not part of well-formed UTF-8 is; n when
 *  there is none. */
size_t firstNonUtf8(const char* p, size_t n)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    const auto* const end = u + n;
    const auto* q = u;
    while (q < end) {
        if (size_t(end - q) >= 8 && isAscii(reinterpret_cast<const char*>(q), 8)) {
            q += 8;
            continue;
        }
        if (*q < 0x80u) {
            ++q;
            continue;
        }
        const size_t k = utf8SequenceAt(q, end);
        if (k == 0)
            return size_t(q - u);
        q += k;
    }
    return n;
}

GridProgress scaled(const GridProgress& progress, qint64 base, qint64 total)
{
    if (!progress)
        return {};
    return [&progress, base, total](qint64 done, qint64) { return progress(base + done, total); };
}

} // namespace

void appendMixedAsUtf8(std::string& out, const char* p, size_t n)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    const auto* const end = u + n;
    while (u < end) {
        const auto* run = u;
        while (u < end && *u < 0x80u)
            ++u;
        size_t k = 0;
        while (u < end && *u >= 0x80u && (k = utf8SequenceAt(u, end)) != 0)
            u += k;
        out.append(reinterpret_cast<const char*>(run), size_t(u - run));
        if (u < end && *u >= 0x80u)
            appendCp1252AsUtf8(out, *u++);
    }
}

// ---- reading ------------------------------------------------------------------

struct DelimitedTextReader::Scan
{
    qint64 size = 0;
    qint64 rows = 0; ///< an upper bound: line breaks inside quoted cells count too
    bool utf8 = true;
};

bool DelimitedTextReader::scan(QIODevice& device, Scan& result, QString* error, const GridProgress& progress)
{
    const qint64 start = device.pos();
    DeviceReader in(device, -1, progress);
    quint64 lf = 0, cr = 0, crlf = 0;
    bool prevCr = false;
    char last = 0;
    bool valid = true;
    qint64 size = 0;
    for (;;) {
        const bool more = in.fill(in.available() + 1);
        if (in.available() == 0)
            break;
        const char* p = in.pos();
        const size_t n = more ? completeUtf8Prefix(p, in.available()) : in.available();
        if (n == 0) // a lone incomplete sequence waiting for the next piece
            continue;
        quint64 high = 0;
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            quint64 w;
            std::memcpy(&w, p + i, 8);
            if (zeroBytes(w))
                return error ? (*error = tr("The file is not a text file: it holds binary data."), false)
                             : false;
            high |= w;
            const quint64 lfm = zeroBytes(w ^ (kOnes * '\n'));
            const quint64 crm = zeroBytes(w ^ (kOnes * '\r'));
            if (lfm | crm) {
                lf += quint64(std::popcount(lfm));
                cr += quint64(std::popcount(crm));
                crlf += quint64(std::popcount((crm << 8) & lfm));
                if (prevCr && (lfm & 0x80u))
                    ++crlf;
            }
            prevCr = (crm >> 63) != 0;
        }
        for (; i < n; ++i) {
            const char c = p[i];
            if (c == '\0')
                return error ? (*error = tr("The file is not a text file: it holds binary data."), false)
                             : false;
            high |= quint64(uint8_t(c));
            if (c == '\n') {
                ++lf;
                crlf += prevCr ? 1 : 0;
            }
            cr += c == '\r';
            prevCr = c == '\r';
        }
        if (valid && (high & kHigh))
            valid = QByteArrayView(p, qsizetype(n)).isValidUtf8();
        last = p[n - 1];
        size += qint64(n);
        in.advance(n);
        if (!more)
            break;
    }
    if (in.failed())
        return error ? (*error = in.error(), false) : false;
    if (!device.seek(start))
        return error ? (*error = device.errorString(), false) : false;
    result.size = size;
    result.utf8 = valid;
    result.rows = qint64(lf + cr - crlf) + ((size > 0 && last != '\n' && last != '\r') ? 1 : 0);
    return true;
}

namespace {

struct FieldRef
{
    size_t offset;
    size_t length;
    bool inScratch;
};

enum class RowEnd { Done, NeedMore, Unclosed, TooWide };

/** Cuts one row out of [begin, end). @p eof says that nothing follows @p end. */
class RowCutter
{
public:
    explicit RowCutter(char delimiter) : m_delimiter(delimiter)
    {
        std::memset(m_special, 0, sizeof m_special);
        m_special[uint8_t(delimiter)] = true;
        m_special[uint8_t('\r')] = true;
        m_special[uint8_t('\n')] = true;
    }

    std::vector<FieldRef> fields;
    std::string scratch;
    size_t consumed = 0;
    size_t unclosedField = 0;
    /** After NeedMore: where the cell being cut starts, from the row's start. */
    size_t openField = 0;

    /** Cuts at most @p maxFields cells; a row of more ends in TooWide. */
    RowEnd cut(const char* begin, const char* end, bool eof, size_t maxFields)
    {
        fields.clear();
        scratch.clear();
        const char* p = begin;
        for (;;) {
            if (fields.size() == maxFields)
                return RowEnd::TooWide;
            openField = size_t(p - begin);
            if (p < end && *p == '"') {
                const char* segment = p + 1;
                const char* q = segment;
                bool useScratch = false;
                for (;;) {
                    const auto* quote = static_cast<const char*>(std::memchr(q, '"', size_t(end - q)));
                    if (!quote) {
                        unclosedField = fields.size();
                        return eof ? RowEnd::Unclosed : RowEnd::NeedMore;
                    }
                    if (quote + 1 == end && !eof)
                        return RowEnd::NeedMore;
                    if (quote + 1 < end && quote[1] == '"') {
                        if (!useScratch) {
                            useScratch = true;
                            fields.push_back({scratch.size(), 0, true});
                        }
                        scratch.append(segment, size_t(quote + 1 - segment));
                        q = segment = quote + 2;
                        continue;
                    }
                    if (useScratch) {
                        scratch.append(segment, size_t(quote - segment));
                        fields.back().length = scratch.size() - fields.back().offset;
                    } else {
                        fields.push_back({size_t(segment - begin), size_t(quote - segment), false});
                    }
                    p = quote + 1;
                    break;
                }
                // Text after the closing quote, up to the delimiter, belongs to the cell.
                const char* t = p;
                while (t < end && !m_special[uint8_t(*t)])
                    ++t;
                if (t == end && !eof)
                    return RowEnd::NeedMore;
                if (t > p) {
                    FieldRef& f = fields.back();
                    if (!f.inScratch) {
                        const size_t at = scratch.size();
                        scratch.append(begin + f.offset, f.length);
                        f = {at, f.length, true};
                    }
                    scratch.append(p, size_t(t - p));
                    f.length += size_t(t - p);
                    p = t;
                }
            } else {
                const char* start = p;
                while (p < end && !m_special[uint8_t(*p)])
                    ++p;
                if (p == end && !eof)
                    return RowEnd::NeedMore;
                fields.push_back({size_t(start - begin), size_t(p - start), false});
            }
            if (p == end) {
                consumed = size_t(p - begin);
                return RowEnd::Done;
            }
            const char c = *p++;
            if (c == m_delimiter)
                continue;
            if (c == '\r') {
                if (p == end && !eof)
                    return RowEnd::NeedMore;
                if (p < end && *p == '\n')
                    ++p;
            }
            consumed = size_t(p - begin);
            return RowEnd::Done;
        }
    }

private:
    char m_delimiter;
    bool m_special[256];
};

} // namespace

bool DelimitedTextReader::parse(QIODevice& device, const RowHandler& handler, QString* error,
                                const GridProgress& progress, qint64 progressBase, qint64 progressTotal)
{
    const GridProgress step = scaled(progress, progressBase, progressTotal);
    DeviceReader in(device, -1, step);
    RowCutter cutter(m_delimiter);
    std::string converted;
    constexpr size_t kAsItIs = ~size_t(0);
    std::vector<std::pair<size_t, size_t>> convertedAt; // a cell's place in converted, or kAsItIs
    std::vector<QByteArrayView> views;
    // Only a file that is not all UTF-8 has its cells looked at one by one.
    const bool mixed = m_encoding == Encoding::Windows1252;
    const auto refuse = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    int row = 0;
    for (;;) {
        if (in.available() == 0 && !in.fill(1))
            break;
        const bool eof = in.remaining() == qint64(in.available());
        const RowEnd end = cutter.cut(in.pos(), in.end(), eof, size_t(RecordSheet::kMaxCols));
        if (end == RowEnd::NeedMore) {
            if (qint64(in.available() - cutter.openField) > kMaxCellTextBytes)
                return refuse(tr("Its row %1 has a cell of more than %2 bytes, more than a cell of a sheet can "
                                 "hold.")
                                  .arg(row + 1)
                                  .arg(kMaxCellTextBytes));
            in.fill(std::max<size_t>(in.available() * 2, in.available() + 1));
            if (in.failed())
                break;
            continue;
        }
        if (end == RowEnd::Unclosed)
            return refuse(tr("The quoted cell in row %1, column %2 is never closed; the file may have been cut "
                             "short.")
                              .arg(row + 1)
                              .arg(cutter.unclosedField + 1));
        if (end == RowEnd::TooWide)
            return refuse(tr("Its row %1 has %2 cells or more, more than the %3 columns a sheet can hold.")
                              .arg(row + 1)
                              .arg(RecordSheet::kMaxCols + 1)
                              .arg(RecordSheet::kMaxCols));
        if (row == RecordSheet::kMaxRows)
            return refuse(tr("It has more than the %1 rows a sheet can hold.").arg(RecordSheet::kMaxRows));
        const char* base = in.pos();
        views.clear();
        if (mixed) {
            // Cells that are all UTF-8 are taken as they are, the others converted;
            // the views are made once every conversion is done.
            converted.clear();
            convertedAt.clear();
            for (const FieldRef& f : cutter.fields) {
                const char* p = (f.inScratch ? cutter.scratch.data() : base) + f.offset;
                if (firstNonUtf8(p, f.length) == f.length) {
                    convertedAt.emplace_back(kAsItIs, 0);
                    continue;
                }
                const size_t at = converted.size();
                appendMixedAsUtf8(converted, p, f.length);
                convertedAt.emplace_back(at, converted.size() - at);
            }
            for (size_t i = 0; i < cutter.fields.size(); ++i) {
                const FieldRef& f = cutter.fields[i];
                const auto [at, length] = convertedAt[i];
                if (at == kAsItIs)
                    views.emplace_back((f.inScratch ? cutter.scratch.data() : base) + f.offset, qsizetype(f.length));
                else
                    views.emplace_back(converted.data() + at, qsizetype(length));
            }
        } else {
            for (const FieldRef& f : cutter.fields)
                views.emplace_back((f.inScratch ? cutter.scratch.data() : base) + f.offset, qsizetype(f.length));
        }
        if (!handler(row, views))
            return true;
        in.advance(cutter.consumed);
        ++row;
    }
    if (in.failed())
        return refuse(in.error());
    return true;
}

bool DelimitedTextReader::readUtf16(QIODevice& device, const RowHandler& handler, QString* error,
                                    const GridProgress& progress)
{
    const QByteArray raw = device.readAll();
    const bool little = raw.startsWith("\xFF\xFE");
    QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    const QString text = decoder.decode(QByteArrayView(raw).sliced(2));
    if (decoder.hasError() || raw.size() % 2 != 0)
        return error ? (*error = tr("The file is not valid UTF-16 text."), false) : false;
    QByteArray utf8 = text.toUtf8();
    QBuffer buffer(&utf8);
    buffer.open(QIODevice::ReadOnly);
    if (utf8.isEmpty())
        return error ? (*error = tr("The file is empty."), false) : false;
    Scan s;
    if (!scan(buffer, s, error, {}))
        return false;
    m_rowHint = s.rows;
    m_encoding = Encoding::Utf16;
    return parse(buffer, handler, error, progress, 0, s.size);
}

bool DelimitedTextReader::read(QIODevice& device, const RowHandler& handler, QString* error,
                               const GridProgress& progress)
{
    if (device.isSequential()) {
        QByteArray all = device.readAll();
        QBuffer buffer(&all);
        buffer.open(QIODevice::ReadOnly);
        return read(buffer, handler, error, progress);
    }
    m_encoding = Encoding::Utf8;
    const QByteArray head = device.peek(3);
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return readUtf16(device, handler, error, progress);
    if (head == "\xEF\xBB\xBF")
        device.skip(3);
    if (device.size() - device.pos() <= 0)
        return error ? (*error = tr("The file is empty."), false) : false;
    const qint64 size = device.size() - device.pos();
    // The first pass decides the encoding and counts the lines, so that the sheet is
    // sized once; the second cuts the cells. Each pass counts for half the progress.
    Scan s;
    if (!scan(device, s, error, scaled(progress, 0, 2 * size)))
        return false;
    m_encoding = s.utf8 ? Encoding::Utf8 : Encoding::Windows1252;
    m_rowHint = s.rows;
    return parse(device, handler, error, progress, size, 2 * size);
}

bool DelimitedTextReader::readInto(QIODevice& device, RecordSheet& sheet, QString* error,
                                   const GridProgress& progress)
{
    RecordSheet::Batch batch(sheet);
    int rows = 0;
    QString tooLarge;
    // Few bytes must not make a huge grid of empty cells: a file makes no more cells
    // than two a byte, or 2^26 when it is small, and never more than a sheet holds.
    const qint64 cellLimit = std::max<qint64>(qint64(1) << 26, 2 * (device.size() - device.pos()));
    std::vector<quint64> columnBytes;
    bool sized = false;
    const auto handler = [&](int row, std::span<const QByteArrayView> cells) {
        if (!sized) {
            // The line count is known once the first pass is done; it is a bound, as
            // line breaks inside quoted cells count too.
            sized = true;
            sheet.setRows(int(std::clamp<qint64>(m_rowHint, 1, RecordSheet::kMaxRows)));
        }
        if (row >= sheet.rows())
            sheet.setRows(row + 1);
        const int width = int(cells.size()); // the reader cuts no more than a sheet has columns
        if (width > sheet.cols()) {
            tooLarge = sheetSizeRefusal(sheet.rows(), width);
            if (tooLarge.isEmpty() && qint64(width) * sheet.rows() > cellLimit)
                tooLarge = tr("The file has %1 lines of up to %2 cells: more than Quillon can hold.")
                               .arg(sheet.rows())
                               .arg(width);
            if (!tooLarge.isEmpty())
                return false;
            sheet.setCols(width);
            columnBytes.resize(size_t(width), 0);
        }
        for (int c = 0; c < width; ++c) {
            const QByteArrayView text = cells[size_t(c)];
            if (text.isEmpty())
                continue;
            // As a native file: a column keeps no more text than its 32-bit positions reach.
            columnBytes[size_t(c)] += quint64(text.size()) + 5;
            if (columnBytes[size_t(c)] > kMaxColumnTextBytes) {
                tooLarge = tr("Its column %1 holds more text than a column of a sheet can keep.").arg(c + 1);
                return false;
            }
            sheet.setTextUtf8(row, c, text);
            if (sheet.isCellEmpty(row, c)) { // long texts leave room unused: the column filled up sooner
                tooLarge = tr("Its column %1 holds more text than a column of a sheet can keep.").arg(c + 1);
                return false;
            }
        }
        rows = row + 1;
        return true;
    };
    if (!read(device, handler, error, progress))
        return false;
    if (!tooLarge.isEmpty())
        return error ? (*error = tooLarge, false) : false;
    sheet.setRows(std::max(rows, 1));
    return true;
}

// ---- writing ------------------------------------------------------------------

bool startsLikeFormula(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    switch (text.front()) {
    case '=':
    case '+':
    case '@':
    case '\t':
    case '\r':
        return true;
    case '-':
        break;
    default:
        return false;
    }
    // A negative number is data: a spreadsheet reads "-5", "-12.50", "-.5" and "-1,234.5"
    // as numbers, and an apostrophe would turn them into text. Anything else after the
    // minus ("-2+3", "-A1", "- 5") is taken as the start of a formula.
    const char* p = text.data() + 1;
    const char* const end = text.data() + text.size();
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const char* run = p;
    while (p < end && digit(*p))
        ++p;
    if (p == run && !(p + 1 < end && *p == '.' && digit(p[1])))
        return true;
    // Thousands groups follow one to three leading digits.
    if (p < end && *p == ',') {
        if (p == run || p - run > 3)
            return true;
        while (p < end && *p == ',') {
            ++p;
            for (int i = 0; i < 3; ++i, ++p)
                if (p >= end || !digit(*p))
                    return true;
        }
    }
    if (p < end && *p == '.') {
        ++p;
        const char* decimals = p;
        while (p < end && digit(*p))
            ++p;
        if (p == decimals)
            return true;
    }
    return p != end;
}

namespace {

template<bool ForSpreadsheets>
bool writeDelimited(QIODevice& device, const RecordSheet& sheet, char delimiter, QString* error,
                    const GridProgress& progress)
{
    const int rows = sheet.rows();
    const int cols = sheet.cols();
    qint64 expected = qint64(rows) * (cols + 1);
    for (int c = 0; c < cols; ++c)
        expected += qint64(sheet.textColumn(c).arenaBytes() - sheet.textColumn(c).garbageBytes());
    bool special[256] = {};
    special[uint8_t(delimiter)] = special[uint8_t('"')] = special[uint8_t('\r')] = special[uint8_t('\n')] = true;

    DeviceWriter out(device, progress, expected);
    if constexpr (ForSpreadsheets)
        out.put("\xEF\xBB\xBF", 3);
    for (int r = 0; r < rows && !out.failed(); ++r) {
        for (int c = 0; c < cols; ++c) {
            const QByteArrayView text = sheet.textColumn(c).utf8(r);
            const size_t n = size_t(text.size());
            const char* p = text.data();
            bool apostrophe = false;
            if constexpr (ForSpreadsheets)
                apostrophe = startsLikeFormula(text);
            size_t quotes = 0;
            bool quote = false;
            for (size_t i = 0; i < n; ++i) {
                if (special[uint8_t(p[i])]) {
                    quote = true;
                    quotes += p[i] == '"';
                }
            }
            const size_t need = n + quotes + 4;
            char* q = need <= DeviceWriter::kChunk ? out.reserve(need) : nullptr;
            if (!q) {
                // A huge cell goes out in pieces.
                if (c > 0)
                    out.putByte(delimiter);
                if (quote)
                    out.putByte('"');
                if (apostrophe)
                    out.putByte('\'');
                for (size_t i = 0; i < n; ++i) {
                    if (p[i] == '"')
                        out.putByte('"');
                    out.putByte(p[i]);
                }
                if (quote)
                    out.putByte('"');
                continue;
            }
            char* const start = q;
            if (c > 0)
                *q++ = delimiter;
            if (!quote) {
                if (apostrophe)
                    *q++ = '\'';
                if (n)
                    std::memcpy(q, p, n);
                q += n;
            } else {
                *q++ = '"';
                if (apostrophe)
                    *q++ = '\'';
                for (size_t i = 0; i < n; ++i) {
                    if (p[i] == '"')
                        *q++ = '"';
                    *q++ = p[i];
                }
                *q++ = '"';
            }
            out.commit(size_t(q - start));
        }
        char* q = out.reserve(2);
        q[0] = '\r';
        q[1] = '\n';
        out.commit(2);
    }
    if (!out.flush()) {
        if (error)
            *error = out.error();
        return false;
    }
    return true;
}

} // namespace

bool writeDelimitedText(QIODevice& device, const RecordSheet& sheet, char delimiter, QString* error,
                        const GridProgress& progress)
{
    return writeDelimited<false>(device, sheet, delimiter, error, progress);
}

bool writeSpreadsheetCsv(QIODevice& device, const RecordSheet& sheet, QString* error, const GridProgress& progress)
{
    return writeDelimited<true>(device, sheet, ',', error, progress);
}

} // namespace quillon
