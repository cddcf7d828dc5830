// Single stored settings values from a hive someone else may have written:
// the window rectangle, the printed text's font record, numbers, and the
// recent-file list. The input is a row of values, each a byte that picks its
// type (or that it is missing), a length byte and the bytes.
#include "app/zun_app.h"
#include "platform/framework/win_app.h"
#include "util/print_text_settings.h"
#include "util/reg_settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

namespace {

constexpr DWORD kTypes[] = {REG_SZ, REG_BINARY, REG_DWORD};

void CheckOneValue(const RegValue& v)
{
    if (const std::optional<RECT> rect = RectFromRegValue(v)) {
        // A rectangle is its 16 bytes, little-endian, and nothing else.
        const RECT& r = *rect;
        uint8_t again[kRectBytes];
        const LONG fields[] = {r.left, r.top, r.right, r.bottom};
        for (size_t i = 0; i < 16; ++i)
            again[i] = uint8_t(uint32_t(fields[i / 4]) >> (8 * (i % 4)));
        if (v.data.size() != kRectBytes || std::memcmp(again, v.data.data(), kRectBytes) != 0)
            std::abort();
    }
    if (IntFromRegValue(v) && v.data.size() != 4)
        std::abort();
    if (const std::optional<std::string> text = TextFromRegValue(v))
        if (text->size() > v.data.size() || text->find('\0') != std::string::npos)
            std::abort();

    // The font record is read over the current font's bytes, as the settings do.
    uint8_t font[kLogFontBytes];
    LogFontToBytes(CPrintTextSettings::DefaultFont(), font);
    if (BinaryFromRegValue(v, font)) {
        const LOGFONT f = LogFontFromBytes(font);
        if (strnlen(f.lfFaceName, LF_FACESIZE) >= size_t(LF_FACESIZE))
            std::abort();
        uint8_t again[kLogFontBytes];
        LogFontToBytes(f, again);
        if (std::memcmp(again, font, kLogFontBytes - 1) != 0)
            std::abort(); // every field but the face name's last byte comes back
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::optional<RegValue>> values;
    for (size_t at = 0; at + 2 <= size;) {
        const uint8_t kind = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        const uint8_t* bytes = data + at + 2;
        at += 2 + length;
        if (kind % 4 == 3) {
            values.push_back(std::nullopt); // a value that is not there
            continue;
        }
        RegValue v{kTypes[kind % 4], std::vector<uint8_t>(bytes, bytes + length)};
        CheckOneValue(v);
        values.push_back(std::move(v));
    }

    const std::vector<std::string> files = RecentFilesFromValues(values);
    if (files.size() > size_t(kRecentFileCount))
        std::abort();
    CRecentFileList list(kRecentFileCount);
    list.SetFiles(files);
    const std::set<std::string> distinct(list.Files().begin(), list.Files().end());
    if (list.GetCount() > kRecentFileCount || distinct.size() != list.Files().size() || distinct.count(""))
        std::abort();
    return 0;
}
