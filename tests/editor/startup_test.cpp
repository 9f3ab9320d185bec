// Start-up rules that need no display: documentation folder, size texts,
// window title.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <wx/filename.h>

#include "scratchdir.h"
#include "startup.h"

namespace {

class DocDirTest : public ::testing::Test {
protected:
    void SetUp() override { MakeDir(exeDir); }
    void MakeDir(const wxString& path) { ASSERT_TRUE(wxFileName::Mkdir(path, 0777, wxPATH_MKDIR_FULL)); }

    ScratchDir scratch{"lyrasil-doc"};
    const wxString root = wxString::FromUTF8(scratch.path().c_str()), exeDir = root + "/prefix/bin";
};

TEST_F(DocDirTest, DocBesideTheExecutablesFolderWinsOverDocInsideIt)
{
    MakeDir(root + "/prefix/doc");
    MakeDir(exeDir + "/doc");
    EXPECT_EQ(root + "/prefix/doc", FindDocDir(exeDir, "../share/doc/x"));
}

TEST_F(DocDirTest, DocInsideTheExecutablesFolderIsSecond)
{
    MakeDir(exeDir + "/doc");
    MakeDir(root + "/prefix/share/doc/x");
    EXPECT_EQ(exeDir + "/doc", FindDocDir(exeDir, "../share/doc/x"));
}

TEST_F(DocDirTest, InstalledDocFolderIsFoundRelativeToTheExecutable)
{
    MakeDir(root + "/prefix/share/doc/x");
    EXPECT_EQ(exeDir + "/../share/doc/x", FindDocDir(exeDir, "../share/doc/x"));
}

TEST_F(DocDirTest, WithNoDocFolderTheExecutablesFolderIsUsed)
{
    EXPECT_EQ(exeDir, FindDocDir(exeDir, "../share/doc/x"));
    EXPECT_EQ(exeDir, FindDocDir(exeDir, ""));
}

TEST_F(DocDirTest, PlainFilesNamedDocDoNotCount)
{
    WriteFile(scratch.Path("prefix/doc"), "not a folder");
    EXPECT_EQ(exeDir, FindDocDir(exeDir, ""));
}

TEST(SizeTextTest, ParsesWidthAndHeightAroundTheFirstSpace)
{
    struct {
        const char* text;
        int defW, defH, width, height;
    } cases[] = {
        {"800 600", -1, -1, 800, 600},
        {"", 320, 240, 320, 240},            // missing key: defaults
        {"640", 320, 240, 640, 240},         // no space: no height
        {"640 ", 320, 240, 640, 240},
        {" 640 480", 320, 240, 320, 640},    // empty width, then "640 480"
        {"640  480", 320, 240, 640, 480},    // strtol skips the second blank
        {"800x600 500", -1, -1, 800, 500},   // leading digits count
        {"abc def", 320, 240, 320, 240},
        {"0 0", -1, -1, -1, -1},             // a window never vanishes
        {"-5 7", -1, -1, -1, 7},
        {"32767 32768", -1, -1, 32767, -1},
        {"99999999999999999999 5", -1, -1, -1, 5},
    };
    for (const auto& c : cases) {
        int w = c.defW, h = c.defH;
        ParseSizeText(c.text, w, h);
        EXPECT_EQ(c.width, w) << '"' << c.text << '"';
        EXPECT_EQ(c.height, h) << '"' << c.text << '"';
    }
}

TEST(SizeTextTest, FormatReadsBack)
{
    EXPECT_EQ(wxString("320 240"), FormatSizeText(320, 240));
    int w = 0, h = 0;
    ParseSizeText(FormatSizeText(1234, 987), w, h);
    EXPECT_EQ(1234, w);
    EXPECT_EQ(987, h);
}

TEST(SettingToIntTest, KeepsIntsAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(-1, SettingToInt(-1, 0));
    EXPECT_EQ(2147483647, SettingToInt(2147483647L, 0));
    EXPECT_EQ(8, SettingToInt(static_cast<long>(INT_MAX) + 1, 8));
    EXPECT_EQ(8, SettingToInt(static_cast<long>(INT_MIN) - 1, 8));
}

TEST(WindowTitleTest, NamesTheTrackByItsFileName)
{
    EXPECT_EQ(wxString("Lyrasil"), MakeWindowTitle(""));
    EXPECT_EQ(wxString("Lyrasil - a.mp3"), MakeWindowTitle("/music/x/a.mp3"));
    EXPECT_EQ(wxString("Lyrasil - b.mp3"), MakeWindowTitle("b.mp3"));
    EXPECT_EQ(wxString::FromUTF8("Lyrasil - Ünïcode song.mp3"),
              MakeWindowTitle(wxString::FromUTF8("/m/Ünïcode song.mp3")));
}

TEST(TipsFileTest, HoldsAtLeastADozenTips)
{
    std::ifstream in(LYRASIL_TIPS_FILE);
    ASSERT_TRUE(in.good()) << LYRASIL_TIPS_FILE;
    int tips = 0;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            ++tips;
    EXPECT_GE(tips, 12);
}

} // namespace
