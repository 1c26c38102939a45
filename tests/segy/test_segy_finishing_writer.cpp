// The writer that gives a file its final name only when complete: what is
// left on the disk after each way a write can end.
#include "segy/io/segy_finishing_writer.h"
#include "tests/support/child_process.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tessara
{
namespace
{

namespace fs = std::filesystem;
using Finished = CSegyFinishingWriter::Finished;
using test::ReadFileBytes;

class FinishingWriterTest : public ::testing::Test
{
protected:
    /// A file header and `traces` traces of 1000 samples (7840 bytes with
    /// the header for one trace, 4240 more for each further trace).
    static void WriteTraces(CSegyFileOut& out, int traces)
    {
        out.tapeHeader->binFormatCode = 5;
        out.SetSamples(1000);
        out.WriteHeader();
        CSegyTrace trace(1000);
        for (int k = 0; k < traces; ++k) {
            trace.samples[0] = k + 1.0;
            out.Write(trace);
        }
    }
    /// Names in the test's folder, sorted.
    [[nodiscard]] std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir.Path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static void WriteText(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    test::TempDir m_dir;
};

TEST_F(FinishingWriterTest, WorkingFileSitsBesideTheFinalNameUntilFinished)
{
    const std::string final = m_dir.File("out.sgy");
    CSegyFinishingWriter w;
    ASSERT_TRUE(w.OpenBeside(final));
    const std::string working = w.WorkingPath();
    EXPECT_EQ(fs::path(working).parent_path(), m_dir.Path());
    const std::string name = fs::path(working).filename().string();
    ASSERT_EQ(name.size(), std::string("out.sgy.").size() + 6) << name;
    EXPECT_EQ(name.rfind("out.sgy.", 0), 0u) << name;
    WriteTraces(w.Out(), 3);
    EXPECT_FALSE(fs::exists(final)) << "the final name is given only when complete";

    EXPECT_EQ(w.Finish(final), Finished::Done);
    EXPECT_EQ(Names(), std::vector<std::string>{"out.sgy"});
    EXPECT_EQ(fs::file_size(final), 3600u + 3 * 4240u);
    EXPECT_TRUE(w.WorkingPath().empty());
    EXPECT_EQ(w.Finish(final), Finished::NotOpen) << "a second Finish has nothing to finish";
}

TEST_F(FinishingWriterTest, TwoWritersBesideOneNameGetTwoWorkingFiles)
{
    const std::string final = m_dir.File("out.sgy");
    CSegyFinishingWriter a;
    CSegyFinishingWriter b;
    ASSERT_TRUE(a.OpenBeside(final));
    ASSERT_TRUE(b.OpenBeside(final));
    EXPECT_NE(a.WorkingPath(), b.WorkingPath());
    a.Abandon();
    b.Abandon();
    EXPECT_TRUE(Names().empty());
}

// The working file gets what umask leaves of 0666, not the owner-only mode
// of a temporary file, so that the finished file is like any other new one.
TEST_F(FinishingWriterTest, FinishedFileHasTheUsersPermissions)
{
    const mode_t before = ::umask(027);
    CSegyFinishingWriter w;
    const bool opened = w.OpenBeside(m_dir.File("out.sgy"));
    (void)::umask(before);
    ASSERT_TRUE(opened);
    ASSERT_EQ(w.Finish(m_dir.File("out.sgy")), Finished::Done);
    struct stat st {
    };
    ASSERT_EQ(::stat(m_dir.File("out.sgy").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// An existing file of the final name is replaced by another file, not
// rewritten: whoever has it open still reads it whole.
TEST_F(FinishingWriterTest, ExistingFinalFileIsReplacedWhole)
{
    const std::string final = m_dir.File("out.sgy");
    const std::string old(50000, 'o');
    WriteText(final, old);
    const int held = ::open(final.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);

    CSegyFinishingWriter w;
    ASSERT_TRUE(w.OpenAt(m_dir.File("SegyOut.sgy")));
    WriteTraces(w.Out(), 1);
    EXPECT_EQ(fs::file_size(final), old.size()) << "untouched while the new file is written";
    ASSERT_EQ(w.Finish(final), Finished::Done);

    EXPECT_EQ(Names(), std::vector<std::string>{"out.sgy"});
    EXPECT_EQ(fs::file_size(final), 7840u) << "nothing of the longer old file is left";
    std::string seen(old.size() + 1, '\0');
    const ssize_t got = ::pread(held, seen.data(), seen.size(), 0);
    (void)::close(held);
    ASSERT_EQ(got, static_cast<ssize_t>(old.size()));
    seen.resize(old.size());
    EXPECT_EQ(seen, old);
}

// A directory of the final name cannot be replaced by a file: the failure is
// reported, the directory and its contents stay, and the working file is
// kept, whole, until abandoned.
TEST_F(FinishingWriterTest, FinalNameOfADirectoryFailsAndLeavesNothing)
{
    const std::string final = m_dir.File("out.sgy");
    fs::create_directory(final);
    WriteText(final + "/inside", "kept");
    CSegyFinishingWriter w;
    ASSERT_TRUE(w.OpenBeside(final));
    WriteTraces(w.Out(), 2);
    EXPECT_EQ(w.Finish(final), Finished::RenameFailed);
    EXPECT_EQ(w.Error(), EISDIR);
    EXPECT_TRUE(fs::is_directory(final));
    EXPECT_TRUE(fs::exists(final + "/inside"));
    const std::string working = w.WorkingPath();
    ASSERT_FALSE(working.empty());
    EXPECT_EQ(fs::file_size(working), 3600u + 2 * 4240u) << "closed with every byte";
    w.Abandon();
    EXPECT_EQ(Names(), std::vector<std::string>{"out.sgy"});
    EXPECT_TRUE(w.WorkingPath().empty());
}

TEST_F(FinishingWriterTest, AbandonRemovesTheWorkingFileOfEitherKind)
{
    const std::string existing = m_dir.File("out.sgy");
    WriteText(existing, "before");
    CSegyFinishingWriter w;
    ASSERT_TRUE(w.OpenBeside(existing));
    WriteTraces(w.Out(), 1);
    w.Abandon();
    EXPECT_EQ(Names(), std::vector<std::string>{"out.sgy"});

    ASSERT_TRUE(w.OpenAt(m_dir.File("SegyOut.sgy")));
    WriteTraces(w.Out(), 1);
    w.Out().Close(); // closed before is the same
    w.Abandon();
    EXPECT_EQ(Names(), std::vector<std::string>{"out.sgy"});
    EXPECT_EQ(ReadFileBytes(existing).size(), 6u) << "a file it never finished is untouched";
    w.Abandon(); // nothing left to abandon
    EXPECT_EQ(w.Finish(existing), Finished::NotOpen);
}

// A link planted at a working name must not make the writer truncate the
// file it points to, nor be removed as if it were the writer's.
TEST_F(FinishingWriterTest, LinkAtTheWorkingNameIsRefused)
{
    const std::string target = m_dir.File("precious.sgy");
    WriteText(target, "precious");
    const std::string working = m_dir.File("SegyOut.sgy");
    fs::create_symlink(target, working);
    CSegyFinishingWriter w;
    EXPECT_FALSE(w.OpenAt(working));
    EXPECT_EQ(w.Error(), ELOOP);
    EXPECT_TRUE(w.WorkingPath().empty());
    EXPECT_EQ(w.Finish(m_dir.File("out.sgy")), Finished::NotOpen);
    EXPECT_TRUE(fs::is_symlink(working));
    EXPECT_EQ(ReadFileBytes(target).size(), 8u);
    EXPECT_FALSE(fs::exists(m_dir.File("out.sgy")));
}

TEST_F(FinishingWriterTest, WorkingFileInAMissingFolderIsNotCreated)
{
    CSegyFinishingWriter w;
    EXPECT_FALSE(w.OpenBeside(m_dir.File("absent/out.sgy")));
    EXPECT_EQ(w.Error(), ENOENT);
    EXPECT_FALSE(w.OpenAt(m_dir.File("absent/SegyOut.sgy")));
    EXPECT_EQ(w.Error(), ENOENT);
    EXPECT_TRUE(Names().empty());
}

// Writes that fail part way (the file-size limit of a child process), at
// the header, in a trace, and only when the buffer goes out at the close:
// the file of the final name keeps its old bytes, and the working file
// stays until abandoned.
class FinishingWriterLimitTest : public FinishingWriterTest,
                                 public ::testing::WithParamInterface<long long>
{
};

TEST_P(FinishingWriterLimitTest, FailedWriteLeavesTheOldFileAndNoWorkingFile)
{
    const std::string final = m_dir.File("out.sgy");
    WriteText(final, "the old file");
    const test::ChildEnd end = test::RunInChild(
        [&] {
            CSegyFinishingWriter w;
            if (!w.OpenBeside(final))
                return 10;
            WriteTraces(w.Out(), 40);
            const Finished finished = w.Finish(final);
            if (finished == Finished::Done)
                return 1;
            if (finished != Finished::WriteFailed)
                return 2;
            if (::access(w.WorkingPath().c_str(), F_OK) != 0)
                return 3;
            w.Abandon();
            return 0;
        },
        {GetParam()});
    EXPECT_EQ(end.code, 0)
        << "0: write failure reported, 1: finished, 2: other, 3: working file gone";
    EXPECT_EQ(Names(), std::vector<std::string>{"out.sgy"});
    EXPECT_EQ(ReadFileBytes(final).size(), std::string("the old file").size());
}

INSTANTIATE_TEST_SUITE_P(Limits,
                         FinishingWriterLimitTest,
                         ::testing::Values(100LL, 3600LL, 20000LL, 3600LL + 40 * 4240 - 1));

} // namespace
} // namespace tessara
