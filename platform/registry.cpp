#include "platform/registry.h"

#include "platform/replace_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The hive file is text, a value a line (see RegHive::Serialize).
namespace {

constexpr char kHeader[] = "# Quiram settings: key path, value name, type, value; tab-separated, %XX escapes\n";
constexpr std::string_view kString = "string";
constexpr std::string_view kDword = "dword";
constexpr std::string_view kBinary = "binary";
constexpr std::string_view kHexPrefix = "hex:";
// A larger hive is not one this store wrote: it is not read.
constexpr uint64_t kMaxHiveBytes = uint64_t(64) << 20;
constexpr char kLowerHex[] = "0123456789abcdef";
constexpr char kUpperHex[] = "0123456789ABCDEF";

// Paths, names and texts: the bytes that would end a field or a line, or
// start an escape or a comment, become "%XX".
void AppendEscaped(std::string& out, std::string_view s, bool startsLine)
{
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F || c == '%' || (startsLine && i == 0 && c == '#')) {
            out += '%';
            out += kUpperHex[c >> 4];
            out += kUpperHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

void AppendHex(std::string& out, const std::vector<uint8_t>& bytes)
{
    for (uint8_t b : bytes) {
        out += kLowerHex[b >> 4];
        out += kLowerHex[b & 15];
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view s, std::string& out)
{
    out.clear();
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F)
            return false;
        if (c != '%') {
            out += static_cast<char>(c);
            continue;
        }
        if (s.size() - i < 3)
            return false;
        const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool ParseHex(std::string_view s, std::vector<uint8_t>& out)
{
    if (s.size() % 2 != 0)
        return false;
    out.resize(s.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = HexDigit(s[2 * i]), lo = HexDigit(s[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

// A decimal number of at most 32 bits: digits only, no sign or spaces.
bool ParseDecimal(std::string_view s, uint32_t& out)
{
    if (s.empty() || s.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

// One line's value from its type and value fields.
bool ParseValue(std::string_view type, std::string_view text, RegValue& value)
{
    if (type == kString) {
        std::string s;
        if (!Unescape(text, s))
            return false;
        value.type = REG_SZ;
        value.data.assign(s.begin(), s.end());
        value.data.push_back(0);
        return true;
    }
    if (type == kDword) {
        uint32_t n = 0;
        if (!ParseDecimal(text, n))
            return false;
        value.type = REG_DWORD;
        value.data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        return true;
    }
    if (type == kBinary) {
        value.type = REG_BINARY;
        return ParseHex(text, value.data);
    }
    if (type.starts_with(kHexPrefix)) {
        value.type = 0;
        return ParseDecimal(type.substr(kHexPrefix.size()), value.type) && ParseHex(text, value.data);
    }
    return false;
}

void AppendValue(std::string& out, const RegValue& value)
{
    const auto& d = value.data;
    if (value.type == REG_SZ && !d.empty() && d.back() == 0) {
        out += kString;
        out += '\t';
        AppendEscaped(out, std::string_view(reinterpret_cast<const char*>(d.data()), d.size() - 1), false);
    } else if (value.type == REG_DWORD && d.size() == 4) {
        out += kDword;
        out += '\t';
        out += std::to_string(uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24);
    } else if (value.type == REG_BINARY) {
        out += kBinary;
        out += '\t';
        AppendHex(out, d);
    } else {
        // Any other type, or a text without its zero, a number of another size.
        out += kHexPrefix;
        out += std::to_string(value.type);
        out += '\t';
        AppendHex(out, d);
    }
}

std::string Fold(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

timespec Now()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return t;
}

// Closes a descriptor when the scope ends.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void Reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// The whole file, with the stamp of what was read.
bool ReadWholeFile(const std::filesystem::path& file, std::vector<uint8_t>& out, struct stat& st, int& err)
{
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        err = errno;
        return false;
    }
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        err = EINVAL;
        return false;
    }
    out.clear();
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        if (n == 0)
            break;
        out.insert(out.end(), buf, buf + n);
    }
    err = 0;
    return true;
}

// Keeps the damaged hive file's bytes under "<name>.damaged-<time>", never
// replacing an earlier damaged copy, so that a person can still mend what
// could not be read. The file itself stays until the writer replaces it.
void KeepAside(const std::filesystem::path& file)
{
    char stamp[32];
    time_t now = time(nullptr);
    tm t{};
    localtime_r(&now, &t);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &t);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 1000; ++i) {
        std::string name = file.string() + ".damaged-" + stamp;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// GCC 12 sees an overlap in its own string concatenation that cannot happen.
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
        if (i > 0)
            name += "-" + std::to_string(i);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
        // A second name for the same bytes: no copy, and no name replaced.
        if (::link(file.c_str(), name.c_str()) == 0)
            return;
        if (errno == EEXIST)
            continue;
        // A file system without hard links gets a copy.
        struct stat st;
        if (::lstat(name.c_str(), &st) == 0)
            continue;
        int err = 0;
        if (!ReadWholeFile(file, bytes, st, err))
            return;
        try {
            ReplaceFileContents(name, bytes);
        } catch (const CFileException&) {
        }
        return;
    }
}

} // namespace

// ---- RegHive ----------------------------------------------------------------

std::string RegHive::NormalizeKeyPath(std::string_view path)
{
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return std::string(path);
}

const RegValue* RegHive::Find(std::string_view keyPath, std::string_view name) const
{
    auto k = m_keys.find(Fold(NormalizeKeyPath(keyPath)));
    if (k == m_keys.end())
        return nullptr;
    auto v = k->second.values.find(Fold(name));
    return v == k->second.values.end() ? nullptr : &v->second.value;
}

void RegHive::Set(std::string_view keyPath, std::string_view name, RegValue value)
{
    std::string path = NormalizeKeyPath(keyPath);
    Key& key = m_keys[Fold(path)];
    if (key.path.empty())
        key.path = path;
    Value& v = key.values[Fold(name)];
    if (v.name.empty())
        v.name = std::string(name);
    v.value = std::move(value);
}

bool RegHive::operator==(const RegHive& o) const
{
    if (m_keys.size() != o.m_keys.size())
        return false;
    for (auto a = m_keys.begin(), b = o.m_keys.begin(); a != m_keys.end(); ++a, ++b) {
        if (a->first != b->first || a->second.path != b->second.path ||
            a->second.values.size() != b->second.values.size())
            return false;
        for (auto x = a->second.values.begin(), y = b->second.values.begin(); x != a->second.values.end(); ++x, ++y)
            if (x->first != y->first || x->second.name != y->second.name || !(x->second.value == y->second.value))
                return false;
    }
    return true;
}

std::vector<uint8_t> RegHive::Serialize() const
{
    std::string text = kHeader;
    for (const auto& [folded, key] : m_keys) {
        for (const auto& [vfolded, v] : key.values) {
            AppendEscaped(text, key.path, true);
            text += '\t';
            AppendEscaped(text, v.name, false);
            text += '\t';
            AppendValue(text, v.value);
            text += '\n';
        }
    }
    return {text.begin(), text.end()};
}

size_t RegHive::Parse(const uint8_t* data, size_t size, RegHive& out)
{
    RegHive hive;
    size_t damaged = 0;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::string path, name;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view line = all.substr(start, end - start);
        start = end + 1;
        // A line mended in an editor that ends lines with CR LF.
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        std::string_view fields[4];
        size_t count = 0, from = 0;
        for (size_t tab; count < 3 && (tab = line.find('\t', from)) != std::string_view::npos; from = tab + 1)
            fields[count++] = line.substr(from, tab - from);
        if (count == 3)
            fields[count++] = line.substr(from);
        RegValue value;
        if (count != 4 || !Unescape(fields[0], path) || !Unescape(fields[1], name) ||
            !ParseValue(fields[2], fields[3], value)) {
            ++damaged;
            continue;
        }
        path = NormalizeKeyPath(path);
        if (hive.Find(path, name)) {
            ++damaged; // the first line of a name holds
            continue;
        }
        hive.Set(path, name, std::move(value));
    }
    out = std::move(hive);
    return damaged;
}

// ---- CRegistryStore ---------------------------------------------------------

bool CRegistryStore::Stamp::Same(const Stamp& o) const
{
    if (exists != o.exists)
        return false;
    return !exists || (dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
                       mtime.tv_nsec == o.mtime.tv_nsec);
}

CRegistryStore::CRegistryStore(std::filesystem::path userFolder, std::filesystem::path machineFolder)
{
    m_user.file = userFolder / "user.hive";
    m_machine.file = machineFolder / "machine.hive";
}

std::filesystem::path CRegistryStore::DefaultUserFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : "/tmp") / ".config";
    }
    return base / "Quiram";
}

