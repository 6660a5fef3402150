// Linked into every program of the sanitizer build, and only there. Mesa
// unloads its driver when the display closes; LeakSanitizer, which looks
// for leaks after that, then neither scans the driver's globals (what they
// still held looks lost) nor can name the driver's frames in a report or a
// suppression. Opened here once more, for good, the driver stays mapped.
#include <dlfcn.h>

__attribute__((constructor)) static void KeepGlDriverLoaded() {
    // Only programs that draw through GLX load the driver at all; the others
    // are spared its weight in every leak scan.
    void* glx = dlopen("libGLX.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (glx == nullptr)
        return;
    dlclose(glx);
    dlopen(KOVRA_GL_DRIVER, RTLD_NOW | RTLD_NODELETE);
}
