// The program's start: the X connection around WinMain. Kept alone in its
// file so that tests linking the layer bring their own main.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "layer.h"

static const char* programName = "program";

// A lost connection cannot be recovered from: say so and leave at once,
// running no exit handler that could touch the dead connection.
static int OnConnectionLost(Display*) {
    fprintf(stderr, "%s: X11: connection to the display lost\n", programName);
    fflush(stderr);
    _exit(1);
}

// The platform hands WinMain the arguments as one line, without the program.
static std::string CommandLineOf(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; i++) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}

int main(int argc, char** argv) {
    if (argc > 0 && argv[0] != NULL) {
        const char* slash = strrchr(argv[0], '/');
        programName = slash != NULL ? slash + 1 : argv[0];
    }
    if (!OpenConnection(NULL, programName)) {
        fprintf(stderr, "%s: X11: cannot open display \"%s\"\n", programName, XDisplayName(NULL));
        return 1;
    }
    XSetIOErrorHandler(OnConnectionLost);

    std::string commandLine = CommandLineOf(argc, argv);
    int result = WinMain(&moduleInstance, NULL, &commandLine[0], SW_SHOWNORMAL);
    CloseConnection();
    return result;
}
