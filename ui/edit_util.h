#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CDialog;
class CEdit;

// Edit-control helpers that keep a selection as byte offsets into the
// control's UTF-8 text, whatever unit the control itself counts in.

// The control's selection, as byte offsets.
void EditGetSelBytes(CEdit* edit, int& start, int& end);
// Selects bytes start to end (offsets on character boundaries) and scrolls the caret into view.
void EditSetSelBytes(CEdit* edit, int start, int end);
// Keeps the control's text within maxChars characters while the user types:
// what was typed last, at the caret, is what goes.
void LimitEditTextChars(CEdit* edit, size_t maxChars);
// Leaves only the digits 0 to 9 in the string bound to the control (through
// the dialog's data exchange) and keeps the caret where it was among them.
void KeepDigitsInEdit(CDialog* dialog, CEdit* edit, std::string& bound);

// The rules behind them, on plain text and byte offsets.

// Qt's edit controls count UTF-16 units: a position in those units and the
// byte offset of the same place. A position past the end gives the text's
// size; an offset inside a character gives the whole text's units.
size_t ByteOffsetFromUtf16Pos(std::string_view text, size_t pos);
size_t Utf16PosFromByteOffset(std::string_view text, size_t offset);
// With a selection, or the caret at either end: cuts the text's end. With the
// caret inside: removes the characters before the caret (then, at the start,
// behind it) and puts the caret where the removed run began.
void LimitTextChars(std::string& text, size_t& start, size_t& end, size_t maxChars);
// Removes every byte that is not a digit; a selection end behind a removed
// byte moves back over it.
void KeepDigits(std::string& text, size_t& start, size_t& end);
