/* The two dialogs' layout and the main window's tooltips, written once: the
   resource script makes the Windows templates from it, the Qt windows their
   widgets, and both shells register the tooltips from it. Plain macros, so
   that the resource compiler, which runs the C preprocessor, reads it too.

   A list names its dialog's controls in template order, which is also the
   tab order, each as a call of the macro for its kind; whoever expands the
   list passes one macro per kind. Places are in dialog units: x, y, width,
   height. Texts are the Windows ones: "&" marks a mnemonic, "\r\n" a line
   break. */
#ifndef HEAPWISE_DIALOGS_H
#define HEAPWISE_DIALOGS_H

#include "resources/control_ids.h"
#include "resources/version.h"

#define HEAPWISE_MAIN_WINDOW_TITLE "Heapwise - Drop Files to Count"
#define HEAPWISE_MAIN_WINDOW_WIDTH 185
#define HEAPWISE_MAIN_WINDOW_HEIGHT 107

/* LABEL(text, place): a right-aligned label (id IDC_STATIC_LABEL) naming the
   field after it; FIELD(id, place): a read-only result field;
   CHECK_BOX(id, text, place); PUSH_BUTTON(id, text, place);
   STATUS_LINE(id, text, place): a sunken line of text. */
#define HEAPWISE_MAIN_WINDOW_CONTROLS(LABEL, FIELD, CHECK_BOX, PUSH_BUTTON, STATUS_LINE) \
    LABEL("File Count:", 5, 6, 43, 12) \
    FIELD(IDC_FILES_FIELD, 50, 5, 130, 12) \
    LABEL("Folder Count:", 5, 24, 43, 12) \
    FIELD(IDC_FOLDERS_FIELD, 50, 23, 130, 12) \
    LABEL("Total Size:", 5, 42, 43, 12) \
    FIELD(IDC_SIZE_FIELD, 50, 41, 130, 12) \
    LABEL("Max Path:", 5, 60, 43, 12) \
    FIELD(IDC_PATH_FIELD, 50, 59, 130, 12) \
    CHECK_BOX(IDC_ON_TOP_CHECK, "On &Top", 5, 75, 40, 14) \
    PUSH_BUTTON(IDC_ABOUT_BUTTON, "&About", 50, 75, 40, 14) \
    PUSH_BUTTON(IDC_RESET_BUTTON, "&Reset", 95, 75, 40, 14) \
    PUSH_BUTTON(IDC_QUIT_BUTTON, "&Quit", 140, 75, 40, 14) \
    STATUS_LINE(IDC_STATUS_LINE, "Ready", 5, 93, 175, 10)

/* TOOLTIP(control id, text), in the order they are registered. */
#define HEAPWISE_MAIN_WINDOW_TOOLTIPS(TOOLTIP) \
    TOOLTIP(IDC_FILES_FIELD, "R = Read-Only, S = System, H = Hidden") \
    TOOLTIP(IDC_FOLDERS_FIELD, "Depth is max relative / absolute folder nesting depth") \
    TOOLTIP(IDC_PATH_FIELD, "Max relative / absolute path length in characters") \
    TOOLTIP(IDC_ON_TOP_CHECK, "Keep Heapwise window on top") \
    TOOLTIP(IDC_RESET_BUTTON, "Reset all counts")

#define HEAPWISE_ABOUT_BOX_TITLE "Heapwise"
#define HEAPWISE_ABOUT_BOX_WIDTH 200
#define HEAPWISE_ABOUT_BOX_HEIGHT 130

/* ICON(resource id, place): the icon at its own size; RIGHT_TEXT(text,
   place) and CENTRED_TEXT(text, place): lines of text; RULE(place): a sunken
   line; PUSH_BUTTON(id, text, place); DEFAULT_BUTTON(id, text, place): the
   button Enter presses. Every static item has id IDC_STATIC_LABEL. */
#define HEAPWISE_ABOUT_BOX_CONTROLS(ICON, RIGHT_TEXT, RULE, CENTRED_TEXT, PUSH_BUTTON, DEFAULT_BUTTON) \
    ICON(IDI_HEAPWISE, 10, 6, 32, 32) \
    RIGHT_TEXT("Heapwise v" HEAPWISE_VERSION "\r\n" HEAPWISE_COPYRIGHT_1 "\r\n" HEAPWISE_COPYRIGHT_2, \
               50, 5, 140, 28) \
    RULE(10, 35, 180, 1) \
    CENTRED_TEXT("Simple tool to count files and find max folder depth.\r\nFor more information please visit:", \
                 10, 50, 180, 30) \
    PUSH_BUTTON(IDC_ADDRESS_BUTTON, HEAPWISE_WEB_ADDRESS, 40, 80, 120, 14) \
    DEFAULT_BUTTON(IDC_OK_BUTTON, "OK", 75, 110, 50, 14)

#endif
