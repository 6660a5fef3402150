// The view rules: arrow keys turn by 5 degrees within one turn, choosing a
// model shows it unturned.
#include <gtest/gtest.h>

#include <vector>

#include "app/view_state.h"
#include "platform/winapi.h"

namespace {

struct KeyRun {
    unsigned key;
    int presses;
};

struct TurnCase {
    const char* what;
    float xRot, yRot; // before
    std::vector<KeyRun> keys;
    float expectedX, expectedY;
};

const TurnCase TURN_CASES[] = {
    {"one Up from the start goes negative", 0, 0, {{VK_UP, 1}}, -5, 0},
    {"one Left from the start goes negative", 0, 0, {{VK_LEFT, 1}}, 0, -5},
    {"71 Down reach 355", 0, 0, {{VK_DOWN, 71}}, 355, 0},
    {"the 72nd Down wraps to 0", 0, 0, {{VK_DOWN, 72}}, 0, 0},
    {"71 Up reach -355", 0, 0, {{VK_UP, 71}}, -355, 0},
    {"the 72nd Up wraps to 0", 0, 0, {{VK_UP, 72}}, 0, 0},
    {"71 Right reach 355", 0, 0, {{VK_RIGHT, 71}}, 0, 355},
    {"the 72nd Right wraps to 0", 0, 0, {{VK_RIGHT, 72}}, 0, 0},
    {"71 Left reach -355", 0, 0, {{VK_LEFT, 71}}, 0, -355},
    {"the 72nd Left wraps to 0", 0, 0, {{VK_LEFT, 72}}, 0, 0},
    {"Up from 5 passes 0", 5, 0, {{VK_UP, 1}}, 0, 0},
    {"and on to -5", 5, 0, {{VK_UP, 2}}, -5, 0},
    {"Up then Down return", 40, -15, {{VK_UP, 1}, {VK_DOWN, 1}}, 40, -15},
    {"Down then Up return", -350, 90, {{VK_DOWN, 1}, {VK_UP, 1}}, -350, 90},
    {"Left then Right return", 40, -15, {{VK_LEFT, 1}, {VK_RIGHT, 1}}, 40, -15},
    {"Right then Left return", 10, 350, {{VK_RIGHT, 1}, {VK_LEFT, 1}}, 10, 350},
    // After a wrap the inverse key lands a full turn away, on the same view.
    {"Right past 355, then Left", 0, 355, {{VK_RIGHT, 1}, {VK_LEFT, 1}}, 0, -5},
    {"each arrow turns its own axis only",
     20,
     30,
     {{VK_UP, 3}, {VK_RIGHT, 2}, {VK_DOWN, 1}, {VK_LEFT, 4}},
     10,
     20},
};

TEST(ViewRules, StartsUnturnedOnTheCylinder) {
    ViewState view;
    EXPECT_EQ(0.0f, view.xRot);
    EXPECT_EQ(0.0f, view.yRot);
    EXPECT_EQ(Cylinder, view.selectedModel);
}

TEST(ViewRules, ArrowKeysTurnByFiveWithinOneTurn) {
    for (const TurnCase& c : TURN_CASES) {
        ViewState view;
        view.xRot = c.xRot;
        view.yRot = c.yRot;
        view.selectedModel = Arm2;
        for (const KeyRun& run : c.keys)
            for (int i = 0; i < run.presses; i++)
                RotateByKey(view, run.key);
        EXPECT_EQ(c.expectedX, view.xRot) << c.what;
        EXPECT_EQ(c.expectedY, view.yRot) << c.what;
        EXPECT_EQ(Arm2, view.selectedModel) << c.what;
    }
}

TEST(ViewRules, OtherKeysLeaveTheAngles) {
    // Neighbours of the arrow codes, the extremes, and an arrow's code plus
    // 256 (a key code is wider than a byte).
    const unsigned OTHER_KEYS[] = {0,         255,   VK_HOME,        VK_SELECT, 'A',
                                   VK_RETURN, 0x126, VK_NUMPAD0 + 8, VK_F1};
    for (unsigned key : OTHER_KEYS) {
        ViewState view;
        view.xRot = -35;
        view.yRot = 120;
        RotateByKey(view, key);
        EXPECT_EQ(-35.0f, view.xRot) << "key " << key;
        EXPECT_EQ(120.0f, view.yRot) << "key " << key;
    }
}

TEST(ViewRules, ChoosingAModelShowsItUnturned) {
    const struct {
        ModelKind before, chosen;
    } CASES[] = {{Cylinder, Arm1}, {Arm1, Arm1}, {Arm2, Cylinder}, {Cylinder, Cylinder}};
    for (const auto& c : CASES) {
        ViewState view;
        view.selectedModel = c.before;
        view.xRot = -355;
        view.yRot = 45;
        SelectModel(view, c.chosen);
        EXPECT_EQ(c.chosen, view.selectedModel);
        EXPECT_EQ(0.0f, view.xRot) << c.before << " -> " << c.chosen;
        EXPECT_EQ(0.0f, view.yRot) << c.before << " -> " << c.chosen;
    }
}

} // namespace
