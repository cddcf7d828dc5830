#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

class CFileItem;

// The seven orders of the browser's items, each ascending or descending.
enum SortMode : int {
    kSortByName = 0,
    kSortBySize = 1,
    kSortByExtension = 2,
    kSortByDate = 3,
    kSortByKind = 4,
    kSortByFoundOrder = 5,
    kSortByInfo = 6,
};
inline constexpr int kSortModeCount = 7;
// A stored order that is none of the seven means the order the files were found in.
int ValidSortMode(int mode);

// One item's key in an order: a number, or a text compared without regard to case.
using SortKeyValue = std::variant<int64_t, std::string>;
// <0 when a comes before b in ascending order, 0 when equal, >0 after.
int CompareSortKeys(const SortKeyValue& a, const SortKeyValue& b);

// The key of the item being placed, compared with the items of the array.
class CSortKey {
public:
    virtual ~CSortKey() = default;
    // Takes the key of the item being placed.
    virtual void SetKey(CFileItem* item) { m_key = Value(item); }
    // -1 when the item belongs after the key, 1 before it, 0 when equal.
    virtual int Compare(CFileItem* item) const;
    // The item's key in this order.
    virtual SortKeyValue Value(CFileItem* item) const = 0;

protected:
    SortKeyValue m_key;
};

// The file name with its extension.
class CSortKeyName : public CSortKey {
public:
    SortKeyValue Value(CFileItem* item) const override;
};
// The file's length in bytes; -1 when the file cannot be found.
class CSortKeySize : public CSortKey {
public:
    SortKeyValue Value(CFileItem* item) const override;
};
// "extension.name": the extension first, then the name.
class CSortKeyExt : public CSortKey {
public:
    SortKeyValue Value(CFileItem* item) const override;
};
// The modification time; -1 when not read.
class CSortKeyDate : public CSortKey {
public:
    SortKeyValue Value(CFileItem* item) const override;
};
// 0 message files and items with a second name, 1 pictures whose maker flags
// have bit 3, 2 the others (the item's information is read first).
class CSortKeyKind : public CSortKey {
public:
    SortKeyValue Value(CFileItem* item) const override;
};
// The order the folder scan found the item in.
class CSortKeyOrder : public CSortKey {
public:
    SortKeyValue Value(CFileItem* item) const override;
};
// The text of the picture's information item 7034 (information read first).
class CSortKeyInfo : public CSortKey {
public:
    SortKeyValue Value(CFileItem* item) const override;
};

// The key object of an order (a stored value that is none of them: found order).
std::unique_ptr<CSortKey> MakeSortKey(int mode);

// Sorts the item store's array in place, stably: each item's key is taken
// once, and items of equal keys keep their order in either direction. The
// current item stays current. The caller holds the item lock.
void SortFileItems(int mode, bool descending);
// Where the item goes in the store's array as it is now, which must be in
// the order: just behind every item that does not belong after it.
int FindSortPosition(CFileItem* item, bool descending, CSortKey& key);
