#include "testsupport/TestPlatform.h"

namespace quillon {

int TestPlatform::message(const QString& caption, const QString& text, int buttons, Icon icon, int defaultButton)
{
    messages.append({caption, text, buttons, icon, defaultButton});
    if (!messageAnswers.isEmpty())
        return messageAnswers.dequeue();
    if (defaultButton)
        return defaultButton;
    for (int b : {Ok, Yes, No, Cancel})
        if (buttons & b)
            return b;
    return Ok;
}

QString TestPlatform::openFileName(const FileDialogRequest& request)
{
    openRequests.append(request);
    return openAnswers.isEmpty() ? QString() : openAnswers.dequeue();
}

QString TestPlatform::saveFileName(const FileDialogRequest& request)
{
    saveRequests.append(request);
    return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
}

std::optional<QString> TestPlatform::inputText(const QString& title, const QString& prompt, const QString& defaultAnswer)
{
    inputRequests.append({title, prompt, defaultAnswer});
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.dequeue();
}

std::optional<Rgb> TestPlatform::pickColor(Rgb)
{
    ++colorRequests;
    return colorAnswers.isEmpty() ? std::nullopt : colorAnswers.dequeue();
}

void TestPlatform::setBusy(bool busy)
{
    busyDepth += busy ? 1 : -1;
    if (busy)
        ++busyCalls;
}

} // namespace quillon
