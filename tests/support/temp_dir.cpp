#include "temp_dir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace tessara::test
{

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tessara-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored; // a test must not fail in its clean-up
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace tessara::test
