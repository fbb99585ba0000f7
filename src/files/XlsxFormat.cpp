#include "files/XlsxFormat.h"

#include "files/DeviceStreams.h"
#include "files/XmlScanner.h"
#include "sheet/RecordSheet.h"
#include "sheet/ValueFormat.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QLocale>
#include <QTemporaryFile>
#include <QXmlStreamReader>

#include <minizip/unzip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillon::XlsxFormat {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("GridFile", text);
}

bool fail(QString* error, const QString& reason)
{
    if (error && error->isEmpty())
        *error = reason;
    return false;
}

QString megabytes(qint64 bytes)
{
    return QLocale::c().toString(double(bytes) / (1 << 20), 'f', 1) + QStringLiteral(" MB");
}

/** The program's display formats of each formatted type. */
const QStringList& numberPictures()
{
    static const QStringList p = QStringLiteral("0|0.0|0.00|0.000|0.0000|%|#.00%|#,###|#,###.00").split(QLatin1Char('|'));
    return p;
}
const QStringList& moneyPictures()
{
    static const QStringList p = QStringLiteral("$#,###|$#,###.00").split(QLatin1Char('|'));
    return p;
}
const QStringList& datePictures()
{
    static const QStringList p =
        QStringLiteral("mm/dd/yy|mm/dd/yyyy|m/d/yy|m/d/yyyy|dd-Mmm-yyyy|Mmm-dd-yyyy|mm/dd/yy hh:mm|mm/dd/yy "
                       "hh:mm:ss|mm/dd/yy hh:mm AMPM|mm/dd/yy hh:mm:ss AMPM")
            .split(QLatin1Char('|'));
    return p;
}

const QDate kEpoch1900(1899, 12, 30);
const QDate kEpoch1904(1904, 1, 1);

} // namespace

QString spreadsheetFormat(int dataType, const QString& format)
{
    switch (dataType) {
    case TypeText:
        return QStringLiteral("@");
    case TypeNumber:
    case TypeMoney:
        if (format == QLatin1String("%"))
            return QStringLiteral("0%");
        return format;
    case TypeDate: {
        if (format.isEmpty())
            return QStringLiteral("mm/dd/yyyy");
        QString f = format;
        f.replace(QLatin1String("AMPM"), QLatin1String("AM/PM"), Qt::CaseInsensitive);
        // Month names are "mmm" to a spreadsheet; "AM/PM" keeps its case.
        QString out;
        for (qsizetype i = 0; i < f.size(); ++i) {
            if (f.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
                out += QLatin1String("AM/PM");
                i += 4;
            } else {
                out += f[i].toLower();
            }
        }
        return out;
    }
    default:
        return {};
    }
}

// ---- writing --------------------------------------------------------------------------

namespace {

/** Twips to a spreadsheet's column width in characters of Calibri 11 (7-pixel digits,
 *  5 pixels of padding, 96 pixels an inch). */
double widthInCharacters(int twips)
{
    const double pixels = twips / 15.0;
    return pixels < 12 ? pixels / 12.0 : (pixels - 5) / 7.0;
}

/** Escapes the spreadsheet's own "_xHHHH_" escapes that a text holds, so that they
 *  come back as they are: the underscore becomes "_x005F_". */
bool needsUnderscoreEscape(QByteArrayView text)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '_', size_t(end - p))))) {
        if (end - p >= 7 && p[1] == 'x' && std::isxdigit(uchar(p[2])) && std::isxdigit(uchar(p[3])) &&
            std::isxdigit(uchar(p[4])) && std::isxdigit(uchar(p[5])) && p[6] == '_')
            return true;
        ++p;
    }
    return false;
}

void appendUnderscoreEscaped(std::string& out, QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && needsUnderscoreEscape(text.sliced(i, std::min<qsizetype>(7, text.size() - i))))
            out += "_x005F";
        out.push_back(text[i]);
    }
}

qsizetype characterCount(QByteArrayView utf8)
{
    qsizetype n = 0;
    for (const char c : utf8)
        n += (uchar(c) & 0xC0u) != 0x80u;
    return n;
}

/** The day serial of @p dt as a spreadsheet counts it (1900 system, with its
 *  29 February 1900); -1 before 1900. */
double serialOf(const QDateTime& dt)
{
    const QDate d = dt.date();
    if (d < QDate(1900, 1, 1))
        return -1;
    qint64 days = kEpoch1900.daysTo(d);
    if (d < QDate(1900, 3, 1))
        --days;
    return double(days) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

/** A number to write for a text of a Number or Money column: one that 15 significant
 *  digits show exactly, as a spreadsheet keeps them. */
std::optional<double> numberToWrite(QByteArrayView text)
{
    const std::optional<double> v = ParseNumber(QString::fromUtf8(text));
    if (!v || !std::isfinite(*v))
        return std::nullopt;
    bool ok = false;
    if (QByteArray::number(*v, 'g', 15).toDouble(&ok) != *v || !ok)
        return std::nullopt;
    return v;
}

class Workbook
{
public:
    ~Workbook()
    {
        if (m_book)
            lxw_workbook_free(m_book); // only after a failure: nothing is written
    }
    lxw_workbook* m_book = nullptr;
    lxw_error close()
    {
        lxw_workbook* book = m_book;
        m_book = nullptr;
        return workbook_close(book);
    }
};

QString libraryError(lxw_error e)
{
    return tr("The spreadsheet library failed: %1.").arg(QString::fromUtf8(lxw_strerror(e)));
}

} // namespace

