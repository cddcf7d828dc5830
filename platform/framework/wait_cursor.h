#pragma once

// The wait cursor for the length of a scope, shown only when made on the
// thread of the user interface (work on other threads leaves the cursor alone).
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    bool m_on = false;
};
