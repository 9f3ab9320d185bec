// Entry of the editor: the toolkit's standard entry, guarded so that a start
// without a display ends with a clear message instead of a toolkit abort.
#include <cstdio>
#include <cstdlib>

#include <wx/app.h>

#include "lyrasilapp.h"

wxIMPLEMENT_WX_THEME_SUPPORT
wxIMPLEMENT_APP_NO_MAIN(LyrasilApp);

enum { EXIT_NO_DISPLAY = 1 };

static bool HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

int main(int argc, char** argv)
{
    // As the toolkit's own entry does: release builds drop asserts.
    wxDISABLE_DEBUG_SUPPORT();
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
