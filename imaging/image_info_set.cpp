#include "imaging/image_info_set.h"

#include "util/path_util.h"
#include "util/reg_settings.h"
#include "imaging/exif_file.h"
#include "imaging/exif_text_formatter.h"
#include "imaging/metadata_file_kind.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <charconv>
#include <cstdio>

namespace {

// Display group of each valid camera item, by key.
std::map<std::string, WORD>& DisplayGroups()
{
    static std::map<std::string, WORD> groups;
    return groups;
}

constexpr UINT kFileItems[] = {IDS_INFO_NAME, IDS_INFO_SIZE, IDS_INFO_UPDATED, IDS_INFO_TYPE, IDS_INFO_PIXELS_WIDE, IDS_INFO_PIXELS_HIGH, IDS_INFO_DEPTH};
constexpr WORD kFocalLength35Tag = 0xA405;
constexpr WORD kModelTag = 272;
constexpr WORD kMakerByteTag = 0x0D00;
constexpr WORD kMakerWordTag = 0x0D02;

template <typename F>
void ForEachValidItem(F&& f)
{
    for (UINT first : {UINT(kExifItemFirst), UINT(kMakerItemFirst)}) {
        const UINT last = first == kExifItemFirst ? kExifItemLast : kMakerItemLast;
        for (UINT id = first; id <= last; ++id) {
            InfoItemDefinition def;
            if (GetInfoItemDefinition(id, def))
                f(def);
        }
    }
}

std::string Format(const char* format, auto... values)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

} // namespace

bool GetInfoItemDefinition(UINT id, InfoItemDefinition& out)
{
    return ParseInfoItemDefinition(res::String(id), out);
}

bool ParseInfoItemDefinition(std::string_view text, InfoItemDefinition& out)
{
    out = {};
    const size_t tab = text.find('\t');
    if (tab == std::string_view::npos)
        return false;
    out.key.assign(text.substr(0, tab));
    size_t at = tab + 1;
    while (at <= text.size()) {
        size_t end = text.find('\t', at);
        if (end == std::string_view::npos)
            end = text.size();
        unsigned value = 0;
        const auto r = std::from_chars(text.data() + at, text.data() + end, value, 16);
        if (r.ec == std::errc() && r.ptr == text.data() + end && value <= 0xFFFF)
            out.tags.push_back(static_cast<WORD>(value));
        at = end + 1;
    }
    return !out.key.empty() && !out.tags.empty();
}

std::string FormatTagValue(const CExifEntry& entry, int index)
{
    const unsigned unit = CExifEntry::GetUnitSize(entry.m_type);
    if (entry.m_type != 2 && (index < 0 || unit == 0 || static_cast<uint64_t>(index) >= entry.m_count ||
                              (static_cast<uint64_t>(index) + 1) * unit > entry.GetDataSize()))
        return {};
    switch (entry.m_type) {
    case 1: return Format("%d", entry.GetByte(index));
    case 2: {
        // The text ends at its count, the value's end or its first NUL.
        const BYTE* data = entry.GetData();
        const size_t n = std::min<size_t>(entry.m_count, entry.GetDataSize());
        size_t length = 0;
        while (length < n && data[length] != 0)
            ++length;
        return std::string(reinterpret_cast<const char*>(data), length);
    }
    case 3: return Format("%u", unsigned(entry.GetShort(index)));
    case 4: return Format("%u", unsigned(entry.GetLong(index)));
    case 5:
    case 10: {
        DWORD numerator = 0, denominator = 0;
        int sign = 1;
        entry.GetRational(numerator, denominator, sign, index);
        return Format("%s%u/%u", sign < 0 ? "-" : "", unsigned(numerator), unsigned(denominator));
    }
    case 6: return Format("%d", int(static_cast<int8_t>(entry.GetByte(index))));
    case 7: return "Undefined";
    case 8: return Format("%d", int(entry.GetSShort(index)));
    case 9: return Format("%d", int(entry.GetSLong(index)));
    case 11: return Format("%f", double(entry.GetFloat(index)));
    case 12: return Format("%e", entry.GetDouble(index));
    default: return {};
    }
}

// --- camera sets

CCameraInfoSet::CCameraInfoSet(CExifTextFormatter* formatter, UINT first, UINT last, int subDirectory)
    : m_formatter(formatter), m_first(first), m_last(last), m_subDirectory(subDirectory)
{
}

void CCameraInfoSet::ListItems(std::vector<std::string>& keys, std::vector<UINT>& ids, int group) const
{
    const auto& groups = DisplayGroups();
    for (UINT id = m_first; id <= m_last; ++id) {
        InfoItemDefinition def;
        if (!GetInfoItemDefinition(id, def))
            continue;
        const auto it = groups.find(def.key);
        if ((it == groups.end() ? 0 : it->second) != group)
            continue;
        keys.push_back(def.key);
        ids.push_back(id);
    }
}

std::string CCameraInfoSet::GetItemKey(UINT id) const
{
    InfoItemDefinition def;
    return GetInfoItemDefinition(id, def) ? def.key : std::string();
}

std::string CCameraInfoSet::GetItemText(UINT id) const
{
    const auto it = m_texts.find(GetItemKey(id));
    if (it == m_texts.end())
        return {};
    std::string text = it->second;
    if (id == kExifItemComment) {
        const size_t end = text.find_last_not_of(" \t\r\n\v\f");
        text.erase(end == std::string::npos ? 0 : end + 1);
    }
    return text;
}

