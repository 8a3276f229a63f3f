#pragma once
// A home of the test program's own, so that neither it nor the programs it starts (nor Qt,
// fontconfig or SANE underneath) read or write the user's folders and sockets.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/test_pictures.h"

namespace lumavex::test {

/// Points HOME, the XDG folders, XDG_RUNTIME_DIR (mode 0700) and TMPDIR into a fresh folder,
/// removed with everything in it at the end. Make one first thing in main(), before anything
/// reads them; processes the tests start inherit it.
class PrivateEnvironment {
public:
    PrivateEnvironment()
    {
        const struct {
            const char* variable;
            const char* folder;
        } folders[] = {
            {"HOME", "home"},
            {"XDG_CONFIG_HOME", "home/.config"},
            {"XDG_CACHE_HOME", "home/.cache"},
            {"XDG_DATA_HOME", "home/.local/share"},
            {"XDG_STATE_HOME", "home/.local/state"},
            {"XDG_RUNTIME_DIR", "runtime"},
            {"TMPDIR", "tmp"},
        };
        for (const auto& f : folders) {
            const std::filesystem::path path = m_root.path() / f.folder;
            std::filesystem::create_directories(path);
            if (::setenv(f.variable, path.c_str(), 1) != 0)
                throw std::runtime_error("setenv failed");
        }
        std::filesystem::permissions(m_root.path() / "runtime", std::filesystem::perms::owner_all);
    }
    PrivateEnvironment(const PrivateEnvironment&) = delete;
    PrivateEnvironment& operator=(const PrivateEnvironment&) = delete;

    const std::filesystem::path& root() const { return m_root.path(); }

private:
    TempDir m_root;
};

}  // namespace lumavex::test
