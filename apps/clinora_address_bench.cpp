// clinora-address-bench: how long reading an address file takes at start-up.
// Writes a large pool file into a temporary folder (addresses 0..65534 over
// and over, as a file that kept growing would hold them, then the same size of
// lines that all differ) and times ReadAddressList on each.
//
// usage: clinora-address-bench [--mb N]   (default 50)
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/address_lists.h"

namespace {

// Writes header and lines from `next` until the file holds `bytes` bytes;
// returns the number of lines after the header.
template <class Next>
long WriteFile(const std::string& path, long bytes, Next next) {
    std::string text = std::string(clinora::kPoolAddressHeader) + "\r\n";
    long lines = 0;
    while (static_cast<long>(text.size()) < bytes) {
        text += next(lines++);
        text += "\r\n";
    }
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    return lines;
}

// Processor time of this thread, in seconds: on a busy machine it says more
// than the wall time.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Time(const char* what, const std::string& path, long lines) {
    std::vector<std::string> list;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadSeconds();
    clinora::ReadAddressList(path, list);
    const double cpu = ThreadSeconds() - cpuStart;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    std::printf("%-20s %5.1f MB %8ld lines -> %8zu entries: %.3f s (processor %.3f s)\n", what,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6, lines, list.size(),
                wall.count(), cpu);
}

}  // namespace

int main(int argc, char** argv) {
    long megabytes = 50;
    if (argc == 3 && std::strcmp(argv[1], "--mb") == 0) megabytes = std::atol(argv[2]);
    if (megabytes <= 0 || (argc != 1 && argc != 3)) {
        std::fprintf(stderr, "usage: %s [--mb N]\n", argv[0]);
        return 2;
    }
    std::string folder = (std::filesystem::temp_directory_path() / "clinora-address-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = folder + "/" + clinora::kPoolAddressFile;
    const long bytes = megabytes * 1000000;

    long lines = WriteFile(path, bytes, [](long i) { return std::to_string(i % 65535); });
    Time("repeating addresses", path, lines);
    lines = WriteFile(path, bytes, [](long i) { return std::to_string(i); });
    Time("all lines different", path, lines);

    std::filesystem::remove_all(folder);
    return 0;
}
