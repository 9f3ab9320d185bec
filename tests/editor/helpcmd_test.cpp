// The user guide's viewer: which mailcap entry is chosen, the manual's path
// reaching a stand-in viewer exactly, the fallbacks, and the refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <wx/filename.h>
#include <wx/stopwatch.h>

#include "helpcmd.h"
#include "scratchdir.h"

namespace {

void Write(const wxString& path, const std::string& bytes, mode_t mode = 0644)
{
    WriteFile(path.utf8_string(), bytes);
    chmod(path.utf8_string().c_str(), mode);
}

class HelpCmdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        record = dir + "/argv";
        viewer = dir + "/viewer";
        // Writes each argument followed by a NUL byte, so that any name,
        // line breaks included, is recorded exactly.
        Write(viewer, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > " + ShellQuote(record).utf8_string() + "\n",
              0755);
        lookup.mailcapPath = dir + "/mailcap";
    }

    // A documentation folder named name, holding the manual.
    wxString Manual(const wxString& name)
    {
        wxString docDir = dir + "/" + name;
        EXPECT_TRUE(wxFileName::Mkdir(docDir, 0755, wxPATH_MKDIR_FULL));
        Write(UserGuidePath(docDir), "%PDF-1.4\n");
        return UserGuidePath(docDir);
    }

    // Runs the command as the editor does and returns the arguments that
    // the stand-in viewer got.
    std::vector<std::string> Run(const wxString& command)
    {
        std::remove(record.utf8_string().c_str());
        EXPECT_EQ(0, std::system(command.utf8_string().c_str())) << command.utf8_string();
        std::vector<std::string> args;
        std::string bytes = ReadFile(record.utf8_string());
        size_t start = 0, end;
        while ((end = bytes.find('\0', start)) != std::string::npos) {
            args.push_back(bytes.substr(start, end - start));
            start = end + 1;
        }
        return args;
    }

    ScratchDir scratch{"lyrasil-help"};
    const wxString dir = wxString::FromUTF8(scratch.path().c_str());
    wxString record, viewer;
    ViewerLookup lookup;
};

TEST_F(HelpCmdTest, TheFirstUsablePdfEntryIsChosen)
{
    wxString manual = Manual("my 'doc'");
    // Each mailcap text names its usable entry "chosen"; in the expected
    // command %P stands for the quoted path.
    struct Case {
        const char* why;
        const char* mailcap;
        const char* command; // nullptr: nothing usable
    } cases[] = {
        {"plain entry", "application/pdf; chosen %s\n", "chosen %P"},
        {"terminal and pager entries skipped",
         "application/pdf; less %s; needsterminal\napplication/pdf; pdftotext %s -; copiousoutput\n"
         "application/pdf; chosen %s\n",
         "chosen %P"},
        {"flags are case blind", "application/pdf; t %s; NeedsTerminal \napplication/pdf; chosen %s\n", "chosen %P"},
        {"failing test skipped, passing test kept",
         "application/pdf; no %s; test=false\napplication/pdf; chosen %s; test = true\n", "chosen %P"},
        {"the test sees the quoted path",
         "application/pdf; no %s; test=test ! -f %s\napplication/pdf; chosen %s; test=test -f %s\n", "chosen %P"},
        {"entries without %s skipped", "application/pdf; cat\napplication/pdf;\napplication/pdf; chosen %s\n",
         "chosen %P"},
        {"other types skipped", "text/plain; no %s\napplication/pdfx; no %s\napplication/pdf; chosen %s\n",
         "chosen %P"},
        {"types are case blind", "Application/PDF; chosen %s\n", "chosen %P"},
        {"wildcard", "application/*; chosen %s\n", "chosen %P"},
        {"bare major type", "  application ; chosen %s\n", "chosen %P"},
        {"comments and blank lines", "# application/pdf; no %s\n\n   \n\t# x\napplication/pdf; chosen %s\n",
         "chosen %P"},
        {"continued line", "application/pdf; \\\n  chosen \\\n%s\n", "chosen %P"},
        {"CRLF line ends", "application/pdf; chosen %s\r\n", "chosen %P"},
        {"escaped semicolon", "application/pdf; chosen %s \\; needsterminal\n", "chosen %P ; needsterminal"},
        {"escaped percent, %t and parameters", "application/pdf; chosen 100\\% %t%{charset} %s\n",
         "chosen 100% application/pdf %P"},
        {"only terminal viewers", "application/pdf; less %s; needsterminal\n", nullptr},
        {"empty file", "", nullptr},
    };
    for (const Case& c : cases) {
        Write(lookup.mailcapPath, c.mailcap);
        HelpCommand help = FindHelpCommand(manual, lookup);
        if (c.command) {
            wxString expected(c.command);
            expected.Replace("%P", ShellQuote(manual));
            EXPECT_EQ(HelpStatus::Ok, help.status) << c.why;
            EXPECT_EQ(expected, help.command) << c.why;
        } else {
            EXPECT_EQ(HelpStatus::NoViewer, help.status) << c.why;
            EXPECT_TRUE(help.command.empty()) << c.why;
        }
    }
}

