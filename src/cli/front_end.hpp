#pragma once

namespace darvex {

// The whole tool: prints the usage text, or extracts the archive named by argv[1] into the
// directory beside it. Returns the process's exit status.
int run_front_end(int argc, char** argv);

}  // namespace darvex
