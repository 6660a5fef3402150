#include "tests/e2e/e2e_session.h"

#include <X11/keysym.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <map>

#include "model_segments.h"

// Bounded waits: generous for a loaded machine, short next to the tier's budget.
static const int START_MS = 10000;
static const int FRAME_MS = 3000;
static const int QUIET_MS = 100;

// The drop-down layout the menus draw: a 3 px inset, 22 px rows, the check
// column in the first 20 px of a row, the text from x = 28.
static const int DROP_INSET = 3;
static const int ROW_HEIGHT = 22;
static const int CHECK_WIDTH = 20;
static const int TEXT_X = 28;

// The frame's colours: the clear colour and the lines' 0.5 grey.
static const int WHITE = 255;
static const int GREY_LOW = 120, GREY_HIGH = 136;

bool OpenSession(Session& session) {
    if (!StartXServer(session.server))
        return false;
    session.display = ConnectDriver(session.server);
    // The whole screen: the main window, its drop-downs and the dialog.
    return session.display != nullptr &&
           WatchDamage(session.damage, session.display, DefaultRootWindow(session.display));
}

void StopProgram(Session& session) {
    KillProgram(session.program);
    if (session.mainWindow != 0)
        WaitForWindowGone(session.display, session.mainWindow, FRAME_MS);
    session.mainWindow = 0;
}

void CloseSession(Session& session) {
    StopProgram(session);
    StopWatchingDamage(session.damage);
    if (session.display != nullptr)
        XCloseDisplay(session.display);
    session.display = nullptr;
    StopXServer(session.server);
}

Picture GrabClient(const Session& session) {
    return GrabRect(session.display, session.client);
}

// A frame has been drawn once the client area holds both the clear colour
// and line pixels; anything else is the window before its first paint.
static bool LooksDrawn(const Picture& picture) {
    bool white = false, dark = false;
    for (size_t i = 0; i < picture.rgb.size() && !(white && dark); i += 3) {
        white |= picture.rgb[i] == WHITE && picture.rgb[i + 1] == WHITE;
        dark |= picture.rgb[i] < 200;
    }
    return white && dark;
}

testing::AssertionResult StartProgram(Session& session, const std::vector<std::string>& args) {
    std::vector<std::string> command = {ROBOT_KOVRA};
    command.insert(command.end(), args.begin(), args.end());
    if (!LaunchProgram(session.program, command, session.server.display.c_str()))
        return testing::AssertionFailure() << "cannot start " << ROBOT_KOVRA;
    session.mainWindow = FindTopLevel(session.display, MAIN_TITLE, START_MS);
    if (session.mainWindow == 0)
        return testing::AssertionFailure()
               << "no window \"" << MAIN_TITLE
               << "\" appeared; stderr: " << ProgramStderr(session.program);
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
    // Pointing at the window is how a person gives it the keyboard here.
    MovePointer(session.display, session.client.x + session.client.width / 2,
                session.client.y + session.client.height / 2);
    Picture picture;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(START_MS);
    while (std::chrono::steady_clock::now() < deadline) {
        WaitForQuiet(session.damage, QUIET_MS, FRAME_MS);
        picture = GrabClient(session);
        if (LooksDrawn(picture))
            return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "no first frame; see " << SaveShot(picture, "first-frame");
}

testing::AssertionResult WaitForFrame(Session& session) {
    if (WaitForDrawing(session.damage, QUIET_MS, FRAME_MS))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "nothing was drawn within " << FRAME_MS << " ms";
}

std::string SaveShot(const Picture& picture, const std::string& what) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = what;
    if (test != nullptr)
        name = std::string(test->test_suite_name()) + "." + test->name() + "-" + what;
    for (char& c : name)
        if (c == '/')
            c = '_';
    mkdir(SHOTS_DIR, 0755);
    std::string path = std::string(SHOTS_DIR) + "/" + name + ".png";
    if (!WritePng(path, picture.rgb.data(), picture.width, picture.height))
        return "(not saved)";
    return path;
}

// Counts the pixels that are neither the clear colour nor the lines' grey.
static long StrayPixels(const Picture& picture) {
    long stray = 0;
    for (size_t i = 0; i < picture.rgb.size(); i += 3) {
        int r = picture.rgb[i], g = picture.rgb[i + 1], b = picture.rgb[i + 2];
        bool white = r == WHITE && g == WHITE && b == WHITE;
        bool grey = r == g && g == b && r >= GREY_LOW && r <= GREY_HIGH;
        stray += !white && !grey;
    }
    return stray;
}

