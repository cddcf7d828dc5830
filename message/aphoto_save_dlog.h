#pragma once

#include "platform/types.h"
#include "util/file_filter.h"

#include <functional>
#include <string>

class CWnd;

// The message's Save As dialog: the file dialog with a "Read Only" check box
// below it. A name without an extension gets the message file's; a ticked
// box is confirmed ("Save as a file only for reading?") before the dialog
// ends with OK.
class CAPhotoSaveDlog {
public:
    enum : UINT { IDD = 910, IDC_READ_ONLY = 1062 };

    // filterName and extensions come from the document template's strings
    // ("Quiram Relayo(*.kvt)", ".kvt"; several extensions separated by ';').
    // bReadOnly is the box's first state.
    CAPhotoSaveDlog(const std::string& title, const std::string& filterName, const std::string& extensions,
                    const std::string& proposal, BOOL bReadOnly, CWnd* pParent);
    virtual ~CAPhotoSaveDlog() = default;

    // IDOK with the path and the box's state, or IDCANCEL.
    int DoModal();
    const std::string& GetPathName() const { return m_strPath; }
    BOOL IsReadOnlyChecked() const { return m_bReadOnly; }

    const FileFilterEntry& GetFilter() const { return m_filter; }
    // The first extension, without its dot.
    const std::string& GetDefaultExtension() const { return m_strDefaultExt; }
    // The path with the default extension when its name has none.
    std::string CompleteExtension(const std::string& path) const;
    // A path the file system takes: not longer than PATH_MAX, no name longer than NAME_MAX.
    static bool IsPathLengthSupported(const std::string& path);

    // Answers the dialog instead of a person (tests): it gets the proposal
    // and the box's state and returns IDOK with its choice, or IDCANCEL.
    using Answer = std::function<int(std::string& path, BOOL& readOnly)>;
    static Answer SetAnswer(Answer answer);

protected:
    // Shows Qt's file dialog with the check box: TRUE with the path and the box.
    virtual BOOL RunDialog(std::string& path, BOOL& readOnly);

private:
    std::string m_strTitle;
    FileFilterEntry m_filter;
    std::string m_strDefaultExt;
    std::string m_strProposal;
    std::string m_strPath;
    BOOL m_bReadOnly;
    CWnd* m_pParent;
};
