// The engine's exceptions. Failures of the platform and of files travel as
// these, carrying a text a person can read; user mistakes at the console
// become console lines instead, and programming errors are assertions.
#pragma once

#include <stdexcept>
#include <string>

namespace orbel2 {

// Base of the engine's own exceptions; never raised by itself.
class OB_EGeneric : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An input/output failure of a disk file (the log, a recording): the message
// names the file and gives the system's reason.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An index outside a list's entries: the message names the index.
class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

}   // namespace orbel2
