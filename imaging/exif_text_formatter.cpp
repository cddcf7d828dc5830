#include "imaging/exif_text_formatter.h"

#include "util/string_util.h"
#include "imaging/exif_file.h"
#include "imaging/pelkor_engine.h"
#include "platform/colour/colour_library.h"


#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

enum TiffType : WORD {
    kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5,
    kSByte = 6, kUndefined = 7, kSShort = 8, kSLong = 9, kSRational = 10,
};

// Bytes the entry's first value needs; a shorter value is not read.
bool HasFirstValue(const CExifEntry& entry)
{
    const unsigned unit = CExifEntry::GetUnitSize(entry.m_type);
    return entry.m_count >= 1 && unit != 0 && entry.GetDataSize() >= unit;
}

// The first value as an integer of the entry's own type: SHORT and LONG are
// unsigned, so an ISO value of 40000 stays 40000.
std::optional<int64_t> IntegerValue(const CExifEntry& entry)
{
    if (!HasFirstValue(entry))
        return std::nullopt;
    switch (entry.m_type) {
    case kByte: case kUndefined: return entry.GetByte(0);
    case kShort: return entry.GetShort(0);
    case kLong: return entry.GetLong(0);
    case kSByte: return static_cast<int8_t>(entry.GetByte(0));
    case kSShort: return entry.GetSShort(0);
    case kSLong: return entry.GetSLong(0);
    default: return std::nullopt;
    }
}

// The first value as a fraction; integers read as n/1.
std::optional<std::pair<int64_t, uint32_t>> RationalValue(const CExifEntry& entry)
{
    if (!HasFirstValue(entry))
        return std::nullopt;
    if (entry.m_type == kRational || entry.m_type == kSRational) {
        DWORD numerator = 0, denominator = 0;
        int sign = 1;
        entry.GetRational(numerator, denominator, sign, 0);
        return std::make_pair(static_cast<int64_t>(numerator) * (sign < 0 ? -1 : 1), denominator);
    }
    if (auto v = IntegerValue(entry))
        return std::make_pair(*v, 1u);
    return std::nullopt;
}

bool RationalText(const CExifEntry& entry, std::string& text, int item, const std::string& model, int region)
{
    text.clear();
    if (auto v = RationalValue(entry))
        pelkor::FormatRationalText(v->first, v->second, text, item, model, region);
    return true;
}

bool IntegerText(const CExifEntry& entry, std::string& text, int item, const std::string& model, int region)
{
    text.clear();
    if (auto v = IntegerValue(entry))
        pelkor::FormatIntegerText(*v, text, item, model, region);
    return true;
}

std::string UserCommentText(const CExifEntry& entry)
{
    int code = -1;
    const std::optional<std::string> comment = entry.GetUserComment(code);
    if (!comment)
        return {};
    switch (code) {
    case 0: return comment->substr(0, comment->find('\0'));
    case 1: return ShiftJisToUtf8(JisToShiftJis(comment->data(), comment->size()));
    case 2: {
        std::u16string units(comment->size() / 2, u'\0');
        std::copy_n(comment->data(), units.size() * 2, reinterpret_cast<char*>(units.data()));
        std::string text = WideBytesToString(units.data(), units.size() * 2);
        return text.substr(0, text.find('\0'));
    }
    default: return {};
    }
}

struct TagItem {
    WORD tag;
    bool rational;
    int item;
};

// Tags whose text the library gives, with the form their value is read in.
constexpr TagItem kTagItems[] = {
    {282, true, pelkor::kItemResolution},
    {283, true, pelkor::kItemResolution},
    {296, false, pelkor::kItemResolutionUnit},
    {33434, true, pelkor::kItemExposureTime},
    {33437, true, pelkor::kItemFNumber},
    {34850, false, pelkor::kItemExposureProgram},
    {34855, false, pelkor::kItemIsoSpeed},
    {37377, true, pelkor::kItemShutterSpeed},
    {37378, true, pelkor::kItemAperture},
    {37379, true, pelkor::kItemBrightness},
    {37380, true, pelkor::kItemExposureBias},
    {37381, true, pelkor::kItemMaxAperture},
    {37382, true, pelkor::kItemSubjectDistance}, // a rational in every camera's files
    {37383, false, pelkor::kItemMeteringMode},
    {37384, false, pelkor::kItemLightSource},
    {37385, false, pelkor::kItemFlash},
    {37386, true, pelkor::kItemFocalLength},
    {41985, false, pelkor::kItemCustomRendered},
    {41986, false, pelkor::kItemExposureMode},
    {41987, false, pelkor::kItemWhiteBalance},
    {41988, true, pelkor::kItemDigitalZoom},
    {41990, false, pelkor::kItemSceneCaptureType},
    {41992, false, pelkor::kItemContrast},
    {41993, false, pelkor::kItemSaturation},
    {41994, false, pelkor::kItemSharpness},
    {41996, false, pelkor::kItemSubjectDistanceRange},
};

} // namespace

bool CExifTextFormatter::FormatExifValueText(const CExifEntry& entry, std::string& text, const std::string& model)
{
    return ::FormatExifValueText(entry, text, model);
}

bool CExifTextFormatter::FormatMakerValue(const CExifEntry& entry, std::string& text, const std::string& model)
{
    return FormatMakerValueText(entry, text, model);
}

bool FormatExifValueText(const CExifEntry& entry, std::string& text, const std::string& model)
{
    text.clear();
    const int region = GetRegionCode();
    if (entry.m_directory != 0)
        return false;
    for (const TagItem& t : kTagItems) {
        if (t.tag == entry.m_tag)
            return t.rational ? RationalText(entry, text, t.item, model, region)
                              : IntegerText(entry, text, t.item, model, region);
    }
    switch (entry.m_tag) {
    case 41989:
        IntegerText(entry, text, pelkor::kItemFocalLength35, model, region);
        if (text.empty())
            RationalText(entry, text, pelkor::kItemFocalLength35Rational, model, region);
        return true;
    case 306:
    case 36867: {
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        entry.GetDateTime(y, mo, d, h, mi, s);
        text = FormatDateTimeLocaleYmdHms(y, mo, d, h, mi, s);
        return true;
    }
    case 36864:
    case 40960: {
        const BYTE* data = entry.GetData();
        const size_t n = std::min<size_t>(4, entry.GetDataSize());
        text = "Ver.";
        for (size_t i = 0; i < n && data[i] != 0; ++i)
            text += static_cast<char>(data[i]);
        return true;
    }
    case 37122: {
        const auto v = RationalValue(entry);
        if (v && v->second != 0) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.2f%%",
                          static_cast<double>(v->first) / v->second * 4.166666666666666);
            text = buffer;
        }
        return true;
    }
    case 37510:
        text = UserCommentText(entry);
        return true;
    case 40961: {
        const auto v = IntegerValue(entry);
        text = v && *v == 1 ? "sRGB" : "Uncalibrated";
        return true;
    }
    default:
        return false;
    }
}

bool FormatMakerValueText(const CExifEntry& entry, std::string& text, const std::string& model)
{
    text.clear();
    const int region = GetRegionCode();
    if (entry.m_directory != 0)
        return false;
    switch (entry.m_tag) {
    case 256:
    case 257:
    case 258:
        if (const auto value = IntegerValue(entry))
            pelkor::FormatMakerText(*value, text, pelkor::kItemMaker0 + (entry.m_tag - 256), model, region);
        return true;
    case 260:
        return RationalText(entry, text, pelkor::kItemMakerRational, model, region);
    default:
        return false;
    }
}
