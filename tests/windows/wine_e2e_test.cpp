// The Windows build under Wine beside the Linux build, each on its own Xvfb
// and driven alike through XTest: the same keys must give the same pictures,
// check marks, dialog texts and endings. The Linux window is sized to the
// Wine build's client area, so that the two pictures are compared pixel for
// pixel as well as against the geometry.
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <sstream>

#include "model_segments.h"
#include "tests/windows/wine_session.h"

// Bounded waits. Wine with no window manager waits 2 s for each window it
// hides (a closing dialog, the main window at exit) to be withdrawn.
static const int FRAME_MS = 5000;
static const int EXIT_MS = 15000;
static const int QUIET_MS = 100;
static const int STAYS_OPEN_MS = 500;
static const int POLL_MS = 20;

// One of the two builds under test.
struct Build {
    const char* name;
    bool underWine;
    Session session;
};

static long NowMs() {
    using namespace std::chrono;
    return (long)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Presses keys one by one, each once the screen has settled after the one
// before. Not every key draws (Escape in the dialog does not), so none is
// required to; what the keys did is read afterwards.
static void Press(Build& build, const std::vector<KeySym>& keys, KeySym modifier = NoSymbol) {
    for (KeySym key : keys) {
        PressKey(build.session.display, key, modifier);
        WaitForQuiet(build.session.damage, QUIET_MS, FRAME_MS);
    }
}

// Polls until the client area shows the model at the turn, since input is
// answered a moment after it is sent; the last look decides.
static testing::AssertionResult ShowsModelSoon(const Build& build, ModelKind model, float xRot,
                                               float yRot) {
    long deadline = NowMs() + FRAME_MS;
    while (NowMs() < deadline) {
        Picture picture = GrabClient(build.session);
        std::vector<Segment> expected =
            ExpectedSegments(model, xRot, yRot, picture.width, picture.height);
        if (CheckPicture(picture.rgb.data(), picture.width, picture.height, expected).passed)
            break;
        usleep(POLL_MS * 1000);
    }
    testing::AssertionResult shown = ShowsModel(build.session, model, xRot, yRot);
    if (!shown)
        shown << " (" << build.name << ")";
    return shown;
}

// The two client areas, of one size, hold the same pixels.
static testing::AssertionResult SamePicture(const Build& a, const Build& b) {
    Picture pa = GrabClient(a.session), pb = GrabClient(b.session);
    if (pa.width != pb.width || pa.height != pb.height)
        return testing::AssertionFailure() << a.name << " " << pa.width << "x" << pa.height << ", "
                                           << b.name << " " << pb.width << "x" << pb.height;
    long differing = 0;
    for (size_t i = 0; i < pa.rgb.size(); i += 3)
        differing += !std::equal(&pa.rgb[i], &pa.rgb[i] + 3, &pb.rgb[i]);
    if (differing == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << differing << " of " << pa.width * pa.height << " pixels differ; see "
           << SaveShot(pa, a.underWine ? "wine" : "linux") << " and "
           << SaveShot(pb, b.underWine ? "wine" : "linux");
}

// Sizes the Linux window, as a person dragging its border would, so that its
// client area is as large as the other build's.
static testing::AssertionResult MatchClientSize(Session& session, const Rect& client) {
    XResizeWindow(session.display, session.mainWindow, client.width,
                  session.bar.height + client.height);
    XSync(session.display, False);
    if (!WaitForDrawing(session.damage, QUIET_MS, FRAME_MS))
        return testing::AssertionFailure() << "nothing was drawn after the resize";
    WindowInfo outer;
    if (!DescribeWindow(session.display, session.mainWindow, outer, false))
        return testing::AssertionFailure() << "the window went away";
    session.outer = outer.rect;
    session.bar.width = outer.rect.width;
    session.client = {outer.rect.x, session.bar.y + session.bar.height, outer.rect.width,
                      outer.rect.height - session.bar.height};
    if (session.client.width != client.width || session.client.height != client.height)
        return testing::AssertionFailure()
               << "the client area is " << session.client.width << "x" << session.client.height;
    return testing::AssertionSuccess();
}

// The open drop-down: the Linux layer names each after its menu title.
static Window FindDropDown(const Build& build, const char* title) {
    if (build.underWine)
        return FindWinePopup(build.session, FRAME_MS);
    return FindPopup(build.session.display, title, FRAME_MS);
}

// The Robot menu's check marks: the probe asks the Windows build's menu; the
// Linux build's are read from its drop-down, opened and closed by keys.
static std::vector<bool> CheckMarks(Build& build) {
    if (build.underWine)
        return ProbeCheckMarks(build.session);
    Press(build, {XK_F10, XK_Right, XK_Down});
    Window popup = FindDropDown(build, "Robot");
    if (popup == 0)
        return {};
    std::vector<bool> marks = ReadCheckMarks(build.session, popup);
    Press(build, {XK_Escape, XK_Escape});
    return marks;
}

// The controls of a dialog, every window inside it in one flat list.
static void CollectControls(const WindowInfo& window, std::vector<WindowInfo>& controls) {
    for (const WindowInfo& child : window.children) {
        controls.push_back(child);
        CollectControls(child, controls);
    }
}

// The nth control with the text, counted top to bottom.
static const WindowInfo* NthNamed(const std::vector<WindowInfo>& controls, const char* text,
                                  size_t nth) {
    std::vector<const WindowInfo*> found;
    for (const WindowInfo& control : controls)
        if (control.name == text)
            found.push_back(&control);
    std::sort(found.begin(), found.end(),
              [](const WindowInfo* a, const WindowInfo* b) { return a->rect.y < b->rect.y; });
    return nth < found.size() ? found[nth] : nullptr;
}

// The Linux dialog's fields in the probe's order, read as a screen reader
// would: a control's text is its X window's name, a value is the nearest
// control right of its label, and the error fields lie inside "Errors",
// left column first.
static bool ReadLinuxDialogFields(const Session& session, Window dialog,
                                  std::vector<std::string>& fields) {
    WindowInfo tree;
    if (!DescribeWindow(session.display, dialog, tree, true))
        return false;
    std::vector<WindowInfo> controls;
    CollectControls(tree, controls);
    const struct {
        const char* label;
        size_t nth; // the glGetString group's labels come first, GLU's second
    } LABELS[] = {{"Vendor:", 0},     {"Renderer:", 0}, {"Version:", 0},
                  {"Extensions:", 0}, {"Version:", 1},  {"Extensions:", 1}};
    fields.clear();
    for (const auto& row : LABELS) {
        const WindowInfo* label = NthNamed(controls, row.label, row.nth);
        const WindowInfo* value = nullptr;
        for (const WindowInfo& control : controls)
            if (label != nullptr && control.rect.y == label->rect.y &&
                control.rect.x > label->rect.x &&
                (value == nullptr || control.rect.x < value->rect.x))
                value = &control;
        if (value == nullptr)
            return false;
        fields.push_back(value->name);
    }
    const WindowInfo* group = NthNamed(controls, "Errors", 0);
    if (group == nullptr)
        return false;
    std::vector<WindowInfo> errors;
    for (const WindowInfo& control : controls) {
        const Rect& r = control.rect;
        const Rect& g = group->rect;
        if (control.id != group->id && r.x >= g.x && r.y >= g.y && r.x + r.width <= g.x + g.width &&
            r.y + r.height <= g.y + g.height)
            errors.push_back(control);
    }
    std::sort(errors.begin(), errors.end(), [](const WindowInfo& a, const WindowInfo& b) {
        return a.rect.x != b.rect.x ? a.rect.x < b.rect.x : a.rect.y < b.rect.y;
    });
    for (const WindowInfo& error : errors)
        fields.push_back(error.name);
    return fields.size() == 12;
}

// The open dialog's fields, each build's read its own way.
static bool ReadDialogFields(const Build& build, Window dialog, std::vector<std::string>& fields) {
    if (build.underWine)
        return ProbeDialogFields(build.session, fields);
    return ReadLinuxDialogFields(build.session, dialog, fields);
}

// The names in a space-separated list that the other lacks, space-separated.
static std::string OnlyIn(const std::string& list, const std::string& other) {
    std::set<std::string> others;
    std::istringstream otherWords(other);
    for (std::string word; otherWords >> word;)
        others.insert(word);
    std::string only;
    std::istringstream words(list);
    for (std::string word; words >> word;)
        if (others.count(word) == 0)
            only += (only.empty() ? "" : " ") + word;
    return only;
}

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

static std::vector<bool> OnlyRowChecked(int row) {
    std::vector<bool> marks(3, false);
    marks[(size_t)row] = true;
    return marks;
}

class WineAndLinux : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(OpenSession(wine.session)) << "cannot start a private Xvfb";
        ASSERT_TRUE(OpenSession(native.session)) << "cannot start a private Xvfb";
    }
    void TearDown() override {
        StopWine(wine.session);
        CloseSession(wine.session);
        CloseSession(native.session);
    }
    // Starts both; the Linux window then takes the Wine build's client size.
    testing::AssertionResult StartBoth() {
        testing::AssertionResult started = StartWineProgram(wine.session);
        if (!started)
            return started << " (" << wine.name << ")";
        started = StartProgram(native.session);
        if (!started)
            return started << " (" << native.name << ")";
        // Not a fault: the 400x400 window holds Wine's own caption and
        // borders, while the Linux window manager's frame lies outside it.
        printf("client areas at start: %s %dx%d, %s %dx%d\n", wine.name, wine.session.client.width,
               wine.session.client.height, native.name, native.session.client.width,
               native.session.client.height);
        return MatchClientSize(native.session, wine.session.client);
    }
    Build wine = {"the Windows build under Wine", true, {}};
    Build native = {"the Linux build", false, {}};
    Build* both[2] = {&wine, &native};
};

