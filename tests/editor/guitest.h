// Shared pieces of the editor's window tests: modal dialogs answered through
// wxWidgets' testing hooks (never by waiting), a throw-away home folder per
// test, and starting and closing the editor as the application does.
#ifndef LYRASIL_TESTS_GUITEST_H
#define LYRASIL_TESTS_GUITEST_H

#include <gtest/gtest.h>

#include <wx/wx.h>

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

class LyrasilFrameCode;

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The settings file the editor uses under the test's home folder.
    wxString DataDir() const { return home + "/.lyrasil"; }
    wxString IniPath() const { return DataDir() + "/lyrasil.ini"; }
    void WriteIni(const std::string& text);
    std::string ReadIni() const;

    // Runs the application's start-up; the caller answers the dialogs.
    LyrasilFrameCode* Start();
    // Start-up when no dialog may appear.
    LyrasilFrameCode* StartQuietly();
    // Closes the main window as the user does and lets it be destroyed.
    void CloseWindow(bool force = false);
    static void Pump(int ms = 30);

    wxString home;
    LyrasilFrameCode* frame = nullptr;
};

// The font the editor falls back to, as the settings file spells it.
wxString SystemFontText();

#endif
