#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillon {

/**
 * The journal of a grab: what it takes to continue a grab that ended by Stop, by a
 * page that failed or was refused, by closing Quillon or by a crash. It is a small
 * text file in the user data folder (JSON), rewritten whole through QSaveFile after
 * every page, so that it always describes pages whose records are all in the sheet.
 *
 * The records' place: a grab appends its records at the end of the sheet. For the
 * window, `firstRow` and `done.rows` say where they went; once the user has edited,
 * sorted or saved the sheet, rows no longer say which records came from the grab,
 * so a continued grab appends the pages still to come after whatever the sheet
 * holds and never grabs a page of `done` again. For quillon-grab, whose output file
 * is its own, `done.rows` is the output's row count after the last page, and
 * `pending` is written just before the output file with a new page: on resume the
 * output's row count says whether that page reached it.
 */
struct GrabJournal
{
    struct Point
    {
        /** The page to grab next; empty when the grab came to the site's last page. */
        QString next;
        int pagesDone = 0;
        /** Listings of page `next` already in the sheet (a grab stopped within it). */
        int skipListings = 0;
        qint64 listings = 0;
        /** Rows of the sheet (or output file), the title row included. */
        qint64 rows = 0;
        /** The latest pages grabbed, so that a link back to one still ends the grab. */
        QStringList visited;
    };

    /** The site's display name; empty for a grab by a key file alone. */
    QString site;
    /** quillon-grab --key: the key file and the rules ("a", "b" or "key"). */
    QString keyFile;
    QString rules;
    QString startAddress;
    Point done;
    std::optional<Point> pending;
    /** quillon-grab's output file, or the window's document. */
    QString output;
    QString document;
    /** The first row the grab appended to. */
    qint64 firstRow = 0;
    /** How the grab ended ("stopped", "failed", "refused", "page limit"); empty while
     *  it runs or when it ended unseen (the program closed or crashed). */
    QString endedBy;
    QString reason;
    QDateTime updated;

    /**
     * The window's places to go on from, oldest first: where this grab's run began and
     * the end of every page since, each with the sheet's rows at that moment. When the
     * sheet holds fewer rows than `done` says (Quillon closed or crashed before they
     * were saved, the recovered copy is older), the grab can go on from the last mark
     * whose records the sheet still holds, so that no page is missing.
     */
    struct Mark
    {
        /** The page to grab next, the pages and listings done before it. */
        QString next;
        int pagesDone = 0;
        int skipListings = 0;
        qint64 listings = 0;
        /** Rows of the sheet, the title row included. */
        qint64 rows = 0;
    };
    QList<Mark> marks;
    /** Marks a journal keeps (the oldest go): a recovered copy is rarely older. */
    static constexpr int kMarksKept = 2000;

    /** The latest mark whose rows are at most @p rows; the oldest when none is. */
    std::optional<Mark> markWithin(qint64 rows) const;

    /** Whether there is something left to grab. */
    bool canContinue() const { return !done.next.isEmpty() || (pending && !pending->next.isEmpty()); }

    bool save(const QString& path, QString* error = nullptr) const;
    bool load(const QString& path, QString* error = nullptr);

    /** The folder of the journals in the user data folder. */
    static QString folder();
    /** The journal of the window's grabs of site @p siteName. */
    static QString pathForSite(const QString& siteName);
    /** quillon-grab's journal for output file @p output. */
    static QString pathForOutput(const QString& output);

    static constexpr qint64 kMaxFileBytes = 1024 * 1024;
};

} // namespace quillon
