#include "helpcmd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <wx/cmdline.h>
#include <wx/mimetype.h>

extern char** environ;

static const char* const kPdfType = "application/pdf";

ViewerLookup SystemViewerLookup()
{
    ViewerLookup lookup;
    lookup.mailcapPath = "/etc/mailcap";
    lookup.useMimeTypes = true;
    const char* path = std::getenv("PATH");
    lookup.searchPath = path ? wxString::FromUTF8(path) : wxString("/usr/local/bin:/usr/bin:/bin");
    return lookup;
}

// --- Mailcap entries -----------------------------------------------------------

static wxString DecodeLine(const std::string& bytes)
{
    wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (text.empty() && !bytes.empty())
        text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
    return text;
}

// Logical lines: comments and blank lines dropped, continuations joined.
static std::vector<std::string> LogicalLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::string pending;
    bool continuing = false;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!continuing) {
            size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line[first] == '#')
                continue;
        }
        continuing = !line.empty() && line.back() == '\\';
        if (continuing)
            line.pop_back();
        pending += line;
        if (!continuing) {
            lines.push_back(pending);
            pending.clear();
        }
    }
    if (!pending.empty())
        lines.push_back(pending);
    return lines;
}

// Fields separated by unescaped ";", each trimmed; escapes stay as written.
static std::vector<wxString> SplitFields(const wxString& line)
{
    std::vector<wxString> fields;
    wxString field;
    for (size_t i = 0; i < line.length(); ++i) {
        wxUniChar c = line[i];
        if (c == '\\' && i + 1 < line.length()) {
            field += c;
            field += line[++i];
        } else if (c == ';') {
            fields.push_back(field.Strip(wxString::both));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field.Strip(wxString::both));
    return fields;
}

std::vector<MailcapEntry> ParseMailcap(const std::string& bytes)
{
    std::vector<MailcapEntry> entries;
    for (const std::string& line : LogicalLines(bytes)) {
        std::vector<wxString> fields = SplitFields(DecodeLine(line));
        if (fields.size() < 2 || fields[0].empty())
            continue;
        MailcapEntry entry;
        entry.type = fields[0];
        entry.command = fields[1];
        for (size_t i = 2; i < fields.size(); ++i) {
            wxString name = fields[i].BeforeFirst('=').Strip(wxString::both).Lower();
            if (name == "needsterminal")
                entry.needsTerminal = true;
            else if (name == "copiousoutput")
                entry.copiousOutput = true;
            else if (name == "test" && fields[i].Find('=') != wxNOT_FOUND)
                entry.test = fields[i].AfterFirst('=').Strip(wxString::both);
        }
        entries.push_back(entry);
    }
    return entries;
}

bool MailcapTypeMatches(const wxString& entryType, const wxString& mimeType)
{
    wxString type = entryType.Lower();
    if (type == mimeType)
        return true;
    wxString major = mimeType.BeforeFirst('/');
    return type == major + "/*" || type == major;
}

bool ExpandMailcapCommand(const wxString& command, const wxString& path, const wxString& mimeType,
                          bool requireFile, wxString* out)
{
    // The shell's quoting state at each point of the command, so that the
    // path's own quotes can be closed and reopened around it.
    enum { Plain, InSingle, InDouble } state = Plain;
    wxString result;
    bool hasFile = false;
    const size_t n = command.length();
    for (size_t i = 0; i < n; ++i) {
        wxUniChar c = command[i];
        if (c == '\\' && i + 1 < n) {
            wxUniChar next = command[i + 1];
            if (next == ';' || next == '%') {
                // The mailcap file's own escapes.
                result += next;
                ++i;
                continue;
            }
            result += c;
            if (state != InSingle) {
                // Escaped for the shell: the next character is plain text.
                result += next;
                ++i;
            }
            continue;
        }
        if (c == '%' && i + 1 < n) {
            wxUniChar code = command[i + 1];
            if (code == 's') {
                hasFile = true;
                if (state == InSingle)
                    result += "'" + ShellQuote(path) + "'";
                else if (state == InDouble)
                    result += "\"" + ShellQuote(path) + "\"";
                else
                    result += ShellQuote(path);
                ++i;
                continue;
            }
            if (code == 't') {
                result += mimeType;
                ++i;
                continue;
            }
            if (code == '{') {
                size_t close = command.find('}', i + 2);
                if (close != wxString::npos) {
                    i = close;
                    continue;
                }
            }
        }
        if (c == '\'' && state != InDouble)
            state = state == InSingle ? Plain : InSingle;
        else if (c == '"' && state != InSingle)
            state = state == InDouble ? Plain : InDouble;
        result += c;
    }
    if (requireFile && !hasFile)
        return false;
    *out = result;
    return true;
}

// --- Shell words and paths ---------------------------------------------------

wxString ShellQuote(const wxString& text)
{
    wxString quoted = "'";
    for (wxUniChar c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += "'";
    return quoted;
}

static bool IsRegularFile(const wxString& path)
{
    struct stat st;
    return stat(path.utf8_str(), &st) == 0 && S_ISREG(st.st_mode);
}

wxString FindOnSearchPath(const wxString& name, const wxString& searchPath)
{
    if (searchPath.empty())
        return wxString();
    wxString rest = searchPath;
    for (;;) {
        wxString dir = rest.BeforeFirst(':');
        wxString candidate = (dir.empty() ? wxString(".") : dir) + "/" + name;
        if (IsRegularFile(candidate) && access(candidate.utf8_str(), X_OK) == 0)
            return candidate;
        if (rest.Find(':') == wxNOT_FOUND)
            return wxString();
        rest = rest.AfterFirst(':');
    }
}

wxString FileUrl(const wxString& path)
{
    static const char hex[] = "0123456789ABCDEF";
    wxScopedCharBuffer utf8 = path.utf8_str();
    wxString url = "file://";
    for (size_t i = 0; i < utf8.length(); ++i) {
        unsigned char b = static_cast<unsigned char>(utf8.data()[i]);
        bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '/' ||
                     b == '-' || b == '.' || b == '_' || b == '~';
        if (plain) {
            url += static_cast<char>(b);
        } else {
            url += '%';
            url += hex[b >> 4];
            url += hex[b & 15];
        }
    }
    return url;
}

// --- The user guide ------------------------------------------------------------

wxString UserGuidePath(const wxString& docDir)
{
    return docDir + "/lyrasil.pdf";
}

wxString UserGuideUrl(const wxString& docDir)
{
    return FileUrl(UserGuidePath(docDir));
}

// Runs command through /bin/sh, its input from /dev/null, in a process
// group of its own; true when it exits with status 0 within timeoutMs (a
// command still running then is killed with its children).
static bool CommandSucceeds(const wxString& command, int timeoutMs)
{
    wxScopedCharBuffer utf8 = command.utf8_str();
    char sh[] = "sh";
    char dashC[] = "-c";
    char* argv[] = {sh, dashC, utf8.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;

    // Most test commands end within a few milliseconds: poll from 1 ms up.
    long waitedNs = 0;
    long stepNs = 1000000L;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (waitedNs >= static_cast<long>(timeoutMs) * 1000000L)
            break;
        struct timespec pause = {0, stepNs};
        nanosleep(&pause, nullptr);
        waitedNs += stepNs;
        if (stepNs < 20000000L)
            stepNs *= 2;
    }
    kill(-pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
}

static bool ReadRegularFile(const wxString& path, std::string* bytes)
{
    if (!IsRegularFile(path))
        return false;
    std::ifstream in(path.utf8_str().data(), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    *bytes = text.str();
    return true;
}

static wxString MailcapCommand(const wxString& manual, const ViewerLookup& lookup)
{
    std::string bytes;
    if (lookup.mailcapPath.empty() || !ReadRegularFile(lookup.mailcapPath, &bytes))
        return wxString();
    for (const MailcapEntry& entry : ParseMailcap(bytes)) {
        if (!MailcapTypeMatches(entry.type, kPdfType) || entry.needsTerminal || entry.copiousOutput)
            continue;
        wxString command;
        if (!ExpandMailcapCommand(entry.command, manual, kPdfType, true, &command))
            continue;
        if (!entry.test.empty()) {
            wxString test;
            ExpandMailcapCommand(entry.test, manual, kPdfType, false, &test);
            if (!CommandSucceeds(test, lookup.testTimeoutMs))
                continue;
        }
        return command;
    }
    return wxString();
}

// The MIME-type manager's open command, split into words as the toolkit
// would run it, then written again as shell words.  The manual's path is
// given to the manager as a plain placeholder, so that the toolkit's own
// quoting of it never matters.
static wxString MimeTypesCommand(const wxString& manual)
{
    std::unique_ptr<wxFileType> type(wxTheMimeTypesManager->GetFileTypeFromMimeType(kPdfType));
    if (!type)
        return wxString();
    const wxString placeholder = "LYRASIL-USER-GUIDE-PATH";
    wxString open;
    if (!type->GetOpenCommand(&open, wxFileType::MessageParameters(placeholder, kPdfType)) || open.empty())
        return wxString();
    wxArrayString words = wxCmdLineParser::ConvertStringToArgs(open, wxCMD_LINE_SPLIT_UNIX);
    wxString command;
    bool hasFile = false;
    for (wxString word : words) {
        if (word == "<")
            return wxString(); // a program that reads the file from its input
        if (word.Replace(placeholder, manual) > 0)
            hasFile = true;
        if (!command.empty())
            command += " ";
        command += ShellQuote(word);
    }
    return hasFile ? command : wxString();
}

HelpCommand FindHelpCommand(const wxString& manualPath, const ViewerLookup& lookup)
{
    HelpCommand help;
    if (!IsRegularFile(manualPath)) {
        help.status = HelpStatus::NoManual;
        return help;
    }
    help.command = MailcapCommand(manualPath, lookup);
    if (help.command.empty() && lookup.useMimeTypes)
        help.command = MimeTypesCommand(manualPath);
    if (help.command.empty()) {
        wxString xdgOpen = FindOnSearchPath("xdg-open", lookup.searchPath);
        if (!xdgOpen.empty())
            help.command = ShellQuote(xdgOpen) + " " + ShellQuote(manualPath);
    }
    help.status = help.command.empty() ? HelpStatus::NoViewer : HelpStatus::Ok;
    return help;
}
