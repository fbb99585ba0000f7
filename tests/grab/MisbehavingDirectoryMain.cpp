// misbehaving-directory: serves the tests' misbehaving directory on its own, for
// trying quillon-grab and the window against it by hand. One page in ten misbehaves
// (the same pages for the same seed); the last page links back three pages.
//
//   misbehaving-directory [--pages N] [--listings N] [--seed S] [--robots TEXT]
//                         [--key FILE] [--delay MS]

#include "testsupport/MisbehavingDirectory.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>

using namespace quillon;
using Trouble = MisbehavingDirectory::Trouble;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int pages = 200;
    int listings = 10;
    quint32 seed = 1;
    QByteArray robots;
    QString key;
    int delay = 0;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& name = args[i];
        const QString& value = args[i + 1];
        if (name == QLatin1String("--pages"))
            pages = std::max(1, value.toInt());
        else if (name == QLatin1String("--listings"))
            listings = std::max(1, value.toInt());
        else if (name == QLatin1String("--seed"))
            seed = value.toUInt();
        else if (name == QLatin1String("--robots"))
            robots = value.toUtf8().replace("\\n", "\n");
        else if (name == QLatin1String("--key"))
            key = value;
        else if (name == QLatin1String("--delay"))
            delay = value.toInt();
    }
    MisbehavingDirectory site(pages, listings);
    site.setRobotsTxt(robots);
    site.setAnswerDelayMs(delay);
    const struct
    {
        Trouble trouble;
        int times;
        int retryAfter;
    } mix[] = {{Trouble::Stall, 1, -1},         {Trouble::EndEarly, 1, -1},      {Trouble::TooManyRequests, 1, 1},
               {Trouble::ServerError, 2, -1},   {Trouble::Unavailable, 1, 0},    {Trouble::Reset, 1, -1},
               {Trouble::WrongCharset, -1, -1}, {Trouble::NoCharset, -1, -1},    {Trouble::Changing, -1, -1},
               {Trouble::Trickle, 3, -1},       {Trouble::RedirectLoop, 1, -1},  {Trouble::RedirectToFile, 1, -1},
               {Trouble::RedirectToFtp, 1, -1}, {Trouble::GzipBomb, 1, -1},      {Trouble::Huge, 1, -1}};
    QRandomGenerator random(seed);
    for (int p = 1; p <= pages; ++p) {
        if (random.bounded(10) != 0)
            continue;
        const auto& m = mix[random.bounded(int(sizeof mix / sizeof mix[0]))];
        site.setPlan(p, {m.trouble, m.times, m.retryAfter});
        std::printf("page %d misbehaves (%d)\n", p, int(m.trouble));
    }
    MisbehavingDirectory::Plan last = site.plan(pages);
    last.linkBack = std::min(3, pages - 1);
    site.setPlan(pages, last);
    if (!key.isEmpty()) {
        QFile file(key);
        if (!file.open(QIODevice::WriteOnly) || file.write(MisbehavingDirectory::keyCsv()) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(key));
            return 1;
        }
    }
    if (!site.isListening()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::printf("Misbehaving directory: %s\n", qPrintable(site.pageUrl(1)));
    std::fflush(stdout);
    return app.exec();
}
