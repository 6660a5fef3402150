// kovra_rc, the resource-script compiler: what it reads from small scripts
// (in-process), and how the tool itself ends on broken ones (as a process).
#include "rc.h"
// After rc.h: its MF_* constants share the platform's names.
#include "platform/x11/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Styles win32.h does not need for the program itself.
const DWORD STATIC_CENTER = 0x1;
const DWORD STATIC_RIGHT = 0x2;
const DWORD EDGE_CLIENT = 0x200;
const DWORD CHILD = WS_CHILD | WS_VISIBLE;

// One scratch folder per test process.
std::string ScratchDir() {
    static std::string dir;
    if (dir.empty()) {
        const char* tmp = getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp ? tmp : P_tmpdir) + "/kovra_rc_test.XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()))
            dir = name.data();
    }
    return dir;
}

std::string WriteScratch(const std::string& name, const std::string& text) {
    std::string path = ScratchDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Valid scripts only: on an error the compiler ends the process.
std::vector<ResourceDef> Compile(const std::string& script) {
    return ParseScript(ReadScript(WriteScratch("in.rc", script), {}));
}

ControlDef CompileControl(const std::string& control) {
    std::vector<ResourceDef> resources =
        Compile("1 DIALOG 0, 0, 100, 100\nBEGIN\n    " + control + "\nEND\n");
    EXPECT_EQ(resources.at(0).dialog.controls.size(), 1u);
    return resources.at(0).dialog.controls.at(0);
}

struct ControlStyleRow {
    const char* control;
    DWORD style;
    const char* className;
};

TEST(RcCompiler, ControlDefaultStylesAndExplicitStyles) {
    const ControlStyleRow rows[] = {
        {"LTEXT \"t\", 1, 0, 0, 10, 8", CHILD | WS_GROUP | SS_LEFT, "STATIC"},
        {"RTEXT \"t\", 1, 0, 0, 10, 8", CHILD | WS_GROUP | STATIC_RIGHT, "STATIC"},
        {"CTEXT \"t\", 1, 0, 0, 10, 8", CHILD | WS_GROUP | STATIC_CENTER, "STATIC"},
        {"PUSHBUTTON \"t\", 1, 0, 0, 10, 8", CHILD | WS_TABSTOP | BS_PUSHBUTTON, "BUTTON"},
        {"DEFPUSHBUTTON \"t\", 1, 0, 0, 10, 8", CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON, "BUTTON"},
        {"GROUPBOX \"t\", 1, 0, 0, 10, 8", CHILD | BS_GROUPBOX, "BUTTON"},
        // An explicit style adds to the defaults; NOT takes bits away from them.
        {"LTEXT \"t\", 1, 0, 0, 10, 8, WS_TABSTOP", CHILD | WS_GROUP | WS_TABSTOP, "STATIC"},
        {"LTEXT \"t\", 1, 0, 0, 10, 8, NOT WS_GROUP", CHILD, "STATIC"},
        {"DEFPUSHBUTTON \"t\", 1, 0, 0, 10, 8, NOT WS_TABSTOP | WS_GROUP",
         CHILD | WS_GROUP | BS_DEFPUSHBUTTON, "BUTTON"},
        {"CONTROL \"t\", 1, \"Edit\", WS_BORDER | WS_TABSTOP, 0, 0, 10, 8",
         CHILD | WS_BORDER | WS_TABSTOP, "Edit"},
        {"CONTROL \"t\", 1, button, BS_GROUPBOX | NOT WS_VISIBLE, 0, 0, 10, 8",
         WS_CHILD | BS_GROUPBOX, "BUTTON"},
    };
    for (const ControlStyleRow& row : rows) {
        SCOPED_TRACE(row.control);
        ControlDef control = CompileControl(row.control);
        EXPECT_EQ(control.style, row.style);
        EXPECT_EQ(control.className, row.className);
    }
}

struct DialogStyleRow {
    const char* header;
    DWORD style;
};

TEST(RcCompiler, DialogStyleFromStyleCaptionAndFont) {
    const DialogStyleRow rows[] = {
        {"", WS_POPUP | WS_BORDER | WS_SYSMENU},
        {"CAPTION \"c\"\n", WS_POPUP | WS_BORDER | WS_SYSMENU | WS_CAPTION},
        {"STYLE WS_POPUP\nCAPTION \"c\"\n", WS_POPUP | WS_CAPTION},
        {"FONT 8, \"f\"\nSTYLE WS_POPUP\n", WS_POPUP | DS_SETFONT},
        {"STYLE WS_CHILD | DS_MODALFRAME\n", WS_CHILD | DS_MODALFRAME},
    };
    for (const DialogStyleRow& row : rows) {
        SCOPED_TRACE(row.header);
        std::vector<ResourceDef> resources =
            Compile(std::string("1 DIALOG 0, 0, 10, 10\n") + row.header + "BEGIN\nEND\n");
        EXPECT_EQ(resources.at(0).dialog.style, row.style);
        EXPECT_TRUE(resources.at(0).dialog.controls.empty());
    }
}

TEST(RcCompiler, DialogExReadsItsExtraValues) {
    std::vector<ResourceDef> resources = Compile("7 DIALOGEX 1, 2, 30, 40, 99\n"
                                                 "EXSTYLE WS_EX_CLIENTEDGE\n"
                                                 "FONT 9, \"Face\", 400, 0, 1\n"
                                                 "BEGIN\n"
                                                 "    LTEXT \"a\", 5, 1, 2, 3, 4, 0, 0, 77\n"
                                                 "END\n");
    const DialogDef& dialog = resources.at(0).dialog;
    EXPECT_EQ(resources.at(0).id, 7);
    EXPECT_EQ(dialog.exStyle, EDGE_CLIENT);
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.fontName, "Face");
    EXPECT_EQ(dialog.x + dialog.y + dialog.cx + dialog.cy, 1 + 2 + 30 + 40);
    ASSERT_EQ(dialog.controls.size(), 1u);
    EXPECT_EQ(dialog.controls[0].id, 5);
    EXPECT_EQ(dialog.controls[0].cy, 4);
}

