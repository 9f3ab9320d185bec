// The replace library on real files: temporary names, what may stand under
// the temporary name, two writers at once, what the new file keeps of the
// old one, and failures that must leave the target and no temporary file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "replace.h"
#include "scratchdir.h"

namespace {

TEST(ReplaceNames, TemporaryNames)
{
    struct Case {
        const char *target, *suffix, *expected;
    } cases[] = {
        {"/music/song.mp3", ".mp$", "/music/song.mp$"},
        {"song", ".mp$", "song.mp$"},                  // no extension: added
        {"my.dir/song", ".lr$", "my.dir/song.lr$"},    // a dot in a folder is none
        {".hidden", ".lr$", ".hidden.lr$"},
        {"/home/u/.lyrasil/lyrasil.ini", "~", "/home/u/.lyrasil/lyrasil.in~"},
        {"x", "~", "~"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<char, decltype(&free)> name(replace_tempname(c.target, c.suffix), free);
        ASSERT_NE(name, nullptr) << c.target;
        EXPECT_STREQ(name.get(), c.expected) << c.target;
    }
    EXPECT_EQ(replace_tempname("", "~"), nullptr);
}

class ReplaceFile : public ::testing::Test {
protected:
    void TearDown() override { replace_free(&r); }

    static struct stat Stat(const std::string& path)
    {
        struct stat st = {};
        EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
        return st;
    }
    // Replaces name (read as source when it exists) with bytes; the result
    // of replace_open, or of replace_commit when the open succeeded.
    int Replace(const std::string& name, const std::string& bytes, const char* suffix = ".mp$")
    {
        struct stat source;
        replace_free(&r);
        bool exists = stat(name.c_str(), &source) == 0;
        int result = replace_open(&r, name.c_str(), suffix, exists ? &source : nullptr, nullptr);
        if (result != REPLACE_OK)
            return result;
        fputs(bytes.c_str(), r.fp);
        return replace_commit(&r);
    }
    // Holds an exclusive lock on path as another writer would.
    int HoldLock(const std::string& path)
    {
        int fd = open(path.c_str(), O_RDONLY);
        EXPECT_GE(fd, 0) << path;
        EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        return fd;
    }

    ScratchDir scratch{"replace_test"};
    const std::string target = scratch.Path("song.mp3"), temp = scratch.Path("song.mp$");
    ::Replace r = {};
};

TEST_F(ReplaceFile, ReplacesAndKeepsTheMode)
{
    WriteFile(target, "old");
    chmod(target.c_str(), 0640);
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(Stat(target).st_mode & 07777, 0640u);
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"song.mp3"});
    // A new file: created, with the temporary name of its own rule.
    std::string ini = scratch.Path("lyrasil.ini");
    EXPECT_EQ(Replace(ini, "[A]\n", "~"), REPLACE_OK);
    EXPECT_EQ(ReadFile(ini), "[A]\n");
}

TEST_F(ReplaceFile, LinkedTargetIsUpdatedThroughTheLink)
{
    WriteFile(scratch.Path("real.mp3"), "old");
    ASSERT_EQ(symlink("real.mp3", target.c_str()), 0);
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
    struct stat st;
    ASSERT_EQ(lstat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(scratch.Path("real.mp3")), "new");
    EXPECT_EQ(scratch.Entries(), (std::set<std::string>{"real.mp3", "song.mp3"}));
}

