// scratch.h - where the fuzz targets put their inputs and outputs.
//
// Streams: the core takes FILE streams, so the targets hand it memory
// streams (MemFile) that behave like regular files, which costs no system
// call per input.  fmemopen and open_memstream do not quite: fmemopen
// refuses a position past the end, where a file lets the seek succeed and
// the read come back short (id3_appendmp3 after a version-4 footer cut
// short, id3_init on an extended header past the end), and open_memstream
// reports the position at its close as the length.  Either would change
// what the core does and so skip the checks that the file runs reach.
// Where the core hands descriptors to the system (the rewrite's in-kernel
// copy), a target uses files in memory that have them (FdFile, memfd).
//
// Files with names: the INI library takes file names, so fuzz_ini works in
// a folder of its own process (several jobs can run side by side), in
// /dev/shm where there is one (no disk, so its syncs and renames cost
// little), otherwise in TMPDIR or /tmp.  The folder goes when the process
// ends normally; a process killed by a finding leaves it behind
// (lyrasil-fuzz-PID-*).
#ifndef LYRASIL_FUZZ_SCRATCH_H
#define LYRASIL_FUZZ_SCRATCH_H

#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1 /* fopencookie */
#endif

#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The memory streams' own branches are not the code under test: left out
// of the coverage that steers the fuzzer.
#define SCRATCH_UNTRACED __attribute__((no_sanitize("coverage")))

namespace scratch {

// A file that one stream at a time reads or writes; it outlives its
// streams, which the caller closes, and keeps its memory from one to the
// next.
class File {
public:
    virtual ~File() = default;
    // A stream that reads the size bytes at data.
    virtual FILE *open_read(const uint8_t *data, size_t size) = 0;
    // A stream that writes a new, empty file.
    virtual FILE *open_write() = 0;
    // The file's bytes once its stream is closed: valid until the next open.
    virtual const uint8_t *data() = 0;
    virtual size_t size() = 0;
};

// Bytes in memory with a regular file's positioning: any position from 0
// up, past the end too, where reading gives nothing and writing first
// fills the gap with zero bytes; the length is the furthest byte written.
// A stream that reads uses the caller's bytes, not a copy.
class MemFile : public File {
public:
    FILE *open_read(const uint8_t *data, size_t size) override
    {
        in_ = data;
        len_ = size;
        return open("rb");
    }

    FILE *open_write() override
    {
        in_ = nullptr;
        len_ = 0;
        return open("wb"); // as the programs open a new file
    }

    const uint8_t *data() override { return in_ ? in_ : out_.data(); }
    size_t size() override { return len_; }

private:
    FILE *open(const char *mode)
    {
        pos_ = 0;
        cookie_io_functions_t io = {cookie_read, cookie_write, cookie_seek, nullptr};
        FILE *fp = fopencookie(this, mode, io);
        if (fp == nullptr || setvbuf(fp, buffer_, _IOFBF, sizeof buffer_) != 0)
            std::abort();
        return fp;
    }

    SCRATCH_UNTRACED static ssize_t cookie_read(void *cookie, char *buf, size_t n)
    {
        MemFile *m = static_cast<MemFile *>(cookie);
        if (m->pos_ >= m->len_)
            return 0;
        n = std::min(n, m->len_ - m->pos_);
        std::memcpy(buf, (m->in_ ? m->in_ : m->out_.data()) + m->pos_, n);
        m->pos_ += n;
        return static_cast<ssize_t>(n);
    }

    SCRATCH_UNTRACED static ssize_t cookie_write(void *cookie, const char *buf, size_t n)
    {
        MemFile *m = static_cast<MemFile *>(cookie);
        if (m->in_ != nullptr)
            return -1;
        if (m->out_.size() < m->pos_ + n)
            m->out_.resize(m->pos_ + n);
        if (m->len_ < m->pos_)
            std::memset(m->out_.data() + m->len_, 0, m->pos_ - m->len_);
        std::memcpy(m->out_.data() + m->pos_, buf, n);
        m->pos_ += n;
        m->len_ = std::max(m->len_, m->pos_);
        return static_cast<ssize_t>(n);
    }

    SCRATCH_UNTRACED static int cookie_seek(void *cookie, off64_t *offset, int whence)
    {
        MemFile *m = static_cast<MemFile *>(cookie);
        off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? (off64_t)m->pos_
                       : whence == SEEK_END ? (off64_t)m->len_ : -1;
        if (base < 0 || *offset < -base || *offset > INT64_MAX - base)
            return -1;
        m->pos_ = static_cast<size_t>(base + *offset);
        *offset = base + *offset;
        return 0;
    }

