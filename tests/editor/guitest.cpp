#include "guitest.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include <wx/checkbox.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/settings.h>

#include "lyrasilapp.h"
#include "lyrasilframecode.h"

template <class W>
static W* FindChild(wxWindow* parent)
{
    for (wxWindow* child : parent->GetChildren()) {
        if (W* w = dynamic_cast<W*>(child))
            return w;
        if (W* w = FindChild<W>(child))
            return w;
    }
    return nullptr;
}

int ExpectTip::OnInvoked(wxDialog* dlg) const
{
    wxCheckBox* box = FindChild<wxCheckBox>(dlg);
    wxTextCtrl* text = FindChild<wxTextCtrl>(dlg);
    EXPECT_TRUE(box != nullptr);
    EXPECT_TRUE(text != nullptr);
    if (box) {
        EXPECT_TRUE(box->GetValue()) << "the box starts ticked";
        box->SetValue(m_keepTicked);
    }
    if (text && m_shownTip)
        *m_shownTip = text->GetValue();
    return wxID_CLOSE;
}

void EditorTest::SetUp()
{
    char pattern[] = "/tmp/lyrasil-gui-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern) != nullptr);
    home = pattern;
    setenv("HOME", pattern, 1);
}

void EditorTest::TearDown()
{
    // Destroy() may take a window off the list, so walk a copy.
    std::vector<wxWindow*> windows(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    for (wxWindow* w : windows)
        w->Destroy();
    if (!windows.empty())
        Pump();
    frame = nullptr;
    wxFileName::Rmdir(home, wxPATH_RMDIR_RECURSIVE);
}

void EditorTest::WriteIni(const std::string& text)
{
    wxFileName::Mkdir(DataDir(), 0777, wxPATH_MKDIR_FULL);
    std::ofstream out(IniPath().utf8_str().data(), std::ios::binary);
    out << text;
}

std::string EditorTest::ReadIni() const
{
    std::ifstream in(IniPath().utf8_str().data(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

LyrasilFrameCode* EditorTest::Start()
{
    EXPECT_TRUE(wxTheApp->OnInit());
    frame = dynamic_cast<LyrasilFrameCode*>(wxTheApp->GetTopWindow());
    EXPECT_TRUE(frame != nullptr);
    Pump();
    return frame;
}

LyrasilFrameCode* EditorTest::StartQuietly()
{
    // Any dialog now fails the test through the run's catch-all hook.
    return Start();
}

void EditorTest::CloseWindow(bool force)
{
    ASSERT_TRUE(frame != nullptr);
    frame->Close(force);
    Pump();
    frame = nullptr;
}

void EditorTest::Pump(int ms)
{
    wxStopWatch sw;
    do {
        wxYield();
        wxTheApp->ProcessIdle();
        wxMilliSleep(5);
    } while (sw.Time() < ms);
}

wxString SystemFontText()
{
    return wxSystemSettings::GetFont(wxSYS_ANSI_VAR_FONT).GetNativeFontInfoDesc();
}
