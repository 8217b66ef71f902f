// Linked into a program, puts its standard streams into binary mode before main runs: texts go
// out exactly as they are, without a CR added before each LF or a Ctrl-Z taken for the end.

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

const bool binaryStandardStreams = [] {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return true;
}();

}  // namespace
