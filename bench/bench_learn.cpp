// Learning a key from one listing: on the 2.2 MB Localsearch result page and on a
// 4 MB page of 4,000 listings; a key workshop's preview refresh (the listing parser
// over a 2 MB page, rows and per-field counts); the structured-data reader on the
// Localsearch page. Each figure is the best of a few rounds, by wall clock and by
// processor time (the machine may be shared).

#include "BenchSupport.h"

#include "grab/HtmlText.h"
#include "grab/KeyLearner.h"
#include "grab/KeyWorkshop.h"
#include "grab/PageReader.h"
#include "grab/StructuredData.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <functional>
#include <string>

using namespace quillon;

namespace {

struct Timing
{
    double wall = 1e9;
    double cpu = 1e9;
};

Timing best(int rounds, const std::function<void()>& work)
{
    Timing t;
    for (int i = 0; i < rounds; ++i) {
        bench::Stopwatch watch;
        const double cpuStart = bench::cpuSeconds();
        work();
        t.wall = std::min(t.wall, watch.seconds());
        t.cpu = std::min(t.cpu, bench::cpuSeconds() - cpuStart);
    }
    return t;
}

void print(const char* what, const Timing& t, const char* target)
{
    bench::printFigure(what, t.wall * 1e3, "ms", target);
    bench::printFigure("  by processor time", t.cpu * 1e3, "ms");
}

/** A result page in the manner of a real directory site, @p listings listings of nine fields. */
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
            page += f == 0 ? text + " #" + std::to_string(i) : text;
            page += "</span>";
        }
        page += "<p class=\"snippet\">From the business: family owned and operated since 1962, serving the whole "
                "county with friendly service and fair prices.</p><div class=\"links\"><a href=\"/directions\">"
                "Directions</a> <a href=\"/more\">More info</a></div></div></div>\n";
    }
    page += "</div><a class=\"next\" rel=\"next\" href=\"/results?page=2&amp;q=x\">Next</a></body></html>";
    return QByteArray(page.data(), qsizetype(page.size()));
}

/** The example of listing @p index of makePage(): its values as the page shows them. */
KeyLearner::Example exampleOf(const QByteArray& page, int index)
{
    KeyLearner::Example e;
    const QByteArray marker = "data-id=\"" + QByteArray::number(100000 + index) + "\"";
    const qsizetype at = page.indexOf(marker);
    static const char* const classes[] = {"name", "street", "city", "state", "zip", "phone", "web", "email"};
    for (int f = 0; f < 8; ++f) {
        const QByteArray open = QByteArray("<span class=\"") + classes[f] + "\">";
        const qsizetype b = page.indexOf(open, at) + open.size();
        const qsizetype end = page.indexOf("</span>", b);
        e.insert(f, QString::fromUtf8(page.sliced(b, end - b)));
    }
    return e;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);

    QFile file(QStringLiteral(QUILLON_FIXTURES_DIR "/directory-pages/localsearch-au-1.html"));
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("cannot read the Localsearch page\n");
        return 1;
    }
    const QByteArray localsearch = HtmlText::pageToUtf8(file.readAll());
    std::printf("Localsearch page: %.2f MB\n", double(localsearch.size()) / 1e6);

    // Learning from the first listing, the page read once (as a workshop does).
    KeyLearner::Example example;
    example.insert(0, QStringLiteral("Magnum Plumbing Pipe Relining"));
    example.insert(1, QStringLiteral("Bungalow QLD"));
    example.insert(3, QStringLiteral("QLD"));
    example.insert(5, QStringLiteral("07 4035 5924"));
    GrabKey learned;
    int rows = 0;
    print("learn a key, Localsearch page, page read anew", best(3, [&] {
              KeyLearner learner(localsearch);
              const KeyLearner::Result r = learner.learn(example);
              rows = r.ok() ? r.proposals.front().preview.listings() : 0;
              if (r.ok())
                  learned = r.proposals.front().key;
          }),
          "< 500 ms");
    std::printf("  %d listings cut\n", rows);
    {
        KeyLearner learner(localsearch);
        learner.learn(example);
        print("learn again on the same page (examples changed)", best(3, [&] { learner.learn(example); }), nullptr);
    }

    const QByteArray many = makePage(4000);
    std::printf("page of 4,000 listings: %.2f MB\n", double(many.size()) / 1e6);
    const KeyLearner::Example manyExample = exampleOf(many, 1234);
    print("learn a key, 4,000 listings", best(3, [&] {
              KeyLearner learner(many);
              const KeyLearner::Result r = learner.learn(manyExample);
              rows = r.ok() ? r.proposals.front().preview.listings() : 0;
          }),
          "< 500 ms");
    std::printf("  %d listings cut\n", rows);

    // The preview a workshop shows after each edit of a key.
    const QByteArray two = makePage(2700);
    KeyLearner twoLearner(two);
    const KeyLearner::Result twoKey = twoLearner.learn(exampleOf(two, 7));
    if (twoKey.ok()) {
        std::printf("preview page: %.2f MB\n", double(two.size()) / 1e6);
        print("preview refresh, 2 MB page of 2,700 listings",
              best(10, [&] { rows = PreviewKey(two, twoKey.proposals.front().key).listings(); }), "< 50 ms");
        std::printf("  %d listings\n", rows);

        // The key workshop's refresh after an edit of the form: the parser with its
        // trace of where each listing, marker and value stands, and the summary.
        KeyWorkshop workshop;
        workshop.setKey(twoKey.proposals.front().key);
        workshop.setPage(two, QStringLiteral("http://127.0.0.1/results?page=1"));
        workshop.refresh();
        int edit = 0;
        print("key workshop refresh after an edit, 2 MB page (trace and summary)", best(10, [&] {
                  workshop.setListingsPerPage(5000 + (edit++ % 2));
                  workshop.refresh();
                  rows = workshop.preview().cut.listings();
              }),
              "< 50 ms");
        std::printf("  %d listings; %s\n", rows, qPrintable(workshop.preview().summary.left(120)));
    }
    if (!learned.fields.empty())
        print("preview refresh, Localsearch page (2.2 MB), learned key",
              best(10, [&] { rows = PreviewKey(localsearch, learned).listings(); }), "< 50 ms");

    // The structured-data reader: the whole page's document tree and its schema.org items.
    print("structured-data reader, Localsearch page", best(5, [&] {
              rows = int(StructuredData::Read(localsearch).listings.size());
          }),
          "< 100 ms");
    std::printf("  %d listings\n", rows);
    return 0;
}
