#include "ui/edit_util.h"

#include "util/string_util.h"
#include "platform/framework/controls.h"
#include "platform/framework/dialog.h"

#include <algorithm>
#include <vector>

namespace {

// Characters of four bytes lie outside the basic plane: two UTF-16 units.
size_t Utf16Units(size_t charBytes) { return charBytes == 4 ? 2 : 1; }

} // namespace

size_t ByteOffsetFromUtf16Pos(std::string_view text, size_t pos)
{
    size_t units = 0, i = 0;
    while (i < text.size() && units < pos) {
        const size_t len = CharLenAt(text, i);
        units += Utf16Units(len);
        i += len;
    }
    return i;
}

size_t Utf16PosFromByteOffset(std::string_view text, size_t offset)
{
    size_t units = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == offset)
            return units;
        const size_t len = CharLenAt(text, i);
        units += Utf16Units(len);
        i += len;
    }
    return units;
}

void LimitTextChars(std::string& text, size_t& start, size_t& end, size_t maxChars)
{
    std::vector<size_t> starts; // every character's first byte, then the end
    for (size_t i = 0; i < text.size(); i += CharLenAt(text, i))
        starts.push_back(i);
    const size_t count = starts.size();
    starts.push_back(text.size());
    if (count <= maxChars)
        return;

    if (start != end || start == 0 || start >= text.size()) {
        text.resize(starts[maxChars]);
        start = std::min(start, text.size());
        end = std::min(end, text.size());
        return;
    }
    // The caret's character index (a caret inside a character counts from that character).
    const size_t caret = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), start) - starts.begin()) - 1;
    size_t excess = count - maxChars;
    const size_t before = std::min(excess, caret);
    excess -= before;
    const size_t from = starts[caret - before];
    const size_t to = starts[caret + excess];
    text.erase(from, to - from);
    start = end = from;
}

void KeepDigits(std::string& text, size_t& start, size_t& end)
{
    std::string digits;
    size_t newStart = start, newEnd = end;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits += text[i];
            continue;
        }
        // Only an end that stands behind the removed byte moves; one right
        // before it already stands where the byte leaves its gap.
        if (start > i)
            --newStart;
        if (end > i)
            --newEnd;
    }
    text = std::move(digits);
    start = newStart;
    end = newEnd;
}

void EditGetSelBytes(CEdit* edit, int& start, int& end)
{
    int s = 0, e = 0;
    edit->GetSel(s, e);
    const std::string text = edit->GetWindowText();
    start = static_cast<int>(ByteOffsetFromUtf16Pos(text, static_cast<size_t>(std::max(s, 0))));
    end = static_cast<int>(ByteOffsetFromUtf16Pos(text, static_cast<size_t>(std::max(e, 0))));
}

void EditSetSelBytes(CEdit* edit, int start, int end)
{
    const std::string text = edit->GetWindowText();
    auto toPos = [&](int offset) {
        return offset < 0 ? offset : static_cast<int>(Utf16PosFromByteOffset(text, static_cast<size_t>(offset)));
    };
    edit->SetSel(toPos(start), toPos(end), FALSE); // and scrolls the caret into view
}

void LimitEditTextChars(CEdit* edit, size_t maxChars)
{
    std::string text = edit->GetWindowText();
    int s = 0, e = 0;
    EditGetSelBytes(edit, s, e);
    size_t start = static_cast<size_t>(s), end = static_cast<size_t>(e);
    const size_t length = text.size();
    LimitTextChars(text, start, end, maxChars);
    if (text.size() == length)
        return;
    edit->SetWindowText(text);
    EditSetSelBytes(edit, static_cast<int>(start), static_cast<int>(end));
}

void KeepDigitsInEdit(CDialog* dialog, CEdit* edit, std::string& bound)
{
    int s = 0, e = 0;
    EditGetSelBytes(edit, s, e);
    dialog->UpdateData(TRUE);
    size_t start = static_cast<size_t>(s), end = static_cast<size_t>(e);
    KeepDigits(bound, start, end);
    dialog->UpdateData(FALSE);
    EditSetSelBytes(edit, static_cast<int>(start), static_cast<int>(end));
}