bool write(QIODevice& device, const RecordSheet& sheet, QString* error, const GridProgress& progress)
{
    const int rows = sheet.rows();
    const int cols = sheet.cols();
    if (rows > kMaxRows)
        return fail(error, tr("The sheet has %1 rows, the title row included; a spreadsheet file holds at most %2.")
                               .arg(rows)
                               .arg(kMaxRows));
    if (cols > kMaxCols)
        return fail(error, tr("The sheet has %1 columns; a spreadsheet file holds at most %2.").arg(cols).arg(kMaxCols));

    QTemporaryFile temporary(QDir::tempPath() + QStringLiteral("/quillon-XXXXXX.xlsx"));
    if (!temporary.open())
        return fail(error, tr("No temporary file could be made: %1").arg(temporary.errorString()));
    const QByteArray temporaryName = QFile::encodeName(temporary.fileName());
    temporary.close();
    QByteArray temporaryFolder = QFile::encodeName(QDir::tempPath());

    qint64 textBytes = 0;
    for (int c = 0; c < cols; ++c)
        textBytes += qint64(sheet.textColumn(c).arenaBytes());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = temporaryFolder.data();
    // The sheet's XML takes about 50 bytes a cell over its text; past 4 GB the archive
    // needs ZIP64, which spreadsheet programs otherwise warn about.
    options.use_zip64 = textBytes + qint64(rows) * cols * 50 > (qint64(3) << 30) ? LXW_TRUE : LXW_FALSE;
    Workbook book;
    book.m_book = workbook_new_opt(temporaryName.constData(), &options);
    if (!book.m_book)
        return fail(error, tr("The spreadsheet library could not start the file."));
    lxw_worksheet* ws = workbook_add_worksheet(book.m_book, "Records");
    if (!ws)
        return fail(error, tr("The spreadsheet library could not start the file."));

    lxw_format* title = workbook_add_format(book.m_book);
    format_set_bold(title);
    std::vector<lxw_format*> format(size_t(cols), nullptr);
    std::map<std::pair<QByteArray, uint8_t>, lxw_format*> formats;
    std::vector<int> type(static_cast<size_t>(cols));
    for (int c = 0; c < cols; ++c) {
        const ColumnAttributes& a = sheet.column(c);
        type[size_t(c)] = a.dataType;
        const QByteArray numberFormat = spreadsheetFormat(a.dataType, a.format).toUtf8();
        uint8_t align = 0;
        if (a.alignment == AlignLeft)
            align = LXW_ALIGN_LEFT;
        else if (a.alignment == AlignCenter)
            align = LXW_ALIGN_CENTER;
        else if (a.alignment == AlignRight)
            align = LXW_ALIGN_RIGHT;
        if (!numberFormat.isEmpty() || align) {
            // One format for each kind: the library looks a format that equals an
            // earlier one up again for every cell.
            lxw_format*& f = formats[{numberFormat, align}];
            if (!f) {
                f = workbook_add_format(book.m_book);
                if (!numberFormat.isEmpty())
                    format_set_num_format(f, numberFormat.constData());
                if (align)
                    format_set_align(f, align);
            }
            format[size_t(c)] = f;
        }
        lxw_row_col_options hidden{};
        hidden.hidden = a.hidden ? 1 : 0;
        const lxw_error e = worksheet_set_column_opt(ws, lxw_col_t(c), lxw_col_t(c), widthInCharacters(a.width),
                                                     format[size_t(c)], &hidden);
        if (e != LXW_NO_ERROR)
            return fail(error, libraryError(e));
    }
    if (rows > 1)
        worksheet_freeze_panes(ws, 1, 0);
    if (sheet.defaultRowHeight() != kDefaultRowHeight)
        worksheet_set_default_row(ws, sheet.defaultRowHeight() / 20.0, LXW_FALSE);

    const auto& heights = sheet.rowHeights();
    auto height = heights.begin();
    std::string buffer;
    for (int r = 0; r < rows; ++r) {
        // The rows are half the work; the library's packing of the file the other half.
        if ((r & 4095) == 0 && progress && !progress(r, 2 * qint64(rows)))
            return fail(error, stoppedReason());
        while (height != heights.end() && height->first < r)
            ++height;
        if (height != heights.end() && height->first == r) {
            const lxw_error e = worksheet_set_row(ws, lxw_row_t(r), height->second / 20.0, nullptr);
            if (e != LXW_NO_ERROR)
                return fail(error, libraryError(e));
        }
        for (int c = 0; c < cols; ++c) {
            const QByteArrayView text = sheet.textColumn(c).utf8(r);
            lxw_error e = LXW_NO_ERROR;
            lxw_format* f = r == 0 ? title : format[size_t(c)];
            if (text.isEmpty()) {
                if (r > 0 && type[size_t(c)] == TypeCheckbox && sheet.isChecked(r, c))
                    e = worksheet_write_boolean(ws, lxw_row_t(r), lxw_col_t(c), 1, f);
                if (e != LXW_NO_ERROR)
                    return fail(error, libraryError(e));
                continue;
            }
            if (r > 0 && (type[size_t(c)] == TypeNumber || type[size_t(c)] == TypeMoney)) {
                if (const auto v = numberToWrite(text)) {
                    e = worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), *v, f);
                    if (e != LXW_NO_ERROR)
                        return fail(error, libraryError(e));
                    continue;
                }
            } else if (r > 0 && type[size_t(c)] == TypeDate) {
                if (const auto dt = ParseDateTime(QString::fromUtf8(text))) {
                    const double serial = serialOf(*dt);
                    if (serial >= 0) {
                        e = worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), serial, f);
                        if (e != LXW_NO_ERROR)
                            return fail(error, libraryError(e));
                        continue;
                    }
                }
            }
            buffer.clear();
            if (needsUnderscoreEscape(text))
                appendUnderscoreEscaped(buffer, text);
            else
                buffer.append(text.data(), size_t(text.size()));
            if (buffer.size() > size_t(kMaxCellCharacters)) {
                const qsizetype n = characterCount(QByteArrayView(buffer.data(), qsizetype(buffer.size())));
                if (n > kMaxCellCharacters)
                    return fail(error, tr("Row %1, column %2 holds %3 characters; a cell of a spreadsheet file holds "
                                          "at most %4.")
                                           .arg(r)
                                           .arg(c + 1)
                                           .arg(n)
                                           .arg(kMaxCellCharacters));
            }
            e = worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), buffer.c_str(), f);
            if (e != LXW_NO_ERROR)
                return fail(error, libraryError(e));
        }
    }
    const lxw_error closed = book.close();
    if (closed != LXW_NO_ERROR)
        return fail(error, libraryError(closed));

    // Into the device, as a save writes every format.
    QFile written(QString::fromLocal8Bit(temporaryName));
    if (!written.open(QIODevice::ReadOnly))
        return fail(error, written.errorString());
    const GridProgress noProgress; // the writer keeps a reference: it must outlive it
    DeviceWriter out(device, noProgress, written.size());
    std::vector<char> piece(DeviceWriter::kChunk);
    for (;;) {
        const qint64 n = written.read(piece.data(), qint64(piece.size()));
        if (n < 0)
            return fail(error, written.errorString());
        if (n == 0)
            break;
        out.put(piece.data(), size_t(n));
        if (out.failed())
            break;
    }
    if (!out.flush())
        return fail(error, out.error());
    if (progress)
        progress(2 * qint64(rows), 2 * qint64(rows));
    return true;
}

// ---- reading --------------------------------------------------------------------------

