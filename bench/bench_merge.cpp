// Merge Duplicate Contacts and Format Phone Numbers on a sheet of 1,000,000 records x
// 10 columns of person and business listings, 10% of them a second listing of another
// record: the name in other letter case or punctuation, the phone written another of
// three ways ("(212) 555-0134", "212.555.0134", "+1 212 555 0134"), some cells
// missing. Prints the finding of the groups, the whole command with its undo step, its
// undo and redo, and the formatting of every phone cell.
//
//   bench_merge [records] [--find]     --find: the finding of the groups only

#include "BenchSheet.h"
#include "contact/ContactEditCommands.h"
#include "contact/ContactMerge.h"
#include "contact/PhoneNumbers.h"
#include "sheet/RecordSheet.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "ui/Platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace quillon;

namespace {

using bench::QuietPlatform;

using bench::cpuSeconds;
using bench::Timer;

/** One listing before it is written into the sheet. */
struct Listing
{
    std::string cells[10];
};

const char* const kFirst[] = {"James",  "Mary",    "Robert",    "Patricia", "John",    "Jennifer", "Michael",
                              "Linda",  "David",   "Elizabeth", "William",  "Barbara", "Richard",  "Susan",
                              "Joseph", "Jessica", "Thomas",    "Sarah",    "Charles", "Karen",    "Ana",
                              "Luis",   "Mei",     "Hiroshi",   "Olga"};
const char* const kLast[] = {"Smith",    "Johnson", "Williams",  "Brown",    "Jones",     "Garcia",
                             "Miller",   "Davis",   "Rodriguez", "Martinez", "Hernandez", "Lopez",
                             "Gonzalez", "Wilson",  "Anderson",  "Thomas",   "Taylor",    "Moore",
                             "Jackson",  "Martin",  "Lee",       "Perez",    "Thompson",  "White",
                             "Harris",   "Sanchez", "Clark",     "Ramirez",  "Lewis",     "Robinson"};
const char* const kTrade[] = {"Plumbing", "Dental",   "Auto Repair", "Bakery",    "Law Office",
                              "Florist",  "Hardware", "Pizza",       "Insurance", "Realty"};
const char* const kStreet[] = {"Main St",  "Oak Ave", "Elm St",  "Maple Dr", "Park Rd",
                               "Cedar Ln", "Lake St", "Hill Rd", "2nd Ave",  "Washington Blvd"};
const char* const kCity[] = {"Springfield", "Riverside", "Franklin", "Greenville", "Bristol",
                             "Clinton",     "Fairview",  "Salem",    "Madison",    "Georgetown"};
const char* const kState[] = {"IL", "CA", "TX", "NY", "OH", "PA", "MI", "GA", "NC", "WA"};

std::string phoneText(uint32_t area, uint32_t exchange, uint32_t line, int way)
{
    char buf[40];
    switch (way) {
    case 0:
        std::snprintf(buf, sizeof buf, "(%03u) %03u-%04u", area, exchange, line);
        break;
    case 1:
        std::snprintf(buf, sizeof buf, "%03u.%03u.%04u", area, exchange, line);
        break;
    default:
        std::snprintf(buf, sizeof buf, "+1 %03u %03u %04u", area, exchange, line);
        break;
    }
    return buf;
}

/** @p records listings, a tenth of them second listings of others, in random order. */
std::vector<Listing> makeListings(int records, uint64_t seed)
{
    bench::Random rng(seed);
    const int originals = records - records / 10;
    std::vector<Listing> out(static_cast<size_t>(records));
    struct Phone
    {
        uint32_t area, exchange, line;
        int way;
    };
    std::vector<Phone> phones(static_cast<size_t>(originals));
    char buf[96];
    for (int i = 0; i < originals; ++i) {
        Listing& l = out[size_t(i)];
        // People by first, middle initial and last name; every fourth a business.
        if (i % 4 == 0)
            std::snprintf(buf, sizeof buf, "%s %s %s", kLast[rng.below(30)], kTrade[rng.below(10)],
                          rng.below(2) ? "Co" : "Inc");
        else
            std::snprintf(buf, sizeof buf, "%s %c. %s", kFirst[rng.below(25)], char('A' + rng.below(26)),
                          kLast[rng.below(30)]);
        l.cells[0] = buf;
        std::snprintf(buf, sizeof buf, "%u %s", 1 + rng.below(9899), kStreet[rng.below(10)]);
        l.cells[1] = buf;
        l.cells[2] = kCity[rng.below(10)];
        l.cells[3] = kState[rng.below(10)];
        std::snprintf(buf, sizeof buf, "%05u", 10000 + rng.below(89999));
        l.cells[4] = buf;
        Phone& p = phones[size_t(i)];
        p = {201 + rng.below(780), 201 + rng.below(790), rng.below(10000), int(rng.below(3))};
        l.cells[5] = phoneText(p.area, p.exchange, p.line, p.way);
        if (rng.below(3) == 0) {
            std::snprintf(buf, sizeof buf, "www.listing%u.example", rng.below(1000000));
            l.cells[6] = buf;
        }
        if (rng.below(2) == 0) {
            std::snprintf(buf, sizeof buf, "contact%u@example.com", rng.below(1000000));
            l.cells[7] = buf;
        }
        l.cells[8] = kTrade[rng.below(10)];
    }
    for (int i = originals; i < records; ++i) {
        const int of = int(rng.below(uint32_t(originals)));
        Listing& l = out[size_t(i)];
        l = out[size_t(of)];
        std::string& name = l.cells[0];
        switch (rng.below(3)) {
        case 0:
            std::transform(name.begin(), name.end(), name.begin(),
                           [](char c) { return char(std::toupper(c)); });
            break;
        case 1:
            name.erase(std::remove(name.begin(), name.end(), '.'), name.end());
            break;
        default:
            name += ".";
            break;
        }
        const Phone& p = phones[size_t(of)];
        l.cells[5] = phoneText(p.area, p.exchange, p.line, (p.way + 1 + int(rng.below(2))) % 3);
        for (const int c : {1, 6, 7, 8}) {
            if (rng.below(3) == 0)
                l.cells[c].clear();
        }
        l.cells[9] = "second listing";
    }
    for (int i = records - 1; i > 0; --i)
        std::swap(out[size_t(i)], out[rng.below(uint32_t(i + 1))]);
    return out;
}

void fill(RecordSheet& sheet, const std::vector<Listing>& listings)
{
    RecordSheet::Batch batch(sheet);
    sheet.setRows(int(listings.size()) + 1);
    for (size_t r = 0; r < listings.size(); ++r) {
        for (int c = 0; c < 10; ++c) {
            const std::string& t = listings[r].cells[c];
            if (!t.empty())
                sheet.setTextUtf8(int(r) + 1, c, QByteArrayView(t.data(), qsizetype(t.size())));
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    std::printf("sheet of %d records x 10 columns, %d of them second listings\n", records, records / 10);
    const std::vector<Listing> listings = makeListings(records, 42);

    QTemporaryDir dir;
    SettingsStore settings(dir.filePath(QStringLiteral("quillon.ini")));
    settings.WriteSettingText(PhoneNumbers::regionSetting(), QStringLiteral("US"));
    QuietPlatform platform;
    MainModel model(settings, platform, dir.filePath(QStringLiteral("Untitled1.vty")));
    model.startUntitledDocument();
    fill(model.sheet(), listings);
    model.ResyncFormPanel();
    model.history().clear();

    Timer watch;
    const ContactMergePlan plan = PlanContactMerge(model.sheet(), PhoneNumbers(QStringLiteral("US")));
    watch.report("finding the groups (PlanContactMerge)");
    std::printf("(%d groups, %lld records to go)\n", plan.groupCount(),
                static_cast<long long>(plan.removedCount()));
    if (argc > 2 && std::strcmp(argv[2], "--find") == 0)
        return 0;

    ContactEditCommands contacts(model);
    watch.restart();
    const long long before = bench::residentBytes();
    if (!contacts.planMerge() || !contacts.applyMerge()) {
        std::fprintf(stderr, "the merge was not made: %s\n", qPrintable(platform.lastText));
        return 1;
    }
    watch.report("Merge Duplicate Contacts, found and made", "< 3 s");
    std::printf("(%d records left)\n", model.sheet().recordCount());
    bench::printFigure("memory the merge step keeps", double(model.history().memoryUsed()) / (1 << 20), "MB");
    bench::printFigure("resident memory grown by the merge",
                       double(bench::residentBytes() - before) / (1 << 20), "MB");
    watch.restart();
    model.history().undo();
    watch.report("undo of the merge", "< 1 s");
    std::printf("(%d records back)\n", model.sheet().recordCount());
    watch.restart();
    model.history().redo();
    watch.report("redo of the merge", "< 1 s");

    watch.restart();
    contacts.formatPhoneNumbers(PhoneForm::National, false);
    watch.report("Format Phone Numbers, national, every record");
    std::printf("(%s)\n",
                qPrintable(QString(platform.lastText).replace(QLatin1Char('\n'), QLatin1String("; "))));
    watch.restart();
    model.history().undo();
    watch.report("undo of the formatting", "< 1 s");
    return 0;
}
