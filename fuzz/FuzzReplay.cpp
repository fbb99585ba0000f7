// Runs a fuzz target's entry point over saved inputs: every file named, and every
// file in every folder named. The ordinary build runs the saved corpora and the
// findings this way under ctest, so that what the fuzzer found once stays mended.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

#include "FuzzTarget.h"

namespace {

int runOne(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray bytes = file.readAll();
    // A copy of exactly the input's size, so that a read past its end is seen.
    auto* copy = new uint8_t[size_t(bytes.size()) + 1];
    std::copy(bytes.cbegin(), bytes.cend(), copy);
    LLVMFuzzerTestOneInput(copy, size_t(bytes.size()));
    delete[] copy;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    int inputs = 0;
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                failures += runOne(it.next());
                ++inputs;
            }
        } else if (QFileInfo::exists(arg)) {
            failures += runOne(arg);
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return failures == 0 ? 0 : 1;
}
