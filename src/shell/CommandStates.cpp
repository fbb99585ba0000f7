#include "shell/CommandStates.h"

namespace quillon {

void CommandStates::setEnabled(const QString& name, bool on)
{
    State& s = m_states[name];
    if (s.enabled == on)
        return;
    s.enabled = on;
    emit changed(name);
}

void CommandStates::setChecked(const QString& name, bool on)
{
    State& s = m_states[name];
    if (s.checked == on)
        return;
    s.checked = on;
    emit changed(name);
}

void CommandStates::setVisible(const QString& name, bool on)
{
    State& s = m_states[name];
    if (s.visible == on)
        return;
    s.visible = on;
    emit changed(name);
}

void CommandStates::setCaption(const QString& name, const QString& caption)
{
    State& s = m_states[name];
    if (s.caption == caption)
        return;
    s.caption = caption;
    emit changed(name);
}

void StatusPanels::setText(int panel, const QString& text)
{
    auto it = m_texts.find(panel);
    if (it != m_texts.end() && *it == text)
        return;
    m_texts.insert(panel, text);
    emit textChanged(panel, text);
}

void StatusPanels::clear(std::initializer_list<int> panels)
{
    for (int p : panels)
        setText(p, QString());
}

} // namespace quillon
