#include "message_doc_fixture.h"

#include "message/aphoto_save_dlog.h"
#include "message/picture_jpeg.h"
#include "ui/app_templates.h"
#include "util/reg_settings.h"
#include "resources/string_ids.h"

namespace msgtest {

namespace {

class FixtureView : public CAPhotoViewBase {
    DECLARE_DYNCREATE(FixtureView)
public:
    void OnUpdate(CView*, LPARAM, CObject*) override {}
    BOOL InsertPicture(const std::string&) override { return FALSE; }
};
IMPLEMENT_DYNCREATE(FixtureView, CAPhotoViewBase)

class FixtureFrame : public CFrameWnd {
    DECLARE_DYNCREATE(FixtureFrame)
};
IMPLEMENT_DYNCREATE(FixtureFrame, CFrameWnd)

} // namespace

void MessageDocTest::SetUp()
{
    SetRegistryStore(&store);
    SetRegRoot(HKEY_CURRENT_USER);
    SetRegBasePath(IDS_REG_KEYPATH);
    RegWriteString(0, "HomePath", QR_BIN_DIR, HKEY_LOCAL_MACHINE);
    previousBoxes = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
        boxes.push_back(text);
        int answer = answers.empty() ? IDOK : answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return answer;
    });
    tmpl = new CSingleDocTemplate(129, RUNTIME_CLASS(CAPhotoDoc), RUNTIME_CLASS(FixtureFrame),
                                  RUNTIME_CLASS(FixtureView));
    app.AddDocTemplate(tmpl);
    doc = static_cast<CAPhotoDoc*>(tmpl->OpenDocumentFile({}));
    ASSERT_NE(doc, nullptr);
    view = doc->GetFirstView();
}

void MessageDocTest::TearDown()
{
    if (CDocument* d = tmpl->GetOnlyDocument()) {
        d->SetModifiedFlag(FALSE);
        d->OnCloseDocument();
    }
    SetMessageBoxHandler(previousBoxes);
    SetRegistryStore(nullptr);
}

std::string MessageDocTest::SaveMessage(const std::string& name, const std::string& title, int w, int h,
                                        const std::vector<std::pair<int, CAnoRecord>>& comments)
{
    doc->SetModifiedFlag(FALSE);
    doc->OnNewDocument();
    CImageBuffer picture = MakePicture(w, h);
    doc->GetContent().TakeImage(picture);
    doc->SetMessageTitle(title);
    for (const auto& [depth, record] : comments)
        doc->GetContent().m_comments.emplace_back(depth, std::make_unique<CAnoRecord>(record));
    doc->SetModifiedFlag(TRUE);
    const std::string path = (dir / name).string();
    EXPECT_TRUE(doc->DoSave(path)) << path;
    return path;
}

bool MessageDocTest::Said(const std::string& part) const
{
    for (const std::string& b : boxes)
        if (b.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace msgtest
