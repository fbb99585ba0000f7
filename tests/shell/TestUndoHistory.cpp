// The undo history on its own: the modified mark it brings back, the clean state of a
// save, the memory bound that drops old steps, and the steps that grow (a grab).

#include "shell/UndoHistory.h"
#include "sheet/Document.h"

#include <QTest>

#include <memory>

using namespace quillon;

namespace {

/** A step that sets a number: undo puts the old one back. It holds @p cost bytes. */
class SetNumber : public UndoStep
{
public:
    SetNumber(int& number, int to, qint64 cost) : UndoStep(QStringLiteral("Set %1").arg(to)), m_number(number), m_from(number), m_to(to), m_cost(cost)
    {
        m_number = to;
    }
    void undo() override { m_number = m_from; }
    void redo() override { m_number = m_to; }
    qint64 memoryCost() const override { return m_cost; }

private:
    int& m_number;
    int m_from;
    int m_to;
    qint64 m_cost;
};

struct Marks
{
    bool modified;
    bool saveEnabled;
};

} // namespace

class TestUndoHistory : public QObject
{
    Q_OBJECT

    /** Makes a change the way a command does: the step, then the edit marking, then the push. */
    static void change(UndoHistory& history, Document& doc, int& number, int to, qint64 cost = 100,
                       bool inPlace = true)
    {
        const UndoHistory::Marks before = history.currentMarks();
        auto step = std::make_unique<SetNumber>(number, to, cost);
        doc.MarkEdited(inPlace);
        history.push(std::move(step), before);
    }
    static void expectMarks(const Document& doc, bool modified, bool saveEnabled)
    {
        QCOMPARE(doc.IsModified(), modified);
        QCOMPARE(doc.isSaveEnabled(), saveEnabled);
    }

private slots:
    void undoBringsBackTheMarksOfAnUntitledDocument()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        int number = 0;
        change(history, doc, number, 1);
        // An untitled document is marked by an edit, while Save stays off.
        expectMarks(doc, true, false);
        change(history, doc, number, 2);
        history.undo();
        QCOMPARE(number, 1);
        expectMarks(doc, true, false);
        history.undo();
        QCOMPARE(number, 0);
        expectMarks(doc, false, false);
        history.redo();
        expectMarks(doc, true, false);
    }

    void saveIsTheCleanState()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.setDocumentName(QStringLiteral("/u/people.vty"));
        UndoHistory history(doc);
        int number = 0;
        change(history, doc, number, 1);
        change(history, doc, number, 2);
        expectMarks(doc, true, true);
        doc.MakeModified(false); // saved
        history.markSaved();
        change(history, doc, number, 3);
        expectMarks(doc, true, true);
        history.undo(); // back to the saved state
        QCOMPARE(number, 2);
        expectMarks(doc, false, false);
        history.undo(); // before the save: differs from the file
        QCOMPARE(number, 1);
        expectMarks(doc, true, true);
        history.undo();
        QCOMPARE(number, 0);
        expectMarks(doc, true, true);
        history.redo();
        history.redo();
        expectMarks(doc, false, false);
        history.redo();
        expectMarks(doc, true, true);
    }

    void saveOfAnUntitledDocumentAsTextKeepsItsSaveOff()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        int number = 0;
        change(history, doc, number, 1);
        doc.MakeModified(false); // Save As comma text: still untitled
        history.markSaved();
        history.undo();
        expectMarks(doc, true, false);
    }

    void changeThatDoesNotMarkLeavesTheMarkAlone()
    {
        // A column type does not mark the document; undoing it does not either.
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.setDocumentName(QStringLiteral("/u/people.vty"));
        UndoHistory history(doc);
        int number = 0;
        const UndoHistory::Marks before = history.currentMarks();
        history.push(std::make_unique<SetNumber>(number, 5, 100), before);
        expectMarks(doc, false, false);
        history.undo();
        expectMarks(doc, false, false);
        history.redo();
        expectMarks(doc, false, false);
    }

    void clearStartsAFreshHistory()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        int number = 0;
        change(history, doc, number, 1);
        change(history, doc, number, 2);
        history.undo();
        doc.MakeModified(false);
        history.clear();
        QVERIFY(!history.canUndo());
        QVERIFY(!history.canRedo());
        QCOMPARE(history.memoryUsed(), 0);
        QCOMPARE(history.undoText(), QString());
        QCOMPARE(history.redoText(), QString());
    }

    void pushDropsWhatCouldBeRedone()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        int number = 0;
        change(history, doc, number, 1, 1000);
        change(history, doc, number, 2, 2000);
        history.undo();
        QCOMPARE(history.redoText(), QStringLiteral("Set 2"));
        change(history, doc, number, 7, 500);
        QVERIFY(!history.canRedo());
        QCOMPARE(history.memoryUsed(), 1500);
        QCOMPARE(history.undoText(), QStringLiteral("Set 7"));
        history.undo();
        QCOMPARE(number, 1);
    }

    void heldHistoryUndoesNothing()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        int number = 0;
        change(history, doc, number, 1);
        history.setHeld(true);
        QVERIFY(!history.canUndo());
        history.undo();
        QCOMPARE(number, 1);
        history.setHeld(false);
        history.undo();
        QCOMPARE(number, 0);
    }

    void memoryBoundDropsTheOldestSteps_data()
    {
        QTest::addColumn<int>("undoneFirst");
        QTest::newRow("everything done") << 0;
        QTest::newRow("two undone") << 2;
    }
    void memoryBoundDropsTheOldestSteps()
    {
        QFETCH(int, undoneFirst);
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        history.setMemoryLimit(10000);
        int number = 0;
        for (int i = 1; i <= 8; ++i)
            change(history, doc, number, i, 1000);
        for (int i = 0; i < undoneFirst; ++i)
            history.undo();
        QCOMPARE(history.count(), 8);
        // Two more steps pass the limit: the oldest go, down to seven eighths of it.
        change(history, doc, number, 20, 1000);
        change(history, doc, number, 21, 3500);
        QVERIFY(history.memoryUsed() <= 10000);
        QVERIFY(history.memoryUsed() <= 8750);
        const int kept = history.count();
        QVERIFY(kept < 8 - undoneFirst + 2);
        QCOMPARE(history.index(), kept);
        // Undo reaches the oldest step kept, and no further.
        int undone = 0;
        while (history.canUndo()) {
            history.undo();
            ++undone;
        }
        QCOMPARE(undone, kept);
        QCOMPARE(number, 8 - undoneFirst - (kept - 2));
        while (history.canRedo())
            history.redo();
        QCOMPARE(number, 21);
    }

    void memoryBoundKeepsTheCleanState()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.setDocumentName(QStringLiteral("/u/people.vty"));
        UndoHistory history(doc);
        history.setMemoryLimit(4000);
        int number = 0;
        change(history, doc, number, 1, 1000);
        change(history, doc, number, 2, 1000);
        change(history, doc, number, 3, 1000);
        doc.MakeModified(false);
        history.markSaved();
        change(history, doc, number, 4, 1000);
        change(history, doc, number, 5, 1000); // the first steps go
        QVERIFY(history.count() < 5);
        history.undo();
        history.undo();
        QCOMPARE(number, 3);
        expectMarks(doc, false, false);
        history.redo();
        expectMarks(doc, true, true);
    }

    void stepLargerThanTheBoundIsNotKept()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        history.setMemoryLimit(4000);
        int number = 0;
        change(history, doc, number, 1, 1000);
        change(history, doc, number, 2, 5000);
        QCOMPARE(number, 2);
        QCOMPARE(history.count(), 0);
        QVERIFY(!history.canUndo());
        QCOMPARE(history.memoryUsed(), 0);
    }

    void lastStepGrows()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        UndoHistory history(doc);
        int number = 0;
        change(history, doc, number, 1);
        const quint64 serial = history.lastStepSerial();
        QVERIFY(serial != 0);
        history.lastStepChanged({true, false});
        QCOMPARE(history.lastStepSerial(), serial);
        history.undo();
        QCOMPARE(history.lastStepSerial(), quint64(0)); // something to redo: not the last
        history.redo();
        QCOMPARE(history.lastStepSerial(), serial);
        change(history, doc, number, 2);
        QVERIFY(history.lastStepSerial() != serial);
    }
};

QTEST_GUILESS_MAIN(TestUndoHistory)
#include "TestUndoHistory.moc"
