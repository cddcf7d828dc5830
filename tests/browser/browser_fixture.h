#pragma once

// A fresh item store for each test: its own cache folder and settings hive,
// the program's own importer plug-ins, and everything given back afterwards.
#include "browser/file_item_store.h"
#include "browser/thumbnail_cache.h"
#include "imaging/jpeg_codec.h"
#include "platform/registry.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qrtest {

inline const std::string kHome = std::string(QR_BIN_DIR) + "/";
inline const std::string kExporters = std::string(QR_BIN_DIR) + "/Exporter/*.gex";

// A w x h JPEG of one colour (blue, green, red), with an APP1 block when given.
inline std::vector<uint8_t> JpegBytes(int w, int h, uint8_t b = 90, uint8_t g = 120, uint8_t r = 150,
                                      const std::vector<uint8_t>& app1 = {})
{
    const size_t stride = static_cast<size_t>(w) * 3;
    std::vector<uint8_t> rows(stride * static_cast<size_t>(h));
    for (size_t i = 0; i < rows.size(); i += 3) {
        rows[i] = b;
        rows[i + 1] = g;
        rows[i + 2] = r;
    }
    std::vector<uint8_t> out;
    size_t n = 0;
    JpegEncode(rows.data(), 11, false, w, h, 90, 72, 72, 0, app1.empty() ? nullptr : app1.data(), app1.size(), nullptr,
               0, out, &n, nullptr, stride);
    return out;
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_registry = std::make_unique<CRegistryStore>(m_dir / "reg", m_dir / "reg");
        SetRegistryStore(m_registry.get());
        std::filesystem::create_directories(m_dir / "pics");
        InitFileItemStore(Cache().string(), kHome);
    }
    void TearDown() override
    {
        ExitFileItemStore();
        SetMaxThumbnailFileBytes(kMaxThumbnailFileBytes);
        SetMaxVerifiedJpegBytes(kMaxVerifiedJpegBytes);
        SetRegistryStore(nullptr);
    }

    std::filesystem::path Cache() const { return m_dir / "cache"; }
    std::filesystem::path Pics() const { return m_dir / "pics"; }
    std::string Pic(const std::string& name) const { return (Pics() / name).string(); }
    std::string Jpeg(const std::string& name, int w = 64, int h = 48, uint8_t r = 150) const
    {
        WriteBytes(Pics() / name, JpegBytes(w, h, 90, 120, r));
        return Pic(name);
    }
    // A store of items for the paths, in slots 0.., as a scan leaves it.
    void Fill(const std::vector<std::string>& paths)
    {
        PrepareThumbnailList(static_cast<int>(paths.size()));
        for (size_t i = 0; i < paths.size(); ++i)
            CreateFileItemAt(static_cast<int>(i), paths[i]);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < GetFileItemCount(); ++i)
            names.push_back(GetItemFileName(i));
        return names;
    }

    TempDir m_dir;
    std::unique_ptr<CRegistryStore> m_registry;
};

} // namespace qrtest
