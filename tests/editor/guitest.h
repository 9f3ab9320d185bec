// Shared pieces of the editor's window tests: modal dialogs answered through
// wxWidgets' testing hooks (never by waiting), a throw-away home folder per
// test, and starting and closing the editor as the application does.
#ifndef LYRASIL_TESTS_GUITEST_H
#define LYRASIL_TESTS_GUITEST_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <wx/grid.h>
#include <wx/wx.h>

#include "scratchdir.h"

// A failed expectation becomes a test failure instead of an assert dialog,
// and a dialog nobody expected is dismissed instead of shown.
class GTestModalHook;
#define wxTEST_DIALOG_HOOK_CLASS GTestModalHook
#include <wx/testing.h>

class GTestModalHook : public wxTestingModalHook {
public:
    GTestModalHook(const char* file, int line, const char* func) : wxTestingModalHook(file, line, func) {}

protected:
    void ReportFailure(const wxString& msg) override { ADD_FAILURE() << msg.utf8_str().data(); }
    int Enter(wxDialog* dlg) override
    {
        int rc = wxTestingModalHook::Enter(dlg);
        return rc == wxID_NONE ? wxID_CANCEL : rc;
    }
};

// The tip-of-the-day dialog: records the tip it shows and leaves its
// show-at-start-up box ticked or clears it, then closes the dialog.
class ExpectTip : public wxExpectModalBase<wxDialog, ExpectTip> {
public:
    ExpectTip(bool keepTicked, wxString* shownTip) : m_keepTicked(keepTicked), m_shownTip(shownTip) {}

protected:
    int OnInvoked(wxDialog* dlg) const override;
    wxString GetDefaultDescription() const override { return "tip of the day dialog"; }

    bool m_keepTicked;
    wxString* m_shownTip;
};

// A message box with exactly this caption, text, icon and buttons (the
// style's wxICON_* and wxOK / wxYES_NO bits), answered with answer (wxID_OK,
// wxID_YES or wxID_NO).
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage> {
public:
    ExpectMessage(const wxString& caption, const wxString& text, long style, int answer = wxID_OK)
        : m_caption(caption), m_text(text), m_style(style), m_answer(answer) {}

protected:
    int OnInvoked(wxMessageDialog* dlg) const override;
    wxString GetDefaultDescription() const override { return "message box \"" + m_text + "\""; }

    wxString m_caption, m_text;
    long m_style;
    int m_answer;
};

// Shorthands for the editor's three kinds of message box.
ExpectMessage ExpectError(const wxString& text);
ExpectMessage ExpectNotice(const wxString& text);
ExpectMessage ExpectQuestion(const wxString& text, int answer);

// A file dialog with this message, answered with path (OK) or cancelled
// (empty path).  GTK applies a path asynchronously, so the answer waits
// until the dialog reports it.
class ExpectFile : public wxExpectModalBase<wxFileDialog, ExpectFile> {
public:
    ExpectFile(const wxString& message, const wxString& path) : m_message(message), m_path(path) {}

protected:
    int OnInvoked(wxFileDialog* dlg) const override;
    wxString GetDefaultDescription() const override { return "file dialog \"" + m_message + "\""; }

    wxString m_message, m_path;
};

// A text entry dialog with this caption and message, answered with answer
// (wxID_OK) or cancelled; the value it offered goes to *offered.
class ExpectEntry : public wxExpectModalBase<wxTextEntryDialog, ExpectEntry> {
public:
    ExpectEntry(const wxString& caption, const wxString& message, const wxString& answer, int id = wxID_OK,
                wxString* offered = nullptr)
        : m_caption(caption), m_message(message), m_answer(answer), m_id(id), m_offered(offered) {}

protected:
    int OnInvoked(wxTextEntryDialog* dlg) const override;
    wxString GetDefaultDescription() const override { return "text entry \"" + m_caption + "\""; }

    wxString m_caption, m_message, m_answer;
    int m_id;
    wxString* m_offered;
};

// A dialog's message as its lines of static text show it.
wxString MessageOf(wxWindow* dlg);