// Runs of keys, each going on from the angles the one before left; a letter
// repaints without a change.
static const std::vector<KeySym> KEY_RUNS[] = {
    {XK_Up, XK_Up, XK_Up, XK_Right, XK_Right},
    {XK_Down, XK_Down, XK_Down, XK_Down, XK_Left},
    {XK_Left, XK_Left, XK_a, XK_Left},
};

TEST_F(WineAndLinux, FirstPictureAndArrowKeyTurnsAreTheSame) {
    ASSERT_TRUE(StartBoth());
    ViewState expected;
    for (Build* build : both)
        EXPECT_TRUE(ShowsModelSoon(*build, Cylinder, 0, 0));
    EXPECT_TRUE(SamePicture(wine, native)) << "at start";
    for (const std::vector<KeySym>& run : KEY_RUNS) {
        for (KeySym key : run)
            RotateByKey(expected, VirtualKeyOf(key));
        SCOPED_TRACE(testing::Message() << "xRot " << expected.xRot << ", yRot " << expected.yRot);
        for (Build* build : both) {
            Press(*build, run);
            EXPECT_TRUE(ShowsModelSoon(*build, Cylinder, expected.xRot, expected.yRot));
        }
        EXPECT_TRUE(SamePicture(wine, native));
    }
}

// Turning first makes each choice show that it resets the turn.
static const std::vector<KeySym> TURN = {XK_Up, XK_Right};

