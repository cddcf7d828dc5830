#pragma once

#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_importer.h"
#include "imaging/pixel_types.h"
#include "imaging/program_folders.h"
#include "viewer/viewer_doc.h"
#include "viewer/viewer_doc_template.h"
#include "viewer/viewer_ids.h"
#include "viewer/viewer_main_frame.h"
#include "viewer/viewer_view.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"
#include "ui/ui_services.h"
#include "util/reg_settings.h"
#include "platform/clipboard.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/registry.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

namespace viewertest {

namespace fs = std::filesystem;

inline const std::string kScreenshots = std::string(QR_TEST_BUILD_DIR) + "/screenshots";

// A JPEG of the size: left half red, right half blue, so that turns show.
inline std::string MakeJpeg(const fs::path& path, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(200, 30, 30));
    for (int y = 0; y < h; ++y)
        for (int x = w / 2; x < w; ++x)
            img.setPixelColor(x, y, QColor(30, 30, 200));
    EXPECT_TRUE(img.save(QString::fromStdString(path.string()), "JPG", 95));
    return path.string();
}

// The picture's colours on a grid, as a 24-bit bitmap gives them.
inline std::vector<COLORREF> Samples(const CImageBuffer& b)
{
    std::unique_ptr<CDibBitmap> dib = b.CreateDib();
    std::vector<COLORREF> out;
    if (!dib)
        return out;
    if (dib->GetBitsPerPixel() != 24)
        dib->ConvertBitDepth(24);
    const CSize s = dib->GetSize();
    for (int y = 0; y < s.cy; y += std::max(1, int(s.cy / 7)))
        for (int x = 0; x < s.cx; x += std::max(1, int(s.cx / 7)))
            out.push_back(dib->GetPixel(x, y));
    return out;
}

// The viewer's template in a program of its own, the importer and exporter
// plug-ins beside the test build, message boxes answered by the test.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRegistryStore(&store);
        SetRegRoot(HKEY_CURRENT_USER);
        SetRegBasePath(IDS_REG_KEYPATH);
        RegWriteString(0, "HomePath", QR_BIN_DIR, HKEY_LOCAL_MACHINE);
        RegisterClipboardFormats();
        previousBoxes = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            boxes.push_back(text);
            int answer = answers.empty() ? IDOK : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        });
        tmpl = new CViewerDocTemplate(GetClipboardFormats().pathList);
        app.AddDocTemplate(tmpl);
    }
    void TearDown() override
    {
        if (CDocument* d = tmpl->GetOnlyDocument()) {
            d->SetModifiedFlag(FALSE);
            d->OnCloseDocument();
        }
        EXPECT_EQ(tmpl->GetFrame(), nullptr);
        SetViewerSaveAsAnswer(nullptr);
        CViewerView::SetPrintFile(std::string());
        CDialog::SetModalObserver(nullptr);
        SetMessageBoxHandler(previousBoxes);
        SetRegistryStore(nullptr);
    }

    CViewerDoc* Open(const std::string& path) { return dynamic_cast<CViewerDoc*>(tmpl->OpenDocumentFile(path)); }
    CViewerDoc* Doc() const { return dynamic_cast<CViewerDoc*>(tmpl->GetOnlyDocument()); }
    CViewerMainFrame* Frame() const { return dynamic_cast<CViewerMainFrame*>(tmpl->GetFrame()); }
    CViewerView* View() const { return Doc() ? Doc()->GetViewerView() : nullptr; }
    void Command(UINT id) { Frame()->SendMessage(WM_COMMAND, id, 0); }

    qrtest::TempDir hives;
    CRegistryStore store{hives.path(), hives / "machine"};
    qrtest::TempDir dir;
    CWinApp app{"viewer"};
    CViewerDocTemplate* tmpl = nullptr;
    MessageBoxHandler previousBoxes;
    std::vector<std::string> boxes;
    std::vector<int> answers;
};

} // namespace viewertest
