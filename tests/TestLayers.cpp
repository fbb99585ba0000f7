// The source folders are layers: each may use the folders below it, never one above.
// From the bottom: sheet, ui, shell, the features (edit, files, print, contact, grab),
// app, cli. Features may use one another's pieces only one way round.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

const QHash<QString, int>& layers()
{
    static const QHash<QString, int> rank{
        {QStringLiteral("sheet"), 0}, {QStringLiteral("ui"), 1},      {QStringLiteral("shell"), 2},
        {QStringLiteral("edit"), 3},  {QStringLiteral("files"), 3},   {QStringLiteral("print"), 3},
        {QStringLiteral("contact"), 3}, {QStringLiteral("grab"), 3}, {QStringLiteral("app"), 4},
        {QStringLiteral("cli"), 5},
    };
    return rank;
}

/** Folder -> the folders its files include. */
QHash<QString, QSet<QString>> includedFolders(QStringList* unknown)
{
    QHash<QString, QSet<QString>> uses;
    const QDir src(QStringLiteral(QUILLON_SOURCE_DIR "/src"));
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"(\\w+)/[^\"]+\""),
                                            QRegularExpression::MultilineOption);
    for (const QString& folder : src.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!layers().contains(folder)) {
            unknown->append(folder);
            continue;
        }
        const QDir dir(src.filePath(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (auto it = include.globalMatch(text); it.hasNext();) {
                const QString used = it.next().captured(1);
                if (used != folder && layers().contains(used))
                    uses[folder].insert(used);
            }
        }
    }
    return uses;
}

} // namespace

class TestLayers : public QObject
{
    Q_OBJECT

private slots:
    void everyFolderHasItsLayer()
    {
        QStringList unknown;
        includedFolders(&unknown);
        QVERIFY2(unknown.isEmpty(), qPrintable(QStringLiteral("folders with no layer: ") + unknown.join(u' ')));
    }

    void noFolderUsesOneAboveIt()
    {
        QStringList unknown;
        const auto uses = includedFolders(&unknown);
        QStringList wrong;
        for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
            for (const QString& used : it.value()) {
                const int from = layers().value(it.key());
                const int to = layers().value(used);
                if (to > from || (to == from && uses.value(used).contains(it.key())))
                    wrong.append(it.key() + QStringLiteral(" -> ") + used);
            }
        }
        wrong.sort();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(TestLayers)
#include "TestLayers.moc"
