// Writes a file's bytes as a C++ array definition, so pictures can live inside the module.
//
// usage: seg4_embed INPUT OUTPUT.inc SYMBOL
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT SYMBOL\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "seg4_embed: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::FILE* out = std::fopen(argv[2], "w");
    if (!out) {
        std::fprintf(stderr, "seg4_embed: cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "// Generated from %s; do not edit.\n", argv[1]);
    std::fprintf(out, "alignas(16) static const unsigned char %s[%zu] = {", argv[3], bytes.size() + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        std::fprintf(out, "%s%u,", (i % 24 == 0) ? "\n" : "", bytes[i]);
    std::fprintf(out, "0};\nstatic const unsigned long %s_size = %zuUL;\n", argv[3], bytes.size());
    return std::fclose(out) == 0 ? 0 : 1;
}