    // The stream's buffer, of a file's block size: glibc reads a cookie
    // stream without one a byte at a time.
    char buffer_[4096];
    const uint8_t *in_ = nullptr;  // the bytes read, or null while writing
    std::vector<uint8_t> out_;     // the bytes written (its size only grows)
    size_t len_ = 0, pos_ = 0;
};

// A file in memory with a descriptor (memfd), for code that hands
// descriptors to the system; its streams are stdio's own, each on a
// duplicate of the descriptor, starting at offset 0 as a file just opened.
class FdFile : public File {
public:
    FILE *open_read(const uint8_t *data, size_t size) override
    {
        empty();
        for (size_t done = 0; done < size;) {
            ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                std::abort();
            done += static_cast<size_t>(n);
        }
        return open("rb");
    }

    FILE *open_write() override
    {
        empty();
        return open("wb");
    }

    const uint8_t *data() override { return load().data(); }
    size_t size() override { return load().size(); }

private:
    void empty()
    {
        if (fd_ < 0 && (fd_ = memfd_create("lyrasil-fuzz", MFD_CLOEXEC)) < 0)
            std::abort();
        if (ftruncate(fd_, 0) != 0)
            std::abort();
        loaded_ = false;
    }

    FILE *open(const char *mode)
    {
        int fd = dup(fd_); // shares the offset, which starts at 0
        FILE *fp = nullptr;
        if (fd < 0 || lseek(fd, 0, SEEK_SET) != 0 || (fp = fdopen(fd, mode)) == nullptr)
            std::abort();
        return fp;
    }

    const std::vector<uint8_t> &load()
    {
        struct stat st;
        if (!loaded_) {
            if (fstat(fd_, &st) != 0)
                std::abort();
            bytes_.resize(static_cast<size_t>(st.st_size));
            for (size_t done = 0; done < bytes_.size();) {
                ssize_t n = pread(fd_, bytes_.data() + done, bytes_.size() - done,
                                  static_cast<off_t>(done));
                if (n <= 0)
                    std::abort();
                done += static_cast<size_t>(n);
            }
            loaded_ = true;
        }
        return bytes_;
    }

    int fd_ = -1;
    bool loaded_ = false;
    std::vector<uint8_t> bytes_;
};

// The folder of this process, made on first use.
inline const std::string &folder()
{
    static std::string dir = [] {
        struct stat st;
        const char *tmp = std::getenv("TMPDIR");
        std::string base = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) &&
                                   access("/dev/shm", W_OK | X_OK) == 0
                               ? "/dev/shm"
                           : tmp && *tmp ? tmp
                                         : "/tmp";
        std::string templ = base + "/lyrasil-fuzz-" + std::to_string(getpid()) + "-XXXXXX";
        if (mkdtemp(&templ[0]) == nullptr)
            std::abort();
        return templ;
    }();
    static const bool cleanup = std::atexit([] {
        if (DIR *d = opendir(dir.c_str())) {
            while (struct dirent *e = readdir(d))
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    unlink((dir + "/" + e->d_name).c_str());
            closedir(d);
        }
        rmdir(dir.c_str());
    }) == 0;
    (void)cleanup;
    return dir;
}

inline std::string path(const char *name)
{
    return folder() + "/" + name;
}

inline void write(const std::string &file, const char *data, size_t size)
{
    FILE *fp = std::fopen(file.c_str(), "wb");
    if (fp == nullptr || (size > 0 && std::fwrite(data, 1, size, fp) != size) || std::fclose(fp) != 0)
        std::abort();
}

inline bool read(const std::string &file, std::string &out)
{
    FILE *fp = std::fopen(file.c_str(), "rb");
    if (fp == nullptr)
        return false;
    out.clear();
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, fp)) > 0)
        out.append(block, n);
    std::fclose(fp);
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
inline bool valid_utf8(const char *s)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(s);
    while (*p) {
        unsigned c = *p++;
        int more;
        uint32_t cp, min;
        if (c < 0x80)
            continue;
        else if ((c & 0xE0) == 0xC0) { more = 1; cp = c & 0x1F; min = 0x80; }
        else if ((c & 0xF0) == 0xE0) { more = 2; cp = c & 0x0F; min = 0x800; }
        else if ((c & 0xF8) == 0xF0) { more = 3; cp = c & 0x07; min = 0x10000; }
        else return false;
        while (more-- > 0) {
            if ((*p & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (*p++ & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

} // namespace scratch

#define FUZZ_CHECK(cond) \
    do { \
        if (!(cond)) { \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort(); \
        } \
    } while (0)

#endif
