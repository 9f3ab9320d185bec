// Every message the editor shows, with its caption, icon and buttons, in
// one table; the window only shows what these functions return, so the
// texts are tested without a window.
//
// Errors: caption "Error", error icon, OK.  Notices: "Notice" (or "Cannot
// complete this operation" when a command needs an open track),
// information icon, OK.  Questions: "Unsaved changes", question icon, Yes
// and No, never Cancel.
#ifndef LYRASIL_NOTICES_H
#define LYRASIL_NOTICES_H

#include <wx/string.h>

#include "rows.h"
#include "trackio.h"

struct Notice {
    wxString caption;
    wxString text;
    long style;   // wxOK | wxICON_..., or wxYES_NO | wxICON_QUESTION
};

enum class TrackOp { Load, Save, Import, Export };

// The message for a failed (or, for a save, half-successful) operation.
// Must not be called with TrackStatus::Ok.
Notice TrackNotice(TrackOp op, const TrackResult& result);

Notice NoTrackOpenNotice();
Notice OpenForPlaybackFailedNotice();
Notice InvalidStampNotice(const wxString& bracketedStamp);
Notice EmptyStampsNotice();
Notice UnsavedChangesQuestion();
Notice UnsavedExportQuestion();
Notice SkippedLinesNotice(int lines);
Notice PlayWithoutTrackNotice();

// The status bar's text for a track the media back end cannot play.
wxString UnplayableStatusText();

// Help > User Guide: why the manual at path cannot be shown.
Notice UserGuideMissingNotice(const wxString& path);
Notice NoPdfViewerNotice(const wxString& path);

// --- Table editing and verification ---

Notice ClearTableQuestion();
// The error of a failed verification; must not be called with
// RowFault::None.
Notice VerificationNotice(const RowsCheck& check);
// Caption and message of the lyrics preview shown after a verification
// passed (style 0: the dialog has its own).
Notice PreviewDialogText();
// Caption and message of the offset entry, with its style (OK, Cancel,
// centred).
Notice OffsetPrompt();
Notice InvalidOffsetNotice();

// --- Playback options ---

// Caption, message and style of the stamp lead's entry.
Notice StampLeadPrompt();
Notice InvalidStampLeadNotice();

#endif
