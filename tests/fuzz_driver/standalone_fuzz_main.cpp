// A small stand-in for libFuzzer's driver, for compilers without -fsanitize=fuzzer (g++).
// It feeds LLVMFuzzerTestOneInput the files named on the command line, then random
// mutations of them (and of empty input) until -runs=N or -max_total_time=S is reached.
// Under ASan/UBSan any fault aborts the run. Coverage-guided fuzzing uses clang's
// libFuzzer with the same target sources (see cmake/QlyTesting.cmake).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Mutate(std::vector<uint8_t>& v, std::mt19937_64& rng) {
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < edits; ++i) {
        switch (rng() % 5) {
            case 0:
                if (!v.empty())
                    v[rng() % v.size()] = static_cast<uint8_t>(rng());
                break;
            case 1:
                v.insert(v.begin() + static_cast<long>(v.empty() ? 0 : rng() % v.size()),
                         static_cast<uint8_t>(rng()));
                break;
            case 2:
                if (!v.empty())
                    v.erase(v.begin() + static_cast<long>(rng() % v.size()));
                break;
            case 3:
                if (!v.empty())
                    v.resize(rng() % v.size());
                break;
            default: {
                // Interesting integers at a random place: sizes and lengths live there.
                static const uint32_t kValues[] = {0,          1,          0x7f,      0x80,
                                                   0xff,       0x100,      0xffff,    0x10000,
                                                   0x7fffffff, 0x80000000, 0xffffffff};
                uint32_t x = kValues[rng() % (sizeof kValues / sizeof kValues[0])];
                size_t at = v.empty() ? 0 : rng() % v.size();
                if (v.size() < at + 4)
                    v.resize(at + 4);
                std::memcpy(v.data() + at, &x, 4);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 20000;
    double seconds = 0;
    std::vector<std::vector<uint8_t>> seeds{{}};
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-runs=", 6) == 0) {
            runs = std::atol(argv[i] + 6);
        } else if (std::strncmp(argv[i], "-max_total_time=", 16) == 0) {
            seconds = std::atof(argv[i] + 16);
            runs = -1;
        } else if (argv[i][0] != '-') {
            seeds.push_back(ReadFile(argv[i]));
        }
    }
    for (auto& s : seeds)
        LLVMFuzzerTestOneInput(s.data(), s.size());
    std::mt19937_64 rng(12345);
    const auto start = std::chrono::steady_clock::now();
    long done = 0;
    for (;; ++done) {
        if (runs >= 0 && done >= runs)
            break;
        if (runs < 0 && (done & 255) == 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
                seconds)
            break;
        std::vector<uint8_t> v = seeds[rng() % seeds.size()];
        Mutate(v, rng);
        if (v.size() < 4096 && rng() % 16 == 0)
            seeds.push_back(v);
        LLVMFuzzerTestOneInput(v.data(), v.size());
    }
    std::printf("fuzz: %ld inputs, no fault\n", done);
    return 0;
}
