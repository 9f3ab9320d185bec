// The INI library: the reading grammar, every writing path byte for byte on
// the resulting file, and failures that must leave the file as it was.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "keyvale.h"
#include "scratchdir.h"

namespace {

class Ini : public ::testing::Test {
protected:
    void Write(const std::string& bytes, const std::string& name = "") const
    {
        WriteFile(name.empty() ? path : name, bytes);
    }
    std::string Read() const { return ReadFile(path); }
    std::string Gets(const char* section, const char* key, const char* def = "?", int size = 512) const
    {
        std::vector<char> buf(size);
        int len = ini_gets(section, key, def, buf.data(), size, path.c_str());
        EXPECT_EQ(static_cast<size_t>(len), std::string(buf.data()).size());
        return buf.data();
    }
    // Puts (section, key, value) into a file holding `before` and checks the
    // whole file afterwards.
    void ExpectPut(const std::string& before, const char* section, const char* key, const char* value,
                   const std::string& after)
    {
        Write(before);
        EXPECT_EQ(ini_puts(section, key, value, path.c_str()), 1);
        EXPECT_EQ(Read(), after) << "section " << (section ? section : "(null)") << " key "
                                 << (key ? key : "(null)") << " value " << (value ? value : "(null)");
        EXPECT_EQ(scratch.Entries(), std::set<std::string>{"lyrasil.ini"});
    }

