// The Linux program's entry. Until the window exists, every start counts in
// the terminal.
#include "shell/print/print_mode.h"

int main(int argc, char** argv)
{
    return run_print_mode(argc, argv);
}
