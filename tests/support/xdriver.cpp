// The X test driver: Xvfb, the program's process, windows, XTest input,
// pixels and damage.
#include "tests/support/xdriver.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

static const int POLL_MS = 10;

// Monotonic milliseconds, for every bounded wait.
static long NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

static void SleepMs(int ms) {
    timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

// Children must not outlive a test that crashed or was killed.
static void DieWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

// Keeps a child's chatter out of the test's output.
static void SilenceStdout() {
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
}

bool StartXServer(XServer& server, int width, int height, int depth,
                  const std::vector<std::string>& extraArgs) {
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    char screen[32];
    snprintf(screen, sizeof screen, "%dx%dx%d", width, height, depth);
    char fdText[16];
    snprintf(fdText, sizeof fdText, "%d", fds[1]);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        DieWithParent();
        close(fds[0]);
        SilenceStdout();
        dup2(STDOUT_FILENO, STDERR_FILENO);
        std::vector<const char*> argv = {"Xvfb", "-displayfd", fdText, "-screen", "0",
                                         screen, "-nolisten",  "tcp",  "-noreset"};
        for (const std::string& arg : extraArgs)
            argv.push_back(arg.c_str());
        argv.push_back(nullptr);
        execvp("Xvfb", (char* const*)argv.data());
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    long deadline = NowMs() + 10000;
    while (NowMs() < deadline) {
        pollfd readable = {fds[0], POLLIN, 0};
        if (poll(&readable, 1, POLL_MS * 10) <= 0)
            continue;
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        fprintf(stderr, "xdriver: Xvfb did not report a display\n");
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return false;
    }
    server.pid = pid;
    server.display = ":" + number;
    return true;
}

void StopXServer(XServer& server) {
    if (server.pid <= 0)
        return;
    kill(server.pid, SIGTERM);
    long deadline = NowMs() + 3000;
    while (waitpid(server.pid, nullptr, WNOHANG) == 0) {
        if (NowMs() > deadline) {
            kill(server.pid, SIGKILL);
            waitpid(server.pid, nullptr, 0);
            break;
        }
        SleepMs(POLL_MS);
    }
    server.pid = -1;
}

Display* ConnectDriver(const XServer& server) {
    Display* display = XOpenDisplay(server.display.c_str());
    if (display == nullptr) {
        fprintf(stderr, "xdriver: cannot open display %s\n", server.display.c_str());
        return nullptr;
    }
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        fprintf(stderr, "xdriver: the X server has no XTest\n");
        XCloseDisplay(display);
        return nullptr;
    }
    if (!XDamageQueryExtension(display, &event, &error)) {
        fprintf(stderr, "xdriver: the X server has no DAMAGE\n");
        XCloseDisplay(display);
        return nullptr;
    }
    return display;
}

bool LaunchProgram(Program& program, const std::vector<std::string>& args, const char* display) {
    // The program's stderr goes to a file where the user keeps temporary files.
    const char* tmp = getenv("TMPDIR");
    std::string pathName =
        std::string(tmp != nullptr && *tmp ? tmp : P_tmpdir) + "/xdriver-stderr-XXXXXX";
    std::vector<char> path(pathName.begin(), pathName.end());
    path.push_back('\0');
    int errFd = mkstemp(path.data());
    if (errFd < 0 || args.empty())
        return false;
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        DieWithParent();
        if (display != nullptr)
            setenv("DISPLAY", display, 1);
        else
            unsetenv("DISPLAY");
        SilenceStdout();
        dup2(errFd, STDERR_FILENO);
        close(errFd);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        fprintf(stderr, "xdriver: cannot start %s\n", argv[0]);
        _exit(127);
    }
    close(errFd);
    program.pid = pid;
    program.stderrPath = path.data();
    program.exitCode = -1;
    return true;
}

bool WaitForExit(Program& program, int timeoutMs) {
    if (program.pid <= 0)
        return program.exitCode >= 0;
    long deadline = NowMs() + timeoutMs;
    for (;;) {
        int status;
        if (waitpid(program.pid, &status, WNOHANG) == program.pid) {
            program.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            program.pid = -1;
            return true;
        }
        if (NowMs() > deadline)
            return false;
        SleepMs(POLL_MS);
    }
}

void KillProgram(Program& program) {
    if (program.pid > 0) {
        kill(program.pid, SIGKILL);
        WaitForExit(program, 3000);
    }
    if (!program.stderrPath.empty())
        unlink(program.stderrPath.c_str());
    program.stderrPath.clear();
}

