#pragma once

#include "sheet/SheetTypes.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace quillon {

/** What a file dialog is to show. Filters are in Qt's form: "Vantry Files (*.vty)". */
struct FileDialogRequest
{
    QString caption;
    QString directory;
    QStringList filters;
    QString presetName;
    QString defaultSuffix;
};

/**
 * The services of the desktop that the program's logic asks for: message boxes,
 * file dialogs, the input box, the colour picker, the clipboard, the clock, the
 * shell's "open", the bell and the busy cursor. The windows library implements it
 * with Qt's widgets; tests answer with a double, so every command runs without a
 * person and without waiting.
 */
class Platform
{
public:
    enum Icon { NoIcon, Information, Warning, Question, Critical };
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

    virtual ~Platform() = default;

    /** Shows a modal message box; returns the Button pressed (Cancel when it was closed
     *  by other means and Cancel is among @p buttons, else the default). */
    virtual int message(const QString& caption, const QString& text, int buttons = Ok, Icon icon = NoIcon,
                        int defaultButton = 0) = 0;
    /** The chosen file's path; empty when the dialog was cancelled. */
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    /** The chosen file's path; the dialog confirms overwriting; empty when cancelled. */
    virtual QString saveFileName(const FileDialogRequest& request) = 0;
    /** The answer of an input box; nullopt for Cancel. */
    virtual std::optional<QString> inputText(const QString& title, const QString& prompt,
                                             const QString& defaultAnswer) = 0;
    /** The colour picked; nullopt when the picker was cancelled. */
    virtual std::optional<Rgb> pickColor(Rgb initial) = 0;

    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;

    virtual QDateTime now() = 0;
    /** Asks the system to open @p url with its default handler; the result is not reported. */
    virtual void openUrl(const QUrl& url) = 0;
    virtual void beep() = 0;
    /** Shows or ends the busy cursor; calls nest. */
    virtual void setBusy(bool busy) = 0;
    /** Lets the window repaint during a long command. */
    virtual void processEvents() = 0;
};

/** Shows the busy cursor for as long as it lives. */
class BusyScope
{
public:
    explicit BusyScope(Platform& platform) : m_platform(platform) { m_platform.setBusy(true); }
    ~BusyScope() { m_platform.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Platform& m_platform;
};

} // namespace quillon
