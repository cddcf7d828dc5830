#pragma once

#include "imaging/icc_profile_data.h"
#include "platform/types.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

class CExifEntry;
class CExifFile;
class CExifTextFormatter;

// Item ids of the picture information. Camera items are defined by their
// string: the item's key, a tab, and tag numbers in hexadecimal, tried in order.
enum : UINT {
    kExifItemFirst = 7000,
    kExifItemLast = 7034,
    kExifItemDateTaken = 7014,
    kExifItemComment = 7034,
    kMakerItemFirst = 7500,
    kMakerItemLast = 7503,
};

// The picture information shown for one file: a set of items, each with a
// key (its label) and a display text.
class CImageInfoSet {
public:
    virtual ~CImageInfoSet() = default;
    virtual BOOL IsValid() const = 0;
    // The keys (or labels) and ids of the items shown in a display group.
    virtual void ListItems(std::vector<std::string>& keys, std::vector<UINT>& ids, int group) const = 0;
    virtual std::string GetItemKey(UINT id) const = 0;
    virtual std::string GetItemText(UINT id) const = 0;
    // Stores the text under the item's key; nothing for a set without texts
    // or an item without a valid definition.
    virtual void SetItemText(UINT id, const std::string& text) {}
};

// Items read from a picture's tags, over a range of item ids.
class CCameraInfoSet : public CImageInfoSet {
public:
    CCameraInfoSet(CExifTextFormatter* formatter, UINT first, UINT last, int subDirectory);

    BOOL IsValid() const override { return m_valid; }
    void ListItems(std::vector<std::string>& keys, std::vector<UINT>& ids, int group) const override;
    std::string GetItemKey(UINT id) const override;
    std::string GetItemText(UINT id) const override;
    void SetItemText(UINT id, const std::string& text) override;

    // Not valid and no texts.
    void Clear();
    // Fills every item from the parsed metadata.
    void Fill(const CExifFile& metadata);
    // The display text of one tag: the formatter's, else the plain value.
    std::string TagText(const CExifFile& metadata, WORD tag, const std::string& model) const;

protected:
    BOOL m_valid = FALSE;
    std::map<std::string, std::string> m_texts;
    CExifTextFormatter* m_formatter;

private:
    void FillItem(const CExifFile& metadata, UINT id, const std::string& model);

    UINT m_first;
    UINT m_last;
    int m_subDirectory;
};

class CExifInfoSet : public CCameraInfoSet {
public:
    explicit CExifInfoSet(CExifTextFormatter* formatter);
    // Also takes the colour profile the reader collected for JPEG and TIFF files.
    void Fill(const CExifFile& metadata, int fileKind);
    const CIccProfileData& GetProfile() const { return m_profile; }

private:
    CIccProfileData m_profile;
};

class CMakerInfoSet : public CCameraInfoSet {
public:
    explicit CMakerInfoSet(CExifTextFormatter* formatter);
};

// The file's own facts: name, size, date, type and pixel size.
class CFileInfoSet : public CImageInfoSet {
public:
    CFileInfoSet(int width, int height, int depth) : m_depth(depth), m_width(width), m_height(height) {}
    void SetName(const std::string& path);

    BOOL IsValid() const override { return m_valid; }
    void ListItems(std::vector<std::string>& labels, std::vector<UINT>& ids, int group) const override;
    std::string GetItemKey(UINT id) const override;
    std::string GetItemText(UINT id) const override;

private:
    BOOL m_valid = FALSE;
    std::string m_path;
    int m_depth;
    int m_width;
    int m_height;
};

// A parsed item definition; false when it has fewer than two fields.
struct InfoItemDefinition {
    std::string key;
    std::vector<WORD> tags;
};
bool GetInfoItemDefinition(UINT id, InfoItemDefinition& out);
bool ParseInfoItemDefinition(std::string_view text, InfoItemDefinition& out);

// Opens the picture and fills both camera sets. False, with both sets empty
// and not valid, for a file that is not JPEG, TIFF or raw, that does not open
// or whose metadata does not parse. The maker outputs take the maker-note
// values 0x0D00 (byte) and 0x0D02 (16-bit) when the file has them.
bool QueryImageFileInfo(const std::string& path, CExifInfoSet& exif, CMakerInfoSet& maker, BYTE* makerByte,
                        WORD* makerWord);

// The display group of every valid item, in the settings' section 7 under
// the item's key; a missing value reads as group 1.
void LoadInfoItemSettings();
void SaveInfoItemSettings();

// The plain text of one value of an entry.
std::string FormatTagValue(const CExifEntry& entry, int index);