// Keys that open the Robot drop-down and then choose a row (-1: none); each
// row goes on from what the one before left. The bar is entered by F10 or by
// Alt alone.
static const struct {
    const char* name;
    std::vector<KeySym> open;
    std::vector<KeySym> choose;
    int row;
} KEY_CHOICES[] = {
    {"F10 Right Down, Down Enter", {XK_F10, XK_Right, XK_Down}, {XK_Down, XK_Return}, 1},
    {"Alt Right Enter, Down Down Enter",
     {XK_Alt_L, XK_Right, XK_Return},
     {XK_Down, XK_Down, XK_Return},
     2},
    {"F10 Right Up, Enter: Up opens it at the first row",
     {XK_F10, XK_Right, XK_Up},
     {XK_Return},
     0},
    {"F10 Right Down, Escape Escape: nothing chosen, the arrows turn the model again",
     {XK_F10, XK_Right, XK_Down},
     {XK_Escape, XK_Escape},
     -1},
    {"F10 Right Down, Up Enter: wraps to the last row",
     {XK_F10, XK_Right, XK_Down},
     {XK_Up, XK_Return},
     2},
};

TEST_F(WineAndLinux, RobotMenuByKeyboardChoosesTheSameModelAndCheckMark) {
    ASSERT_TRUE(StartBoth());
    for (Build* build : both)
        EXPECT_EQ(CheckMarks(*build), OnlyRowChecked(0)) << build->name << ", at start";
    ViewState expected;
    for (const auto& choice : KEY_CHOICES) {
        SCOPED_TRACE(choice.name);
        ViewState turned = expected;
        for (KeySym key : TURN)
            RotateByKey(turned, VirtualKeyOf(key));
        expected = turned;
        if (choice.row >= 0)
            SelectModel(expected, (ModelKind)choice.row);
        for (Build* build : both) {
            SCOPED_TRACE(build->name);
            Press(*build, TURN);
            EXPECT_TRUE(ShowsModelSoon(*build, turned.selectedModel, turned.xRot, turned.yRot));
            Press(*build, choice.open);
            Window popup = FindDropDown(*build, "Robot");
            ASSERT_NE(popup, 0u) << "no drop-down";
            Press(*build, choice.choose);
            EXPECT_TRUE(WaitForWindowGone(build->session.display, popup, FRAME_MS));
            EXPECT_TRUE(
                ShowsModelSoon(*build, expected.selectedModel, expected.xRot, expected.yRot));
        }
        EXPECT_TRUE(SamePicture(wine, native));
        for (Build* build : both)
            EXPECT_EQ(CheckMarks(*build), OnlyRowChecked(expected.selectedModel)) << build->name;
    }
}

