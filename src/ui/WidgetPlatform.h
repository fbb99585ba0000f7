#pragma once

#include "ui/Platform.h"

#include <QPointer>
#include <QWidget>

namespace quillon {

/**
 * The desktop's services through Qt's widgets: QMessageBox, QFileDialog,
 * QInputDialog, QColorDialog, the system clipboard, QDesktopServices and the
 * override cursor. Dialogs are modal to the parent window set with
 * setParentWindow() (the active window when none is set).
 */
class WidgetPlatform : public Platform
{
public:
    WidgetPlatform() = default;
    ~WidgetPlatform() override;

    void setParentWindow(QWidget* window) { m_parent = window; }

    int message(const QString& caption, const QString& text, int buttons = Ok, Icon icon = NoIcon,
                int defaultButton = 0) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& defaultAnswer) override;
    std::optional<Rgb> pickColor(Rgb initial) override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
    QDateTime now() override;
    void openUrl(const QUrl& url) override;
    void beep() override;
    void setBusy(bool busy) override;
    void processEvents() override;

    /** Busy cursors shown and not yet ended. */
    int busyDepth() const { return m_busyDepth; }

private:
    QWidget* parentWindow() const;
    QString fileName(const FileDialogRequest& request, bool save);

    QPointer<QWidget> m_parent;
    int m_busyDepth = 0;
};

} // namespace quillon
