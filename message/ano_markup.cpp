#include "message/ano_markup.h"

#include "platform/archive.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/wave_riff.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The scan consumes the text from the front, as the format is forgiving:
// anything between tags is ignored.
class Scanner {
public:
    explicit Scanner(std::string_view text) : m_rest(text) {}

    void SkipTo(std::string_view what)
    {
        size_t at = m_rest.find(what);
        if (at != std::string_view::npos)
            m_rest.remove_prefix(at);
    }

    // Drops everything up to and including the next '<'; false when there is none.
    bool NextTag()
    {
        size_t at = m_rest.find('<');
        if (at == std::string_view::npos)
            return false;
        m_rest.remove_prefix(at + 1);
        return true;
    }

    // The tag word ends at a blank (consumed) or '>' (left for the attributes).
    std::string_view TagWord()
    {
        size_t end = 0;
        while (end < m_rest.size() && !IsBlank(m_rest[end]) && m_rest[end] != '>')
            ++end;
        std::string_view word = m_rest.substr(0, end);
        m_rest.remove_prefix(end < m_rest.size() && IsBlank(m_rest[end]) ? end + 1 : end);
        return word;
    }

    // Reads key="value" pairs until a key comes back empty (at '>' or "/>").
    template <typename F>
    void Attributes(F&& onPair)
    {
        for (;;) {
            while (!m_rest.empty() && IsBlank(m_rest.front()))
                m_rest.remove_prefix(1);
            size_t end = m_rest.find_first_of("=>");
            std::string_view key = m_rest.substr(0, end);
            if (end == std::string_view::npos)
                m_rest = {};
            else
                m_rest.remove_prefix(m_rest[end] == '=' ? end + 1 : end);
            while (!key.empty() && IsBlank(key.back()))
                key.remove_suffix(1);
            if (key.empty() || key == "/")
                return;
            std::string_view value;
            if (!m_rest.empty() && m_rest.front() == '"') {
                m_rest.remove_prefix(1);
                size_t close = m_rest.find_first_of("\">");
                value = m_rest.substr(0, close);
                if (close == std::string_view::npos)
                    m_rest = {};
                else
                    m_rest.remove_prefix(m_rest[close] == '"' ? close + 1 : close);
            }
            onPair(key, value);
        }
    }

private:
    std::string_view m_rest;
};

// Two decimal numbers separated by blanks; false when fewer than two are there.
bool ParsePair(std::string_view text, int64_t& a, int64_t& b)
{
    int64_t out[2];
    size_t i = 0;
    for (int64_t& v : out) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            negative = text[i++] == '-';
        size_t start = i;
        int64_t n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            n = n * 10 + (text[i] - '0');
            if (n > INT32_MAX)
                return false;
            ++i;
        }
        if (i == start)
            return false;
        v = negative ? -n : n;
    }
    a = out[0];
    b = out[1];
    return true;
}

bool FitsLong(int64_t v)
{
    return v >= INT32_MIN && v <= INT32_MAX;
}

// The canonical form of an existing regular file inside root; empty otherwise.
std::string ConfinedFile(const fs::path& root, const fs::path& candidate)
{
    std::error_code ec;
    fs::path canonRoot = fs::canonical(root, ec);
    if (ec)
        return {};
    fs::path canonFile = fs::canonical(candidate, ec);
    if (ec || !fs::is_regular_file(canonFile, ec))
        return {};
    auto [rootEnd, fileIt] = std::mismatch(canonRoot.begin(), canonRoot.end(), canonFile.begin(), canonFile.end());
    if (rootEnd != canonRoot.end() || fileIt == canonFile.end())
        return {};
    return canonFile.string();
}

std::vector<std::string_view> SplitComponents(std::string_view s)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find('/', start);
        if (end == std::string_view::npos)
            end = s.size();
        std::string_view part = s.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

} // namespace

bool IsAnnotationTextFile(std::string_view path)
{
    if (!EqualsNoCase(ExtensionOf(path), "TXT"))
        return false;
    const std::string stem = StemOf(path);
    if (stem.compare(0, 3, "ANN") != 0)
        return false;
    return EqualsNoCase(LastNameOf(ParentFolderOf(path)), stem);
}