// What each platform's own GL and GLU report, in the probe's field order.
enum {
    VENDOR_LINE,
    RENDERER_LINE,
    VERSION_LINE,
    EXTENSIONS_LINE,
    GLU_VERSION_LINE,
    GLU_EXTENSIONS_LINE,
    NO_ERROR_LINE
};

// Alt+H, A as the menu says; the new window gets the keyboard, as a window
// manager gives it.
static Window OpenAbout(Build& build) {
    Press(build, {XK_h}, XK_Alt_L);
    Press(build, {XK_a});
    Window dialog = FindTopLevel(build.session.display, ABOUT_TITLE, FRAME_MS);
    if (dialog != 0)
        FocusWindow(build.session.display, dialog);
    return dialog;
}

// The OK button's centre from its place in the template (x 90, y 249, 50 x 14
// units of a 231 x 270 dialog). Either build's dialog X window is its client
// area, so the proportions hold whatever the dialog font.
static void ClickOk(Build& build, Window dialog) {
    WindowInfo info;
    if (!DescribeWindow(build.session.display, dialog, info, false))
        return;
    Click(build.session.display, info.rect.x + info.rect.width * (90 + 25) / 231,
          info.rect.y + info.rect.height * (249 + 7) / 270);
}

static void PressEnter(Build& build, Window) {
    Press(build, {XK_Return});
}

static void CloseBox(Build& build, Window dialog) {
    EXPECT_TRUE(SendDeleteWindow(build.session.display, dialog))
        << "WM_PROTOCOLS lacks WM_DELETE_WINDOW";
}

// A window manager gives the main window the keyboard when it is clicked,
// though the dialog has disabled it: the keys must still reach the dialog.
static void EnterOnTheMainWindow(Build& build, Window) {
    FocusWindow(build.session.display, build.session.mainWindow);
    Press(build, {XK_Up, XK_Up, XK_Left, XK_Return});
}

static const struct {
    const char* name;
    void (*close)(Build& build, Window dialog);
} CLOSINGS[] = {
    {"Enter", PressEnter},
    {"a click on OK", ClickOk},
    {"the close box", CloseBox},
    {"arrow keys and Enter with the keyboard on the main window", EnterOnTheMainWindow},
};

