// The listing parser on a 4 MB result page of 4,000 listings x 9 fields (MB/s of
// page text, listings/s), and a grab of 200 pages from the sample directory with no
// wait between pages (pages/s).

#include "BenchSupport.h"

#include "shell/AppPaths.h"
#include "grab/GrabRunner.h"
#include "grab/KeyTable.h"
#include "grab/ListingParser.h"
#include "grab/PageFetcher.h"
#include "grab/SampleDirectory.h"
#include "sheet/RecordSheet.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdlib>
#include <string>

using namespace quillon;

namespace {

/** A result page in the manner of a real directory site: each listing is wrapped in
 *  markup that the key does not read, with the nine fields in their own elements. */
QByteArray makePage(int listings)
{
    bench::ListingGenerator gen;
    static const char* const classes[] = {"name", "street", "city", "state", "zip", "phone", "web", "email", "kind"};
    std::string page = "<!DOCTYPE html><html><head><title>Results</title></head><body><ul class=\"nav\">"
                       "<li><a href=\"/\">Home</a></li><li><a href=\"/help\">Help</a></li></ul><div class=\"results\">";
    std::string text;
    for (int i = 0; i < listings; ++i) {
        page += "<div class=\"listing\" data-id=\"" + std::to_string(100000 + i)
              + "\"><div class=\"media\"><a href=\"/l/" + std::to_string(i)
              + "\" class=\"thumb\"><img src=\"/img/placeholder.png\" alt=\"\"></a></div><div class=\"info\">";
        for (int f = 0; f < 9; ++f) {
            gen.cell(f, text);
            page += "<span class=\"";
            page += classes[f];
            page += "\">";
            page += f == 0 ? "T &amp; " + text : text;
            page += "</span>";
            page += f == 4 ? "<div class=\"rating\"><i class=\"star\"></i><i class=\"star\"></i></div>" : "";
        }
        page += "<p class=\"snippet\">From the business: family owned and operated since 1962, serving the whole "
                "county with friendly service and fair prices. Call today for a free estimate.</p>"
                "<div class=\"links\"><a href=\"/directions\" data-analytics='{\"click_id\":1171,\"module\":\"links\"}'>"
                "Directions</a> <a href=\"/more\" data-analytics='{\"click_id\":1172,\"module\":\"links\"}'>"
                "More info</a> <a href=\"/menu\" data-analytics='{\"click_id\":1173}'>Menu</a></div>"
                "</div></div>\n";
    }
    page += "</div><a class=\"next\" href=\"/results?page=2&amp;q=x\">Next</a></body></html>";
    return QByteArray(page.data(), qsizetype(page.size()));
}

GrabKey pageKey()
{
    static const char* const classes[] = {"name", "street", "city", "state", "zip", "phone", "web", "email", "kind"};
    GrabKey key;
    key.listingsPerPage = 5000;
    key.listingStart = "<div class=\"listing\"";
    key.listingEnd = "</div></div>\n";
    for (int f = 0; f < 9; ++f)
        key.fields.push_back({f, "<span class=\"" + QByteArray(classes[f]) + "\">", "</span>"});
    key.lastField = 8;
    key.nextStart = "<a class=\"next\" href=\"";
    key.nextEnd = "\"";
    return key;
}

void benchParser()
{
    const QByteArray page = makePage(4000);
    const GrabKey key = pageKey();
    ParseContext context;
    std::printf("parser: page of %.2f MB, 4000 listings x 9 fields\n", double(page.size()) / 1e6);

    int rows = 0;
    const int rounds = 20;
    bench::Stopwatch watch;
    const double cpuStart = bench::cpuSeconds();
    for (int i = 0; i < rounds; ++i)
        rows += ParseListings(page, key, SiteRules::KeyOnly, context).rowCount();
    const double parse = watch.seconds() / rounds;
    const double parseCpu = (bench::cpuSeconds() - cpuStart) / rounds;
    if (rows != 4000 * rounds)
        std::printf("unexpected row count %d\n", rows / rounds);
    bench::printFigure("parse a page", parse * 1e3, "ms");
    bench::printFigure("parser throughput", double(page.size()) / 1e6 / parse, "MB/s", ">= 500 MB/s");
    bench::printFigure("parser listings", 4000 / parse, "/s");
    // The machine may be shared: processor time tells the parser's own cost.
    bench::printFigure("parser throughput by processor time", double(page.size()) / 1e6 / parseCpu, "MB/s");

    // Parsing and appending to the record sheet, as a grab does for each page.
    RecordSheet sheet;
    sheet.setCols(10);
    watch.restart();
    for (int i = 0; i < rounds; ++i) {
        const ParsedPage parsed = ParseListings(page, key, SiteRules::KeyOnly, context);
        RecordSheet::Batch batch(sheet);
        const int first = sheet.rows();
        sheet.setRows(first + parsed.rowCount());
        for (int r = 0; r < parsed.rowCount(); ++r)
            for (size_t c = parsed.rowBegin(r); c < parsed.rowEnds[size_t(r)]; ++c)
                sheet.setTextUtf8(first + r, parsed.cells[c].column, parsed.value(parsed.cells[c]));
    }
    const double appended = watch.seconds() / rounds;
    bench::printFigure("parse and append a page to the sheet", appended * 1e3, "ms");
    bench::printFigure("parse and append throughput", double(page.size()) / 1e6 / appended, "MB/s");
}

void benchSampleGrab()
{
    SampleDirectory sample;
    QString error;
    KeyTable table;
    if (!sample.start(&error) || !table.load(AppPaths::dataFolder() + QStringLiteral("/samplea.bin"), &error)) {
        std::printf("sample grab: %s\n", qPrintable(error));
        return;
    }
    // Every listing, sixteen a page: 200 pages.
    const QString address = sample.root() + QStringLiteral("/a/results?cat=&city=&state=&per=16&page=1");
    RecordSheet sheet;
    sheet.setCols(10);
    PageFetcher fetcher;
    GrabRunner runner(sheet, fetcher);
    GrabRunner::Options options;
    options.key = GrabKey::fromTable(table);
    options.rules = SiteRules::BuiltInA;
    options.siteABase = sample.root();
    options.delayMs = 0;
    QEventLoop loop;
    QObject::connect(&runner, &GrabRunner::finished, &loop, &QEventLoop::quit);
    QObject::connect(&runner, &GrabRunner::failed, &loop, [&loop](int page, const QString&, const QString& why) {
        std::printf("sample grab: page %d failed: %s\n", page + 1, qPrintable(why));
        loop.quit();
    });
    bench::Stopwatch watch;
    runner.start(address, options);
    loop.exec();
    const double seconds = watch.seconds();
    std::printf("sample directory grab: %d pages, %d listings\n", runner.pageCount(), runner.listingCount());
    bench::printFigure("grab time", seconds, "s");
    bench::printFigure("grab pages", runner.pageCount() / seconds, "pages/s");
    bench::printFigure("grab listings", runner.listingCount() / seconds, "/s");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    benchParser();
    benchSampleGrab();
    return 0;
}
