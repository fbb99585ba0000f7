#include "sheet/SheetTypes.h"

#include <algorithm>

namespace quillon {

CellRect CellRect::united(const CellRect& o) const
{
    if (isEmpty())
        return o;
    if (o.isEmpty())
        return *this;
    return {std::min(top, o.top), std::min(left, o.left), std::max(bottom, o.bottom), std::max(right, o.right)};
}

int DataTypeCode(const QString& name)
{
    if (name == QLatin1String("Number"))
        return TypeNumber;
    if (name == QLatin1String("Money"))
        return TypeMoney;
    if (name == QLatin1String("Date"))
        return TypeDate;
    if (name == QLatin1String("Checkbox"))
        return TypeCheckbox;
    return TypeText;
}

QString DataTypeName(int code)
{
    switch (code) {
    case TypeNumber:
        return QStringLiteral("Number");
    case TypeMoney:
        return QStringLiteral("Money");
    case TypeDate:
        return QStringLiteral("Date");
    case TypeCheckbox:
        return QStringLiteral("Checkbox");
    default:
        return QStringLiteral("Text");
    }
}

int AlignmentCode(const QString& name)
{
    if (name == QLatin1String("Center"))
        return AlignCenter;
    if (name == QLatin1String("Right"))
        return AlignRight;
    return AlignLeft;
}

QString AlignmentName(int code)
{
    if (code == AlignCenter)
        return QStringLiteral("Center");
    if (code == AlignRight)
        return QStringLiteral("Right");
    return QStringLiteral("Left");
}

} // namespace quillon