    ScratchDir scratch{"ini_test"};
    const std::string dir = scratch.path(), path = dir + "/lyrasil.ini";
};

// --- reading ---

TEST_F(Ini, ValuesAreCleanedAndUnquoted)
{
    Write("plain = value ; comment\n"
          "semi=\"a;b\"\n"
          "escaped=\"say \\\"hi\\\"\"\n"
          "doubled=\"x\"\"y\"\n"
          "empty=\"\"\n"
          "lone=\"\n"
          "spaced=\"  in  \"\n"
          "inner=a \"b;c\" d\n"
          "hash=v#c\n"
          "a:b=c\n"
          "colon : z\n"
          "  Tip  = 3\n"
          "crlf=v\r\n"
          "backslash=a\\b\\\\c\n"
          "\xC3\xBC=\xC3\xA4 \xE2\x99\xAA\n"          // UTF-8 key; value ends in a 3-byte character
          "lead= \xC3\xA9t\xC3\xA9\t\n");
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"plain", "value"},     {"semi", "a;b"},        {"escaped", "say \"hi\""},
        {"doubled", "x\"y"},    {"empty", ""},          {"lone", ""},
        {"spaced", "  in  "},   {"inner", "a \"b;c\" d"}, {"hash", "v"},
        {"a:b", "c"},           {"colon", "z"},         {"tip", "3"},
        {"crlf", "v"},          {"backslash", "a\\b\\\\c"},
        {"\xC3\xBC", "\xC3\xA4 \xE2\x99\xAA"},           {"lead", "\xC3\xA9t\xC3\xA9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Gets(nullptr, c.first), c.second) << c.first;
}

TEST_F(Ini, LinesThatAreNotKeys)
{
    Write("; k=1\n# k=2\nk 3\n\n   \nk=4\n=5\n");
    EXPECT_EQ(Gets(nullptr, "k"), "4");
    EXPECT_EQ(Gets(nullptr, ""), "?");     // an empty name never matches
    EXPECT_EQ(Gets(nullptr, "; k"), "?");
}

TEST_F(Ini, SectionsMatchByExactNameIgnoringCase)
{
    Write("top=0\n"
          "[ Settings ]\nk=spaced\n"
          "[settings]\nk=first\nk=second\n"
          "[SETTINGS]\nk=never\nonly=never\n"
          "[Third]\n[open\nafter=1\n"
          "[Other]  trailing text\nk=other\n");
    EXPECT_EQ(Gets("Settings", "k"), "first");
    EXPECT_EQ(Gets("Settings", "only"), "?");   // a second header of the same name is never reached
    EXPECT_EQ(Gets(" Settings ", "k"), "spaced");
    EXPECT_EQ(Gets("third", "after"), "?");     // a '[' alone ends a section
    EXPECT_EQ(Gets("other", "k"), "other");
    EXPECT_EQ(Gets(nullptr, "top"), "0");
    EXPECT_EQ(Gets("", "top"), "0");
    EXPECT_EQ(Gets(nullptr, "k"), "?");         // keys before the first header only
    EXPECT_EQ(Gets("Missing", "k"), "?");
}

TEST_F(Ini, NumbersAndBooleans)
{
    Write("hex=0x1F\nmixed=12abc\nword=abc\nneg=-5\nneghex=-0x10\nempty=\nf=1.5\n"
          "y=yes\nt=True\none=1000\nn=no\nf0=0ff\nfalse=F\nodd=maybe\n");
    const char* f = path.c_str();
    EXPECT_EQ(ini_getl(nullptr, "hex", 7, f), 31);
    EXPECT_EQ(ini_getl(nullptr, "mixed", 7, f), 12);
    EXPECT_EQ(ini_getl(nullptr, "word", 7, f), 0);
    EXPECT_EQ(ini_getl(nullptr, "neg", 7, f), -5);
    EXPECT_EQ(ini_getl(nullptr, "neghex", 7, f), 0);
    EXPECT_EQ(ini_getl(nullptr, "empty", 7, f), 7);
    EXPECT_EQ(ini_getl(nullptr, "missing", 7, f), 7);
    EXPECT_FLOAT_EQ(ini_getf(nullptr, "f", 2.0f, f), 1.5f);
    EXPECT_FLOAT_EQ(ini_getf(nullptr, "empty", 2.0f, f), 2.0f);
    EXPECT_EQ(Gets(nullptr, "empty"), "");
    for (const char* k : {"y", "t", "one"})
        EXPECT_EQ(ini_getbool(nullptr, k, -1, f), 1) << k;
    for (const char* k : {"n", "f0", "false"})
        EXPECT_EQ(ini_getbool(nullptr, k, -1, f), 0) << k;
    for (const char* k : {"odd", "empty", "missing"})
        EXPECT_EQ(ini_getbool(nullptr, k, -1, f), -1) << k;
}

TEST_F(Ini, LongLinesAreReadIn511BytePieces)
{
    std::string value(509, 'x');
    Write("k=" + value + std::string(80, 'y') + "c=7\n" + "short=" + std::string(100, 'z') + "\n");
    EXPECT_EQ(Gets(nullptr, "k"), value);
    EXPECT_EQ(Gets(nullptr, std::string(80, 'y').append("c").c_str()), "?");   // the rest of a line is no key
    EXPECT_EQ(Gets(nullptr, "short", "?", 11), std::string(10, 'z'));            // cut to the buffer
    EXPECT_EQ(Gets(nullptr, "missing", "default", 4), "def");
}

TEST_F(Ini, MissingFileAndBadArgumentsGiveDefaults)
{
    char buf[8] = "keep";
    EXPECT_EQ(Gets(nullptr, "k", "dflt"), "dflt");
    EXPECT_EQ(ini_gets(nullptr, nullptr, "d", buf, sizeof buf, path.c_str()), 0);
    EXPECT_EQ(ini_gets(nullptr, "k", "d", buf, 0, path.c_str()), 0);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(ini_getl(nullptr, "k", 9, path.c_str()), 9);
    EXPECT_EQ(ini_getsection(0, buf, sizeof buf, path.c_str()), 0);
    EXPECT_STREQ(buf, "");
}

TEST_F(Ini, EnumeratesSectionsAndKeys)
{
    Write("a=1\n; c=0\nb:2\n[One]\nx=1\n[ Two ]\ny=2\n# z=0\nz=3\n");
    const char* f = path.c_str();
    char buf[16];
    std::vector<std::string> sections, keys;
    for (int i = 0; ini_getsection(i, buf, sizeof buf, f) > 0; i++)
        sections.push_back(buf);
    EXPECT_EQ(sections, (std::vector<std::string>{"One", " Two "}));
    for (int i = 0; ini_getkey(" Two ", i, buf, sizeof buf, f) > 0; i++)
        keys.push_back(buf);
    EXPECT_EQ(keys, (std::vector<std::string>{"y", "z"}));
    EXPECT_EQ(ini_getkey(nullptr, 1, buf, sizeof buf, f), 1);
    EXPECT_STREQ(buf, "b");

    strcpy(buf, "keep");
    EXPECT_EQ(ini_getsection(-1, buf, sizeof buf, f), 0);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(ini_getsection(2, buf, sizeof buf, f), 0);
    EXPECT_STREQ(buf, "");
}

int Collect(const char* s, const char* k, const char* v, void* user)
{
    auto* seen = static_cast<std::vector<std::string>*>(user);
    seen->push_back(std::string(s) + "|" + k + "|" + v);
    return seen->size() < 100 ? 1 : 0;
}

TEST_F(Ini, BrowseWalksEveryKeyLine)
{
    Write("top = \"q;q\" ; c\n[A]\n; skip\nk=1\nstray\n[B=x\n[C] tail\n  y : 3 \r\n");
    std::vector<std::string> seen;
    EXPECT_EQ(ini_browse(Collect, &seen, path.c_str()), 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"|top|q;q", "A|k|1", "A|[B|x", "C|y|3"}));

    // The walk stops when the callback says so, and still reports success.
    std::vector<std::string> first(99);
    EXPECT_EQ(ini_browse(Collect, &first, path.c_str()), 1);
    EXPECT_EQ(first.size(), 100u);
    EXPECT_EQ(ini_browse(nullptr, &seen, path.c_str()), 0);
    EXPECT_EQ(ini_browse(Collect, &seen, (dir + "/missing.ini").c_str()), 0);
}

