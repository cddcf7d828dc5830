#pragma once

#include "platform/types.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// The settings store: two hives (current user, machine) of keys with "\"
// paths, each key holding named values of a type and exact bytes. Each hive
// is one text file that a person can read and mend, a value a line; every
// write goes through the file writer under flock, and reads notice when
// another process replaced the file. A damaged line loses its value only: the
// rest is read, and the damaged file is kept aside when it is next replaced.

using HKEY = uint32_t;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

struct RegValue {
    DWORD type = 0;
    std::vector<uint8_t> data;
    bool operator==(const RegValue&) const = default;
};

// The contents of one hive. Key paths and value names compare without regard
// to ASCII case and keep the spelling they were first written with.
class RegHive {
public:
    struct Value {
        std::string name;
        RegValue value;
    };
    struct Key {
        std::string path;
        std::map<std::string, Value> values; // by folded name
    };

    const RegValue* Find(std::string_view keyPath, std::string_view name) const;
    void Set(std::string_view keyPath, std::string_view name, RegValue value);
    bool Empty() const { return m_keys.empty(); }
    const std::map<std::string, Key>& Keys() const { return m_keys; }
    bool operator==(const RegHive& o) const;

    // The file form: a comment line, then a line per value,
    //   key path TAB value name TAB type TAB value
    // with the types "string" (the text of a value that ends in its zero),
    // "dword" (a 4-byte value, as a decimal number), "binary" (hex), and
    // "hex:N" (any other type number N or length, hex). Bytes below 0x20, 0x7F
    // and "%" in paths, names and texts are written as "%XX", and so is a "#"
    // that would start a line, so any bytes come back as they were.
    std::vector<uint8_t> Serialize() const;
    // Reads every well-formed line into out (replacing what it held); blank
    // and "#" lines are skipped. Returns the number of damaged lines: not in
    // the form above, or naming a value an earlier line gave.
    static size_t Parse(const uint8_t* data, size_t size, RegHive& out);

    // "\a\b\" and "a\b" name one key.
    static std::string NormalizeKeyPath(std::string_view path);

private:
    std::map<std::string, Key> m_keys; // by folded path
};

class CRegistryStore {
public:
    // The hive files are "user.hive" in userFolder and "machine.hive" in
    // machineFolder (the two may be one folder). Folders are made on the first write.
    CRegistryStore(std::filesystem::path userFolder, std::filesystem::path machineFolder);
    CRegistryStore(const CRegistryStore&) = delete;
    CRegistryStore& operator=(const CRegistryStore&) = delete;

    // $XDG_CONFIG_HOME/Quiram (or ~/.config/Quiram).
    static std::filesystem::path DefaultUserFolder();
    // /etc/Quiram when /etc is writable, else the user folder.
    static std::filesystem::path DefaultMachineFolder();

    std::filesystem::path HiveFile(HKEY root) const;

    // The value as stored, or nothing when the hive, key or value is missing.
    std::optional<RegValue> QueryValue(HKEY root, std::string_view key, std::string_view name);
    // Creates the key when needed. False when the hive file could not be
    // written; the file on disk is then as it was.
    bool SetValue(HKEY root, std::string_view key, std::string_view name, DWORD type, const void* data, size_t size);

private:
    struct Stamp {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        timespec mtime{};
        bool Same(const Stamp& o) const;
    };
    struct Hive {
        std::filesystem::path file;
        RegHive contents;
        Stamp stamp;
        bool loaded = false;
        timespec loadedAt{};
        bool damaged = false; // the file on disk has lines that were not read
    };

    Hive* HiveOf(HKEY root);
    void Refresh(Hive& hive);
    bool Write(Hive& hive, const RegHive& contents);

    std::mutex m_mutex;
    Hive m_user;
    Hive m_machine;
};

// The process-wide store the program's settings go through. Tests point it
// at a store over temporary folders; nullptr goes back to the default one.
CRegistryStore& GetRegistryStore();
void SetRegistryStore(CRegistryStore* store);
