#include "session.h"

#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

int64_t MonotonicNs() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

void SleepMs(int ms) {
    struct timespec pause = {ms / 1000, (long)(ms % 1000) * 1000000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Milliseconds left until a deadline, rounded up so a wait never ends early.
static int MsUntil(int64_t deadlineNs) {
    int64_t left = deadlineNs - MonotonicNs();
    return left <= 0 ? 0 : (int)((left + 999999) / 1000000);
}

// Ends a child: politely, then for sure.
static void EndChild(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; i++) {
        if (waitpid(pid, NULL, WNOHANG) == pid)
            return;
        SleepMs(10);
    }
    kill(pid, SIGKILL);
    waitpid(pid, NULL, 0);
}

bool StartXServer(XServer& server) {
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // It goes with the bench, however the bench ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", (char*)NULL);
        _exit(127);
    }
    close(fds[1]);
    server.pid = pid;
    // Xvfb writes its display number once it takes connections.
    std::string number;
    struct pollfd ready = {fds[0], POLLIN, 0};
    char c;
    while (poll(&ready, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        fprintf(stderr, "bench: Xvfb did not start\n");
        StopXServer(server);
        return false;
    }
    server.display = ":" + number;
    return true;
}

void StopXServer(XServer& server) {
    if (server.pid > 0)
        EndChild(server.pid);
    server.pid = -1;
}

// The bench's environment without what each launch sets for itself.
static std::vector<std::string> InheritedEnvironment() {
    static const char* const OWN[] = {"DISPLAY=", "LD_PRELOAD=", "BENCH_"};
    std::vector<std::string> kept;
    for (char** entry = environ; *entry != NULL; entry++) {
        bool own = false;
        for (const char* prefix : OWN)
            own = own || strncmp(*entry, prefix, strlen(prefix)) == 0;
        if (!own)
            kept.push_back(*entry);
    }
    return kept;
}

bool LaunchProgram(Launch& launch, const ProgramSubject& subject, const std::string& display,
                   const std::string& hook, const std::string& scratch, bool grab) {
    static int serial;
    std::string stem = scratch + "/" + subject.name + "-" + std::to_string(++serial);
    launch = Launch();
    launch.logPath = stem + ".swaps";
    launch.outputPath = stem + ".out";
    if (grab)
        launch.grabPath = stem + ".ppm";
    // A pipe, so the bench sleeps until a frame comes instead of polling a file.
    if (mkfifo(launch.logPath.c_str(), 0600) != 0) {
        fprintf(stderr, "bench: cannot make %s: %s\n", launch.logPath.c_str(), strerror(errno));
        return false;
    }
    launch.logFd = open(launch.logPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (launch.logFd < 0)
        return false;

    std::vector<std::string> environment = InheritedEnvironment();
    environment.push_back("DISPLAY=" + display);
    environment.push_back("LD_PRELOAD=" + hook);
    environment.push_back("BENCH_SWAP_LOG=" + launch.logPath);
    if (grab)
        environment.push_back("BENCH_GRAB=" + launch.grabPath);
    environment.insert(environment.end(), subject.environment.begin(), subject.environment.end());
    std::vector<char*> envp, argv;
    for (std::string& entry : environment)
        envp.push_back(&entry[0]);
    envp.push_back(NULL);
    std::vector<std::string> args = subject.argv;
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(NULL);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, launch.outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    launch.spawnNs = MonotonicNs();
    int failed = posix_spawn(&launch.pid, argv[0], &actions, NULL, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        fprintf(stderr, "bench: cannot start %s: %s\n", argv[0], strerror(failed));
        launch.pid = -1;
        return false;
    }
    return true;
}

// Takes in every complete line the hook has written so far.
static void ReadLog(Launch& launch) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(launch.logFd, buffer, sizeof buffer)) > 0)
        launch.pending.append(buffer, (size_t)n);
    size_t end;
    while ((end = launch.pending.find('\n')) != std::string::npos) {
        long long presented = 0, grabbing = 0, started = 0;
        if (sscanf(launch.pending.c_str(), "%lld %lld %lld", &presented, &grabbing, &started) >=
            2) {
            launch.framesNs.push_back(presented - grabbing);
            launch.startsNs.push_back(started);
        }
        launch.pending.erase(0, end + 1);
    }
}

// Waits up to ms for the hook to write; false when it never will again.
static bool WaitForLog(Launch& launch, int ms) {
    struct pollfd ready = {launch.logFd, POLLIN, 0};
    if (poll(&ready, 1, ms) < 0)
        return errno == EINTR;
    ReadLog(launch);
    // A pipe reports a hang-up only once a writer has come and gone.
    if ((ready.revents & POLLHUP) && !(ready.revents & POLLIN))
        launch.logClosed = true;
    return !launch.logClosed;
}

bool WaitForFrames(Launch& launch, size_t count, int timeoutMs) {
    int64_t deadline = MonotonicNs() + (int64_t)timeoutMs * 1000000;
    ReadLog(launch);
    while (launch.framesNs.size() < count) {
        int left = MsUntil(deadline);
        if (left == 0 || !WaitForLog(launch, left))
            return launch.framesNs.size() >= count;
    }
    return true;
}

bool WaitForQuiet(Launch& launch, int quietMs, int timeoutMs) {
    int64_t deadline = MonotonicNs() + (int64_t)timeoutMs * 1000000;
    int64_t quietSince = MonotonicNs();
    for (;;) {
        size_t before = launch.framesNs.size();
        ReadLog(launch);
        if (launch.framesNs.size() != before)
            quietSince = MonotonicNs();
        int64_t quietEnd = quietSince + (int64_t)quietMs * 1000000;
        if (MonotonicNs() >= quietEnd || launch.logClosed)
            return true;
        if (MonotonicNs() >= deadline)
            return false;
        WaitForLog(launch, std::min(MsUntil(quietEnd), MsUntil(deadline)));
    }
}

