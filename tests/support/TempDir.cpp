#include "support/TempDir.h"

#include <cstdlib>
#include <system_error>

#include "platform/Paths.h"

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quenlar-test-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data()))
        m_path = made;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ignored);
}

ScopedModulePath::ScopedModulePath(const TempDir& folder, const std::string& name)
{
    platform::SetModuleFileNameForTesting(folder.File(name));
}

ScopedModulePath::~ScopedModulePath()
{
    platform::SetModuleFileNameForTesting("");
}