TEST_F(ReplaceFile, ExtendedAttributesAreCopied)
{
    WriteFile(target, "old");
    if (setxattr(target.c_str(), "user.lyrasil", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes here: " << strerror(errno);
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
    char value[8] = "";
    EXPECT_EQ(getxattr(target.c_str(), "user.lyrasil", value, sizeof value), 4);
    EXPECT_EQ(std::string(value, 4), "kept");
}

// Whatever stands under the temporary name: never followed, never written;
// what no live writer holds is cleared, what one holds is left alone.
TEST_F(ReplaceFile, WhatStandsUnderTheTemporaryName)
{
    struct Case {
        const char* what;
        std::function<void()> plant;
        int result;
        std::set<std::string> after;
    } cases[] = {
        {"a link to a victim", [&] { ASSERT_EQ(symlink("victim", temp.c_str()), 0); },
         REPLACE_OK, {"song.mp3", "victim"}},
        {"a hard link to a victim", [&] { ASSERT_EQ(link(scratch.Path("victim").c_str(), temp.c_str()), 0); },
         REPLACE_OK, {"song.mp3", "victim"}},
        {"the leftover of a killed run", [&] { WriteFile(temp, "partial"); },
         REPLACE_OK, {"song.mp3", "victim"}},
        {"a folder", [&] { ASSERT_EQ(mkdir(temp.c_str(), 0700), 0); },
         REPLACE_CREATE, {"song.mp$", "song.mp3", "victim"}},
        {"a FIFO", [&] { ASSERT_EQ(mkfifo(temp.c_str(), 0600), 0); },
         REPLACE_CREATE, {"song.mp$", "song.mp3", "victim"}},
        {"another name of the target", [&] { ASSERT_EQ(link(target.c_str(), temp.c_str()), 0); },
         REPLACE_CLASH, {"song.mp$", "song.mp3", "victim"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scratch.Clear();
        WriteFile(target, "old");
        WriteFile(scratch.Path("victim"), "victim");
        c.plant();
        int result = Replace(target, "new");
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(ReadFile(target), result == REPLACE_OK ? "new" : "old");
        EXPECT_EQ(ReadFile(scratch.Path("victim")), "victim");
        EXPECT_EQ(scratch.Entries(), c.after);
        replace_free(&r);
    }
}

TEST_F(ReplaceFile, LiveWritersAreLeftAlone)
{
    // A temporary file another writer holds, here perhaps for "song.mp2".
    WriteFile(target, "old");
    WriteFile(temp, "another writer's");
    int held = HoldLock(temp);
    EXPECT_EQ(Replace(target, "new"), REPLACE_BUSY);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(ReadFile(temp), "another writer's");
    EXPECT_EQ(ReadFile(target), "old");
    close(held);
    // A target another writer holds.
    unlink(temp.c_str());
    held = HoldLock(target);
    EXPECT_EQ(Replace(target, "new"), REPLACE_BUSY);
    close(held);
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"song.mp3"});
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
}

TEST_F(ReplaceFile, TargetReplacedSinceItWasReadIsRefused)
{
    WriteFile(target, "read by us");
    struct stat source = Stat(target);
    WriteFile(scratch.Path("other"), "written by another run");
    ASSERT_EQ(rename(scratch.Path("other").c_str(), target.c_str()), 0);
    EXPECT_EQ(replace_open(&r, target.c_str(), ".mp$", &source, nullptr), REPLACE_BUSY);
    EXPECT_EQ(ReadFile(target), "written by another run");
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"song.mp3"});
}

TEST_F(ReplaceFile, FailuresLeaveTheTargetAndNoTemporaryFile)
{
    // The temporary name is the target itself, or the file to protect.
    std::string odd = scratch.Path("odd.mp$");
    WriteFile(odd, "old");
    EXPECT_EQ(replace_open(&r, odd.c_str(), ".mp$", nullptr, nullptr), REPLACE_CLASH);
    replace_free(&r);
    WriteFile(target, "old");
    WriteFile(temp, "protected");
    struct stat protect = Stat(temp);
    EXPECT_EQ(replace_open(&r, target.c_str(), ".mp$", nullptr, &protect), REPLACE_CLASH);
    EXPECT_EQ(ReadFile(temp), "protected");
    replace_free(&r);
    unlink(temp.c_str());
    unlink(odd.c_str());

    // A target that is not a regular file is not replaced.
    ASSERT_EQ(mkfifo(scratch.Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(replace_open(&r, scratch.Path("fifo").c_str(), ".lr$", nullptr, nullptr), REPLACE_NOTREG);
    replace_free(&r);
    unlink(scratch.Path("fifo").c_str());

    // The rename fails: a folder took the target's name meanwhile.
    ASSERT_EQ(replace_open(&r, target.c_str(), ".mp$", nullptr, nullptr), REPLACE_OK);
    fputs("new", r.fp);
    unlink(target.c_str());
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    WriteFile(target + "/inside", "kept");
    EXPECT_EQ(replace_commit(&r), REPLACE_RENAME);
    EXPECT_EQ(ReadFile(target + "/inside"), "kept");
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"song.mp3"});
}

}  // namespace

// The file to be replaced is read only when it is a regular file, and a
// FIFO never makes the reader wait.
TEST_F(ReplaceFile, OnlyRegularFilesAreOpenedForReading)
{
    WriteFile(target, "track");
    ASSERT_EQ(0, mkfifo(scratch.Path("fifo.mp3").c_str(), 0600));
    ASSERT_EQ(0, mkdir(scratch.Path("folder.mp3").c_str(), 0700));
    const struct {
        std::string name;
        int err;
    } cases[] = {{target, 0}, {scratch.Path("fifo.mp3"), EINVAL}, {scratch.Path("folder.mp3"), EISDIR}, {scratch.Path("none.mp3"), ENOENT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        struct stat st;
        errno = 0;
        FILE* fp = replace_fopen_regular(c.name.c_str(), &st);
        EXPECT_EQ(c.err == 0, fp != nullptr);
        if (fp != nullptr) {
            char buf[8] = {0};
            EXPECT_EQ(5u, fread(buf, 1, sizeof buf, fp)) << "reads as usual, blocking cleared";
            fclose(fp);
        } else {
            EXPECT_EQ(c.err, errno);
        }
    }
}
