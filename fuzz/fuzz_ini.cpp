// INI reading and writing on arbitrary files.
//
// Input: one byte choosing the change (set a key, delete a key, delete a
// section, set a key before the first header), then the section name, key
// and value, each ended by a NUL, then the INI file.  Without three NULs the
// whole input is the file and the change sets "tip=3" in [Settings].
//
// Checked, besides the sanitizers: every read function on the file; the
// write succeeds and leaves no temporary file; every line that the change
// does not touch survives byte for byte, in order: setting replaces at most
// one line and adds at most a line feed, a section header and the key line;
// deleting a key removes at most one line; deleting a section removes one
// run of lines that starts with a header.  A key set with plain names and
// value reads back as written.
#include <dirent.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "keyvale.h"
#include "scratch.h"

using Lines = std::vector<std::string>;

static Lines split(std::string_view s)
{
    Lines lines;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find('\n', start);
        end = end == std::string_view::npos ? s.size() : end + 1;
        lines.emplace_back(s.substr(start, end - start));
        start = end;
    }
    return lines;
}

static bool is_header(const std::string &line)
{
    size_t i = 0;
    while (i < line.size() && (unsigned char)line[i] >= 1 && (unsigned char)line[i] <= 32)
        i++;
    return i < line.size() && line[i] == '[';
}

static bool plain_name(const std::string &s)
{
    if (s.empty() || s.size() > 64)
        return false;
    for (unsigned char c : s)
        if (!(isalnum(c) || c == '_' || c == '.' || c == '-'))
            return false;
    return true;
}

static bool plain_value(const std::string &s)
{
    if (s.size() > 200 || (!s.empty() && s[0] == ' '))
        return false;
    for (unsigned char c : s)
        if (c < 32 || c == 127)
            return false;
    return true;
}

static int count_entries()
{
    int n = 0;
    DIR *d = opendir(scratch::folder().c_str());
    FUZZ_CHECK(d != nullptr);
    while (struct dirent *e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            n++;
    closedir(d);
    return n;
}

static int browse_cb(const char *, const char *, const char *, void *user)
{
    return ++*static_cast<int *>(user) < 1000;
}

static void read_everything(const char *file, const char *section, const char *key)
{
    char buf[512];
    ini_gets(section, key, "default", buf, sizeof buf, file);
    ini_gets(section, key, "default", buf, 3, file);
    ini_getl(section, key, 7, file);
    ini_getf(section, key, 7.0f, file);
    ini_getbool(section, key, -1, file);
    for (int i = 0; i < 4; i++) {
        ini_getsection(i, buf, sizeof buf, file);
        ini_getkey(section, i, buf, sizeof buf, file);
    }
    int n = 0;
    FUZZ_CHECK(ini_browse(browse_cb, &n, file) == 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string file = scratch::path("settings.ini");
    if (size < 1)
        return 0;
    int op = data[0] & 3;
    std::string fields[3];
    const char *p = reinterpret_cast<const char *>(data) + 1, *end = p + size - 1;
    int got = 0;
    for (const char *q = p; got < 3 && q < end; q++)
        if (*q == '\0') {
            fields[got++].assign(p, q);
            p = q + 1;
        }
    if (got < 3) {
        fields[0] = "Settings", fields[1] = "tip", fields[2] = "3";
        p = reinterpret_cast<const char *>(data) + 1;
        op = 0;
    }
    std::string_view old(p, end - p);
    scratch::write(file, old.data(), old.size());

    const char *section = op == 3 ? nullptr : fields[0].c_str();
    const char *key = op == 2 ? nullptr : fields[1].c_str();
    const char *value = op == 1 || op == 2 ? nullptr : fields[2].c_str();
    read_everything(file.c_str(), section, fields[1].c_str());

    FUZZ_CHECK(ini_puts(section, key, value, file.c_str()) == 1);
    FUZZ_CHECK(count_entries() == 1);
    std::string now;
    FUZZ_CHECK(scratch::read(file, now));
    read_everything(file.c_str(), section, fields[1].c_str());

    // A NUL byte inside a line is beyond what a line-based text format
    // promises to keep; such files only have to be survived.
    // Names and values are written as the caller spells them, so one that
    // holds a line feed adds lines of its own; the editor never passes one.
    if (old.find('\0') != std::string_view::npos)
        return 0;
    for (const std::string &f : fields)
        if (f.find('\n') != std::string::npos)
            return 0;

    Lines a = split(old), b = split(now);
    size_t pre = 0;
    while (pre < a.size() && pre < b.size() && a[pre] == b[pre])
        pre++;
    size_t suf = 0;
    while (suf < a.size() - pre && suf < b.size() - pre &&
           a[a.size() - 1 - suf] == b[b.size() - 1 - suf])
        suf++;
    Lines removed(a.begin() + pre, a.end() - suf), added(b.begin() + pre, b.end() - suf);
    // A last line without its line feed may get one before an addition.
    if (removed.size() == 1 && !added.empty() && added[0] == removed[0] + "\n" &&
        removed[0].back() != '\n') {
        removed.clear();
        added.erase(added.begin());
    }

    if (value != nullptr) {
        FUZZ_CHECK(removed.size() <= 1);
        FUZZ_CHECK(added.size() <= 3);
        if (!added.empty())
            FUZZ_CHECK(added.back().compare(0, std::strlen(key) + 1, std::string(key) + "=") == 0 ||
                       std::strlen(key) > 400);
        for (size_t i = 0; i + 1 < added.size(); i++)
            FUZZ_CHECK(added[i] == "\n" || is_header(added[i]));
        if (plain_name(fields[1]) && plain_value(fields[2]) &&
            (section == nullptr || plain_name(fields[0]))) {
            char buf[512];
            ini_gets(section, key, "\x01missing", buf, sizeof buf, file.c_str());
            if (fields[2] != buf) {
                std::fprintf(stderr, "wrote \"%s\", read back \"%s\"\n", fields[2].c_str(), buf);
                FUZZ_CHECK(fields[2] == buf);
            }
        }
    } else if (key != nullptr) {
        FUZZ_CHECK(added.empty() && removed.size() <= 1);
    } else {
        FUZZ_CHECK(added.empty());
        if (section == nullptr || *section == '\0') {
            FUZZ_CHECK(now == old); // nothing to delete
            return 0;
        }
        // The removed run may be matched a few lines off where equal lines
        // border it; one of the possible placements must start at a header.
        bool found = removed.empty();
        size_t run = a.size() - b.size(), tail = 0;
        while (tail < b.size() && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
            tail++;
        for (size_t s = b.size() - tail; !found && s <= pre; s++)
            found = s < a.size() && is_header(a[s]) && s + run <= a.size();
        FUZZ_CHECK(found);
    }
    return 0;
}