// Whole files, byte for byte (scratchdir.h has them for UTF-8 paths).
std::string ReadFile(const wxString& path);
void WriteFile(const wxString& path, const std::string& bytes);

class LyrasilFrameCode;
struct Row;
enum class Phase;

// The window's state that no widget shows, for the tests' eyes only.
struct FrameTestAccess {
    static bool Modified(LyrasilFrameCode* f);
    // The document as if the track had been loaded with these rows.
    static void Load(LyrasilFrameCode* f, const std::vector<Row>& rows);
    static wxString TrackPath(LyrasilFrameCode* f);
    static wxString TrackFolder(LyrasilFrameCode* f);
    static long long TrackLength(LyrasilFrameCode* f);
    static Phase TransportPhase(LyrasilFrameCode* f);
    static bool Playing(LyrasilFrameCode* f);
    static bool Running(LyrasilFrameCode* f);
    static int HighlightRow(LyrasilFrameCode* f);
    static int HighlightCountdown(LyrasilFrameCode* f);
    static int ContextRow(LyrasilFrameCode* f);
    static class wxMediaCtrl* Media(LyrasilFrameCode* f);
    static class wxTimer* Timer(LyrasilFrameCode* f);
    // One tick of the update timer with the media position given.
    static void Tick(LyrasilFrameCode* f, long positionMs);
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The settings file the editor uses under the test's home folder.
    wxString DataDir() const { return home + "/.lyrasil"; }
    wxString IniPath() const { return DataDir() + "/lyrasil.ini"; }
    void WriteIni(const std::string& text);
    std::string ReadIni() const { return ReadFile(IniPath()); }

    // Runs the application's start-up; the caller answers the dialogs.
    LyrasilFrameCode* Start();
    // Start-up when no dialog may appear.
    LyrasilFrameCode* StartQuietly();
    // Closes the main window as the user does and lets it be destroyed.
    void CloseWindow(bool force = false);
    static void Pump(int ms = 30);
    // Pumps events until done() holds or ms have passed; returns done().
    template <class F>
    static bool PumpUntil(F done, int ms = 5000)
    {
        wxStopWatch sw;
        while (!done() && sw.Time() < ms)
            Pump(5);
        return done();
    }

    // The main window's widgets.
    wxGrid* Grid() const;
    wxTextCtrl* LyricsView() const;
    // Sends a menu command to the window, as a menu or tool click does.
    void Command(int id);
    // The table's rows (stamp, text) before its entry row.
    std::vector<std::pair<std::string, std::string>> TableRows() const;
    // The document as if the track had been loaded with these rows (stamp,
    // text): shown, and unmodified.
    void Load(const std::vector<std::pair<std::string, std::string>>& rows);
    // Types into a cell as the user does: the value, then the change event.
    void EditCell(int row, int col, const wxString& value);
    // A key pressed on the table, through the window system.
    void Key(int code, int modifiers = wxMOD_NONE);
    // Opens a track through File > Open, answering the dialog.
    void OpenThroughDialog(const wxString& path);
    // A file in the test's scratch folder (the home folder).
    wxString Scratch(const wxString& name) const { return home + "/" + name; }

    ScratchDir scratch{"lyrasil-gui"};
    const wxString home = wxString::FromUTF8(scratch.path().c_str());
    LyrasilFrameCode* frame = nullptr;
};

// A test that starts with the main window open: the settings file holds
// `ini` (no tip dialog by default) and no dialog may appear at start-up.
class WindowTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        WriteIni(ini);
        StartQuietly();
        ASSERT_TRUE(frame != nullptr);
    }

    std::string ini = "[Settings]\ntip=-1\n";
};

// The first window of type W below parent, depth first.
template <class W>
W* FindChild(wxWindow* parent)
{
    for (wxWindow* child : parent->GetChildren()) {
        if (W* w = dynamic_cast<W*>(child))
            return w;
        if (W* w = FindChild<W>(child))
            return w;
    }
    return nullptr;
}

// The font the editor falls back to, as the settings file spells it.
wxString SystemFontText();

#endif
