#include "ui/WidgetPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace quillon {

namespace {

struct ButtonMap
{
    Platform::Button ours;
    QMessageBox::StandardButton qt;
};

constexpr ButtonMap kButtons[] = {
    {Platform::Yes, QMessageBox::Yes},
    {Platform::No, QMessageBox::No},
    {Platform::Ok, QMessageBox::Ok},
    {Platform::Cancel, QMessageBox::Cancel},
};

QMessageBox::Icon qtIcon(Platform::Icon icon)
{
    switch (icon) {
    case Platform::Information:
        return QMessageBox::Information;
    case Platform::Warning:
        return QMessageBox::Warning;
    case Platform::Question:
        return QMessageBox::Question;
    case Platform::Critical:
        return QMessageBox::Critical;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

WidgetPlatform::~WidgetPlatform()
{
    while (m_busyDepth > 0)
        setBusy(false);
}

QWidget* WidgetPlatform::parentWindow() const
{
    if (m_parent)
        return m_parent;
    return QApplication::activeWindow();
}

int WidgetPlatform::message(const QString& caption, const QString& text, int buttons, Icon icon, int defaultButton)
{
    if ((buttons & (Ok | Cancel | Yes | No)) == 0)
        buttons = Ok;
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, parentWindow());
    int first = 0;
    for (const ButtonMap& b : kButtons) {
        if (!(buttons & b.ours))
            continue;
        box.addButton(b.qt);
        if (!first)
            first = b.ours;
    }
    const int chosenDefault = (defaultButton & buttons) ? defaultButton : first;
    for (const ButtonMap& b : kButtons) {
        if (b.ours == chosenDefault)
            box.setDefaultButton(b.qt);
    }
    if (buttons & Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons == Ok)
        box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const ButtonMap& b : kButtons) {
        if (b.qt == clicked && (buttons & b.ours))
            return b.ours;
    }
    return (buttons & Cancel) ? int(Cancel) : chosenDefault;
}

QString WidgetPlatform::fileName(const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(parentWindow(), request.caption, request.directory);
    dialog.setObjectName(save ? QStringLiteral("saveFileDialog") : QStringLiteral("openFileDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.filters.isEmpty()) {
        dialog.setNameFilters(request.filters);
        dialog.selectNameFilter(request.filters.first());
    }
    QString suffix = request.defaultSuffix;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    if (!suffix.isEmpty())
        dialog.setDefaultSuffix(suffix);
    if (!request.presetName.isEmpty())
        dialog.selectFile(request.presetName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString WidgetPlatform::openFileName(const FileDialogRequest& request)
{
    return fileName(request, false);
}

QString WidgetPlatform::saveFileName(const FileDialogRequest& request)
{
    return fileName(request, true);
}

std::optional<QString> WidgetPlatform::inputText(const QString& title, const QString& prompt,
                                                 const QString& defaultAnswer)
{
    QInputDialog dialog(parentWindow());
    dialog.setObjectName(QStringLiteral("inputBox"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<Rgb> WidgetPlatform::pickColor(Rgb initial)
{
    QColorDialog dialog(QColor(QRgb(initial)), parentWindow());
    dialog.setObjectName(QStringLiteral("colorPicker"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor color = dialog.selectedColor();
    if (!color.isValid())
        return std::nullopt;
    return Rgb(color.rgb() & 0xFFFFFFu);
}

QString WidgetPlatform::clipboardText()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void WidgetPlatform::setClipboardText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(text);
    }
}

QDateTime WidgetPlatform::now()
{
    return QDateTime::currentDateTime();
}

void WidgetPlatform::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

void WidgetPlatform::beep()
{
    QApplication::beep();
}

void WidgetPlatform::setBusy(bool busy)
{
    if (busy) {
        ++m_busyDepth;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_busyDepth > 0) {
        --m_busyDepth;
        QApplication::restoreOverrideCursor();
    }
}

void WidgetPlatform::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace quillon