std::filesystem::path CRegistryStore::DefaultMachineFolder()
{
    if (::access("/etc", W_OK) == 0)
        return "/etc/Quiram";
    return DefaultUserFolder();
}

std::filesystem::path CRegistryStore::HiveFile(HKEY root) const
{
    if (root == HKEY_CURRENT_USER)
        return m_user.file;
    if (root == HKEY_LOCAL_MACHINE)
        return m_machine.file;
    return {};
}

CRegistryStore::Hive* CRegistryStore::HiveOf(HKEY root)
{
    if (root == HKEY_CURRENT_USER)
        return &m_user;
    if (root == HKEY_LOCAL_MACHINE)
        return &m_machine;
    return nullptr;
}

namespace {

// Holds the hive's lock file under flock for the length of a scope.
class HiveLock {
public:
    explicit HiveLock(const std::filesystem::path& hiveFile)
    {
        std::error_code ec;
        std::filesystem::create_directories(hiveFile.parent_path(), ec);
        std::string lockName = hiveFile.string() + ".lock";
        m_fd = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~HiveLock()
    {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace

void CRegistryStore::Refresh(Hive& hive)
{
    Stamp now;
    struct stat st;
    if (::stat(hive.file.c_str(), &st) == 0) {
        now.exists = true;
        now.dev = st.st_dev;
        now.ino = st.st_ino;
        now.size = st.st_size;
        now.mtime = st.st_mtim;
    }
    if (hive.loaded && now.Same(hive.stamp)) {
        // A file replaced within one tick of the file system's clock can keep
        // size and time (and even reuse the inode): trust the stamp only once
        // the file is clearly older than our last look at it.
        if (!now.exists || hive.loadedAt.tv_sec - hive.stamp.mtime.tv_sec >= 2)
            return;
    }

    timespec startedAt = Now();
    std::vector<uint8_t> bytes;
    int err = 0;
    if (now.exists && static_cast<uint64_t>(now.size) > kMaxHiveBytes) {
        // Not a hive of ours: no values, and it is kept aside when replaced.
        hive.contents = RegHive();
        hive.stamp = now;
        hive.damaged = true;
        hive.loaded = true;
        hive.loadedAt = startedAt;
        return;
    }
    if (!ReadWholeFile(hive.file, bytes, st, err)) {
        // Missing or unreadable: no values.
        hive.contents = RegHive();
        hive.stamp = Stamp();
        hive.damaged = false;
        // Unreadable but present: look again next time.
        hive.loaded = err == ENOENT;
        hive.loadedAt = startedAt;
        return;
    }
    hive.damaged = RegHive::Parse(bytes.data(), bytes.size(), hive.contents) > 0;
    hive.stamp = Stamp{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    hive.loaded = true;
    hive.loadedAt = startedAt;
}

bool CRegistryStore::Write(Hive& hive, const RegHive& contents)
{
    if (hive.damaged)
        KeepAside(hive.file);
    try {
        ReplaceFileContents(hive.file.string(), contents.Serialize());
    } catch (const CFileException&) {
        return false;
    }
    struct stat st {};
    // Under the hive's lock: what is there now is what was written.
    if (::stat(hive.file.c_str(), &st) != 0)
        return false;
    hive.contents = contents;
    hive.stamp = Stamp{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    hive.damaged = false;
    hive.loaded = true;
    hive.loadedAt = Now();
    return true;
}

std::optional<RegValue> CRegistryStore::QueryValue(HKEY root, std::string_view key, std::string_view name)
{
    std::lock_guard guard(m_mutex);
    Hive* hive = HiveOf(root);
    if (!hive)
        return std::nullopt;
    Refresh(*hive);
    const RegValue* v = hive->contents.Find(key, name);
    if (!v)
        return std::nullopt;
    return *v;
}

bool CRegistryStore::SetValue(HKEY root, std::string_view key, std::string_view name, DWORD type, const void* data,
                              size_t size)
{
    std::lock_guard guard(m_mutex);
    Hive* hive = HiveOf(root);
    if (!hive)
        return false;
    HiveLock lock(hive->file);
    if (!lock.held())
        return false;
    // Read what other processes wrote since, so that their values survive ours.
    Refresh(*hive);
    if (!hive->loaded)
        return false; // present but unreadable: never write over what we could not read
    RegHive contents = hive->contents;
    const auto* bytes = static_cast<const uint8_t*>(data);
    contents.Set(key, name, RegValue{type, std::vector<uint8_t>(bytes, bytes + size)});
    return Write(*hive, contents);
}

// ---- the process-wide store -------------------------------------------------

namespace {
std::atomic<CRegistryStore*> g_store{nullptr};
}

CRegistryStore& GetRegistryStore()
{
    if (CRegistryStore* s = g_store.load())
        return *s;
    static CRegistryStore defaultStore(CRegistryStore::DefaultUserFolder(), CRegistryStore::DefaultMachineFolder());
    return defaultStore;
}

void SetRegistryStore(CRegistryStore* store) { g_store.store(store); }
