// The replace library on real files: temporary names, what may stand under
// the temporary name, two writers at once, what the new file keeps of the
// old one, and failures that must leave the target and no temporary file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "replace.h"

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
    void SetUp() override
    {
        char tmpl[] = "/tmp/replace_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        target = Path("song.mp3");
        temp = Path("song.mp$");
    }
    void TearDown() override
    {
        replace_free(&r);
        std::system(("rm -rf '" + dir + "'").c_str());
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }
    static void Write(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::set<std::string> Entries() const
    {
        std::set<std::string> names;
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    names.insert(e->d_name);
            closedir(d);
        }
        return names;
    }
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

    std::string dir, target, temp;
    ::Replace r = {};
};

TEST_F(ReplaceFile, ReplacesAndKeepsTheMode)
{
    Write(target, "old");
    chmod(target.c_str(), 0640);
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
    EXPECT_EQ(Read(target), "new");
    EXPECT_EQ(Stat(target).st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), std::set<std::string>{"song.mp3"});
    // A new file: created, with the temporary name of its own rule.
    std::string ini = Path("lyrasil.ini");
    EXPECT_EQ(Replace(ini, "[A]\n", "~"), REPLACE_OK);
    EXPECT_EQ(Read(ini), "[A]\n");
}

TEST_F(ReplaceFile, LinkedTargetIsUpdatedThroughTheLink)
{
    Write(Path("real.mp3"), "old");
    ASSERT_EQ(symlink("real.mp3", target.c_str()), 0);
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
    struct stat st;
    ASSERT_EQ(lstat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Read(Path("real.mp3")), "new");
    EXPECT_EQ(Entries(), (std::set<std::string>{"real.mp3", "song.mp3"}));
}

