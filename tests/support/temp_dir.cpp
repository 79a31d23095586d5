#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
    static std::mt19937_64 random(std::random_device{}() ^
                                  static_cast<std::uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "vantor-test-" << std::hex << random();
        const fs::path candidate = base / name.str();
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.lexically_normal().make_preferred().string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder in " + base.string());
}

TempDir::~TempDir() {
    std::error_code error;
    // Windows refuses to delete read-only files: make everything writable first.
    for (fs::recursive_directory_iterator it(path_, error), end; !error && it != end;
         it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
        error.clear();
    }
    fs::remove_all(path_, error);
}

std::string TempDir::File(std::string_view name) const {
    return (fs::path(path_) / fs::path(std::string(name)).make_preferred()).string();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw std::runtime_error("cannot read " + path);
    return bytes.str();
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::path(path), error);
}

}  // namespace testsupport
