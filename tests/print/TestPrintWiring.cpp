// The main window's print commands open the print dialogs over its record sheet.

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/SettingsStore.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"

#include <QAction>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

class TestPrintWiring : public QObject
{
    Q_OBJECT

private slots:
    void menuEntriesOpenThePrintDialogs()
    {
        QTemporaryDir dir;
        AppPaths::setUserDataFolder(dir.filePath(QStringLiteral("user")));
        SettingsStore settings(dir.filePath(QStringLiteral("quillon.ini")));
        TestPlatform platform;
        MainWindow window(settings, platform);
        window.setEndAction([] {});
        window.show();
        RecordSheet& sheet = window.model().sheet();
        sheet.setSelectionMode(RecordSheet::SelectionMode::Rows);
        sheet.setSelectedRows({{2, 5}});

        struct Case
        {
            const char* action;
            const char* dialog;
        };
        for (const Case& c : {Case{"mnuPrintSheet0", "frmPrintSheet"}, Case{"mnuPrint", "frmReportOptions"}}) {
            QAction* action = window.action(QLatin1String(c.action));
            QVERIFY(action);
            action->trigger();
            QPointer<QDialog> dialog = window.findChild<QDialog*>(QLatin1String(c.dialog));
            QVERIFY2(dialog, c.dialog);
            QVERIFY(dialog->isVisible());
            QVERIFY(dialog->isModal());
            QCOMPARE(dialog->findChild<QRadioButton*>(QStringLiteral("OpDataSource1"))->text(),
                     QStringLiteral("Slected rows (4)"));
            dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!dialog);
        }
        window.action(QStringLiteral("mnuPrintSheet0"))->trigger();
        auto* fd = window.findChild<QTableWidget*>(QStringLiteral("fd"));
        QVERIFY(fd);
        QCOMPARE(fd->rowCount(), sheet.cols());
        QCOMPARE(fd->item(0, 1)->text(), QStringLiteral("Name"));
    }
};

QUILLON_WIDGET_TEST_MAIN(TestPrintWiring)
#include "TestPrintWiring.moc"
