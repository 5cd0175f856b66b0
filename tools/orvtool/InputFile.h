// A file the engine's readers can take. They measure a file before they trust
// its counts, which a pipe does not allow; what comes through a pipe (or any
// other stream that is not a regular file) is copied into a temporary file
// first, removed again when the InputFile goes.
#pragma once

#include <string>

class InputFile {
public:
    // `path` itself when it is a regular file or names nothing (the reader
    // then says so, and finds a name that differs only in case as the engine
    // does); else the temporary copy of everything read from it.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Empty when the stream could not be read or copied; Error() says why.
    const std::string& Path() const { return path; }
    const std::string& Error() const { return error; }

private:
    std::string path;
    std::string copy;  // the temporary file, if one was made
    std::string error;
};
