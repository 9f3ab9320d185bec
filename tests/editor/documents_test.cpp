// Track documents in the real window: open, save, save as, close, leaving,
// the unsaved-changes question, and the LRC import and export.  Every
// message box is checked for its caption, text, icon and buttons.
#include "guitest.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>

#include <wx/filefn.h>
#include <wx/filename.h>

#include "id3build.h"
#include "lyrasilframecode.h"
#include "syncpoint.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

const char kNoSylt[] = "This track has no SYLT frame in its ID3 tag";
const char kNoTag[] = "This track has no ID3 tag";
const char kUnsaved[] = "The SYLT data was modified since it was last saved.\nDo you wish to save the track first?";
const char kNonConforming[] =
    "There are empty time-stamps in the table.\nAlthough the SYLT frame was saved, it is non-conforming.";

std::string InvalidStamp(const std::string& stamp)
{
    return "The time-stamp " + stamp +
           " is invalid.\nPlease use the format mm:ss.dd where \"mm\" is the number of minutes, \"ss\" the number "
           "of seconds and \"dd\" the hundreths of a second.";
}

class DocumentsTest : public WindowTest {
protected:
    wxString Track(const wxString& name, const Bytes& bytes)
    {
        wxString path = Scratch(name);
        WriteFile(path, bytes);
        return path;
    }
    // Opens a track whose tag has no SYLT frame (the notice answered).
    void OpenWithoutSylt(const wxString& path)
    {
        wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", path), ExpectNotice(kNoSylt));
    }
    // Types the rows into the table from its first row on, as a user does.
    void Type(const Rows& rows)
    {
        for (size_t i = 0; i < rows.size(); ++i) {
            EditCell(static_cast<int>(i), 0, wxString::FromUTF8(rows[i].first.c_str()));
            EditCell(static_cast<int>(i), 1, wxString::FromUTF8(rows[i].second.c_str()));
        }
    }
    bool Modified() { return FrameTestAccess::Modified(frame); }
    bool NoTemporaryFiles() const
    {
        const auto names = scratch.Entries();
        return std::none_of(names.begin(), names.end(), [](const std::string& n) { return n.back() == '$'; });
    }
};

TEST_F(DocumentsTest, SavedRowsReloadWithTheirMarkers)
{
    wxString path = Track("song.mp3", tagged_track(3));
    OpenWithoutSylt(path);
    EXPECT_EQ(wxString("Lyrasil - song.mp3"), frame->GetTitle());
    EXPECT_FALSE(Modified());
    EXPECT_TRUE(TableRows().empty());

    const Rows rows = {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"00:03.00", "Next"},
                       {"00:03.50", ""},      {"00:04.00", "Hel"},    {"00:04.20", "_lo"},
                       {"00:05.00", "# Hi"},  {"00:06.00", "Go"},     {"00:06.50", "  on"}};
    Type(rows);
    EXPECT_EQ(rows, TableRows()) << "each edit of the last row appends one entry row";
    EXPECT_TRUE(Modified());

    Command(wxID_SAVE);
    EXPECT_FALSE(Modified());
    EXPECT_TRUE(NoTemporaryFiles());
    TrackContents saved = read_track(ReadFile(path));
    EXPECT_EQ(0, saved.encoding) << "ASCII lyrics";
    EXPECT_EQ("\n[00:01.00]Hello<00:01.50> world\n[00:03.00]Next<00:03.50>\n[00:04.00]Hel<00:04.20>lo"
              "\n[00:05.00] Hi\n[00:06.00]Go<00:06.50> on",
              saved.lrc);
    EXPECT_EQ(rows, TableRows()) << "the save leaves the table as typed";

    OpenThroughDialog(path);
    Rows reloaded = rows;
    reloaded.back().second = " on"; // a double leading blank was saved as one
    EXPECT_EQ(reloaded, TableRows());
    EXPECT_FALSE(Modified());
}

