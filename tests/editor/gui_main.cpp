// Entry of the editor's window tests: the real application object under a
// (virtual) X display. Assertions and unexpected modal dialogs become test
// failures, so a run can never hang on a dialog.
#include <gtest/gtest.h>

#include <cstdlib>

#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/wx.h>

#include "lyrasilapp.h"

namespace {

// Registered for the whole run, behind the per-test hooks: a modal dialog
// that no test expects fails the test and is dismissed.
class NoModalDialogs : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dlg) override
    {
        ADD_FAILURE() << "unexpected modal dialog \"" << dlg->GetTitle().utf8_str().data() << "\"";
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "wx assertion in " << func.utf8_str().data() << ": " << cond.utf8_str().data() << " "
        << msg.utf8_str().data();
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS(); // test discovery needs no display
    setenv("GSETTINGS_BACKEND", "memory", 1);

    wxApp::SetInstance(new LyrasilApp);
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "cannot open the display; run under xvfb-run -a\n");
        return 2;
    }
    wxSetAssertHandler(FailOnAssert);
    delete wxLog::SetActiveTarget(new wxLogStderr);
    NoModalDialogs noModalDialogs;
    noModalDialogs.Register();

    int status = RUN_ALL_TESTS();

    noModalDialogs.Unregister();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}