testing::AssertionResult ShowsModel(const Session& session, ModelKind model, float xRot,
                                    float yRot) {
    Picture picture = GrabClient(session);
    std::vector<Segment> expected =
        ExpectedSegments(model, xRot, yRot, picture.width, picture.height);
    PictureCheck check = CheckPicture(picture.rgb.data(), picture.width, picture.height, expected);
    long stray = StrayPixels(picture);
    if (check.passed && stray == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "model " << model << " at xRot " << xRot << ", yRot " << yRot << " in "
           << picture.width << "x" << picture.height << ": " << check.linePixels << " line pixels, "
           << check.lineFraction << " of them on the model, " << check.coverFraction
           << " of the model drawn, " << stray << " pixels neither white nor grey; see "
           << SaveShot(picture, "picture");
}

testing::AssertionResult PressKeys(Session& session, const std::vector<KeySym>& keys,
                                   KeySym modifier) {
    for (KeySym key : keys) {
        PressKey(session.display, key, modifier);
        if (!WaitForDrawing(session.damage, QUIET_MS, FRAME_MS))
            return testing::AssertionFailure()
                   << "nothing was drawn after key " << XKeysymToString(key) << "; see "
                   << SaveShot(GrabRect(session.display, session.outer), "no-reply");
    }
    return testing::AssertionSuccess();
}

// Dark marks on the light bar: runs of columns holding ink, split where the
// gap is wider than the space between letters of one word.
static std::vector<std::pair<int, int>> InkRuns(const Picture& picture) {
    const int WORD_GAP = 6;
    std::vector<std::pair<int, int>> runs;
    int lastInk = -WORD_GAP - 1;
    for (int x = 0; x < picture.width; ++x) {
        bool ink = false;
        for (int y = 0; y < picture.height && !ink; ++y) {
            const uint8_t* p = &picture.rgb[3 * ((size_t)y * picture.width + x)];
            ink = p[0] < 128 && p[1] < 128 && p[2] < 128;
        }
        if (!ink)
            continue;
        if (x - lastInk > WORD_GAP)
            runs.push_back({x, x});
        runs.back().second = x;
        lastInk = x;
    }
    return runs;
}

Window OpenRobotMenuByMouse(Session& session) {
    // The bar reads "File Robot Help": the second word.
    std::vector<std::pair<int, int>> words = InkRuns(GrabRect(session.display, session.bar));
    if (words.size() != 3) {
        ADD_FAILURE() << "the bar shows " << words.size() << " words, not 3; see "
                      << SaveShot(GrabRect(session.display, session.bar), "bar");
        return 0;
    }
    Click(session.display, session.bar.x + (words[1].first + words[1].second) / 2,
          session.bar.y + session.bar.height / 2);
    Window popup = FindPopup(session.display, "Robot", FRAME_MS);
    if (popup == 0)
        ADD_FAILURE() << "no drop-down \"Robot\" after a click on the bar; see "
                      << SaveShot(GrabRect(session.display, session.outer), "no-drop-down");
    return popup;
}

// The colour that fills most of a part of a picture: a row's paper.
static uint32_t Paper(const Picture& picture, int x0, int y0, int x1, int y1) {
    std::map<uint32_t, int> counts;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &picture.rgb[3 * ((size_t)y * picture.width + x)];
            counts[(uint32_t)p[0] << 16 | p[1] << 8 | p[2]]++;
        }
    uint32_t paper = 0;
    int most = 0;
    for (const auto& entry : counts)
        if (entry.second > most) {
            paper = entry.first;
            most = entry.second;
        }
    return paper;
}

// Pixels of a part of a row that stand out from its paper.
static int InkIn(const Picture& picture, uint32_t paper, int x0, int y0, int x1, int y1) {
    int ink = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &picture.rgb[3 * ((size_t)y * picture.width + x)];
            int distance = abs(p[0] - (int)(paper >> 16 & 0xFF)) +
                           abs(p[1] - (int)(paper >> 8 & 0xFF)) + abs(p[2] - (int)(paper & 0xFF));
            ink += distance > 192;
        }
    return ink;
}

std::vector<bool> ReadCheckMarks(Session& session, Window popup) {
    WindowInfo info;
    if (!DescribeWindow(session.display, popup, info, false))
        return {};
    int rows = (info.rect.height - 2 * DROP_INSET) / ROW_HEIGHT;
    // The drop-down is drawn after it is mapped: wait until every row has text.
    Picture picture;
    std::vector<bool> marks;
    for (int tries = 0; tries < FRAME_MS / 10; ++tries) {
        picture = GrabRect(session.display, info.rect);
        marks.clear();
        bool allText = true;
        for (int row = 0; row < rows; ++row) {
            int top = DROP_INSET + row * ROW_HEIGHT, bottom = top + ROW_HEIGHT;
            int right = info.rect.width - DROP_INSET;
            uint32_t paper = Paper(picture, DROP_INSET, top, right, bottom);
            allText &= InkIn(picture, paper, TEXT_X, top, right, bottom) > 0;
            marks.push_back(
                InkIn(picture, paper, DROP_INSET, top, DROP_INSET + CHECK_WIDTH, bottom) >= 6);
        }
        if (allText)
            return marks;
        usleep(10000);
    }
    ADD_FAILURE() << "the drop-down's rows show no text; see " << SaveShot(picture, "drop-down");
    return marks;
}

void ClickMenuRow(Session& session, Window popup, int row) {
    WindowInfo info;
    if (DescribeWindow(session.display, popup, info, false))
        Click(session.display, info.rect.x + TEXT_X + 8,
              info.rect.y + DROP_INSET + row * ROW_HEIGHT + ROW_HEIGHT / 2);
}
