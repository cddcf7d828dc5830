#pragma once

#include "platform/datetime.h"
#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Text helpers every part of the program calls. Text is UTF-8 bytes; a
// "character" is one whole byte sequence (a lead byte and its continuation
// bytes), so nothing here counts, cuts or splits inside a character. A byte
// that does not start a well-formed sequence counts as a character of its own.

// Bytes of the character that starts at offset (1 to 4; 0 at or past the end).
size_t CharLenAt(std::string_view text, size_t offset);

size_t CountChars(std::string_view text);
// Characters that start before byte offset n; the whole count when no
// character starts exactly at n (past the end, or inside a character).
size_t CharCountInBytes(std::string_view text, size_t n);
// Byte offset behind the first n characters; n itself when the text is empty
// or holds fewer than n characters.
size_t ByteIndexAfterChars(std::string_view text, size_t n);
// Cuts whole characters off the end until at most maxChars remain; returns the
// character count left.
size_t TruncateToChars(std::string& text, size_t maxChars);

// Comparisons that fold the letters A-Z only: every other byte, and so every
// byte of a multi-byte character, compares as it is (unsigned).
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Splits at any byte equal to one of the separators, appending to out. With
// quotes, '"' toggles a quoted run (where separators do not split) and is
// dropped. An empty last token is never appended.
void SplitString(std::string_view text, std::vector<std::string>& out, std::string_view separators, bool skipEmpty,
                 bool quotes);
// The same with one separator and no quoting, into an emptied array.
void SplitAtChar(std::string_view text, std::vector<std::string>& out, char separator, bool skipEmpty);
std::string JoinStrings(const std::vector<std::string>& items, char separator);
// Removes every one-byte character equal to ch.
void RemoveCharAll(std::string& text, char ch);

// True when the bytes are well-formed UTF-8 (plain ASCII is).
bool IsUtf8Text(std::string_view bytes);
// Shift-JIS bytes, read as code page 932 (with its vendor extensions), as
// UTF-8; bytes that are no character become U+FFFD.
std::string ShiftJisToUtf8(std::string_view bytes);

// ISO-2022-JP bytes to Shift-JIS bytes (mail headers and old profile texts
// arrive in the 7-bit form).
std::string JisToShiftJis(const void* bytes, size_t length);
// UTF-16 (native order) to UTF-8. A trailing odd byte is ignored; unpaired
// surrogates become U+FFFD.
std::string WideBytesToString(const char16_t* text, size_t byteLength);
// A zero-terminated UTF-8 text into UTF-16 units (no terminator written).
// Returns the units written; 0 when the text does not fit the buffer, so a
// surrogate pair is never cut.
size_t AnsiToUnicode(const char* text, char16_t* buffer, size_t bufferChars);

// The format with its "%s" replaced by the arguments in order (the
// message-box texts of the string table take paths and names this way);
// text inside an argument is never taken for a "%s".
std::string FormatWithStrings(std::string_view format, std::initializer_list<std::string_view> args);

// "%d B", "%d KB" or "%.1f MB": whole kilobytes from 1024 bytes, megabytes
// with one decimal from 1024 kilobytes.
std::string FormatSizeText(uint64_t bytes);
// " (%d B)", " (%d KB)" or " (%.1f MB)".
std::string FormatSizeSuffix(uint64_t bytes);

SYSTEMTIME GetCurrentLocalTime();
// The user's short date and/or time, date first; empty for an invalid value.
std::string FormatDateTimeLocale(const COleDateTime& time, bool withDate, bool withTime);
std::string FormatDateTimeLocaleYmdHms(int year, int month, int day, int hour, int minute, int second);

// The running kernel's major and minor version; either pointer may be null.
void GetOsVersion(DWORD* major, DWORD* minor);

// Upper case character by character (UTF-8, any script), keeping every
// character's byte length, so that offsets found in the upper-cased text hold
// in the original. A text that is not UTF-8 comes back as it is.
std::string UpperKeepingOffsets(std::string_view text);
