// The two dialogs of resources/dialogs.h as records, for the shells that
// build their windows in code and for the tooltips every shell registers.
#pragma once

#include <span>

#include "resources/dialogs.h"

enum class ControlKind {
    label,           // names the field after it
    field,           // a read-only result field
    check_box,
    push_button,
    default_button,  // the button Enter presses
    status_line,
    icon,            // the program's icon at its own size
    right_text,
    centred_text,
    rule,            // a sunken horizontal line
};

// One control of a template; `text` is empty for fields, the icon and the rule.
struct DialogControl {
    ControlKind kind;
    int id;
    const char* text;
    int x, y, width, height;
};

struct DialogTemplate {
    const char* title;
    int width, height;
    std::span<const DialogControl> controls;
};

struct Tooltip {
    int control;
    const char* text;
};

namespace dialog_records {

#define HEAPWISE_RECORD_LABEL(text, x, y, w, h) {ControlKind::label, IDC_STATIC_LABEL, text, x, y, w, h},
#define HEAPWISE_RECORD_FIELD(id, x, y, w, h) {ControlKind::field, id, "", x, y, w, h},
#define HEAPWISE_RECORD_CHECK_BOX(id, text, x, y, w, h) {ControlKind::check_box, id, text, x, y, w, h},
#define HEAPWISE_RECORD_PUSH_BUTTON(id, text, x, y, w, h) {ControlKind::push_button, id, text, x, y, w, h},
#define HEAPWISE_RECORD_DEFAULT_BUTTON(id, text, x, y, w, h) {ControlKind::default_button, id, text, x, y, w, h},
#define HEAPWISE_RECORD_STATUS_LINE(id, text, x, y, w, h) {ControlKind::status_line, id, text, x, y, w, h},
#define HEAPWISE_RECORD_ICON(resource, x, y, w, h) {ControlKind::icon, IDC_STATIC_LABEL, "", x, y, w, h},
#define HEAPWISE_RECORD_RIGHT_TEXT(text, x, y, w, h) {ControlKind::right_text, IDC_STATIC_LABEL, text, x, y, w, h},
#define HEAPWISE_RECORD_CENTRED_TEXT(text, x, y, w, h) \
    {ControlKind::centred_text, IDC_STATIC_LABEL, text, x, y, w, h},
#define HEAPWISE_RECORD_RULE(x, y, w, h) {ControlKind::rule, IDC_STATIC_LABEL, "", x, y, w, h},
#define HEAPWISE_RECORD_TOOLTIP(id, text) {id, text},

inline constexpr DialogControl main_window[] = {HEAPWISE_MAIN_WINDOW_CONTROLS(
    HEAPWISE_RECORD_LABEL, HEAPWISE_RECORD_FIELD, HEAPWISE_RECORD_CHECK_BOX, HEAPWISE_RECORD_PUSH_BUTTON,
    HEAPWISE_RECORD_STATUS_LINE)};
inline constexpr DialogControl about_box[] = {HEAPWISE_ABOUT_BOX_CONTROLS(
    HEAPWISE_RECORD_ICON, HEAPWISE_RECORD_RIGHT_TEXT, HEAPWISE_RECORD_RULE, HEAPWISE_RECORD_CENTRED_TEXT,
    HEAPWISE_RECORD_PUSH_BUTTON, HEAPWISE_RECORD_DEFAULT_BUTTON)};

}  // namespace dialog_records

inline constexpr Tooltip main_window_tooltips[] = {HEAPWISE_MAIN_WINDOW_TOOLTIPS(HEAPWISE_RECORD_TOOLTIP)};

#undef HEAPWISE_RECORD_LABEL
#undef HEAPWISE_RECORD_FIELD
#undef HEAPWISE_RECORD_CHECK_BOX
#undef HEAPWISE_RECORD_PUSH_BUTTON
#undef HEAPWISE_RECORD_DEFAULT_BUTTON
#undef HEAPWISE_RECORD_STATUS_LINE
#undef HEAPWISE_RECORD_ICON
#undef HEAPWISE_RECORD_RIGHT_TEXT
#undef HEAPWISE_RECORD_CENTRED_TEXT
#undef HEAPWISE_RECORD_RULE
#undef HEAPWISE_RECORD_TOOLTIP

inline constexpr DialogTemplate main_window_template = {
    HEAPWISE_MAIN_WINDOW_TITLE, HEAPWISE_MAIN_WINDOW_WIDTH, HEAPWISE_MAIN_WINDOW_HEIGHT, dialog_records::main_window};
inline constexpr DialogTemplate about_box_template = {
    HEAPWISE_ABOUT_BOX_TITLE, HEAPWISE_ABOUT_BOX_WIDTH, HEAPWISE_ABOUT_BOX_HEIGHT, dialog_records::about_box};
