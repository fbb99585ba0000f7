#pragma once

#include <QObject>
#include <QUndoCommand>
#include <QUndoStack>

#include <memory>
#include <vector>

namespace quillon {

class Document;

/**
 * A change of the document that can be taken back (undo) and made again (redo): one
 * step of the history, or one part of a step (a QUndoCommand child: a step's redo runs
 * its parts in order, its undo backwards).
 *
 * A step keeps the least that restores its change, in row and column numbers that are
 * exact whenever it is undone or redone: the history is linear, so the sheet then
 * stands exactly as it stood right after (or right before) the change.
 */
class UndoStep : public QUndoCommand
{
public:
    explicit UndoStep(QUndoCommand* parent = nullptr);
    explicit UndoStep(const QString& text, QUndoCommand* parent = nullptr);

    /** Bytes of memory the step holds now; the default counts the object, its text and
     *  its parts. What a step keeps may change as it is undone and redone. */
    virtual qint64 memoryCost() const;

    /** A number no other step of this run has. */
    quint64 serial() const { return m_serial; }

private:
    quint64 m_serial;
};

/**
 * The document's undo history: a QUndoStack of steps whose changes were made before
 * they were pushed, bounded by the memory the steps hold, with the document's
 * modified mark following it.
 *
 * The mark: every place in the history remembers the modified mark and the Save state
 * the document had there, and undo and redo bring them back; the place where the
 * document was last saved is the stack's clean state, and once saved, every other
 * place counts as modified (with Save offered unless the document is untitled).
 *
 * The memory bound: when the steps hold more than memoryLimit() bytes, the oldest
 * steps are dropped (then, if need be, the farthest ones to redo), down to seven
 * eighths of the limit so that it is not done again at once. A single step larger
 * than the limit is not kept.
 */
class UndoHistory : public QObject
{
    Q_OBJECT

public:
    /** The document's modified mark and Save state at one place of the history. */
    struct Marks
    {
        bool modified = false;
        bool saveEnabled = false;
        bool operator==(const Marks&) const = default;
    };

    static constexpr qint64 kDefaultMemoryMB = 256;

    explicit UndoHistory(Document& document, QObject* parent = nullptr);
    ~UndoHistory() override;

    const QUndoStack& stack() const { return m_stack; }
    /** The marks the document has now. */
    Marks currentMarks() const;

    /** Takes a step whose change has been made; Undo takes it back next. @p before are
     *  the marks the document had before the change. Steps that could be redone are
     *  dropped. */
    void push(std::unique_ptr<UndoStep> step, Marks before);
    bool canUndo() const { return !m_held && m_stack.canUndo(); }
    bool canRedo() const { return !m_held && m_stack.canRedo(); }
    void undo();
    void redo();
    /** The text of the step Undo or Redo would take; empty when there is none. */
    QString undoText() const;
    QString redoText() const;
    /** Bytes the step Undo or Redo would take holds; 0 when there is none. */
    qint64 undoCost() const;
    qint64 redoCost() const;
    /** The serial of the step Undo takes back next when nothing can be redone; 0 otherwise. */
    quint64 lastStepSerial() const;
    /** The last step grew (a grab's next page): its text and cost are read again, and
     *  @p after are the marks it leaves. Only when it is still the last step. */
    void lastStepChanged(Marks after);

    /** A fresh history (New, Open): nothing to undo, the present state clean. */
    void clear();
    /** The document was saved: the present state is the clean one. */
    void markSaved();

    /** While held (a file is read or written on another thread) nothing is undone. */
    void setHeld(bool held);
    bool isHeld() const { return m_held; }

    qint64 memoryLimit() const { return m_limit; }
    void setMemoryLimit(qint64 bytes);
    /** Bytes the steps hold. */
    qint64 memoryUsed() const { return m_used; }
    int count() const { return m_stack.count(); }
    int index() const { return m_stack.index(); }

signals:
    /** Something Undo and Redo show changed: what they would take, or whether they can. */
    void changed();

private:
    class Holder;
    Holder* holder(int i) const;
    void applyMarks();
    void recost(int i);
    void trim();

    Document& m_document;
    QUndoStack m_stack;
    std::vector<Marks> m_marks; ///< one a place of the history: count() + 1
    qint64 m_limit = kDefaultMemoryMB << 20;
    qint64 m_used = 0;
    bool m_held = false;
    bool m_silent = false;
};

} // namespace quillon
