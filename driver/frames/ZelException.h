#pragma once

#include <exception>

// Common base of the system's own exceptions. They serve only as local flow inside one operation
// and carry no message text.
class EZelException : public std::exception {};
