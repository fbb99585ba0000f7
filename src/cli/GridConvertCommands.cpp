// The subcommands "convert" and "dump".

#include "cli/GridCommand.h"
#include "files/GridFile.h"
#include "sheet/RecordSheet.h"
#include "cli/JsonText.h"

#include <QFile>

#include <cstdio>
#include <string>

namespace quillon::cli {

namespace {

int formatByName(const QString& name)
{
    if (name == QLatin1String("native") || name == QLatin1String("vty"))
        return FormatNative;
    if (name == QLatin1String("csv") || name == QLatin1String("comma"))
        return FormatComma;
    if (name == QLatin1String("tab") || name == QLatin1String("txt"))
        return FormatTab;
    if (name == QLatin1String("csv-excel"))
        return FormatSpreadsheetCsv;
    if (name == QLatin1String("vcard") || name == QLatin1String("vcf"))
        return FormatVCard;
    if (name == QLatin1String("xlsx"))
        return FormatXlsx;
    return -1;
}

/** Takes "--from FMT" / "--to FMT" out of @p arguments; false on a bad value. */
bool takeFormat(QStringList& arguments, const QString& option, int& format)
{
    const qsizetype at = arguments.indexOf(option);
    if (at < 0)
        return true;
    if (at + 1 >= arguments.size())
        return false;
    format = formatByName(arguments.at(at + 1));
    arguments.remove(at, 2);
    return format >= 0;
}

int formatOrFail(int given, const QString& path, bool& ok)
{
    const int format = given >= 0 ? given : gridFormatForPath(path);
    ok = format >= 0;
    if (!ok)
        fail(QStringLiteral("%1: cannot tell the format from the name; use .vty, .bin, .csv, .txt, .vcf or .xlsx, "
                            "or say it with --from/--to native|csv|tab|csv-excel|vcard|xlsx")
                 .arg(path));
    return format;
}

int runConvert(const QStringList& args)
{
    QStringList arguments = args;
    int from = -1, to = -1;
    if (!takeFormat(arguments, QStringLiteral("--from"), from) || !takeFormat(arguments, QStringLiteral("--to"), to) ||
        arguments.size() != 2)
        return usage(QStringLiteral("convert"));
    bool ok = false;
    from = formatOrFail(from, arguments[0], ok);
    if (!ok)
        return 1;
    to = formatOrFail(to, arguments[1], ok);
    if (!ok)
        return 1;
    RecordSheet sheet;
    QString error;
    if (!LoadGrid(arguments[0], from, sheet, &error))
        return fail(QStringLiteral("%1: %2").arg(arguments[0], error));
    if (!SaveGrid(arguments[1], to, sheet, &error))
        return fail(QStringLiteral("%1: %2").arg(arguments[1], error));
    return 0;
}

int runDump(const QStringList& args)
{
    QStringList arguments = args;
    int from = -1;
    if (!takeFormat(arguments, QStringLiteral("--from"), from) || arguments.size() != 1)
        return usage(QStringLiteral("dump"));
    bool ok = false;
    from = formatOrFail(from, arguments[0], ok);
    if (!ok)
        return 1;
    RecordSheet sheet;
    QString error;
    if (!LoadGrid(arguments[0], from, sheet, &error))
        return fail(QStringLiteral("%1: %2").arg(arguments[0], error));
    std::string line;
    for (int r = 0; r < sheet.rows(); ++r) {
        line.clear();
        line.push_back('[');
        for (int c = 0; c < sheet.cols(); ++c) {
            if (c > 0)
                line.push_back(',');
            appendJsonString(line, sheet.textUtf8(r, c));
        }
        line += "]\n";
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size())
            return fail(QStringLiteral("cannot write the output"));
    }
    return std::fflush(stdout) == 0 ? 0 : fail(QStringLiteral("cannot write the output"));
}

} // namespace

QUILLON_GRID_COMMAND(convert, "convert [--from FMT] [--to FMT] IN OUT",
                     "converts between .vty/.bin, .csv, .txt, .vcf and .xlsx (FMT: native, csv, tab, csv-excel "
                     "(comma text for spreadsheet programs), vcard, xlsx)",
                     runConvert);
QUILLON_GRID_COMMAND(dump, "dump [--from FMT] FILE", "prints each row as a JSON array of strings, header first",
                     runDump);

} // namespace quillon::cli