namespace {

/** What a number format says about a value. */
enum class Kind : uint8_t { General, Number, Money, Date, Text };

struct NumberFormat
{
    Kind kind = Kind::General;
    QString code;
    bool hasDate = false;
    bool hasTime = false;
};

NumberFormat classify(const QString& code)
{
    NumberFormat f;
    f.code = code;
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return f;
    if (code == QLatin1String("@")) {
        f.kind = Kind::Text;
        return f;
    }
    // Look past quoted texts, escaped characters and [..] (colours, locales), but
    // [h], [m], [s] are elapsed times.
    bool money = false;
    QString plain;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code[i];
        if (ch == QLatin1Char('"')) {
            const qsizetype close = code.indexOf(QLatin1Char('"'), i + 1);
            i = close < 0 ? code.size() : close;
        } else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*')) {
            ++i;
        } else if (ch == QLatin1Char('[')) {
            const qsizetype close = code.indexOf(QLatin1Char(']'), i + 1);
            const QString inner = code.mid(i + 1, close < 0 ? -1 : close - i - 1).toLower();
            if (inner.startsWith(QLatin1Char('$')))
                money = money || inner.size() > 1;
            else if (!inner.isEmpty() && (inner[0] == QLatin1Char('h') || inner[0] == QLatin1Char('m') ||
                                          inner[0] == QLatin1Char('s')))
                plain += inner;
            i = close < 0 ? code.size() : close;
        } else {
            plain += ch.toLower();
        }
    }
    if (plain.contains(QLatin1Char('$')) || plain.contains(QChar(0x20AC)) || plain.contains(QChar(0x00A3)) ||
        plain.contains(QChar(0x00A5)))
        money = true;
    const bool y = plain.contains(QLatin1Char('y')), d = plain.contains(QLatin1Char('d')),
               m = plain.contains(QLatin1Char('m')), h = plain.contains(QLatin1Char('h')),
               s = plain.contains(QLatin1Char('s'));
    if (y || d || m || h || s) {
        f.kind = Kind::Date;
        f.hasTime = h || s;
        f.hasDate = y || d || (m && !f.hasTime);
        return f;
    }
    if (plain.contains(QLatin1Char('@'))) {
        f.kind = Kind::Text;
        return f;
    }
    f.kind = money ? Kind::Money : Kind::Number;
    return f;
}

/** The number formats a spreadsheet knows by number (ECMA-376 18.8.30). */
QString builtInFormat(int id)
{
    static const std::map<int, const char*> formats = {
        {1, "0"},          {2, "0.00"},         {3, "#,##0"},          {4, "#,##0.00"},
        {5, "$#,##0_);($#,##0)"}, {6, "$#,##0_);[Red]($#,##0)"}, {7, "$#,##0.00_);($#,##0.00)"},
        {8, "$#,##0.00_);[Red]($#,##0.00)"}, {9, "0%"}, {10, "0.00%"}, {11, "0.00E+00"}, {12, "# ?/?"},
        {13, "# ?\?/?\?"},   {14, "mm-dd-yy"},    {15, "d-mmm-yy"},      {16, "d-mmm"},
        {17, "mmm-yy"},    {18, "h:mm AM/PM"},  {19, "h:mm:ss AM/PM"}, {20, "h:mm"},
        {21, "h:mm:ss"},   {22, "m/d/yy h:mm"}, {37, "#,##0 ;(#,##0)"}, {38, "#,##0 ;[Red](#,##0)"},
        {39, "#,##0.00;(#,##0.00)"}, {40, "#,##0.00;[Red](#,##0.00)"}, {45, "mm:ss"}, {46, "[h]:mm:ss"},
        {47, "mmss.0"},    {48, "##0.0E+0"},    {49, "@"}};
    const auto it = formats.find(id);
    if (it != formats.end())
        return QString::fromLatin1(it->second);
    // East Asian date formats.
    if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return QStringLiteral("yyyy-mm-dd");
    return {};
}

/** The program's type and display format for a spreadsheet number format. */
std::pair<int, QString> columnFormatOf(const NumberFormat& f)
{
    static const QHash<QString, std::pair<int, QString>> known = [] {
        QHash<QString, std::pair<int, QString>> h;
        for (const QString& p : datePictures())
            h.insert(spreadsheetFormat(TypeDate, p).toLower(), {TypeDate, p});
        for (const QString& p : moneyPictures())
            h.insert(spreadsheetFormat(TypeMoney, p).toLower(), {TypeMoney, p});
        for (const QString& p : numberPictures())
            h.insert(spreadsheetFormat(TypeNumber, p).toLower(), {TypeNumber, p});
        return h;
    }();
    switch (f.kind) {
    case Kind::General:
        return {TypeNone, {}};
    case Kind::Text:
        return {TypeText, {}};
    default:
        break;
    }
    if (const auto it = known.constFind(f.code.toLower()); it != known.constEnd())
        return it.value();
    switch (f.kind) {
    case Kind::Date:
        if (f.hasTime)
            return {TypeDate, f.hasDate ? QStringLiteral("mm/dd/yy hh:mm") : QString()};
        return {TypeDate, QStringLiteral("mm/dd/yyyy")};
    case Kind::Money:
        return {TypeMoney, QStringLiteral("$#,###.00")};
    default:
        return {TypeNumber, {}};
    }
}

struct CellXf
{
    int format = 0; ///< index into the formats read
    int alignment = AlignGeneral;
};

/** The zip archive's input and output as minizip asks for them, over a QIODevice. */
voidpf zipOpen(voidpf opaque, const void*, int)
{
    return opaque;
}
uLong zipRead(voidpf, voidpf stream, void* buffer, uLong size)
{
    const qint64 n = static_cast<QIODevice*>(stream)->read(static_cast<char*>(buffer), qint64(size));
    return n < 0 ? 0 : uLong(n);
}
uLong zipWrite(voidpf, voidpf, const void*, uLong)
{
    return 0;
}
ZPOS64_T zipTell(voidpf, voidpf stream)
{
    return ZPOS64_T(static_cast<QIODevice*>(stream)->pos());
}
long zipSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* device = static_cast<QIODevice*>(stream);
    qint64 to = qint64(offset);
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        to += device->pos();
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        to += device->size();
    return to >= 0 && to <= device->size() && device->seek(to) ? 0 : -1;
}
int zipClose(voidpf, voidpf)
{
    return 0;
}
int zipError(voidpf, voidpf)
{
    return 0;
}

/**
 * The parts of the package, read with the system's minizip (the zip library
 * libxlsxwriter writes with), their expanded size held in check.
 */
class Package
{
public:
    explicit Package(QIODevice& device) : m_device(device) {}
    ~Package()
    {
        if (m_zip) {
            if (m_open)
                unzCloseCurrentFile(m_zip);
            unzClose(m_zip);
        }
    }

