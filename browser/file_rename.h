#pragma once

#include <string>
#include <vector>

class CNamesakeIndex;

// Renaming a listed picture with its companions, and Rename All's names.

enum : unsigned {
    IDS_INVALID_NAME_CHARS = 6001,
    IDS_RENAME_TARGET_EXISTS = 6015,
    IDS_RENAME_ALL_FAILED = 6094,
    IDS_RENAME_PATH_TOO_LONG = 6214,
    IDS_RENAME_EMPTY_BASE = 6962,
};

// The name and the number, the number's width kept (counting up past it when
// it outgrows it): ("Trip", "0098") with counter 2 gives "Trip0100".
std::string MakeSerialName(int counter, const std::string& name, const std::string& number);

// Rename All's proposal from the first file: its trailing digits (at most 5)
// become the number; the name is cut to 10 bytes, never inside a character.
void ProposeSerialName(const std::string& path, std::string& name, std::string& number);

// Renames item index of the store and its companions to the text's first
// line; the picture keeps its own extension unless the text gives the same
// one, another typed extension becomes part of the name. Nothing is renamed
// over an existing file; a rename that fails part-way puts back what it did.
// TRUE when done or nothing needed doing; else error holds the reason (empty
// when the reason was shown already).
bool RenameItem(int index, const std::string& text, std::string& error);
// The same with the folder readings of an operation over many items.
bool RenameItem(int index, const std::string& text, std::string& error, CNamesakeIndex& names);
// Rename All: the items in order get the name with the number counted up
// from the first; stops at the first that fails (error as above).
bool RenameItems(const std::vector<int>& items, const std::string& name, const std::string& number,
                 std::string& error);
