// Feeds the resource compiler damaged copies of the program's own script and
// header, each compiled in a forked child:
//   rc_fuzz RESOURCES_DIR [--seed N] [--cases N]
// Every run must end cleanly: exit 0, or exit 1 with one line
// "file:line: rc: what" (or "file: rc: what") on stderr, within 5 seconds.
// The first run that does not is saved and reported, and ends with 1.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "rc.h"

static const int CASE_SECONDS = 5; // a run still going then is a hang

// Pieces of the language and of its edges, spliced in at random places.
// clang-format off
static const char* const DICTIONARY[] = {
    "BEGIN", "END", "{", "}", "POPUP", "MENUITEM", "SEPARATOR", "MENU", "DIALOG", "DIALOGEX",
    "CONTROL", "LTEXT", "GROUPBOX", "DEFPUSHBUTTON", "STYLE", "CAPTION", "FONT", "CHECKED",
    "GRAYED", ",", "|", "(", ")", "-", "~", "\"", "\"\"", "\\", "\\\"", "/*", "*/", "//", "\n",
    "#define ", "#ifdef ", "#ifndef ", "#else", "#endif", "#include ", "#undef ", "#pragma ", "0",
    "-1", "65535", "65536", "0xFFFFFFFF", "0x100000000", "4294967296", "99999999999999999999",
    "0x", "L\"wide\"", "\"&\"", "\"&&\"", "IDM_EXIT", "IDD_ABOUT", "RC_INVOKED", "\t", "\r",
    "\x01", "\xff"
};
// clang-format on

struct Fuzz {
    std::mt19937 random;
    std::string dir;    // scratch folder: the damaged script and header
    std::string script; // the program's robot.rc
    std::string header; // and its resource.h
    long accepted = 0, rejected = 0;
};
static Fuzz fuzz;

// 0 .. n-1 from the seeded generator: every case replays from the seed.
static unsigned Pick(unsigned n) {
    return n == 0 ? 0 : (unsigned)(fuzz.random() % n);
}

// The program's own script and header, the seeds of every case.
static std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A case's files, and a failing case kept for the report.
static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// One damage of a few kinds: bytes changed, words spliced in, runs cut or
// repeated, the text ended early.
static void Damage(std::string& text) {
    size_t at = Pick((unsigned)text.size() + 1);
    switch (Pick(7)) {
    case 0:
        if (!text.empty())
            text[std::min(at, text.size() - 1)] = (char)Pick(256);
        break;
    case 1:
        text.insert(at, 1, (char)Pick(256));
        break;
    case 2:
        text.insert(at, DICTIONARY[Pick(sizeof DICTIONARY / sizeof DICTIONARY[0])]);
        break;
    case 3:
        text.erase(at, 1 + Pick(40));
        break;
    case 4: {
        std::string run = text.substr(at, 1 + Pick(200));
        for (unsigned copies = 1 + Pick(Pick(8) == 0 ? 400 : 3); copies > 0; copies--)
            text.insert(Pick((unsigned)text.size() + 1), run);
        break;
    }
    case 5:
        text.resize(std::min(text.size(), at));
        break;
    default:
        // Brackets nested deeply: the parser's recursion.
        text.insert(at, std::string(Pick(20000), Pick(2) ? '(' : '-'));
        break;
    }
}

// How one compiler run ended.
struct Outcome {
    bool clean;
    std::string why;
};

// Fails the child quietly and at once when it hangs.
static void OnAlarm(int) {
    _exit(124);
}