    bool open(QString* error)
    {
        zlib_filefunc64_def io{};
        io.zopen64_file = zipOpen;
        io.zread_file = zipRead;
        io.zwrite_file = zipWrite;
        io.ztell64_file = zipTell;
        io.zseek64_file = zipSeek;
        io.zclose_file = zipClose;
        io.zerror_file = zipError;
        io.opaque = &m_device;
        const qint64 start = m_device.pos();
        m_zip = unzOpen2_64("", &io);
        if (m_zip)
            return true;
        m_device.seek(start);
        const QByteArray head = m_device.peek(8);
        if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return fail(error, tr("It is an older Excel workbook (.xls); Quillon reads spreadsheet files of the .xlsx "
                                  "kind only. Save it as .xlsx in the spreadsheet program first."));
        return fail(error, tr("It is not a spreadsheet file (.xlsx): it is not a zip archive."));
    }

    bool has(const QString& part)
    {
        return unzLocateFile(m_zip, part.toUtf8().constData(), 2) == UNZ_OK;
    }

    /** Opens @p part for reading; @p bound is the most bytes it may expand to. */
    bool start(const QString& part, qint64 bound, QString* error)
    {
        if (m_open) {
            unzCloseCurrentFile(m_zip);
            m_open = false;
        }
        if (!has(part))
            return fail(error, tr("Its part %1 is missing; it is not a spreadsheet file, or it is damaged.").arg(part));
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return fail(error, tr("Its part %1 cannot be read; the file is damaged.").arg(part));
        if (info.flag & 1)
            return fail(error, tr("It is protected with a password; Quillon reads spreadsheet files without one."));
        if (info.compression_method != 0 && info.compression_method != Z_DEFLATED)
            return fail(error, tr("Its part %1 is compressed in a way Quillon does not read.").arg(part));
        const qint64 size = info.uncompressed_size > quint64(kMaxSheetBytes) ? kMaxSheetBytes + 1
                                                                            : qint64(info.uncompressed_size);
        if (size > bound)
            return fail(error, tr("Its part %1 would expand to %2, more than the %3 Quillon reads from it; it may be a "
                                  "zip bomb.")
                                   .arg(part, megabytes(size), megabytes(bound)));
        if (size > kBombFloor && size / std::max<qint64>(qint64(info.compressed_size), 1) > kMaxRatio)
            return fail(error, tr("Its part %1 would expand from %2 to %3, far more than any spreadsheet does; it is "
                                  "taken for a zip bomb.")
                                   .arg(part, megabytes(qint64(info.compressed_size)), megabytes(size)));
        m_declared = size;
        m_taken = 0;
        m_part = part;
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            return fail(error, tr("Its part %1 cannot be read; the file is damaged.").arg(part));
        m_open = true;
        return true;
    }

    /** Reads on in the part started; 0 at its end, -1 on failure (@p error says why).
     *  No more than the entry's size comes out: the inflater stops there, and the
     *  checksum is checked at the end. */
    qint64 read(char* into, qint64 size, QString* error)
    {
        if (!m_open)
            return 0;
        const int n = unzReadCurrentFile(m_zip, into, unsigned(std::min<qint64>(size, qint64(1) << 30)));
        if (n < 0) {
            fail(error, tr("Its part %1 cannot be read; the file is damaged.").arg(m_part));
            return -1;
        }
        m_taken += n;
        if (m_taken > m_declared) {
            fail(error, tr("Its part %1 expands to more than the archive says; the file is damaged or a zip bomb.")
                            .arg(m_part));
            return -1;
        }
        if (n == 0) {
            m_open = false;
            if (unzCloseCurrentFile(m_zip) != UNZ_OK || m_taken != m_declared) {
                fail(error, tr("Its part %1 is damaged: its checksum or its size does not match.").arg(m_part));
                return -1;
            }
        }
        return n;
    }

    /** Reads a whole small part. */
    bool readAll(const QString& part, QByteArray& out, QString* error)
    {
        if (!start(part, kMaxSmallPartBytes, error))
            return false;
        out.resize(qsizetype(m_declared) + 1); // a byte more: the read that finds the end
        qint64 at = 0;
        for (;;) {
            const qint64 n = read(out.data() + at, qint64(out.size()) - at, error);
            if (n < 0)
                return false;
            if (n == 0)
                break;
            at += n;
        }
        out.truncate(qsizetype(at));
        return true;
    }

    qint64 declared() const { return m_declared; }

private:
    QIODevice& m_device;
    unzFile m_zip = nullptr;
    bool m_open = false;
    qint64 m_declared = 0;
    qint64 m_taken = 0;
    QString m_part;
};

/** Resolves a relationship's target against the folder of the part that holds it. */
QString resolvePart(const QString& sourceFolder, const QString& target)
{
    QString path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : sourceFolder + target;
    QStringList out;
    for (const QString& segment : path.split(QLatin1Char('/'))) {
        if (segment.isEmpty() || segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (!out.isEmpty())
                out.removeLast();
            continue;
        }
        out << segment;
    }
    return out.join(QLatin1Char('/'));
}

QString folderOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash + 1);
}

/** A small part through QXmlStreamReader; a document type declaration is refused. */
class SmallXml
{
public:
    explicit SmallXml(const QByteArray& bytes) : m_reader(bytes) {}

    /** The next start element; false at the end or on an error (see error()). */
    bool nextStart()
    {
        while (!m_reader.atEnd()) {
            const auto t = m_reader.readNext();
            if (t == QXmlStreamReader::DTD) {
                m_refused = true;
                return false;
            }
            if (t == QXmlStreamReader::StartElement)
                return true;
        }
        return false;
    }
    QStringView name() const { return m_reader.name(); }
    QString attribute(const char* name) const
    {
        for (const QXmlStreamAttribute& a : m_reader.attributes())
            if (a.name() == QLatin1String(name))
                return a.value().toString();
        return {};
    }
    QString error(const QString& part) const
    {
        if (m_refused)
            return tr("Its part %1 has a document type declaration (DTD); Quillon refuses those, as entities defined "
                      "in one can make a small file expand without bound.")
                .arg(part);
        if (m_reader.hasError())
            return tr("Its part %1 is not well-formed XML (%2); the file is damaged.").arg(part, m_reader.errorString());
        return {};
    }

private:
    QXmlStreamReader m_reader;
    bool m_refused = false;
};

