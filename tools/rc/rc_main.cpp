// kovra_rc [-I dir]... script.rc [-o tables.cpp]
#include "rc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void Usage() {
    std::fprintf(stderr, "kovra_rc: usage: kovra_rc [-I dir]... script.rc [-o tables.cpp]\n");
    std::exit(1);
}

// Writes beside the target and renames, so a failed run leaves no half file
// that the build would take as up to date.
static void WriteOutput(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        Fail(path, 0, "cannot write the output");
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        Fail(path, 0, "cannot write the output");
    }
}

int main(int argc, char** argv) {
    std::vector<std::string> includeDirs;
    std::string input;
    std::string output;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "-I") == 0 && i + 1 < argc)
            includeDirs.push_back(argv[++i]);
        else if (std::strncmp(argv[i], "-I", 2) == 0 && argv[i][2])
            includeDirs.push_back(argv[i] + 2);
        else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            output = argv[++i];
        else if (argv[i][0] == '-' || !input.empty())
            Usage();
        else
            input = argv[i];
    }
    if (input.empty())
        Usage();

    std::vector<ResourceDef> resources = ParseScript(ReadScript(input, includeDirs));
    size_t slash = input.rfind('/');
    std::string text =
        EmitTables(resources, slash == std::string::npos ? input : input.substr(slash + 1));
    if (output.empty())
        std::fputs(text.c_str(), stdout);
    else
        WriteOutput(output, text);
    return 0;
}
