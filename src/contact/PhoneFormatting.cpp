#include "contact/PhoneFormatting.h"

#include "sheet/ParallelWork.h"
#include "sheet/RecordSheet.h"

namespace quillon {

QString FormatPhoneText(QStringView text, const PhoneNumbers& numbers, PhoneForm form)
{
    const QList<PhoneNumbers::Number> found = numbers.cellNumbers(text);
    QString out = text.toString();
    // From the last number back, so that the places of those before stay right.
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        const PhoneNumbers::Number& n = *it;
        QString written;
        if (form == PhoneForm::National) {
            written = numbers.format(n, n.countryCode == numbers.countryCode()
                                            ? PhoneNumbers::Format::National
                                            : PhoneNumbers::Format::International);
        } else if (!n.localOnly) {
            written = numbers.format(n, PhoneNumbers::Format::International);
        }
        if (!written.isEmpty())
            out.replace(n.start, n.length, written);
    }
    return out;
}

PhoneFormatResult FormatPhoneCells(const RecordSheet& sheet, int col, std::span<const int> rows,
                                   const PhoneNumbers& numbers, PhoneForm form)
{
    const size_t parts = rows.size() >= 20'000 ? WorkerCount() : 1;
    std::vector<PhoneFormatResult> results(parts);
    RunInParallel(parts, [&](size_t p, size_t count) {
        PhoneFormatResult& result = results[p];
        const size_t first = rows.size() * p / count;
        const size_t last = rows.size() * (p + 1) / count;
        for (size_t i = first; i < last; ++i) {
            const int row = rows[i];
            if (sheet.isCellEmpty(row, col))
                continue;
            const QString text = sheet.text(row, col);
            QString written = FormatPhoneText(text, numbers, form);
            if (written == text)
                ++result.leftAlone;
            else
                result.changes.push_back({row, std::move(written)});
        }
    });
    PhoneFormatResult all = std::move(results[0]);
    for (size_t p = 1; p < parts; ++p) {
        all.leftAlone += results[p].leftAlone;
        all.changes.insert(all.changes.end(), std::make_move_iterator(results[p].changes.begin()),
                           std::make_move_iterator(results[p].changes.end()));
    }
    return all;
}

} // namespace quillon
