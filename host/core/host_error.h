// The host's one error channel: anything that goes wrong in its own work (a
// record refused, a picture that cannot be read, a file that cannot be
// written) is thrown as a HostError whose text is meant for the user.
#pragma once

#include <stdexcept>
#include <string>

class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