/** Decodes the spreadsheet's "_xHHHH_" escapes of a text in place. */
void decodeUnderscoreEscapes(std::string& s)
{
    if (s.find("_x") == std::string::npos)
        return;
    std::string out;
    out.reserve(s.size());
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : (c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1));
    };
    const auto escapeAt = [&](size_t i) -> int {
        if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_')
            return -1;
        int v = 0;
        for (size_t k = 2; k < 6; ++k) {
            const int d = hex(s[i + k]);
            if (d < 0)
                return -1;
            v = v * 16 + d;
        }
        return v;
    };
    for (size_t i = 0; i < s.size();) {
        int u = escapeAt(i);
        if (u < 0) {
            out.push_back(s[i++]);
            continue;
        }
        i += 7;
        char32_t code = char32_t(u);
        if (u >= 0xD800 && u <= 0xDBFF) {
            const int low = escapeAt(i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
                i += 7;
            } else {
                code = 0xFFFD;
            }
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            code = 0xFFFD;
        }
        const QByteArray utf8 = QString::fromUcs4(&code, 1).toUtf8();
        out.append(utf8.constData(), size_t(utf8.size()));
    }
    s.swap(out);
}

/** "ABC" of a cell reference to a column number from 0; -1 when it is none, -2 when it
 *  lies beyond a spreadsheet's columns. @p p moves past the letters. */
int columnOfReference(const char*& p, const char* end)
{
    int col = 0;
    int letters = 0;
    while (p < end && ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))) {
        col = col * 26 + ((*p | 0x20) - 'a' + 1);
        ++p;
        if (++letters > 3)
            return -2;
    }
    if (letters == 0)
        return -1;
    return col > kMaxCols ? -2 : col - 1;
}

/** Digits to a number; -1 when there are none or too many. */
qint64 numberOf(const char*& p, const char* end)
{
    qint64 v = 0;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        v = v * 10 + (*p - '0');
        ++p;
        if (++digits > 10)
            return -1;
    }
    return digits ? v : -1;
}

qint64 numberOf(QByteArrayView text)
{
    const char* p = text.data();
    const qint64 v = numberOf(p, text.data() + text.size());
    return p == text.data() + text.size() ? v : -1;
}

class SheetReader
{
public:
    SheetReader(RecordSheet& sheet, const std::vector<NumberFormat>& formats, const std::vector<CellXf>& xfs,
                const std::string& strings, const std::vector<quint64>& stringAt, bool date1904)
        : m_sheet(sheet), m_formats(formats), m_xfs(xfs), m_strings(strings), m_stringAt(stringAt),
          m_date1904(date1904)
    {
    }

    bool read(XmlScanner& xml, qint64 partBytes, const GridProgress& progress, QString* error);

private:
    struct Column
    {
        double width = -1;
        bool hidden = false;
        int style = -1;
    };
    struct ColumnRange
    {
        int first, last;
        Column column;
    };
    /** Which kinds of value a column holds below its title. */
    enum Seen : uint8_t { SeenText = 1, SeenNumber = 2, SeenMoney = 4, SeenDate = 8, SeenBoolean = 16 };

    bool refuse(const QString& reason)
    {
        m_error = reason;
        return false;
    }
    bool cell(XmlScanner& xml, int row, int& lastCol);
    bool store(int row, int col, QByteArrayView text);
    bool grow(int row, int col);
    void finish();
    QByteArray dateText(double serial) const;

    RecordSheet& m_sheet;
    const std::vector<NumberFormat>& m_formats;
    const std::vector<CellXf>& m_xfs;
    const std::string& m_strings;
    const std::vector<quint64>& m_stringAt;
    bool m_date1904;
    std::vector<ColumnRange> m_columns;
    std::vector<uint8_t> m_seen;
    std::vector<int> m_firstFormat; ///< per column, the format of its first number or date
    std::vector<quint64> m_columnBytes;
    std::map<int, int> m_heights;
    int m_defaultHeight = -1;
    int m_rows = 1; ///< rows holding a value, the title row at least
    int m_cols = 0;
    int m_lastCol = -1;
    std::string m_value;
    std::string m_formula;
    QString m_error;
};

bool SheetReader::grow(int row, int col)
{
    if (row < m_sheet.rows() && col < m_sheet.cols())
        return true;
    const qint64 wantRows = std::max<qint64>(m_rows, qint64(row) + 1);
    const qint64 wantCols = std::max<qint64>(m_cols, qint64(col) + 1);
    if (const QString why = sheetSizeRefusal(wantRows, wantCols); !why.isEmpty())
        return refuse(why);
    // Rows grow by half again at a time, within what a sheet holds with these columns.
    const qint64 cols = std::max<qint64>(m_sheet.cols(), wantCols);
    qint64 rows = m_sheet.rows();
    if (row >= rows)
        rows = std::max<qint64>(qint64(row) + 1, rows + rows / 2 + 1024);
    rows = std::min<qint64>({rows, RecordSheet::kMaxRows, RecordSheet::kMaxCells / std::max<qint64>(cols, 1)});
    rows = std::max(rows, wantRows);
    if (rows < m_sheet.rows())
        m_sheet.setRows(int(rows)); // rows made ahead, all empty: room for the new column
    if (cols > m_sheet.cols()) {
        m_sheet.setCols(int(cols));
        m_seen.resize(size_t(cols), 0);
        m_firstFormat.resize(size_t(cols), -1);
        m_columnBytes.resize(size_t(cols), 0);
    }
    if (rows > m_sheet.rows())
        m_sheet.setRows(int(rows));
    return true;
}

bool SheetReader::store(int row, int col, QByteArrayView text)
{
    if (text.isEmpty())
        return true;
    if (!grow(row, col))
        return false;
    quint64& bytes = m_columnBytes[size_t(col)];
    bytes += quint64(text.size()) + 5;
    if (bytes > kMaxColumnTextBytes)
        return refuse(tr("Its column %1 holds more text than a column of a sheet can keep.").arg(col + 1));
    m_sheet.setTextUtf8(row, col, text);
    if (m_sheet.isCellEmpty(row, col))
        return refuse(tr("Its column %1 holds more text than a column of a sheet can keep.").arg(col + 1));
    m_rows = std::max(m_rows, row + 1);
    m_cols = std::max(m_cols, col + 1);
    return true;
}

QByteArray SheetReader::dateText(double serial) const
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958466)
        return QByteArray::number(serial, 'g', 15);
    qint64 day = qint64(std::floor(serial));
    qint64 ms = std::llround((serial - double(day)) * 86400000.0);
    if (ms >= 86400000) {
        ++day;
        ms -= 86400000;
    }
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms));
    const QByteArray clock = time.toString(QStringLiteral("hh:mm:ss")).toLatin1();
    if (day == 0 && !m_date1904)
        return clock; // a time of day alone
    QDate date;
    if (m_date1904)
        date = kEpoch1904.addDays(day);
    else if (day == 60)
        return "1900-02-29" + (ms ? " " + clock : QByteArray()); // the day a spreadsheet has and the calendar has not
    else
        date = kEpoch1900.addDays(day < 60 ? day + 1 : day);
    QByteArray text = date.toString(Qt::ISODate).toLatin1();
    if (ms != 0)
        text += ' ' + clock;
    return text;
}

