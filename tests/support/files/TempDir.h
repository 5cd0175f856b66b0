// A fresh directory for a test's files, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path; }
    std::string File(const std::string& name) const { return (path / name).string(); }
    // Writes `bytes` to the file `name` in the directory; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // The whole content of a file, or "<missing>" when it cannot be read.
    static std::string Read(const std::string& file);
    // The names of what the directory holds, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path path;
};

// Makes a directory current for the lifetime of the object.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::filesystem::path& dir);
    ~ScopedCurrentDir();

private:
    std::filesystem::path previous;
};
