// A temporary folder for one test, removed with everything in it when the test ends; and a
// scope in which the program believes its executable lives there (settings, log, help page).
#pragma once

#include <filesystem>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

class ScopedModulePath {
public:
    // The executable appears as <folder>/<name>.
    ScopedModulePath(const TempDir& folder, const std::string& name = "Quenlar");
    ~ScopedModulePath();
    ScopedModulePath(const ScopedModulePath&) = delete;
    ScopedModulePath& operator=(const ScopedModulePath&) = delete;
};
