// Reading a script: the few preprocessor directives resource scripts use
// (#include, #define, #undef, #ifdef, #ifndef, #else, #endif, #pragma),
// object-like macro expansion, and tokens.
#include "rc.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

// One file being read.
struct Source {
    std::string path;
    std::string text;
    size_t pos;
    int line;
};

// A conditional block being read (its taken branch).
struct Conditional {
    int line;
    bool inElse;
};

struct Preprocessor {
    std::map<std::string, std::vector<Token>> macros;
    std::vector<std::string> includeDirs;
    std::vector<Token> out;
    int includeDepth;
};

static const int MAX_INCLUDE_DEPTH = 16;
// Bounds what a macro bomb can make of a small file.
static const size_t MAX_TOKENS = 1000000;

void Fail(const std::string& file, int line, const std::string& what) {
    if (line > 0)
        std::fprintf(stderr, "%s:%d: rc: %s\n", file.c_str(), line, what.c_str());
    else
        std::fprintf(stderr, "%s: rc: %s\n", file.c_str(), what.c_str());
    std::exit(1);
}

// Reads a whole file; false when it cannot be read (missing, a directory, ...).
static bool ReadFile(const std::string& path, std::string* text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t n;
    text->clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text->append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// The character ahead, or -1 past the end (the text may hold NUL bytes).
static int PeekChar(const Source& s, size_t ahead = 0) {
    size_t at = s.pos + ahead;
    return at < s.text.size() ? (unsigned char)s.text[at] : -1;
}

// Names a character for an error message, printable or not.
static std::string DescribeChar(int c) {
    char buffer[16];
    if (c > 32 && c < 127)
        std::snprintf(buffer, sizeof buffer, "'%c'", c);
    else
        std::snprintf(buffer, sizeof buffer, "0x%02X", c);
    return buffer;
}

static bool IsNameStart(int c) {
    return c >= 0 && (std::isalpha(c) || c == '_');
}

static bool IsNameChar(int c) {
    return c >= 0 && (std::isalnum(c) || c == '_');
}

// Moves past the end of the current line.
static void SkipLine(Source& s) {
    while (s.pos < s.text.size() && s.text[s.pos] != '\n')
        s.pos++;
    if (s.pos < s.text.size()) {
        s.pos++;
        s.line++;
    }
}

// Skips white space and comments; a directive's line ends at its newline,
// unless the newline is escaped.
static void SkipBlank(Source& s, bool inDirective) {
    for (;;) {
        int c = PeekChar(s);
        if (c == '\n') {
            if (inDirective)
                return;
            s.pos++;
            s.line++;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            s.pos++;
        } else if (inDirective && c == '\\' && PeekChar(s, 1) == '\n') {
            s.pos += 2;
            s.line++;
        } else if (c == '/' && PeekChar(s, 1) == '/') {
            while (PeekChar(s) >= 0 && PeekChar(s) != '\n')
                s.pos++;
        } else if (c == '/' && PeekChar(s, 1) == '*') {
            int startLine = s.line;
            s.pos += 2;
            while (!(PeekChar(s) == '*' && PeekChar(s, 1) == '/')) {
                if (PeekChar(s) < 0)
                    Fail(s.path, startLine, "unterminated comment");
                if (PeekChar(s) == '\n')
                    s.line++;
                s.pos++;
            }
            s.pos += 2;
        } else {
            return;
        }
    }
}

static int HexDigit(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A quoted string: "" and \" give a quote; \\, \t, \n, \r and \xHH escapes.
static void LexString(Source& s, Token* tok) {
    tok->kind = TOK_STRING;
    if (PeekChar(s) == 'L')
        s.pos++;
    s.pos++;
    for (;;) {
        int c = PeekChar(s);
        if (c < 0 || c == '\n')
            Fail(tok->file, tok->line, "unterminated string");
        if (c == 0)
            Fail(tok->file, tok->line, "NUL character in a string");
        s.pos++;
        if (c == '"') {
            if (PeekChar(s) != '"')
                return;
            s.pos++;
            tok->text += '"';
        } else if (c == '\\') {
            int e = PeekChar(s);
            if (e < 0 || e == '\n')
                Fail(tok->file, tok->line, "unterminated string");
            s.pos++;
            if (e == 'n') {
                tok->text += '\n';
            } else if (e == 't') {
                tok->text += '\t';
            } else if (e == 'r') {
                tok->text += '\r';
            } else if (e == '\\' || e == '"') {
                tok->text += (char)e;
            } else if (e == 'x' && HexDigit(PeekChar(s)) >= 0) {
                int value = 0;
                for (int i = 0; i < 2 && HexDigit(PeekChar(s)) >= 0; i++) {
                    value = value * 16 + HexDigit(PeekChar(s));
                    s.pos++;
                }
                if (value == 0)
                    Fail(tok->file, tok->line, "NUL character in a string");
                tok->text += (char)value;
            } else {
                Fail(tok->file, tok->line, "unknown escape \\" + std::string(1, (char)e));
            }
        } else {
            tok->text += (char)c;
        }
    }
}

// A decimal, octal (leading 0) or hex number with optional U/L suffixes.
static void LexNumber(Source& s, Token* tok) {
    tok->kind = TOK_NUMBER;
    size_t start = s.pos;
    unsigned base = 10;
    if (PeekChar(s) == '0' && (PeekChar(s, 1) == 'x' || PeekChar(s, 1) == 'X')) {
        base = 16;
        s.pos += 2;
        if (HexDigit(PeekChar(s)) < 0)
            Fail(tok->file, tok->line, "malformed number");
    } else if (PeekChar(s) == '0') {
        base = 8;
    }
    uint64_t value = 0;
    for (;;) {
        int digit = HexDigit(PeekChar(s));
        if (digit < 0 || (base != 16 && digit > 9))
            break;
        if ((unsigned)digit >= base)
            Fail(tok->file, tok->line, "malformed number");
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            Fail(tok->file, tok->line, "number too large for 32 bits");
        s.pos++;
    }
    while (PeekChar(s) == 'L' || PeekChar(s) == 'l' || PeekChar(s) == 'U' || PeekChar(s) == 'u')
        s.pos++;
    if (IsNameChar(PeekChar(s)))
        Fail(tok->file, tok->line, "malformed number");
    tok->number = (uint32_t)value;
    tok->text = s.text.substr(start, s.pos - start);
}

// The next token; false at the end of the file, or of a directive's line.
static bool LexToken(Source& s, Token* tok, bool inDirective) {
    SkipBlank(s, inDirective);
    int c = PeekChar(s);
    if (c < 0 || (inDirective && c == '\n'))
        return false;
    tok->kind = TOK_PUNCT;
    tok->text.clear();
    tok->number = 0;
    tok->file = s.path;
    tok->line = s.line;
    if (c == '"' || (c == 'L' && PeekChar(s, 1) == '"')) {
        LexString(s, tok);
    } else if (c >= '0' && c <= '9') {
        LexNumber(s, tok);
    } else if (IsNameStart(c)) {
        tok->kind = TOK_NAME;
        while (IsNameChar(PeekChar(s)))
            tok->text += s.text[s.pos++];
    } else if (c != 0 && std::strchr(",|(){}+-&~", c)) {
        tok->text = std::string(1, (char)c);
        s.pos++;
    } else {
        Fail(s.path, s.line, "unexpected character " + DescribeChar(c));
    }
    return true;
}

// Appends a token, replacing a macro's name by its body (not inside itself).
static void EmitToken(Preprocessor& pp, const Token& tok, std::vector<std::string>& expanding) {
    if (tok.kind == TOK_NAME) {
        auto it = pp.macros.find(tok.text);
        bool active = false;
        for (const std::string& name : expanding)
            active = active || name == tok.text;
        if (it != pp.macros.end() && !active) {
            expanding.push_back(tok.text);
            for (Token body : it->second) {
                body.file = tok.file;
                body.line = tok.line;
                EmitToken(pp, body, expanding);
            }
            expanding.pop_back();
            return;
        }
    }
    if (pp.out.size() >= MAX_TOKENS)
        Fail(tok.file, tok.line, "macro expansion too large");
    pp.out.push_back(tok);
}

// Reads a directive's word (include, define, ...).
static std::string LexWord(Source& s) {
    std::string word;
    while (IsNameChar(PeekChar(s)))
        word += s.text[s.pos++];
    return word;
}

// Skips the lines of a branch not taken; returns "else" or "endif", whichever
// ends it.
static std::string SkipBranch(Source& s, int startLine) {
    int depth = 0;
    while (s.pos < s.text.size()) {
        while (PeekChar(s) == ' ' || PeekChar(s) == '\t')
            s.pos++;
        if (PeekChar(s) == '#') {
            s.pos++;
            while (PeekChar(s) == ' ' || PeekChar(s) == '\t')
                s.pos++;
            std::string word = LexWord(s);
            if (word == "if" || word == "ifdef" || word == "ifndef") {
                depth++;
            } else if (word == "endif" || word == "else") {
                if (depth == 0) {
                    SkipLine(s);
                    return word;
                }
                if (word == "endif")
                    depth--;
            }
        }
        SkipLine(s);
    }
    Fail(s.path, startLine, "unterminated #ifdef");
}

static void ReadSource(Preprocessor& pp, Source& s);

// Finds an included file: next to the including file, then in the -I folders.
static bool FindInclude(const Preprocessor& pp, const Source& s, const std::string& name,
                        std::string* path, std::string* text) {
    std::vector<std::string> candidates;
    if (!name.empty() && name[0] == '/') {
        candidates.push_back(name);
    } else {
        size_t slash = s.path.rfind('/');
        candidates.push_back(slash == std::string::npos ? name
                                                        : s.path.substr(0, slash + 1) + name);
        for (const std::string& dir : pp.includeDirs)
            candidates.push_back(dir + "/" + name);
    }
    for (const std::string& candidate : candidates) {
        if (ReadFile(candidate, text)) {
            *path = candidate;
            return true;
        }
    }
    return false;
}

// #include "file" reads the file in place; #include <file> names a system
// header, whose names the compiler knows by itself.
static void Include(Preprocessor& pp, Source& s, int line) {
    SkipBlank(s, true);
    int open = PeekChar(s);
    if (open != '"' && open != '<')
        Fail(s.path, line, "#include expects \"file\" or <file>");
    int close = open == '"' ? '"' : '>';
    s.pos++;
    std::string name;
    while (PeekChar(s) >= 0 && PeekChar(s) != '\n' && PeekChar(s) != close)
        name += s.text[s.pos++];
    if (PeekChar(s) != close || name.empty())
        Fail(s.path, line, "malformed #include");
    s.pos++;
    SkipLine(s);
    if (open == '<')
        return;
    if (pp.includeDepth >= MAX_INCLUDE_DEPTH)
        Fail(s.path, line, "#include nested too deeply");
    Source inner{"", "", 0, 1};
    if (!FindInclude(pp, s, name, &inner.path, &inner.text))
        Fail(s.path, line, "cannot find include file \"" + name + "\"");
    pp.includeDepth++;
    ReadSource(pp, inner);
    pp.includeDepth--;
}

// #define NAME tokens...: object-like macros only.
static void Define(Preprocessor& pp, Source& s, int line) {
    SkipBlank(s, true);
    if (!IsNameStart(PeekChar(s)))
        Fail(s.path, line, "#define needs a name");
    std::string name = LexWord(s);
    if (PeekChar(s) == '(')
        Fail(s.path, line, "function-like macros are not supported");
    std::vector<Token> body;
    Token tok;
    while (LexToken(s, &tok, true))
        body.push_back(tok);
    pp.macros[name] = body;
    SkipLine(s);
}

// Handles the directive whose '#' is at the read position.
static void Directive(Preprocessor& pp, Source& s, std::vector<Conditional>& conditionals) {
    int line = s.line;
    s.pos++;
    SkipBlank(s, true);
    std::string word = LexWord(s);
    if (word == "include") {
        Include(pp, s, line);
    } else if (word == "define") {
        Define(pp, s, line);
    } else if (word == "undef") {
        SkipBlank(s, true);
        pp.macros.erase(LexWord(s));
        SkipLine(s);
    } else if (word == "ifdef" || word == "ifndef") {
        SkipBlank(s, true);
        std::string name = LexWord(s);
        if (name.empty())
            Fail(s.path, line, "#" + word + " needs a name");
        SkipLine(s);
        bool taken = (pp.macros.count(name) != 0) == (word == "ifdef");
        if (taken)
            conditionals.push_back({line, false});
        else if (SkipBranch(s, line) == "else")
            conditionals.push_back({line, true});
    } else if (word == "else") {
        if (conditionals.empty() || conditionals.back().inElse)
            Fail(s.path, line, "#else without #ifdef");
        SkipLine(s);
        if (SkipBranch(s, line) == "else")
            Fail(s.path, line, "#else after #else");
        conditionals.pop_back();
    } else if (word == "endif") {
        if (conditionals.empty())
            Fail(s.path, line, "#endif without #ifdef");
        conditionals.pop_back();
        SkipLine(s);
    } else if (word == "pragma" || word.empty()) {
        SkipLine(s);
    } else if (word == "if" || word == "elif") {
        Fail(s.path, line, "#" + word + " is not supported; use #ifdef or #ifndef");
    } else {
        Fail(s.path, line, "unknown directive #" + word);
    }
}

// Reads one file's tokens into the output, expanding macros as it goes.
static void ReadSource(Preprocessor& pp, Source& s) {
    std::vector<Conditional> conditionals;
    std::vector<std::string> expanding;
    int lastTokenLine = 0;
    for (;;) {
        SkipBlank(s, false);
        if (PeekChar(s) < 0)
            break;
        if (PeekChar(s) == '#' && s.line != lastTokenLine) {
            Directive(pp, s, conditionals);
            continue;
        }
        Token tok;
        LexToken(s, &tok, false);
        lastTokenLine = tok.line;
        EmitToken(pp, tok, expanding);
    }
    if (!conditionals.empty())
        Fail(s.path, conditionals.back().line, "unterminated #ifdef");
}

std::vector<Token> ReadScript(const std::string& path,
                              const std::vector<std::string>& includeDirs) {
    Preprocessor pp;
    pp.includeDirs = includeDirs;
    pp.includeDepth = 0;
    // Scripts test this to tell a resource compiler from a C compiler.
    pp.macros["RC_INVOKED"] = {Token{TOK_NUMBER, "1", 1, path, 0}};
    Source s{path, "", 0, 1};
    if (!ReadFile(path, &s.text))
        Fail(path, 0, "cannot read the file");
    ReadSource(pp, s);
    // The end of the file is reported on its last line.
    int lastLine = !s.text.empty() && s.text.back() == '\n' && s.line > 1 ? s.line - 1 : s.line;
    pp.out.push_back(Token{TOK_EOF, "", 0, path, lastLine});
    return pp.out;
}