void EndProgram(Launch& launch) {
    if (launch.pid > 0)
        EndChild(launch.pid);
    launch.pid = -1;
    if (launch.logFd >= 0)
        close(launch.logFd);
    launch.logFd = -1;
    unlink(launch.logPath.c_str());
}

long StatusKiB(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return atol(line.c_str() + prefix.size());
    return -1;
}

CpuUse ReadCpuUse(pid_t pid) {
    CpuUse use;
    std::string base = "/proc/" + std::to_string(pid);
    std::ifstream stat(base + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields after it do not.
    size_t close = text.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        for (int i = 0; i < 13 && fields >> field; i++)
            if (i == 11 || i == 12)
                use.ticks += atol(field.c_str());
    }
    DIR* tasks = opendir((base + "/task").c_str());
    if (tasks != NULL) {
        while (struct dirent* task = readdir(tasks)) {
            if (task->d_name[0] == '.')
                continue;
            std::ifstream schedstat(base + "/task/" + task->d_name + "/schedstat");
            long long onCpu = 0;
            if (schedstat >> onCpu)
                use.ns += onCpu;
        }
        closedir(tasks);
    }
    return use;
}

// Windows come and go under the driver's feet; a request about one that has
// gone is no fault.
static int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

Display* ConnectDriver(const std::string& display) {
    Display* connection = XOpenDisplay(display.c_str());
    if (connection == NULL) {
        fprintf(stderr, "bench: cannot open the display %s\n", display.c_str());
        return NULL;
    }
    int event, error, major, minor;
    if (!XTestQueryExtension(connection, &event, &error, &major, &minor)) {
        fprintf(stderr, "bench: the X server lacks XTest\n");
        XCloseDisplay(connection);
        return NULL;
    }
    XSetErrorHandler(IgnoreXError);
    // Maps and unmaps of top-level windows wake the waits below.
    XSelectInput(connection, DefaultRootWindow(connection), SubstructureNotifyMask);
    return connection;
}

// Sleeps until the server reports something or ms pass, and drops the reports:
// the caller looks at the windows again either way.
static void AwaitXEvents(Display* display, int ms) {
    if (XPending(display) == 0) {
        struct pollfd ready = {ConnectionNumber(display), POLLIN, 0};
        poll(&ready, 1, ms);
    }
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

static bool OnScreen(Display* display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

static Window FindViewableTopLevel(Display* display, const std::string& name) {
    Window root, parent, *children = NULL;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && found == 0; i++) {
        char* title = NULL;
        if (XFetchName(display, children[i], &title) && title != NULL) {
            if (name == title && OnScreen(display, children[i]))
                found = children[i];
            XFree(title);
        }
    }
    if (children != NULL)
        XFree(children);
    return found;
}

Window WaitForTopLevel(Display* display, const std::string& name, int timeoutMs) {
    int64_t deadline = MonotonicNs() + (int64_t)timeoutMs * 1000000;
    for (;;) {
        Window found = FindViewableTopLevel(display, name);
        if (found != 0 || MsUntil(deadline) == 0)
            return found;
        AwaitXEvents(display, std::min(20, MsUntil(deadline)));
    }
}

bool WaitForGone(Display* display, Window window, int timeoutMs) {
    int64_t deadline = MonotonicNs() + (int64_t)timeoutMs * 1000000;
    for (;;) {
        if (!OnScreen(display, window))
            return true;
        if (MsUntil(deadline) == 0)
            return false;
        AwaitXEvents(display, std::min(20, MsUntil(deadline)));
    }
}

void FocusWindow(Display* display, Window window) {
    XWindowAttributes attributes;
    Window child;
    int x = 0, y = 0;
    if (XGetWindowAttributes(display, window, &attributes))
        XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2,
                              attributes.height / 2, &x, &y, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
}

void FakeKey(Display* display, KeySym key, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), down, CurrentTime);
}

bool ReadXResources(Display* display, Window window, XResources& resources) {
    int count = 0;
    XResClient* clients = NULL;
    if (!XResQueryClients(display, &count, &clients))
        return false;
    bool owned = false;
    for (int i = 0; i < count; i++)
        owned = owned || (window & ~clients[i].resource_mask) == clients[i].resource_base;
    XFree(clients);
    if (!owned)
        return false;

    int typeCount = 0;
    XResType* types = NULL;
    if (!XResQueryClientResources(display, window, &typeCount, &types))
        return false;
    resources = XResources();
    for (int i = 0; i < typeCount; i++) {
        char* name = XGetAtomName(display, types[i].resource_type);
        resources.counts[name != NULL ? name : "?"] = types[i].count;
        resources.total += types[i].count;
        if (name != NULL)
            XFree(name);
    }
    XFree(types);
    return XResQueryClientPixmapBytes(display, window, &resources.pixmapBytes) != 0;
}

bool ReadPpm(const std::string& path, Image& image) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    if (!(file >> magic >> image.width >> image.height >> maximum) || magic != "P6" ||
        maximum != 255 || image.width <= 0 || image.height <= 0)
        return false;
    file.get(); // the one white-space byte before the pixels
    image.rgb.resize((size_t)image.width * image.height * 3);
    return (bool)file.read((char*)image.rgb.data(), (std::streamsize)image.rgb.size());
}