std::string CAnoMarkup::ResolveReference(const std::string& root, std::string_view reference)
{
    std::vector<std::string_view> ref = SplitComponents(reference);
    if (ref.empty() || reference.find('\\') != std::string_view::npos)
        return {};
    // Up-level steps are refused outright; the canonical check below also
    // catches links that lead out of the root.
    if (std::find(ref.begin(), ref.end(), std::string_view("..")) != ref.end())
        return {};
    // Cards name files from their own top, which may repeat the end of the
    // root's path ("MISC/x.wav" with the root ".../MISC"): drop that repeat.
    std::vector<std::string_view> rootParts = SplitComponents(root);
    size_t maxRepeat = std::min(rootParts.size(), ref.size() - 1);
    for (size_t k = maxRepeat; k > 0; --k) {
        bool same = true;
        for (size_t i = 0; i < k && same; ++i)
            same = EqualsNoCase(ref[i], rootParts[rootParts.size() - k + i]);
        if (same) {
            fs::path direct = fs::path(root);
            for (std::string_view p : ref)
                direct /= std::string(p);
            std::error_code ec;
            if (fs::exists(direct, ec))
                break; // the reference is meant as written
            ref.erase(ref.begin(), ref.begin() + static_cast<std::ptrdiff_t>(k));
            break;
        }
    }
    fs::path candidate(root);
    for (std::string_view p : ref)
        candidate /= std::string(p);
    return ConfinedFile(root, candidate);
}

bool CAnoMarkup::IsAcceptableSoundFile(const std::string& path)
{
    // Checked as the sound will be read when the comment plays, so that a
    // link to a file that only begins like a sound gives no comment.
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    try {
        const uint64_t length = file.GetLength();
        if (length > CAnoRecord::kMaxAttachmentBytes)
            return false;
        const std::vector<uint8_t> bytes = file.ReadUpTo(length);
        WaveRiff riff;
        return bytes.size() == length && ReadWaveRiff(bytes, riff);
    } catch (const CException&) {
        return false;
    }
}

bool CAnoMarkup::Parse(const std::string& filePath, std::string text)
{
    m_strFilePath = filePath;
    m_strText = std::move(text);
    m_kinds.clear();
    m_areas.clear();
    m_paths.clear();
    m_strMainImage.clear();
    m_strAnnoFolder = ParentFolderOf(m_strFilePath);
    m_strRootFolder = ParentFolderOf(m_strAnnoFolder);

    Scanner scan(m_strText);
    scan.SkipTo("<Annotation");
    CRect area; // entries before any posLink get an empty area
    while (scan.NextTag()) {
        std::string_view word = scan.TagWord();
        if (word == "/Annotation")
            break;
        if (word == "Annotation") {
            scan.Attributes([&](std::string_view key, std::string_view value) {
                if (key != "mainImage")
                    return;
                const std::string name = LastNameOf(value);
                m_strMainImage.clear();
                if (!name.empty() && name != "." && name != "..")
                    m_strMainImage = ConfinedFile(m_strRootFolder, fs::path(m_strRootFolder) / std::string(name));
            });
        } else if (word == "posLink") {
            std::string_view position, size;
            scan.Attributes([&](std::string_view key, std::string_view value) {
                if (key == "position")
                    position = value;
                else if (key == "areaSize")
                    size = value;
            });
            int64_t x, y, w, h;
            if (!ParsePair(position, x, y) || !ParsePair(size, w, h) || !FitsLong(x + w) || !FitsLong(y + h))
                return false;
            area = CRect(static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + w), static_cast<LONG>(y + h));
        } else if (word == "linkedImg" || word == "linkedSnd") {
            const bool isSound = word == "linkedSnd";
            std::string_view source;
            scan.Attributes([&](std::string_view key, std::string_view value) {
                if (key == "source")
                    source = value;
            });
            std::string path = ResolveReference(m_strRootFolder, source);
            if (path.empty() || (isSound && !IsAcceptableSoundFile(path)))
                continue; // a link that cannot be followed gives no comment
            m_kinds.push_back(isSound ? sound : image);
            m_areas.push_back(area);
            m_paths.push_back(std::move(path));
        }
    }
    return true;
}

bool CAnoMarkup::Load(CFile& file)
{
    m_nError = loadUnreadable;
    std::string path = file.GetFilePath();
    uint64_t length = file.GetLength();
    if (length > kMaxMarkupBytes)
        return false;
    std::string text(static_cast<size_t>(length), '\0');
    file.SeekToBegin();
    if (file.Read(text.data(), text.size()) != text.size())
        return false;
    text.resize(std::strlen(text.c_str()));
    m_nError = loadMalformed;
    if (!Parse(path, std::move(text)))
        return false;
    // A message without its photograph is no message: refuse rather than open empty.
    m_nError = m_strMainImage.empty() ? loadNoMainPicture : loadOk;
    return m_nError == loadOk;
}

bool CAnoMarkup::Load(CArchive& ar)
{
    return Load(*ar.GetFile());
}
