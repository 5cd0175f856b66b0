// A file the engine's readers can take. They measure a file before they trust
// its counts, which a pipe does not allow; what comes through a pipe (or any
// other stream that is not a regular file) is copied first, up to 2 GiB, into a
// temporary file that has no name (so nothing stays behind, however the run
// ends) and is read through /proc/self/fd; it goes with the InputFile.
#pragma once

#include <string>

class InputFile {
public:
    // `path` itself when it is a regular file or names nothing (the reader
    // then says so, and finds a name that differs only in case as the engine
    // does); else the name of the temporary copy of everything read from it.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Empty when the stream could not be read or copied; Error() says why.
    const std::string& Path() const { return path; }
    const std::string& Error() const { return error; }

private:
    std::string path;
    int copy = -1;  // the temporary file's descriptor, if one was made
    std::string error;
};
