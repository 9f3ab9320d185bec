// A scratch folder per test, whole files byte for byte and a full disk:
// what the tests of code that writes files share.  Paths are UTF-8.
#ifndef LYRASIL_TESTS_SCRATCHDIR_H
#define LYRASIL_TESTS_SCRATCHDIR_H

#include <dirent.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <system_error>

// A new empty folder /tmp/<prefix>.XXXXXX, removed with all it holds when
// the object goes.  Throws std::system_error when no folder can be made.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix) : path_("/tmp/" + prefix + ".XXXXXX")
    {
        if (mkdtemp(&path_[0]) == nullptr)
            throw std::system_error(errno, std::generic_category(), "mkdtemp " + path_);
    }
    ~ScratchDir()
    {
        Clear();
        rmdir(path_.c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

    // The names in the folder, "." and ".." left out: a test that fails a
    // write checks here that it left no temporary file.
    std::set<std::string> Entries() const
    {
        std::set<std::string> names;
        if (DIR* d = opendir(path_.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    names.insert(e->d_name);
            closedir(d);
        }
        return names;
    }

    // Removes all the folder holds (links, not what they point to); the
    // folder stays.
    void Clear() const { nftw(path_.c_str(), RemoveBelowTop, 16, FTW_DEPTH | FTW_PHYS); }

private:
    static int RemoveBelowTop(const char* path, const struct stat*, int, struct FTW* at)
    {
        if (at->level > 0)
            std::remove(path);
        return 0;
    }

    std::string path_;
};

// A whole file ("" when it cannot be read).
inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A full disk, as the file-size limit makes it for this process while
// the object lives: writes past `bytes` fail with EFBIG (no signal).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_;
    void (*previous_)(int);
};

#endif
