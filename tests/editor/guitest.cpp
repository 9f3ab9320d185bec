#include "guitest.h"

#include <cstdlib>
#include <vector>

#include <wx/checkbox.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

#include "lyrasilapp.h"
#include "lyrasilframecode.h"

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
    setenv("HOME", scratch.path().c_str(), 1);
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
}

void EditorTest::WriteIni(const std::string& text)
{
    wxFileName::Mkdir(DataDir(), 0777, wxPATH_MKDIR_FULL);
    WriteFile(IniPath(), text);
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

// --- Dialog expectations ------------------------------------------------------

int ExpectMessage::OnInvoked(wxMessageDialog* dlg) const
{
    const long mask = wxICON_MASK | wxOK | wxYES_NO | wxCANCEL;
    EXPECT_EQ(m_caption, dlg->GetTitle()) << m_text.utf8_str().data();
    EXPECT_EQ(m_text, dlg->GetMessage());
    EXPECT_EQ(m_style & mask, dlg->GetMessageDialogStyle() & mask) << m_text.utf8_str().data();
    return m_answer;
}

ExpectMessage ExpectError(const wxString& text)
{
    return ExpectMessage("Error", text, wxOK | wxICON_ERROR);
}

ExpectMessage ExpectNotice(const wxString& text)
{
    return ExpectMessage("Notice", text, wxOK | wxICON_INFORMATION);
}

ExpectMessage ExpectQuestion(const wxString& text, int answer)
{
    return ExpectMessage("Unsaved changes", text, wxYES_NO | wxICON_QUESTION, answer);
}

int ExpectFile::OnInvoked(wxFileDialog* dlg) const
{
    EXPECT_EQ(m_message, dlg->GetMessage());
    if (m_path.empty())
        return wxID_CANCEL;
    dlg->SetPath(m_path);
    wxStopWatch sw;
    while (dlg->GetPath() != m_path && sw.Time() < 2000) {
        wxYield();
        wxMilliSleep(5);
    }
    EXPECT_EQ(m_path, dlg->GetPath());
    return wxID_OK;
}

int ExpectEntry::OnInvoked(wxTextEntryDialog* dlg) const
{
    EXPECT_EQ(m_caption, dlg->GetTitle());
    EXPECT_EQ(m_message, MessageOf(dlg));
    if (m_offered)
        *m_offered = dlg->GetValue();
    dlg->SetValue(m_answer);
    return m_id;
}

wxString MessageOf(wxWindow* dlg)
{
    wxString text;
    for (wxWindow* child : dlg->GetChildren())
        if (wxStaticText* line = dynamic_cast<wxStaticText*>(child))
            text += (text.empty() ? "" : "\n") + line->GetLabel();
    return text;
}

// --- Peeking at the window ------------------------------------------------------

bool FrameTestAccess::Modified(LyrasilFrameCode* f) { return f->doc.Modified(); }
void FrameTestAccess::Load(LyrasilFrameCode* f, const std::vector<Row>& rows)
{
    f->ShowEdit(f->doc.Open(f->doc.Path(), rows, ""));
}
wxString FrameTestAccess::TrackPath(LyrasilFrameCode* f) { return f->doc.Path(); }
wxString FrameTestAccess::TrackFolder(LyrasilFrameCode* f) { return f->trackFolder; }
long long FrameTestAccess::TrackLength(LyrasilFrameCode* f) { return f->transport.Length(); }
Phase FrameTestAccess::TransportPhase(LyrasilFrameCode* f) { return f->transport.CurrentPhase(); }
bool FrameTestAccess::Playing(LyrasilFrameCode* f) { return f->transport.CurrentPhase() == Phase::Playing; }
bool FrameTestAccess::Running(LyrasilFrameCode* f) { return f->transport.Running(); }
int FrameTestAccess::HighlightRow(LyrasilFrameCode* f) { return f->match.highlightRow; }
int FrameTestAccess::HighlightCountdown(LyrasilFrameCode* f) { return f->match.highlightCountdown; }
int FrameTestAccess::ContextRow(LyrasilFrameCode* f) { return f->contextRow; }
wxMediaCtrl* FrameTestAccess::Media(LyrasilFrameCode* f) { return f->mediaCtrl; }
wxTimer* FrameTestAccess::Timer(LyrasilFrameCode* f) { return f->updateTimer; }
void FrameTestAccess::Tick(LyrasilFrameCode* f, long positionMs)
{
    f->Apply(f->transport.Tick(f->Now(), positionMs, static_cast<long>(f->transport.Length()), false), positionMs);
}

wxGrid* EditorTest::Grid() const
{
    return FindChild<wxGrid>(frame);
}

wxTextCtrl* EditorTest::LyricsView() const
{
    for (wxWindow* child : frame->GetChildren()) {
        wxTextCtrl* text = dynamic_cast<wxTextCtrl*>(child);
        if (text && text->IsMultiLine())
            return text;
    }
    return nullptr;
}

void EditorTest::Command(int id)
{
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(frame);
    frame->ProcessWindowEvent(event);
}

std::vector<std::pair<std::string, std::string>> EditorTest::TableRows() const
{
    std::vector<std::pair<std::string, std::string>> rows;
    wxGrid* grid = Grid();
    for (int i = 0; i + 1 < grid->GetNumberRows(); ++i)
        rows.emplace_back(grid->GetCellValue(i, 0).utf8_str().data(), grid->GetCellValue(i, 1).utf8_str().data());
    EXPECT_TRUE(grid->GetCellValue(grid->GetNumberRows() - 1, 0).empty()) << "the entry row is empty";
    EXPECT_TRUE(grid->GetCellValue(grid->GetNumberRows() - 1, 1).empty()) << "the entry row is empty";
    return rows;
}

void EditorTest::Load(const std::vector<std::pair<std::string, std::string>>& cells)
{
    Rows rows;
    for (const auto& c : cells)
        rows.push_back({wxString::FromUTF8(c.first.c_str()), wxString::FromUTF8(c.second.c_str())});
    FrameTestAccess::Load(frame, rows);
}

void EditorTest::EditCell(int row, int col, const wxString& value)
{
    wxGrid* grid = Grid();
    grid->SetCellValue(row, col, value);
    wxGridEvent changed(grid->GetId(), wxEVT_GRID_CELL_CHANGED, grid, row, col);
    grid->GetEventHandler()->ProcessEvent(changed);
}

void EditorTest::Key(int code, int modifiers)
{
    Grid()->SetFocus();
    Pump(20);
    wxUIActionSimulator().Char(code, modifiers);
    Pump(30);
}

void EditorTest::OpenThroughDialog(const wxString& path)
{
    wxTEST_DIALOG(Command(wxID_OPEN), ExpectFile("Open file...", path));
}

std::string ReadFile(const wxString& path)
{
    return ReadFile(path.utf8_string());
}

void WriteFile(const wxString& path, const std::string& bytes)
{
    WriteFile(path.utf8_string(), bytes);
}
