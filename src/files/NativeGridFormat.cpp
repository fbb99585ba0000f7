#include "files/NativeGridFormat.h"

#include "files/DeviceStreams.h"
#include "sheet/RecordSheet.h"

#include <QCoreApplication>
#include <QIODevice>

#include <algorithm>
#include <climits>

namespace quillon::NativeGridFormat {

namespace {

// See docs/native-format.md.
constexpr char kMagic[8] = {'\x89', 'V', 'T', 'Y', '\r', '\n', '\x1a', '\n'};
constexpr size_t kHeaderSize = 32;
constexpr size_t kColumnFixedSize = 17; // type, alignment, width, hidden, format length
constexpr size_t kRowHeightSize = 8;
constexpr size_t kStyleSize = 20;
constexpr size_t kTrailerSize = 8;
constexpr uint8_t kKnownStyleFlags = CellStyle::Bold | CellStyle::Italic | CellStyle::Underline |
                                     CellStyle::HasBack | CellStyle::HasFore;

QString tr(const char* text)
{
    return QCoreApplication::translate("GridFile", text);
}

void putU32(char* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xffu);
}

void putU64(char* p, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = char((v >> (8 * i)) & 0xffu);
}

quint32 getU32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

quint64 getU64(const char* p)
{
    return quint64(getU32(p)) | (quint64(getU32(p + 4)) << 32);
}

size_t putVarint(char* p, quint32 v)
{
    size_t n = 0;
    while (v >= 0x80u) {
        p[n++] = char((v & 0x7fu) | 0x80u);
        v >>= 7;
    }
    p[n++] = char(v);
    return n;
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
    return (acc & 0x8080808080808080ull) == 0;
}

inline bool isValidText(const char* p, size_t n)
{
    return isAscii(p, n) || QByteArrayView(p, qsizetype(n)).isValidUtf8();
}

/** The reader's state and its failure reasons. */
class Reader
{
public:
    Reader(DeviceReader& in, QString* error) : m_in(in), m_error(error) {}

    bool fail(const QString& reason)
    {
        if (m_error && m_error->isEmpty())
            *m_error = reason;
        return false;
    }
    bool cutShort()
    {
        if (m_in.failed())
            return fail(m_in.error());
        return fail(tr("The file ends before its data is complete; it may have been cut short."));
    }
    bool damaged(const QString& what) { return fail(tr("The file is damaged: %1.").arg(what)); }

    /** @p n bytes at pos(), or false with the reason set. */
    bool need(quint64 n)
    {
        if (quint64(m_in.remaining()) < n)
            return cutShort();
        if (!m_in.fill(size_t(n)))
            return cutShort();
        return true;
    }
    /** True when @p count items of at least @p each bytes can still be in the file. */
    bool fits(quint64 count, quint64 each) const
    {
        return each == 0 || count <= quint64(m_in.remaining()) / each;
    }

    quint32 u32()
    {
        const quint32 v = getU32(m_in.pos());
        m_in.advance(4);
        return v;
    }
    qint32 i32() { return qint32(u32()); }
    uint8_t u8()
    {
        const auto v = uint8_t(*m_in.pos());
        m_in.advance(1);
        return v;
    }

    DeviceReader& m_in;
    QString* m_error;
};

bool readTexts(Reader& rd, RecordSheet& sheet, int rows, int cols)
{
    DeviceReader& in = rd.m_in;
    for (int c = 0; c < cols; ++c) {
        quint64 columnBytes = 0;
        for (int r = 0; r < rows; ++r) {
            if (in.available() < 5)
                in.fill(5);
            const char* p = in.pos();
            const char* const end = in.end();
            if (p == end)
                return rd.cutShort();
            quint32 len = uint8_t(*p++);
            if (len & 0x80u) {
                len &= 0x7fu;
                for (int shift = 7;; shift += 7) {
                    if (p == end)
                        return rd.cutShort();
                    if (shift > 28)
                        return rd.damaged(tr("a cell's length is out of range"));
                    const quint32 b = uint8_t(*p++);
                    len |= (b & 0x7fu) << shift;
                    if (!(b & 0x80u))
                        break;
                }
                if (len > quint32(INT_MAX))
                    return rd.damaged(tr("a cell's length is out of range"));
            }
            in.setPos(p);
            if (len == 0)
                continue;
            if (in.available() < len && !rd.need(len))
                return false;
            columnBytes += len + 5;
            if (columnBytes > kMaxColumnTextBytes)
                return rd.fail(tr("A column holds more text than Quillon can keep."));
            if (!isValidText(in.pos(), len))
                return rd.damaged(tr("a cell text is not valid UTF-8"));
            sheet.setTextUtf8(r, c, QByteArrayView(in.pos(), qsizetype(len)));
            if (sheet.isCellEmpty(r, c)) // long texts leave room unused: the column filled up sooner
                return rd.fail(tr("A column holds more text than Quillon can keep."));
            in.advance(len);
        }
    }
    return true;
}

} // namespace

