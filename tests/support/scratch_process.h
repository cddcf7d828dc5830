#pragma once

#include <QProcessEnvironment>

#include <filesystem>

namespace qrtest {

// The environment for a program a test starts: its runtime, settings, data,
// cache and home folders under dir ("rt", "config", "data", "cache", "home",
// made by the caller) and no display.
inline QProcessEnvironment ScratchProcessEnvironment(const std::filesystem::path& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString((dir / "rt").string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((dir / "config").string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
    env.insert("XDG_CACHE_HOME", QString::fromStdString((dir / "cache").string()));
    env.insert("HOME", QString::fromStdString((dir / "home").string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

} // namespace qrtest
