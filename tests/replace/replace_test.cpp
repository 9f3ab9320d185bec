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
    int Replace(const std::string& name, const std::string& bytes, const char* suffix = ".mp$", int flags = 0)
    {
        struct stat source;
        replace_free(&r);
        bool exists = stat(name.c_str(), &source) == 0;
        int result = replace_open(&r, name.c_str(), suffix, exists ? &source : nullptr, nullptr, flags);
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

// Whatever stands under the temporary name: never followed, never written,
// never removed; only a caller that owns the folder has an unlocked file
// there cleared as a killed run's leftover.
TEST_F(ReplaceFile, WhatStandsUnderTheTemporaryName)
{
    const std::set<std::string> all{"song.mp$", "song.mp3", "victim"}, replaced{"song.mp3", "victim"};
    struct Case {
        const char* what;
        std::function<void()> plant;
        int flags, result;
        std::set<std::string> after;
    } cases[] = {
        {"a link to a victim", [&] { ASSERT_EQ(symlink("victim", temp.c_str()), 0); }, 0, REPLACE_INWAY, all},
        {"a hard link to a victim", [&] { ASSERT_EQ(link(scratch.Path("victim").c_str(), temp.c_str()), 0); }, 0,
         REPLACE_INWAY, all},
        {"a file of the user's, or a killed run's", [&] { WriteFile(temp, "partial"); }, 0, REPLACE_INWAY, all},
        {"a leftover in a folder of our own", [&] { WriteFile(temp, "partial"); }, REPLACE_LEFTOVERS, REPLACE_OK,
         replaced},
        {"a link there", [&] { ASSERT_EQ(symlink("victim", temp.c_str()), 0); }, REPLACE_LEFTOVERS,
         REPLACE_OK, replaced},
        {"a folder there", [&] { ASSERT_EQ(mkdir(temp.c_str(), 0700), 0); }, REPLACE_LEFTOVERS,
         REPLACE_INWAY, all},
        {"a folder", [&] { ASSERT_EQ(mkdir(temp.c_str(), 0700), 0); }, 0, REPLACE_INWAY, all},
        {"a FIFO", [&] { ASSERT_EQ(mkfifo(temp.c_str(), 0600), 0); }, 0, REPLACE_INWAY, all},
        {"another name of the target", [&] { ASSERT_EQ(link(target.c_str(), temp.c_str()), 0); }, 0,
         REPLACE_CLASH, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scratch.Clear();
        WriteFile(target, "old");
        WriteFile(scratch.Path("victim"), "victim");
        c.plant();
        struct stat before;
        lstat(temp.c_str(), &before);
        int result = Replace(target, "new", ".mp$", c.flags);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(ReadFile(target), result == REPLACE_OK ? "new" : "old");
        EXPECT_EQ(ReadFile(scratch.Path("victim")), "victim");
        EXPECT_EQ(scratch.Entries(), c.after);
        struct stat after;
        if (result != REPLACE_OK && lstat(temp.c_str(), &after) == 0) {
            EXPECT_TRUE(replace_same_file(&before, &after));
            EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
        }
        replace_free(&r);
    }
}

// The target changes between the open and the rename: the other program's
// version stays, nothing is put in place, no temporary file is left.
TEST_F(ReplaceFile, TargetChangedWhileTheNewFileWasMadeIsKept)
{
    struct Case {
        const char* what;
        std::function<void()> change;  // the world moving; target exists at first unless noted
        bool existed;
        std::string left;              // the target afterwards; "" for none
    } cases[] = {
        {"written in place", [&] { std::ofstream(target, std::ios::app) << "+tag"; }, true, "old+tag"},
        {"saved by rename", [&] { WriteFile(scratch.Path("x"), "theirs"); rename(scratch.Path("x").c_str(), target.c_str()); },
         true, "theirs"},
        {"names swapped", [&] { WriteFile(scratch.Path("02"), "02"); rename(target.c_str(), scratch.Path("t").c_str());
                                rename(scratch.Path("02").c_str(), target.c_str()); rename(scratch.Path("t").c_str(), scratch.Path("02").c_str()); },
         true, "02"},
        {"removed", [&] { unlink(target.c_str()); }, true, ""},
        {"created where there was none", [&] { WriteFile(target, "theirs"); }, false, "theirs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scratch.Clear();
        struct stat source;
        if (c.existed) {
            WriteFile(target, "old");
            source = Stat(target);
        }
        replace_free(&r);
        ASSERT_EQ(replace_open(&r, target.c_str(), ".mp$", c.existed ? &source : nullptr, nullptr, 0), REPLACE_OK);
        fputs("new", r.fp);
        c.change();
        EXPECT_EQ(replace_commit(&r), REPLACE_CHANGED);
        EXPECT_EQ(c.left.empty() ? "" : ReadFile(target), c.left);
        EXPECT_EQ(scratch.Entries().count("song.mp$"), 0u);
    }
}

// The folder is renamed, or removed, while the new file is made: the name
// no longer leads to the file read, so nothing is put in place, and nothing
// is stranded in the folder where it now is.
TEST_F(ReplaceFile, MovedFolderStrandsNothing)
{
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "abort");
        scratch.Clear();
        ASSERT_EQ(mkdir(scratch.Path("album").c_str(), 0700), 0);
        std::string track = scratch.Path("album/song.mp3");
        WriteFile(track, "old");
        struct stat source = Stat(track);
        replace_free(&r);
        ASSERT_EQ(replace_open(&r, track.c_str(), ".mp$", &source, nullptr, 0), REPLACE_OK);
        fputs("new", r.fp);
        ASSERT_EQ(rename(scratch.Path("album").c_str(), scratch.Path("moved").c_str()), 0);
        if (commit)
            EXPECT_EQ(replace_commit(&r), REPLACE_CHANGED);
        else
            replace_abort(&r);
        EXPECT_EQ(ReadFile(scratch.Path("moved/song.mp3")), "old");
        EXPECT_NE(access(scratch.Path("moved/song.mp$").c_str(), F_OK), 0);
    }
}

TEST_F(ReplaceFile, LiveWritersAreLeftAlone)
{
    // A temporary file another writer holds, here perhaps for "song.mp2".
    WriteFile(target, "old");
    WriteFile(temp, "another writer's");
    int held = HoldLock(temp);
    EXPECT_EQ(Replace(target, "new"), REPLACE_TEMPBUSY);
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
    EXPECT_EQ(replace_open(&r, target.c_str(), ".mp$", &source, nullptr, 0), REPLACE_BUSY);
    EXPECT_EQ(ReadFile(target), "written by another run");
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"song.mp3"});
}

