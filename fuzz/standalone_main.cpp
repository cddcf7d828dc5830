// Runs a fuzz target over files or folders of inputs without libFuzzer, so the
// seed corpus is exercised in every test run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

int main(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p))
                if (e.is_regular_file()) {
                    RunFile(e.path());
                    ++count;
                }
        } else if (std::filesystem::exists(p)) {
            RunFile(p);
            ++count;
        }
    }
    // The empty input is always worth a run.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("ran %d inputs\n", count + 1);
    return 0;
}
