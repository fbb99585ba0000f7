#include "testsupport/WidgetTestMain.h"
#include "ui/CentreOnScreen.h"
#include "ui/Twips.h"
#include "ui/WidgetPlatform.h"

#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

using namespace quillon;

namespace {

/** Runs @p act on the next modal dialog as soon as it is shown. */
void whenModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

} // namespace

class TestWidgetPlatform : public QObject
{
    Q_OBJECT

    WidgetPlatform m_platform;

private slots:
    // ---- message boxes ---------------------------------------------------------------------

    void message_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("expectedDefault");
        QTest::addColumn<QMessageBox::Icon>("qtIcon");
        QTest::newRow("ok information") << int(Platform::Ok) << int(Platform::Information) << 0 << int(Platform::Ok)
                                        << int(Platform::Ok) << QMessageBox::Information;
        QTest::newRow("yes no cancel, cancel default, No pressed")
            << int(Platform::Yes | Platform::No | Platform::Cancel) << int(Platform::Question) << int(Platform::Cancel)
            << int(Platform::No) << int(Platform::Cancel) << QMessageBox::Question;
        QTest::newRow("yes no, warning, Yes pressed") << int(Platform::Yes | Platform::No) << int(Platform::Warning) << 0
                                                      << int(Platform::Yes) << int(Platform::Yes) << QMessageBox::Warning;
        QTest::newRow("ok cancel, critical, default pressed by Enter")
            << int(Platform::Ok | Platform::Cancel) << int(Platform::Critical) << int(Platform::Ok) << 0
            << int(Platform::Ok) << QMessageBox::Critical;
    }
    void message()
    {
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(int, defaultButton);
        QFETCH(int, press);
        QFETCH(int, expectedDefault);
        QFETCH(QMessageBox::Icon, qtIcon);
        QString caption;
        QString text;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        QMessageBox::StandardButton shownDefault = QMessageBox::NoButton;
        int shownButtons = 0;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            shownIcon = box->icon();
            shownDefault = box->standardButton(box->defaultButton());
            shownButtons = int(box->buttons().size());
            if (press == 0) {
                QTest::keyClick(box, Qt::Key_Return);
                return;
            }
            const QMessageBox::StandardButton b = press == Platform::Yes  ? QMessageBox::Yes
                                                  : press == Platform::No ? QMessageBox::No
                                                  : press == Platform::Ok ? QMessageBox::Ok
                                                                          : QMessageBox::Cancel;
            box->button(b)->click();
        });
        const int answer = m_platform.message(QStringLiteral("Open File"), QStringLiteral("Changes have been made."),
                                              buttons, Platform::Icon(icon), defaultButton);
        QCOMPARE(caption, QStringLiteral("Open File"));
        QCOMPARE(text, QStringLiteral("Changes have been made."));
        QCOMPARE(shownIcon, qtIcon);
        QCOMPARE(shownButtons, qPopulationCount(quint32(buttons)));
        const QMessageBox::StandardButton expected = expectedDefault == Platform::Yes  ? QMessageBox::Yes
                                                     : expectedDefault == Platform::No ? QMessageBox::No
                                                     : expectedDefault == Platform::Ok ? QMessageBox::Ok
                                                                                       : QMessageBox::Cancel;
        QCOMPARE(shownDefault, expected);
        QCOMPARE(answer, press == 0 ? expectedDefault : press);
    }

    void escapeAnswersCancel()
    {
        whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        QCOMPARE(m_platform.message(QStringLiteral("Exit"), QStringLiteral("Save?"),
                                    Platform::Yes | Platform::No | Platform::Cancel, Platform::Question, Platform::Yes),
                 int(Platform::Cancel));
        whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        QCOMPARE(m_platform.message(QStringLiteral("Note"), QStringLiteral("Done")), int(Platform::Ok));
    }

    // ---- file dialogs ----------------------------------------------------------------------

    void openFileDialog()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("list.csv"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QFileDialog* seen = nullptr;
        QStringList filters;
        QString directory;
        whenModal([&](QWidget* w) {
            seen = qobject_cast<QFileDialog*>(w);
            QVERIFY(seen);
            filters = seen->nameFilters();
            directory = seen->directory().absolutePath();
            QCOMPARE(seen->windowTitle(), QStringLiteral("Open File"));
            QCOMPARE(seen->acceptMode(), QFileDialog::AcceptOpen);
            QCOMPARE(seen->fileMode(), QFileDialog::ExistingFile);
            seen->selectFile(file);
            QMetaObject::invokeMethod(seen, "accept");
        });
        FileDialogRequest request;
        request.caption = QStringLiteral("Open File");
        request.directory = dir.path();
        request.filters = {QStringLiteral("Comma Delimited (*.csv)"), QStringLiteral("All Files (*)")};
        QCOMPARE(m_platform.openFileName(request), file);
        QCOMPARE(filters, request.filters);
        QCOMPARE(directory, QDir(dir.path()).absolutePath());
    }

    void saveFileDialog()
    {
        QTemporaryDir dir;
        bool confirms = false;
        QString preset;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            QVERIFY(d);
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(d->defaultSuffix(), QStringLiteral("vty"));
            confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
            preset = d->selectedFiles().value(0);
            d->selectFile(dir.filePath(QStringLiteral("contacts")));
            QMetaObject::invokeMethod(d, "accept");
        });
        FileDialogRequest request;
        request.caption = QStringLiteral("Save As");
        request.directory = dir.path();
        request.filters = {QStringLiteral("Vantry (*.vty)")};
        request.presetName = QStringLiteral("Untitled1.vty");
        request.defaultSuffix = QStringLiteral(".vty");
        QCOMPARE(m_platform.saveFileName(request), dir.filePath(QStringLiteral("contacts.vty")));
        QVERIFY(confirms);
        QCOMPARE(QFileInfo(preset).fileName(), QStringLiteral("Untitled1.vty"));
    }

    void cancelledFileDialogGivesNothing()
    {
        whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        QVERIFY(m_platform.openFileName({}).isEmpty());
    }

    // ---- input box, colour picker ------------------------------------------------------------

    void inputBox()
    {
        QString title;
        QString label;
        QString preset;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<QInputDialog*>(w);
            QVERIFY(d);
            title = d->windowTitle();
            label = d->labelText();
            preset = d->textValue();
            d->setTextValue(QStringLiteral("Mobile"));
            d->accept();
        });
        const auto answer = m_platform.inputText(QStringLiteral("Column Title"),
                                                 QStringLiteral("Enter New Column Title (Header):"),
                                                 QStringLiteral("Phone"));
        QCOMPARE(answer, std::optional<QString>(QStringLiteral("Mobile")));
        QCOMPARE(title, QStringLiteral("Column Title"));
        QCOMPARE(label, QStringLiteral("Enter New Column Title (Header):"));
        QCOMPARE(preset, QStringLiteral("Phone"));

        whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        QVERIFY(!m_platform.inputText(QStringLiteral("t"), QStringLiteral("p"), QStringLiteral("d")).has_value());
    }

    void colourPicker()
    {
        QColor initial;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<QColorDialog*>(w);
            QVERIFY(d);
            initial = d->currentColor();
            d->setCurrentColor(QColor(0x12, 0x34, 0x56));
            d->accept();
        });
        QCOMPARE(m_platform.pickColor(0xC0FFC0), std::optional<Rgb>(0x123456));
        QCOMPARE(initial, QColor(0xC0, 0xFF, 0xC0));
        whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        QVERIFY(!m_platform.pickColor(0).has_value());
    }

    // ---- clipboard, busy cursor ------------------------------------------------------------------

    void clipboardRoundTrip()
    {
        m_platform.setClipboardText(QStringLiteral("a\tb\r\nc\td"));
        QCOMPARE(m_platform.clipboardText(), QStringLiteral("a\tb\r\nc\td"));
    }

    void busyCursorNests()
    {
        QVERIFY(!QApplication::overrideCursor());
        m_platform.setBusy(true);
        m_platform.setBusy(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        m_platform.setBusy(false);
        QVERIFY(QApplication::overrideCursor());
        m_platform.setBusy(false);
        QVERIFY(!QApplication::overrideCursor());
        // An extra end does not take away a cursor somebody else set.
        QApplication::setOverrideCursor(Qt::CrossCursor);
        m_platform.setBusy(false);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
        QApplication::restoreOverrideCursor();
        {
            BusyScope scope(m_platform);
            QCOMPARE(m_platform.busyDepth(), 1);
        }
        QCOMPARE(m_platform.busyDepth(), 0);
    }

    // ---- twips and placement ---------------------------------------------------------------------

    void twips_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("inch at 96") << 96.0 << 1440 << 96;
        QTest::newRow("row at 96") << 96.0 << 240 << 16;
        QTest::newRow("width at 96") << 96.0 << 12000 << 800;
        QTest::newRow("rounds half up") << 96.0 << 10000 << 667;
        QTest::newRow("inch at 144") << 144.0 << 1440 << 144;
        QTest::newRow("row at 120") << 120.0 << 240 << 20;
        QTest::newRow("zero") << 96.0 << 0 << 0;
        QTest::newRow("negative") << 96.0 << -150 << -10;
    }
    void twips()
    {
        QFETCH(double, dpi);
        QFETCH(int, twips);
        QFETCH(int, pixels);
        QCOMPARE(Twips::toPixels(twips, dpi), pixels);
        // Back from pixels, within one pixel's worth of twips.
        QVERIFY(std::abs(Twips::fromPixels(pixels, dpi) - twips) <= int(1440 / dpi));
        QCOMPARE(Twips::toPixels(Twips::fromPixels(pixels, dpi), dpi), pixels);
    }

    void centreOnScreen()
    {
        QWidget w;
        w.resize(300, 200);
        w.show();
        CentreOnScreen(&w);
        const QRect area = w.screen()->availableGeometry();
        const QSize size = w.frameGeometry().size();
        QCOMPARE(w.frameGeometry().topLeft(),
                 QPoint(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2));
        CentreOnScreen(nullptr);
    }
};

QUILLON_WIDGET_TEST_MAIN(TestWidgetPlatform)
#include "TestWidgetPlatform.moc"
