#pragma once

#include "platform/registry.h"
#include "platform/types.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class QWidget;

// The program's settings functions: values of a section (named by a string id
// or a text) under one base path, in the current user's or the machine's
// hive. Reads never fail loudly: a missing value, or one of another type,
// gives the default, the empty string or FALSE. Writes create the key and
// ignore failures. Main thread.

// Root 0 in the functions below means this root; HKEY_CURRENT_USER at first.
void SetRegRoot(HKEY root);
// The base path becomes the string; unchanged when the table has none.
void SetRegBasePath(UINT stringId);
// The framework's registry key and application name, used for the key of a
// section while no base path is set ("Software\key\app\section").
void SetRegFrameworkNames(std::string_view registryKey, std::string_view appName);

// The key path of a section given as text; "#n" names string n.
void BuildRegistryPath(std::string& path, std::string_view section);

void RegReadString(std::string& text, UINT sectionId, std::string_view name, HKEY root = 0);
void RegWriteString(UINT sectionId, std::string_view name, std::string_view text, HKEY root = 0);
void RegReadStringById(std::string& text, UINT sectionId, UINT nameId, HKEY root = 0);
void RegWriteStringById(UINT sectionId, UINT nameId, std::string_view text, HKEY root = 0);

int RegReadInt(UINT sectionId, std::string_view name, int defaultValue, HKEY root = 0);
void RegWriteInt(UINT sectionId, std::string_view name, int value, HKEY root = 0);

// Under the store's root. TRUE when a byte block of at most size bytes is
// stored; a shorter one fills only its own length. FALSE leaves the buffer as it was.
BOOL RegReadBinary(UINT sectionId, std::string_view name, void* buffer, size_t size);
void RegWriteBinary(UINT sectionId, std::string_view name, const void* buffer, size_t size);

// Rectangles are 16-byte blocks: left, top, right, bottom, 32-bit little-endian.
BOOL RegReadRect(UINT sectionId, UINT nameId, RECT& rect);
void RegWriteRect(UINT sectionId, UINT nameId, const RECT& rect);
BOOL RegReadRectAt(std::string_view section, std::string_view name, RECT& rect);
void RegWriteRectAt(std::string_view section, std::string_view name, const RECT& rect);

// The window's rectangle on the screen.
void RegSaveWindowRect(QWidget* wnd, UINT sectionId, UINT nameId);
void RegSaveWindowRectAt(QWidget* wnd, std::string_view section, std::string_view name);
// Moves the window to the stored top-left, keeping its own size, when the
// stored rectangle lies on the primary display; FALSE leaves it where it is.
BOOL RegRestoreWindowPos(QWidget* wnd, UINT sectionId, UINT nameId);

// The single stored values behind the readers above, decoded from the bytes
// the hive holds; each checks the value's type and size and answers nothing
// for a value of another type or size.
// A string's text, which ends at its first zero byte (it is stored with one).
std::optional<std::string> TextFromRegValue(const RegValue& value);
// A 32-bit number: exactly 4 bytes, little-endian.
std::optional<int32_t> IntFromRegValue(const RegValue& value);
// A byte block of at most the buffer's size, copied over its front.
bool BinaryFromRegValue(const RegValue& value, std::span<uint8_t> buffer);
// A rectangle: exactly kRectBytes of block.
inline constexpr size_t kRectBytes = 16;
std::optional<RECT> RectFromRegValue(const RegValue& value);

// TRUE when the rectangle is at least 1 x 1 and meets the primary display.
BOOL IsRectOnDisplay(const RECT& rect);
