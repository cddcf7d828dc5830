#pragma once

#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace qrtest {

// ALSA as a test sees it while this object lives: a configuration of its own
// (ALSA_CONFIG_PATH), no sound card, in which the "default" device plays
// into played.raw and records from input.raw (the bytes given, then what the
// device had before: compare a recording's front), and the device "other"
// plays into other.raw. Both sides pass whatever format they are given
// through unchanged. The environment is put back when it goes.
class AlsaTestDevice {
public:
    explicit AlsaTestDevice(const std::vector<unsigned char>& input = {})
    {
        WriteBytes(m_dir / "input.raw", input);
        const std::string dir = m_dir.path().string();
        std::ofstream(m_dir / "asoundrc") << "pcm.qr_null { type null }\n"
                                             "pcm.qr_play { type file slave.pcm \"qr_null\" file \""
                                          << dir << "/played.raw\" format raw }\n"
                                          << "pcm.qr_record { type file slave.pcm \"qr_null\" file \"" << dir
                                          << "/recorded.raw\" infile \"" << dir << "/input.raw\" format raw }\n"
                                          << "pcm.!default { type asym playback.pcm \"qr_play\" capture.pcm "
                                             "\"qr_record\" }\n"
                                          << "pcm.other { type file slave.pcm \"qr_null\" file \"" << dir
                                          << "/other.raw\" format raw }\n";
        if (const char* old = std::getenv("ALSA_CONFIG_PATH"))
            m_old = old;
        setenv("ALSA_CONFIG_PATH", (m_dir / "asoundrc").c_str(), 1);
    }
    ~AlsaTestDevice()
    {
        if (m_old)
            setenv("ALSA_CONFIG_PATH", m_old->c_str(), 1);
        else
            unsetenv("ALSA_CONFIG_PATH");
    }
    AlsaTestDevice(const AlsaTestDevice&) = delete;
    AlsaTestDevice& operator=(const AlsaTestDevice&) = delete;

    // What the device has played so far (empty when nothing).
    std::vector<unsigned char> Played(const std::string& name = "played.raw") const
    {
        std::error_code ec;
        if (!std::filesystem::exists(m_dir / name, ec))
            return {};
        return ReadBytes(m_dir / name);
    }
    const std::filesystem::path& Folder() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::optional<std::string> m_old;
};

} // namespace qrtest
