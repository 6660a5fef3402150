// Preloaded into a program under measurement: stamps every glXSwapBuffers on
// CLOCK_MONOTONIC and, when asked, keeps the frame's pixels.
//   BENCH_SWAP_LOG  file or pipe that gets one line per swap:
//                   "<ns when presented> <ns spent grabbing> <ns of the frame's first glClear>"
//   BENCH_GRAB      file the last frame is written to (binary PPM, top row first)
// Nothing here links libGL: a process that never draws never loads it.
// Programs that look glXSwapBuffers up by hand (Wine asks
// glXGetProcAddressARB, which it finds with dlsym) are handed the wrapper.
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef void (*SwapFunction)(Display*, GLXDrawable);
typedef void (*ReadPixelsFunction)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
typedef void (*ReadBufferFunction)(GLenum);
typedef void (*ClearFunction)(GLbitfield);

typedef void* (*DlsymFunction)(void*, const char*);
typedef void (*(*GetProcFunction)(const GLubyte*))(void);

static SwapFunction realSwap;
static GetProcFunction realGetProc;
static int logFd = -1;
static int64_t frameStartNs; // the frame's first clear: input handling ends there

// The C library's own dlsym, which the one below stands in front of.
static DlsymFunction RealDlsym(void) {
    static DlsymFunction real;
    if (real == NULL)
        real = (DlsymFunction)dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
    if (real == NULL)
        real = (DlsymFunction)dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.2.5");
    return real;
}

static int64_t MonotonicNs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

// Writes the back buffer, which holds the frame until the swap, as a PPM;
// through a temporary name so a reader never sees half a frame.
static void GrabBackBuffer(Display* display, GLXDrawable drawable, const char* path) {
    ReadPixelsFunction readPixels = (ReadPixelsFunction)RealDlsym()(RTLD_DEFAULT, "glReadPixels");
    ReadBufferFunction readBuffer = (ReadBufferFunction)RealDlsym()(RTLD_DEFAULT, "glReadBuffer");
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    if (readPixels == NULL || readBuffer == NULL ||
        !XGetGeometry(display, drawable, &root, &x, &y, &width, &height, &border, &depth))
        return;
    size_t row = (size_t)width * 3;
    unsigned char* pixels = malloc(row * height);
    if (pixels == NULL)
        return;
    readBuffer(GL_BACK);
    readPixels(0, 0, (GLsizei)width, (GLsizei)height, GL_RGB, GL_UNSIGNED_BYTE, pixels);

    char temporary[4096];
    snprintf(temporary, sizeof temporary, "%s.part", path);
    FILE* file = fopen(temporary, "wb");
    if (file != NULL) {
        fprintf(file, "P6\n%u %u\n255\n", width, height);
        // GL's rows run bottom to top.
        for (unsigned j = height; j-- > 0;)
            fwrite(pixels + row * j, 1, row, file);
        if (fclose(file) == 0)
            rename(temporary, path);
    }
    free(pixels);
}

void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    if (realSwap == NULL)
        realSwap = (SwapFunction)RealDlsym()(RTLD_NEXT, "glXSwapBuffers");
    const char* grabPath = getenv("BENCH_GRAB");
    int64_t grabNs = 0;
    if (grabPath != NULL) {
        int64_t start = MonotonicNs();
        GrabBackBuffer(display, drawable, grabPath);
        grabNs = MonotonicNs() - start;
    }
    if (realSwap != NULL)
        realSwap(display, drawable);
    int64_t presented = MonotonicNs();

    if (logFd < 0) {
        const char* logPath = getenv("BENCH_SWAP_LOG");
        if (logPath == NULL)
            return;
        logFd = open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (logFd < 0)
            return;
    }
    char line[96];
    int length = snprintf(line, sizeof line, "%lld %lld %lld\n", (long long)presented,
                          (long long)grabNs, (long long)frameStartNs);
    frameStartNs = 0;
    // One write per line: lines from a pipe never interleave.
    if (write(logFd, line, (size_t)length) != length)
        fprintf(stderr, "bench hook: cannot log a swap\n");
}

void glClear(GLbitfield mask) {
    static ClearFunction realClear;
    if (realClear == NULL)
        realClear = (ClearFunction)RealDlsym()(RTLD_NEXT, "glClear");
    if (frameStartNs == 0)
        frameStartNs = MonotonicNs();
    if (realClear != NULL)
        realClear(mask);
}

// What the program gets for glXGetProcAddressARB: the same lookup, except
// that it hands out the wrapper for glXSwapBuffers.
static void (*GetProcAddress(const GLubyte* name))(void) {
    void (*found)(void) = realGetProc(name);
    if (found != NULL && strcmp((const char*)name, "glXSwapBuffers") == 0 &&
        found != (void (*)(void))glXSwapBuffers) {
        realSwap = (SwapFunction)found;
        return (void (*)(void))glXSwapBuffers;
    }
    return found;
}

void* dlsym(void* handle, const char* name) {
    void* found = RealDlsym()(handle, name);
    if (found == NULL)
        return NULL;
    if (strcmp(name, "glXSwapBuffers") == 0 && found != (void*)glXSwapBuffers) {
        realSwap = (SwapFunction)found;
        return (void*)glXSwapBuffers;
    }
    if (strcmp(name, "glXGetProcAddressARB") == 0 || strcmp(name, "glXGetProcAddress") == 0) {
        realGetProc = (GetProcFunction)found;
        return (void*)GetProcAddress;
    }
    return found;
}
