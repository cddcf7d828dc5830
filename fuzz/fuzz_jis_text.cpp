// Text bytes from outside (7-bit Japanese mail text, names from disks and
// drops): conversion and character walks must stay inside the bytes and never
// cut a character.
#include "ui/edit_util.h"
#include "util/string_util.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string sjis = JisToShiftJis(data, size);
    if (sjis.size() > size)
        std::abort(); // every step reads at least as many bytes as it writes

    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t chars = CountChars(text);
    const size_t max = size ? data[0] % 8 : 0;
    std::string cut = text;
    if (TruncateToChars(cut, max) != std::min(chars, max) || text.compare(0, cut.size(), cut) != 0 ||
        CountChars(cut) != std::min(chars, max))
        std::abort();

    size_t start = size > 1 ? data[1] % (size + 1) : 0;
    size_t end = start;
    std::string limited = text;
    LimitTextChars(limited, start, end, max);
    // Removing characters may join stray bytes into one, never make more.
    if (chars > max && CountChars(limited) > max)
        std::abort();
    if (start > limited.size() || end > limited.size())
        std::abort();

    const size_t units = Utf16PosFromByteOffset(text, text.size());
    if (ByteOffsetFromUtf16Pos(text, units) != text.size())
        std::abort();
    return 0;
}
