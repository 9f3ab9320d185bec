// Prints the documentation folder that the editor installed in BIN-DIR
// would use, by the editor's own rule:  docdir_probe BIN-DIR
#include <cstdio>

#include <wx/string.h>

#include "startup.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: docdir_probe BIN-DIR\n");
        return 2;
    }
    wxString docDir = FindDocDir(wxString::FromUTF8(argv[1]), LYRASIL_DOCDIR_FROM_BINDIR);
    std::printf("%s\n", docDir.utf8_str().data());
    return 0;
}