TEST_F(Ini, BrowseSurvivesLongSectionNames)
{
    std::string name(508, 's');
    Write("[" + name + "]\nkey=value\n[x]\nk=v\n");
    std::vector<std::string> seen;
    EXPECT_EQ(ini_browse(Collect, &seen, path.c_str()), 1);   // ends, whatever it makes of the pieces
}

// --- writing ---

TEST_F(Ini, CreatesAMissingFile)
{
    EXPECT_EQ(ini_puts("Settings", "tip", "3", path.c_str()), 1);
    EXPECT_EQ(Read(), "[Settings]\ntip=3\n");
    std::remove(path.c_str());
    EXPECT_EQ(ini_puts(nullptr, "tip", "3", path.c_str()), 1);
    EXPECT_EQ(Read(), "tip=3\n");
    std::remove(path.c_str());
    EXPECT_EQ(ini_puts("Settings", "tip", nullptr, path.c_str()), 1);   // deleting from nothing
    EXPECT_EQ(ini_puts("Settings", nullptr, nullptr, path.c_str()), 1);
    EXPECT_TRUE(scratch.Entries().empty());
}

TEST_F(Ini, SameValueWritesNothing)
{
    Write("[A]\r\nk = \"v;1\" ; note\r\n");
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    EXPECT_EQ(ini_puts("a", "K", "v;1", path.c_str()), 1);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000000);
    EXPECT_EQ(Read(), "[A]\r\nk = \"v;1\" ; note\r\n");
}

TEST_F(Ini, SameLengthLineIsOverwrittenInPlace)
{
    Write("; c\r\n[A]\r\nn = 10\r\nk=10\nm=1\r\n");
    struct stat before, after;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    EXPECT_EQ(ini_puts("A", "k", "11", path.c_str()), 1);
    EXPECT_EQ(Read(), "; c\r\n[A]\r\nn = 10\r\nk=11\nm=1\r\n");
    EXPECT_EQ(ini_puts("A", "N", "12345", path.c_str()), 1);   // "n = 10\r\n" and "N=12345\n": 8 bytes each
    EXPECT_EQ(Read(), "; c\r\n[A]\r\nN=12345\nk=11\nm=1\r\n");
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);   // the same file, not a replacement
}

