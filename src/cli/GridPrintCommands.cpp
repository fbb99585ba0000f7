// The subcommands "print" (the record sheet as a table) and "labels" (mailing
// labels), both to PDF through the same layout as the print dialogs.

#include "cli/GridCommand.h"
#include "files/GridFile.h"
#include "print/LabelPrint.h"
#include "print/PdfExport.h"
#include "print/SheetPrint.h"
#include "sheet/RecordSheet.h"

#include <QPageSize>

#include <optional>

namespace quillon::cli {

namespace {

/** The arguments, with "--name VALUE" and "--name=VALUE" options taken out one by one. */
class Options
{
public:
    explicit Options(QStringList arguments) : m_args(std::move(arguments)) {}

    /** Takes "--name VALUE" or "--name=VALUE"; nullopt when absent. Sets bad() when
     *  the value is missing. */
    std::optional<QString> value(const QString& name)
    {
        for (qsizetype i = 0; i < m_args.size(); ++i) {
            const QString& a = m_args.at(i);
            if (a == name) {
                if (i + 1 >= m_args.size()) {
                    m_bad = true;
                    return std::nullopt;
                }
                const QString v = m_args.at(i + 1);
                m_args.remove(i, 2);
                return v;
            }
            if (a.startsWith(name + QLatin1Char('='))) {
                const QString v = a.mid(name.size() + 1);
                m_args.remove(i);
                return v;
            }
        }
        return std::nullopt;
    }
    /** Takes "--name" alone. */
    bool flag(const QString& name) { return m_args.removeAll(name) > 0; }
    /** Takes "--name" or "--name=VALUE": nullopt when absent, else the value (empty
     *  for the bare flag). */
    std::optional<QString> optionalValue(const QString& name)
    {
        if (flag(name))
            return QString();
        for (qsizetype i = 0; i < m_args.size(); ++i)
            if (m_args.at(i).startsWith(name + QLatin1Char('='))) {
                const QString v = m_args.at(i).mid(name.size() + 1);
                m_args.remove(i);
                return v;
            }
        return std::nullopt;
    }
    bool bad() const { return m_bad; }
    /** What is left: the input file alone, when nothing else was given. */
    const QStringList& rest() const { return m_args; }

private:
    QStringList m_args;
    bool m_bad = false;
};

int formatByName(const QString& name)
{
    if (name == QLatin1String("native") || name == QLatin1String("vty"))
        return FormatNative;
    if (name == QLatin1String("csv") || name == QLatin1String("comma"))
        return FormatComma;
    if (name == QLatin1String("tab") || name == QLatin1String("txt"))
        return FormatTab;
    return -1;
}

/** Reads the input file of a print subcommand; 0 when done, else the exit code. */
int loadInput(Options& options, const QString& command, RecordSheet& sheet, QString& output)
{
    const std::optional<QString> out = options.value(QStringLiteral("-o"));
    const std::optional<QString> from = options.value(QStringLiteral("--from"));
    if (options.bad() || !out || out->isEmpty() || options.rest().size() != 1 ||
        options.rest().first().startsWith(QLatin1Char('-')))
        return usage(command);
    output = *out;
    const QString input = options.rest().first();
    const int format = from ? formatByName(*from) : gridFormatForPath(input);
    if (format < 0)
        return fail(QStringLiteral("%1: cannot tell the format from the name; use .vty, .bin, .csv or .txt, "
                                   "or say it with --from native|csv|tab")
                        .arg(input));
    QString error;
    if (!LoadGrid(input, format, sheet, &error))
        return fail(QStringLiteral("%1: %2").arg(input, error));
    return 0;
}

int writeOutput(const PrintSheet& print, const QString& output)
{
    QString error;
    if (!WritePdf(print, output, &error))
        return fail(error);
    std::printf("%s: %d page%s\n", output.toLocal8Bit().constData(), print.pageCount(),
                print.pageCount() == 1 ? "" : "s");
    return 0;
}

/** "1,3,5-7" or titles "Name,City" (or a mix) to sheet columns; nullopt with a message
 *  for a column the sheet does not have. */
std::optional<std::vector<bool>> parseColumns(const QString& list, const RecordSheet& sheet)
{
    std::vector<bool> print(size_t(sheet.cols()), false);
    for (const QString& rawItem : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString item = rawItem.trimmed();
        bool ok = false;
        const int number = item.toInt(&ok);
        if (ok && number >= 1 && number <= sheet.cols()) {
            print[size_t(number - 1)] = true;
            continue;
        }
        const qsizetype dash = item.indexOf(QLatin1Char('-'));
        if (dash > 0) {
            bool okFirst = false, okLast = false;
            const int first = item.left(dash).toInt(&okFirst);
            const int last = item.mid(dash + 1).toInt(&okLast);
            if (okFirst && okLast && first >= 1 && first <= last && last <= sheet.cols()) {
                for (int c = first; c <= last; ++c)
                    print[size_t(c - 1)] = true;
                continue;
            }
        }
        bool found = false;
        for (int c = 0; c < sheet.cols(); ++c)
            if (sheet.title(c) == item) {
                print[size_t(c)] = true;
                found = true;
            }
        if (!found) {
            fail(QStringLiteral("no column \"%1\": give column numbers 1 to %2 or titles").arg(item).arg(sheet.cols()));
            return std::nullopt;
        }
    }
    return print;
}

std::optional<QPageSize> paperByName(const QString& name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("letter"))
        return QPageSize(QPageSize::Letter);
    if (n == QLatin1String("legal"))
        return QPageSize(QPageSize::Legal);
    if (n == QLatin1String("a4"))
        return QPageSize(QPageSize::A4);
    if (n == QLatin1String("a3"))
        return QPageSize(QPageSize::A3);
    return std::nullopt;
}

int runPrint(const QStringList& arguments)
{
    const QString command = QStringLiteral("print");
    Options options(arguments);
    const std::optional<QString> columns = options.value(QStringLiteral("--columns"));
    const std::optional<QString> scale = options.value(QStringLiteral("--scale"));
    const std::optional<QString> paper = options.value(QStringLiteral("--paper"));
    const bool landscape = options.flag(QStringLiteral("--landscape"));
    const bool portrait = options.flag(QStringLiteral("--portrait"));
    if (landscape && portrait)
        return usage(command);
    RecordSheet sheet;
    QString output;
    if (const int code = loadInput(options, command, sheet, output))
        return code;

    // The dialog's choices as it opens: the visible columns, all records, portrait, 75.
    PrintSheetForm form(sheet);
    if (columns) {
        const std::optional<std::vector<bool>> chosen = parseColumns(*columns, sheet);
        if (!chosen)
            return 2;
        for (int c = 0; c < sheet.cols(); ++c)
            form.setPrint(c, (*chosen)[size_t(c)]);
    }
    if (scale)
        form.setScaleText(*scale);
    form.setOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const auto print = form.makePrintSheet();
    if (paper) {
        const std::optional<QPageSize> size = paperByName(*paper);
        if (!size)
            return fail(QStringLiteral("unknown paper \"%1\": letter, legal, a4 or a3").arg(*paper));
        print->setPageSize(*size);
    }
    return writeOutput(*print, output);
}

int runLabels(const QStringList& arguments)
{
    const QString command = QStringLiteral("labels");
    Options options(arguments);
    const std::optional<QString> format = options.value(QStringLiteral("--format"));
    const std::optional<QString> stock = options.value(QStringLiteral("--stock"));
    const std::optional<QString> start = options.value(QStringLiteral("--start"));
    const std::optional<QString> fontSize = options.value(QStringLiteral("--font-size"));
    const std::optional<QString> country = options.optionalValue(QStringLiteral("--country"));
    const bool skip = options.flag(QStringLiteral("--skip-incomplete"));
    if (format && stock)
        return fail(QStringLiteral("give --format or --stock, not both"));
    RecordSheet sheet;
    QString output;
    if (const int code = loadInput(options, command, sheet, output))
        return code;

    ReportOptionsForm form(sheet);
    // Stocks the stock file describes wrongly are left out; say so, whatever is printed.
    for (const QString& problem : form.stocks().problems())
        std::fprintf(stderr, "quillon-grid: %s\n", problem.toLocal8Bit().constData());
    if (format) {
        // "3 x 10", "3x10" and "3X10" name the same format.
        QString name = format->simplified().toLower().remove(QLatin1Char(' '));
        name.replace(QLatin1Char('x'), QStringLiteral(" x "));
        if (!FindLabelFormat(name)) {
            QStringList builtIn;
            for (const LabelFormat& f : BuiltInLabelFormats())
                builtIn << QLatin1Char('"') + f.name + QLatin1Char('"');
            return fail(QStringLiteral("unknown label format \"%1\": %2; label stocks such as \"Avery 5160\" are "
                                       "chosen with --stock")
                            .arg(*format, builtIn.join(QStringLiteral(", "))));
        }
        form.setFormat(name);
    }
    if (stock) {
        const LabelFormat* found = form.stocks().lookUp(*stock);
        if (!found)
            return fail(QStringLiteral("unknown label stock \"%1\": %2")
                            .arg(*stock, form.formatNames().join(QStringLiteral(", "))));
        form.setFormat(found->name);
    }
    if (start) {
        bool ok = false;
        const int position = start->toInt(&ok);
        if (!ok || position < 1 || position > form.labelsPerSheet())
            return fail(QStringLiteral("--start %1: give the first free label of the sheet, 1 to %2 (\"%3\" has %2 "
                                       "labels a sheet)")
                            .arg(*start)
                            .arg(form.labelsPerSheet())
                            .arg(form.format()));
        form.setStartLabel(position);
    }
    if (fontSize)
        form.setFontSize(*fontSize);
    form.setSkipIncomplete(skip);
    if (country) {
        form.setPrintCountry(true);
        if (!country->isEmpty())
            form.setCountryText(*country);
    }
    int shortened = 0;
    const auto print = form.makePrintSheet(&shortened);
    const int code = writeOutput(*print, output);
    if (code == 0 && shortened > 0)
        std::printf("%s\n", ReportOptionsForm::shortenedMessage(shortened).toLocal8Bit().constData());
    return code;
}

} // namespace

QUILLON_GRID_COMMAND(print, "print FILE -o OUT.pdf [--columns LIST] [--landscape] [--scale N] [--paper P]",
                     "prints the records as a table to PDF (LIST: 1,3-5 or titles; P: letter, legal, a4, a3)",
                     runPrint, true);
QUILLON_GRID_COMMAND(labels,
                     "labels FILE -o OUT.pdf [--format F | --stock S] [--start N] [--skip-incomplete] "
                     "[--country[=TEXT]]",
                     "prints mailing labels to PDF (F: \"3 x 10\", \"2 x 10\", \"2 x 5\"; S: a label stock such as "
                     "\"Avery 5160\" or \"L7160\"; N: the first free label of the first sheet; also --font-size N)",
                     runLabels, true);

} // namespace quillon::cli
