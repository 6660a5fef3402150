// The main window as a person meets it: where it opens and what it shows,
// how keys turn the model, that it rests while idle, and how it ends.
#include <X11/keysym.h>

#include <algorithm>

#include "tests/e2e/e2e_session.h"

using MainWindow = E2eTest;

static const int EXIT_MS = 5000;
static const int IDLE_MS = 1000;

// The virtual-key code the program receives for a key.
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
    return key >= XK_a && key <= XK_z ? (unsigned)(key - XK_a + 'A') : 0;
}

TEST_F(MainWindow, OpensAt50By50Sized400WithTheBarOnTopAndTheCylinderEndOn) {
    ASSERT_TRUE(StartProgram(session));
    WindowInfo window;
    ASSERT_TRUE(DescribeWindow(session.display, session.mainWindow, window, false));
    EXPECT_EQ(window.name, "Robot Kovra");
    EXPECT_EQ(window.resClass, "Robot Kovra");
    EXPECT_EQ(window.rect.x, 50);
    EXPECT_EQ(window.rect.y, 50);
    EXPECT_EQ(window.rect.width, 400);
    EXPECT_EQ(window.rect.height, 400);
    EXPECT_EQ(session.bar.x, 50);
    EXPECT_EQ(session.bar.y, 50);
    EXPECT_EQ(session.bar.width, 400);
    EXPECT_GE(session.bar.height, 12) << "too low for a line of text";
    EXPECT_LE(session.bar.height, 40);
    // The projection depends on the client size: the model's place and
    // scale in the picture show that the client area is all below the bar.
    EXPECT_TRUE(ShowsModel(session, Cylinder, 0, 0));
}

// Runs of arrow keys, each going on from the angles the one before left.
static const std::vector<KeySym> KEY_RUNS[] = {
    {XK_Up, XK_Up, XK_Up, XK_Right, XK_Right},     // xRot -15, yRot 10
    {XK_Down, XK_Down, XK_Down, XK_Down, XK_Left}, // back through 0 on X
    {XK_Left, XK_Left, XK_Left},                   // negative on Y
};

TEST_F(MainWindow, ArrowKeysTurnTheModelByTheKeyRule) {
    ASSERT_TRUE(StartProgram(session));
    ViewState expected;
    for (const std::vector<KeySym>& run : KEY_RUNS) {
        for (KeySym key : run)
            RotateByKey(expected, VirtualKeyOf(key));
        SCOPED_TRACE(testing::Message() << "xRot " << expected.xRot << ", yRot " << expected.yRot);
        ASSERT_TRUE(PressKeys(session, run));
        EXPECT_TRUE(ShowsModel(session, Cylinder, expected.xRot, expected.yRot));
    }
}

TEST_F(MainWindow, LetterKeyRepaintsWithoutChange) {
    ASSERT_TRUE(StartProgram(session));
    // Turned first, so that a letter that reset the view would show.
    ASSERT_TRUE(PressKeys(session, {XK_Up, XK_Right}));
    Picture before = GrabClient(session);
    ASSERT_TRUE(PressKeys(session, {XK_a})) << "a letter key must repaint";
    EXPECT_TRUE(GrabClient(session).rgb == before.rgb)
        << "the picture changed; see " << SaveShot(GrabClient(session), "after-letter");
    ViewState expected;
    for (KeySym key : {XK_Up, XK_Right, XK_a})
        RotateByKey(expected, VirtualKeyOf(key));
    EXPECT_TRUE(ShowsModel(session, Cylinder, expected.xRot, expected.yRot));
}

TEST_F(MainWindow, DrawsNothingAndUsesNoCpuWhileIdle) {
    ASSERT_TRUE(StartProgram(session));
    ASSERT_TRUE(PressKeys(session, {XK_Down}));
    Picture before = GrabClient(session);
    long cpuBefore = ProgramCpuTicks(session.program);
    int draws = CountDamage(session.damage, IDLE_MS);
    long cpuAfter = ProgramCpuTicks(session.program);
    EXPECT_EQ(draws, 0) << "drawn while idle";
    ASSERT_GE(cpuBefore, 0);
    EXPECT_EQ(cpuAfter, cpuBefore) << "CPU ticks used while idle";
    EXPECT_TRUE(GrabClient(session).rgb == before.rgb);
}

// How a person ends the program, and what each does.
struct Ending {
    const char* name;
    bool (*end)(Session& session);
};

static bool ChooseExit(Session& session) {
    if (!PressKeys(session, {XK_f}, XK_Alt_L))
        return false;
    if (FindPopup(session.display, "File", EXIT_MS) == 0) {
        ADD_FAILURE() << "Alt+F opened no drop-down \"File\"";
        return false;
    }
    PressKey(session.display, XK_x);
    return true;
}

static bool CloseBox(Session& session) {
    bool sent = SendDeleteWindow(session.display, session.mainWindow);
    EXPECT_TRUE(sent) << "WM_PROTOCOLS lacks WM_DELETE_WINDOW: a window manager would kill it";
    return sent;
}

static const Ending ENDINGS[] = {
    {"File, Exit by Alt+F, X", ChooseExit},
    {"the close box", CloseBox},
};

TEST_F(MainWindow, ExitAndTheCloseBoxEndWithCodeZero) {
    for (const Ending& ending : ENDINGS) {
        SCOPED_TRACE(ending.name);
        ASSERT_TRUE(StartProgram(session));
        ASSERT_TRUE(ending.end(session));
        ASSERT_TRUE(WaitForExit(session.program, EXIT_MS))
            << "still running after " << EXIT_MS << " ms";
        EXPECT_EQ(session.program.exitCode, 0) << ProgramStderr(session.program);
        StopProgram(session);
    }
}

TEST_F(MainWindow, CommandLineArgumentsChangeNothing) {
    ASSERT_TRUE(StartProgram(session));
    Rect plainPlace = session.outer;
    Picture plainPicture = GrabClient(session);
    StopProgram(session);

    ASSERT_TRUE(StartProgram(session, {"--foo", "bar", "-x"}));
    EXPECT_EQ(session.outer.x, plainPlace.x);
    EXPECT_EQ(session.outer.y, plainPlace.y);
    EXPECT_EQ(session.outer.width, plainPlace.width);
    EXPECT_EQ(session.outer.height, plainPlace.height);
    EXPECT_TRUE(GrabClient(session).rgb == plainPicture.rgb)
        << "see " << SaveShot(GrabClient(session), "with-arguments");
}

// Without a display the program cannot run; it must say so once and fail.
static const struct {
    const char* name;
    const char* display; // NULL: DISPLAY unset
} NO_DISPLAYS[] = {
    {"a display nobody serves", ":99999"},
    {"DISPLAY unset", nullptr},
};

TEST(NoDisplay, OneLineOnStderrAndANonZeroExitCode) {
    for (const auto& row : NO_DISPLAYS) {
        SCOPED_TRACE(row.name);
        Program program;
        ASSERT_TRUE(LaunchProgram(program, {ROBOT_KOVRA}, row.display));
        ASSERT_TRUE(WaitForExit(program, EXIT_MS)) << "still running without a display";
        std::string said = ProgramStderr(program);
        EXPECT_NE(program.exitCode, 0);
        EXPECT_FALSE(said.empty());
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.back(), '\n') << said;
        KillProgram(program);
    }
}
