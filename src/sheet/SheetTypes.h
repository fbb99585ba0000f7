#pragma once

#include <QString>

#include <cstdint>

namespace quillon {

/** Column data type codes as stored in sheets and files. */
enum DataType : int {
    TypeNone = 0, ///< a freshly cleared column; shown and handled as Text
    TypeNumber = 5,
    TypeMoney = 6,
    TypeDate = 7,
    TypeText = 8,
    TypeCheckbox = 11,
};

/** Alignment codes of columns and cells. */
enum Alignment : int {
    AlignUnset = 0, ///< a cell that follows its column
    AlignLeft = 1,
    AlignCenter = 4,
    AlignRight = 7,
    AlignGeneral = 9, ///< text left, numbers right
};

/** 0xRRGGBB */
using Rgb = uint32_t;

constexpr int kTwipsPerInch = 1440;
constexpr int kDefaultRowHeight = 240;
constexpr int kDefaultColumnWidth = 1200;

/** The attributes of one sheet column. */
struct ColumnAttributes
{
    int dataType = TypeNone;
    QString format;
    int alignment = AlignGeneral;
    bool hidden = false;
    int width = kDefaultColumnWidth; ///< twips

    bool operator==(const ColumnAttributes&) const = default;
};

/** Header-cell picture: the sort arrow. */
enum HeaderPicture : uint8_t { PictureNone = 0, PictureUp = 1, PictureDown = 2 };

/** The rarely used per-cell attributes; most cells have none. */
struct CellStyle
{
    enum Flag : uint8_t { Bold = 1, Italic = 2, Underline = 4, HasBack = 8, HasFore = 16 };

    Rgb back = 0;
    Rgb fore = 0;
    uint8_t flags = 0;
    int8_t checked = 0;    ///< check state as stored; 1 and -1 read as checked
    uint8_t alignment = 0; ///< 0: the column's alignment
    uint8_t picture = 0;   ///< HeaderPicture, header cells only

    bool isPlain() const { return flags == 0 && checked == 0 && alignment == 0 && picture == 0; }
    bool bold() const { return flags & Bold; }
    bool italic() const { return flags & Italic; }
    bool underline() const { return flags & Underline; }
    bool hasBack() const { return flags & HasBack; }
    bool hasFore() const { return flags & HasFore; }
    bool isChecked() const { return checked == 1 || checked == -1; }

    bool operator==(const CellStyle&) const = default;
};

/** A rectangle of cells, inclusive bounds, in sheet coordinates (row 0 is the header). */
struct CellRect
{
    int top = 0;
    int left = 0;
    int bottom = -1;
    int right = -1;

    bool isEmpty() const { return bottom < top || right < left; }
    int rowCount() const { return isEmpty() ? 0 : bottom - top + 1; }
    int columnCount() const { return isEmpty() ? 0 : right - left + 1; }
    bool contains(int r, int c) const { return r >= top && r <= bottom && c >= left && c <= right; }
    CellRect united(const CellRect& o) const;
    bool operator==(const CellRect&) const = default;
};

/** Converts a data type name ("Number") to its code; anything unknown is Text. Exact comparison. */
int DataTypeCode(const QString& name);
/** Converts a data type code to its name; an unknown code is "Text". */
QString DataTypeName(int code);
/** "Center" is 4, "Right" is 7, any other name 1. Exact comparison. */
int AlignmentCode(const QString& name);
/** 4 is "Center", 7 is "Right", any other code "Left". */
QString AlignmentName(int code);

/** True for Number, Money and Date columns: values shown through the column format. */
inline bool isFormattedType(int code) { return code == TypeNumber || code == TypeMoney || code == TypeDate; }

} // namespace quillon
