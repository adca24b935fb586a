// `heapwise --print`: counts the named paths as one argument request and
// prints the four result texts (or every count as JSON) on standard output.
#pragma once

// Returns the process exit code: 0, 1 when something could not be read or
// the output could not be written, 2 for a usage error.
int run_print_mode(int argc, char** argv);
