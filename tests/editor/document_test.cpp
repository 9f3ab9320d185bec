// The document without a window: every kind of edit as one step of the
// history, the modified rule, the history's limit, nudging, and the payload
// a save may keep.
#include <gtest/gtest.h>

#include <functional>

#include "document.h"

namespace {

using Cells = std::vector<std::pair<std::string, std::string>>;

Rows ToRows(const Cells& cells)
{
    Rows rows;
    for (const auto& c : cells)
        rows.push_back({wxString::FromUTF8(c.first.c_str()), wxString::FromUTF8(c.second.c_str())});
    return rows;
}

// Every row, the entry row included.
Cells RowsOf(const Document& d)
{
    Cells cells;
    for (size_t i = 0; i < d.RowCount(); ++i)
        cells.emplace_back(d.Cells(i).stamp.utf8_str().data(), d.Cells(i).text.utf8_str().data());
    return cells;
}

const Cells kSong = {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"", "Next"}};

Document Opened(const Cells& cells = kSong)
{
    Document d;
    d.Open("/music/song.mp3", ToRows(cells), "payload");
    return d;
}

TEST(DocumentTest, EveryKindOfEditIsOneStepUndoneAndRedoneWhole)
{
    const Cells before = {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"", "Next"}, {"", ""}};
    size_t next = 0;
    const struct {
        const char* kind;
        std::function<Change(Document&)> edit;
        Cells after;
    } cases[] = {
        {"typed text", [](Document& d) { return d.SetCell(1, 1, " there"); },
         {{"00:01.00", "Hello"}, {"00:01.50", " there"}, {"", "Next"}, {"", ""}}},
        {"typed into the entry row", [](Document& d) { return d.SetCell(3, 1, "More"); },
         {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"", "Next"}, {"", "More"}, {"", ""}}},
        {"stamp", [&](Document& d) { return d.Stamp(2, 312, &next); },
         {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"00:03.12", "Next"}, {"", ""}}},
        {"stamp in the entry row", [&](Document& d) { return d.Stamp(3, 400, &next); },
         {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"", "Next"}, {"00:04.00", ""}, {"", ""}}},
        {"insert", [](Document& d) { return d.InsertRow(1); },
         {{"00:01.00", "Hello"}, {"", ""}, {"00:01.50", " world"}, {"", "Next"}, {"", ""}}},
        {"delete", [](Document& d) { return d.DeleteRow(0); }, {{"00:01.50", " world"}, {"", "Next"}, {"", ""}}},
        {"clear stamps", [](Document& d) { return d.ClearStampsFrom(1); },
         {{"00:01.00", "Hello"}, {"", " world"}, {"", "Next"}, {"", ""}}},
        {"offset", [](Document& d) { return d.ShiftStampsFrom(0, 1500); },
         {{"00:02.50", "Hello"}, {"00:03.00", " world"}, {"", "Next"}, {"", ""}}},
        {"nudge", [](Document& d) { return d.Nudge({0, 1}, -100); },
         {{"00:00.90", "Hello"}, {"00:01.40", " world"}, {"", "Next"}, {"", ""}}},
        {"clear", [](Document& d) { return d.Clear(); }, {{"", ""}}},
        {"import", [](Document& d) { return d.Replace(ToRows({{"00:09.00", "New"}})); },
         {{"00:09.00", "New"}, {"", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        Document d = Opened();
        ASSERT_EQ(before, RowsOf(d));
        EXPECT_FALSE(d.CanUndo());
        Change change = c.edit(d);
        EXPECT_TRUE(change.changed);
        EXPECT_EQ(c.after, RowsOf(d));
        EXPECT_TRUE(d.Modified());
        d.Undo();
        EXPECT_EQ(before, RowsOf(d));
        EXPECT_FALSE(d.Modified()) << "undone to what was loaded";
        EXPECT_FALSE(d.CanUndo());
        d.Redo();
        EXPECT_EQ(c.after, RowsOf(d));
        EXPECT_FALSE(d.CanRedo());
    }
    EXPECT_EQ(4u, next) << "a stamp moves the cursor on";
}

TEST(DocumentTest, AnEditThatChangesNothingIsNoStep)
{
    Document d = Opened({{"", "Text"}, {"junk", "More"}});
    const Change nothing[] = {d.SetCell(0, 1, "Text"), d.DeleteRow(2), d.Nudge({0, 1, 2, 7}, 100),
                              d.ShiftStampsFrom(0, -500), d.InsertRow(9), d.ClearStampsFrom(2)};
    for (const Change& c : nothing)
        EXPECT_FALSE(c.changed);
    EXPECT_FALSE(d.CanUndo());
    EXPECT_FALSE(d.Modified());
}

TEST(DocumentTest, ModifiedMeansTheRowsDifferFromTheLastLoadOrSave)
{
    Document d = Opened();
    d.SetCell(0, 1, "Bye");
    d.SetCell(0, 1, "Hello");
    EXPECT_FALSE(d.Modified()) << "typed back as it was";
    EXPECT_TRUE(d.CanUndo());

    d.SetCell(2, 0, "00:02.00");
    d.Saved("/music/song.mp3", false);
    EXPECT_FALSE(d.Modified());
    EXPECT_TRUE(d.CanUndo()) << "a save keeps the history";
    d.Undo();
    EXPECT_TRUE(d.Modified()) << "now it differs from the saved rows";
    d.Redo();
    EXPECT_FALSE(d.Modified());

    d.Open("/music/other.mp3", ToRows({{"00:05.00", "Other"}}), "");
    EXPECT_FALSE(d.CanUndo() || d.CanRedo()) << "opening clears the history";
    d.Clear();
    d.Close();
    EXPECT_FALSE(d.CanUndo() || d.Modified() || d.HasTrack()) << "and so does closing";
    EXPECT_EQ((Cells{{"", ""}}), RowsOf(d));
}

TEST(DocumentTest, TheHistoryKeepsTheLastThousandSteps)
{
    Document d = Opened({{"", "0"}});
    for (int i = 1; i <= 1005; ++i)
        d.SetCell(0, 1, wxString::Format("%d", i));
    int undone = 0;
    while (d.CanUndo()) {
        d.Undo();
        ++undone;
    }
    EXPECT_EQ(1000, undone);
    EXPECT_EQ("5", RowsOf(d)[0].second) << "the five oldest steps are gone";
    d.SetCell(0, 0, "00:01.00");
    EXPECT_FALSE(d.CanRedo()) << "a new edit ends the redo";
}

TEST(DocumentTest, NudgingMovesValidStampsOnlyAndNeverBelowZero)
{
    const Cells rows = {{"00:00.05", "a"}, {" 00:01.00 ", "b"}, {"", "c"}, {"junk", "d"}, {"1:05", "e"}};
    const struct {
        std::vector<size_t> rows;
        int64_t ms;
        std::vector<std::string> stamps;
    } cases[] = {
        {{0, 1, 2, 3, 4}, -100, {"00:00.00", "00:00.90", "", "junk", "01:04.90"}},
        {{4, 0, 99}, 10, {"00:00.06", " 00:01.00 ", "", "junk", "01:05.01"}},
    };
    for (const auto& c : cases) {
        Document d = Opened(rows);
        d.Nudge(c.rows, c.ms);
        for (size_t i = 0; i < c.stamps.size(); ++i)
            EXPECT_EQ(c.stamps[i], RowsOf(d)[i].first) << "row " << i << ", nudge " << c.ms;
    }
}

TEST(DocumentTest, TimesFollowTheStampsAndThePayloadOnlyTheLoadedItems)
{
    Document d = Opened();
    EXPECT_EQ((std::vector<long>{1000, 1500, kNoStampTime, kNoStampTime}), d.Times());
    d.SetCell(2, 0, "00:03.00");
    EXPECT_EQ(3000, d.Times()[2]);
    EXPECT_EQ(nullptr, d.KeptPayload());
    d.Undo();
    d.InsertRow(0); // an empty row holds no item
    ASSERT_NE(nullptr, d.KeptPayload());
    d.Saved("/music/song.mp3", false);
    EXPECT_EQ(nullptr, d.KeptPayload()) << "the track holds the rows' own frame now";
}

} // namespace
