// The resource-script compiler of the Linux build: reads a .rc file (and the
// headers it includes for their #defines) and writes the C++ tables of
// platform/x11/resources.h. The first error ends the run with one line
// "file:line: rc: what" and exit code 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TokenKind { TOK_NAME, TOK_NUMBER, TOK_STRING, TOK_PUNCT, TOK_EOF };

struct Token {
    TokenKind kind;
    std::string text; // name, punctuator, or the string's bytes after escapes
    uint32_t number;
    std::string file;
    int line;
};

struct MenuNode {
    std::string text;
    uint32_t flags; // MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_POPUP, MF_SEPARATOR
    uint16_t id;
    std::vector<MenuNode> children;
};

struct ControlDef {
    uint32_t style;
    uint32_t exStyle;
    int16_t x, y, cx, cy;
    uint16_t id;
    std::string className;
    std::string text;
};

struct DialogDef {
    uint32_t style;
    uint32_t exStyle;
    int16_t x, y, cx, cy;
    std::string caption;
    bool hasFont;
    std::string fontName;
    uint16_t pointSize;
    std::vector<ControlDef> controls;
};

// Menu item flags as the platform numbers them.
const uint32_t MF_GRAYED = 0x0001;
const uint32_t MF_DISABLED = 0x0002;
const uint32_t MF_CHECKED = 0x0008;
const uint32_t MF_POPUP = 0x0010;
const uint32_t MF_END = 0x0080;
const uint32_t MF_SEPARATOR = 0x0800;

// Resource types as the platform numbers them.
const uint16_t RC_TYPE_MENU = 4;
const uint16_t RC_TYPE_DIALOG = 5;

struct ResourceDef {
    uint16_t type;
    uint16_t id;
    std::vector<MenuNode> menu; // RC_TYPE_MENU
    DialogDef dialog;           // RC_TYPE_DIALOG
};

// Prints "file:line: rc: what" and exits with code 1.
[[noreturn]] void Fail(const std::string& file, int line, const std::string& what);

// Preprocesses and tokenises a script; the list ends with a TOK_EOF token.
std::vector<Token> ReadScript(const std::string& path, const std::vector<std::string>& includeDirs);

std::vector<ResourceDef> ParseScript(const std::vector<Token>& tokens);

std::string EmitTables(const std::vector<ResourceDef>& resources, const std::string& sourceName);
