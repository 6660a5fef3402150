// "About OpenGL": what its fields say, how it closes, and that the main
// window beneath takes no input but still repaints. The fields are read the
// way a screen reader would: each control's text is its X window's WM_NAME,
// and a value is the field on the same line as its label.
#include <X11/keysym.h>
#include <stdio.h>

#include <algorithm>

#include "tests/e2e/e2e_session.h"

using AboutDialog = E2eTest;

static const int DIALOG_MS = 3000;
static const int IDLE_MS = 500;

// What the display's GL and GLU report, as a separate process reads them.
struct GlStrings {
    std::string vendor, renderer, version, extensions, gluVersion, gluExtensions, noError;
};

static bool ReadGlStrings(const Session& session, GlStrings& strings) {
    std::string command = "DISPLAY=" + session.server.display + " " + GL_STRINGS;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    std::vector<std::string> lines;
    std::string line;
    for (int c; (c = fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += (char)c;
        }
    }
    if (pclose(pipe) != 0 || lines.size() != 7)
        return false;
    strings = {lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], lines[6]};
    return true;
}

// Opens the dialog from the keyboard, Alt+H then A, as the menu says.
static Window OpenAbout(Session& session) {
    EXPECT_TRUE(PressKeys(session, {XK_h}, XK_Alt_L));
    EXPECT_TRUE(PressKeys(session, {XK_a}));
    Window dialog = FindTopLevel(session.display, ABOUT_TITLE, DIALOG_MS);
    EXPECT_NE(dialog, 0u) << "no window \"" << ABOUT_TITLE << "\" after Alt+H, A";
    return dialog;
}

// The same, typed without waiting for the menu: the A must reach the menu
// that Alt+H opens, not the main window.
static Window OpenAboutTypedAhead(Session& session) {
    PressKey(session.display, XK_h, XK_Alt_L);
    PressKey(session.display, XK_a);
    Window dialog = FindTopLevel(session.display, ABOUT_TITLE, DIALOG_MS);
    EXPECT_NE(dialog, 0u) << "no window \"" << ABOUT_TITLE << "\" after Alt+H, A typed ahead";
    return dialog;
}

// The dialog's controls: every window inside it, in one flat list.
static void CollectControls(const WindowInfo& window, std::vector<WindowInfo>& controls) {
    for (const WindowInfo& child : window.children) {
        controls.push_back(child);
        CollectControls(child, controls);
    }
}

// The controls with a text, top to bottom.
static std::vector<WindowInfo> ControlsNamed(const std::vector<WindowInfo>& controls,
                                             const std::string& text) {
    std::vector<WindowInfo> found;
    for (const WindowInfo& control : controls)
        if (control.name == text)
            found.push_back(control);
    std::sort(found.begin(), found.end(),
              [](const WindowInfo& a, const WindowInfo& b) { return a.rect.y < b.rect.y; });
    return found;
}

// The nearest control right of a label on its line: the label's value.
static const WindowInfo* ValueBeside(const std::vector<WindowInfo>& controls,
                                     const WindowInfo& label) {
    const WindowInfo* value = nullptr;
    for (const WindowInfo& control : controls)
        if (control.rect.y == label.rect.y && control.rect.x > label.rect.x &&
            (value == nullptr || control.rect.x < value->rect.x))
            value = &control;
    return value;
}

static bool Inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

