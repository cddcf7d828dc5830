#pragma once

#include "platform/types.h"

#include <string>

class CDataExchange;
class CDialog;

// The new file name that Rename All and the export dialog ask for: a name
// base of at most 10 characters and a first serial number of at most 5
// digits, letters dropped from it as they are typed.
class CNameSerialFields {
public:
    static constexpr int kMaxNameBaseChars = 10;
    static constexpr int kMaxFirstNumberChars = 5;

    CNameSerialFields(UINT nameId, UINT numberId) : m_nameId(nameId), m_numberId(numberId) {}

    void Exchange(CDataExchange* pDX, std::string& nameBase, std::string& firstNumber) const;
    // The number field's EN_CHANGE: keeps its digits, once the dialog is up
    // and unless the change is the field's own rewrite.
    void OnNumberChanged(CDialog* dialog, std::string& firstNumber);
    void SetReady() { m_bReady = true; }
    // A name base no file may carry gives message 6001 and false.
    static bool AcceptNameBase(const std::string& nameBase);

private:
    UINT m_nameId;
    UINT m_numberId;
    bool m_bReady = false;
    bool m_bKeepingDigits = false;
};