QByteArray magic()
{
    return QByteArray(kMagic, sizeof kMagic);
}

bool read(QIODevice& device, RecordSheet& sheet, QString* error, const GridProgress& progress)
{
    const qint64 size = device.size() - device.pos();
    if (size <= 0)
        return error ? (*error = tr("The file is empty."), false) : false;
    const QByteArray head = device.peek(sizeof kMagic);
    if (head != magic().left(head.size()))
        return error ? (*error = tr("The file is not a Quillon grid file."), false) : false;
    if (quint64(size) < kHeaderSize + kTrailerSize) {
        if (error)
            *error = tr("The file ends before its data is complete; it may have been cut short.");
        return false;
    }

    Xxh64 hash;
    DeviceReader in(device, size - qint64(kTrailerSize), progress, &hash);
    Reader rd(in, error);
    if (!rd.need(kHeaderSize))
        return false;
    in.advance(sizeof kMagic);
    const quint32 version = rd.u32();
    const quint32 rows = rd.u32();
    const quint32 cols = rd.u32();
    const qint32 defaultHeight = rd.i32();
    const qint32 fontSize = rd.i32();
    rd.u32(); // reserved
    if (version == 0)
        return rd.damaged(tr("its format version is 0"));
    if (version > kVersion)
        return rd.fail(tr("The file was written by a newer version of Quillon (grid format %1); "
                          "this version reads grid format %2.")
                           .arg(version)
                           .arg(kVersion));
    if (rows < 1 || rows > quint32(INT_MAX) || cols > quint32(INT_MAX))
        return rd.damaged(tr("its row or column count is out of range"));
    if (defaultHeight < 0 || fontSize < 0 || fontSize > 400)
        return rd.damaged(tr("its default row height or font size is out of range"));
    // Every column needs its attributes and one length byte a row at least.
    if (!rd.fits(cols, kColumnFixedSize + rows))
        return rd.cutShort();
    // Rows without columns take no bytes: the sheet's own bounds decide.
    const QString tooLarge = sheetSizeRefusal(rows, cols);
    if (!tooLarge.isEmpty())
        return rd.fail(tooLarge);

    RecordSheet::Batch batch(sheet);
    sheet.setCols(int(cols));
    sheet.setRows(int(rows));
    sheet.setDefaultRowHeight(defaultHeight);
    sheet.setFontPointSize(fontSize);

    for (int c = 0; c < int(cols); ++c) {
        if (!rd.need(kColumnFixedSize))
            return false;
        ColumnAttributes a;
        a.dataType = rd.i32();
        a.alignment = rd.i32();
        a.width = rd.i32();
        const uint8_t hidden = rd.u8();
        const quint32 formatLength = rd.u32();
        if (a.width < 0 || hidden > 1)
            return rd.damaged(tr("the attributes of column %1 are out of range").arg(c + 1));
        a.hidden = hidden != 0;
        if (formatLength > 0) {
            if (!rd.need(formatLength))
                return false;
            if (!isValidText(in.pos(), formatLength))
                return rd.damaged(tr("the format of column %1 is not valid UTF-8").arg(c + 1));
            a.format = QString::fromUtf8(in.pos(), qsizetype(formatLength));
            in.advance(formatLength);
        }
        sheet.setColumn(c, a);
    }

    if (!rd.need(4))
        return false;
    const quint32 heightCount = rd.u32();
    if (heightCount > rows || !rd.fits(heightCount, kRowHeightSize))
        return heightCount > rows ? rd.damaged(tr("it lists more row heights than rows")) : rd.cutShort();
    qint64 lastRow = -1;
    for (quint32 i = 0; i < heightCount; ++i) {
        if (!rd.need(kRowHeightSize))
            return false;
        const quint32 row = rd.u32();
        const qint32 height = rd.i32();
        if (row >= rows || qint64(row) <= lastRow || height < 0)
            return rd.damaged(tr("a row height is out of range or out of order"));
        lastRow = row;
        sheet.setRowHeight(int(row), height);
    }

    if (!rd.need(4))
        return false;
    const quint32 styleCount = rd.u32();
    if (!rd.fits(styleCount, kStyleSize))
        return rd.cutShort();
    quint64 lastKey = 0;
    for (quint32 i = 0; i < styleCount; ++i) {
        if (!rd.need(kStyleSize))
            return false;
        const quint32 row = rd.u32();
        const quint32 col = rd.u32();
        CellStyle s;
        s.back = rd.u32() & 0xffffffu;
        s.fore = rd.u32() & 0xffffffu;
        s.flags = rd.u8() & kKnownStyleFlags;
        s.checked = int8_t(rd.u8());
        s.alignment = rd.u8();
        s.picture = rd.u8();
        const quint64 key = RecordSheet::styleKey(int(row), int(col));
        if (row >= rows || col >= cols || (i > 0 && key <= lastKey))
            return rd.damaged(tr("a cell style is out of range or out of order"));
        lastKey = key;
        sheet.setStyle(int(row), int(col), s);
    }

    if (!readTexts(rd, sheet, int(rows), int(cols)))
        return false;
    if (!in.consumedAll()) {
        if (in.failed())
            return rd.fail(in.error());
        return rd.damaged(tr("there are bytes after the last cell"));
    }
    char trailer[kTrailerSize];
    if (device.read(trailer, qint64(kTrailerSize)) != qint64(kTrailerSize))
        return rd.cutShort();
    if (getU64(trailer) != hash.digest())
        return rd.damaged(tr("its checksum does not match its contents"));
    return true;
}

