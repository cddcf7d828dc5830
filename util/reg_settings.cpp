#include "util/reg_settings.h"

#include "platform/archive.h"
#include "platform/byte_reader.h"
#include "resources/string_table.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

struct RegState {
    HKEY root = HKEY_CURRENT_USER;
    std::string basePath;
    std::string frameworkKey;
    std::string frameworkApp;
};

RegState& State()
{
    static RegState state;
    return state;
}

HKEY RootOf(HKEY root) { return root ? root : State().root; }

std::string SectionKey(std::string_view section)
{
    std::string path;
    BuildRegistryPath(path, section);
    return path;
}

std::string SectionKey(UINT sectionId)
{
    return SectionKey(sectionId ? res::String(sectionId) : std::string_view());
}

std::optional<RegValue> Query(HKEY root, const std::string& key, std::string_view name)
{
    return GetRegistryStore().QueryValue(RootOf(root), key, name);
}

void Store(HKEY root, const std::string& key, std::string_view name, DWORD type, const void* data, size_t size)
{
    (void)GetRegistryStore().SetValue(RootOf(root), key, name, type, data, size);
}

// Numbers and rectangles are stored little-endian, field by field.
std::vector<uint8_t> Pack(std::initializer_list<LONG> fields)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    for (LONG v : fields)
        ar << v;
    return file.Detach();
}

BOOL ReadRect(const std::string& key, std::string_view name, RECT& rect)
{
    const auto v = Query(0, key, name);
    const std::optional<RECT> stored = v ? RectFromRegValue(*v) : std::nullopt;
    if (!stored)
        return FALSE;
    rect = *stored;
    return TRUE;
}

void WriteRect(const std::string& key, std::string_view name, const RECT& rect)
{
    std::vector<uint8_t> b = Pack({rect.left, rect.top, rect.right, rect.bottom});
    Store(0, key, name, REG_BINARY, b.data(), b.size());
}

RECT ScreenRect(const QWidget* wnd)
{
    QRect r = wnd->isWindow() ? wnd->frameGeometry() : QRect(wnd->mapToGlobal(QPoint(0, 0)), wnd->size());
    return CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

} // namespace

void SetRegRoot(HKEY root) { State().root = root; }

void SetRegBasePath(UINT stringId)
{
    if (res::HasString(stringId))
        State().basePath = LoadResString(stringId);
}

void SetRegFrameworkNames(std::string_view registryKey, std::string_view appName)
{
    State().frameworkKey = registryKey;
    State().frameworkApp = appName;
}

void BuildRegistryPath(std::string& path, std::string_view section)
{
    const RegState& s = State();
    // "#7" is section string 7 in text form.
    if (section.size() > 1 && section.front() == '#') {
        UINT id = 0;
        auto [end, ec] = std::from_chars(section.data() + 1, section.data() + section.size(), id);
        if (ec == std::errc() && end == section.data() + section.size())
            section = id ? res::String(id) : std::string_view();
    }
    if (section.empty())
        path = s.basePath.empty() ? s.frameworkKey : s.basePath;
    else if (!s.basePath.empty())
        path = s.basePath + "\\" + std::string(section);
    else
        path = "Software\\" + s.frameworkKey + "\\" + s.frameworkApp + "\\" + std::string(section);
}

void RegReadString(std::string& text, UINT sectionId, std::string_view name, HKEY root)
{
    text.clear();
    if (const auto v = Query(root, SectionKey(sectionId), name))
        text = TextFromRegValue(*v).value_or(std::string());
}

void RegWriteString(UINT sectionId, std::string_view name, std::string_view text, HKEY root)
{
    std::string bytes(text);
    bytes.push_back('\0');
    Store(root, SectionKey(sectionId), name, REG_SZ, bytes.data(), bytes.size());
}

void RegReadStringById(std::string& text, UINT sectionId, UINT nameId, HKEY root)
{
    RegReadString(text, sectionId, res::String(nameId), root);
}

void RegWriteStringById(UINT sectionId, UINT nameId, std::string_view text, HKEY root)
{
    RegWriteString(sectionId, res::String(nameId), text, root);
}

int RegReadInt(UINT sectionId, std::string_view name, int defaultValue, HKEY root)
{
    const auto v = Query(root, SectionKey(sectionId), name);
    return v ? IntFromRegValue(*v).value_or(defaultValue) : defaultValue;
}

