#pragma once

#include <QString>

#include <functional>

namespace quillon {

class SettingsStore;

/** The preferences the main window restores when it loads and writes at exit. */
struct WindowSettings
{
    int top = 0;        ///< twips
    int left = 0;       ///< twips
    int width = 12000;  ///< twips
    int height = 10000; ///< twips
    int vbarLeft = 3570;
    bool alternateColor = true;
    bool addressBox = false;
    QString lastOpenPath;
    int listIndex = 0;
    bool showTips = true;

    /** Reads every value by the conversion rules; @p installationFolder is the default
     *  of "LastOpenPath". */
    static WindowSettings read(const SettingsStore& store, const QString& installationFolder);
    /** Writes "TOP", "LEFT", "WIDTH", "HEIGHT", "VBarLeft", "AlternateColor",
     *  "LastOpenPath", "ShowTips", "AddressBox", "ListIndex", in that order. */
    void write(SettingsStore& store) const;
    /** The same values as (name, text) in the same order, to @p put. */
    void write(const std::function<void(const QString& name, const QString& text)>& put) const;
};

/** Start-up's first steps: "INI" is written with the installation folder when not set;
 *  returns the "ShowTips" flag (True when not set). */
bool PrepareSettingsStore(SettingsStore& store, const QString& installationFolder);

} // namespace quillon
