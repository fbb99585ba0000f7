#pragma once

#include <QHash>
#include <QObject>
#include <QString>

namespace quillon {

/**
 * The enabled, checked and visible state of every command, by name, kept apart
 * from the widgets so that the logic sets it and tests read it without a window.
 *
 * Menu entries go by their names ("mnuSave", "mnuFileB_Grab"); toolbar buttons by
 * toolbar and key ("tb0.Save", "tb1.StartGrab", "tb0.Stop"). A command never set
 * is enabled, unchecked and visible. The main window binds its actions to these
 * names and follows every change.
 */
class CommandStates : public QObject
{
    Q_OBJECT

public:
    struct State
    {
        bool enabled = true;
        bool checked = false;
        bool visible = true;
        /** The caption shown instead of the catalog's; empty for the catalog's own. For a
         *  toolbar button also its tool tip. */
        QString caption;
    };

    using QObject::QObject;

    State state(const QString& name) const { return m_states.value(name); }
    bool isEnabled(const QString& name) const { return state(name).enabled; }
    bool isChecked(const QString& name) const { return state(name).checked; }
    bool isVisible(const QString& name) const { return state(name).visible; }
    QString caption(const QString& name) const { return state(name).caption; }

    void setEnabled(const QString& name, bool on);
    void setChecked(const QString& name, bool on);
    void setVisible(const QString& name, bool on);
    void setCaption(const QString& name, const QString& caption);

    /** Toolbar button name: "tb" + toolbar index + "." + key. */
    static QString button(int toolbar, const QString& key)
    {
        return QStringLiteral("tb%1.%2").arg(toolbar).arg(key);
    }

signals:
    void changed(const QString& name);

private:
    QHash<QString, State> m_states;
};

/**
 * The numbered fields of the status bar (2, 4, 5, 6, 8, 20 to 24), addressed by
 * number as the rest of the program knows them.
 */
class StatusPanels : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    QString text(int panel) const { return m_texts.value(panel); }
    void setText(int panel, const QString& text);
    void clear(std::initializer_list<int> panels);

signals:
    void textChanged(int panel, const QString& text);

private:
    QHash<int, QString> m_texts;
};

} // namespace quillon
