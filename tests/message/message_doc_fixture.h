#pragma once

#include "message_fixtures.h"

#include "message/aphoto_doc.h"
#include "message/aphoto_view_base.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/registry.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace msgtest {

// A message document in a frame with a bare view, opened through a template
// of document string 129; message boxes are recorded and answered by the
// test. Message files are written by the document itself.
class MessageDocTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new message of a w x h photograph titled title, saved by the document
    // as dir/name; the document keeps it open.
    std::string SaveMessage(const std::string& name, const std::string& title, int w, int h,
                            const std::vector<std::pair<int, CAnoRecord>>& comments);
    bool Said(const std::string& part) const;

    qrtest::TempDir hives;
    CRegistryStore store{hives.path(), hives / "machine"};
    qrtest::TempDir dir;
    CWinApp app{"msgdocfixture"};
    CSingleDocTemplate* tmpl = nullptr;
    CAPhotoDoc* doc = nullptr;
    CView* view = nullptr;
    MessageBoxHandler previousBoxes;
    std::vector<std::string> boxes;
    std::vector<int> answers;
};

} // namespace msgtest
