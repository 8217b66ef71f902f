#pragma once
// The system's requests that the program end (SIGTERM, SIGINT, SIGHUP), turned into something an
// event loop can watch: the handler only writes a byte into a pipe, whose other end becomes
// readable. The program then ends in its own time, as when the user closes it.

#include <string>

namespace zel {

// Installs the handlers and returns the pipe's read end; -1 with `error` set when it cannot.
int WatchStopSignals(std::string& error);

}  // namespace zel
