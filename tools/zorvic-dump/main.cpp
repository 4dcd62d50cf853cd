// zorvic-dump: decodes captured connection bytes and encodes single
// messages; see Dump.h and `zorvic-dump --help`.

#include <string>
#include <vector>

#include "Dump.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zdump::Run(args, zdump::Io{});
}
