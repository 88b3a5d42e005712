// icongen ico FILE        writes the Windows icon file
// icongen png SIZE FILE   writes the icon as a SIZE x SIZE PNG (16 to 1024)
#include "icon_files.h"
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool write_file(const char* path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

int parse_size(const char* text) {
    char* end = nullptr;
    const long size = std::strtol(text, &end, 10);
    return *end == '\0' && size >= 16 && size <= 1024 ? int(size) : 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string kind = argc > 1 ? argv[1] : "";
    std::vector<std::uint8_t> bytes;
    const char* path = nullptr;
    if (kind == "ico" && argc == 3) {
        bytes = icon_ico();
        path = argv[2];
    } else if (kind == "png" && argc == 4 && parse_size(argv[2]) != 0) {
        bytes = icon_png(parse_size(argv[2]));
        path = argv[3];
    } else {
        std::fputs("usage: icongen ico FILE | icongen png SIZE FILE\n", stderr);
        return 2;
    }
    if (bytes.empty() || !write_file(path, bytes)) {
        std::fprintf(stderr, "icongen: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
