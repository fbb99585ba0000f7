// quillon-key: learns a decoding key from one listing of a result page, or a
// structured-data key from a page's schema.org items, and checks a key on a page.

#include "shell/AppPaths.h"
#include "files/GridFile.h"
#include "grab/HtmlText.h"
#include "grab/KeyLearner.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "grab/PageReader.h"
#include "cli/JsonText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

#include <cstdio>
#include <functional>
#include <string>

using namespace quillon;

namespace {

constexpr int kDefaultColumns = 8;

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

int fail(const QString& text, int code)
{
    say(QStringLiteral("quillon-key: ") + text);
    return code;
}

QString quoted(QByteArrayView marker)
{
    QString text = QString::fromUtf8(marker);
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool isWebAddress(const QString& text)
{
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

/** The page, read from a file or downloaded, as UTF-8; then @p use runs with it. */
struct PageSource
{
    QString where;
    QUrl address; // the page's web address, when it has one
};

/** The listing-page marker an address suggests: its first query name ("clue="), else its
 *  first path folder ("/find/"). */
QString listingPageMarker(const QUrl& address)
{
    const QUrlQuery query(address);
    const auto items = query.queryItems(QUrl::FullyEncoded);
    if (!items.isEmpty())
        return items.first().first + QLatin1Char('=');
    const QStringList parts = address.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() >= 2)
        return QLatin1Char('/') + parts.first() + QLatin1Char('/');
    return QString();
}

void describe(const GrabKey& key, const KeyPreview& preview, int blocks)
{
    const QStringList titles = KeyLearner::fieldTitles();
    if (key.kind == KeyKind::StructuredData) {
        say(QStringLiteral("kind: schema.org (structured data), at most %1 listings a page").arg(key.listingsPerPage));
    } else {
        say(QStringLiteral("listing: start %1, end %2 (%3 listings on the page)")
                .arg(quoted(key.listingStart), quoted(key.listingEnd))
                .arg(blocks));
        for (int j = 0; j <= key.lastField && j < int(key.fields.size()); ++j) {
            const GrabKey::Field& f = key.fields[size_t(j)];
            const QString title = f.column >= 0 && f.column < titles.size() ? titles[f.column]
                                                                             : QStringLiteral("column %1").arg(f.column);
            say(QStringLiteral("field %1 %2: start %3, end %4").arg(j).arg(title, quoted(f.start), quoted(f.end)));
        }
    }
    if (!key.nextStart.isEmpty() || !key.nextEnd.isEmpty())
        say(QStringLiteral("next page: start %1, end %2").arg(quoted(key.nextStart), quoted(key.nextEnd)));
    else if (key.kind == KeyKind::StructuredData)
        say(QStringLiteral("next page: the page's rel=\"next\" link"));
    (void)preview;
}

QString countsText(const KeyPreview& preview)
{
    const QStringList titles = KeyLearner::fieldTitles();
    QStringList parts;
    for (int c = 0; c < kDefaultColumns && c < int(preview.columnCounts.size()); ++c)
        parts.append(QStringLiteral("%1 %2").arg(titles[c]).arg(preview.columnCounts[size_t(c)]));
    return parts.join(QStringLiteral(", "));
}

QString nextText(const QByteArray& cut, const QUrl& address)
{
    if (cut.isEmpty())
        return QStringLiteral("none");
    const QString decoded = HtmlText::decoded(QString::fromUtf8(cut)).trimmed();
    if (address.isValid() && !address.isEmpty())
        return address.resolved(QUrl(decoded, QUrl::TolerantMode)).toString();
    return decoded;
}

int runLearn(const QByteArray& page, const PageSource& source, const QStringList& examples, bool structured,
             const QString& out, const QUrl& address)
{
    KeyLearner learner(page);
    KeyLearner::Result result;
    QString note;
    if (structured) {
        result = learner.learnStructured();
    } else {
        KeyLearner::Example example;
        for (const QString& e : examples) {
            const qsizetype eq = e.indexOf(QLatin1Char('='));
            const int column = eq < 0 ? -1 : KeyLearner::columnOf(QStringView(e).first(eq));
            if (column < 0)
                return fail(QStringLiteral("--example wants TITLE=TEXT with a title of %1: %2")
                                .arg(KeyLearner::fieldTitles().join(QStringLiteral(", ")), e),
                            2);
            example.insert(column, e.mid(eq + 1));
        }
        result = learner.learn(example);
    }
    for (const QString& problem : result.problems)
        say(QStringLiteral("quillon-key: ") + problem);
    if (!result.ok())
        return fail(QStringLiteral("nothing could be learned from %1").arg(source.where), 3);

    KeyLearner::Proposal proposal = result.proposals.front();
    if (proposal.preview.listings() == 0)
        return fail(QStringLiteral("the key learned cuts no listing from %1").arg(source.where), 3);
    GrabKey& key = proposal.key;
    if (address.isValid() && !address.isEmpty())
        key.listingPageMarker = listingPageMarker(address);
    note = QStringLiteral("%1: %2, %3").arg(QFileInfo(out).completeBaseName(), proposal.note, source.where);

    KeyTable table;
    key.toTable(table, note);
    const int format = gridFormatForPath(out);
    QString error;
    if (format < 0 || !SaveGrid(out, format == FormatComma || format == FormatTab ? format : FormatNative,
                                table.sheet(), &error))
        return fail(QStringLiteral("cannot write %1: %2").arg(out, error), 1);

    describe(key, proposal.preview, proposal.blocks);
    say(QStringLiteral("%1 listings: %2").arg(proposal.preview.listings()).arg(countsText(proposal.preview)));
    say(QStringLiteral("next page: %1").arg(nextText(proposal.preview.nextLink, address)));
    for (const QString& n : proposal.preview.notes)
        say(n);
    if (result.proposals.size() > 1)
        say(QStringLiteral("%1 other keys were proposed").arg(result.proposals.size() - 1));
    say(QStringLiteral("written to %1").arg(out));
    return 0;
}

int runCheck(const QByteArray& page, const PageSource& source, const QString& keyPath, SiteRules rules)
{
    KeyTable table;
    QString error;
    if (!table.load(keyPath, &error))
        return fail(QStringLiteral("cannot load the key file %1: %2").arg(keyPath, error), 1);
    const GrabKey key = GrabKey::fromTable(table);
    const KeyPreview preview = PreviewKey(page, key, rules, kDefaultColumns);
    std::string line;
    for (int r = 0; r < preview.rows.rowCount(); ++r) {
        line.clear();
        line.push_back('[');
        for (int c = 0; c < kDefaultColumns; ++c) {
            if (c > 0)
                line.push_back(',');
            appendJsonString(line, preview.rows.cellText(r, c));
        }
        line += "]\n";
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size())
            return fail(QStringLiteral("cannot write the output"), 1);
    }
    if (std::fflush(stdout) != 0)
        return fail(QStringLiteral("cannot write the output"), 1);
    for (const QString& n : preview.notes)
        say(n);
    say(QStringLiteral("%1 listings: %2").arg(preview.listings()).arg(countsText(preview)));
    say(QStringLiteral("next page: %1").arg(nextText(preview.nextLink, source.address)));
    if (preview.listings() == 0)
        return fail(QStringLiteral("the key cuts no listing from %1").arg(source.where), 3);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-key"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION_TEXT));
    AppPaths::applyCommandLine(QCoreApplication::arguments());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Learns a decoding key from one listing of a result page, or checks a key on a page.\n"
        "\n"
        "  quillon-key learn PAGE --example \"Name=TEXT\" [--example \"Phone=TEXT\" ...] -o KEY.csv\n"
        "  quillon-key learn PAGE --structured -o KEY.csv\n"
        "  quillon-key check KEY PAGE\n"
        "\n"
        "PAGE is a saved page or an http(s) address; KEY is a key file (.csv, .txt or native).\n"
        "Field titles: Name, Street, City, State, Zip Code, Phone, Web Site, Email.\n"
        "check prints each listing as a JSON array of the 8 fields, then the counts a field\n"
        "and the next page's address on standard error.\n"
        "Exit status: 0 done, 1 a file cannot be read or written, 2 wrong options,\n"
        "3 nothing could be learned, or the key cuts no listing."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption exampleOption(QStringList{QStringLiteral("e"), QStringLiteral("example")},
                                           QStringLiteral("A value of the listing learned from: TITLE=TEXT."),
                                           QStringLiteral("TITLE=TEXT"));
    const QCommandLineOption structuredOption(QStringLiteral("structured"),
                                              QStringLiteral("Learn a structured-data (schema.org) key."));
    const QCommandLineOption outOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                       QStringLiteral("Write the key to KEY (.csv, .txt or native)."),
                                       QStringLiteral("KEY"));
    const QCommandLineOption addressOption(
        QStringLiteral("address"), QStringLiteral("The web ADDRESS a saved page came from (for the listing-page marker)."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption rulesOption(QStringLiteral("rules"),
                                         QStringLiteral("check: the rules of built-in site a, b, or key (the default)."),
                                         QStringLiteral("RULES"), QStringLiteral("key"));
    parser.addOptions({exampleOption, structuredOption, outOption, addressOption, rulesOption});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("learn or check"));
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText(), 2);
    if (parser.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("quillon-key %s\n", QUILLON_VERSION_TEXT);
        return 0;
    }

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    QString pageArg;
    std::function<int(const QByteArray&, const PageSource&)> run;
    if (command == QLatin1String("learn")) {
        if (args.size() != 2)
            return fail(QStringLiteral("learn wants one PAGE (see --help)"), 2);
        pageArg = args[1];
        if (!parser.isSet(outOption))
            return fail(QStringLiteral("give the key file to write with -o KEY.csv"), 2);
        const bool structured = parser.isSet(structuredOption);
        const QStringList examples = parser.values(exampleOption);
        if (structured == !examples.isEmpty())
            return fail(QStringLiteral("learn wants either --example TITLE=TEXT (the name at least) or --structured"), 2);
        const QString out = parser.value(outOption);
        if (gridFormatForPath(out) < 0 && !out.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
            return fail(QStringLiteral("the key file must end in .csv, .txt, .bin or .vty: %1").arg(out), 2);
        const QUrl given(parser.value(addressOption), QUrl::TolerantMode);
        const bool hasAddress = parser.isSet(addressOption);
        run = [=](const QByteArray& page, const PageSource& source) {
            return runLearn(page, source, examples, structured, out, hasAddress ? given : source.address);
        };
    } else if (command == QLatin1String("check")) {
        if (args.size() != 3)
            return fail(QStringLiteral("check wants KEY and PAGE (see --help)"), 2);
        pageArg = args[2];
        const QString keyPath = args[1];
        const QString rulesName = parser.value(rulesOption).toLower();
        SiteRules rules = SiteRules::KeyOnly;
        if (rulesName == QLatin1String("a"))
            rules = SiteRules::BuiltInA;
        else if (rulesName == QLatin1String("b"))
            rules = SiteRules::BuiltInB;
        else if (rulesName != QLatin1String("key"))
            return fail(QStringLiteral("--rules is a, b or key"), 2);
        run = [=](const QByteArray& page, const PageSource& source) { return runCheck(page, source, keyPath, rules); };
    } else {
        return fail(command.isEmpty() ? QStringLiteral("give a command: learn or check (see --help)")
                                      : QStringLiteral("unknown command \"%1\": learn or check").arg(command),
                    2);
    }

    PageSource source;
    source.where = pageArg;
    if (!isWebAddress(pageArg)) {
        QFile file(pageArg);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(pageArg, file.errorString()), 1);
        const qint64 limit = PageFetcher::Limits().maxBytes;
        if (file.size() > limit)
            return fail(QStringLiteral("%1 is larger than %2 MB, the most a page may be").arg(pageArg).arg(limit >> 20),
                        1);
        const QByteArray body = file.readAll();
        return run(HtmlText::pageToUtf8(body), source);
    }

    source.address = QUrl(pageArg, QUrl::TolerantMode);
    PageFetcher fetcher;
    int code = 0;
    fetcher.fetch(source.address, [&](const FetchedPage& fetched) {
        if (!fetched.ok()) {
            code = fail(QStringLiteral("cannot download %1: %2").arg(pageArg, fetched.error), 1);
        } else {
            if (fetched.finalUrl.isValid())
                source.address = fetched.finalUrl;
            code = run(fetched.text, source);
        }
        QCoreApplication::exit(code);
    });
    app.exec();
    return code;
}
