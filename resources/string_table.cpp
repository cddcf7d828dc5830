#include "resources/string_table.h"

#include <algorithm>
#include <array>
#include <vector>

namespace res {
namespace {

struct Entry {
    uint32_t id;
    const char* text;
};

#define QR_STRING(id, name, text) {id, text},
const Entry kEntries[] = {
#include "all_strings.inc"
    {0xFFFFFFFFu, ""},
};

const Entry kReaderEntries[] = {
#include "reader_strings/reader.inc"
};
#undef QR_STRING

bool g_bReaderRole = false;

// Sorted once; the .inc files are grouped by area, not by id.
const std::vector<Entry>& Sorted()
{
    static const std::vector<Entry> table = [] {
        std::vector<Entry> v(std::begin(kEntries), std::end(kEntries) - 1);
        std::stable_sort(v.begin(), v.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });
        return v;
    }();
    return table;
}

const Entry* Find(uint32_t id)
{
    if (g_bReaderRole)
        for (const Entry& e : kReaderEntries)
            if (e.id == id)
                return &e;
    const auto& v = Sorted();
    auto it = std::lower_bound(v.begin(), v.end(), id, [](const Entry& e, uint32_t key) { return e.id < key; });
    return (it != v.end() && it->id == id) ? &*it : nullptr;
}

} // namespace

void SetReaderRole(bool bReader) { g_bReaderRole = bReader; }

bool IsReaderRole() { return g_bReaderRole; }

std::string_view String(uint32_t id)
{
    const Entry* e = Find(id);
    return e ? std::string_view(e->text) : std::string_view();
}

bool HasString(uint32_t id) { return Find(id) != nullptr; }

std::string_view PromptPart(uint32_t id)
{
    std::string_view s = String(id);
    return s.substr(0, s.find('\n'));
}

std::string_view TooltipPart(uint32_t id)
{
    std::string_view s = String(id);
    auto nl = s.find('\n');
    return nl == std::string_view::npos ? std::string_view() : s.substr(nl + 1);
}

} // namespace res
