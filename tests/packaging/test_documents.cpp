// The man pages, help pages and README name the working file the job writes
// in the output folder, and no other.
#include "combine/api/output_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace tessara::test
{

TEST(Documents, NameOnlyTheJobsWorkingFile)
{
    for (const char* document : {"packaging/tessara-cli.h2m",
                                 "packaging/tessara.h2m",
                                 "ui/help/outputs.htm",
                                 "README.md"}) {
        SCOPED_TRACE(document);
        std::ifstream in(std::filesystem::path(TESSARA_SOURCE_DIR) / document);
        std::stringstream read;
        read << in.rdbuf();
        const std::string text = read.str();
        // "SegyOut.sgy." at the end of a sentence names SegyOut.sgy.
        const std::regex working(R"(SegyOut[A-Za-z0-9_.]*[A-Za-z0-9_])");
        int named = 0;
        for (std::sregex_iterator it(text.begin(), text.end(), working), end; it != end;
             ++it, ++named)
            EXPECT_EQ(it->str(), kWorkingFileName);
        EXPECT_GT(named, 0);
    }
}

} // namespace tessara::test