TEST_F(HelpCmdTest, ATestThatHangsIsCutShort)
{
    wxString manual = Manual("doc");
    lookup.testTimeoutMs = 100;
    Write(lookup.mailcapPath, "application/pdf; slow %s; test=sleep 5\napplication/pdf; chosen %s\n");
    wxStopWatch sw;
    HelpCommand help = FindHelpCommand(manual, lookup);
    EXPECT_LT(sw.Time(), 2000);
    EXPECT_EQ("chosen " + ShellQuote(manual), help.command);
}

TEST_F(HelpCmdTest, TheViewerGetsExactlyTheManualsPath)
{
    const wxString folders[] = {
        "doc",
        "my docs",
        "it's \"quoted\"",
        "$HOME $(touch pwned) `touch pwned` ;|&<>*?",
        "back\\slash\nnew line",
        wxString::FromUTF8("Lyrasil-Handbuch \xC3\xBC\xC3\xA9"),
        "'%s'",
    };
    // The path alone, inside quotes of the entry's own, and inside a word.
    const char* entries[] = {"%s", "'%s'", "\"%s\"", "--file=%s"};
    for (const wxString& folder : folders) {
        wxString manual = Manual(folder);
        for (const char* entry : entries) {
            Write(lookup.mailcapPath, "application/pdf; " + ShellQuote(viewer).utf8_string() + " " + entry + " end\n");
            HelpCommand help = FindHelpCommand(manual, lookup);
            ASSERT_EQ(HelpStatus::Ok, help.status);
            std::string expected = (std::string(entry) == "--file=%s" ? "--file=" : "") + manual.utf8_string();
            EXPECT_EQ((std::vector<std::string>{expected, "end"}), Run(help.command))
                << folder.utf8_string() << " with " << entry;
        }
    }
    EXPECT_FALSE(wxFileExists(dir + "/pwned"));
    EXPECT_FALSE(wxFileExists("pwned"));
}

TEST_F(HelpCmdTest, WithoutAUsableEntryTheFallbacksAreTried)
{
    wxString manual = Manual("a b's");
    Write(lookup.mailcapPath, "application/pdf; less %s; needsterminal\n");
    lookup.useMimeTypes = false;

    // Nothing at all.
    lookup.searchPath = "";
    EXPECT_EQ(HelpStatus::NoViewer, FindHelpCommand(manual, lookup).status);
    lookup.searchPath = dir + "/none:/nonexistent";
    EXPECT_EQ(HelpStatus::NoViewer, FindHelpCommand(manual, lookup).status);

    // xdg-open found in the search path: an executable file only.
    wxString bin = dir + "/bin";
    wxFileName::Mkdir(bin + "/xdg-open", 0755, wxPATH_MKDIR_FULL); // a folder is no program
    wxString other = dir + "/other";
    wxFileName::Mkdir(other, 0755);
    Write(other + "/xdg-open", "#!/bin/sh\n", 0644); // not executable
    wxString good = dir + "/good";
    wxFileName::Mkdir(good, 0755);
    Write(good + "/xdg-open", ReadFile(viewer.utf8_string()), 0755);
    lookup.searchPath = bin + ":" + other + "::" + good;
    HelpCommand help = FindHelpCommand(manual, lookup);
    ASSERT_EQ(HelpStatus::Ok, help.status);
    EXPECT_EQ((std::vector<std::string>{manual.utf8_string()}), Run(help.command));

    // A usable mailcap entry comes first.
    Write(lookup.mailcapPath, "application/pdf; " + ShellQuote(viewer).utf8_string() + " mailcap %s\n");
    EXPECT_EQ((std::vector<std::string>{"mailcap", manual.utf8_string()}), Run(FindHelpCommand(manual, lookup).command));

    // A mailcap that is missing or a FIFO counts as empty (and does not
    // block).
    wxRemoveFile(lookup.mailcapPath);
    EXPECT_EQ(HelpStatus::Ok, FindHelpCommand(manual, lookup).status);
    ASSERT_EQ(0, mkfifo(lookup.mailcapPath.utf8_string().c_str(), 0644));
    EXPECT_EQ((std::vector<std::string>{manual.utf8_string()}), Run(FindHelpCommand(manual, lookup).command));
}

