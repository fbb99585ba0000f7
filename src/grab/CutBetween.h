#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quillon {

/**
 * The exact, case-sensitive text cutter of the listing parser and the address box.
 *
 * Returns a piece of @p text and also moves @p text on:
 *
 * | case                                                    | result                       | text afterwards        |
 * |---------------------------------------------------------|------------------------------|------------------------|
 * | start != end; start not empty and not found             | empty                        | unchanged              |
 * | start != end; start found, end empty                    | text after the first start   | the same               |
 * | start != end; end found after start (or anywhere when   | the part before the first    | that same part         |
 * |   start is empty)                                       |   end                        |                        |
 * | start != end; start found or empty, end not found after | empty                        | empty                  |
 * | start == end, both empty                                | the whole text               | unchanged              |
 * | start == end, not found                                 | empty                        | unchanged              |
 * | start == end, found twice                               | between first and second     | text after the first   |
 * | start == end, found once                                | the text after it            | the same               |
 *
 * Every search takes the first occurrence. The view forms work on positions in
 * the caller's text and copy nothing, so a parser that cuts piece after piece
 * from a long page spends linear time; callers that must keep their text pass a
 * copy of the view.
 */
/** First occurrence of @p needle in @p text (@p n bytes); -1 when none. Compares
 *  sixteen places at a time by the needle's first and last byte. */
qsizetype FindBytes(const char* text, qsizetype n, const char* needle, qsizetype k) noexcept;

/** First occurrence of @p needle in @p text at or after @p from; -1 when none. */
inline qsizetype FindIn(QByteArrayView text, QByteArrayView needle, qsizetype from = 0)
{
    if (from > text.size())
        return -1;
    if (needle.isEmpty())
        return from;
    const qsizetype at = FindBytes(text.data() + from, text.size() - from, needle.data(), needle.size());
    return at < 0 ? -1 : from + at;
}

inline qsizetype FindIn(QStringView text, QStringView needle, qsizetype from = 0)
{
    return text.indexOf(needle, from);
}

template<typename View>
View CutBetweenView(View& text, View start, View end)
{
    const auto sz = text.size();
    if (start == end) {
        if (start.isEmpty())
            return text;
        const auto first = FindIn(text, start);
        if (first < 0)
            return View();
        text = text.sliced(first + start.size());
        const auto second = FindIn(text, end);
        return second < 0 ? text : text.first(second);
    }
    qsizetype from = 0;
    if (!start.isEmpty()) {
        const auto at = FindIn(text, start);
        if (at < 0)
            return View();
        from = at + start.size();
    }
    if (end.isEmpty()) {
        text = text.sliced(from);
        return text;
    }
    const auto stop = FindIn(text, end, from);
    if (stop < 0) {
        text = text.sliced(sz);
        return View();
    }
    text = text.sliced(from, stop - from);
    return text;
}

inline QStringView CutBetween(QStringView& text, QStringView start, QStringView end)
{
    return CutBetweenView<QStringView>(text, start, end);
}

inline QByteArrayView CutBetween(QByteArrayView& text, QByteArrayView start, QByteArrayView end)
{
    return CutBetweenView<QByteArrayView>(text, start, end);
}

/** The owning form: cuts @p text in place and returns the piece. */
QString CutBetween(QString& text, const QString& start, const QString& end);

} // namespace quillon