void CCameraInfoSet::SetItemText(UINT id, const std::string& text)
{
    InfoItemDefinition def;
    if (GetInfoItemDefinition(id, def))
        m_texts[def.key] = text;
}

void CCameraInfoSet::Clear()
{
    m_valid = FALSE;
    m_texts.clear();
}

std::string CCameraInfoSet::TagText(const CExifFile& metadata, WORD tag, const std::string& model) const
{
    const CExifEntry* entry = metadata.FindEntry(tag, 0, m_subDirectory);
    // An entry stored without a value has nothing to show.
    if (!entry || entry->m_count == 0 || entry->GetDataSize() == 0)
        return {};
    std::string text;
    if (m_formatter) {
        const bool done = m_subDirectory == kSubMaker ? m_formatter->FormatMakerValue(*entry, text, model)
                                                      : m_formatter->FormatExifValueText(*entry, text, model);
        if (done)
            return text;
    }
    return FormatTagValue(*entry, 0);
}

void CCameraInfoSet::FillItem(const CExifFile& metadata, UINT id, const std::string& model)
{
    InfoItemDefinition def;
    if (!GetInfoItemDefinition(id, def))
        return;
    if (def.tags.front() == kFocalLength35Tag) {
        std::string text = TagText(metadata, def.tags.front(), model);
        if (!text.empty())
            m_texts[def.key] = std::move(text);
        return;
    }
    for (WORD tag : def.tags) {
        std::string text = TagText(metadata, tag, model);
        if (!text.empty()) {
            m_texts[def.key] = std::move(text);
            return;
        }
    }
    m_texts[def.key].clear();
}

void CCameraInfoSet::Fill(const CExifFile& metadata)
{
    Clear();
    const std::string model = TagText(metadata, kModelTag, std::string());
    for (UINT id = m_first; id <= m_last; ++id)
        FillItem(metadata, id, model);
    m_valid = TRUE;
}

CExifInfoSet::CExifInfoSet(CExifTextFormatter* formatter)
    : CCameraInfoSet(formatter, kExifItemFirst, kExifItemLast, kSubAny)
{
}

void CExifInfoSet::Fill(const CExifFile& metadata, int fileKind)
{
    m_profile.Free();
    CCameraInfoSet::Fill(metadata);
    if (fileKind == kExifJpeg || fileKind == kExifTiff) {
        const auto profile = metadata.GetColorProfile();
        if (!profile.empty())
            m_profile.Set(profile.data(), profile.size());
    }
    m_valid = TRUE;
}

CMakerInfoSet::CMakerInfoSet(CExifTextFormatter* formatter)
    : CCameraInfoSet(formatter, kMakerItemFirst, kMakerItemLast, kSubMaker)
{
}

// --- file set

void CFileInfoSet::SetName(const std::string& path)
{
    m_path = path;
    m_valid = TRUE;
}

void CFileInfoSet::ListItems(std::vector<std::string>& labels, std::vector<UINT>& ids, int) const
{
    for (UINT id : kFileItems) {
        labels.push_back(GetItemKey(id));
        ids.push_back(id);
    }
}

std::string CFileInfoSet::GetItemKey(UINT id) const
{
    return LoadResString(id);
}

std::string CFileInfoSet::GetItemText(UINT id) const
{
    switch (id) {
    case IDS_INFO_NAME: {
        return LastNameOf(m_path);
    }
    case IDS_INFO_SIZE: return FormatFileSizeText(m_path);
    case IDS_INFO_UPDATED: return FormatFileWriteTime(m_path);
    case IDS_INFO_TYPE: return GetShellTypeName(m_path);
    case IDS_INFO_PIXELS_WIDE: return Format("%d %s", m_width, LoadResString(IDS_PIXELS).c_str());
    case IDS_INFO_PIXELS_HIGH: return Format("%d %s", m_height, LoadResString(IDS_PIXELS).c_str());
    case IDS_INFO_DEPTH: return Format("%d", m_depth / 3);
    default: return {};
    }
}

// --- reading a file

bool QueryImageFileInfo(const std::string& path, CExifInfoSet& exif, CMakerInfoSet& maker, BYTE* makerByte,
                        WORD* makerWord)
{
    exif.Clear();
    maker.Clear();
    const int kind = GetMetadataFileKind(path);
    if (kind == kExifUnsupported)
        return false;
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    CExifFile metadata;
    if (metadata.Attach(&file, kind) != 0)
        return false;
    exif.Fill(metadata, kind);
    maker.Fill(metadata);
    if (const CExifEntry* e = metadata.FindEntry(kMakerByteTag, 0, kSubMaker); e && makerByte)
        *makerByte = e->GetByte(0);
    if (const CExifEntry* e = metadata.FindEntry(kMakerWordTag, 0, kSubMaker); e && makerWord)
        *makerWord = e->GetShort(0);
    return true;
}

// --- display settings

void LoadInfoItemSettings()
{
    auto& groups = DisplayGroups();
    groups.clear();
    ForEachValidItem([&](const InfoItemDefinition& def) {
        groups[def.key] = static_cast<WORD>(RegReadInt(IDS_REG_PREFERENCE, def.key, 1));
    });
}

void SaveInfoItemSettings()
{
    const auto& groups = DisplayGroups();
    ForEachValidItem([&](const InfoItemDefinition& def) {
        const auto it = groups.find(def.key);
        RegWriteInt(IDS_REG_PREFERENCE, def.key, it == groups.end() ? 0 : it->second);
    });
}
