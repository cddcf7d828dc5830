#include "ui/button_ex.h"
#include "ui/ui_services.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>

using namespace uitest;

namespace {

class Owner : public CWnd {
public:
    struct Seen {
        HWND wParam;
        int code;
    };
    std::vector<Seen> seen;
    DWORD answer = DROPEFFECT_COPY;
    std::vector<std::string> droppedPaths;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        seen.push_back({reinterpret_cast<HWND>(wParam), hdr->code});
        if (hdr->code >= 1000 && hdr->code <= 1003) {
            auto* n = reinterpret_cast<DropButtonNotify*>(lParam);
            if (hdr->code != CDropButton::NM_DRAGSCROLL)
                n->dwResult = answer;
            if (hdr->code == CDropButton::NM_DROP) {
                auto* b = static_cast<CDropButton*>(CWnd::FromHandle(hdr->hwndFrom));
                EXPECT_NE(b->m_pDropData, nullptr);
            }
        }
        *pResult = 0;
        return TRUE;
    }
};

struct DropTest : ::testing::Test {
    Owner owner;
    CDropButton button;
    qrtest::TempDir dir;
    std::string file;
    void SetUp() override
    {
        ASSERT_TRUE(owner.Create(nullptr, "o", WS_OVERLAPPED, CRect(0, 0, 200, 100), nullptr, 0));
        ASSERT_TRUE(button.Create("Drop", WS_CHILD | WS_VISIBLE, CRect(10, 10, 90, 50), &owner, 33));
        button.SetDropFormat(CF_HDROP);
        owner.ShowWindow(SW_SHOW);
        file = (dir / "photo.jpg").string();
        std::ofstream(file) << "x";
        std::filesystem::create_directory(dir / "folder");
    }
    Qt::DropAction Enter(const std::vector<std::string>& paths, bool drop = false)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& p : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(p));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button.m_hWnd, &enter);
        if (drop && enter.isAccepted()) {
            QDropEvent d(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(button.m_hWnd, &d);
            return d.isAccepted() ? d.dropAction() : Qt::IgnoreAction;
        }
        return enter.isAccepted() ? enter.dropAction() : Qt::IgnoreAction;
    }
    std::vector<int> Codes()
    {
        std::vector<int> c;
        for (auto& s : owner.seen) {
            EXPECT_EQ(s.wParam, button.m_hWnd);
            c.push_back(s.code);
        }
        owner.seen.clear();
        return c;
    }
};

TEST_F(DropTest, FilesAreOfferedToTheOwnerFoldersAreRefused)
{
    EXPECT_EQ(Enter({file}), Qt::CopyAction);
    EXPECT_EQ(Codes(), (std::vector<int>{1003, 1001}));
    // A folder, or a list that starts with one: refused, only the scroll is told.
    EXPECT_EQ(Enter({(dir / "folder").string(), file}), Qt::IgnoreAction);
    EXPECT_EQ(Codes(), std::vector<int>{1003});
    // An owner that leaves the result at 0 refuses.
    owner.answer = DROPEFFECT_NONE;
    EXPECT_EQ(Enter({file}), Qt::IgnoreAction);
    EXPECT_EQ(Codes(), (std::vector<int>{1003, 1001}));
    owner.answer = DROPEFFECT_MOVE;
    EXPECT_NE(Enter({file}, true), Qt::IgnoreAction);
    EXPECT_EQ(Codes(), (std::vector<int>{1003, 1001, 1000}));
    EXPECT_EQ(button.m_pDropData, nullptr);
}

TEST_F(DropTest, LosingTheFocusTellsTheParent)
{
    owner.SendMessage(WM_COMMAND, MAKEWPARAM(33, BN_KILLFOCUS), LPARAM(button.m_hWnd));
    EXPECT_EQ(Codes(), std::vector<int>{8});
}

TEST(ButtonEx, IconOrTextAndTheFrameColours)
{
    CWnd host;
    ASSERT_TRUE(host.Create(nullptr, "h", WS_OVERLAPPED, CRect(0, 0, 200, 100), nullptr, 0));
    CButtonEx text, icon;
    ASSERT_TRUE(text.Create("Text", WS_CHILD | WS_VISIBLE, CRect(0, 0, 80, 40), &host, 1, RGB(255, 255, 255)));
    ASSERT_TRUE(icon.Create("Ignored", WS_CHILD | WS_VISIBLE, CRect(100, 0, 160, 50), &host, 2, RGB(255, 255, 255)));
    icon.SetIcon(4083);
    host.ShowWindow(SW_SHOW);
    QImage t = Grab(text.m_hWnd), i = Grab(icon.m_hWnd);
    EXPECT_EQ(Pixel(t, 0, 0), RGB(255, 251, 240));      // the corner colour
    EXPECT_EQ(Pixel(t, 0, 20), RGB(160, 160, 164));     // outer light edge
    EXPECT_EQ(Pixel(t, 40, 39), RGB(0, 0, 0));          // outer dark edge
    int black = 0;
    for (int x = 10; x < 70; ++x)
        for (int y = 8; y < 32; ++y)
            black += qGray(t.pixel(x, y)) < 110;
    EXPECT_GT(black, 10); // the text
    // The icon (scaled to 32 x 32) sits in the middle; no text is drawn.
    EXPECT_EQ(Pixel(i, 30, 25), RGB(0xE0, 0x40, 0x40));
    EXPECT_EQ(Pixel(i, 0, 25), RGB(255, 255, 255)); // outer light edge of the icon look
    EXPECT_TRUE(icon.GetWindowText() == "Ignored");
}

} // namespace
