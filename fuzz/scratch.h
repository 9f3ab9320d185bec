// scratch.h - files for the fuzz targets: each process works in a folder of
// its own, so that several fuzzing jobs can run side by side.
#ifndef LYRASIL_FUZZ_SCRATCH_H
#define LYRASIL_FUZZ_SCRATCH_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace scratch {

inline const std::string &folder()
{
    static std::string dir = [] {
        const char *tmp = std::getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/lyrasil-fuzz-XXXXXX";
        if (mkdtemp(&templ[0]) == nullptr)
            std::abort();
        return templ;
    }();
    return dir;
}

inline std::string path(const char *name)
{
    return folder() + "/" + name;
}

inline void write(const std::string &file, const uint8_t *data, size_t size)
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
