#include "contact/DialDialog.h"

#include "shell/SettingsStore.h"
#include "contact/WebLinks.h"
#include "ui/Platform.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

DialDialog::DialDialog(SettingsStore& settings, Platform& platform, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_platform(platform), m_dialer(platform),
      m_numbers(PhoneNumbers::fromSettings(settings))
{
    setObjectName(QStringLiteral("frmDial"));
    setWindowTitle(QStringLiteral("Dial Phone"));

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };

    m_txtNum = edit("txtNum");
    m_txtStatus = edit("txtStatus");
    m_txtStatus->setReadOnly(true);
    m_txtStatus->setFocusPolicy(Qt::NoFocus);
    m_cmdDial = button("cmdDial", QStringLiteral("&Dial"));
    m_cmdCancel = button("cmdCancel", QStringLiteral("&Cancel"));
    m_cmdCancel->setEnabled(false);
    m_cmdExit = button("cmdExit", QStringLiteral("C&lose"));
    m_cmdSave = button("cmdSave", QStringLiteral("&Save Settings"));
    m_cmdSet = new QToolButton(this);
    m_cmdSet->setObjectName(QStringLiteral("cmdSet"));
    m_cmdSet->setToolTip(QStringLiteral("Settings"));

    m_settingsArea = new QWidget(this);
    m_settingsArea->setObjectName(QStringLiteral("settingsArea"));
    m_txtPort = edit("txtPort");
    m_txtPort->setParent(m_settingsArea);
    m_txtPort->setMaximumWidth(60);
    m_txtLongDis = edit("txtLongDis");
    m_txtLongDis->setParent(m_settingsArea);
    m_txtLongDis->setMaximumWidth(60);
    m_chkDialOne = new QCheckBox(QStringLiteral("Dial '1' before number for long distance"), m_settingsArea);
    m_chkDialOne->setObjectName(QStringLiteral("chkDialOne"));
    m_cboMethod = new QComboBox(m_settingsArea);
    m_cboMethod->setObjectName(QStringLiteral("cboDialMethod"));
    m_cboMethod->addItem(QStringLiteral("Modem on the serial port"), int(DialMethod::Modem));
    m_cboMethod->addItem(QStringLiteral("Phone application (tel: link)"), int(DialMethod::Phone));

    m_cboMapService = new QComboBox(m_settingsArea);
    m_cboMapService->setObjectName(QStringLiteral("cboMapService"));
    const QString mapTemplate = WebLinks::mapTemplate(m_settings);
    for (const WebLinks::MapService& service : WebLinks::mapServices()) {
        m_cboMapService->addItem(service.name, service.urlTemplate);
        if (service.urlTemplate == mapTemplate)
            m_mapServiceLoaded = m_cboMapService->count() - 1;
    }
    if (m_mapServiceLoaded < 0) {
        m_cboMapService->addItem(QStringLiteral("As set in the settings file"), QString());
        m_mapServiceLoaded = m_cboMapService->count() - 1;
    }
    m_cboMapService->setCurrentIndex(m_mapServiceLoaded);

    auto* numberLabel = new QLabel(QStringLiteral("&Number:"), this);
    numberLabel->setBuddy(m_txtNum);
    auto* top = new QGridLayout;
    top->setVerticalSpacing(4);
    top->addWidget(numberLabel, 0, 0);
    top->addWidget(m_txtNum, 0, 1);
    top->addWidget(m_cmdDial, 0, 2);
    top->addWidget(new QLabel(QStringLiteral("Status:"), this), 1, 0);
    top->addWidget(m_txtStatus, 1, 1);
    top->addWidget(m_cmdCancel, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdSet);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdExit);

    auto* area = new QGridLayout(m_settingsArea);
    area->setContentsMargins(0, 0, 0, 0);
    area->setVerticalSpacing(4);
    auto* portLabel = new QLabel(QStringLiteral("&Port:"), m_settingsArea);
    portLabel->setBuddy(m_txtPort);
    auto* prefixLabel = new QLabel(QStringLiteral("P&refix:"), m_settingsArea);
    prefixLabel->setBuddy(m_txtLongDis);
    auto* row = new QHBoxLayout;
    row->addWidget(portLabel);
    row->addWidget(m_txtPort);
    row->addSpacing(8);
    row->addWidget(prefixLabel);
    row->addWidget(m_txtLongDis);
    row->addSpacing(8);
    row->addWidget(m_chkDialOne, 1);
    area->addLayout(row, 0, 0, 1, 2);
    auto* methodLabel = new QLabel(QStringLiteral("Call &with:"), m_settingsArea);
    methodLabel->setBuddy(m_cboMethod);
    area->addWidget(methodLabel, 1, 0);
    area->addWidget(m_cboMethod, 1, 1);
    auto* mapLabel = new QLabel(QStringLiteral("Street &map:"), m_settingsArea);
    mapLabel->setBuddy(m_cboMapService);
    area->addWidget(mapLabel, 2, 0);
    area->addWidget(m_cboMapService, 2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(m_settingsArea);
    layout->addStretch(1);

    // Dialer load.
    const DialSettings s = DialSettings::read(m_settings);
    m_txtPort->setText(s.port);
    m_txtLongDis->setText(s.longDistance);
    m_dialone = s.dialOne;
    m_chkDialOne->setChecked(m_dialone != 0);
    m_cboMethod->setCurrentIndex(m_cboMethod->findData(int(s.method)));
    m_dialer.setDeviceTemplate(s.deviceTemplate);
    m_dialer.setTimeLimit(std::chrono::seconds(s.dialTimeout));
    setLongForm(false);

    connect(m_cmdDial, &QPushButton::clicked, this, &DialDialog::dialClicked);
    connect(m_cmdCancel, &QPushButton::clicked, this, &DialDialog::cancelClicked);
    connect(m_cmdExit, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(m_cmdSave, &QPushButton::clicked, this, &DialDialog::saveSettings);
    connect(m_cmdSet, &QToolButton::clicked, this, &DialDialog::toggleSettingsArea);
    connect(m_chkDialOne, &QCheckBox::clicked, this, [this](bool on) { m_dialone = on ? 1 : 0; });
    connect(&m_dialer, &ModemDialer::statusChanged, m_txtStatus, &QLineEdit::setText);
    connect(&m_dialer, &ModemDialer::finished, this, &DialDialog::dialEnded);
    // After a dial with no number both buttons are left as they were; a number typed
    // in afterwards makes "&Dial" usable again.
    connect(m_txtNum, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!m_dialer.isDialing() && !text.isEmpty()) {
            m_cmdDial->setEnabled(true);
            m_cmdCancel->setEnabled(false);
        }
    });
}

