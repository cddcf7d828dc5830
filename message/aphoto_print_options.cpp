#include "message/aphoto_print_options.h"

#include "platform/gdi/logfont.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <algorithm>

namespace {
constexpr int kCommentFontTenths = 80;
constexpr int kScreenResolution = 96;
} // namespace

LOGFONT DefaultPrintCommentFont()
{
    return LogFontFromPointSize(kCommentFontTenths, std::string(res::String(IDS_PRINT_FONT_FACE)), kScreenResolution);
}

CAPhotoPrintOptions::CAPhotoPrintOptions() : commentFont(DefaultPrintCommentFont()) {}

int CAPhotoPrintOptions::ClampedColumns() const { return std::clamp<int>(nColumns, kMinColumns, kMaxColumns); }
