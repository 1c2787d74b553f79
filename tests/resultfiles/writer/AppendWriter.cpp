#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "AppendRecordFormat.h"
#include "platform/AppendFile.h"

// append_writer PATH WRITER FIRST_SEQ: appends records until killed; after each one that
// AppendRecord reported written, its number goes to stdout (one unbuffered line).
int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string path = argv[1];
  const int writer = std::atoi(argv[2]);
  for (uint64_t seq = std::strtoull(argv[3], nullptr, 10);; ++seq) {
    if (!AppendRecord(path, appendtest::Record(writer, seq)).empty()) return 1;
    const std::string line = std::to_string(seq) + "\n";
    if (::write(1, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
  }
}
