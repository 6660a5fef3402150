// The "Robot" menu by mouse and by keyboard: the model it shows, unturned,
// and the one check mark it keeps, read from the drawn drop-down.
#include <X11/keysym.h>

#include "tests/e2e/e2e_session.h"

using RobotMenu = E2eTest;

static const int POPUP_MS = 3000;

// The drop-down's rows, top to bottom, and the models they show.
static const ModelKind ROW_MODELS[] = {Cylinder, Arm1, Arm2};

static std::vector<bool> OnlyRowChecked(int row) {
    std::vector<bool> marks(3, false);
    marks[(size_t)row] = true;
    return marks;
}

// Escape closes the drop-down, a second one leaves the bar.
static void CloseMenu(Session& session, Window popup) {
    PressKey(session.display, XK_Escape);
    EXPECT_TRUE(WaitForWindowGone(session.display, popup, POPUP_MS)) << "Escape left it open";
    PressKey(session.display, XK_Escape);
    WaitForQuiet(session.damage, 100, POPUP_MS);
}

// Turning the model first makes the next choice show that it resets the turn.
static const std::vector<KeySym> TURN = {XK_Up, XK_Right};

// Each row goes on from the one before; choosing the model already shown
// must reset its turn as well.
static const int MOUSE_CHOICES[] = {1, 2, 2, 0};

TEST_F(RobotMenu, MouseChoiceShowsTheModelUnturnedWithOneCheckMark) {
    ASSERT_TRUE(StartProgram(session));
    Window popup = OpenRobotMenuByMouse(session);
    ASSERT_NE(popup, 0u);
    EXPECT_EQ(ReadCheckMarks(session, popup), OnlyRowChecked(0)) << "at start";
    CloseMenu(session, popup);

    for (int row : MOUSE_CHOICES) {
        SCOPED_TRACE(testing::Message() << "row " << row);
        ASSERT_TRUE(PressKeys(session, TURN));
        popup = OpenRobotMenuByMouse(session);
        ASSERT_NE(popup, 0u);
        ClickMenuRow(session, popup, row);
        EXPECT_TRUE(WaitForWindowGone(session.display, popup, POPUP_MS));
        ASSERT_TRUE(WaitForFrame(session));
        EXPECT_TRUE(ShowsModel(session, ROW_MODELS[row], 0, 0));

        popup = OpenRobotMenuByMouse(session);
        ASSERT_NE(popup, 0u);
        EXPECT_EQ(ReadCheckMarks(session, popup), OnlyRowChecked(row));
        CloseMenu(session, popup);
    }
}

// The keys that open the drop-down (the bar by F10, then "Robot"), and those
// that then choose a row: the first row is selected on opening.
static const struct {
    const char* name;
    std::vector<KeySym> open;
    std::vector<KeySym> choose;
    int row;
} KEY_CHOICES[] = {
    {"F10 Right Down, Down Enter", {XK_F10, XK_Right, XK_Down}, {XK_Down, XK_Return}, 1},
    {"F10 Right Enter, Down Down Enter",
     {XK_F10, XK_Right, XK_Return},
     {XK_Down, XK_Down, XK_Return},
     2},
    {"F10 Right Down, Up Enter: wraps to the last",
     {XK_F10, XK_Right, XK_Down},
     {XK_Up, XK_Return},
     2},
    {"F10 Right Down, Enter", {XK_F10, XK_Right, XK_Down}, {XK_Return}, 0},
};

TEST_F(RobotMenu, KeyboardChoiceShowsTheModelUnturnedWithOneCheckMark) {
    ASSERT_TRUE(StartProgram(session));
    for (const auto& choice : KEY_CHOICES) {
        SCOPED_TRACE(choice.name);
        ASSERT_TRUE(PressKeys(session, TURN));
        ASSERT_TRUE(PressKeys(session, choice.open));
        Window popup = FindPopup(session.display, "Robot", POPUP_MS);
        ASSERT_NE(popup, 0u) << "no drop-down \"Robot\"";
        ASSERT_TRUE(PressKeys(session, choice.choose));
        EXPECT_TRUE(WaitForWindowGone(session.display, popup, POPUP_MS));
        EXPECT_TRUE(ShowsModel(session, ROW_MODELS[choice.row], 0, 0));

        // Read back from the keyboard's drop-down: its first row is
        // highlighted, so a mark there is drawn light on dark.
        ASSERT_TRUE(PressKeys(session, {XK_F10, XK_Right, XK_Down}));
        popup = FindPopup(session.display, "Robot", POPUP_MS);
        ASSERT_NE(popup, 0u);
        EXPECT_EQ(ReadCheckMarks(session, popup), OnlyRowChecked(choice.row));
        CloseMenu(session, popup);
    }
}