// Checks every field of the open dialog against what GL and GLU report.
static void ExpectFields(const Session& session, Window dialog, const GlStrings& gl) {
    WindowInfo tree;
    ASSERT_TRUE(DescribeWindow(session.display, dialog, tree, true));
    std::vector<WindowInfo> controls;
    CollectControls(tree, controls);

    // Labels that appear twice: the glGetString group's first, GLU's second.
    const struct {
        const char* label;
        size_t nth;
        const std::string& expected;
        const char* what;
    } ROWS[] = {
        {"Vendor:", 0, gl.vendor, "GL vendor"},
        {"Renderer:", 0, gl.renderer, "GL renderer"},
        {"Version:", 0, gl.version, "GL version"},
        {"Extensions:", 0, gl.extensions, "GL extensions"},
        {"Version:", 1, gl.gluVersion, "GLU version"},
        {"Extensions:", 1, gl.gluExtensions, "GLU extensions"},
    };
    for (const auto& row : ROWS) {
        std::vector<WindowInfo> labels = ControlsNamed(controls, row.label);
        ASSERT_GT(labels.size(), row.nth) << "no label \"" << row.label << "\" for " << row.what;
        const WindowInfo* value = ValueBeside(controls, labels[row.nth]);
        ASSERT_NE(value, nullptr) << "nothing beside the label for " << row.what;
        EXPECT_EQ(value->name, row.expected) << row.what;
    }

    // The errors: two columns of three, filled down the left one first.
    std::vector<WindowInfo> groups = ControlsNamed(controls, "Errors");
    ASSERT_EQ(groups.size(), 1u) << "no group \"Errors\"";
    std::vector<WindowInfo> errors;
    for (const WindowInfo& control : controls)
        if (control.id != groups[0].id && Inside(control.rect, groups[0].rect))
            errors.push_back(control);
    ASSERT_EQ(errors.size(), 6u) << "error fields in the group";
    std::sort(errors.begin(), errors.end(), [](const WindowInfo& a, const WindowInfo& b) {
        return a.rect.x != b.rect.x ? a.rect.x < b.rect.x : a.rect.y < b.rect.y;
    });
    EXPECT_EQ(errors[0].name, gl.noError) << "the first error field";
    for (size_t i = 1; i < errors.size(); ++i)
        EXPECT_EQ(errors[i].name, "") << "error field " << i + 1;
}

static void ClickOk(Session& session, Window dialog) {
    WindowInfo tree;
    ASSERT_TRUE(DescribeWindow(session.display, dialog, tree, true));
    const WindowInfo* ok = FindDescendant(tree, "OK");
    ASSERT_NE(ok, nullptr) << "no button \"OK\"";
    Click(session.display, ok->rect.x + ok->rect.width / 2, ok->rect.y + ok->rect.height / 2);
}

TEST_F(AboutDialog, ShowsWhatGlAndGluReportAtEveryOpening) {
    ASSERT_TRUE(StartProgram(session));
    GlStrings gl;
    ASSERT_TRUE(ReadGlStrings(session, gl)) << "cannot run " << GL_STRINGS;
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(testing::Message() << "opening " << opening);
        Window dialog = opening == 1 ? OpenAbout(session) : OpenAboutTypedAhead(session);
        ASSERT_NE(dialog, 0u);
        WindowInfo info;
        ASSERT_TRUE(DescribeWindow(session.display, dialog, info, false));
        EXPECT_EQ(info.name, ABOUT_TITLE);
        ExpectFields(session, dialog, gl);
        ClickOk(session, dialog);
        ASSERT_TRUE(WaitForWindowGone(session.display, dialog, DIALOG_MS));
    }
    ASSERT_TRUE(PressKeys(session, {XK_f}, XK_Alt_L));
    PressKey(session.display, XK_x);
    ASSERT_TRUE(WaitForExit(session.program, DIALOG_MS));
    EXPECT_EQ(session.program.exitCode, 0);
}

// The ways a person closes the dialog.
static void PressEnter(Session& session, Window) {
    PressKey(session.display, XK_Return);
}

static void CloseBox(Session& session, Window dialog) {
    EXPECT_TRUE(SendDeleteWindow(session.display, dialog)) << "WM_PROTOCOLS lacks WM_DELETE_WINDOW";
}

static const struct {
    const char* name;
    void (*close)(Session& session, Window dialog);
} CLOSINGS[] = {
    {"Enter", PressEnter},
    {"a click on OK", ClickOk},
    {"the close box", CloseBox},
};

TEST_F(AboutDialog, EscapeLeavesItOpenOkEnterAndTheCloseBoxCloseIt) {
    ASSERT_TRUE(StartProgram(session));
    for (const auto& closing : CLOSINGS) {
        SCOPED_TRACE(closing.name);
        Window dialog = OpenAbout(session);
        ASSERT_NE(dialog, 0u);
        PressKey(session.display, XK_Escape);
        EXPECT_FALSE(WaitForWindowGone(session.display, dialog, 300)) << "Escape closed it";
        closing.close(session, dialog);
        EXPECT_TRUE(WaitForWindowGone(session.display, dialog, DIALOG_MS)) << "still open";
        ASSERT_TRUE(WaitForFrame(session));
    }
}