TEST_F(DocumentsTest, EmptyStampsAreSavedWithTheNonConformingNotice)
{
    wxString path = Track("song.mp3", tagged_track(4));
    OpenWithoutSylt(path);
    Type({{"", "Hello"}, {"00:02.00", "Bye"}});
    wxTEST_DIALOG(Command(wxID_SAVE), ExpectMessage("Error", kNonConforming, wxOK | wxICON_INFORMATION));
    EXPECT_FALSE(Modified());
    EXPECT_EQ("\n[]Hello\n[00:02.00]Bye", read_track(ReadFile(path)).lrc);
}

TEST_F(DocumentsTest, InvalidStampsAreRefusedAndTheTrackStaysAsItWas)
{
    wxString path = Track("song.mp3", tagged_track(3));
    const std::string before = ReadFile(path);
    OpenWithoutSylt(path);
    const struct {
        Rows rows;
        const char* stamp;
    } cases[] = {
        {{{"00:61", "Hello"}}, "[00:61]"},
        {{{"00:01.00", "Hi"}, {"00:61", " there"}}, "<00:61>"},
        {{{"00:01.00", "Hi"}, {"5x", "_ya"}}, "<5x>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stamp);
        Type(c.rows);
        wxTEST_DIALOG(Command(wxID_SAVE), ExpectError(InvalidStamp(c.stamp)));
        EXPECT_TRUE(Modified());
        EXPECT_EQ(before, ReadFile(path));
        EXPECT_TRUE(NoTemporaryFiles());
        for (int r = 0; r < 2; ++r) {
            EditCell(r, 0, "");
            EditCell(r, 1, "");
        }
    }

    // Stamps that the time-stamp rules accept are saved and stay as typed.
    Type({{"1:05", "a"}, {"00:75.00", "b"}});
    Command(wxID_SAVE);
    EXPECT_EQ("\n[01:05.00]a\n[01:15.00]b", read_track(ReadFile(path)).lrc);
    EXPECT_EQ(wxString("1:05"), Grid()->GetCellValue(0, 0));
}

TEST_F(DocumentsTest, AnEmptyTableSavesTheTrackWithoutSyltFrame)
{
    const Bytes frames = frame_of(3, "TIT2", text0("Song")) + cover_frame(3);
    wxString path = Track("song.mp3", make_tag(3, 0, frames + sylt_frame(3, {{"\nOld", 1000}}), 50) + audio(2000));
    OpenThroughDialog(path);
    EXPECT_EQ((Rows{{"00:01.00", "Old"}}), TableRows());
    EditCell(0, 0, "");
    EditCell(0, 1, "");
    Command(wxID_SAVE);
    EXPECT_EQ(make_tag(3, 0, frames) + audio(2000), ReadFile(path))
        << "every other frame and the audio byte for byte, no SYLT frame, no padding";
}

TEST_F(DocumentsTest, ATrackWithoutTagGainsAVersion4Tag)
{
    wxString path = Track("plain.mp3", audio(2000));
    wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", path), ExpectNotice(kNoTag));
    Type({{"00:01.00", "Grüße"}});
    Command(wxID_SAVE);
    std::string saved = ReadFile(path);
    TrackContents c = read_track(saved);
    EXPECT_EQ(4, c.version);
    EXPECT_EQ(3, c.encoding) << "UTF-8 in a version-4 tag";
    EXPECT_EQ("\n[00:01.00]Grüße", c.lrc);
    EXPECT_EQ(audio(2000), saved.substr(saved.size() - audio(2000).size()));
}

TEST_F(DocumentsTest, SaveAsWritesTheNewTrackAndMovesTheDocumentOnlyOnSuccess)
{
    wxString a = Track("a.mp3", tagged_track(3, sylt_frame(3, {{"\nOld", 1000}})));
    const std::string original = ReadFile(a);
    OpenThroughDialog(a);
    EditCell(0, 1, "New");

    // Something of another's holds the temporary name (here a folder): it
    // stays, and so does the document.
    wxFileName::Mkdir(Scratch("b.mp$"));
    wxTEST_DIALOG(Command(wxID_SAVEAS), ExpectFile("Save file...", Scratch("b.mp3")),
                  ExpectError("\"" + Scratch("b.mp$") +
                              "\" is in the way: this program did not make it (it may be left from an "
                              "interrupted run).\nRemove or rename it and try again.\nThe track was not changed."));
    EXPECT_FALSE(wxFileExists(Scratch("b.mp3")));
    wxFileName::Rmdir(Scratch("b.mp$"));
    EXPECT_EQ(a, FrameTestAccess::TrackPath(frame));
    EXPECT_EQ(wxString("Lyrasil - a.mp3"), frame->GetTitle());
    EXPECT_TRUE(Modified());

    wxString b = Scratch("b.mp3");
    WriteFile(b, "an older file of that name");
    wxTEST_DIALOG(Command(wxID_SAVEAS), ExpectFile("Save file...", b));
    EXPECT_EQ(original, ReadFile(a)) << "the old track stays as it was";
    EXPECT_EQ("\n[00:01.00]New", read_track(ReadFile(b)).lrc);
    EXPECT_EQ(b, FrameTestAccess::TrackPath(frame));
    EXPECT_EQ(home, FrameTestAccess::TrackFolder(frame));
    EXPECT_EQ(wxString("Lyrasil - b.mp3"), frame->GetTitle());
    EXPECT_FALSE(Modified());
    EXPECT_TRUE(NoTemporaryFiles());

    // The open track under another name is a plain save, never a copy of
    // the file onto itself.
    ASSERT_EQ(0, symlink("b.mp3", Scratch("link.mp3").utf8_str().data()));
    EditCell(0, 1, "Newer");
    wxTEST_DIALOG(Command(wxID_SAVEAS), ExpectFile("Save file...", Scratch("link.mp3")));
    EXPECT_EQ("\n[00:01.00]Newer", read_track(ReadFile(b)).lrc);
    EXPECT_EQ(b, FrameTestAccess::TrackPath(frame));
    struct stat st;
    ASSERT_EQ(0, lstat(Scratch("link.mp3").utf8_str().data(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// Another program writes the track while the save makes its new copy: the
// save says so, the other program's version stays, the table stays
// modified, and nothing is left behind.
TEST_F(DocumentsTest, ATrackChangedDuringTheSaveIsKept)
{
    wxString a = Track("a.mp3", tagged_track(3, sylt_frame(3, {{"\nOld", 1000}})));
    OpenThroughDialog(a);
    EditCell(0, 1, "New");
    std::string theirs = ReadFile(a) + "more audio";
    AtNextSync([&] { WriteFile(a, theirs); });
    wxTEST_DIALOG(Command(wxID_SAVE),
                  ExpectError("\"" + a + "\" was changed by another program while this one was rewriting it;\n"
                              "the other program's version was kept."));
    EXPECT_EQ(theirs, ReadFile(a));
    EXPECT_TRUE(Modified());
    EXPECT_TRUE(NoTemporaryFiles());
}

// Open, Close, closing the window and Exit all ask about unsaved changes;
// No gives them up, Yes saves first, and a save that fails keeps everything.
TEST_F(DocumentsTest, EveryWayOfLeavingATableAsksAboutUnsavedChanges)
{
    enum Leave { Open, Close, CloseWindow, Exit };
    enum Answer { No, Yes, YesFailing };
    const struct {
        Leave leave;
        Answer answer;
    } cases[] = {
        {Open, No},         {Open, Yes},         {Open, YesFailing},        {Close, No},
        {Close, Yes},       {Close, YesFailing}, {CloseWindow, YesFailing}, {Exit, YesFailing},
        {CloseWindow, No},
    };
    wxString other = Track("other.mp3", tagged_track(4, sylt_frame(4, {{"\nOther", 2000}})));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "leave " << c.leave << ", answer " << c.answer);
        ASSERT_TRUE(frame != nullptr);
        wxString path = Track("song.mp3", tagged_track(3));
        OpenWithoutSylt(path);
        const std::string before = ReadFile(path);
        Type({{c.answer == YesFailing ? "00:61" : "00:01.00", "Edited"}});

        ExpectMessage question = ExpectQuestion(kUnsaved, c.answer == No ? wxID_NO : wxID_YES);
        ExpectMessage failure = ExpectError(InvalidStamp("[00:61]"));
        ExpectFile openDialog("Open file...", other);
        const bool proceeds = c.answer != YesFailing;
        // wxTEST_DIALOG is a block of its own: each branch gets braces.
        switch (c.leave) {
        case Open:
            if (c.answer == YesFailing) {
                wxTEST_DIALOG(Command(wxID_OPEN), question, failure);
            } else {
                wxTEST_DIALOG(Command(wxID_OPEN), question, openDialog);
            }
            break;
        case Close:
            if (c.answer == YesFailing) {
                wxTEST_DIALOG(Command(wxID_CLOSE), question, failure);
            } else {
                wxTEST_DIALOG(Command(wxID_CLOSE), question);
            }
            break;
        case CloseWindow:
        case Exit:
            if (c.answer == YesFailing) {
                wxTEST_DIALOG(c.leave == Exit ? Command(wxID_EXIT) : (void)frame->Close(), question, failure);
            } else {
                wxTEST_DIALOG(frame->Close(), question);
            }
            Pump();
            break;
        }

        if (!proceeds) {
            EXPECT_EQ(1u, wxTopLevelWindows.GetCount()) << "the window stays open";
            EXPECT_EQ(path, FrameTestAccess::TrackPath(frame));
            EXPECT_EQ((Rows{{"00:61", "Edited"}}), TableRows());
            EXPECT_TRUE(Modified());
            EXPECT_EQ(before, ReadFile(path));
            Load({});
            continue;
        }
        EXPECT_EQ(c.answer == Yes ? "\n[00:01.00]Edited" : "", read_track(ReadFile(path)).lrc);
        if (c.leave == CloseWindow) {
            EXPECT_EQ(0u, wxTopLevelWindows.GetCount());
            frame = nullptr;
            break;
        }
        EXPECT_FALSE(Modified());
        if (c.leave == Open) {
            EXPECT_EQ(other, FrameTestAccess::TrackPath(frame));
            EXPECT_EQ((Rows{{"00:02.00", "Other"}}), TableRows());
        } else {
            EXPECT_TRUE(FrameTestAccess::TrackPath(frame).empty());
            EXPECT_EQ(wxString("Lyrasil"), frame->GetTitle());
            EXPECT_TRUE(TableRows().empty());
            EXPECT_FALSE(frame->FindWindow(ID_PLAY)->IsEnabled());
        }
    }
}

TEST_F(DocumentsTest, UndoingBackToTheSavedTableAsksNothing)
{
    wxString path = Track("song.mp3", tagged_track(3));
    OpenWithoutSylt(path);
    Type({{"00:01.00", "Saved"}});
    Command(wxID_SAVE);
    EditCell(0, 1, "Changed");
    Command(wxID_UNDO);
    EXPECT_FALSE(Modified());
    Command(wxID_CLOSE); // no question
    EXPECT_TRUE(FrameTestAccess::TrackPath(frame).empty());
}

// Escape, or closing the question's box, cancels the command: the window
// stays, and so do the track and its table.
TEST_F(DocumentsTest, EscapeOnTheUnsavedQuestionKeepsTheWindowAndTheEdits)
{
    wxString path = Track("song.mp3", tagged_track(3));
    OpenWithoutSylt(path);
    Type({{"00:01.00", "Hours of stamping"}});
    const Rows kept = TableRows();
    ExpectMessage escape = ExpectQuestion(kUnsaved, wxID_CANCEL);
    wxTEST_DIALOG(Command(wxID_CLOSE), escape);
    wxTEST_DIALOG(Command(wxID_OPEN), escape);
    wxTEST_DIALOG(frame->Close(), escape);
    Pump();
    ASSERT_EQ(1u, wxTopLevelWindows.GetCount()) << "the window stays";
    EXPECT_EQ(path, FrameTestAccess::TrackPath(frame));
    EXPECT_EQ(kept, TableRows());
    EXPECT_TRUE(Modified());
}

TEST_F(DocumentsTest, ImportReplacesTheTableWithTheLrcFilesRows)
{
    wxString track = Track("song.mp3", tagged_track(3));
    wxTEST_DIALOG(Command(ID_IMPORT), ExpectMessage("Cannot complete this operation",
                                                    "No track is currently open.\nPlease open an MP3 track first.",
                                                    wxOK | wxICON_INFORMATION));
    OpenWithoutSylt(track);
    const struct {
        const char* lrc;
        Rows rows;
    } cases[] = {
        {"[ti:Song]\n[00:01.00]Hello <00:01.50>world\n[00:03.00]Next line\n",
         {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"00:03.00", "Next line"}}},
        {"[00:01.00]Hel<00:01.20>lo\n", {{"00:01.00", "Hel"}, {"00:01.20", "_lo"}}},
        {"[1:23.4]Stamps stay as written\n", {{"1:23.4", "Stamps stay as written"}}},
        {"[ti:Only tags]\n[ar:Band]\n", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lrc);
        Load({{"00:09.00", "Replaced"}});
        WriteFile(Scratch("words.lrc"), c.lrc);
        wxTEST_DIALOG(Command(ID_IMPORT), ExpectFile("Import file...", Scratch("words.lrc")));
        EXPECT_EQ(c.rows, TableRows());
        EXPECT_TRUE(Modified());
    }

    // A file that cannot be read leaves the table as it was.
    Type({{"00:09.00", "Kept"}});
    wxFileName::Mkdir(Scratch("folder.lrc"));
    wxTEST_DIALOG(Command(ID_IMPORT), ExpectFile("Import file...", Scratch("folder.lrc")),
                  ExpectError("Error opening LRC file \"" + Scratch("folder.lrc") + "\"."));
    EXPECT_EQ((Rows{{"00:09.00", "Kept"}}), TableRows());
}

TEST_F(DocumentsTest, ExportWritesTheSavedFrameNotTheTable)
{
    wxString track = Track("song.mp3", tagged_track(3, sylt_frame(3, {{"\nHello", 1000}, {" world", 1500}})));
    const std::string trackBytes = ReadFile(track);
    OpenThroughDialog(track);
    EditCell(0, 1, "Unsaved");

    // Unsaved changes: No writes nothing.
    const char question[] = "The SYLT data was modified since it was last saved.\nIf you continue, these changes "
                            "will not be exported.\nContinue?";
    wxTEST_DIALOG(Command(ID_EXPORT), ExpectQuestion(question, wxID_NO));
    EXPECT_FALSE(wxFileExists(Scratch("song.lrc")));

    // Another name than the proposed one: only that file is written.
    wxString other = Scratch("other.lrc");
    wxTEST_DIALOG(Command(ID_EXPORT), ExpectQuestion(question, wxID_YES), ExpectFile("Export file...", other));
    EXPECT_EQ("[ti:Song]\n[re:Quorvane Lyrasil]\n\n[00:01.00]Hello<00:01.50> world", ReadFile(other));
    EXPECT_FALSE(wxFileExists(Scratch("song.lrc")));
    EXPECT_TRUE(Modified()) << "the table is not touched";

    // The track itself as the LRC file: refused, the track untouched.
    wxTEST_DIALOG(Command(ID_EXPORT), ExpectQuestion(question, wxID_YES), ExpectFile("Export file...", track),
                  ExpectError("The output file \"" + track + "\" is the track itself."));
    EXPECT_EQ(trackBytes, ReadFile(track));
    EXPECT_TRUE(NoTemporaryFiles());

    // A track without a tag has nothing to export.
    wxString plain = Track("plain.mp3", audio(2000));
    Load({});
    wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", plain), ExpectNotice(kNoTag));
    wxTEST_DIALOG(Command(ID_EXPORT), ExpectFile("Export file...", Scratch("plain.lrc")), ExpectError(kNoTag));
    EXPECT_FALSE(wxFileExists(Scratch("plain.lrc")));
}

} // namespace

namespace {

// lyrasil [TRACK]: the track opens once the window is shown; one that
// cannot be opened leaves no track open.
TEST_F(EditorTest, TheCommandLinesTrackOpensAtStart)
{
    WriteIni("[Settings]\ntip=-1\n");
    wxString path = Scratch("song.mp3");
    WriteFile(path, tagged_track(3, sylt_frame(3, {{"\nHello", 1000}})));
    const struct {
        wxString arg;
        bool opens;
    } cases[] = {{path, true}, {"song.mp3", true}, {Scratch("missing.mp3"), false}};
    wxString cwd = wxGetCwd();
    wxSetWorkingDirectory(home);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg.utf8_str().data());
        char program[] = "lyrasil";
        std::string arg(c.arg.utf8_str().data());
        char* args[] = {program, &arg[0], nullptr};
        wxTheApp->argv.Init(2, args);
        wxTheApp->argc = 2;
        if (c.opens) {
            StartQuietly();
            EXPECT_EQ(path, FrameTestAccess::TrackPath(frame));
            EXPECT_EQ(wxString("Lyrasil - song.mp3"), frame->GetTitle());
            EXPECT_EQ(1, Grid()->GetNumberRows() - 1);
        } else {
            wxTEST_DIALOG(Start(), ExpectError("Failure opening the file"));
            EXPECT_TRUE(FrameTestAccess::TrackPath(frame).empty());
            EXPECT_EQ(wxString("Lyrasil"), frame->GetTitle());
        }
        CloseWindow();
    }
    char program[] = "lyrasil";
    char* args[] = {program, nullptr};
    wxTheApp->argv.Init(1, args);
    wxTheApp->argc = 1;
    wxSetWorkingDirectory(cwd);
}

} // namespace

