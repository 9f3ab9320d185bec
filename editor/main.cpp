// Entry of the editor: the toolkit's standard entry, guarded so that a start
// without a display ends with a clear message instead of a toolkit abort.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wx/app.h>

#include "lyrasilapp.h"
#include "lyrasil_version.h"

wxIMPLEMENT_WX_THEME_SUPPORT
wxIMPLEMENT_APP_NO_MAIN(LyrasilApp);

enum { EXIT_NO_DISPLAY = 1 };

static bool HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// -h, --help and --version are answered without a display; every other
// argument goes to the toolkit, which takes its own options out first.
static bool AnswerOptions(int argc, char** argv, int* status)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::puts("usage: lyrasil [TRACK]\n\n"
                      "Edits the synchronised lyrics (SYLT frame) of MP3 tracks; opens TRACK when given.");
            *status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("lyrasil version " LYRASIL_VERSION " build " LYRASIL_BUILD);
            *status = 0;
            return true;
        }
    }
    return false;
}

int main(int argc, char** argv)
{
    // As the toolkit's own entry does: release builds drop asserts.
    wxDISABLE_DEBUG_SUPPORT();
    int answered = 0;
    if (AnswerOptions(argc, argv, &answered))
        return answered;
    if (!HasDisplay()) {
        std::fprintf(stderr, "lyrasil: no display: the editor needs a graphical desktop "
                             "(neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
        return EXIT_NO_DISPLAY;
    }
    int status = wxEntry(argc, argv);
    // The toolkit returns -1 when it cannot start, e.g. a display that does
    // not answer; it has said why on stderr.
    if (status < 0) {
        std::fprintf(stderr, "lyrasil: cannot open the display\n");
        return EXIT_NO_DISPLAY;
    }
    return status;
}
