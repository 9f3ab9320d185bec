// The options record: defaults, malformed values, the file written from
// scratch, and the highlight duration's text.
#include <gtest/gtest.h>

#include "options.h"
#include "scratchdir.h"
#include "wxkeyvale.h"

namespace {

class OptionsTest : public ::testing::Test {
protected:
    ScratchDir scratch{"lyrasil-options"};
    const wxString dir = wxString::FromUTF8(scratch.path().c_str()), path = dir + "/lyrasil.ini";
};

TEST_F(OptionsTest, MissingFileGivesTheDefaultsAndSavingWritesEveryKeyInOrder)
{
    Keyvale settings(path);
    Options o;
    o.tipIndex = 5; // Load starts from the defaults
    o.Load(settings);
    EXPECT_EQ(0, o.tipIndex);
    EXPECT_FALSE(o.syncTimer);
    EXPECT_TRUE(o.showToolbar);
    EXPECT_FALSE(o.textWindow);
    EXPECT_EQ(8, o.highlightTime);
    EXPECT_TRUE(o.lyricsFont.empty());
    EXPECT_EQ(320, o.previewWidth);
    EXPECT_EQ(240, o.previewHeight);
    EXPECT_EQ(-1, o.frameWidth);
    EXPECT_EQ(-1, o.frameHeight);

    o.lyricsFont = wxString::FromUTF8("Sans Ünï 10");
    o.frameWidth = 640;
    o.frameHeight = 480;
    EXPECT_TRUE(o.Save(settings));
    EXPECT_EQ("[Settings]\ntip=0\nsynctimer=0\ntoolbar=1\ntextwindow=0\nhighlight=8\n"
              "lyricsfont=Sans \xC3\x9Cn\xC3\xAF 10\nspeed=100\nstamplead=0\nuslt=0\n[Position]\nframe=640 480\npreview=320 240\n",
              ReadFile(path.utf8_string()));
    Options back;
    back.Load(settings);
    EXPECT_EQ(o.lyricsFont, back.lyricsFont);
    EXPECT_EQ(640, back.frameWidth);
}

TEST_F(OptionsTest, MalformedValuesFallBack)
{
    // Booleans by their first character, numbers by their leading digits,
    // sizes by the parts around the first space; a size side that gives no
    // usable number keeps its default.
    struct {
        const char* ini;
        bool toolbar, synctimer;
        int highlight, tip, previewWidth, previewHeight, frameWidth, frameHeight;
    } cases[] = {
        {"[Settings]\ntoolbar=no\nsynctimer=yes\n", false, true, 8, 0, 320, 240, -1, -1},
        {"[Settings]\ntoolbar=False\nsynctimer=T\n", false, true, 8, 0, 320, 240, -1, -1},
        {"[Settings]\ntoolbar=maybe\nsynctimer=\n", true, false, 8, 0, 320, 240, -1, -1},
        {"[Settings]\nhighlight=12abc\n", true, false, 12, 0, 320, 240, -1, -1},
        {"[Settings]\nhighlight=\n", true, false, 8, 0, 320, 240, -1, -1},
        {"[Settings]\nhighlight=99999999999\ntip=-99999999999\n", true, false, 8, 0, 320, 240, -1, -1},
        {"[Settings]\ntip=0x10\n", true, false, 8, 16, 320, 240, -1, -1},
        {"[Position]\npreview=640\n", true, false, 8, 0, 640, 240, -1, -1},
        {"[Position]\npreview=wide tall\nframe=900x700\n", true, false, 8, 0, 320, 240, 900, -1},
        {"[Position]\nframe=0 0\n", true, false, 8, 0, 320, 240, -1, -1},
        {"[Position]\nframe=99999999999 600\n", true, false, 8, 0, 320, 240, -1, 600},
        {"[Position]\nframe=640  480\n", true, false, 8, 0, 320, 240, 640, 480},
    };
    Keyvale settings(path);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        WriteFile(path.utf8_string(), c.ini);
        Options o;
        o.Load(settings);
        EXPECT_EQ(c.toolbar, o.showToolbar);
        EXPECT_EQ(c.synctimer, o.syncTimer);
        EXPECT_EQ(c.highlight, o.highlightTime);
        EXPECT_EQ(c.tip, o.tipIndex);
        EXPECT_EQ(c.previewWidth, o.previewWidth);
        EXPECT_EQ(c.previewHeight, o.previewHeight);
        EXPECT_EQ(c.frameWidth, o.frameWidth);
        EXPECT_EQ(c.frameHeight, o.frameHeight);
    }
}

