#include "message/aphoto_view_base.h"

IMPLEMENT_DYNAMIC(CAPhotoViewBase, CView)
