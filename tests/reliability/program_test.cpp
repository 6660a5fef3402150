// The real program against what a desktop can do to it: the X server going
// away under it, servers without GLX, colour or fonts, storms of input, and
// hundreds of dialogs and drop-downs, with its memory and X resources watched.
//   program_test [gtest flags] [--cycles N]
// --cycles sets how many dialog and menu cycles XResources runs (20 by default).
#include <X11/keysym.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>

#include "tests/e2e/e2e_session.h"

// After Xlib, which they need.
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

static const int START_MS = 10000;
static const int EXIT_MS = 3000; // what "at once" may take on a loaded machine
static const int WINDOW_MS = 3000;
static const int DRAIN_MS = 30000;
static const int QUIET_MS = 200;

static int cycles = 20;

// Monotonic milliseconds, for the figures.
static long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- Measures ----------------------------------------------------------------------

// Resident memory of a process, in KiB; -1 once it is gone.
static long ResidentKb(const Program& program) {
    std::ifstream status("/proc/" + std::to_string(program.pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return atol(line.c_str() + 6);
    return -1;
}

// The counts of each kind of X resource held by the client that owns a
// window; empty when no client owns it (it has gone).
static std::map<std::string, int> XResourcesOf(Display* display, Window window) {
    std::map<std::string, int> counts;
    int clientCount = 0;
    XResClient* clients = nullptr;
    bool owned = false;
    if (XResQueryClients(display, &clientCount, &clients)) {
        for (int i = 0; i < clientCount; i++)
            owned |= (window & ~clients[i].resource_mask) == clients[i].resource_base;
        XFree(clients);
    }
    int typeCount = 0;
    XResType* types = nullptr;
    if (!owned || !XResQueryClientResources(display, window, &typeCount, &types))
        return counts;
    for (int i = 0; i < typeCount; i++) {
        char* name = XGetAtomName(display, types[i].resource_type);
        counts[name != nullptr ? name : "?"] = types[i].count;
        XFree(name);
    }
    XFree(types);
    return counts;
}

// "NAME count, ..." for messages and figures.
static std::string Describe(const std::map<std::string, int>& counts) {
    std::string text;
    for (const auto& entry : counts)
        text += (text.empty() ? "" : ", ") + entry.first + " " + std::to_string(entry.second);
    return text;
}

// ---- Sessions on any kind of server ----------------------------------------------

// The session of the e2e tier, on a server of any depth and options.
static bool OpenSessionOn(Session& session, int depth, const std::vector<std::string>& xvfbArgs) {
    if (!StartXServer(session.server, 800, 600, depth, xvfbArgs))
        return false;
    session.display = ConnectDriver(session.server);
    return session.display != nullptr &&
           WatchDamage(session.damage, session.display, DefaultRootWindow(session.display));
}

// Starts the program and finds its window and bar, without waiting for a
// frame: on a server without GL none comes.
static testing::AssertionResult StartUndrawn(Session& session) {
    if (!LaunchProgram(session.program, {ROBOT_KOVRA}, session.server.display.c_str()))
        return testing::AssertionFailure() << "cannot start " << ROBOT_KOVRA;
    session.mainWindow = FindTopLevel(session.display, MAIN_TITLE, START_MS);
    if (session.mainWindow == 0)
        return testing::AssertionFailure()
               << "no window; stderr: " << ProgramStderr(session.program);
    WindowInfo tree;
    DescribeWindow(session.display, session.mainWindow, tree, true);
    const WindowInfo* bar = FindDescendant(tree, "menubar");
    if (bar == nullptr || !bar->viewable)
        return testing::AssertionFailure() << "the window shows no menu bar";
    session.outer = tree.rect;
    session.bar = bar->rect;
    int barBottom = bar->rect.y + bar->rect.height;
    session.client = {tree.rect.x, barBottom, tree.rect.width,
                      tree.rect.y + tree.rect.height - barBottom};
    MovePointer(session.display, session.client.x + session.client.width / 2,
                session.client.y + session.client.height / 2);
    WaitForQuiet(session.damage, QUIET_MS, WINDOW_MS);
    return testing::AssertionSuccess();
}

// Closes the driver's own connection first, so that killing the server
// ends only the program's.
static void LetGoOfTheServer(Session& session) {
    StopWatchingDamage(session.damage);
    XCloseDisplay(session.display);
    session.display = nullptr;
    session.mainWindow = 0;
}

// Ends the test's own Xvfb under the running program.
static void KillServer(Session& session, int signal) {
    kill(session.server.pid, signal);
    waitpid(session.server.pid, nullptr, 0);
    session.server.pid = -1;
}

// CloseSession, also after the server or the driver's connection has gone.
static void EndSession(Session& session) {
    if (session.display == nullptr)
        session.mainWindow = 0;
    CloseSession(session);
}

// ---- Input -----------------------------------------------------------------------

// The virtual-key code of a key of the storms, for the expected view.
static unsigned VirtualKeyOf(KeySym key) {
    switch (key) {
    case XK_Left:
        return 0x25;
    case XK_Up:
        return 0x26;
    case XK_Right:
        return 0x27;
    case XK_Down:
        return 0x28;
    }
    if (key >= XK_a && key <= XK_z)
        return (unsigned)(key - XK_a + 'A');
    return (unsigned)key; // digits: the same codes
}

// Arrows half the time; letters and digits, which turn nothing, otherwise.
static KeySym StormKey(std::mt19937& random) {
    static const KeySym ARROWS[] = {XK_Left, XK_Up, XK_Right, XK_Down};
    switch (random() % 4) {
    case 0:
        return XK_a + random() % 26;
    case 1:
        return XK_0 + random() % 10;
    default:
        return ARROWS[random() % 4];
    }
}

// A key pressed and released with no wait for the server: input as fast as
// the connection takes it.
static void TypeKey(Session& session, KeySym key) {
    KeyCode code = XKeysymToKeycode(session.display, key);
    XTestFakeKeyEvent(session.display, code, True, CurrentTime);
    XTestFakeKeyEvent(session.display, code, False, CurrentTime);
}

// F10 highlights the bar, Right moves to "Robot", Down opens it on its first
// row, and each further Down moves one row.
static void ChooseByKeys(Session& session, int row) {
    TypeKey(session, XK_F10);
    TypeKey(session, XK_Right);
    TypeKey(session, XK_Down);
    for (int i = 0; i < row; i++)
        TypeKey(session, XK_Down);
    TypeKey(session, XK_Return);
}

// Alt+H, A, as the menu says; 0 when no dialog appears.
static Window OpenAbout(Session& session) {
    PressKey(session.display, XK_h, XK_Alt_L);
    PressKey(session.display, XK_a);
    return FindTopLevel(session.display, ABOUT_TITLE, WINDOW_MS);
}

// Alt+F, X.
static void ChooseExit(Session& session) {
    PressKey(session.display, XK_f, XK_Alt_L);
    PressKey(session.display, XK_x);
}

// ---- Display loss -------------------------------------------------------------------

// What the program is doing when its server goes: the rows of LOSSES.
static void Idle(Session&) {}

static void DialogOpen(Session& session) {
    EXPECT_NE(OpenAbout(session), 0u) << "no dialog";
}

static void DropDownOpen(Session& session) {
    EXPECT_NE(OpenRobotMenuByMouse(session), 0u);
}

// Keys enough to keep it drawing for a while, none waited for.
static void Drawing(Session& session) {
    for (int i = 0; i < 1000; i++)
        PressKey(session.display, i % 2 ? XK_Up : XK_Right);
}

static const struct {
    const char* name;
    void (*prepare)(Session&);
    int signal;
} LOSSES[] = {
    {"idle, the server killed", Idle, SIGKILL},
    {"idle, the server shut down", Idle, SIGTERM},
    {"in the dialog's modal loop", DialogOpen, SIGKILL},
    {"tracking a drop-down, keyboard and pointer grabbed", DropDownOpen, SIGKILL},
    {"drawing, input queued", Drawing, SIGKILL},
};

TEST(DisplayLoss, TheProgramSaysSoInOneLineAndEndsNonZeroAtOnce) {
    for (const auto& loss : LOSSES) {
        SCOPED_TRACE(loss.name);
        Session session;
        ASSERT_TRUE(OpenSessionOn(session, 24, {}));
        ASSERT_TRUE(StartProgram(session));
        loss.prepare(session);
        LetGoOfTheServer(session);
        long before = NowMs();
        KillServer(session, loss.signal);
        bool ended = WaitForExit(session.program, EXIT_MS);
        long took = NowMs() - before;
        EXPECT_TRUE(ended) << "still running " << EXIT_MS << " ms after the server went";
        std::string said = ProgramStderr(session.program);
        EXPECT_GT(session.program.exitCode, 0) << said;
        EXPECT_LT(session.program.exitCode, 128) << "ended by a signal";
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("display"), std::string::npos) << said;
        printf("[ display loss ] %s: exit %d after %ld ms: %s", loss.name, session.program.exitCode,
               took, said.c_str());
        EndSession(session);
    }
}

// ---- Servers that lack something ------------------------------------------------------

// Where the user keeps temporary files.
static std::string TempDir() {
    const char* tmp = getenv("TMPDIR");
    return tmp != nullptr && *tmp ? tmp : P_tmpdir;
}

static const std::string NO_FONTS_CONF = TempDir() + "/kovra-no-fonts.conf";

// A fontconfig that knows no font at all: Xft finds nothing to open.
static void WriteEmptyFontconfig() {
    std::ofstream(NO_FONTS_CONF) << "<?xml version=\"1.0\"?>\n"
                                    "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                                    "<fontconfig></fontconfig>\n";
}

static const struct {
    const char* name;
    int depth;
    std::vector<std::string> xvfbArgs;
    bool noFonts;
    bool draws;
    const char* says; // how stderr begins, or nothing on it
} SERVERS[] = {
    {"no window manager (every test here runs without one)", 24, {}, false, true, nullptr},
    {"no GLX extension", 24, {"-extension", "GLX"}, false, false, "GLX: the X server has no GLX"},
    {"8-bit PseudoColor, where Xvfb has no GLX", 8, {}, false, false, "GLX: the X server"},
    {"no font fontconfig knows", 24, {}, true, true, "Text: fontconfig has no face"},
};

// Choose Arm2 by mouse, see it checked, open and close the dialog, exit.
TEST(HostileServer, MenusTheDialogAndExitStillWork) {
    WriteEmptyFontconfig();
    for (const auto& server : SERVERS) {
        SCOPED_TRACE(server.name);
        Session session;
        ASSERT_TRUE(OpenSessionOn(session, server.depth, server.xvfbArgs));
        if (server.noFonts)
            setenv("FONTCONFIG_FILE", NO_FONTS_CONF.c_str(), 1);
        testing::AssertionResult started =
            server.draws ? StartProgram(session) : StartUndrawn(session);
        unsetenv("FONTCONFIG_FILE");
        ASSERT_TRUE(started);

        Window popup = OpenRobotMenuByMouse(session);
        ASSERT_NE(popup, 0u);
        ClickMenuRow(session, popup, 2);
        EXPECT_TRUE(WaitForWindowGone(session.display, popup, WINDOW_MS));
        if (server.draws) {
            ASSERT_TRUE(WaitForFrame(session));
            EXPECT_TRUE(ShowsModel(session, Arm2, 0, 0));
        }
        popup = OpenRobotMenuByMouse(session);
        ASSERT_NE(popup, 0u);
        EXPECT_EQ(ReadCheckMarks(session, popup), std::vector<bool>({false, false, true}));
        PressKey(session.display, XK_Escape);
        PressKey(session.display, XK_Escape);
        EXPECT_TRUE(WaitForWindowGone(session.display, popup, WINDOW_MS));

        Window dialog = OpenAbout(session);
        ASSERT_NE(dialog, 0u) << "no dialog; stderr: " << ProgramStderr(session.program) << "; see "
                              << SaveShot(GrabRect(session.display, session.outer), "no-dialog");
        PressKey(session.display, XK_Return);
        EXPECT_TRUE(WaitForWindowGone(session.display, dialog, WINDOW_MS));

        ChooseExit(session);
        ASSERT_TRUE(WaitForExit(session.program, EXIT_MS));
        std::string said = ProgramStderr(session.program);
        EXPECT_EQ(session.program.exitCode, 0) << said;
        if (server.says == nullptr)
            EXPECT_EQ(said, "");
        else
            EXPECT_EQ(said.find(server.says), 0u) << said;
        printf("[ server ] %s: exit %d, stderr: \"%s\"\n", server.name, session.program.exitCode,
               said.c_str());
        EndSession(session);
    }
    unlink(NO_FONTS_CONF.c_str());
}

// ---- Input storms ---------------------------------------------------------------------

static const int STORM_KEYS = 10000;
static const int STORM_COMMANDS = 1000;
// Growth allowed between two equal storms: a few pages of the allocator.
static const long FLAT_KB = 1024;

struct StormFigures {
    long rssAfterWarmUp = 0, rssPeak = 0, rssAfter = 0;
    long drainMs = 0;
};

// Waits for the picture to settle after input sent without waiting.
static long Drain(Session& session) {
    long before = NowMs();
    EXPECT_TRUE(WaitForQuiet(session.damage, 500, DRAIN_MS)) << "still drawing";
    return NowMs() - before - 500;
}

// The peak of the resident size, sampled during a storm.
static void SampleRss(const Session& session, StormFigures& figures) {
    figures.rssPeak = std::max(figures.rssPeak, ResidentKb(session.program));
}

TEST(InputStorm, TenThousandKeysAndAThousandCommandsLeaveTheRightPictureAndFlatMemory) {
    Session session;
    ASSERT_TRUE(OpenSessionOn(session, 24, {}));
    ASSERT_TRUE(StartProgram(session));
    std::mt19937 random(20240611);
    ViewState expected;
    std::map<std::string, int> xBefore, xAfter;

    // The same storm twice: the first brings the program to its working size.
    StormFigures figures;
    for (int round = 0; round < 2; round++) {
        for (int i = 0; i < STORM_KEYS; i++) {
            KeySym key = StormKey(random);
            RotateByKey(expected, VirtualKeyOf(key));
            TypeKey(session, key);
            if (i % 500 == 0) {
                XSync(session.display, False);
                if (round == 1)
                    SampleRss(session, figures);
            }
        }
        for (int i = 0; i < STORM_COMMANDS; i++) {
            int row = (int)(random() % 3);
            ChooseByKeys(session, row);
            SelectModel(expected, (ModelKind)row);
            for (int turns = (int)(random() % 3); turns > 0; turns--) {
                KeySym key = StormKey(random);
                RotateByKey(expected, VirtualKeyOf(key));
                TypeKey(session, key);
            }
            if (i % 100 == 0) {
                XSync(session.display, False);
                if (round == 1)
                    SampleRss(session, figures);
            }
        }
        XSync(session.display, False);
        long drain = Drain(session);
        SCOPED_TRACE(testing::Message() << "round " << round << ": model " << expected.selectedModel
                                        << ", turn " << expected.xRot << ", " << expected.yRot);
        EXPECT_TRUE(ShowsModel(session, expected.selectedModel, expected.xRot, expected.yRot));
        if (round == 0) {
            figures.rssAfterWarmUp = ResidentKb(session.program);
            xBefore = XResourcesOf(session.display, session.mainWindow);
        } else {
            figures.drainMs = drain;
            figures.rssAfter = ResidentKb(session.program);
            xAfter = XResourcesOf(session.display, session.mainWindow);
        }
    }
    Window popup = OpenRobotMenuByMouse(session);
    ASSERT_NE(popup, 0u);
    std::vector<bool> marks(3, false);
    marks[(size_t)expected.selectedModel] = true;
    EXPECT_EQ(ReadCheckMarks(session, popup), marks);

    EXPECT_EQ(xAfter, xBefore) << "after: " << Describe(xAfter)
                               << "; before: " << Describe(xBefore);
#ifndef KOVRA_SANITIZE
    // (AddressSanitizer holds freed memory back for a while: no bound there.)
    EXPECT_LE(figures.rssAfter - figures.rssAfterWarmUp, FLAT_KB);
    EXPECT_LE(figures.rssPeak - figures.rssAfterWarmUp, FLAT_KB);
#endif
    printf("[ storm ] %d keys and %d menu commands a round: resident %ld KiB after the first, "
           "peak %ld and %ld KiB after the second; drained %ld ms after the last key; "
           "X resources %s\n",
           STORM_KEYS, STORM_COMMANDS, figures.rssAfterWarmUp, figures.rssPeak, figures.rssAfter,
           figures.drainMs, Describe(xAfter).c_str());
    EndSession(session);
}

// ---- X resources across cycles ----------------------------------------------------------

// About opened by keys and closed by Enter.
static testing::AssertionResult DialogCycle(Session& session) {
    Window dialog = OpenAbout(session);
    if (dialog == 0)
        return testing::AssertionFailure()
               << "Alt+H, A opened no dialog; see "
               << SaveShot(GrabRect(session.display, session.outer), "no-dialog");
    PressKey(session.display, XK_Return);
    bool gone = WaitForWindowGone(session.display, dialog, WINDOW_MS);
    WaitForQuiet(session.damage, QUIET_MS, WINDOW_MS);
    if (!gone)
        return testing::AssertionFailure() << "Enter left the dialog open";
    return testing::AssertionSuccess();
}

// "Robot" opened by a click and closed by Escape twice.
static testing::AssertionResult MenuCycle(Session& session) {
    Window popup = OpenRobotMenuByMouse(session);
    if (popup == 0)
        return testing::AssertionFailure() << "no drop-down";
    PressKey(session.display, XK_Escape);
    PressKey(session.display, XK_Escape);
    // Gone with the first Escape; the bar is drawn plain after the second.
    bool gone = WaitForWindowGone(session.display, popup, WINDOW_MS);
    WaitForQuiet(session.damage, QUIET_MS, WINDOW_MS);
    if (!gone)
        return testing::AssertionFailure() << "Escape left the drop-down open";
    return testing::AssertionSuccess();
}

TEST(XResources, DialogAndMenuCyclesLeaveTheCountsAsTheyWereAndExitReleasesAll) {
    Session session;
    ASSERT_TRUE(OpenSessionOn(session, 24, {}));
    ASSERT_TRUE(StartProgram(session));
    // Once each first: what is made on first use and kept (fonts, GCs).
    ASSERT_TRUE(DialogCycle(session));
    ASSERT_TRUE(MenuCycle(session));
    WaitForQuiet(session.damage, QUIET_MS, WINDOW_MS);
    std::map<std::string, int> start = XResourcesOf(session.display, session.mainWindow);
    long rssStart = ResidentKb(session.program);
    ASSERT_FALSE(start.empty());

    for (int i = 0; i < cycles; i++)
        ASSERT_TRUE(DialogCycle(session)) << "dialog cycle " << i;
    WaitForQuiet(session.damage, QUIET_MS, WINDOW_MS);
    std::map<std::string, int> afterDialogs = XResourcesOf(session.display, session.mainWindow);
    for (int i = 0; i < cycles; i++)
        ASSERT_TRUE(MenuCycle(session)) << "menu cycle " << i;
    WaitForQuiet(session.damage, QUIET_MS, WINDOW_MS);
    std::map<std::string, int> afterMenus = XResourcesOf(session.display, session.mainWindow);
    long rssEnd = ResidentKb(session.program);

    EXPECT_EQ(afterDialogs, start) << Describe(afterDialogs) << "; at start: " << Describe(start);
    EXPECT_EQ(afterMenus, start) << Describe(afterMenus) << "; at start: " << Describe(start);
    printf("[ X resources ] %d dialog and %d menu cycles: %s at start, %s after the dialogs, %s "
           "after the menus; resident %ld KiB, then %ld KiB\n",
           cycles, cycles, Describe(start).c_str(), Describe(afterDialogs).c_str(),
           Describe(afterMenus).c_str(), rssStart, rssEnd);

    Window main = session.mainWindow;
    ChooseExit(session);
    ASSERT_TRUE(WaitForExit(session.program, EXIT_MS));
    EXPECT_EQ(session.program.exitCode, 0);
    EXPECT_TRUE(XResourcesOf(session.display, main).empty()) << "the client is still there";
    session.mainWindow = 0;
    EndSession(session);
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; i++)
        if (std::string(argv[i]) == "--cycles")
            cycles = atoi(argv[i + 1]);
    return RUN_ALL_TESTS();
}
