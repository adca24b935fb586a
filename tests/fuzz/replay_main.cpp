// Runs a fuzz target over the files of its corpus folders, for builds
// without libFuzzer: every input that once mattered is tried on every commit.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool run_file(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(file);
    // A vector of exactly the input's size, so a read past it is caught.
    std::vector<uint8_t> input(bytes);
    LLVMFuzzerTestOneInput(input.data(), input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        DIR* folder = opendir(argv[i]);
        if (folder == nullptr) {
            fprintf(stderr, "cannot open corpus folder %s\n", argv[i]);
            return 1;
        }
        while (const dirent* entry = readdir(folder)) {
            if (entry->d_name[0] == '.') continue;
            if (!run_file(std::string(argv[i]) + "/" + entry->d_name)) {
                fprintf(stderr, "cannot read %s/%s\n", argv[i], entry->d_name);
                return 1;
            }
            ++inputs;
        }
        closedir(folder);
    }
    printf("%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
