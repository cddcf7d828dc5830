#include "ui/name_serial_fields.h"

#include "ui/edit_util.h"
#include "util/path_util.h"
#include "platform/framework/controls.h"
#include "platform/framework/dialog.h"
#include "platform/framework/message_box.h"
#include "resources/string_ids.h"

namespace {
}

void CNameSerialFields::Exchange(CDataExchange* pDX, std::string& nameBase, std::string& firstNumber) const
{
    DDX_Text(pDX, int(m_nameId), nameBase);
    DDV_MaxChars(pDX, nameBase, kMaxNameBaseChars);
    DDX_Text(pDX, int(m_numberId), firstNumber);
    DDV_MaxChars(pDX, firstNumber, kMaxFirstNumberChars);
}

void CNameSerialFields::OnNumberChanged(CDialog* dialog, std::string& firstNumber)
{
    // Putting the digits back in the edit changes it once more.
    if (!m_bReady || m_bKeepingDigits)
        return;
    m_bKeepingDigits = true;
    if (auto* edit = dynamic_cast<CEdit*>(dialog->GetDlgItem(int(m_numberId))))
        KeepDigitsInEdit(dialog, edit, firstNumber);
    m_bKeepingDigits = false;
}

bool CNameSerialFields::AcceptNameBase(const std::string& nameBase)
{
    if (!HasInvalidFileNameChar(nameBase))
        return true;
    AfxMessageBox(IDS_INVALID_NAME_CHARS, MB_ICONEXCLAMATION);
    return false;
}