bool SheetReader::cell(XmlScanner& xml, int row, int& lastCol)
{
    int col = lastCol + 1;
    const QByteArrayView ref = xml.attribute("r");
    if (!ref.isEmpty()) {
        const char* p = ref.data();
        const char* const end = p + ref.size();
        col = columnOfReference(p, end);
        if (col == -2)
            return refuse(tr("Its sheet has a cell (%1) beyond the %2 columns a spreadsheet holds; the file is damaged.")
                              .arg(QString::fromLatin1(ref.data(), ref.size()))
                              .arg(kMaxCols));
        if (col < 0 || numberOf(p, end) < 1 || p != end)
            return refuse(tr("Its sheet has a cell with a reference that is none (%1); the file is damaged.")
                              .arg(QString::fromUtf8(ref.data(), ref.size())));
    }
    if (col >= kMaxCols)
        return refuse(tr("Its sheet has more cells in a row than the %1 columns a spreadsheet holds; the file is damaged.")
                          .arg(kMaxCols));
    lastCol = col;
    char type = 'n';
    const QByteArrayView t = xml.attribute("t");
    if (t == "s")
        type = 's';
    else if (t == "inlineStr")
        type = 'i';
    else if (t == "str")
        type = 'f';
    else if (t == "b")
        type = 'b';
    else if (t == "e")
        type = 'e';
    else if (t == "d")
        type = 'd';
    int style = 0;
    if (const QByteArrayView s = xml.attribute("s"); !s.isEmpty()) {
        const qint64 v = numberOf(s);
        style = v >= 0 && v < qint64(m_xfs.size()) ? int(v) : 0;
    }
    // The children: <v> the value, <is> an inline text, <f> a formula.
    m_value.clear();
    m_formula.clear();
    bool hasValue = false;
    {
        for (;;) {
            const XmlScanner::Token tok = xml.next();
            if (tok == XmlScanner::Invalid || tok == XmlScanner::End)
                return refuse(xml.errorString());
            if (tok == XmlScanner::EndElement) {
                if (xml.nameIs("c"))
                    break;
                continue;
            }
            if (tok != XmlScanner::StartElement)
                continue;
            if (xml.nameIs("v")) {
                if (!xml.readElementText(m_value))
                    return refuse(xml.errorString());
                hasValue = !m_value.empty(); // an empty <v/> is no value
            } else if (xml.nameIs("f")) {
                if (!xml.readElementText(m_formula))
                    return refuse(xml.errorString());
            } else if (xml.nameIs("is")) {
                // <t> directly or in runs <r><t>; phonetic runs <rPh> are left out.
                std::string piece;
                for (;;) {
                    const XmlScanner::Token k = xml.next();
                    if (k == XmlScanner::Invalid || k == XmlScanner::End)
                        return refuse(xml.errorString());
                    if (k == XmlScanner::EndElement && xml.nameIs("is"))
                        break;
                    if (k != XmlScanner::StartElement)
                        continue;
                    if (xml.nameIs("rPh")) {
                        if (!xml.skipElement())
                            return refuse(xml.errorString());
                    } else if (xml.nameIs("t")) {
                        if (!xml.readElementText(piece))
                            return refuse(xml.errorString());
                        m_value += piece;
                    }
                }
                hasValue = true;
            } else if (!xml.skipElement()) {
                return refuse(xml.errorString());
            }
        }
    }
    if (!hasValue) {
        if (m_formula.empty())
            return true; // an empty cell, perhaps with a format
        // A formula whose value was never worked out: keep the formula.
        m_value = "=" + m_formula;
        type = 'f';
    }
    const NumberFormat& format = m_formats[size_t(m_xfs[size_t(style)].format)];
    uint8_t seen = SeenText;
    switch (type) {
    case 's': {
        const qint64 i = numberOf(QByteArrayView(m_value.data(), qsizetype(m_value.size())));
        if (i < 0 || quint64(i) + 1 >= m_stringAt.size())
            return refuse(tr("Its sheet refers to shared text number %1, but the file has %2 shared texts; the file is "
                             "damaged.")
                              .arg(QString::fromStdString(m_value))
                              .arg(m_stringAt.size() - 1));
        const quint64 from = m_stringAt[size_t(i)];
        const quint64 to = m_stringAt[size_t(i) + 1];
        if (!store(row, col, QByteArrayView(m_strings.data() + from, qsizetype(to - from))))
            return false;
        if (row > 0 && to > from)
            m_seen[size_t(col)] |= SeenText;
        return true;
    }
    case 'i':
    case 'f':
    case 'd':
        decodeUnderscoreEscapes(m_value);
        break;
    case 'b':
        m_value = (m_value == "1" || m_value == "true") ? "TRUE" : "FALSE";
        seen = SeenBoolean;
        break;
    case 'e':
        break;
    default: {
        double v = 0;
        const char* first = m_value.data();
        const char* last = first + m_value.size();
        while (first < last && *first == ' ')
            ++first;
        const auto [end, ec] = std::from_chars(first, last, v);
        if (ec != std::errc() || end != last)
            break; // not a number after all: kept as its text
        if (format.kind == Kind::Date) {
            m_value = dateText(v).toStdString();
            seen = SeenDate;
        } else {
            // As a spreadsheet shows it: 15 significant digits.
            const QByteArray shown = QByteArray::number(v, 'g', 15);
            if (std::strtod(m_value.c_str(), nullptr) != shown.toDouble() || m_value.find_first_of("eE") != std::string::npos)
                m_value.assign(shown.constData(), size_t(shown.size()));
            seen = format.kind == Kind::Money ? SeenMoney : SeenNumber;
        }
        break;
    }
    }
    if (!store(row, col, QByteArrayView(m_value.data(), qsizetype(m_value.size()))))
        return false;
    if (row > 0 && !m_value.empty()) {
        m_seen[size_t(col)] |= seen;
        if ((seen & (SeenNumber | SeenMoney | SeenDate)) && m_firstFormat[size_t(col)] < 0)
            m_firstFormat[size_t(col)] = m_xfs[size_t(style)].format;
    }
    return true;
}

