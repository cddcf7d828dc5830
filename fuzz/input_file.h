#pragma once

// For parsers that read by path: the input written to a file of this process.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

// The path of the file now holding the input, or empty when it could not be written.
inline std::string WriteInputFile(const char* name, const uint8_t* data, size_t size)
{
    static const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::string path = (folder / (std::string(name) + "." + std::to_string(getpid()))).string();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written ? path : std::string();
}
