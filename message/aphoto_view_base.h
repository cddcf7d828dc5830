#pragma once

#include "platform/framework/view.h"

#include <string>

// What the message document asks of the view that shows it. The document
// keeps the message itself (CAPhotoDoc::GetContent) and tells its views what
// changed through its update hints (CAPhotoDoc::Hint); these are the few
// things only the view can answer.
class CAPhotoViewBase : public CView {
    DECLARE_DYNAMIC(CAPhotoViewBase)
public:
    // FALSE while the view cannot let the message go (a comment is being edited).
    virtual BOOL CanClose() { return TRUE; }
    // Puts the picture file beside the photograph, keeping what is needed to
    // undo it; FALSE when it could not (nothing changed then).
    virtual BOOL InsertPicture(const std::string& path) = 0;
};
