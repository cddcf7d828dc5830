#pragma once

#include "ui/dialog_ex.h"

#include <string>

enum : UINT { IDD_TEXT_ENTRY = 901, IDC_TEXT_ENTRY_EDIT = 2359 };

// Asks for one line of text of at most 32 characters.
class CTextEntryDlog : public CDialogEx {
public:
    CTextEntryDlog(CWnd* pParent, const std::string& initialText);
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    static constexpr int kMaxChars = 32;
    std::string m_strText;
};