TEST_F(OptionsTest, SpeedAndStampLeadKeepOnlyTheirOwnValues)
{
    const struct {
        const char* ini;
        int speed, lead;
    } cases[] = {{"[Settings]\nspeed=50\nstamplead=1000\n", 50, 1000},
                 {"[Settings]\nspeed=60\nstamplead=1001\n", 100, 0},
                 {"[Settings]\nspeed=fast\nstamplead=-1\n", 100, 0}};
    Keyvale settings(path);
    for (const auto& c : cases) {
        WriteFile(path.utf8_string(), c.ini);
        Options o;
        o.Load(settings);
        EXPECT_EQ(c.speed, o.speed) << c.ini;
        EXPECT_EQ(c.lead, o.stampLead) << c.ini;
    }
}

TEST_F(OptionsTest, AFileThatCannotBeWrittenIsReported)
{
    Keyvale settings(dir + "/no/such/folder/lyrasil.ini");
    EXPECT_FALSE(Options().Save(settings));
}

TEST(HighlightTimeTest, FormatsTenthsAsSecondsWithAPoint)
{
    EXPECT_EQ(wxString("0.8"), FormatHighlightTime(8));
    EXPECT_EQ(wxString("1.2"), FormatHighlightTime(12));
    EXPECT_EQ(wxString("0.0"), FormatHighlightTime(0));
    EXPECT_EQ(wxString("-0.5"), FormatHighlightTime(-5));
    EXPECT_EQ(wxString("214748364.7"), FormatHighlightTime(2147483647));
}

TEST(HighlightTimeTest, ReadsDecimalNumbersAndRefusesEverythingElse)
{
    struct {
        const char* text;
        bool ok;
        int tenths;
    } cases[] = {
        {"1.25", true, 12},  {"0.85", true, 8},   {"2", true, 20},     {" 0.8", true, 8},
        {"2.3", true, 23},   {"-0.85", true, -8}, {"+1", true, 10},    {".5", true, 5},
        {"3.", true, 30},    {"0", true, 0},      {"", false, 0},      {"abc", false, 0},
        {"1.5s", false, 0},  {"1.5 ", false, 0},  {"1,5", false, 0},   {"inf", false, 0},
        {"nan", false, 0},   {"1e1", false, 0},   {".", false, 0},     {"-", false, 0},
        {"214748364.7", true, 2147483647},        {"214748364.8", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int tenths = -12345;
        EXPECT_EQ(c.ok, ParseHighlightTime(c.text, &tenths));
        EXPECT_EQ(c.ok ? c.tenths : -12345, tenths);
    }
}

} // namespace

namespace {

TEST(StampLeadTest, WholeMillisecondsFromZeroToOneThousand)
{
    const std::pair<const char*, int> cases[] = {{"200", 200}, {" 0 ", 0},     {"1000", 1000}, {"150.7", 150},
                                                 {"1001", -7}, {"-5", -7},     {"", -7},       {"2e2", -7},
                                                 {"1,5", -7}};
    for (const auto& c : cases) {
        int ms = -7;
        EXPECT_EQ(c.second != -7, ParseStampLead(c.first, &ms)) << c.first;
        EXPECT_EQ(c.second, ms) << c.first;
    }
}

} // namespace
