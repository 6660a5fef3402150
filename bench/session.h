// What the bench measures with: a private X server, programs launched with
// the swap hook preloaded, their frames as the hook reports them, the kernel's
// account of their memory and CPU, and keys and windows through X.
#pragma once

#include <X11/Xlib.h>
#include <stdint.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

int64_t MonotonicNs();
void SleepMs(int ms);

struct XServer {
    pid_t pid = -1;
    std::string display; // ":N"
};

bool StartXServer(XServer& server);
void StopXServer(XServer& server);

// How to start one of the programs measured.
struct ProgramSubject {
    std::string name;                     // "ours", "floor", "wine"
    std::vector<std::string> argv;        // argv[0] is the path run
    std::vector<std::string> environment; // added to the bench's own
    std::string title;                    // WM_NAME of its main window
};

// A launched program and the frames it has presented so far.
struct Launch {
    pid_t pid = -1;
    int64_t spawnNs = 0;           // just before the exec
    int logFd = -1;                // read end of the hook's pipe
    bool logClosed = false;        // the program closed its end (ended)
    std::string pending;           // a partial line from the pipe
    std::vector<int64_t> framesNs; // when each frame was presented, grabbing excluded
    std::vector<int64_t> startsNs; // when each began (its first glClear), 0 if unseen
    std::string grabPath;          // its last frame as PPM, when grabbing
    std::string logPath;
    std::string outputPath; // its stdout and stderr
};

// scratch is a directory for the pipe, the grabs and the program's output.
bool LaunchProgram(Launch& launch, const ProgramSubject& subject, const std::string& display,
                   const std::string& hook, const std::string& scratch, bool grab);
// Reads what the hook has reported, waiting up to timeoutMs for the number of
// frames to reach count; true once it has.
bool WaitForFrames(Launch& launch, size_t count, int timeoutMs);
// Reads frames until none has come for quietMs; false on timeout.
bool WaitForQuiet(Launch& launch, int quietMs, int timeoutMs);
void EndProgram(Launch& launch);

// Fields of /proc/PID/status in KiB ("VmHWM", "VmRSS"); -1 when unreadable.
long StatusKiB(pid_t pid, const char* field);
struct CpuUse {
    long ticks = 0; // user + system clock ticks, the process's threads
    int64_t ns = 0; // time on CPU of the live threads, from schedstat
};
CpuUse ReadCpuUse(pid_t pid);

// The driver's connection: XTest, and the top-level windows' comings and goings.
Display* ConnectDriver(const std::string& display);
// A viewable top-level window with that WM_NAME; 0 after the timeout.
Window WaitForTopLevel(Display* display, const std::string& name, int timeoutMs);
// True once the window is destroyed or unmapped.
bool WaitForGone(Display* display, Window window, int timeoutMs);
// Puts the pointer in the window and gives it the keyboard, as a window
// manager would on a click.
void FocusWindow(Display* display, Window window);
// Queues a press or a release; nothing is sent before XFlush.
void FakeKey(Display* display, KeySym key, bool down);

// What the X server holds for the client that owns the window.
struct XResources {
    std::map<std::string, long> counts; // per resource type
    long total = 0;
    unsigned long pixmapBytes = 0;
};
bool ReadXResources(Display* display, Window window, XResources& resources);

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};
bool ReadPpm(const std::string& path, Image& image);
