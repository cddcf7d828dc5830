// The keyboard letters of every menu of the program's three windows: each
// entry has one of its own, so that its key chooses it instead of only
// moving the highlight between entries that share it.
#include "browser_frame_fixture.h"

#include "browser/tree_pane.h"
#include "imaging/viewer/viewer_ids.h"
#include "imaging/viewer/viewer_main_frame.h"
#include "message/ano_main_frame.h"
#include "message/aphoto_img_pane.h"
#include "ui/menu_bar.h"

#include <algorithm>

using qrtest::BrowserFrameTest;

namespace {

std::string Joined(const std::vector<std::string>& faults)
{
    std::string all;
    for (const std::string& f : faults)
        all += f + "\n";
    return all;
}

TEST_F(BrowserFrameTest, EveryMenuOfTheThreeWindowsGivesEachEntryALetterOfItsOwn)
{
    Open(m_camera);
    ASSERT_NE(m_app->OpenInMessageEditor(m_camera + "/photo00.jpg", FALSE, 0), nullptr);
    ASSERT_NE(m_app->OpenInViewer(m_camera + "/photo01.jpg"), nullptr);
    auto* editor = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    auto* viewer = dynamic_cast<CViewerMainFrame*>(m_app->GetViewerTemplate()->GetFrame());
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(viewer, nullptr);
    const struct {
        const char* window;
        CMenuBar& bar;
    } bars[] = {{"browser", Frame()->GetMenuBar()}, {"editor", editor->GetMenuBar()}, {"viewer", viewer->GetMenuBar()}};
    // The viewer's zoom entries keep the letters they have always had.
    const std::vector<std::string> kept = {"viewer/&View/&Actual size: 'a' is also &Area Marquee",
                                           "viewer/&View/&Zoom/&25%: '2' is also &200%"};
    for (const auto& b : bars) {
        ASSERT_NE(b.bar.GetMenu(), nullptr) << b.window;
        EXPECT_GT(b.bar.GetMenu()->GetMenuItemCount(), 2) << b.window;
        std::vector<std::string> faults = uitest::MnemonicFaults(*b.bar.GetMenu(), b.window);
        std::erase_if(faults, [&](const std::string& f) { return std::find(kept.begin(), kept.end(), f) != kept.end(); });
        EXPECT_EQ(Joined(faults), "");
    }
    // The right-button menus of the panes.
    for (UINT id : {UINT(IDR_THUMBNAIL_POPUP), UINT(IDR_TREE_POPUP), UINT(IDR_VIEWER_CONTEXT),
                    UINT(APhotoImgPane::IDR_COMMENT_IMAGE)}) {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(id)) << id;
        EXPECT_EQ(Joined(uitest::MnemonicFaults(*menu.GetSubMenu(0), std::to_string(id))), "");
    }
}

} // namespace
