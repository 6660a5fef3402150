// One end-to-end test's world: a private X server, the driver's connection
// and the running program, with the verbs the tests share.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/view_state.h"
#include "tests/support/xdriver.h"

static const char MAIN_TITLE[] = "Robot Kovra";
static const char ABOUT_TITLE[] = "About OpenGL";

struct Session {
    XServer server;
    Display* display = nullptr;
    Program program;
    Window mainWindow = 0;
    Rect outer;  // the top-level X window: menu bar and client area
    Rect bar;    // the menu bar across its top
    Rect client; // what lies below the bar
    DamageWatch damage;
};

// Starts the X server and connects; every test has its own.
bool OpenSession(Session& session);
void CloseSession(Session& session);

// Starts the program with extra arguments and waits for its first frame.
testing::AssertionResult StartProgram(Session& session, const std::vector<std::string>& args = {});
// Kills the program, for a test that starts it more than once.
void StopProgram(Session& session);

// Waits until the program has drawn in reply to input, and then stopped.
testing::AssertionResult WaitForFrame(Session& session);
Picture GrabClient(const Session& session);

// Saves a picture where people can look at it; returns the path.
std::string SaveShot(const Picture& picture, const std::string& what);

// Passes when the client area shows the model at the turn, grey on white.
testing::AssertionResult ShowsModel(const Session& session, ModelKind model, float xRot,
                                    float yRot);

// Presses keys one by one as a person does, each once the screen has
// answered the one before; fails if one draws nothing.
testing::AssertionResult PressKeys(Session& session, const std::vector<KeySym>& keys,
                                   KeySym modifier = NoSymbol);

// The "Robot" drop-down: opened by a click on the bar, its rows read from
// what is drawn.
Window OpenRobotMenuByMouse(Session& session);
// The check state of each row of an open drop-down, top to bottom.
std::vector<bool> ReadCheckMarks(Session& session, Window popup);
// Clicks a row of an open drop-down.
void ClickMenuRow(Session& session, Window popup, int row);

// Every test gets its own X server; the test starts the program itself.
class E2eTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(OpenSession(session)) << "cannot start a private Xvfb";
    }
    void TearDown() override {
        CloseSession(session);
    }
    Session session;
};