TEST_F(ReplaceFile, ExtendedAttributesAreCopied)
{
    Write(target, "old");
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
        {"a hard link to a victim", [&] { ASSERT_EQ(link(Path("victim").c_str(), temp.c_str()), 0); }, 0,
         REPLACE_INWAY, all},
        {"a file of the user's, or a killed run's", [&] { Write(temp, "partial"); }, 0, REPLACE_INWAY, all},
        {"a leftover in a folder of our own", [&] { Write(temp, "partial"); }, REPLACE_LEFTOVERS, REPLACE_OK,
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
        std::system(("rm -rf '" + dir + "'/*").c_str());
        Write(target, "old");
        Write(Path("victim"), "victim");
        c.plant();
        struct stat before;
        lstat(temp.c_str(), &before);
        int result = Replace(target, "new", ".mp$", c.flags);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Read(target), result == REPLACE_OK ? "new" : "old");
        EXPECT_EQ(Read(Path("victim")), "victim");
        EXPECT_EQ(Entries(), c.after);
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
        {"saved by rename", [&] { Write(Path("x"), "theirs"); rename(Path("x").c_str(), target.c_str()); },
         true, "theirs"},
        {"names swapped", [&] { Write(Path("02"), "02"); rename(target.c_str(), Path("t").c_str());
                                rename(Path("02").c_str(), target.c_str()); rename(Path("t").c_str(), Path("02").c_str()); },
         true, "02"},
        {"removed", [&] { unlink(target.c_str()); }, true, ""},
        {"created where there was none", [&] { Write(target, "theirs"); }, false, "theirs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::system(("rm -rf '" + dir + "'/*").c_str());
        struct stat source;
        if (c.existed) {
            Write(target, "old");
            source = Stat(target);
        }
        replace_free(&r);
        ASSERT_EQ(replace_open(&r, target.c_str(), ".mp$", c.existed ? &source : nullptr, nullptr, 0), REPLACE_OK);
        fputs("new", r.fp);
        c.change();
        EXPECT_EQ(replace_commit(&r), REPLACE_CHANGED);
        EXPECT_EQ(c.left.empty() ? "" : Read(target), c.left);
        EXPECT_EQ(Entries().count("song.mp$"), 0u);
    }
}

// The folder is renamed, or removed, while the new file is made: the name
// no longer leads to the file read, so nothing is put in place, and nothing
// is stranded in the folder where it now is.
TEST_F(ReplaceFile, MovedFolderStrandsNothing)
{
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "abort");
        std::system(("rm -rf '" + dir + "'/*").c_str());
        ASSERT_EQ(mkdir(Path("album").c_str(), 0700), 0);
        std::string track = Path("album/song.mp3");
        Write(track, "old");
        struct stat source = Stat(track);
        replace_free(&r);
        ASSERT_EQ(replace_open(&r, track.c_str(), ".mp$", &source, nullptr, 0), REPLACE_OK);
        fputs("new", r.fp);
        ASSERT_EQ(rename(Path("album").c_str(), Path("moved").c_str()), 0);
        if (commit)
            EXPECT_EQ(replace_commit(&r), REPLACE_CHANGED);
        else
            replace_abort(&r);
        EXPECT_EQ(Read(Path("moved/song.mp3")), "old");
        EXPECT_NE(access(Path("moved/song.mp$").c_str(), F_OK), 0);
    }
}

TEST_F(ReplaceFile, LiveWritersAreLeftAlone)
{
    // A temporary file another writer holds, here perhaps for "song.mp2".
    Write(target, "old");
    Write(temp, "another writer's");
    int held = HoldLock(temp);
    EXPECT_EQ(Replace(target, "new"), REPLACE_TEMPBUSY);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(Read(temp), "another writer's");
    EXPECT_EQ(Read(target), "old");
    close(held);
    // A target another writer holds.
    unlink(temp.c_str());
    held = HoldLock(target);
    EXPECT_EQ(Replace(target, "new"), REPLACE_BUSY);
    close(held);
    EXPECT_EQ(Entries(), std::set<std::string>{"song.mp3"});
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
}

TEST_F(ReplaceFile, TargetReplacedSinceItWasReadIsRefused)
{
    Write(target, "read by us");
    struct stat source = Stat(target);
    Write(Path("other"), "written by another run");
    ASSERT_EQ(rename(Path("other").c_str(), target.c_str()), 0);
    EXPECT_EQ(replace_open(&r, target.c_str(), ".mp$", &source, nullptr, 0), REPLACE_BUSY);
    EXPECT_EQ(Read(target), "written by another run");
    EXPECT_EQ(Entries(), std::set<std::string>{"song.mp3"});
}

TEST_F(ReplaceFile, FailuresLeaveTheTargetAndNoTemporaryFile)
{
    // The temporary name is the target itself, or the file to protect.
    std::string odd = Path("odd.mp$");
    Write(odd, "old");
    EXPECT_EQ(replace_open(&r, odd.c_str(), ".mp$", nullptr, nullptr, 0), REPLACE_CLASH);
    replace_free(&r);
    Write(target, "old");
    Write(temp, "protected");
    struct stat protect = Stat(temp);
    EXPECT_EQ(replace_open(&r, target.c_str(), ".mp$", nullptr, &protect, 0), REPLACE_CLASH);
    EXPECT_EQ(Read(temp), "protected");
    replace_free(&r);
    unlink(temp.c_str());
    unlink(odd.c_str());

    // A target that is not a regular file is not replaced.
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(replace_open(&r, Path("fifo").c_str(), ".lr$", nullptr, nullptr, 0), REPLACE_NOTREG);
    replace_free(&r);
    unlink(Path("fifo").c_str());

    // A folder took the target's name meanwhile.
    ASSERT_EQ(replace_open(&r, target.c_str(), ".mp$", nullptr, nullptr, 0), REPLACE_OK);
    fputs("new", r.fp);
    unlink(target.c_str());
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    Write(target + "/inside", "kept");
    EXPECT_EQ(replace_commit(&r), REPLACE_CHANGED);
    EXPECT_EQ(Read(target + "/inside"), "kept");
    EXPECT_EQ(Entries(), std::set<std::string>{"song.mp3"});
}

}  // namespace

// The file to be replaced is read only when it is a regular file, and a
// FIFO never makes the reader wait.
TEST_F(ReplaceFile, OnlyRegularFilesAreOpenedForReading)
{
    Write(target, "track");
    ASSERT_EQ(0, mkfifo(Path("fifo.mp3").c_str(), 0600));
    ASSERT_EQ(0, mkdir(Path("folder.mp3").c_str(), 0700));
    const struct {
        std::string name;
        int result, err;
    } cases[] = {{target, REPLACE_OK, 0},
                 {Path("fifo.mp3"), REPLACE_NOTREG, EINVAL},
                 {Path("folder.mp3"), REPLACE_NOTREG, EISDIR},
                 {Path("none.mp3"), REPLACE_RESOLVE, ENOENT}};
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
    std::string shared = Path("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    Write(Path("victim"), "victim");
    const struct {
        uid_t owner;
        bool followed;
    } cases[] = {{0, true}, {65534, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.owner);
        std::string link = shared + "/out.lrc", inner = Path("shared/dir");
        unlink(link.c_str());
        ASSERT_EQ(symlink(Path("victim").c_str(), link.c_str()), 0);
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
        ASSERT_EQ(symlink(dir.c_str(), inner.c_str()), 0);
        ASSERT_EQ(lchown(inner.c_str(), c.owner, c.owner), 0);
        replace_free(&r);
        EXPECT_EQ(replace_open(&r, (inner + "/victim").c_str(), ".lr$", nullptr, nullptr, 0),
                  c.followed ? REPLACE_OK : REPLACE_LINK);
        replace_abort(&r);
    }
    EXPECT_EQ(Read(Path("victim")), "victim");
}

// Permissions: a file without any write bit stays, even for root; the new
// file is exactly as readable as the old one, whatever default access list
// its folder has.
TEST_F(ReplaceFile, PermissionsAreTheOldFilesExactly)
{
    Write(target, "old");
    chmod(target.c_str(), 0444);
    EXPECT_EQ(Replace(target, "new"), REPLACE_READONLY);
    EXPECT_EQ(Read(target), "old");
    chmod(target.c_str(), 0640);
    if (std::system(("setfacl -d -m u:65534:--- '" + dir + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no setfacl, or no access lists on this file system";
    EXPECT_EQ(Replace(target, "new"), REPLACE_OK);
    EXPECT_LT(getxattr(target.c_str(), "system.posix_acl_access", nullptr, 0), 0) << "an ACL it did not have";
    EXPECT_EQ(Stat(target).st_mode & 07777, 0640u);
    ASSERT_EQ(std::system(("setfacl -m u:65534:r-- '" + target + "'").c_str()), 0);
    EXPECT_EQ(Replace(target, "newer"), REPLACE_OK);
    EXPECT_GT(getxattr(target.c_str(), "system.posix_acl_access", nullptr, 0), 0) << "the ACL it had";
}