bool SheetReader::read(XmlScanner& xml, qint64 partBytes, const GridProgress& progress, QString* error)
{
    RecordSheet::Batch batch(m_sheet);
    int row = -1;
    bool inData = false;
    qint64 nextReport = 0;
    for (;;) {
        const XmlScanner::Token tok = xml.next();
        if (tok == XmlScanner::End)
            break;
        if (tok == XmlScanner::Invalid)
            return fail(error, m_error.isEmpty() ? xml.errorString() : m_error);
        if (tok == XmlScanner::EndElement) {
            if (xml.nameIs("sheetData"))
                inData = false;
            continue;
        }
        if (tok != XmlScanner::StartElement)
            continue;
        if (inData && xml.nameIs("c")) {
            int lastCol = m_lastCol;
            if (row < 0)
                row = 0;
            if (!cell(xml, row, lastCol))
                return fail(error, m_error.isEmpty() ? xml.errorString() : m_error);
            m_lastCol = lastCol;
        } else if (inData && xml.nameIs("row")) {
            const QByteArrayView r = xml.attribute("r");
            const qint64 number = r.isEmpty() ? row + 2 : numberOf(r);
            if (number < 1 || number > kMaxRows)
                return fail(error, tr("Its sheet has a row numbered %1, beyond the %2 rows a spreadsheet holds; the file "
                                      "is damaged.")
                                       .arg(QString::fromLatin1(r.data(), r.size()))
                                       .arg(kMaxRows));
            row = int(number - 1);
            m_lastCol = -1;
            const QByteArrayView custom = xml.attribute("customHeight");
            if (custom == "1" || custom == "true") {
                bool ok = false;
                const double points = xml.attribute("ht").toByteArray().toDouble(&ok);
                if (ok && points >= 0 && points <= 409.5)
                    m_heights[row] = int(std::lround(points * 20));
            }
            if (progress && xml.bytesRead() >= nextReport) {
                if (!progress(xml.bytesRead(), partBytes))
                    return fail(error, stoppedReason());
                nextReport = xml.bytesRead() + (qint64(4) << 20);
            }
        } else if (xml.nameIs("sheetData")) {
            inData = true;
        } else if (xml.nameIs("dimension")) {
            // Only looked at to refuse what no spreadsheet holds; cells decide the size.
            const QByteArrayView ref = xml.attribute("ref");
            const qsizetype colon = ref.indexOf(':');
            const QByteArrayView last = colon < 0 ? ref : ref.sliced(colon + 1);
            const char* p = last.data();
            const char* const end = p + last.size();
            const int col = columnOfReference(p, end);
            const qint64 rows = numberOf(p, end);
            if (col == -2 || rows > kMaxRows)
                return fail(error, tr("Its sheet declares itself as large as %1, beyond the %2 rows and %3 columns a "
                                      "spreadsheet holds; the file is damaged.")
                                       .arg(QString::fromUtf8(last.data(), last.size()))
                                       .arg(kMaxRows)
                                       .arg(kMaxCols));
        } else if (xml.nameIs("col")) {
            const qint64 first = numberOf(xml.attribute("min"));
            const qint64 last = numberOf(xml.attribute("max"));
            if (first < 1 || last < first || last > kMaxCols)
                continue; // a column range no spreadsheet makes: its attributes are left alone
            ColumnRange range{int(first - 1), int(last - 1), {}};
            bool ok = false;
            const double width = xml.attribute("width").toByteArray().toDouble(&ok);
            if (ok && width >= 0 && width <= 255)
                range.column.width = width;
            const QByteArrayView hidden = xml.attribute("hidden");
            range.column.hidden = hidden == "1" || hidden == "true";
            const qint64 style = numberOf(xml.attribute("style"));
            range.column.style = style >= 0 && style < qint64(m_xfs.size()) ? int(style) : -1;
            m_columns.push_back(range);
        } else if (xml.nameIs("sheetFormatPr")) {
            const QByteArrayView custom = xml.attribute("customHeight");
            if (custom == "1" || custom == "true") {
                bool ok = false;
                const double points = xml.attribute("defaultRowHeight").toByteArray().toDouble(&ok);
                if (ok && points >= 0 && points <= 409.5)
                    m_defaultHeight = int(std::lround(points * 20));
            }
        }
    }
    finish();
    return true;
}

void SheetReader::finish()
{
    // The sheet ends with its last value: no formatted but empty rows or columns after it.
    m_sheet.setRows(m_rows);
    m_sheet.setCols(m_cols);
    for (int c = 0; c < m_cols; ++c) {
        ColumnAttributes a;
        for (const ColumnRange& range : m_columns) {
            if (c < range.first || c > range.last)
                continue;
            if (range.column.width >= 0) {
                const double w = range.column.width;
                const double pixels = std::trunc(((256 * w + std::trunc(128.0 / 7)) / 256) * 7);
                a.width = int(std::lround(pixels * 15));
            }
            a.hidden = range.column.hidden;
            if (range.column.style >= 0) {
                const CellXf& xf = m_xfs[size_t(range.column.style)];
                const auto [type, picture] = columnFormatOf(m_formats[size_t(xf.format)]);
                a.dataType = type;
                a.format = picture;
                a.alignment = xf.alignment;
            }
            break;
        }
        const uint8_t seen = m_seen[size_t(c)];
        if (a.dataType == TypeNone && seen != 0) {
            if (seen == SeenBoolean) {
                a.dataType = TypeCheckbox;
                for (int r = 1; r < m_rows; ++r) {
                    const QByteArrayView text = m_sheet.textUtf8(r, c);
                    if (text.isEmpty())
                        continue;
                    const bool on = text == "TRUE";
                    m_sheet.setText(r, c, QString());
                    if (on)
                        m_sheet.setChecked(r, c, 1);
                }
            } else if (!(seen & (SeenText | SeenBoolean)) && m_firstFormat[size_t(c)] >= 0) {
                const auto [type, picture] = columnFormatOf(m_formats[size_t(m_firstFormat[size_t(c)])]);
                if (type == TypeDate || type == TypeMoney || type == TypeNumber) {
                    a.dataType = (seen & SeenDate) && (seen & (SeenNumber | SeenMoney)) ? int(TypeNone) : type;
                    a.format = a.dataType == TypeNone ? QString() : picture;
                } else if (seen & (SeenNumber | SeenMoney)) {
                    a.dataType = (seen & SeenMoney) ? TypeMoney : TypeNumber;
                }
            }
        }
        m_sheet.setColumn(c, a);
    }
    if (m_defaultHeight >= 0)
        m_sheet.setDefaultRowHeight(m_defaultHeight);
    for (const auto& [row, twips] : m_heights)
        if (row < m_rows)
            m_sheet.setRowHeight(row, twips);
}

} // namespace

