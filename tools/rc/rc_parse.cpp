// The script's statements: MENU and DIALOG/DIALOGEX resources, with the
// default styles the platform's resource compiler gives dialogs and controls.
#include "rc.h"

#include <cctype>
#include <cstring>

struct Parser {
    const std::vector<Token>& tokens;
    size_t pos;
    int depth; // of nested expressions
};

struct NamedValue {
    const char* name;
    uint32_t value;
};

const uint32_t WS_POPUP = 0x80000000u;
const uint32_t WS_CHILD = 0x40000000u;
const uint32_t WS_VISIBLE = 0x10000000u;
const uint32_t WS_CAPTION = 0x00C00000u;
const uint32_t WS_BORDER = 0x00800000u;
const uint32_t WS_SYSMENU = 0x00080000u;
const uint32_t WS_GROUP = 0x00020000u;
const uint32_t WS_TABSTOP = 0x00010000u;
const uint32_t DS_SETFONT = 0x40u;
const uint32_t SS_LEFT = 0x0u;
const uint32_t SS_CENTER = 0x1u;
const uint32_t SS_RIGHT = 0x2u;
const uint32_t BS_PUSHBUTTON = 0x0u;
const uint32_t BS_DEFPUSHBUTTON = 0x1u;
const uint32_t BS_GROUPBOX = 0x7u;