TEST_F(HelpCmdTest, TheDesktopFilesComeBeforeXdgOpen)
{
    // The toolkit reads the desktop files once per process, from these
    // folders; no other test here asks it.  It lower-cases the Exec line,
    // so the stand-in is found through PATH under a lower-case name.
    wxString data = dir + "/share";
    wxFileName::Mkdir(data + "/applications", 0755, wxPATH_MKDIR_FULL);
    Write(data + "/applications/stand-in.desktop",
          "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=lyrasil-stand-in --open %f\n"
          "MimeType=application/pdf;\n");
    Write(dir + "/lyrasil-stand-in", ReadFile(viewer.utf8_string()), 0755);
    setenv("XDG_DATA_HOME", data.utf8_string().c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir + "/nothing").utf8_string().c_str(), 1);
    setenv("PATH", (dir.utf8_string() + ":" + std::getenv("PATH")).c_str(), 1);

    wxString manual = Manual("it's \"odd\" $x");
    lookup.mailcapPath = "";
    lookup.useMimeTypes = true;
    Write(dir + "/xdg-open", ReadFile(viewer.utf8_string()), 0755);
    lookup.searchPath = dir;
    HelpCommand help = FindHelpCommand(manual, lookup);
    ASSERT_EQ(HelpStatus::Ok, help.status);
    EXPECT_EQ((std::vector<std::string>{"--open", manual.utf8_string()}), Run(help.command));
}

TEST_F(HelpCmdTest, AManualThatIsNotThereIsReportedBeforeAnyViewer)
{
    Write(lookup.mailcapPath, "application/pdf; " + ShellQuote(viewer).utf8_string() + " %s\n");
    EXPECT_EQ(HelpStatus::NoManual, FindHelpCommand(dir + "/doc/lyrasil.pdf", lookup).status);
    wxFileName::Mkdir(dir + "/doc/lyrasil.pdf", 0755, wxPATH_MKDIR_FULL);
    EXPECT_EQ(HelpStatus::NoManual, FindHelpCommand(dir + "/doc/lyrasil.pdf", lookup).status);
    EXPECT_FALSE(wxFileExists(record));
}

TEST(HelpWords, QuotingAndUrls)
{
    EXPECT_EQ("'a b'", ShellQuote("a b"));
    EXPECT_EQ("'it'\\''s'", ShellQuote("it's"));
    EXPECT_EQ("''", ShellQuote(""));

    EXPECT_EQ("/usr/share/doc/lyrasil/lyrasil.pdf", UserGuidePath("/usr/share/doc/lyrasil"));
    EXPECT_EQ("file:///usr/share/doc/lyrasil/lyrasil.pdf", UserGuideUrl("/usr/share/doc/lyrasil"));
    EXPECT_EQ("file:///my%20docs/a%23b%3F%25/%C3%BC-._~/lyrasil.pdf",
              UserGuideUrl(wxString::FromUTF8("/my docs/a#b?%/\xC3\xBC-._~")));
}

} // namespace
