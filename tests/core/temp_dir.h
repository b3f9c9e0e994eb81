// A folder of a test's own, removed with all it holds when the test ends. Without Qt, so that
// the tests that use it run in every build, the Windows one included.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace k740test {

class TempDir {
public:
    TempDir() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        if (error) return;
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path candidate = base / ("k740-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
        }
    }
    ~TempDir() {
        std::error_code error;
        if (!path_.empty()) std::filesystem::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool isValid() const { return !path_.empty(); }
    std::string path() const { return path_.string(); }
    std::string filePath(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace k740test