TEST_F(ReplaceFile, FailuresLeaveTheTargetAndNoTemporaryFile)
{
    // The temporary name is the target itself, or the file to protect.
    std::string odd = scratch.Path("odd.mp$");
    WriteFile(odd, "old");
    EXPECT_EQ(replace_open(&r, odd.c_str(), ".mp$", nullptr, nullptr, 0), REPLACE_CLASH);
    replace_free(&r);
    WriteFile(target, "old");
    WriteFile(temp, "protected");
    struct stat protect = Stat(temp);
    EXPECT_EQ(replace_open(&r, target.c_str(), ".mp$", nullptr, &protect, 0), REPLACE_CLASH);
    EXPECT_EQ(ReadFile(temp), "protected");
    replace_free(&r);
    unlink(temp.c_str());
    unlink(odd.c_str());

    // A target that is not a regular file is not replaced.
    ASSERT_EQ(mkfifo(scratch.Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(replace_open(&r, scratch.Path("fifo").c_str(), ".lr$", nullptr, nullptr, 0), REPLACE_NOTREG);
    replace_free(&r);
    unlink(scratch.Path("fifo").c_str());

    // A folder took the target's name meanwhile.
    ASSERT_EQ(replace_open(&r, target.c_str(), ".mp$", nullptr, nullptr, 0), REPLACE_OK);
    fputs("new", r.fp);
    unlink(target.c_str());
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    WriteFile(target + "/inside", "kept");
    EXPECT_EQ(replace_commit(&r), REPLACE_CHANGED);
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
        int result, err;
    } cases[] = {{target, REPLACE_OK, 0},
                 {scratch.Path("fifo.mp3"), REPLACE_NOTREG, EINVAL},
                 {scratch.Path("folder.mp3"), REPLACE_NOTREG, EISDIR},
                 {scratch.Path("none.mp3"), REPLACE_RESOLVE, ENOENT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        struct stat st;
        FILE* fp = nullptr;
        errno = 0;
        EXPECT_EQ(c.result, replace_read_open(c.name.c_str(), &fp, &st, nullptr));
        EXPECT_EQ(c.result == REPLACE_OK, fp != nullptr);
        if (fp != nullptr) {
            char buf[8] = {0};
            EXPECT_EQ(5u, fread(buf, 1, sizeof buf, fp)) << "reads as usual, blocking cleared";
            fclose(fp);
        } else {
            EXPECT_EQ(c.err, errno);
        }
    }
}

// Links in a sticky folder that everyone may write are followed only when
// they belong to the one who follows them or to the folder's owner, for
// reading and for replacing, whatever the kernel's own setting.
TEST_F(ReplaceFile, LinksPlantedInSharedFoldersAreNotFollowed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a link another owner needs root";
    std::string shared = scratch.Path("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    WriteFile(scratch.Path("victim"), "victim");
    const struct {
        uid_t owner;
        bool followed;
    } cases[] = {{0, true}, {65534, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.owner);
        std::string link = shared + "/out.lrc", inner = scratch.Path("shared/dir");
        unlink(link.c_str());
        ASSERT_EQ(symlink(scratch.Path("victim").c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), c.owner, c.owner), 0);
        replace_free(&r);
        int result = replace_open(&r, link.c_str(), ".lr$", nullptr, nullptr, 0);
        EXPECT_EQ(result, c.followed ? REPLACE_OK : REPLACE_LINK);
        if (!c.followed) {
            EXPECT_STREQ(r.target, link.c_str());
        }
        replace_abort(&r);
        FILE* fp = nullptr;
        struct stat st;
        char* named = nullptr;
        EXPECT_EQ(replace_read_open(link.c_str(), &fp, &st, &named), c.followed ? REPLACE_OK : REPLACE_LINK);
        if (fp != nullptr)
            fclose(fp);
        EXPECT_EQ(named != nullptr, !c.followed);
        free(named);
        // A link to a folder on the way is judged the same.
        unlink(inner.c_str());
        ASSERT_EQ(symlink(scratch.path().c_str(), inner.c_str()), 0);
        ASSERT_EQ(lchown(inner.c_str(), c.owner, c.owner), 0);
        replace_free(&r);
        EXPECT_EQ(replace_open(&r, (inner + "/victim").c_str(), ".lr$", nullptr, nullptr, 0),
                  c.followed ? REPLACE_OK : REPLACE_LINK);
        replace_abort(&r);
    }
    EXPECT_EQ(ReadFile(scratch.Path("victim")), "victim");
}

// Permissions: a file without any write bit stays, even for root; the new
// file is exactly as readable as the old one, whatever default access list
// its folder has.
TEST_F(ReplaceFile, PermissionsAreTheOldFilesExactly)
{
    WriteFile(target, "old");
    chmod(target.c_str(), 0444);
    EXPECT_EQ(Replace(target, "new"), REPLACE_READONLY);
    EXPECT_EQ(ReadFile(target), "old");
    chmod(target.c_str(), 0640);
    if (std::system(("setfacl -d -m u:65534:--- '" + scratch.path() + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no setfacl, or no access lists on this file system";
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
    EXPECT_LT(getxattr(target.c_str(), "system.posix_acl_access", nullptr, 0), 0) << "an ACL it did not have";
    EXPECT_EQ(Stat(target).st_mode & 07777, 0640u);
    ASSERT_EQ(std::system(("setfacl -m u:65534:r-- '" + target + "'").c_str()), 0);
    EXPECT_EQ(Replace(target, "newer"), REPLACE_OK);
    EXPECT_GT(getxattr(target.c_str(), "system.posix_acl_access", nullptr, 0), 0) << "the ACL it had";
}
