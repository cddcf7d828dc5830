#include "platform/registry.h"

#include "platform/archive.h"

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

// Hive file, all numbers little-endian:
//   "QRHV", u32 version (1), u32 key count,
//   per key:   u32 path length, path bytes, u32 value count,
//   per value: u32 name length, name bytes, u32 type, u64 data length, data,
//   u32 CRC-32 of every byte before it.
namespace {

constexpr char kMagic[4] = {'Q', 'R', 'H', 'V'};
constexpr uint32_t kVersion = 1;
// Smallest sizes on disk, to bound counts by the bytes left before allocating.
constexpr uint64_t kMinKeyBytes = 4 + 4;
constexpr uint64_t kMinValueBytes = 4 + 4 + 8;

const std::array<uint32_t, 256>& CrcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

} // namespace

uint32_t RegHive::Checksum(const uint8_t* data, size_t size)
{
    const auto& t = CrcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = t[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

namespace {

std::string Fold(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

void WriteBytes(CArchive& ar, std::string_view s)
{
    ar << static_cast<uint32_t>(s.size());
    ar.Write(s.data(), s.size());
}

std::string ReadName(CArchive& ar)
{
    uint32_t len = 0;
    ar >> len;
    if (len > ar.RemainingBytes())
        throw CArchiveException(CArchiveException::badIndex);
    std::string s(len, '\0');
    ar.ReadExact(s.data(), len);
    return s;
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

bool WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Moves a damaged hive file to "<name>.damaged-<time>" without replacing an
// earlier damaged copy, so whatever was in it can still be looked at.
void KeepAside(const std::filesystem::path& file)
{
    char stamp[32];
    time_t now = time(nullptr);
    tm t{};
    localtime_r(&now, &t);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &t);
    for (int i = 0; i < 1000; ++i) {
        std::string name = file.string() + ".damaged-" + stamp;
        if (i > 0)
            name += "-" + std::to_string(i);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0)
            return;
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system without no-replace renames: check, then rename.
            struct stat st;
            if (::lstat(name.c_str(), &st) == 0)
                continue;
            ::rename(file.c_str(), name.c_str());
            return;
        }
        if (errno != EEXIST)
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
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        ar.Write(kMagic, sizeof kMagic);
        ar << kVersion;
        ar << static_cast<uint32_t>(m_keys.size());
        for (const auto& [folded, key] : m_keys) {
            WriteBytes(ar, key.path);
            ar << static_cast<uint32_t>(key.values.size());
            for (const auto& [vfolded, v] : key.values) {
                WriteBytes(ar, v.name);
                ar << v.value.type;
                ar << static_cast<uint64_t>(v.value.data.size());
                ar.Write(v.value.data.data(), v.value.data.size());
            }
        }
    }
    std::vector<uint8_t> bytes = file.Detach();
    uint32_t crc = Checksum(bytes.data(), bytes.size());
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    return bytes;
}

bool RegHive::Parse(const uint8_t* data, size_t size, RegHive& out)
{
    if (size < sizeof kMagic + 4 + 4 + 4 || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    const size_t body = size - 4;
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i)
        stored |= static_cast<uint32_t>(data[body + i]) << (8 * i);
    if (stored != Checksum(data, body))
        return false;

    RegHive hive;
    try {
        CMemFile file(data + sizeof kMagic, body - sizeof kMagic);
        CArchive ar(&file, CArchive::load);
        uint32_t version = 0, keyCount = 0;
        ar >> version >> keyCount;
        if (version != kVersion || keyCount > ar.RemainingBytes() / kMinKeyBytes)
            return false;
        for (uint32_t k = 0; k < keyCount; ++k) {
            std::string path = ReadName(ar);
            if (path != NormalizeKeyPath(path))
                return false;
            auto [it, added] = hive.m_keys.try_emplace(Fold(path));
            if (!added)
                return false;
            it->second.path = path;
            uint32_t valueCount = 0;
            ar >> valueCount;
            if (valueCount > ar.RemainingBytes() / kMinValueBytes)
                return false;
            for (uint32_t v = 0; v < valueCount; ++v) {
                std::string name = ReadName(ar);
                Value value{name, {}};
                uint64_t length = 0;
                ar >> value.value.type >> length;
                if (length > ar.RemainingBytes())
                    return false;
                value.value.data.resize(static_cast<size_t>(length));
                ar.ReadExact(value.value.data.data(), value.value.data.size());
                if (!it->second.values.try_emplace(Fold(name), std::move(value)).second)
                    return false;
            }
        }
        if (ar.RemainingBytes() != 0)
            return false;
    } catch (const CException&) {
        return false;
    }
    out = std::move(hive);
    return true;
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

void CRegistryStore::Refresh(Hive& hive, bool locked)
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
    if (!ReadWholeFile(hive.file, bytes, st, err)) {
        // Missing or unreadable: no values, and nothing to keep aside.
        hive.contents = RegHive();
        hive.stamp = Stamp();
        if (err != ENOENT) {
            // Unreadable but present: look again next time.
            hive.loaded = false;
            return;
        }
        hive.loaded = true;
        hive.loadedAt = startedAt;
        return;
    }
    Stamp read{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    RegHive parsed;
    if (RegHive::Parse(bytes.data(), bytes.size(), parsed)) {
        hive.contents = std::move(parsed);
        hive.stamp = read;
        hive.loaded = true;
        hive.loadedAt = startedAt;
        return;
    }
    if (!locked) {
        // Another process may be replacing the file right now: decide under the lock.
        HiveLock lock(hive.file);
        if (lock.held()) {
            hive.loaded = false;
            Refresh(hive, true);
            return;
        }
    }
    KeepAside(hive.file);
    hive.contents = RegHive();
    hive.stamp = Stamp();
    hive.loaded = true;
    hive.loadedAt = startedAt;
}

bool CRegistryStore::Write(Hive& hive, const RegHive& contents)
{
    std::vector<uint8_t> bytes = contents.Serialize();
    std::string pattern = hive.file.string() + ".tmp-XXXXXX";
    Fd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    struct stat st;
    bool ok = ::fchmod(fd.get(), 0644) == 0 && WriteAll(fd.get(), bytes.data(), bytes.size()) &&
              ::fsync(fd.get()) == 0 && ::fstat(fd.get(), &st) == 0;
    fd.Reset();
    if (!ok || ::rename(pattern.c_str(), hive.file.c_str()) != 0) {
        ::unlink(pattern.c_str());
        return false;
    }
    hive.contents = contents;
    hive.stamp = Stamp{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
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
    Refresh(*hive, false);
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
    Refresh(*hive, true);
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
