#pragma once

#include "contact/DialSettings.h"
#include "contact/ModemDialer.h"
#include "contact/PhoneNumbers.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quillon {

class Platform;
class SettingsStore;

/**
 * "Dial Phone" (frmDial): dials the number in txtNum through the modem, or hands it
 * to the system's phone application as a "tel:" address (PhoneNumbers::telUrl()),
 * as the settings choose.
 *
 * Loading reads "COMMPORT", "LONGDIS", "DIALONE", "DialTimeout" and the home region
 * "PhoneRegion"; the first showing reads "LONGFORM" and dials at once. The modem
 * dials the first number in txtNum in digits (PhoneNumbers::dialString()). Closing it by any means hangs up and saves the
 * settings. Its height is 1900 twips with the settings area hidden, 2940 with it shown.
 * The settings area also offers the street-map services (cboMapService) for the
 * map command; a template or a "MapHost" of the settings file that is none of them
 * shows as "As set in the settings file" and is kept until another is chosen.
 */
class DialDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kShortHeight = 1900; ///< twips
    static constexpr int kLongHeight = 2940;  ///< twips

    DialDialog(SettingsStore& settings, Platform& platform, QWidget* parent = nullptr);
    ~DialDialog() override;

    /** Puts @p number into txtNum unchanged. */
    void setNumber(const QString& number);
    QString number() const;
    QString statusText() const;
    /** The long-distance prefix as typed. */
    QString longDistance() const;

    /** The first showing: the long form from "LONGFORM", then the dial as if "&Dial"
     *  had been pressed. Runs once, on its own, right after the dialog is first shown. */
    void activate();

    bool isLongForm() const { return m_longForm; }
    int dialOne() const { return m_dialone; }
    ModemDialer& dialer() { return m_dialer; }
    /** Phone numbers of the home region the dialer was loaded with. */
    const PhoneNumbers& phoneNumbers() const { return m_numbers; }

    /** Writes "COMMPORT", "LONGDIS", "DIALONE", "LONGFORM" and "DIALMETHOD", and
     *  "MapURL" when another street-map service was chosen. */
    void saveSettings();

    /** Twips to pixels of this dialog's screen, vertically. */
    int twipsToPixels(int twips) const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void dialClicked();
    void cancelClicked();
    void toggleSettingsArea();
    void setLongForm(bool on);
    void dialEnded();
    DialMethod method() const;

    SettingsStore& m_settings;
    Platform& m_platform;
    ModemDialer m_dialer;
    PhoneNumbers m_numbers;

    QLineEdit* m_txtNum = nullptr;
    QLineEdit* m_txtStatus = nullptr;
    QLineEdit* m_txtPort = nullptr;
    QLineEdit* m_txtLongDis = nullptr;
    QCheckBox* m_chkDialOne = nullptr;
    QComboBox* m_cboMethod = nullptr;
    QComboBox* m_cboMapService = nullptr;
    QPushButton* m_cmdDial = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdExit = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QToolButton* m_cmdSet = nullptr;
    QWidget* m_settingsArea = nullptr;

    int m_mapServiceLoaded = -1; ///< the street-map entry shown at load or last saved
    int m_dialone = 0;
    bool m_longForm = false;
    bool m_activated = false;
    bool m_closing = false;
};

} // namespace quillon
