#include "edit/FindWindow.h"

#include "edit/FindSession.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quillon {

FindWindow::FindWindow(FindSession& session, QWidget* mainWindow)
    : QDialog(mainWindow), m_session(session), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    m_txtSearched = new QLineEdit(this);
    m_txtSearched->setObjectName(QStringLiteral("txtSearched"));
    m_txtSearched->setMinimumWidth(220);
    label->setBuddy(m_txtSearched);
    m_chkFromBeginning = new QCheckBox(QStringLiteral("Starting from the beginning"), this);
    m_chkFromBeginning->setObjectName(QStringLiteral("chkFromBeginning"));
    m_chkMatchCase = new QCheckBox(QStringLiteral("Match case"), this);
    m_chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    m_cmdNext = new QPushButton(QStringLiteral("&Find Next"), this);
    m_cmdNext->setObjectName(QStringLiteral("cmdNext"));
    m_cmdNext->setAutoDefault(false);
    m_cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    m_cmdClose->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_txtSearched, 0, 1);
    grid->addWidget(m_cmdNext, 0, 2);
    grid->addWidget(m_chkFromBeginning, 1, 1);
    grid->addWidget(m_cmdClose, 1, 2);
    grid->addWidget(m_chkMatchCase, 2, 1);

    m_session.load();
    connect(m_txtSearched, &QLineEdit::textChanged, &m_session, &FindSession::setText);
    connect(m_txtSearched, &QLineEdit::returnPressed, this, &FindWindow::findNext);
    connect(m_chkFromBeginning, &QCheckBox::toggled, &m_session, &FindSession::setFromBeginning);
    connect(m_chkMatchCase, &QCheckBox::toggled, &m_session, &FindSession::setMatchCase);
    connect(m_cmdNext, &QPushButton::clicked, this, &FindWindow::findNext);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    m_txtSearched->installEventFilter(this);

    adjustSize();
    placeAtTopRight();
}

void FindWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Framed now: the frame's width is known.
    if (!m_placed) {
        m_placed = true;
        placeAtTopRight();
    }
}

void FindWindow::placeAtTopRight()
{
    if (!m_mainWindow)
        return;
    const QRect main = m_mainWindow->frameGeometry();
    move(main.right() - frameGeometry().width() + 1, main.top());
}

void FindWindow::findNext()
{
    m_session.setText(m_txtSearched->text());
    m_session.findNext();
}

void FindWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_session.activated();
}

bool FindWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_txtSearched && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, m_txtSearched, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

void FindWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter belongs to the text box and the Find Next button, never to the dialog's
    // default handling (which would close a modeless window on Escape only).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == m_cmdNext)
            findNext();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quillon
