#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace quillon {

/**
 * The program's one store of preferences: named text values in one INI file.
 *
 * Values are read and written as text; numbers as decimal text, booleans as
 * "True"/"False". A value that is absent reads like an empty one. A store that
 * cannot be read yields empty texts and one that cannot be written loses the
 * changes; neither stops the program.
 */
class SettingsStore
{
public:
    /** Opens (or will create) the INI file at @p fileName. */
    explicit SettingsStore(const QString& fileName);
    ~SettingsStore();

    QString fileName() const { return m_fileName; }

    /** The stored text of @p name, or the empty text when it is not set or unreadable. */
    QString ReadSettingText(const QString& name) const;
    /** Stores @p text under @p name and flushes it to disk; false when that failed. */
    bool WriteSettingText(const QString& name, const QString& text);

    /** The per-user settings file: $XDG_CONFIG_HOME/Quillon/quillon.ini. */
    static QString defaultFileName();

private:
    QString m_fileName;
    std::unique_ptr<QSettings> m_settings;
};

/**
 * Converts a setting's text to a signed 16-bit integer: empty gives 0, "True" -1,
 * "False" 0, numbers are rounded to the nearest integer (halves to even), and text
 * that is not a number or lies outside -32768 .. 32767 gives 0.
 */
int SettingToInteger(const QString& text);

/** SettingToInteger for positions and sizes in twips, which pass 32767 on large
 *  screens (about 2,180 pixels): the same rules over -2^31 .. 2^31-1. */
int SettingToLongInteger(const QString& text);

/** Reads a boolean setting: empty gives @p whenUnset; "True"/"False" in any letter case
 *  and numbers (non-zero is true) are accepted; any other text is false. */
bool SettingToBoolean(const QString& text, bool whenUnset = true);

/** Writes a boolean the way settings keep it: "True" or "False". */
inline QString BooleanSettingText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

/** Decimal text of a number without thousands separators; a fraction only if there is one. */
QString NumberSettingText(double value);

} // namespace quillon
