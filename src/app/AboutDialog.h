#pragma once

#include <QDialog>

namespace quillon {

/** The about box: program name, version "1.1" and what the program does. Modeless. */
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    /** The version as the status bar and this box show it. */
    static QString versionText();
};

} // namespace quillon
