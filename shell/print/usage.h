// What the program says about its command line, written once: `heapwise
// --help` prints it (write_usage) and the manual page is made from it
// (make_manual.cpp), so the two cannot drift apart. A new option is one entry
// in usage_options, and its parsing in print_mode.cpp.
#pragma once

#include <cstdio>

// A term and what it means. In a term, a word that begins with '-' is typed as
// written and a word in capitals (PATH, N) stands for what the user gives; the
// manual sets them in bold and in italics.
struct UsageEntry {
    const char* term;
    const char* text;
};

// The ways to start the program, each after "heapwise".
inline constexpr const char* usage_forms[] = {
    "[--] [PATH...]",
    "--print [--json] [--jobs N] [--] PATH...",
};

// Paragraphs of plain text, wrapped by whoever prints them.
inline constexpr const char* usage_description[] = {
    "Count the files and folders below each PATH: how many, which are read-only (R), system "
    "(S: devices, FIFOs, sockets) or hidden (H), their total size, the deepest folder nesting and the "
    "longest path. Counts add up over every PATH.",
    "Without an option, heapwise opens a window that counts each PATH and whatever is dropped on it, "
    "where a display is present (DISPLAY or WAYLAND_DISPLAY set); Qt's own options (-style, -platform, "
    "-reverse and the like) may come before the paths. With an option below, or without a display that "
    "can be opened, it counts in the terminal and prints the results.",
};

inline constexpr UsageEntry usage_options[] = {
    {"--print", "count in the terminal and print the results"},
    {"--json", "print every count as one JSON object instead"},
    {"--jobs N", "walk with N threads at once (1 to 64), wherever the path lies; by default one per "
                 "processor, but at least 4 and at most 16, one for a path on a rotating disk and 32 for a path "
                 "on a network or FUSE file system (NFS, SMB, sshfs)"},
    {"-h, --help", "show this help and exit"},
    {"--version", "show the version and exit"},
    {"--", "end of the options: every argument after it is a PATH, even one that begins with '-'"},
};

inline constexpr UsageEntry usage_exit_codes[] = {
    {"0", "everything was read"},
    {"1", "something could not be read (each is named on standard error), or the output could not be "
          "written"},
    {"2", "a usage error"},
};

// Writes the --help text, wrapped to 80 columns.
void write_usage(FILE* stream);