// The largest part of the client area the dialog leaves in view.
static Rect UncoveredPart(const Rect& client, const Rect& dialog) {
    int clientRight = client.x + client.width, clientBottom = client.y + client.height;
    int dialogRight = dialog.x + dialog.width, dialogBottom = dialog.y + dialog.height;
    Rect parts[] = {
        {client.x, client.y, std::max(0, std::min(dialog.x, clientRight) - client.x),
         client.height},
        {std::max(dialogRight, client.x), client.y,
         std::max(0, clientRight - std::max(dialogRight, client.x)), client.height},
        {client.x, client.y, client.width,
         std::max(0, std::min(dialog.y, clientBottom) - client.y)},
        {client.x, std::max(dialogBottom, client.y), client.width,
         std::max(0, clientBottom - std::max(dialogBottom, client.y))},
    };
    Rect best = {0, 0, 0, 0};
    for (const Rect& part : parts)
        if (part.width * part.height > best.width * best.height)
            best = part;
    return best;
}

// Hides a part of the screen under a window of the driver's own and shows it
// again, as another window passing over it would. The client area has no
// background (the program paints all of it), so the cover's colour stays
// there until the program draws the part anew.
static void ExposePart(Session& session, const Rect& part) {
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    attributes.background_pixel = 0xFF00FF; // nothing the program draws
    Window cover = XCreateWindow(session.display, DefaultRootWindow(session.display), part.x,
                                 part.y, part.width, part.height, 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(session.display, cover);
    XSync(session.display, False);
    WaitForQuiet(session.damage, 100, DIALOG_MS);
    XDestroyWindow(session.display, cover);
    XSync(session.display, False);
}

TEST_F(AboutDialog, WhileOpenTheProgramRestsAndTheMainWindowTakesNoKeysButRepaints) {
    ASSERT_TRUE(StartProgram(session));
    Picture before = GrabClient(session);
    Window dialog = OpenAbout(session);
    ASSERT_NE(dialog, 0u);
    WindowInfo info;
    ASSERT_TRUE(DescribeWindow(session.display, dialog, info, false));

    // The modal loop waits like the main one: nothing drawn, no CPU.
    long cpuBefore = ProgramCpuTicks(session.program);
    EXPECT_EQ(CountDamage(session.damage, IDLE_MS), 0) << "drawn while idle";
    EXPECT_EQ(ProgramCpuTicks(session.program), cpuBefore) << "CPU ticks used while idle";

    // As if a window manager had given the main window the keyboard.
    FocusWindow(session.display, session.mainWindow);
    for (KeySym key : {XK_Up, XK_Up, XK_Left})
        PressKey(session.display, key);

    Rect part = UncoveredPart(session.client, info.rect);
    ASSERT_GT(part.width * part.height, 0) << "the dialog hides the whole client area";
    ExposePart(session, part);
    ASSERT_TRUE(WaitForFrame(session));
    Rect inClient = {part.x - session.client.x, part.y - session.client.y, part.width, part.height};
    Picture now = GrabRect(session.display, part);
    bool same = true;
    for (int y = 0; y < part.height && same; ++y) {
        const uint8_t* was =
            &before.rgb[3 * ((size_t)(inClient.y + y) * before.width + inClient.x)];
        same = std::equal(was, was + 3 * part.width, &now.rgb[3 * (size_t)y * part.width]);
    }
    EXPECT_TRUE(same) << "the exposed part was not drawn again as it was; see "
                      << SaveShot(now, "exposed-part");

    ClickOk(session, dialog);
    ASSERT_TRUE(WaitForWindowGone(session.display, dialog, DIALOG_MS));
    ASSERT_TRUE(WaitForFrame(session));
    EXPECT_TRUE(ShowsModel(session, Cylinder, 0, 0)) << "keys reached the main window";
}