TEST_F(WineAndLinux, AboutShowsTheSameGlStringsAndClosesAlike) {
    ASSERT_TRUE(StartBoth());
    std::vector<std::string> linuxGl, windowsGl;
    ASSERT_TRUE(RunOnDisplay(native.session, GL_STRINGS, linuxGl) && linuxGl.size() == 7)
        << "cannot run " << GL_STRINGS;
    ASSERT_TRUE(RunBeside(wine.session, WGL_STRINGS, "", windowsGl) && windowsGl.size() == 7)
        << "cannot run " << WGL_STRINGS;
    // One Mesa underneath both.
    for (int line : {VENDOR_LINE, RENDERER_LINE, VERSION_LINE, NO_ERROR_LINE})
        EXPECT_EQ(windowsGl[line], linuxGl[line]) << "line " << line << " of the GL strings";
    printf("GL extensions only Wine's opengl32 lists: \"%s\"; only Mesa's libGL lists: \"%s\"\n",
           OnlyIn(windowsGl[EXTENSIONS_LINE], linuxGl[EXTENSIONS_LINE]).c_str(),
           OnlyIn(linuxGl[EXTENSIONS_LINE], windowsGl[EXTENSIONS_LINE]).c_str());
    printf("GLU version: Wine's glu32 \"%s\", Mesa's libGLU \"%s\"; extensions: \"%s\", \"%s\"\n",
           windowsGl[GLU_VERSION_LINE].c_str(), linuxGl[GLU_VERSION_LINE].c_str(),
           windowsGl[GLU_EXTENSIONS_LINE].c_str(), linuxGl[GLU_EXTENSIONS_LINE].c_str());

    for (const auto& closing : CLOSINGS) {
        SCOPED_TRACE(closing.name);
        for (Build* build : both) {
            SCOPED_TRACE(build->name);
            Window dialog = OpenAbout(*build);
            ASSERT_NE(dialog, 0u) << "no window \"" << ABOUT_TITLE << "\" after Alt+H, A";
            // Each dialog shows what its own platform's libraries report.
            const std::vector<std::string>& gl = build->underWine ? windowsGl : linuxGl;
            std::vector<std::string> expected(gl.begin(), gl.end());
            expected.resize(12);
            std::vector<std::string> fields;
            EXPECT_TRUE(ReadDialogFields(*build, dialog, fields)) << "cannot read the fields";
            EXPECT_EQ(fields, expected);

            PressKey(build->session.display, XK_Escape);
            EXPECT_FALSE(WaitForWindowGone(build->session.display, dialog, STAYS_OPEN_MS))
                << "Escape closed it";
            closing.close(*build, dialog);
            ASSERT_TRUE(WaitForWindowGone(build->session.display, dialog, FRAME_MS))
                << "still open";
            FocusWindow(build->session.display, build->session.mainWindow);
            EXPECT_TRUE(ShowsModelSoon(*build, Cylinder, 0, 0)) << "keys reached the main window";
        }
    }
}

// How a person ends the program.
static bool ChooseExit(Build& build) {
    Press(build, {XK_f}, XK_Alt_L);
    if (FindDropDown(build, "File") == 0) {
        ADD_FAILURE() << "Alt+F opened no drop-down";
        return false;
    }
    Press(build, {XK_x});
    return true;
}

static bool CloseMainWindow(Build& build) {
    bool sent = SendDeleteWindow(build.session.display, build.session.mainWindow);
    EXPECT_TRUE(sent) << "WM_PROTOCOLS lacks WM_DELETE_WINDOW";
    return sent;
}

static bool PressAltF4(Build& build) {
    Press(build, {XK_F4}, XK_Alt_L);
    return true;
}

static const struct {
    const char* name;
    bool (*end)(Build& build);
} ENDINGS[] = {
    {"File, Exit by Alt+F, X", ChooseExit},
    {"the close box", CloseMainWindow},
    {"Alt+F4", PressAltF4},
};

TEST_F(WineAndLinux, ExitTheCloseBoxAndAltF4EndBothWithCodeZero) {
    for (const auto& ending : ENDINGS) {
        SCOPED_TRACE(ending.name);
        ASSERT_TRUE(StartBoth());
        for (Build* build : both) {
            SCOPED_TRACE(build->name);
            ASSERT_TRUE(ending.end(*build));
            ASSERT_TRUE(WaitForExit(build->session.program, EXIT_MS))
                << "still running after " << EXIT_MS << " ms";
            EXPECT_EQ(build->session.program.exitCode, 0);
        }
        StopWine(wine.session);
        StopProgram(native.session);
    }
}
