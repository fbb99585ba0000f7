#include "shell/UndoHistory.h"

#include "sheet/Document.h"

#include <atomic>

namespace quillon {

namespace {

std::atomic<quint64> g_nextSerial{1};

} // namespace

UndoStep::UndoStep(QUndoCommand* parent) : QUndoCommand(parent), m_serial(g_nextSerial++) {}

UndoStep::UndoStep(const QString& text, QUndoCommand* parent) : QUndoCommand(text, parent), m_serial(g_nextSerial++) {}

qint64 UndoStep::memoryCost() const
{
    qint64 n = qint64(sizeof(*this)) + 64 + qint64(text().capacity()) * 2;
    for (int i = 0; i < childCount(); ++i)
        if (const auto* part = dynamic_cast<const UndoStep*>(child(i)))
            n += part->memoryCost();
    return n;
}

/**
 * What the stack holds: a step whose change is made already, so the stack's first
 * redo (at the push) does nothing. While the history is rebuilt (silent), undo and
 * redo only move the stack's index.
 */
class UndoHistory::Holder : public QUndoCommand
{
public:
    Holder(UndoHistory& history, std::unique_ptr<UndoStep> step)
        : QUndoCommand(step->text()), m_history(history), m_step(std::move(step)), m_cost(m_step->memoryCost())
    {
    }

    void undo() override
    {
        if (!m_history.m_silent && m_step)
            m_step->undo();
    }
    void redo() override
    {
        if (m_skip) {
            m_skip = false;
            return;
        }
        if (!m_history.m_silent && m_step)
            m_step->redo();
    }

    UndoHistory& m_history;
    std::unique_ptr<UndoStep> m_step;
    qint64 m_cost;
    bool m_skip = true;
};

UndoHistory::UndoHistory(Document& document, QObject* parent) : QObject(parent), m_document(document)
{
    m_marks.push_back(currentMarks());
}

UndoHistory::~UndoHistory()
{
    m_silent = true;
    m_stack.clear();
}

UndoHistory::Holder* UndoHistory::holder(int i) const
{
    // The stack hands its commands out read-only; they are this history's own.
    return static_cast<Holder*>(const_cast<QUndoCommand*>(m_stack.command(i)));
}

UndoHistory::Marks UndoHistory::currentMarks() const
{
    return {m_document.IsModified(), m_document.isSaveEnabled()};
}

void UndoHistory::push(std::unique_ptr<UndoStep> step, Marks before)
{
    if (!step)
        return;
    const int at = m_stack.index();
    for (int i = at; i < m_stack.count(); ++i)
        m_used -= holder(i)->m_cost;
    m_marks.resize(size_t(at) + 1);
    m_marks[size_t(at)] = before;
    auto* h = new Holder(*this, std::move(step));
    m_used += h->m_cost;
    m_stack.push(h);
    m_marks.push_back(currentMarks());
    trim();
    emit changed();
}

void UndoHistory::recost(int i)
{
    if (i < 0 || i >= m_stack.count())
        return;
    Holder* h = holder(i);
    const qint64 cost = h->m_step ? h->m_step->memoryCost() : 0;
    m_used += cost - h->m_cost;
    h->m_cost = cost;
}

void UndoHistory::applyMarks()
{
    const Marks m = m_stack.isClean() ? Marks{} : m_marks[size_t(m_stack.index())];
    m_document.setModifiedMarks(m.modified, m.saveEnabled);
}

void UndoHistory::undo()
{
    if (!canUndo())
        return;
    m_stack.undo();
    recost(m_stack.index());
    applyMarks();
    trim();
    emit changed();
}

void UndoHistory::redo()
{
    if (!canRedo())
        return;
    m_stack.redo();
    recost(m_stack.index() - 1);
    applyMarks();
    trim();
    emit changed();
}

QString UndoHistory::undoText() const
{
    const int i = m_stack.index() - 1;
    return i >= 0 && holder(i)->m_step ? holder(i)->m_step->text() : QString();
}

QString UndoHistory::redoText() const
{
    const int i = m_stack.index();
    return i < m_stack.count() && holder(i)->m_step ? holder(i)->m_step->text() : QString();
}

qint64 UndoHistory::undoCost() const
{
    const int i = m_stack.index() - 1;
    return i >= 0 ? holder(i)->m_cost : 0;
}

qint64 UndoHistory::redoCost() const
{
    const int i = m_stack.index();
    return i < m_stack.count() ? holder(i)->m_cost : 0;
}

quint64 UndoHistory::lastStepSerial() const
{
    const int i = m_stack.index();
    if (i == 0 || i != m_stack.count())
        return 0;
    const Holder* h = holder(i - 1);
    return h->m_step ? h->m_step->serial() : 0;
}

void UndoHistory::lastStepChanged(Marks after)
{
    const int i = m_stack.index();
    if (i == 0 || i != m_stack.count())
        return;
    Holder* h = holder(i - 1);
    if (h->m_step)
        h->setText(h->m_step->text());
    recost(i - 1);
    m_marks.back() = after;
    trim();
    emit changed();
}

void UndoHistory::clear()
{
    m_silent = true;
    m_stack.clear();
    m_silent = false;
    m_used = 0;
    m_marks.assign(1, currentMarks());
    emit changed();
}

void UndoHistory::markSaved()
{
    m_stack.setClean();
    const int at = m_stack.index();
    const Marks elsewhere{true, !m_document.isUntitled()};
    for (size_t i = 0; i < m_marks.size(); ++i)
        m_marks[i] = int(i) == at ? Marks{} : elsewhere;
    emit changed();
}

void UndoHistory::setHeld(bool held)
{
    if (held == m_held)
        return;
    m_held = held;
    emit changed();
}

void UndoHistory::setMemoryLimit(qint64 bytes)
{
    m_limit = std::max<qint64>(bytes, 0);
    trim();
    emit changed();
}

void UndoHistory::trim()
{
    if (m_used <= m_limit)
        return;
    const qint64 target = m_limit - m_limit / 8;
    const int n = m_stack.count();
    const int at = m_stack.index();
    int front = 0;
    int back = 0;
    qint64 used = m_used;
    while (used > target) {
        if (front < at)
            used -= holder(front++)->m_cost;
        else if (back < n - at)
            used -= holder(n - 1 - back++)->m_cost;
        else
            break;
    }
    if (front == 0 && back == 0)
        return;

    // A QUndoStack cannot let go of its oldest commands: the steps kept move to fresh
    // holders in a rebuilt stack, whose index and clean state are set again silently.
    std::vector<std::unique_ptr<UndoStep>> kept;
    kept.reserve(size_t(n - front - back));
    for (int i = front; i < n - back; ++i)
        kept.push_back(std::move(holder(i)->m_step));
    std::vector<Marks> marks(m_marks.begin() + front, m_marks.begin() + (n - back) + 1);
    const int clean = m_stack.cleanIndex();
    const int newIndex = at - front;
    const int newClean = clean >= front && clean <= n - back ? clean - front : -1;

    m_silent = true;
    m_stack.clear();
    m_used = 0;
    for (auto& step : kept) {
        auto* h = new Holder(*this, std::move(step));
        m_used += h->m_cost;
        m_stack.push(h);
    }
    m_stack.setIndex(newIndex);
    if (newClean >= 0) {
        m_stack.setIndex(newClean);
        m_stack.setClean();
        m_stack.setIndex(newIndex);
    } else {
        m_stack.resetClean();
    }
    m_silent = false;
    m_marks = std::move(marks);
}

} // namespace quillon
