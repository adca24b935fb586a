// Qt's own command-line options (-style fusion, -platform xcb, -reverse...):
// where they come before the paths, the window program hands them to Qt and
// counts only what follows; the terminal mode has no use for them. And the
// environment that says which display Qt would open.
#pragma once

#include <cstdlib>
#include <cstring>

// Whether the environment variable `name` is set to something (DISPLAY,
// WAYLAND_DISPLAY, QT_QPA_PLATFORM...): set but empty counts as not set.
inline bool is_set(const char* name)
{
    const char* value = getenv(name);
    return value != nullptr && value[0] != '\0';
}

// How many arguments Qt's option at argv[i] takes up (itself and its value),
// or 0 when argv[i] is none of Qt's options.
inline int qt_option_span(int argc, char** argv, int i)
{
    struct QtOption {
        const char* name;
        bool takes_value;
        bool value_after_equals;  // -style=fusion as well as -style fusion
    };
    static constexpr QtOption options[] = {
        {"-platform", true, false},      {"-platformpluginpath", true, false}, {"-platformtheme", true, false},
        {"-plugin", true, false},        {"-qwindowgeometry", true, false},    {"-qwindowicon", true, false},
        {"-qwindowtitle", true, false},  {"-session", true, false},           {"-display", true, false},
        {"-geometry", true, false},      {"-style", true, true},              {"-stylesheet", true, true},
        {"-qmljsdebugger", true, true},  {"-reverse", false, false},          {"-widgetcount", false, false},
    };
    const char* argument = argv[i];
    for (const QtOption& option : options) {
        const size_t len = strlen(option.name);
        if (strncmp(argument, option.name, len) != 0) continue;
        if (argument[len] == '\0') return !option.takes_value ? 1 : i + 1 < argc ? 2 : 0;
        if (argument[len] == '=' && option.value_after_equals) return 1;
    }
    return 0;
}

// How many of the arguments after the program's name are Qt's options, all
// of them before the first argument that is not one.
inline int leading_qt_options(int argc, char** argv)
{
    int i = 1;
    for (int span; i < argc && (span = qt_option_span(argc, argv, i)) > 0;) i += span;
    return i - 1;
}

// The arguments after Qt's `qt_options` leading ones, the program's name
// moved up to stand before them (over the last of Qt's).
inline char** after_qt_options(char** argv, int qt_options)
{
    argv[qt_options] = argv[0];
    return argv + qt_options;
}
