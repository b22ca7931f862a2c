// Names nobody can foresee, for files and folders an elevated run makes where
// a user could otherwise plant something first.
#pragma once

#include <cstddef>
#include <string>

// bytes random bytes from the system's random source as lower-case hex
// digits (two a byte); empty when the source fails.
std::wstring RandomHex(size_t bytes);
