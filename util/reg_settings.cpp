#include "util/reg_settings.h"

#include "platform/archive.h"
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

void Unpack(const std::vector<uint8_t>& bytes, std::initializer_list<LONG*> fields)
{
    CMemFile file(bytes.data(), bytes.size());
    CArchive ar(&file, CArchive::load);
    for (LONG* v : fields)
        ar >> *v;
}

BOOL ReadRect(const std::string& key, std::string_view name, RECT& rect)
{
    // Only a whole rectangle counts: a shorter block would leave fields unset.
    auto v = Query(0, key, name);
    if (!v || v->type != REG_BINARY || v->data.size() != 16)
        return FALSE;
    Unpack(v->data, {&rect.left, &rect.top, &rect.right, &rect.bottom});
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
    auto v = Query(root, SectionKey(sectionId), name);
    if (!v || v->type != REG_SZ)
        return;
    // Stored with its terminating zero; the text ends at the first one.
    const auto* p = reinterpret_cast<const char*>(v->data.data());
    text.assign(p, std::find(p, p + v->data.size(), '\0'));
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
    auto v = Query(root, SectionKey(sectionId), name);
    if (!v || v->type != REG_DWORD || v->data.size() != 4)
        return defaultValue;
    LONG value = 0;
    Unpack(v->data, {&value});
    return value;
}

void RegWriteInt(UINT sectionId, std::string_view name, int value, HKEY root)
{
    std::vector<uint8_t> b = Pack({value});
    Store(root, SectionKey(sectionId), name, REG_DWORD, b.data(), b.size());
}

BOOL RegReadBinary(UINT sectionId, std::string_view name, void* buffer, size_t size)
{
    auto v = Query(0, SectionKey(sectionId), name);
    if (!v || v->type != REG_BINARY || v->data.size() > size)
        return FALSE;
    if (!v->data.empty())
        std::memcpy(buffer, v->data.data(), v->data.size());
    return TRUE;
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