struct ValueRow {
    const char* expression;
    WORD id;
};

TEST(RcCompiler, NumbersNamesAndExpressions) {
    WriteScratch("ids.h", "#pragma once\n#define BASE 1000\n#define NEXT (BASE + 1)\n");
    const ValueRow rows[] = {
        {"42", 42},
        {"0x2A", 42},
        {"052", 42},
        {"42L", 42},
        {"-1", 0xFFFF},
        {"BASE + 2", 1002},
        {"NEXT | 0x100", 1001 | 0x100},
        {"(3 | 4) & ~1", 6},
        {"10 - 2 - 3", 5},
        {"IDCANCEL", 2},
        {"65535", 65535},
    };
    for (const ValueRow& row : rows) {
        SCOPED_TRACE(row.expression);
        std::vector<ResourceDef> resources =
            Compile(std::string("#include \"ids.h\"\n1 MENU\nBEGIN\n    MENUITEM \"x\", ") +
                    row.expression + "\nEND\n");
        EXPECT_EQ(resources.at(0).menu.at(0).id, row.id);
    }
}

struct StringRow {
    const char* literal;
    const char* text;
};

TEST(RcCompiler, StringEscapes) {
    const StringRow rows[] = {
        {R"("say ""hi""")", "say \"hi\""},
        {R"("a\"b")", "a\"b"},
        {R"("&Open\tCtrl+O\n")", "&Open\tCtrl+O\n"},
        {R"("back\\slash")", "back\\slash"},
        {R"("\x41\x7a")", "Az"},
        {R"(L"wide")", "wide"},
        {R"("")", ""},
    };
    for (const StringRow& row : rows) {
        SCOPED_TRACE(row.literal);
        ControlDef control =
            CompileControl(std::string("LTEXT ") + row.literal + ", 1, 0, 0, 1, 1");
        EXPECT_EQ(control.text, row.text);
    }
}

TEST(RcCompiler, MenuItemsOptionsAndNesting) {
    std::vector<ResourceDef> resources = Compile("/* block\n comment */ 5 menu discardable\n"
                                                 "{\n"
                                                 "    popup \"Top\", GRAYED\n"
                                                 "    BEGIN\n"
                                                 "        MENUITEM \"A\", 1, CHECKED, GRAYED\n"
                                                 "        MENUITEM SEPARATOR\n"
                                                 "        POPUP \"Sub\"\n"
                                                 "        {\n"
                                                 "            MENUITEM \"B\", 2 INACTIVE\n"
                                                 "        }\n"
                                                 "    END // trailing\n"
                                                 "    MENUITEM \"C\", 3\n"
                                                 "}\n");
    ASSERT_EQ(resources.size(), 1u);
    EXPECT_EQ(resources[0].type, RC_TYPE_MENU);
    const std::vector<MenuNode>& bar = resources[0].menu;
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].flags, (uint32_t)(MF_POPUP | MF_GRAYED));
    ASSERT_EQ(bar[0].children.size(), 3u);
    EXPECT_EQ(bar[0].children[0].flags, (uint32_t)(MF_CHECKED | MF_GRAYED));
    EXPECT_EQ(bar[0].children[1].flags, (uint32_t)MF_SEPARATOR);
    EXPECT_EQ(bar[0].children[1].id, 0);
    ASSERT_EQ(bar[0].children[2].children.size(), 1u);
    EXPECT_EQ(bar[0].children[2].children[0].flags, (uint32_t)MF_DISABLED);
    EXPECT_EQ(bar[1].text, "C");
    EXPECT_EQ(bar[1].id, 3);

    // Flattened depth first, MF_END closing each level.
    std::string tables = EmitTables(resources, "in.rc");
    std::string rows = "    {MF_POPUP | MF_GRAYED, 0, \"Top\"},\n"
                       "    {MF_CHECKED | MF_GRAYED, 1, \"A\"},\n"
                       "    {MF_SEPARATOR, 0, \"\"},\n"
                       "    {MF_POPUP | MF_END, 0, \"Sub\"},\n"
                       "    {MF_DISABLED | MF_END, 2, \"B\"},\n"
                       "    {MF_END, 3, \"C\"},\n";
    EXPECT_NE(tables.find(rows), std::string::npos) << tables;
}

TEST(RcCompiler, ConditionalsAndIncludes) {
    WriteScratch("cond.h", "#ifndef COND_H\n#define COND_H\n#define ID_A 11\n#endif\n");
    std::vector<ResourceDef> resources = Compile("#include \"cond.h\"\n"
                                                 "#include \"cond.h\"\n"
                                                 "#include <windows.h>\n"
                                                 "#ifdef RC_INVOKED\n"
                                                 "#define PICK ID_A\n"
                                                 "#else\n"
                                                 "#define PICK 99\n"
                                                 "#endif\n"
                                                 "#ifdef UNDEFINED_NAME\n"
                                                 "#if nested, skipped unread\n"
                                                 "#endif\n"
                                                 "garbage \" never read\n"
                                                 "#endif\n"
                                                 "1 MENU BEGIN MENUITEM \"x\", PICK END\n");
    EXPECT_EQ(resources.at(0).menu.at(0).id, 11);
}

// How a compiler run ended.
struct RunResult {
    bool signaled;
    int code; // exit code, or the signal
    std::string errors;
    bool wroteOutput;
};

// Waits for a child whose stderr went to the scratch errors file.
RunResult Collect(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result;
    result.signaled = WIFSIGNALED(status);
    result.code = result.signaled ? WTERMSIG(status) : WEXITSTATUS(status);
    std::ifstream errors(ScratchDir() + "/tool.err");
    std::stringstream text;
    text << errors.rdbuf();
    result.errors = text.str();
    result.wroteOutput = false;
    return result;
}

void RedirectErrors() {
    int fd = open((ScratchDir() + "/tool.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    close(fd);
}

// The tool run as a process, as the build runs it.
RunResult RunTool(const std::string& script) {
    std::string input = WriteScratch("tool.rc", script);
    std::string output = ScratchDir() + "/tool_rc.cpp";
    std::remove(output.c_str());
    pid_t pid = fork();
    if (pid == 0) {
        RedirectErrors();
        execl(KOVRA_RC_PATH, "kovra_rc", "-I", RESOURCES_DIR, input.c_str(), "-o", output.c_str(),
              (char*)nullptr);
        _exit(127);
    }
    RunResult result = Collect(pid);
    result.wroteOutput = std::ifstream(output).good();
    return result;
}

// The compiler run in a forked copy of this process: several times cheaper
// than starting the tool, which keeps thousands of damaged scripts quick.
RunResult RunForked(const std::string& script) {
    std::string input = WriteScratch("tool.rc", script);
    std::fflush(nullptr); // the child's exit must not repeat buffered output
    pid_t pid = fork();
    if (pid == 0) {
        RedirectErrors();
        std::string tables = EmitTables(ParseScript(ReadScript(input, {RESOURCES_DIR})), "tool.rc");
        _exit(tables.empty() ? 2 : 0);
    }
    return Collect(pid);
}

struct BrokenRow {
    const char* script;
    int line;
    const char* message;
};

TEST(RcCompilerTool, BrokenScriptsEndWithOneErrorLine) {
    const BrokenRow rows[] = {
        {"", 1, "no resources in the script"},
        {"// only a comment\n", 1, "no resources in the script"},
        {"1 MENU\nBEGIN\n    MENUITM \"a\", 1\nEND\n", 3, "unknown keyword 'MENUITM'"},
        {"1 ICON \"a.ico\"\n", 1, "unknown resource type 'ICON'"},
        {"1 DIALOG 0, 0, 9, 9\nBEGIN\n    LTEXT \"abc, 1, 0, 0, 1, 1\nEND\n", 3,
         "unterminated string"},
        {"1 DIALOG 0, 0, 9, 9\nBEGIN\n    LTEXT \"a\", IDC_NOPE, 0, 0, 1, 1\nEND\n", 3,
         "unknown name 'IDC_NOPE'"},
        {"1 DIALOG 0, 0, 9, 9\nBEGIN\n    LTEXT \"a\", 1, 0, 0, , 1\nEND\n", 3,
         "expected a number, found ','"},
        {"1 DIALOG 0, 0, 9, 9\nBEGIN\n    LTEXT \"a\", 1, 0, 0, 1\nEND\n", 4,
         "expected ',' after the width, found 'END'"},
        {"1 MENU\nBEGIN\n    POPUP \"a\"\n    BEGIN\n        MENUITEM \"b\", 1\nEND\n", 6,
         "missing END of a menu begun at line 2"},
        {"1 MENU\nBEGIN\n    MENUITEM \"b\", 1\nEND\nEND\n", 5, "END without BEGIN"},
        {"1 MENU\nBEGIN\n    MENUITEM \"b\", 70000\nEND\n", 3,
         "command id 70000 is out of range (0..65535)"},
        {"70000 MENU\nBEGIN\n    MENUITEM \"b\", 1\nEND\n", 1, "resource id 70000 is out of range"},
        {"1 MENU\nBEGIN\nEND\n", 2, "empty menu block"},
        {"1 MENU\nBEGIN\n    MENUITEM \"b\", 1\nEND\n1 MENU\nBEGIN\n    MENUITEM \"c\", 2\nEND\n",
         5, "duplicate resource id 1"},
        {"1 MENU\nBEGIN\n    MENUITEM \"b\", 0x100000000\nEND\n", 3, "number too large"},
        {"1 MENU\nBEGIN\n    MENUITEM \"b\\q\", 1\nEND\n", 3, "unknown escape \\q"},
        {"1 MENU\nBEGIN\n    MENUITEM \"b\", 1, CHECKED, BOLD\nEND\n", 3,
         "expected CHECKED, GRAYED or INACTIVE, found 'BOLD'"},
        {"/* open\n1 MENU\n", 1, "unterminated comment"},
        {"#include \"missing.h\"\n", 1, "cannot find include file \"missing.h\""},
        {"#ifdef RC_INVOKED\n1 MENU\n", 1, "unterminated #ifdef"},
        {"\n#endif\n", 2, "#endif without #ifdef"},
        {"#if 1\n#endif\n", 1, "#if is not supported"},
        {"#define F(x) x\n", 1, "function-like macros are not supported"},
        {"1 MENU\nBEGIN\n    MENUITEM \"b\", 1 @\nEND\n", 3, "unexpected character '@'"},
        {"1 DIALOG 0, 0, 9, 9\nBEGIN\n    LTEXT \"a\", 1, 0, 0, 1, 1, 0, 0, 0\nEND\n", 3,
         "too many values for 'LTEXT'"},
        {"1 MENU BEGIN MENUITEM \"b\", ((((((((((((((((((((((((((((((((((((((((((((((((((("
         "(((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
         "(((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
         "1",
         1, "expression nested too deeply"},
    };
    for (const BrokenRow& row : rows) {
        SCOPED_TRACE(row.script);
        RunResult result = RunTool(row.script);
        EXPECT_FALSE(result.signaled);
        EXPECT_EQ(result.code, 1);
        std::string expected =
            ScratchDir() + "/tool.rc:" + std::to_string(row.line) + ": rc: " + row.message;
        EXPECT_EQ(result.errors.substr(0, expected.size()), expected) << result.errors;
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1);
        EXPECT_FALSE(result.wroteOutput);
    }
}

// A run on a damaged script either succeeds or fails with one error line.
void ExpectCleanEnd(const std::string& script, const std::string& what) {
    RunResult result = RunForked(script);
    ASSERT_FALSE(result.signaled) << what << ": signal " << result.code;
    ASSERT_TRUE(result.code == 0 || result.code == 1) << what << ": exit " << result.code;
    if (result.code == 1) {
        ASSERT_NE(result.errors.find(": rc: "), std::string::npos) << what;
        ASSERT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << what;
    }
}

TEST(RcCompilerTool, TruncatedAndMutatedScriptsNeverCrash) {
    std::ifstream file(std::string(RESOURCES_DIR) + "/robot.rc", std::ios::binary);
    std::stringstream buffer;
    buffer << file.rdbuf();
    const std::string script = buffer.str();
    ASSERT_GT(script.size(), 1000u);

    RunResult whole = RunTool(script);
    ASSERT_EQ(whole.code, 0) << whole.errors;

    for (size_t length = 0; length < script.size() && !HasFatalFailure(); length++)
        ExpectCleanEnd(script.substr(0, length), "prefix of " + std::to_string(length));

    std::mt19937 random(20240611);
    for (int i = 0; i < 300 && !HasFatalFailure(); i++) {
        std::string mutated = script;
        for (int edits = 1 + random() % 4; edits > 0 && !mutated.empty(); edits--) {
            size_t at = random() % mutated.size();
            switch (random() % 3) {
            case 0:
                mutated[at] = (char)(random() % 256);
                break;
            case 1:
                mutated.insert(at, 1, (char)(random() % 256));
                break;
            default:
                mutated.erase(at, 1 + random() % 8);
                break;
            }
        }
        ExpectCleanEnd(mutated, "mutation " + std::to_string(i));
    }
}

} // namespace