TEST_F(Ini, ChangedKeyKeepsItsPlaceAndEveryOtherByte)
{
    const std::string head = "; settings\r\ntop=1\r\n\r\n[A]\r\n  x = 1 ; one\r\n";
    const std::string tail = "# tail\r\n[B]\r\nk=10\r\n";
    ExpectPut(head + "k=10\r\n" + tail, "A", "k", "1000", head + "k=1000\n" + tail);
    ExpectPut(head + "K = 1 ; old\r\n" + tail, "a", "k", "2", head + "k=2\n" + tail);
    ExpectPut("[A]\ntip=3\n", "A", "Tip", "4", "[A]\nTip=4\n");
    ExpectPut("top=1\n[A]\ntop=2\n", nullptr, "top", "33", "top=33\n[A]\ntop=2\n");
    ExpectPut("top=1\n[A]\ntop=2\n", "A", "top", "33", "top=1\n[A]\ntop=33\n");
}

TEST_F(Ini, NewKeysGoToTheEndOfTheirSection)
{
    ExpectPut("[A]\nx=1\n\n[B]\n", "A", "y", "2", "[A]\nx=1\n\ny=2\n[B]\n");
    ExpectPut("[A]\nx=1\n; end of A\n[B]\nz=0\n", "B", "y", "2", "[A]\nx=1\n; end of A\n[B]\nz=0\ny=2\n");
    ExpectPut("[A]\n", "A", "y", "2", "[A]\n\ny=2\n");
    ExpectPut("[A]\nx=1", "A", "y", "2", "[A]\nx=1\ny=2\n");
    ExpectPut("x=1\r\n[A]\r\n", nullptr, "y", "2", "x=1\r\ny=2\n[A]\r\n");
    ExpectPut("[A]\n[B]\n", "A", "", "e", "[A]\n=e\n[B]\n");
}

TEST_F(Ini, NewSectionsGoToTheEndOfTheFile)
{
    ExpectPut("[A]\r\nx=1\r\n", "B", "y", "2", "[A]\r\nx=1\r\n[B]\ny=2\n");
    ExpectPut("x=1", "B", "y", "2", "x=1\n[B]\ny=2\n");
    ExpectPut("", "B", "y", "2", "\n[B]\ny=2\n");
    ExpectPut("[ B ]\n", "B", "y", "2", "[ B ]\n[B]\ny=2\n");
}

TEST_F(Ini, Deletions)
{
    const std::string file = "top=0\n[A]\nx=1\r\n; about y\ny = 2\n\n[B]\ny=3\n[C]\nz=4\n";
    ExpectPut(file, "A", "Y", nullptr, "top=0\n[A]\nx=1\r\n; about y\n\n[B]\ny=3\n[C]\nz=4\n");
    ExpectPut(file, nullptr, "top", nullptr, "[A]\nx=1\r\n; about y\ny = 2\n\n[B]\ny=3\n[C]\nz=4\n");
    ExpectPut(file, "A", "missing", nullptr, file);
    ExpectPut(file, "Missing", "y", nullptr, file);
    ExpectPut(file, "Missing", nullptr, nullptr, file);
    ExpectPut(file, "a", nullptr, nullptr, "top=0\n[B]\ny=3\n[C]\nz=4\n");
    ExpectPut(file, "C", nullptr, nullptr, "top=0\n[A]\nx=1\r\n; about y\ny = 2\n\n[B]\ny=3\n");
    ExpectPut("[A]\nx=1\n[B]\n", "A", nullptr, nullptr, "[B]\n");
    ExpectPut(file, nullptr, nullptr, nullptr, file);   // nothing named: nothing deleted
    ExpectPut(file, "", nullptr, "v", file);
}

TEST_F(Ini, ValuesAreQuotedWhenTheReaderWouldChangeThem)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"a;b", "k=\"a;b\"\n"},
        {"x#", "k=\"x#\"\n"},
        {"say \"hi\"", "k=\"say \\\"hi\\\"\"\n"},
        {"end ", "k=\"end \"\n"},
        {";tail\\", "k=\";tail\\\"\n"},
        {"q\"\"", "k=\"q\\\"\\\"\"\n"},
        {"  lead", "k=  lead\n"},      // the reader drops leading spaces anyway
        {"tab\t", "k=tab\t\n"},
        {"\xC3\xA9", "k=\xC3\xA9\n"},
        {"", "k=\n"},
    };
    for (const auto& c : cases) {
        std::remove(path.c_str());
        ASSERT_EQ(ini_puts(nullptr, "k", c.first, path.c_str()), 1);
        EXPECT_EQ(Read(), c.second);
        std::string expected = c.first;
        expected.erase(0, expected.find_first_not_of(' '));
        if (!expected.empty() && expected.back() == '\t')
            expected.pop_back();
        EXPECT_EQ(Gets(nullptr, "k"), expected) << c.first;
    }
}

