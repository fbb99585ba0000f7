#pragma once

#include "app/MainWindow.h"
#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "testsupport/TestPlatform.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace quillon {

/**
 * What the tests that drive the main window share: a private user data folder and
 * settings file for each test function, a TestPlatform answering for the user, and a
 * window shown on its Results page. Call setUpWindowTest() from init() and
 * tearDownWindowTest() from cleanup().
 */
class WindowFixture
{
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TestPlatform> m_platform;

    void setUpWindowTest()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
        m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("quillon.ini")));
        m_platform = std::make_unique<TestPlatform>();
    }

    void tearDownWindowTest()
    {
        m_settings.reset();
        m_dir.reset();
        m_platform.reset();
    }

    /** A window of 1000 x 700 pixels on the Results page, shown and active. */
    std::unique_ptr<MainWindow> makeWindow()
    {
        auto w = std::make_unique<MainWindow>(*m_settings, *m_platform);
        w->setEndAction([] {});
        w->resize(1000, 700);
        w->model().setCurrentPage(MainModel::ResultsPage);
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("window not active");
        return w;
    }
};

} // namespace quillon