namespace {

// A full disk, as the file-size limit makes it: the error box, the track
// and any older LRC file byte for byte as they were, no temporary file,
// and the table still unsaved.
TEST_F(DocumentsTest, AFullDiskLosesNothing)
{
    wxString track = Track("song.mp3", tagged_track(3, sylt_frame(3, {{"\nHello", 1000}})));
    const std::string before = ReadFile(track);
    OpenThroughDialog(track);
    EditCell(0, 1, "Changed");

    {
        FileSizeLimit full(500);
        wxTEST_DIALOG(Command(wxID_SAVE), ExpectError("Failed to save \"" + track + "\": " +
                                                      wxString::FromUTF8(strerror(EFBIG)) +
                                                      ".\nThe track was not changed."));
    }
    EXPECT_EQ(before, ReadFile(track));
    EXPECT_TRUE(Modified());
    EXPECT_TRUE(NoTemporaryFiles());

    wxString lrc = Scratch("song.lrc");
    WriteFile(lrc, "[00:01.00]older\n");
    {
        FileSizeLimit full(10);
        wxTEST_DIALOG(Command(ID_EXPORT),
                      ExpectQuestion("The SYLT data was modified since it was last saved.\nIf you continue, these "
                                     "changes will not be exported.\nContinue?",
                                     wxID_YES),
                      ExpectFile("Export file...", lrc),
                      ExpectError("Error writing output file \"" + lrc + "\": " +
                                  wxString::FromUTF8(strerror(EFBIG)) + "."));
    }
    EXPECT_EQ("[00:01.00]older\n", ReadFile(lrc));
    EXPECT_TRUE(NoTemporaryFiles());
}

} // namespace
