#pragma once

// The main program started as the user starts it, with its browser frame
// over a camera folder of photographs, for the tests that drive the browser
// end to end. Each test has its own settings, runtime and cache folders.
#include "app/program_parts.h"
#include "app/zun_app.h"
#include "browser/file_item_store.h"
#include "browser/zun_main_frame.h"
#include "browser/zun_main_view.h"
#include "platform/registry.h"
#include "support/shell_places.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qrtest {

namespace fs = std::filesystem;

class BrowserFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "rt");
        fs::permissions(m_dir / "rt", fs::perms::owner_all); // a runtime folder is private
        fs::create_directories(m_dir / "reg");
        fs::create_directories(m_dir / "cache");
        fs::create_directories(m_camera);
        for (const char* v : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME"})
            m_saved.emplace_back(v, std::getenv(v) ? std::getenv(v) : "");
        setenv("XDG_RUNTIME_DIR", (m_dir / "rt").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_dir / "cache").c_str(), 1);
        m_store = std::make_unique<CRegistryStore>(m_dir / "reg", m_dir / "reg");
        SetRegistryStore(m_store.get());
        const std::string home = QR_BIN_DIR;
        m_store->SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quiram\\7321", "HomePath", REG_SZ, home.c_str(), home.size() + 1);
        int n = 0;
        for (const auto& entry : fs::directory_iterator(QR_TEST_DATA_DIR))
            if (entry.path().filename().string().rfind("camera_", 0) == 0) {
                fs::copy_file(entry.path(), m_camera + (n < 10 ? "/photo0" : "/photo") + std::to_string(n) + ".jpg");
                ++n;
            }
        Start();
    }
    void TearDown() override
    {
        Stop();
        SetRegistryStore(nullptr);
        for (const auto& [name, value] : m_saved)
            setenv(name.c_str(), value.c_str(), 1);
    }
    void Start()
    {
        m_app = std::make_unique<CZunApp>(MakeProgramParts());
        m_app->SetArguments({"-Embedding"});
        m_app->m_showMessageBox = [this](const std::string& text, UINT type) {
            m_boxes.push_back(text);
            // The user agrees to what the file operations ask.
            return (type & 0xF) == MB_YESNOCANCEL || (type & 0xF) == MB_YESNO ? IDYES : IDOK;
        };
        ASSERT_TRUE(m_app->InitInstance());
        ASSERT_NE(Frame(), nullptr);
    }
    void Stop()
    {
        if (!m_app)
            return;
        m_app->CloseAllDocuments(FALSE);
        m_app->ExitInstance();
        m_app.reset();
    }
    // Closing the window as the user does, then starting the program again.
    void Restart()
    {
        Frame()->SendMessage(WM_CLOSE, 0, 0);
        ASSERT_EQ(m_app->m_pMainWnd, nullptr);
        Stop();
        Start();
    }
    CZunMainFrame* Frame() const { return dynamic_cast<CZunMainFrame*>(m_app->m_pMainWnd); }
    CZunMainView* View() const { return Frame()->GetView(); }
    // The folder chosen in the tree, as a click does.
    void Open(const std::string& folder)
    {
        View()->GetTreePane()->SelectFolder(folder);
        ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 13; }));
    }
    // The state the frame's menus and toolbar would show for the command.
    BOOL Enabled(UINT id)
    {
        CCmdUI ui;
        ui.m_nID = id;
        ui.DoUpdate(Frame(), TRUE);
        return ui.m_bEnabled;
    }
    void Focus(CWnd* pane)
    {
        Frame()->m_hWnd->activateWindow();
        pane->SetFocus();
        QApplication::processEvents();
    }
    void Select(std::initializer_list<int> items)
    {
        CGalleryCtrl& g = *View()->GetGallery();
        g.SelectAll(FALSE);
        for (int i : items)
            g.SetSelected(i, TRUE);
    }
    bool AllMade()
    {
        if (!uitest::WaitFor([&] { return View()->Loader().PendingCount() == 0; }))
            return false;
        QApplication::processEvents();
        return true;
    }

    qrtest::TempDir m_dir;
    std::string m_home = (m_dir / "home").string();
    std::string m_camera = m_home + "/Pictures/Camera";
    qrtest::ScopedShellPlaces m_places{m_home};
    std::vector<std::pair<std::string, std::string>> m_saved;
    std::unique_ptr<CRegistryStore> m_store;
    std::unique_ptr<CZunApp> m_app;
    std::vector<std::string> m_boxes;
};

// Answers every save dialog while it lives, as the user does: types the
// target as a whole path (of the file type named, when one is) and accepts
// it, or cancels while the target is empty.
class SaveDialogAnswers {
public:
    SaveDialogAnswers()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dlg || !dlg->isVisible())
                return;
            ++dialogs;
            if (target.empty()) {
                dlg->reject();
                return;
            }
            for (const QString& filter : dlg->nameFilters())
                if (!type.empty() && filter.startsWith(QString::fromStdString(type)))
                    dlg->selectNameFilter(filter);
            const fs::path path(target);
            dlg->setDirectory(QString::fromStdString(path.parent_path().string()));
            // Typed as a whole path: the folder's listing, which the dialog reads on
            // a thread of its own, may not be there yet on a busy machine.
            auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
            if (name)
                name->setText(QString::fromStdString(target));
            else
                dlg->selectFile(QString::fromStdString(target));
            static_cast<QDialog*>(dlg)->accept();
        });
        m_timer.start(20);
    }

    std::string target;
    std::string type;
    int dialogs = 0;

private:
    QTimer m_timer;
};

} // namespace qrtest
