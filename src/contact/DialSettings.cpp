#include "contact/DialSettings.h"

#include "shell/SettingsStore.h"
#include "contact/PhoneNumbers.h"
#include "contact/WebLinks.h"
#include "sheet/RecordSheet.h"

namespace quillon {

namespace {

const QString kPort = QStringLiteral("COMMPORT");
const QString kLongDistance = QStringLiteral("LONGDIS");
const QString kDialOne = QStringLiteral("DIALONE");
const QString kLongForm = QStringLiteral("LONGFORM");
const QString kMethod = QStringLiteral("DIALMETHOD");
const QString kDevice = QStringLiteral("COMMDEVICE");
const QString kDialTimeout = QStringLiteral("DialTimeout");

QString orDefault(const QString& value, const QString& fallback)
{
    return value.isEmpty() ? fallback : value;
}

} // namespace

DialSettings DialSettings::read(const SettingsStore& store)
{
    DialSettings s;
    s.port = orDefault(store.ReadSettingText(kPort), s.port);
    s.longDistance = orDefault(store.ReadSettingText(kLongDistance), s.longDistance);
    s.dialOne = SettingToInteger(store.ReadSettingText(kDialOne)) != 0 ? 1 : 0;
    s.longForm = SettingToInteger(store.ReadSettingText(kLongForm)) != 0;
    s.method = methodFromText(store.ReadSettingText(kMethod));
    s.deviceTemplate = orDefault(store.ReadSettingText(kDevice), defaultDeviceTemplate());
    const int timeout = SettingToInteger(store.ReadSettingText(kDialTimeout));
    s.dialTimeout = timeout > 0 ? timeout : kDefaultDialTimeout;
    return s;
}

void DialSettings::write(SettingsStore& store) const
{
    store.WriteSettingText(kPort, port);
    store.WriteSettingText(kLongDistance, longDistance);
    store.WriteSettingText(kDialOne, QString::number(dialOne));
    store.WriteSettingText(kLongForm, BooleanSettingText(longForm));
    store.WriteSettingText(kMethod, methodText(method));
}

QString DialSettings::defaultDeviceTemplate()
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1"); // unused there: the port number names the port
#else
    return QStringLiteral("/dev/ttyS%1");
#endif
}

QString DialSettings::methodText(DialMethod method)
{
    return method == DialMethod::Phone ? QStringLiteral("Phone") : QStringLiteral("Modem");
}

DialMethod DialSettings::methodFromText(const QString& text)
{
    return text.trimmed().compare(QLatin1String("Phone"), Qt::CaseInsensitive) == 0 ? DialMethod::Phone
                                                                                    : DialMethod::Modem;
}

QString DialNumber(const RecordSheet& sheet, int dialOne, const QString& longDistance, const PhoneNumbers& numbers)
{
    QString phone = CurrentRecordCell(sheet, 5);
    if (const std::optional<PhoneNumbers::Number> first = numbers.findFirst(phone))
        phone = first->text;
    return dialOne != 0 ? longDistance.trimmed() + phone : phone;
}

QString SerialDevicePath(const QString& deviceTemplate, int port)
{
    if (port < 1)
        return QString();
#ifdef Q_OS_WIN
    if (deviceTemplate == DialSettings::defaultDeviceTemplate())
        return QStringLiteral("COM%1").arg(port);
#endif
    return QString(deviceTemplate).replace(QLatin1String("%1"), QString::number(port - 1));
}

} // namespace quillon
