#pragma once

#include <QString>

namespace quillon {

class PhoneNumbers;
class RecordSheet;
class SettingsStore;

/** How the dialer places a call. */
enum class DialMethod
{
    Modem, ///< a Hayes-compatible modem on a serial port dials; the user picks up the handset
    Phone, ///< the number is handed to the system as a "tel:" address (softphone, paired phone)
};

/**
 * The dialer's options as the settings keep them: "COMMPORT", "LONGDIS", "DIALONE",
 * "LONGFORM", the serial device template "COMMDEVICE", the call method "DIALMETHOD"
 * and the time the modem is given to answer, "DialTimeout".
 */
struct DialSettings
{
    static constexpr int kDefaultDialTimeout = 60; ///< seconds

    QString port = QStringLiteral("2");         ///< "COMMPORT", as typed
    QString longDistance = QStringLiteral("1"); ///< "LONGDIS", as typed
    int dialOne = 0;                            ///< "DIALONE", 0 or 1
    bool longForm = false;                      ///< "LONGFORM"
    DialMethod method = DialMethod::Modem;      ///< "DIALMETHOD": "Modem" or "Phone"
    QString deviceTemplate;                     ///< "COMMDEVICE"; %1 is the port number less 1
    int dialTimeout = kDefaultDialTimeout;      ///< "DialTimeout", seconds; a number below 1 gives the default

    /** Reads every value; texts not set give the defaults above. */
    static DialSettings read(const SettingsStore& store);
    /** Writes "COMMPORT", "LONGDIS", "DIALONE", "LONGFORM" (as "True"/"False") and
     *  "DIALMETHOD", in that order. The device template and the time limit are only read. */
    void write(SettingsStore& store) const;

    static QString defaultDeviceTemplate();
    static QString methodText(DialMethod method);
    static DialMethod methodFromText(const QString& text);
};

/**
 * The number the Dial Phone command puts into the dialer: the first phone number in
 * the phone cell (column 5) of the sheet's current record, as written there, or the
 * cell's text when @p numbers finds none; preceded by the long-distance prefix
 * without its surrounding blanks when @p dialOne is non-zero.
 */
QString DialNumber(const RecordSheet& sheet, int dialOne, const QString& longDistance, const PhoneNumbers& numbers);

/** The serial device for port @p port: @p deviceTemplate with %1 = port - 1
 *  ("/dev/ttyS%1": port 1 is /dev/ttyS0). Empty for a port below 1. */
QString SerialDevicePath(const QString& deviceTemplate, int port);

} // namespace quillon
