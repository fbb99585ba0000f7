#include "shell/SettingsStore.h"

#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <cmath>

namespace quillon {

SettingsStore::SettingsStore(const QString& fileName)
    : m_fileName(fileName), m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::defaultFileName()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (dir.isEmpty())
        dir = QStringLiteral(".");
    return dir + QStringLiteral("/Quillon/quillon.ini");
}

QString SettingsStore::ReadSettingText(const QString& name) const
{
    const QVariant v = m_settings->value(name);
    // A hand-edited value with a comma comes back from the INI reader as a list.
    if (v.userType() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

bool SettingsStore::WriteSettingText(const QString& name, const QString& text)
{
    m_settings->setValue(name, text);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

namespace {

int SettingToIntegerIn(const QString& text, double least, double most)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return -1;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return 0;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return 0;
    const double rounded = std::nearbyint(v); // the default rounding mode: halves to even
    if (rounded < least || rounded > most)
        return 0;
    return int(rounded);
}

} // namespace

int SettingToInteger(const QString& text)
{
    return SettingToIntegerIn(text, -32768.0, 32767.0);
}

int SettingToLongInteger(const QString& text)
{
    return SettingToIntegerIn(text, -2147483648.0, 2147483647.0);
}

bool SettingToBoolean(const QString& text, bool whenUnset)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return whenUnset;
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    return ok && v != 0.0;
}

QString NumberSettingText(double value)
{
    if (value == std::floor(value) && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

} // namespace quillon
