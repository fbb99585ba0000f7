#pragma once

// Helpers of the vCard and spreadsheet file tests: fixtures, files on disk, and
// Debian's python3 run as a process to read what Quillon wrote.

#include "sheet/RecordSheet.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace quillon::testing {

inline QString contactFixture(const QString& name)
{
    return QStringLiteral(QUILLON_FIXTURES_DIR "/contacts/") + name;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

/** Debian's python3, where python3-vobject and python3-openpyxl live. */
inline QString debianPython()
{
    if (QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

struct PythonRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

/** Runs @p script with @p arguments (sys.argv[1:]) in python3; what it prints is UTF-8. */
inline PythonRun runPython(const QString& script, const QStringList& arguments)
{
    QProcess p;
    p.start(debianPython(), QStringList{QStringLiteral("-c"), script} + arguments);
    PythonRun run;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        run.err = "python3 did not finish";
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

/** A sheet of @p rows (the titles first), every column Text. */
inline void fillSheet(RecordSheet& s, const QList<QStringList>& rows)
{
    int cols = 0;
    for (const QStringList& r : rows)
        cols = std::max(cols, int(r.size()));
    s.setCols(cols);
    s.setRows(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            s.setText(r, c, rows[r][c]);
}

} // namespace quillon::testing
