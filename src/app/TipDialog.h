#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace quillon {

/**
 * `frmTip`, the tip of the day: one usage tip at a time, "&Next Tip" for the
 * following one, and the "show tips" box whose state OK hands back.
 * Modeless; centred on the screen when it opens.
 */
class TipDialog : public QDialog
{
    Q_OBJECT

public:
    TipDialog(bool showTips, int firstTip, QWidget* parent = nullptr);

    int currentTip() const { return m_index; }
    QString currentText() const;
    bool showTipsChecked() const;

public slots:
    void nextTip();

signals:
    /** OK was pressed with the "show tips" box in this state. */
    void showTipsChosen(bool on);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showTip();

    QLabel* m_text;
    QCheckBox* m_show;
    int m_index = 0;
    bool m_centred = false;
};

} // namespace quillon
