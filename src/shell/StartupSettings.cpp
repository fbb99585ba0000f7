#include "shell/StartupSettings.h"

#include "shell/SettingsStore.h"

namespace quillon {

WindowSettings WindowSettings::read(const SettingsStore& store, const QString& installationFolder)
{
    WindowSettings s;
    // Positions and sizes in twips pass 16 bits on large screens: read them whole.
    s.top = SettingToLongInteger(store.ReadSettingText(QStringLiteral("TOP")));
    s.left = SettingToLongInteger(store.ReadSettingText(QStringLiteral("LEFT")));
    const QString width = store.ReadSettingText(QStringLiteral("WIDTH"));
    s.width = width.isEmpty() ? 12000 : SettingToLongInteger(width);
    const QString height = store.ReadSettingText(QStringLiteral("HEIGHT"));
    s.height = height.isEmpty() ? 10000 : SettingToLongInteger(height);
    const int vbar = SettingToLongInteger(store.ReadSettingText(QStringLiteral("VBarLeft")));
    s.vbarLeft = vbar > 0 ? vbar : 3570;
    s.alternateColor = SettingToBoolean(store.ReadSettingText(QStringLiteral("AlternateColor")));
    s.addressBox = SettingToInteger(store.ReadSettingText(QStringLiteral("AddressBox"))) != 0;
    s.lastOpenPath = store.ReadSettingText(QStringLiteral("LastOpenPath"));
    if (s.lastOpenPath.isEmpty()) {
        s.lastOpenPath = installationFolder;
        if (!s.lastOpenPath.endsWith(QLatin1Char('/')))
            s.lastOpenPath += QLatin1Char('/');
    }
    s.listIndex = SettingToInteger(store.ReadSettingText(QStringLiteral("ListIndex")));
    s.showTips = SettingToBoolean(store.ReadSettingText(QStringLiteral("ShowTips")));
    return s;
}

void WindowSettings::write(SettingsStore& store) const
{
    write([&store](const QString& name, const QString& text) { store.WriteSettingText(name, text); });
}

void WindowSettings::write(const std::function<void(const QString& name, const QString& text)>& put) const
{
    put(QStringLiteral("TOP"), NumberSettingText(top));
    put(QStringLiteral("LEFT"), NumberSettingText(left));
    put(QStringLiteral("WIDTH"), NumberSettingText(width));
    put(QStringLiteral("HEIGHT"), NumberSettingText(height));
    put(QStringLiteral("VBarLeft"), NumberSettingText(vbarLeft));
    put(QStringLiteral("AlternateColor"), BooleanSettingText(alternateColor));
    put(QStringLiteral("LastOpenPath"), lastOpenPath);
    put(QStringLiteral("ShowTips"), BooleanSettingText(showTips));
    put(QStringLiteral("AddressBox"), addressBox ? QStringLiteral("-1") : QStringLiteral("0"));
    put(QStringLiteral("ListIndex"), QString::number(listIndex));
}

bool PrepareSettingsStore(SettingsStore& store, const QString& installationFolder)
{
    if (store.ReadSettingText(QStringLiteral("INI")).isEmpty())
        store.WriteSettingText(QStringLiteral("INI"), installationFolder);
    return SettingToBoolean(store.ReadSettingText(QStringLiteral("ShowTips")));
}

} // namespace quillon