TEST_F(Ini, OverlongNamesAndValuesAreCutToOneReadableLine)
{
    std::string key(600, 'k'), value(600, '"');
    ASSERT_EQ(ini_puts(nullptr, key.c_str(), "v", path.c_str()), 1);
    EXPECT_EQ(Read(), std::string(508, 'k') + "=\n");
    std::remove(path.c_str());
    ASSERT_EQ(ini_puts(std::string(600, 's').c_str(), "k", value.c_str(), path.c_str()), 1);
    // An escape is never split: 252 of them fit, then the closing quote.
    std::string line = "k=\"";
    for (int i = 0; i < 252; i++)
        line += "\\\"";
    line += "\"\n";
    EXPECT_EQ(Read(), "[" + std::string(507, 's') + "]\n" + line);
    EXPECT_EQ(Gets(std::string(507, 's').c_str(), "k"), std::string(252, '"'));
}

TEST_F(Ini, Numbers)
{
    ASSERT_EQ(ini_putl("N", "min", LONG_MIN, path.c_str()), 1);
    ASSERT_EQ(ini_putl("N", "zero", 0, path.c_str()), 1);
    ASSERT_EQ(ini_putl("N", "neg", -120, path.c_str()), 1);
    ASSERT_EQ(ini_putf("N", "half", 0.5f, path.c_str()), 1);
    EXPECT_EQ(Read(), "[N]\nmin=" + std::to_string(LONG_MIN) + "\nzero=0\nneg=-120\nhalf=0.500000\n");
    EXPECT_EQ(ini_getl("N", "min", 0, path.c_str()), LONG_MIN);
}

// Files larger than one pending block, with overlong lines and a NUL byte,
// come back byte for byte except for the one changed line.
TEST_F(Ini, LargeFilesAreCopiedExactly)
{
    std::string body, changed;
    for (int i = 0; i < 60; i++) {
        std::string line = "key" + std::to_string(i) + " = " + std::string(i * 7 % 50, 'v') + "\r\n";
        if (i == 10)
            line = "long=" + std::string(1200, 'L') + "\n";
        if (i == 20)
            line = std::string("nul=a\0b", 7) + "\n";
        body += line;
        changed += i == 40 ? "key40=changed\n" : line;
    }
    const std::string before = "[S]\n" + body + "[T]\nt=1\n";
    ExpectPut(before, "S", "key40", "changed", "[S]\n" + changed + "[T]\nt=1\n");
    ExpectPut(before, "T", "t", "22", "[S]\n" + body + "[T]\nt=22\n");
    ExpectPut(before, "S", nullptr, nullptr, "[T]\nt=1\n");
}

// --- failures leave the file as it was and no temporary file ---

TEST_F(Ini, FailedWritesLeaveTheFileAlone)
{
    std::string file = "[A]\nk=1\n" + std::string(3000, ';') + "\n[B]\n";
    Write(file);
    {
        FileSizeLimit limit(1024);
        EXPECT_EQ(ini_puts("A", "k", "22", path.c_str()), 0);      // rewrite
        EXPECT_EQ(ini_puts("B", "new", "1", path.c_str()), 0);     // append
        EXPECT_EQ(ini_puts("B", nullptr, nullptr, path.c_str()), 0);
        EXPECT_EQ(ini_puts("A", "k", "2", path.c_str()), 1);       // in place: the file does not grow
    }
    file[6] = '2';
    EXPECT_EQ(Read(), file);
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"lyrasil.ini"});

    std::string fresh = dir + "/fresh.ini";
    {
        FileSizeLimit limit(0);
        EXPECT_EQ(ini_puts("A", "k", "1", fresh.c_str()), 0);
    }
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"lyrasil.ini"});
}

