#include "tests/windows/wine_session.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>

#include "resources/resource.h"

// Bounded waits. A prefix whose services are not running yet starts them
// before the window shows.
static const int START_MS = 30000;
static const int POLL_MS = 20;

static long NowMs() {
    using namespace std::chrono;
    return (long)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// What every Wine process of the test shares. The prefix itself comes from
// the test's environment: the wine-prefix fixture makes it.
static bool PrepareWineEnvironment() {
    const char* prefix = getenv("WINEPREFIX");
    if (prefix == nullptr || *prefix == '\0')
        return false;
    setenv("WINEDEBUG", "-all", 1);
    // No Mono or Gecko prompts, and no desktop entries written into $HOME.
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d", 1);
    return true;
}

bool RunOnDisplay(const Session& session, const std::string& command,
                  std::vector<std::string>& lines) {
    FILE* pipe = popen(("DISPLAY=" + session.server.display + " " + command).c_str(), "r");
    if (pipe == nullptr)
        return false;
    lines.clear();
    std::string line;
    for (int c; (c = fgetc(pipe)) != EOF;) {
        // Wine's console ends lines with CR LF.
        if (c == '\r')
            continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += (char)c;
        }
    }
    return pclose(pipe) == 0;
}

bool RunBeside(const Session& session, const std::string& exe, const std::string& args,
               std::vector<std::string>& lines) {
    return RunOnDisplay(session, "'" WINE "' '" + exe + "' " + args, lines);
}

// The first frame has been drawn once the client area holds both the clear
// colour and darker line pixels.
static bool LooksDrawn(const Picture& picture) {
    bool white = false, dark = false;
    for (size_t i = 0; i < picture.rgb.size() && !(white && dark); i += 3) {
        white |= picture.rgb[i] == 255 && picture.rgb[i + 1] == 255;
        dark |= picture.rgb[i] < 200;
    }
    return white && dark;
}

testing::AssertionResult StartWineProgram(Session& session) {
    if (!PrepareWineEnvironment())
        return testing::AssertionFailure()
               << "WINEPREFIX is not set; run the test through ctest, which makes the prefix";
    if (!LaunchProgram(session.program, {WINE, WINE_EXE}, session.server.display.c_str()))
        return testing::AssertionFailure() << "cannot start " << WINE;
    session.mainWindow = FindTopLevel(session.display, MAIN_TITLE, START_MS);
    if (session.mainWindow == 0)
        return testing::AssertionFailure()
               << "no window \"" << MAIN_TITLE << "\" appeared under " << WINE
               << "; stderr: " << ProgramStderr(session.program);
    // Without a window manager nobody gives the window the keyboard.
    FocusWindow(session.display, session.mainWindow);

    std::vector<std::string> lines;
    Rect client;
    if (!RunBeside(session, WINE_PROBE, "client", lines) || lines.size() != 1 ||
        sscanf(lines[0].c_str(), "%d %d %d %d", &client.x, &client.y, &client.width,
               &client.height) != 4)
        return testing::AssertionFailure() << "the probe cannot read the client area";
    WindowInfo outer;
    if (!DescribeWindow(session.display, session.mainWindow, outer, false))
        return testing::AssertionFailure() << "the window went away";
    session.outer = outer.rect;
    session.client = client;
    session.bar = {outer.rect.x, outer.rect.y, outer.rect.width, client.y - outer.rect.y};
    bool below = client.x == outer.rect.x && client.width == outer.rect.width &&
                 session.bar.height > 0 &&
                 client.y + client.height == outer.rect.y + outer.rect.height;
    if (!below)
        return testing::AssertionFailure()
               << "the client area " << client.width << "x" << client.height << " at " << client.x
               << "," << client.y << " does not fill the X window " << outer.rect.width << "x"
               << outer.rect.height << " at " << outer.rect.x << "," << outer.rect.y
               << " below a menu bar";

    Picture picture;
    long deadline = NowMs() + START_MS;
    while (NowMs() < deadline) {
        picture = GrabClient(session);
        if (LooksDrawn(picture))
            return testing::AssertionSuccess();
        usleep(POLL_MS * 1000);
    }
    return testing::AssertionFailure()
           << "no first frame; see " << SaveShot(picture, "wine-first-frame");
}

void StopWine(Session& session) {
    KillProgram(session.program);
    // The prefix's services and desktop process hold this session's display.
    if (system("'" WINESERVER "' -k 2>/dev/null; timeout 10 '" WINESERVER "' -w") != 0)
        fprintf(stderr, "wine: the prefix's processes did not end\n");
    session.mainWindow = 0;
}

Window FindWinePopup(const Session& session, int timeoutMs) {
    const char* exe = strrchr(WINE_EXE, '/');
    std::string programClass = exe != nullptr ? exe + 1 : WINE_EXE;
    long deadline = NowMs() + timeoutMs;
    for (;;) {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(session.display, DefaultRootWindow(session.display), &root, &parent,
                       &children, &count)) {
            for (unsigned i = count; i-- > 0 && found == 0;) {
                WindowInfo info;
                if (children[i] != session.mainWindow &&
                    DescribeWindow(session.display, children[i], info, false) && info.viewable &&
                    info.overrideRedirect && info.resName == programClass)
                    found = info.id;
            }
            XFree(children);
        }
        if (found != 0 || NowMs() > deadline)
            return found;
        usleep(POLL_MS * 1000);
    }
}

std::vector<bool> ProbeCheckMarks(const Session& session) {
    const unsigned COMMANDS[] = {IDM_CYLINDER, IDM_ARM1, IDM_ARM2};
    std::vector<std::string> lines;
    if (!RunBeside(session, WINE_PROBE, "menu", lines) || lines.size() != 3)
        return {};
    std::vector<bool> marks;
    for (size_t i = 0; i < lines.size(); ++i) {
        unsigned command;
        char state[16];
        if (sscanf(lines[i].c_str(), "%u %15s", &command, state) != 2 || command != COMMANDS[i])
            return {};
        marks.push_back(strcmp(state, "checked") == 0);
    }
    return marks;
}

bool ProbeDialogFields(const Session& session, std::vector<std::string>& fields) {
    std::vector<std::string> lines;
    if (!RunBeside(session, WINE_PROBE, "dialog", lines) || lines.size() != 12)
        return false;
    fields.clear();
    for (const std::string& line : lines) {
        size_t tab = line.find('\t');
        if (tab == std::string::npos)
            return false;
        fields.push_back(line.substr(tab + 1));
    }
    return true;
}
