#pragma once

#include "ui/button_ex.h"
#include "ui/dialog_ex.h"

enum : UINT {
    IDD_SEND_MAIL = 182,
    IDC_MAIL_ATTACH_READER = 2707,
    IDC_MAIL_RESIZE = 2708,
};

// File/Mail's question: whether the reader goes along and whether the
// picture is reduced for sending.
class CSendMailDlog : public CDialogEx {
public:
    CSendMailDlog(CWnd* pParent, BOOL bAttach, BOOL bResize);

    BOOL OnInitDialog() override;

    int m_bAttach;
    int m_bResize;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    CButtonEx m_btnOk;
    CButtonEx m_btnCancel;
};