static Outcome RunCase(const std::string& script, const std::string& header) {
    std::string scriptPath = fuzz.dir + "/robot.rc";
    WriteFile(scriptPath, script);
    WriteFile(fuzz.dir + "/resource.h", header);
    int errors[2];
    if (pipe(errors) != 0)
        return {false, "cannot make a pipe"};
    fflush(NULL);
    pid_t pid = fork();
    if (pid == 0) {
        close(errors[0]);
        dup2(errors[1], STDERR_FILENO);
        close(errors[1]);
        signal(SIGALRM, OnAlarm);
        alarm(CASE_SECONDS);
        std::string tables =
            EmitTables(ParseScript(ReadScript(scriptPath, {fuzz.dir})), "robot.rc");
        _exit(tables.empty() ? 2 : 0);
    }
    close(errors[1]);
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(errors[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, (size_t)got);
    close(errors[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return {false, std::string("signal ") + strsignal(WTERMSIG(status)) + "\n" + text};
    int code = WEXITSTATUS(status);
    if (code == 124)
        return {false, "no end within " + std::to_string(CASE_SECONDS) + " s"};
    if (code == 0 && text.empty()) {
        fuzz.accepted++;
        return {true, ""};
    }
    bool oneLine = std::count(text.begin(), text.end(), '\n') == 1 && text.back() == '\n';
    if (code == 1 && oneLine && text.find(": rc: ") != std::string::npos) {
        fuzz.rejected++;
        return {true, ""};
    }
    return {false, "exit " + std::to_string(code) + ", stderr:\n" + text};
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: rc_fuzz RESOURCES_DIR [--seed N] [--cases N]\n");
        return 2;
    }
    unsigned seed = 1;
    long cases = 1000;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--seed") == 0)
            seed = (unsigned)strtoul(argv[i + 1], NULL, 0);
        else if (strcmp(argv[i], "--cases") == 0)
            cases = strtol(argv[i + 1], NULL, 0);
    }
    fuzz.random.seed(seed);
    fuzz.script = ReadFile(std::string(argv[1]) + "/robot.rc");
    fuzz.header = ReadFile(std::string(argv[1]) + "/resource.h");
    // Scratch files and kept failures go where the user keeps temporary files.
    const char* tmp = getenv("TMPDIR");
    std::string tempDir = tmp != NULL && *tmp ? tmp : P_tmpdir;
    std::string dirName = tempDir + "/kovra_rc_fuzz.XXXXXX";
    std::vector<char> dir(dirName.begin(), dirName.end());
    dir.push_back('\0');
    if (fuzz.script.empty() || fuzz.header.empty() || mkdtemp(dir.data()) == NULL) {
        fprintf(stderr, "rc_fuzz: cannot read %s/robot.rc and resource.h\n", argv[1]);
        return 2;
    }
    fuzz.dir = dir.data();

    Outcome whole = RunCase(fuzz.script, fuzz.header);
    if (!whole.clean || fuzz.accepted != 1) {
        fprintf(stderr, "rc_fuzz: the undamaged script does not compile: %s\n", whole.why.c_str());
        return 1;
    }
    for (long i = 0; i < cases; i++) {
        std::string script = fuzz.script, header = fuzz.header;
        // Mostly the script; now and then the header it includes.
        std::string& target = Pick(5) == 0 ? header : script;
        for (unsigned edits = 1 + Pick(Pick(4) == 0 ? 30 : 4); edits > 0; edits--)
            Damage(target);
        Outcome outcome = RunCase(script, header);
        if (!outcome.clean) {
            std::string kept =
                tempDir + "/rc_fuzz-seed" + std::to_string(seed) + "-case" + std::to_string(i);
            WriteFile(kept + ".rc", script);
            WriteFile(kept + ".h", header);
            fprintf(stderr, "rc_fuzz: seed %u, case %ld: %s\nrc_fuzz: kept as %s.rc and %s.h\n",
                    seed, i, outcome.why.c_str(), kept.c_str(), kept.c_str());
            return 1;
        }
    }
    printf("rc_fuzz: seed %u: %ld damaged scripts, %ld compiled, %ld refused with one error line\n",
           seed, cases, fuzz.accepted - 1, fuzz.rejected);
    unlink((fuzz.dir + "/robot.rc").c_str());
    unlink((fuzz.dir + "/resource.h").c_str());
    rmdir(fuzz.dir.c_str());
    return 0;
}
