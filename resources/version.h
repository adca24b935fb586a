/* The program's version, shared by the About box, the version resource and
   the terminal mode. */
#ifndef HEAPWISE_VERSION_H
#define HEAPWISE_VERSION_H

#define HEAPWISE_VERSION "1.05"
#define HEAPWISE_VERSION_COMMAS 1, 5, 0, 0

#endif