void RegWriteInt(UINT sectionId, std::string_view name, int value, HKEY root)
{
    std::vector<uint8_t> b = Pack({value});
    Store(root, SectionKey(sectionId), name, REG_DWORD, b.data(), b.size());
}

BOOL RegReadBinary(UINT sectionId, std::string_view name, void* buffer, size_t size)
{
    const auto v = Query(0, SectionKey(sectionId), name);
    return v && BinaryFromRegValue(*v, std::span(static_cast<uint8_t*>(buffer), size)) ? TRUE : FALSE;
}

void RegWriteBinary(UINT sectionId, std::string_view name, const void* buffer, size_t size)
{
    Store(0, SectionKey(sectionId), name, REG_BINARY, buffer, size);
}

BOOL RegReadRect(UINT sectionId, UINT nameId, RECT& rect)
{
    return ReadRect(SectionKey(sectionId), res::String(nameId), rect);
}

void RegWriteRect(UINT sectionId, UINT nameId, const RECT& rect)
{
    WriteRect(SectionKey(sectionId), res::String(nameId), rect);
}

BOOL RegReadRectAt(std::string_view section, std::string_view name, RECT& rect)
{
    return ReadRect(SectionKey(section), name, rect);
}

void RegWriteRectAt(std::string_view section, std::string_view name, const RECT& rect)
{
    WriteRect(SectionKey(section), name, rect);
}

void RegSaveWindowRect(QWidget* wnd, UINT sectionId, UINT nameId)
{
    if (wnd)
        RegWriteRect(sectionId, nameId, ScreenRect(wnd));
}

void RegSaveWindowRectAt(QWidget* wnd, std::string_view section, std::string_view name)
{
    if (wnd)
        RegWriteRectAt(section, name, ScreenRect(wnd));
}

BOOL RegRestoreWindowPos(QWidget* wnd, UINT sectionId, UINT nameId)
{
    RECT rect;
    if (!wnd || !RegReadRect(sectionId, nameId, rect) || !IsRectOnDisplay(rect))
        return FALSE;
    QPoint topLeft(rect.left, rect.top);
    if (!wnd->isWindow() && wnd->parentWidget())
        topLeft = wnd->parentWidget()->mapFromGlobal(topLeft);
    wnd->move(topLeft);
    wnd->update();
    return TRUE;
}

std::optional<std::string> TextFromRegValue(const RegValue& value)
{
    if (value.type != REG_SZ)
        return std::nullopt;
    // Stored with its terminating zero; the text ends at the first one.
    ByteReader r(value.data);
    if (const std::optional<std::string_view> text = r.ZString())
        return std::string(*text);
    return std::string(value.data.begin(), value.data.end());
}

std::optional<int32_t> IntFromRegValue(const RegValue& value)
{
    ByteReader r(value.data);
    if (value.type != REG_DWORD || !r.Require(r.Size() == 4))
        return std::nullopt;
    return r.I32();
}

bool BinaryFromRegValue(const RegValue& value, std::span<uint8_t> buffer)
{
    if (value.type != REG_BINARY || value.data.size() > buffer.size())
        return false;
    std::copy(value.data.begin(), value.data.end(), buffer.begin());
    return true;
}

std::optional<RECT> RectFromRegValue(const RegValue& value)
{
    // Only a whole rectangle counts: a shorter block would leave fields unset.
    ByteReader r(value.data);
    if (value.type != REG_BINARY || !r.Require(r.Size() == kRectBytes))
        return std::nullopt;
    RECT rect;
    for (LONG* field : {&rect.left, &rect.top, &rect.right, &rect.bottom})
        *field = r.I32().value_or(0);
    return rect;
}

BOOL IsRectOnDisplay(const RECT& rect)
{
    // Compared, not subtracted: stored corners may be anywhere in 32 bits.
    const CRect r(rect);
    if (r.right <= r.left || r.bottom <= r.top)
        return FALSE;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return FALSE;
    const QRect g = screen->geometry();
    CRect display(g.left(), g.top(), g.left() + g.width(), g.top() + g.height());
    CRect meet;
    return meet.IntersectRect(r, display) ? TRUE : FALSE;
}
