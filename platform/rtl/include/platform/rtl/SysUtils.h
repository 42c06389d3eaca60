#pragma once
// The runtime's exception classes and program-path helpers. Strings are UTF-8.

#include <stdexcept>
#include <string>

// Base of every exception the application's default handler shows in a message box.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be created, opened, read or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

namespace rtl {

// The folder of the running executable, with its trailing slash.
std::string ExecutableFolder();

// Finds a file in Folder whatever the case of Name's letters: the exact name first, then the
// first entry that matches ignoring ASCII case. Returns the path to use, or empty when none.
// Folder empty means the current directory.
std::string FindFileNoCase(const std::string& Name, const std::string& Folder = {});

} // namespace rtl