// The names scripts take from the platform's headers, which this compiler
// does not read.
static const NamedValue BUILTIN_NAMES[] = {
    {"WS_OVERLAPPED", 0x00000000u},
    {"WS_POPUP", WS_POPUP},
    {"WS_CHILD", WS_CHILD},
    {"WS_MINIMIZE", 0x20000000u},
    {"WS_VISIBLE", WS_VISIBLE},
    {"WS_DISABLED", 0x08000000u},
    {"WS_CLIPSIBLINGS", 0x04000000u},
    {"WS_CLIPCHILDREN", 0x02000000u},
    {"WS_MAXIMIZE", 0x01000000u},
    {"WS_CAPTION", WS_CAPTION},
    {"WS_BORDER", WS_BORDER},
    {"WS_DLGFRAME", 0x00400000u},
    {"WS_VSCROLL", 0x00200000u},
    {"WS_HSCROLL", 0x00100000u},
    {"WS_SYSMENU", WS_SYSMENU},
    {"WS_THICKFRAME", 0x00040000u},
    {"WS_GROUP", WS_GROUP},
    {"WS_TABSTOP", WS_TABSTOP},
    {"WS_MINIMIZEBOX", 0x00020000u},
    {"WS_MAXIMIZEBOX", 0x00010000u},
    {"WS_OVERLAPPEDWINDOW", 0x00CF0000u},
    {"WS_POPUPWINDOW", 0x80880000u},
    {"WS_EX_DLGMODALFRAME", 0x00000001u},
    {"WS_EX_NOPARENTNOTIFY", 0x00000004u},
    {"WS_EX_TOPMOST", 0x00000008u},
    {"WS_EX_TRANSPARENT", 0x00000020u},
    {"WS_EX_TOOLWINDOW", 0x00000080u},
    {"WS_EX_WINDOWEDGE", 0x00000100u},
    {"WS_EX_CLIENTEDGE", 0x00000200u},
    {"WS_EX_CONTEXTHELP", 0x00000400u},
    {"WS_EX_STATICEDGE", 0x00020000u},
    {"WS_EX_APPWINDOW", 0x00040000u},
    {"DS_ABSALIGN", 0x0001u},
    {"DS_SYSMODAL", 0x0002u},
    {"DS_3DLOOK", 0x0004u},
    {"DS_FIXEDSYS", 0x0008u},
    {"DS_NOFAILCREATE", 0x0010u},
    {"DS_LOCALEDIT", 0x0020u},
    {"DS_SETFONT", DS_SETFONT},
    {"DS_MODALFRAME", 0x0080u},
    {"DS_NOIDLEMSG", 0x0100u},
    {"DS_SETFOREGROUND", 0x0200u},
    {"DS_CONTROL", 0x0400u},
    {"DS_CENTER", 0x0800u},
    {"DS_CENTERMOUSE", 0x1000u},
    {"DS_CONTEXTHELP", 0x2000u},
    {"DS_SHELLFONT", 0x0048u},
    {"BS_PUSHBUTTON", BS_PUSHBUTTON},
    {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
    {"BS_CHECKBOX", 0x0002u},
    {"BS_AUTOCHECKBOX", 0x0003u},
    {"BS_RADIOBUTTON", 0x0004u},
    {"BS_3STATE", 0x0005u},
    {"BS_AUTO3STATE", 0x0006u},
    {"BS_GROUPBOX", BS_GROUPBOX},
    {"BS_AUTORADIOBUTTON", 0x0009u},
    {"BS_OWNERDRAW", 0x000Bu},
    {"BS_LEFTTEXT", 0x0020u},
    {"BS_LEFT", 0x0100u},
    {"BS_RIGHT", 0x0200u},
    {"BS_CENTER", 0x0300u},
    {"BS_TOP", 0x0400u},
    {"BS_BOTTOM", 0x0800u},
    {"BS_VCENTER", 0x0C00u},
    {"BS_MULTILINE", 0x2000u},
    {"BS_FLAT", 0x8000u},
    {"SS_LEFT", SS_LEFT},
    {"SS_CENTER", SS_CENTER},
    {"SS_RIGHT", SS_RIGHT},
    {"SS_ICON", 0x0003u},
    {"SS_BLACKRECT", 0x0004u},
    {"SS_GRAYRECT", 0x0005u},
    {"SS_WHITERECT", 0x0006u},
    {"SS_BLACKFRAME", 0x0007u},
    {"SS_GRAYFRAME", 0x0008u},
    {"SS_WHITEFRAME", 0x0009u},
    {"SS_SIMPLE", 0x000Bu},
    {"SS_LEFTNOWORDWRAP", 0x000Cu},
    {"SS_ETCHEDHORZ", 0x0010u},
    {"SS_ETCHEDVERT", 0x0011u},
    {"SS_ETCHEDFRAME", 0x0012u},
    {"SS_NOPREFIX", 0x0080u},
    {"SS_NOTIFY", 0x0100u},
    {"SS_CENTERIMAGE", 0x0200u},
    {"SS_SUNKEN", 0x1000u},
    {"ES_LEFT", 0x0000u},
    {"ES_CENTER", 0x0001u},
    {"ES_RIGHT", 0x0002u},
    {"ES_MULTILINE", 0x0004u},
    {"ES_UPPERCASE", 0x0008u},
    {"ES_LOWERCASE", 0x0010u},
    {"ES_PASSWORD", 0x0020u},
    {"ES_AUTOVSCROLL", 0x0040u},
    {"ES_AUTOHSCROLL", 0x0080u},
    {"ES_NOHIDESEL", 0x0100u},
    {"ES_READONLY", 0x0800u},
    {"ES_WANTRETURN", 0x1000u},
    {"ES_NUMBER", 0x2000u},
    {"IDOK", 1},
    {"IDCANCEL", 2},
    {"IDABORT", 3},
    {"IDRETRY", 4},
    {"IDIGNORE", 5},
    {"IDYES", 6},
    {"IDNO", 7},
};

// The text-form controls and the style each has before the script's own.
struct ControlKind {
    const char* keyword;
    const char* className;
    uint32_t style;
};

static const ControlKind CONTROL_KINDS[] = {
    {"LTEXT", "STATIC", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT},
    {"RTEXT", "STATIC", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_RIGHT},
    {"CTEXT", "STATIC", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER},
    {"PUSHBUTTON", "BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    {"DEFPUSHBUTTON", "BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {"GROUPBOX", "BUTTON", WS_CHILD | WS_VISIBLE | BS_GROUPBOX},
};

// Control classes a CONTROL statement may name without quotes.
static const char* const CLASS_KEYWORDS[] = {"BUTTON",  "STATIC",    "EDIT",
                                             "LISTBOX", "SCROLLBAR", "COMBOBOX"};

static const NamedValue MENU_OPTIONS[] = {
    {"CHECKED", MF_CHECKED},
    {"GRAYED", MF_GRAYED},
    {"INACTIVE", MF_DISABLED},
};

// Memory options older scripts put after the resource type; they mean nothing now.
static const char* const MEMORY_OPTIONS[] = {"DISCARDABLE", "MOVEABLE", "FIXED",     "PURE",
                                             "IMPURE",      "PRELOAD",  "LOADONCALL"};

static const int MAX_EXPRESSION_DEPTH = 200;
static const int MAX_MENU_DEPTH = 16;

static const Token& PeekToken(const Parser& p) {
    return p.tokens[p.pos];
}

// The token list ends with TOK_EOF, which is never consumed.
static const Token& NextToken(Parser& p) {
    const Token& tok = p.tokens[p.pos];
    if (tok.kind != TOK_EOF)
        p.pos++;
    return tok;
}

// Keywords are case-insensitive, as in the platform's compiler.
static bool IsKeyword(const Token& tok, const char* word) {
    if (tok.kind != TOK_NAME || tok.text.size() != std::strlen(word))
        return false;
    for (size_t i = 0; i < tok.text.size(); i++)
        if (std::toupper((unsigned char)tok.text[i]) != word[i])
            return false;
    return true;
}

static bool IsPunct(const Token& tok, char c) {
    return tok.kind == TOK_PUNCT && tok.text[0] == c;
}

static bool IsBegin(const Token& tok) {
    return IsKeyword(tok, "BEGIN") || IsPunct(tok, '{');
}

static bool IsEnd(const Token& tok) {
    return IsKeyword(tok, "END") || IsPunct(tok, '}');
}

// Names a token for an error message.
static std::string Describe(const Token& tok) {
    switch (tok.kind) {
    case TOK_NAME:
    case TOK_PUNCT:
        return "'" + tok.text + "'";
    case TOK_NUMBER:
        return "number " + tok.text;
    case TOK_STRING:
        return "a string";
    case TOK_EOF:
        break;
    }
    return "the end of the file";
}

[[noreturn]] static void FailAt(const Token& tok, const std::string& what) {
    Fail(tok.file, tok.line, what);
}

static void Expect(Parser& p, char c, const char* where) {
    const Token& tok = PeekToken(p);
    if (!IsPunct(tok, c))
        FailAt(tok, std::string("expected '") + c + "' " + where + ", found " + Describe(tok));
    NextToken(p);
}

static bool Accept(Parser& p, char c) {
    if (!IsPunct(PeekToken(p), c))
        return false;
    NextToken(p);
    return true;
}

static const NamedValue* FindName(const NamedValue* table, size_t count, const Token& tok) {
    for (size_t i = 0; i < count; i++)
        if (tok.kind == TOK_NAME && tok.text == table[i].name)
            return &table[i];
    return nullptr;
}

static uint32_t ParseStyle(Parser& p, uint32_t base);

static uint32_t ParsePrimary(Parser& p) {
    const Token& tok = NextToken(p);
    if (tok.kind == TOK_NUMBER)
        return tok.number;
    if (tok.kind == TOK_NAME) {
        const NamedValue* named =
            FindName(BUILTIN_NAMES, sizeof BUILTIN_NAMES / sizeof BUILTIN_NAMES[0], tok);
        if (!named)
            FailAt(tok, "unknown name " + Describe(tok));
        return named->value;
    }
    if (IsPunct(tok, '(')) {
        uint32_t value = ParseStyle(p, 0);
        Expect(p, ')', "to close '('");
        return value;
    }
    FailAt(tok, "expected a number, found " + Describe(tok));
}

static uint32_t ParseUnary(Parser& p) {
    if (++p.depth > MAX_EXPRESSION_DEPTH)
        FailAt(PeekToken(p), "expression nested too deeply");
    uint32_t value;
    if (Accept(p, '-'))
        value = 0u - ParseUnary(p);
    else if (Accept(p, '~'))
        value = ~ParseUnary(p);
    else
        value = ParsePrimary(p);
    p.depth--;
    return value;
}

static uint32_t ParseSum(Parser& p) {
    uint32_t value = ParseUnary(p);
    for (;;) {
        if (Accept(p, '+'))
            value += ParseUnary(p);
        else if (Accept(p, '-'))
            value -= ParseUnary(p);
        else
            return value;
    }
}

static uint32_t ParseAnd(Parser& p) {
    uint32_t value = ParseSum(p);
    while (Accept(p, '&'))
        value &= ParseSum(p);
    return value;
}

// An '|' list of terms added to a base style; a term "NOT x" removes x's
// bits from what came before, the base included.
static uint32_t ParseStyle(Parser& p, uint32_t base) {
    uint32_t value = base;
    do {
        if (IsKeyword(PeekToken(p), "NOT")) {
            NextToken(p);
            value &= ~ParseAnd(p);
        } else {
            value |= ParseAnd(p);
        }
    } while (Accept(p, '|'));
    return value;
}

static uint32_t ParseValue(Parser& p) {
    return ParseStyle(p, 0);
}

// An identifier, stored in 16 bits; -1 .. -32768 wrap as the platform's do.
static uint16_t ParseId(Parser& p, const char* what) {
    const Token& first = PeekToken(p);
    uint32_t value = ParseValue(p);
    if (value > 0xFFFFu && value < 0xFFFF8000u)
        FailAt(first, std::string(what) + " " + std::to_string((int32_t)value) +
                          " is out of range (0..65535)");
    return (uint16_t)value;
}

static int16_t ParseCoordinate(Parser& p, const char* what) {
    const Token& first = PeekToken(p);
    int32_t value = (int32_t)ParseValue(p);
    if (value < -32768 || value > 32767)
        FailAt(first, std::string(what) + " " + std::to_string(value) + " is out of range");
    return (int16_t)value;
}

static std::string ParseString(Parser& p, const char* what) {
    const Token& tok = NextToken(p);
    if (tok.kind != TOK_STRING)
        FailAt(tok, std::string("expected ") + what + " in quotes, found " + Describe(tok));
    return tok.text;
}

// x, y, cx, cy in dialog units.
static void ParseRect(Parser& p, int16_t* x, int16_t* y, int16_t* cx, int16_t* cy) {
    *x = ParseCoordinate(p, "x");
    Expect(p, ',', "after x");
    *y = ParseCoordinate(p, "y");
    Expect(p, ',', "after y");
    *cx = ParseCoordinate(p, "width");
    Expect(p, ',', "after the width");
    *cy = ParseCoordinate(p, "height");
}

// Opens a block; returns its first token for "missing END" messages.
static const Token& ParseBegin(Parser& p, const char* what) {
    const Token& tok = NextToken(p);
    if (!IsBegin(tok))
        FailAt(tok, std::string("expected BEGIN of ") + what + ", found " + Describe(tok));
    return tok;
}

// True at the block's END (consumed); fails at the end of the file.
static bool AtEnd(Parser& p, const Token& begin, const char* what) {
    const Token& tok = PeekToken(p);
    if (tok.kind == TOK_EOF)
        FailAt(tok, std::string("missing END of ") + what + " begun at line " +
                        std::to_string(begin.line));
    if (!IsEnd(tok))
        return false;
    NextToken(p);
    return true;
}

// Menu options, separated by commas or blanks.
static uint32_t ParseMenuOptions(Parser& p) {
    uint32_t flags = 0;
    const size_t count = sizeof MENU_OPTIONS / sizeof MENU_OPTIONS[0];
    for (;;) {
        bool comma = IsPunct(PeekToken(p), ',');
        const Token& option = p.tokens[p.pos + (comma ? 1 : 0)];
        const NamedValue* named = nullptr;
        for (size_t i = 0; i < count && !named; i++)
            if (IsKeyword(option, MENU_OPTIONS[i].name))
                named = &MENU_OPTIONS[i];
        if (!named) {
            if (comma)
                FailAt(option, "expected CHECKED, GRAYED or INACTIVE, found " + Describe(option));
            return flags;
        }
        p.pos += comma ? 2 : 1;
        flags |= named->value;
    }
}

static std::vector<MenuNode> ParseMenuBlock(Parser& p, int level) {
    if (level > MAX_MENU_DEPTH)
        FailAt(PeekToken(p), "menus nested too deeply");
    const Token& begin = ParseBegin(p, "a menu");
    std::vector<MenuNode> items;
    while (!AtEnd(p, begin, "a menu")) {
        const Token& tok = NextToken(p);
        MenuNode node{"", 0, 0, {}};
        if (IsKeyword(tok, "MENUITEM") && IsKeyword(PeekToken(p), "SEPARATOR")) {
            NextToken(p);
            node.flags = MF_SEPARATOR;
        } else if (IsKeyword(tok, "MENUITEM")) {
            node.text = ParseString(p, "the item's text");
            Expect(p, ',', "after the item's text");
            node.id = ParseId(p, "command id");
            node.flags = ParseMenuOptions(p);
        } else if (IsKeyword(tok, "POPUP")) {
            node.text = ParseString(p, "the pop-up's text");
            node.flags = MF_POPUP | ParseMenuOptions(p);
            node.children = ParseMenuBlock(p, level + 1);
        } else {
            FailAt(tok, "unknown keyword " + Describe(tok) + " in a menu");
        }
        items.push_back(node);
    }
    // The platform's menu template cannot hold an empty level.
    if (items.empty())
        FailAt(begin, "empty menu block");
    return items;
}

// The control's class in CONTROL statements: a string or a known keyword.
static std::string ParseClassName(Parser& p) {
    const Token& tok = NextToken(p);
    if (tok.kind == TOK_STRING && !tok.text.empty())
        return tok.text;
    for (const char* keyword : CLASS_KEYWORDS)
        if (IsKeyword(tok, keyword))
            return keyword;
    FailAt(tok, "expected a control class, found " + Describe(tok));
}

static ControlDef ParseControl(Parser& p, const Token& keyword, bool extended) {
    ControlDef control{0, 0, 0, 0, 0, 0, 0, "", ""};
    const ControlKind* kind = nullptr;
    for (const ControlKind& candidate : CONTROL_KINDS)
        if (IsKeyword(keyword, candidate.keyword))
            kind = &candidate;
    if (!kind && !IsKeyword(keyword, "CONTROL"))
        FailAt(keyword, "unknown keyword " + Describe(keyword) + " in a dialog");

    control.text = ParseString(p, "the control's text");
    Expect(p, ',', "after the control's text");
    control.id = ParseId(p, "control id");
    Expect(p, ',', "after the control id");
    if (kind) {
        control.className = kind->className;
        ParseRect(p, &control.x, &control.y, &control.cx, &control.cy);
        control.style = kind->style;
        if (Accept(p, ','))
            control.style = ParseStyle(p, kind->style);
    } else {
        control.className = ParseClassName(p);
        Expect(p, ',', "after the control class");
        control.style = ParseStyle(p, WS_CHILD | WS_VISIBLE);
        Expect(p, ',', "after the control style");
        ParseRect(p, &control.x, &control.y, &control.cx, &control.cy);
    }
    if (Accept(p, ','))
        control.exStyle = ParseValue(p);
    if (extended && Accept(p, ','))
        ParseValue(p); // help id: nothing in this program asks for it
    if (IsPunct(PeekToken(p), ','))
        FailAt(PeekToken(p), "too many values for " + Describe(keyword));
    return control;
}

// FONT size, "face" (DIALOGEX adds weight, italic and character set).
static void ParseFont(Parser& p, DialogDef* dialog, bool extended) {
    const Token& first = PeekToken(p);
    uint32_t size = ParseValue(p);
    if (size == 0 || size > 0xFFFFu)
        FailAt(first, "font size " + std::to_string((int32_t)size) + " is out of range");
    dialog->pointSize = (uint16_t)size;
    Expect(p, ',', "after the font size");
    dialog->fontName = ParseString(p, "the font name");
    dialog->hasFont = true;
    for (int i = 0; extended && i < 3 && Accept(p, ','); i++)
        ParseValue(p);
}

static DialogDef ParseDialog(Parser& p, bool extended) {
    DialogDef dialog{0, 0, 0, 0, 0, 0, "", false, "", 0, {}};
    ParseRect(p, &dialog.x, &dialog.y, &dialog.cx, &dialog.cy);
    if (extended && Accept(p, ','))
        ParseValue(p); // help id
    bool hasStyle = false;
    bool hasCaption = false;
    uint32_t style = 0;
    while (!IsBegin(PeekToken(p))) {
        const Token& tok = NextToken(p);
        if (IsKeyword(tok, "STYLE")) {
            style = ParseValue(p);
            hasStyle = true;
        } else if (IsKeyword(tok, "EXSTYLE")) {
            dialog.exStyle = ParseValue(p);
        } else if (IsKeyword(tok, "CAPTION")) {
            dialog.caption = ParseString(p, "the caption");
            hasCaption = true;
        } else if (IsKeyword(tok, "FONT")) {
            ParseFont(p, &dialog, extended);
        } else if (tok.kind == TOK_EOF) {
            FailAt(tok, "missing BEGIN of a dialog");
        } else {
            FailAt(tok, "unknown keyword " + Describe(tok) + " in a dialog's header");
        }
    }
    dialog.style = hasStyle ? style : WS_POPUP | WS_BORDER | WS_SYSMENU;
    if (hasCaption)
        dialog.style |= WS_CAPTION;
    if (dialog.hasFont)
        dialog.style |= DS_SETFONT;

    const Token& begin = ParseBegin(p, "a dialog's controls");
    while (!AtEnd(p, begin, "a dialog")) {
        const Token& keyword = NextToken(p);
        dialog.controls.push_back(ParseControl(p, keyword, extended));
    }
    return dialog;
}

static void SkipMemoryOptions(Parser& p) {
    for (bool found = true; found;) {
        found = false;
        for (const char* option : MEMORY_OPTIONS)
            found = found || IsKeyword(PeekToken(p), option);
        if (found)
            NextToken(p);
    }
}

std::vector<ResourceDef> ParseScript(const std::vector<Token>& tokens) {
    Parser p{tokens, 0, 0};
    std::vector<ResourceDef> resources;
    while (PeekToken(p).kind != TOK_EOF) {
        const Token& first = PeekToken(p);
        if (IsEnd(first))
            FailAt(first, "END without BEGIN");
        if (first.kind == TOK_NAME &&
            !FindName(BUILTIN_NAMES, sizeof BUILTIN_NAMES / sizeof BUILTIN_NAMES[0], first))
            FailAt(first, "unknown keyword " + Describe(first));
        ResourceDef resource{0, ParseId(p, "resource id"), {}, {}};
        const Token& type = NextToken(p);
        SkipMemoryOptions(p);
        if (IsKeyword(type, "MENU")) {
            resource.type = RC_TYPE_MENU;
            resource.menu = ParseMenuBlock(p, 0);
        } else if (IsKeyword(type, "DIALOG") || IsKeyword(type, "DIALOGEX")) {
            resource.type = RC_TYPE_DIALOG;
            resource.dialog = ParseDialog(p, IsKeyword(type, "DIALOGEX"));
        } else {
            FailAt(type, "unknown resource type " + Describe(type));
        }
        for (const ResourceDef& other : resources)
            if (other.type == resource.type && other.id == resource.id)
                FailAt(first, "duplicate resource id " + std::to_string(resource.id));
        resources.push_back(resource);
    }
    if (resources.empty())
        FailAt(PeekToken(p), "no resources in the script");
    return resources;
}