TEST_F(Ini, FilesThatCannotBeReplacedAreLeftAlone)
{
    Write("[A]\nk=1\n");
    // The temporary file's name is taken by a directory.
    ASSERT_EQ(mkdir((dir + "/lyrasil.in~").c_str(), 0700), 0);
    EXPECT_EQ(ini_puts("A", "k", "22", path.c_str()), 0);
    EXPECT_EQ(Read(), "[A]\nk=1\n");
    rmdir((dir + "/lyrasil.in~").c_str());

    // A name ending in '~' would be its own temporary file.
    std::string tilde = dir + "/backup~";
    Write("[A]\nk=1\n", tilde);
    EXPECT_EQ(ini_puts("A", "k", "22", tilde.c_str()), 0);
    EXPECT_EQ(ini_puts("A", "k", "1", tilde.c_str()), 1);   // nothing to write
    std::remove(tilde.c_str());

    // A directory is neither read as settings nor replaced.
    std::string sub = dir + "/sub.ini";
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    EXPECT_EQ(ini_puts("A", "k", "1", sub.c_str()), 0);
    EXPECT_EQ(ini_puts("A", nullptr, nullptr, sub.c_str()), 0);
    EXPECT_EQ(ini_puts("A", "k", "1", (dir + "/no/such.ini").c_str()), 0);
    rmdir(sub.c_str());
    EXPECT_EQ(scratch.Entries(), std::set<std::string>{"lyrasil.ini"});
}

// Many writes in a row must agree with a plain model of the file's keys.
TEST_F(Ini, RandomWritesReadBack)
{
    const char* sections[] = {nullptr, "A", "b", "C c"};
    const char* values[] = {"", "1", "a;b", "\"q\"", "x ", "long value with words", "\xE2\x99\xAA", nullptr};
    std::map<std::pair<int, int>, std::string> model;
    unsigned seed = 12345;
    for (int step = 0; step < 400; step++) {
        seed = seed * 1103515245u + 12345u;
        int s = (seed >> 8) % 4, k = (seed >> 12) % 6, v = (seed >> 16) % 8;
        std::string key = "key" + std::to_string(k);
        ASSERT_EQ(ini_puts(sections[s], key.c_str(), values[v], path.c_str()), 1);
        if (values[v])
            model[{s, k}] = values[v];
        else
            model.erase({s, k});
        if (step % 50 == 0 && s != 0) {
            ASSERT_EQ(ini_puts(sections[s], nullptr, nullptr, path.c_str()), 1);
            for (int i = 0; i < 6; i++)
                model.erase({s, i});
        }
    }
    for (int s = 0; s < 4; s++)
        for (int k = 0; k < 6; k++) {
            auto it = model.find({s, k});
            std::string key = "key" + std::to_string(k);
            EXPECT_EQ(Gets(sections[s], key.c_str(), "<none>"), it == model.end() ? "<none>" : it->second);
        }
}

} // namespace

// A line longer than the reading buffer is read in pieces, but a rewrite
// only ever stops at the start of a line: it never puts a key into the
// middle of one, nor splits one, nor leaves half of an old key line.
TEST_F(Ini, RewritesNeverCutALongLine)
{
    const std::string x(511, 'x');
    struct {
        std::string before;
        const char *section, *key, *value;
        std::string after;
    } cases[] = {
        {"[Settings]\n" + x + "[Settings]\nkey=0\n", "Settings", "key", "v",
         "[Settings]\n" + x + "[Settings]\nkey=v\n"},
        {"[Settings]\n" + x + "key=0\n", "Settings", "key", "v", "[Settings]\n" + x + "key=0\nkey=v\n"},
        {"[Settings]\nkey=" + x + "tail\nnext=1\n", "Settings", "key", "v", "[Settings]\nkey=v\nnext=1\n"},
        {"[A]\n" + x + "[B]\n[B]\nb=1\n", "B", nullptr, nullptr, "[A]\n" + x + "[B]\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before.substr(0, 20));
        Write(c.before);
        EXPECT_EQ(ini_puts(c.section, c.key, c.value, path.c_str()), 1);
        EXPECT_EQ(Read(), c.after);
        if (c.value != nullptr) {
            EXPECT_EQ(Gets(c.section, c.key), c.value) << "what was written reads back";
        }
    }
}