bool read(QIODevice& device, RecordSheet& fresh, QString* error, const GridProgress& progress)
{
    if (device.size() - device.pos() <= 0)
        return fail(error, tr("The file is empty."));
    Package package(device);
    if (!package.open(error))
        return false;

    // The workbook: found through the package's relationships.
    QString workbook = QStringLiteral("xl/workbook.xml");
    if (package.has(QStringLiteral("_rels/.rels"))) {
        QByteArray bytes;
        if (!package.readAll(QStringLiteral("_rels/.rels"), bytes, error))
            return false;
        SmallXml xml(bytes);
        while (xml.nextStart())
            if (xml.name() == QLatin1String("Relationship") &&
                xml.attribute("Type").endsWith(QLatin1String("/officeDocument")))
                workbook = resolvePart(QString(), xml.attribute("Target"));
        if (const QString why = xml.error(QStringLiteral("_rels/.rels")); !why.isEmpty())
            return fail(error, why);
    }
    QByteArray bytes;
    if (!package.readAll(workbook, bytes, error))
        return false;
    QString firstSheetId;
    bool date1904 = false;
    {
        SmallXml xml(bytes);
        while (xml.nextStart()) {
            if (xml.name() == QLatin1String("workbookPr")) {
                const QString v = xml.attribute("date1904");
                date1904 = v == QLatin1String("1") || v == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet") && firstSheetId.isEmpty()) {
                firstSheetId = xml.attribute("id");
            }
        }
        if (const QString why = xml.error(workbook); !why.isEmpty())
            return fail(error, why);
    }
    if (firstSheetId.isEmpty())
        return fail(error, tr("Its workbook has no sheet."));
    const QString folder = folderOf(workbook);
    const QString workbookRels = folder + QStringLiteral("_rels/") + workbook.mid(folder.size()) + QStringLiteral(".rels");
    if (!package.readAll(workbookRels, bytes, error))
        return false;
    QString sheetPart, stringsPart, stylesPart;
    {
        SmallXml xml(bytes);
        while (xml.nextStart()) {
            if (xml.name() != QLatin1String("Relationship"))
                continue;
            const QString type = xml.attribute("Type");
            const QString target = resolvePart(folder, xml.attribute("Target"));
            if (xml.attribute("Id") == firstSheetId) {
                if (!type.endsWith(QLatin1String("/worksheet")))
                    return fail(error, tr("Its first sheet is a chart or a dialog, not a sheet of cells."));
                sheetPart = target;
            } else if (type.endsWith(QLatin1String("/sharedStrings"))) {
                stringsPart = target;
            } else if (type.endsWith(QLatin1String("/styles"))) {
                stylesPart = target;
            }
        }
        if (const QString why = xml.error(workbookRels); !why.isEmpty())
            return fail(error, why);
    }
    if (sheetPart.isEmpty())
        return fail(error, tr("Its workbook names a first sheet that it does not hold; the file is damaged."));

    // The styles: which cells hold dates, and the columns' formats and alignments.
    std::vector<NumberFormat> formats(1); // 0: General
    std::vector<CellXf> xfs;
    if (!stylesPart.isEmpty() && package.has(stylesPart)) {
        if (!package.readAll(stylesPart, bytes, error))
            return false;
        QHash<int, int> formatIndex; // number format id -> index in formats
        const auto formatOf = [&](int id, const QString& code) {
            if (const auto it = formatIndex.constFind(id); it != formatIndex.constEnd())
                return it.value();
            formats.push_back(classify(code));
            formatIndex.insert(id, int(formats.size() - 1));
            return int(formats.size() - 1);
        };
        QHash<int, QString> custom;
        SmallXml xml(bytes);
        bool inCellXfs = false;
        while (xml.nextStart()) {
            const QStringView name = xml.name();
            if (name == QLatin1String("numFmt")) {
                custom.insert(xml.attribute("numFmtId").toInt(), xml.attribute("formatCode"));
            } else if (name == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (name == QLatin1String("cellStyleXfs") || name == QLatin1String("dxfs")) {
                inCellXfs = false;
            } else if (name == QLatin1String("xf") && inCellXfs) {
                if (xfs.size() >= size_t(1) << 20)
                    return fail(error, tr("Its styles part holds more cell formats than a spreadsheet makes; the file is "
                                          "damaged."));
                const int id = xml.attribute("numFmtId").toInt();
                const QString code = custom.contains(id) ? custom.value(id) : builtInFormat(id);
                xfs.push_back({id == 0 ? 0 : formatOf(id, code), AlignGeneral});
            } else if (name == QLatin1String("alignment") && inCellXfs && !xfs.empty()) {
                const QString h = xml.attribute("horizontal");
                xfs.back().alignment = h == QLatin1String("left")     ? int(AlignLeft)
                                       : h == QLatin1String("center") ? int(AlignCenter)
                                       : h == QLatin1String("right")  ? int(AlignRight)
                                                                      : int(AlignGeneral);
            }
        }
        if (const QString why = xml.error(stylesPart); !why.isEmpty())
            return fail(error, why);
    }
    if (xfs.empty())
        xfs.push_back({});

    // The shared texts, one after the other in one block.
    std::string strings;
    std::vector<quint64> stringAt{0};
    if (!stringsPart.isEmpty() && package.has(stringsPart)) {
        if (!package.start(stringsPart, kMaxSharedStringsBytes, error))
            return false;
        QString readError;
        XmlScanner xml([&](char* into, qint64 size) { return package.read(into, size, &readError); });
        std::string piece;
        std::string item;
        for (;;) {
            const XmlScanner::Token t = xml.next();
            if (t == XmlScanner::End)
                break;
            if (t == XmlScanner::Invalid)
                return fail(error, readError.isEmpty() ? xml.errorString() : readError);
            if (t != XmlScanner::StartElement || !xml.nameIs("si"))
                continue;
            item.clear();
            for (;;) {
                const XmlScanner::Token k = xml.next();
                if (k == XmlScanner::Invalid || k == XmlScanner::End)
                    return fail(error, readError.isEmpty() ? xml.errorString() : readError);
                if (k == XmlScanner::EndElement && xml.nameIs("si"))
                    break;
                if (k != XmlScanner::StartElement)
                    continue;
                if (xml.nameIs("rPh")) {
                    if (!xml.skipElement())
                        return fail(error, readError.isEmpty() ? xml.errorString() : readError);
                } else if (xml.nameIs("t")) {
                    if (!xml.readElementText(piece))
                        return fail(error, readError.isEmpty() ? xml.errorString() : readError);
                    item += piece;
                }
            }
            decodeUnderscoreEscapes(item);
            strings += item;
            stringAt.push_back(strings.size());
        }
    }

    // The sheet.
    if (!package.start(sheetPart, kMaxSheetBytes, error))
        return false;
    QString readError;
    XmlScanner xml([&](char* into, qint64 size) { return package.read(into, size, &readError); });
    SheetReader sheet(fresh, formats, xfs, strings, stringAt, date1904);
    QString why;
    if (!sheet.read(xml, package.declared(), progress, &why))
        return fail(error, readError.isEmpty() ? why : readError);
    return true;
}

} // namespace quillon::XlsxFormat
