// Replays fuzz inputs through the fuzz target's own entry point without
// libFuzzer, so that the normal build and its ctest run the seed corpus and
// every finding kept there: each argument is a file, or a folder whose files
// are replayed in name order. The target aborts on a broken promise; this
// returns 1 when an input cannot be read and prints how many ran.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace
{

bool Replay(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    // A copy in memory of exactly the file's size, so that a read past its
    // end shows under the sanitizers as it would under libFuzzer.
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    (void)LLVMFuzzerTestOneInput(data.data(), data.size()); // always returns 0
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            std::vector<std::filesystem::path> inFolder;
            for (const auto& entry : std::filesystem::directory_iterator(arg, ec))
                if (entry.is_regular_file())
                    inFolder.push_back(entry.path());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    for (const auto& file : files) {
        if (!Replay(file)) {
            std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
            return 1;
        }
    }
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
