#pragma once

// What the benchmarks of the record sheet and the window's model share: a sheet filled
// with generated listings, and a Platform that shows nothing.

#include "BenchSupport.h"

#include "sheet/RecordSheet.h"
#include "ui/Platform.h"

#include <QDateTime>
#include <QString>

#include <string>

namespace bench {

/** The titles of the generated listings' columns. */
inline void writeListingTitles(quillon::RecordSheet& sheet)
{
    static const char* const titles[ListingGenerator::kColumns] = {
        "Name", "Street", "City", "State", "Zip Code", "Phone", "Web Site", "Email", "Category", "Note"};
    for (int c = 0; c < ListingGenerator::kColumns; ++c)
        sheet.setTextUtf8(0, c, titles[c]);
}

/** Makes @p sheet @p records generated listings of ListingGenerator::kColumns columns
 *  (at least), below its title row. */
inline void fillListings(quillon::RecordSheet& sheet, int records, uint64_t seed = 42)
{
    const int cols = ListingGenerator::kColumns;
    if (sheet.cols() < cols)
        sheet.setCols(cols);
    sheet.setRows(records + 1);
    ListingGenerator gen(seed);
    std::string text;
    quillon::RecordSheet::Batch batch(sheet);
    for (int r = 1; r <= records; ++r)
        for (int c = 0; c < cols; ++c) {
            gen.cell(c, text);
            sheet.setTextUtf8(r, c, QByteArrayView(text.data(), qsizetype(text.size())));
        }
}

/** A Platform that shows nothing: every message box answers `answer`, or its default
 *  button while `answer` is not set; the last message's text is kept. */
class QuietPlatform : public quillon::Platform
{
public:
    int answer = -1;
    QString lastText;

    int message(const QString&, const QString& text, int, Icon, int defaultButton) override
    {
        lastText = text;
        return answer >= 0 ? answer : defaultButton;
    }
    QString openFileName(const quillon::FileDialogRequest&) override { return {}; }
    QString saveFileName(const quillon::FileDialogRequest&) override { return {}; }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<quillon::Rgb> pickColor(quillon::Rgb) override { return {}; }
    QString clipboardText() override { return {}; }
    void setClipboardText(const QString&) override {}
    QDateTime now() override { return QDateTime::currentDateTime(); }
    void openUrl(const QUrl&) override {}
    void beep() override {}
    void setBusy(bool) override {}
    void processEvents() override {}
};

} // namespace bench
