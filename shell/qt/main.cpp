// The window program's entry (heapwise-window, which heapwise starts where a
// display is present): the main window, counting the paths named on the
// command line.
#include <unistd.h>

#include <QCoreApplication>

#include <cstdio>

#include "core/requests.h"
#include "shell/qt/start_up.h"

int main(int argc, char** argv)
{
    start_window_program(argc, argv);
    QCoreApplication::exec();
    release_argument_list();

    // Workers may still be walking, or waiting for a window thread that no
    // longer serves them: end the process without waiting for them and
    // without running destructors under their feet.
    fflush(nullptr);
    _exit(0);
}
