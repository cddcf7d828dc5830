#pragma once

// The browser view with its gallery and loader thread in an offscreen window
// of its own, over a store in a temporary folder.
#include "bench/browser_store.h"
#include "browser/gallery_ctrl.h"
#include "browser/tree_pane.h"
#include "browser/zun_main_view.h"
#include "platform/framework/win_app.h"

#include <QApplication>

#include <filesystem>

namespace qrbench {

struct BrowserViewWindow {
    BrowserStore store;
    std::filesystem::path root = store.root;
    CWinApp app{"bench"};
    CWnd main;
    CWnd host;
    CZunMainView* view = nullptr;

    explicit BrowserViewWindow(const char* name) : store(name)
    {
        main.Create(nullptr, "main", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0);
        app.m_pMainWnd = &main;
        host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 1000, 700), nullptr, 0);
        view = new CZunMainView;
        view->Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1000, 700), &host, AFX_IDW_PANE_FIRST, nullptr);
        view->OnInitialUpdate();
        host.ShowWindow(SW_SHOW);
        QApplication::processEvents();
    }
    ~BrowserViewWindow()
    {
        host.DestroyWindow();
        app.m_pMainWnd = nullptr;
        main.DestroyWindow();
    }
    BrowserViewWindow(const BrowserViewWindow&) = delete;
    BrowserViewWindow& operator=(const BrowserViewWindow&) = delete;

    // The folder chosen in the tree, loaded as a folder change loads it.
    void Open(const std::filesystem::path& folder)
    {
        view->GetTreePane()->SelectFolder(folder.string());
        view->OnUpdate(nullptr, kHintDirectoryChanged, nullptr);
    }
};

} // namespace qrbench
