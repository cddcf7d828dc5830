#pragma once

#include "message/comment_search.h"

// What the browser's Comment Search looks at: the message files among the
// browser's items, and for an empty search text also the items with a second
// name. Taken under the item lock, which is held only while the paths are
// copied, never while files are read.
CommentSearchSource FileItemSearchSource();