bool write(QIODevice& device, const RecordSheet& sheet, QString* error, const GridProgress& progress)
{
    const int rows = sheet.rows();
    const int cols = sheet.cols();
    qint64 expected = qint64(kHeaderSize + kTrailerSize) + qint64(rows) * cols;
    for (int c = 0; c < cols; ++c)
        expected += qint64(sheet.textColumn(c).arenaBytes() - sheet.textColumn(c).garbageBytes());

    Xxh64 hash;
    DeviceWriter out(device, progress, expected, &hash);
    char* h = out.reserve(kHeaderSize);
    std::memcpy(h, kMagic, sizeof kMagic);
    putU32(h + 8, kVersion);
    putU32(h + 12, quint32(rows));
    putU32(h + 16, quint32(cols));
    putU32(h + 20, quint32(sheet.defaultRowHeight()));
    putU32(h + 24, quint32(sheet.fontPointSize()));
    putU32(h + 28, 0);
    out.commit(kHeaderSize);

    for (int c = 0; c < cols; ++c) {
        const ColumnAttributes& a = sheet.column(c);
        const QByteArray format = a.format.toUtf8();
        char* p = out.reserve(kColumnFixedSize);
        putU32(p, quint32(a.dataType));
        putU32(p + 4, quint32(a.alignment));
        putU32(p + 8, quint32(std::max(a.width, 0)));
        p[12] = a.hidden ? 1 : 0;
        putU32(p + 13, quint32(format.size()));
        out.commit(kColumnFixedSize);
        out.put(format.constData(), size_t(format.size()));
    }

    const auto& heights = sheet.rowHeights();
    char* p = out.reserve(4);
    putU32(p, quint32(heights.size()));
    out.commit(4);
    for (const auto& [row, height] : heights) {
        p = out.reserve(kRowHeightSize);
        putU32(p, quint32(row));
        putU32(p + 4, quint32(std::max(height, 0)));
        out.commit(kRowHeightSize);
    }

    const auto styles = sheet.styledCells();
    p = out.reserve(4);
    putU32(p, quint32(styles.size()));
    out.commit(4);
    for (const auto& [key, s] : styles) {
        p = out.reserve(kStyleSize);
        putU32(p, quint32(RecordSheet::styleKeyRow(key)));
        putU32(p + 4, quint32(RecordSheet::styleKeyCol(key)));
        putU32(p + 8, s.back);
        putU32(p + 12, s.fore);
        p[16] = char(s.flags);
        p[17] = char(s.checked);
        p[18] = char(s.alignment);
        p[19] = char(s.picture);
        out.commit(kStyleSize);
    }

    for (int c = 0; c < cols && !out.failed(); ++c) {
        const TextColumn& column = sheet.textColumn(c);
        for (int r = 0; r < rows; ++r) {
            const QByteArrayView text = column.utf8(r);
            const size_t n = size_t(text.size());
            if (n <= 4096) {
                char* q = out.reserve(5 + n);
                const size_t k = putVarint(q, quint32(n));
                if (n)
                    std::memcpy(q + k, text.data(), n);
                out.commit(k + n);
            } else {
                char* q = out.reserve(5);
                out.commit(putVarint(q, quint32(n)));
                out.put(text.data(), n);
            }
        }
    }
    out.flush();
    char trailer[kTrailerSize];
    putU64(trailer, hash.digest());
    out.put(trailer, kTrailerSize);
    if (!out.flush()) {
        if (error)
            *error = out.error();
        return false;
    }
    return true;
}

} // namespace quillon::NativeGridFormat
