/* The program's version, shared by the About box, the version resource and
   the terminal mode. */
#ifndef HEAPWISE_VERSION_H
#define HEAPWISE_VERSION_H

#define HEAPWISE_VERSION "1.05"
#define HEAPWISE_VERSION_COMMAS 1, 5, 0, 0

/* The maker's page: the About box's button shows it and opens it. */
#define HEAPWISE_WEB_ADDRESS "https://heapwise.example.org/"
#define HEAPWISE_COPYRIGHT_1 "(c) 2026 Heapwise developers"
#define HEAPWISE_COPYRIGHT_2 "Free to use and share."

#endif