DialDialog::~DialDialog() = default;

void DialDialog::setNumber(const QString& number)
{
    m_txtNum->setText(number);
}

QString DialDialog::number() const
{
    return m_txtNum->text();
}

QString DialDialog::statusText() const
{
    return m_txtStatus->text();
}

QString DialDialog::longDistance() const
{
    return m_txtLongDis->text();
}

int DialDialog::twipsToPixels(int twips) const
{
    return Twips::toPixels(twips, this);
}

DialMethod DialDialog::method() const
{
    return DialMethod(m_cboMethod->currentData().toInt());
}

void DialDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        QTimer::singleShot(0, this, &DialDialog::activate);
    }
}

void DialDialog::activate()
{
    m_activated = true;
    if (m_closing)
        return;
    setLongForm(SettingToInteger(m_settings.ReadSettingText(QStringLiteral("LONGFORM"))) != 0);
    dialClicked();
}

void DialDialog::dialClicked()
{
    m_cmdDial->setEnabled(false);
    m_cmdCancel->setEnabled(true);
    const QString num = m_txtNum->text();
    if (num.isEmpty())
        return;
    m_txtStatus->setText(QStringLiteral("Dialing - ") + num);

    if (method() == DialMethod::Phone) {
        const QUrl url = m_numbers.telUrl(num);
        if (url.isValid() && !url.isEmpty())
            m_platform.openUrl(url);
        else
            m_txtStatus->setText(QStringLiteral("No phone number to dial"));
        dialEnded();
        return;
    }

    const QString dialString = m_numbers.dialString(num);
    if (dialString.isEmpty()) {
        m_txtStatus->setText(QStringLiteral("No phone number to dial"));
        dialEnded();
        return;
    }
    const int port = SettingToInteger(m_txtPort->text());
    if (!m_dialer.dial(dialString, port)) {
        setLongForm(true);
        dialEnded();
    }
    // Otherwise the sequence runs on; dialEnded() follows its finished().
}

void DialDialog::dialEnded()
{
    m_cmdDial->setEnabled(true);
    m_cmdCancel->setEnabled(false);
}

void DialDialog::cancelClicked()
{
    m_dialer.cancel();
    m_cmdCancel->setEnabled(false);
    m_txtStatus->setText(QStringLiteral("Cancel"));
}

void DialDialog::toggleSettingsArea()
{
    setLongForm(!m_longForm);
}

void DialDialog::setLongForm(bool on)
{
    m_longForm = on;
    m_settingsArea->setVisible(on);
    // The arrow tells where the settings area goes: down to show it, up to hide it.
    m_cmdSet->setIcon(style()->standardIcon(on ? QStyle::SP_ArrowUp : QStyle::SP_ArrowDown));
    m_cmdSet->setProperty("picture", on ? QStringLiteral("imgU") : QStringLiteral("imgD"));
    const int h = twipsToPixels(on ? kLongHeight : kShortHeight);
    layout()->invalidate();
    setFixedHeight(qMax(h, layout()->minimumSize().height()));
}

void DialDialog::saveSettings()
{
    DialSettings s;
    s.port = m_txtPort->text();
    s.longDistance = m_txtLongDis->text();
    s.dialOne = m_dialone;
    s.longForm = m_longForm;
    s.method = method();
    s.write(m_settings);

    // The street map's template is written only when another service was chosen,
    // so that a template or a map host of the settings file stays as it is.
    const int service = m_cboMapService->currentIndex();
    const QString chosen = m_cboMapService->currentData().toString();
    if (service != m_mapServiceLoaded && !chosen.isEmpty()) {
        m_settings.WriteSettingText(WebLinks::mapUrlSetting(), chosen);
        m_mapServiceLoaded = service;
    }
}

void DialDialog::done(int result)
{
    if (m_closing)
        return;
    m_closing = true;
    m_dialer.hangUp();
    saveSettings();
    QDialog::done(result);
    m_closing = false;
}

} // namespace quillon