std::string ProgramStderr(const Program& program) {
    std::ifstream file(program.stderrPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

long ProgramCpuTicks(const Program& program) {
    if (program.pid <= 0)
        return -1;
    std::ifstream file("/proc/" + std::to_string(program.pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields start after its ')'.
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long utime = -1, stime = -1;
    // state is field 3; utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = atol(field.c_str());
        if (index == 15)
            stime = atol(field.c_str());
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

// WM_NAME as text; empty when unset.
static std::string WindowName(Display* display, Window window) {
    XTextProperty property;
    std::string name;
    if (XGetWMName(display, window, &property) && property.value != nullptr) {
        name.assign((const char*)property.value, property.nitems);
        XFree(property.value);
    }
    return name;
}

// Windows may vanish between listing and asking; their errors are expected.
static int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

bool DescribeWindow(Display* display, Window window, WindowInfo& info, bool recursive) {
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    XWindowAttributes attributes;
    bool alive = XGetWindowAttributes(display, window, &attributes);
    if (alive) {
        Window child;
        info.id = window;
        XTranslateCoordinates(display, window, attributes.root, 0, 0, &info.rect.x, &info.rect.y,
                              &child);
        info.rect.width = attributes.width;
        info.rect.height = attributes.height;
        info.viewable = attributes.map_state == IsViewable;
        info.overrideRedirect = attributes.override_redirect;
        info.name = WindowName(display, window);
        XClassHint hint = {nullptr, nullptr};
        info.resName.clear();
        info.resClass.clear();
        if (XGetClassHint(display, window, &hint)) {
            info.resName = hint.res_name ? hint.res_name : "";
            info.resClass = hint.res_class ? hint.res_class : "";
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        info.children.clear();
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (recursive && XQueryTree(display, window, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count; ++i) {
                WindowInfo childInfo;
                if (DescribeWindow(display, children[i], childInfo, true))
                    info.children.push_back(childInfo);
            }
            XFree(children);
        }
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    return alive;
}

const WindowInfo* FindDescendant(const WindowInfo& tree, const std::string& name) {
    if (tree.name == name)
        return &tree;
    for (const WindowInfo& child : tree.children)
        if (const WindowInfo* found = FindDescendant(child, name))
            return found;
    return nullptr;
}

// Which of a top-level window's properties a search matches.
enum Match { BY_NAME, BY_CLASS, POPUP_BY_NAME };

// One look at the root's children, topmost first.
static Window FindOnce(Display* display, Match match, const std::string& text) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = count; i-- > 0 && found == 0;) {
        WindowInfo info;
        if (!DescribeWindow(display, children[i], info, false) || !info.viewable)
            continue;
        if ((match == BY_NAME && info.name == text) ||
            (match == BY_CLASS && info.resClass == text) ||
            (match == POPUP_BY_NAME && info.overrideRedirect && info.name == text))
            found = info.id;
    }
    XFree(children);
    return found;
}

static Window FindPolling(Display* display, Match match, const std::string& text, int timeoutMs) {
    long deadline = NowMs() + timeoutMs;
    for (;;) {
        if (Window found = FindOnce(display, match, text))
            return found;
        if (NowMs() > deadline)
            return 0;
        SleepMs(POLL_MS);
    }
}

Window FindTopLevel(Display* display, const std::string& name, int timeoutMs) {
    return FindPolling(display, BY_NAME, name, timeoutMs);
}

Window FindTopLevelByClass(Display* display, const std::string& resClass, int timeoutMs) {
    return FindPolling(display, BY_CLASS, resClass, timeoutMs);
}

Window FindPopup(Display* display, const std::string& name, int timeoutMs) {
    return FindPolling(display, POPUP_BY_NAME, name, timeoutMs);
}

bool WaitForWindowGone(Display* display, Window window, int timeoutMs) {
    long deadline = NowMs() + timeoutMs;
    WindowInfo info;
    while (DescribeWindow(display, window, info, false) && info.viewable) {
        if (NowMs() > deadline)
            return false;
        SleepMs(POLL_MS);
    }
    return true;
}

void FocusWindow(Display* display, Window window) {
    WindowInfo info;
    if (!DescribeWindow(display, window, info, false))
        return;
    MovePointer(display, info.rect.x + info.rect.width / 2, info.rect.y + info.rect.height / 2);
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
}

// Presses or releases the first key that gives the symbol.
static void FakeKey(Display* display, KeySym symbol, bool down) {
    KeyCode code = XKeysymToKeycode(display, symbol);
    if (code == 0) {
        fprintf(stderr, "xdriver: no key gives keysym 0x%lx\n", symbol);
        return;
    }
    XTestFakeKeyEvent(display, code, down, CurrentTime);
}

void PressKey(Display* display, KeySym key, KeySym modifier) {
    if (modifier != NoSymbol)
        FakeKey(display, modifier, true);
    FakeKey(display, key, true);
    FakeKey(display, key, false);
    if (modifier != NoSymbol)
        FakeKey(display, modifier, false);
    XSync(display, False);
}

void MovePointer(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XSync(display, False);
}

void Click(Display* display, int x, int y, unsigned button) {
    MovePointer(display, x, y);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
}

bool SendDeleteWindow(Display* display, Window window) {
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* protocols = nullptr;
    int count = 0;
    bool listed = false;
    if (XGetWMProtocols(display, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            listed |= protocols[i] == deleteWindow;
        XFree(protocols);
    }
    if (!listed)
        return false;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)deleteWindow;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return true;
}

// Where a colour channel sits in a TrueColor pixel, as a shift and width.
static void MaskShape(unsigned long mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
}

// A channel scaled to 8 bits.
static uint8_t Channel(unsigned long pixel, unsigned long mask) {
    int shift, bits;
    MaskShape(mask, shift, bits);
    if (bits == 0)
        return 0;
    unsigned long value = (pixel & mask) >> shift;
    return (uint8_t)(value * 255 / ((1UL << bits) - 1));
}

Picture GrabRect(Display* display, const Rect& rect) {
    Picture picture;
    Window root = DefaultRootWindow(display);
    XImage* image =
        XGetImage(display, root, rect.x, rect.y, rect.width, rect.height, AllPlanes, ZPixmap);
    if (image == nullptr)
        return picture;
    picture.width = rect.width;
    picture.height = rect.height;
    picture.rgb.resize((size_t)rect.width * rect.height * 3);
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    bool trueColor = visual->c_class == TrueColor || visual->c_class == DirectColor;
    std::vector<XColor> colors;
    if (!trueColor) {
        // Indexed pixels: look every cell up once in the root's colormap.
        colors.resize(visual->map_entries);
        for (int i = 0; i < visual->map_entries; ++i)
            colors[i].pixel = i;
        XQueryColors(display, DefaultColormap(display, DefaultScreen(display)), colors.data(),
                     (int)colors.size());
    }
    uint8_t* out = picture.rgb.data();
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x, out += 3) {
            unsigned long pixel = XGetPixel(image, x, y);
            if (trueColor) {
                out[0] = Channel(pixel, image->red_mask);
                out[1] = Channel(pixel, image->green_mask);
                out[2] = Channel(pixel, image->blue_mask);
            } else if (pixel < colors.size()) {
                out[0] = colors[pixel].red >> 8;
                out[1] = colors[pixel].green >> 8;
                out[2] = colors[pixel].blue >> 8;
            }
        }
    }
    XDestroyImage(image);
    return picture;
}

bool WaitForPictureChange(Display* display, const Rect& rect, const Picture& before, int timeoutMs,
                          Picture& after) {
    long deadline = NowMs() + timeoutMs;
    for (;;) {
        after = GrabRect(display, rect);
        if (after.rgb != before.rgb)
            return true;
        if (NowMs() > deadline)
            return false;
        SleepMs(POLL_MS);
    }
}

bool WatchDamage(DamageWatch& watch, Display* display, Window window) {
    int errorBase;
    if (!XDamageQueryExtension(display, &watch.eventBase, &errorBase))
        return false;
    watch.display = display;
    watch.damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);
    return true;
}

void StopWatchingDamage(DamageWatch& watch) {
    if (watch.display == nullptr)
        return;
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    XDamageDestroy(watch.display, watch.damage);
    XSync(watch.display, False);
    XSetErrorHandler(previous);
    watch.damage = 0;
    watch.display = nullptr;
}

// Takes the damage reports already queued; other events are dropped.
static int DrainDamage(DamageWatch& watch) {
    int count = 0;
    XSync(watch.display, False);
    while (XPending(watch.display)) {
        XEvent event;
        XNextEvent(watch.display, &event);
        if (event.type == watch.eventBase + XDamageNotify)
            ++count;
    }
    return count;
}

int CountDamage(DamageWatch& watch, int ms) {
    long deadline = NowMs() + ms;
    int count = DrainDamage(watch);
    while (NowMs() < deadline) {
        SleepMs(POLL_MS);
        count += DrainDamage(watch);
    }
    return count;
}

bool WaitForQuiet(DamageWatch& watch, int quietMs, int timeoutMs) {
    long deadline = NowMs() + timeoutMs;
    long lastDamage = NowMs();
    for (;;) {
        long now = NowMs();
        if (DrainDamage(watch) > 0)
            lastDamage = now;
        else if (now - lastDamage >= quietMs)
            return true;
        if (now > deadline)
            return false;
        SleepMs(POLL_MS);
    }
}

bool WaitForDrawing(DamageWatch& watch, int quietMs, int timeoutMs) {
    long deadline = NowMs() + timeoutMs;
    while (DrainDamage(watch) == 0) {
        if (NowMs() > deadline)
            return false;
        SleepMs(POLL_MS);
    }
    return WaitForQuiet(watch, quietMs, (int)(deadline - NowMs()));
}
