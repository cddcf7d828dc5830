// What the browser's comment search looks at: its message files, and for an
// empty text also the items with a second name.
#include "browser_fixture.h"

#include "browser/comment_search_source.h"
#include "browser/file_item.h"
#include "browser/file_item_store.h"

using qrtest::BrowserTest;

TEST_F(BrowserTest, CommentSearchTakesTheMessageFilesAmongTheItems)
{
    const std::string photo = Jpeg("a.jpg"), named = Jpeg("b.jpg");
    qrtest::WriteBytes(Pics() / "m.kvt", {'x'});
    qrtest::WriteBytes(Pics() / "N.KVT", {'x'});
    {
        std::lock_guard lock(GetFileItemLock());
        AppendFileItem(photo);
        AppendFileItem(Pic("m.kvt"));
        AppendFileItem(named)->SetSecondName("Harbour");
        AppendFileItem(Pic("N.KVT"));
    }
    const CommentSearchSource source = FileItemSearchSource();
    EXPECT_EQ(source("x"), (std::vector<std::string>{Pic("m.kvt"), Pic("N.KVT")}));
    EXPECT_EQ(source(""), (std::vector<std::string>{Pic("m.kvt"), named, Pic("N.KVT")}));
}
