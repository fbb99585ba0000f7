#pragma once

#include "ui/Platform.h"

#include <QList>
#include <QQueue>

namespace quillon {

/**
 * A Platform for tests: message boxes and dialogs answer from queues filled by the
 * test, and everything shown is recorded for the test to check.
 */
class TestPlatform : public Platform
{
public:
    struct Message
    {
        QString caption;
        QString text;
        int buttons;
        Icon icon;
        int defaultButton;
    };

    struct InputRequest
    {
        QString title;
        QString prompt;
        QString defaultAnswer;
    };

    // Answers, taken first in, first out. An empty queue answers the default button
    // (message boxes), cancel (file dialogs, input box, colour picker).
    QQueue<int> messageAnswers;
    QQueue<QString> openAnswers;
    QQueue<QString> saveAnswers;
    QQueue<std::optional<QString>> inputAnswers;
    QQueue<std::optional<Rgb>> colorAnswers;

    // What was shown.
    QList<Message> messages;
    QList<FileDialogRequest> openRequests;
    QList<FileDialogRequest> saveRequests;
    QList<QUrl> openedUrls;
    QList<InputRequest> inputRequests;
    int colorRequests = 0;
    int beeps = 0;
    int busyDepth = 0;
    int busyCalls = 0;

    QString clipboard;
    QDateTime clock = QDateTime(QDate(2026, 12, 8), QTime(16, 24, 9));

    int message(const QString& caption, const QString& text, int buttons, Icon icon, int defaultButton) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& defaultAnswer) override;
    std::optional<Rgb> pickColor(Rgb initial) override;
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString& text) override { clipboard = text; }
    QDateTime now() override { return clock; }
    void openUrl(const QUrl& url) override { openedUrls.append(url); }
    void beep() override { ++beeps; }
    void setBusy(bool busy) override;
    void processEvents() override {}

    /** The text of the last message shown, or empty. */
    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().text; }
};

} // namespace quillon
