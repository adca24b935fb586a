// `heapwise --print` run as a user runs it: what it prints on standard output and standard error, and
// its exit code, for real trees, unreadable paths, options, a terminal on standard error, output that
// cannot be written and locales.
#include <fcntl.h>
#include <locale.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wchar.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "resources/version.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

namespace {

using Outcome = ProgramOutcome;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

struct RunOptions {
    std::string locale = "C";
    std::string directory;      // working directory; empty for ours
    bool unprivileged = false;  // folder permissions hold even for root
    bool terminal = false;      // standard error is a pseudo-terminal
    std::string term = "xterm";  // TERM; empty leaves it unset
    unsigned short columns = 0;  // its width; 0 leaves it unknown
    // Folders of this name make the walk wait half a second before opening them (a preloaded
    // library), so the progress line shows them; where `slow_columns` is not 0, the terminal takes
    // that width at the second of them.
    std::string slow_folder;
    unsigned short slow_columns = 0;
    int signal = 0;  // sent by the program to itself once the first slow folder shows; negative: ignored
    std::string output;  // standard output: a pipe when empty, "closed", or a file opened for writing
};

const char* setpriv_program()
{
    for (const char* candidate : {"/usr/bin/setpriv", "/bin/setpriv"})
        if (access(candidate, X_OK) == 0) return candidate;
    return nullptr;
}

Outcome run_heapwise(const std::vector<std::string>& arguments, const RunOptions& options = {})
{
    ProgramLaunch launch;
    if (options.unprivileged && geteuid() == 0) {
        // Dropped from the bounding set too, or root would regain them at exec.
        launch.argv = {setpriv_program(), "--inh-caps=-dac_override,-dac_read_search",
                       "--bounding-set=-dac_override,-dac_read_search", "--"};
    }
    launch.argv.push_back(HEAPWISE_PROGRAM);
    launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
    launch.environment =
        inherited_environment({"PATH", "TMPDIR", "LOCPATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"});
    launch.environment.push_back("LC_ALL=" + options.locale);
    if (!options.term.empty()) launch.environment.push_back("TERM=" + options.term);
    if (!options.slow_folder.empty()) {
        launch.environment.push_back("LD_PRELOAD=" HEAPWISE_FAULT_SHIM);
        launch.environment.push_back("HEAPWISE_FAULT=slow_open");
        launch.environment.push_back("HEAPWISE_FAULT_NAME=" + options.slow_folder);
        if (options.slow_columns != 0)
            launch.environment.push_back("HEAPWISE_FAULT_COLUMNS=" + std::to_string(options.slow_columns));
        if (options.signal != 0)
            launch.environment.push_back("HEAPWISE_FAULT_SIGNAL=" + std::to_string(abs(options.signal)));
    }
    launch.directory = options.directory;
    launch.terminal = options.terminal;
    launch.terminal_columns = options.columns;
    const std::string output = options.output;
    const int ignored = -options.signal;
    launch.prepare = [output, ignored] {
        for (const int s : {SIGINT, SIGTERM}) signal(s, s == ignored ? SIG_IGN : SIG_DFL);  // as a shell leaves them
        if (output.empty()) return true;
        if (output == "closed") return close(STDOUT_FILENO) == 0;
        const int fd = open(output.c_str(), O_WRONLY);
        return fd >= 0 && dup2(fd, STDOUT_FILENO) == STDOUT_FILENO;
    };
    return run_program(launch);
}

uint32_t separators(const std::string& path)
{
    uint32_t count = 0;
    for (char c : path) count += c == '/';
    return count;
}

std::string number(uint64_t value)
{
    return std::to_string(value);
}

using Fields = std::map<std::string, std::string>;

// The fields of --json output, values as written. Fails the test unless the text is one object of
// "name": integer pairs and a line end, nothing else.
Fields json_fields(const std::string& text)
{
    Fields fields;
    std::string compact;
    for (char c : text)
        if (!isspace(static_cast<unsigned char>(c))) compact += c;
    bool well_formed = text.ends_with("}\n") && compact.starts_with("{\"");
    std::istringstream pairs(compact.substr(1, compact.size() - 2));
    for (std::string pair; well_formed && std::getline(pairs, pair, ',');) {
        const size_t colon = pair.find("\":");
        const std::string value = colon == std::string::npos ? "" : pair.substr(colon + 2);
        well_formed = !pair.empty() && pair.front() == '"' && !value.empty() &&
                      value.find_first_not_of("0123456789") == std::string::npos &&
                      fields.emplace(pair.substr(1, colon - 1), value).second;
    }
    if (!well_formed) ADD_FAILURE() << "not one object of name: integer pairs:\n" << text;
    return fields;
}

class PrintModeTest : public testing::Test {
protected:
    void SetUp() override { umask(022); }  // the modes below are the modes the tree gets
    TempTree tree;
};

TEST_F(PrintModeTest, PrintsTheFourResultLinesWithPaddedLabels)
{
    tree.folder("sub");
    tree.file("sub/ro.txt", 1134, 0444);
    tree.file(".hid", 100);
    const std::string root = tree.root();
    const std::string expected = "File Count:   2  (RH)\n"
                                 "Folder Count: 2  (depth 2 / " + number(2 + separators(root)) + ")\n"
                                 "Total Size:   1,234 bytes  (1.2 KB)\n"
                                 "Max Path:     11 / " + number(root.size() + 11) + "\n";

    const Outcome printed = run_heapwise({"--print", root});
    EXPECT_EQ(printed.out, expected);
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(printed.exit_code, 0);

    // Until the window exists, no option at all means --print.
    EXPECT_EQ(run_heapwise({root}).out, expected);
}

TEST_F(PrintModeTest, JsonHasEveryTallyFieldAsPlainIntegers)
{
    tree.folder(".cfg");
    tree.file(".cfg/x", 10);
    tree.file(".h", 1);
    tree.folder("ro");
    tree.folder("ro/deep");
    tree.file("ro/deep/f", 0, 0444);
    tree.chmod("ro", 0555);
    tree.fifo("pipe");
    tree.socket("sock");
    tree.sparse_file("big", 5ull << 30);
    tree.symlink("link", "big");  // counted as a file of its own 3 bytes
    const std::string root = tree.root();

    const Outcome printed = run_heapwise({"--print", "--json", root});
    EXPECT_EQ(printed.exit_code, 0);
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(json_fields(printed.out),
              (Fields{{"file_count", "7"}, {"files_read_only", "1"}, {"files_system", "2"}, {"files_hidden", "1"},
                      {"folder_count", "4"}, {"folders_read_only", "1"}, {"folders_system", "0"},
                      {"folders_hidden", "1"}, {"total_bytes", number((5ull << 30) + 10 + 1 + 3)},
                      {"max_rel_depth", "3"}, {"max_abs_depth", number(3 + separators(root))},
                      {"max_rel_path", "10"}, {"max_abs_path", number(root.size() + 10)}}));
    // However many walk, the counts are those of one walker.
    for (const std::vector<std::string>& jobs : {std::vector<std::string>{"--jobs", "1"}, {"--jobs=2"}, {"--jobs=7"}}) {
        std::vector<std::string> arguments = jobs;
        arguments.insert(arguments.end(), {"--json", root});
        EXPECT_EQ(run_heapwise(arguments).out, printed.out) << jobs.back();
    }
}

TEST_F(PrintModeTest, MissingPathIsNamedAndResultsStillPrinted)
{
    tree.file(".hid", 100);
    const std::string missing = tree.path("missing");

    const Outcome printed = run_heapwise({"--print", missing, tree.path(".hid")});
    EXPECT_EQ(printed.err, "heapwise: cannot read '" + missing + "': No such file or directory\n");
    // The missing path still counts towards the longest path.
    EXPECT_EQ(printed.out, "File Count:   1  (H)\n"
                           "Folder Count: 0  (depth 0 / 0)\n"
                           "Total Size:   100 bytes  (0.0 KB)\n"
                           "Max Path:     0 / " + number(missing.size()) + "\n");
    EXPECT_EQ(printed.exit_code, 1);
}

struct UnreadableCase {
    const char* name;
    mode_t mode;
    const char* report;  // what stderr says, "%s" standing for the folder
};

void PrintTo(const UnreadableCase& c, std::ostream* out)
{
    *out << c.name;
}

class UnreadableFolderBelow : public PrintModeTest, public testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableFolderBelow, IsNamedOnStderrAndExitsOne)
{
    if (geteuid() == 0 && setpriv_program() == nullptr) GTEST_SKIP() << "setpriv is needed to drop root's access";
    tree.folder("open");
    tree.folder("locked");
    tree.file("locked/inner", 5);
    tree.chmod("locked", GetParam().mode);
    const std::string locked = tree.path("locked");

    // With full access (as root) everything is read: the failure below comes from the permissions.
    if (geteuid() == 0) {
        const Outcome privileged = run_heapwise({"--json", tree.root()});
        EXPECT_EQ(privileged.exit_code, 0);
        EXPECT_EQ(json_fields(privileged.out)["file_count"], "1");
    }

    RunOptions options;
    options.unprivileged = true;
    const Outcome printed = run_heapwise({"--json", tree.root()}, options);
    std::string report = GetParam().report;
    report.replace(report.find("%s"), 2, locked);
    EXPECT_EQ(printed.err, report);
    EXPECT_EQ(printed.exit_code, 1);
    // The folder itself still counts; nothing below it does.
    const Fields fields = json_fields(printed.out);
    EXPECT_EQ(fields.at("folder_count"), "3");
    EXPECT_EQ(fields.at("file_count"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, UnreadableFolderBelow,
    testing::Values(
        UnreadableCase{"NotListable", 0000, "heapwise: cannot list folder '%s': Permission denied\n"},
        UnreadableCase{"ListableNotSearchable", 0444, "heapwise: cannot read '%s/inner': Permission denied\n"}),
    [](const testing::TestParamInfo<UnreadableCase>& param) { return std::string(param.param.name); });

TEST_F(PrintModeTest, UnknownOptionExitsTwoWithOneLineHint)
{
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--bogus", tree.root()}, "--bogus"},
        {{"-v", tree.root()}, "-v"},
        {{"--print", "--jsn", tree.root()}, "--jsn"},
        // A file named so, reaching the command line through a wildcard, must not retitle and clear
        // the terminal.
        {{"-\033]2;x\a\033[2J", tree.root()}, "-?]2;x??[2J"},
        {{"--jobs", "0", tree.root()}, "0"},
        {{"--jobs", "4x", tree.root()}, "4x"},
        {{"--jobs=65", tree.root()}, "--jobs=65"},
    };
    for (const auto& [arguments, shown] : rows) {
        SCOPED_TRACE(shown);
        const Outcome printed = run_heapwise(arguments);
        EXPECT_EQ(printed.exit_code, 2);
        EXPECT_EQ(printed.out, "");
        ASSERT_FALSE(printed.err.empty());
        EXPECT_EQ(printed.err.back(), '\n');
        EXPECT_EQ(std::find_if(printed.err.begin(), printed.err.end() - 1,
                               [](char c) { return iscntrl(static_cast<unsigned char>(c)); }),
                  printed.err.end() - 1)
            << printed.err;
        EXPECT_NE(printed.err.find(shown), std::string::npos) << printed.err;
        EXPECT_NE(printed.err.find("--help"), std::string::npos) << printed.err;
    }
}

// Names are shown the way careful tools show them: a character that could move the cursor, change
// the terminal's state or reorder the text, and each byte that is not part of valid UTF-8, is a '?'.
// What is counted is still the real bytes.
TEST_F(PrintModeTest, NamesOnStandardErrorCannotSteerTheTerminal)
{
    const std::pair<std::string, std::string> names[] = {
        {"c0 \t\033[2J \x7f", "c0 ??[2J ?"},
        {"c1 raw \x9b" "2J \x9d", "c1 raw ?2J ?"},
        {"c1 encoded \xc2\x9b" "2J \xc2\x85", "c1 encoded ?2J ?"},
        {"bidi \u202a \u202e \u2066 \u2069", "bidi ? ? ? ?"},
        {"marks \u200e \u200f \u061c \u2028 \u2029 \ufeff", "marks ? ? ? ? ? ?"},
        {"invalid \xff \xe2\x80 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80", "invalid ? ?? ?? ??? ????"},
        {"kept \xc3\xa9 \u65e5\u672c \u200b \u20ac \U0001f600", "kept \xc3\xa9 \u65e5\u672c \u200b \u20ac \U0001f600"},
    };
    std::vector<std::string> arguments = {"--json"};
    std::string expected;
    size_t longest = 0;
    for (const auto& [name, shown] : names) {
        arguments.push_back(tree.path(name));
        expected += "heapwise: cannot read '" + tree.path(shown) + "': No such file or directory\n";
        longest = std::max(longest, tree.path(name).size());
    }

    const Outcome printed = run_heapwise(arguments);
    EXPECT_EQ(printed.err, expected);
    EXPECT_EQ(printed.exit_code, 1);
    EXPECT_EQ(json_fields(printed.out).at("max_abs_path"), number(longest));
}

TEST_F(PrintModeTest, HelpAndVersionGoToStdoutAndExitZero)
{
    const Outcome version = run_heapwise({"--version"});
    EXPECT_EQ(version.out, "heapwise " HEAPWISE_VERSION "\n");
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(version.exit_code, 0);

    const Outcome help = run_heapwise({"--help"});
    EXPECT_EQ(help.out.rfind("Usage: heapwise", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--json"), std::string::npos);
    EXPECT_NE(help.out.find("opens a window"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.exit_code, 0);
    // Wrapped to fit a terminal of 80 columns.
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LT(line.size(), 80u) << line;
}

// Output that could not be written is a failure, named on standard error, whatever was to be written.
TEST_F(PrintModeTest, OutputThatCannotBeWrittenExitsOne)
{
    tree.file("f", 3);
    for (const char* output : {"/dev/full", "closed"}) {
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"--print", tree.root()}, {"--json", tree.root()}, {"--help"}, {"--version"}}) {
            SCOPED_TRACE(std::string(output) + " " + arguments[0]);
            RunOptions options;
            options.output = output;
            const Outcome printed = run_heapwise(arguments, options);
            EXPECT_EQ(printed.exit_code, 1);
            EXPECT_EQ(printed.err.rfind("heapwise: cannot write standard output", 0), 0u) << printed.err;
            EXPECT_EQ(printed.err.find('\n'), printed.err.size() - 1) << printed.err;
        }
    }
}

TEST_F(PrintModeTest, DoubleDashLetsPathsStartingWithDashBeCounted)
{
    tree.file("-dash", 7);
    RunOptions in_tree;
    in_tree.directory = tree.root();

    const Outcome counted = run_heapwise({"--json", "--", "-dash"}, in_tree);
    EXPECT_EQ(counted.exit_code, 0) << counted.err;
    const Fields fields = json_fields(counted.out);
    EXPECT_EQ(fields.at("file_count"), "1");
    EXPECT_EQ(fields.at("total_bytes"), "7");
    EXPECT_EQ(fields.at("max_abs_path"), "5");

    // Without "--" it is an option, and an unknown one.
    EXPECT_EQ(run_heapwise({"--json", "-dash"}, in_tree).exit_code, 2);
}

TEST_F(PrintModeTest, SeveralPathsAccumulate)
{
    tree.folder("a");
    tree.file("a/x", 5);
    tree.file("f", 3);
    const std::string a = tree.path("a");

    const Outcome printed = run_heapwise({"--json", a, a, tree.path("f")});
    EXPECT_EQ(printed.exit_code, 0);
    // "a" twice doubles its counts, not its maxima.
    EXPECT_EQ(json_fields(printed.out),
              (Fields{{"file_count", "3"}, {"files_read_only", "0"}, {"files_system", "0"}, {"files_hidden", "0"},
                      {"folder_count", "2"}, {"folders_read_only", "0"}, {"folders_system", "0"},
                      {"folders_hidden", "0"}, {"total_bytes", "13"}, {"max_rel_depth", "1"},
                      {"max_abs_depth", number(1 + separators(a))}, {"max_rel_path", "2"},
                      {"max_abs_path", number(a.size() + 2)}}));
}

// Arguments for a scan that most likely outlasts the status interval (a tenth of a second): /usr/share
// four times where the machine has it, and a tree of 1,640 folders.
std::vector<std::string> long_scan(const TempTree& tree)
{
    struct stat st;
    const std::string big = stat("/usr/share", &st) == 0 && S_ISDIR(st.st_mode) ? "/usr/share" : tree.root();
    return {"--print", big, big, big, big, tree.root()};
}

void fill(TempTree& tree)
{
    for (int i = 0; i < 40; ++i) {
        const std::string folder = "d" + std::to_string(i);
        tree.folder(folder);
        for (int j = 0; j < 40; ++j) tree.folder(folder + "/e" + std::to_string(j));
    }
}

// What a terminal shows on its last line after receiving `output`. Knows the carriage return, the
// line feed and "erase to end of line"; any other control sequence fails the test.
std::string last_terminal_line(const std::string& output)
{
    std::string line;
    size_t column = 0;
    for (size_t i = 0; i < output.size(); ++i) {
        const char c = output[i];
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            line.clear();
            column = 0;
        } else if (c == '\033') {
            EXPECT_EQ(output.compare(i, 3, "\033[K"), 0) << "unexpected control sequence at " << i;
            line.resize(std::min(line.size(), column));
            i += 2;
        } else {
            if (column < line.size())
                line[column] = c;
            else
                line.push_back(c);
            ++column;
        }
    }
    return line;
}

// Some sandboxes have no pseudo-terminals at all.
bool have_pseudo_terminals()
{
    const int probe = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (probe < 0) return false;
    close(probe);
    return true;
}

TEST_F(PrintModeTest, StatusTextOnlyOnATerminalAndClearedAtTheEnd)
{
    fill(tree);
    const Outcome piped = run_heapwise(long_scan(tree));
    // Failure reports (as a user, parts of /usr/share may be unreadable) are fine; status text is not.
    EXPECT_EQ(piped.err.find('\r'), std::string::npos);
    EXPECT_EQ(piped.err.find('\033'), std::string::npos);
    EXPECT_EQ(piped.out.rfind("File Count:", 0), 0u);

    if (!have_pseudo_terminals()) GTEST_SKIP() << "no pseudo-terminal here";

    RunOptions options;
    options.terminal = true;
    const Outcome shown = run_heapwise(long_scan(tree), options);
    EXPECT_EQ(last_terminal_line(shown.err), "");
    EXPECT_EQ(shown.err.find("File Count:"), std::string::npos);
    EXPECT_EQ(shown.out.rfind("File Count:", 0), 0u);
    if (shown.err.empty()) std::printf("note: the scan ended before any status text was due\n");
}

// The texts the progress line showed, in order: what follows each "erase the line" up to the next
// carriage return or line end.
std::vector<std::string> progress_texts(const std::string& terminal)
{
    std::vector<std::string> texts;
    const std::string erase = "\r\033[K";
    for (size_t at = terminal.find(erase); at != std::string::npos; at = terminal.find(erase, at)) {
        at += erase.size();
        const size_t end = std::min(terminal.find_first_of("\r\n", at), terminal.size());
        if (end != at) texts.push_back(terminal.substr(at, end - at));
    }
    return texts;
}

// The columns `text` takes on a terminal; -1 unless it is valid UTF-8 of printable characters.
int display_width(const std::string& text)
{
    const locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 == static_cast<locale_t>(0)) return -1;
    const locale_t before = uselocale(utf8);
    std::wstring wide(text.size() + 1, L'\0');
    const size_t count = mbstowcs(wide.data(), text.c_str(), wide.size());
    const int width = count == static_cast<size_t>(-1) ? -1 : wcswidth(wide.data(), count);
    uselocale(before);
    freelocale(utf8);
    return width;
}

#define SKIP_WITHOUT_SLOW_WALK()                                                                         \
    do {                                                                                                 \
        if (sanitized) GTEST_SKIP() << "a preloaded library cannot come before the sanitizer's runtime"; \
        if (!have_pseudo_terminals()) GTEST_SKIP() << "no pseudo-terminal here";                         \
    } while (false)

// The progress line shows names as the messages do; and the end of a
// request is not read from its text, so a folder whose relative path is
// "Ready" (named with a final slash) is shown like any other.
TEST_F(PrintModeTest, ProgressLineShowsEveryFolderSafely)
{
    SKIP_WITHOUT_SLOW_WALK();
    struct Row {
        std::string name;
        std::vector<std::string> arguments;  // after --print --jobs 1 (so folders come in order)
        std::vector<std::string> shown;
    };
    const std::string steering = "c1 \x9b" "2J \xc2\x9b bidi \u202e invalid \xff \xc3\xa9";
    const Row rows[] = {
        {steering, {tree.path("names")}, {"/c1 ?2J ? bidi ? invalid ? \xc3\xa9"}},
        {"Ready", {tree.path("ready/Ready"), tree.path("ready/")}, {"/Ready", "Ready", "Ready/Ready"}},
    };
    const std::vector<std::string> folders = {"names", "names/" + steering, "ready", "ready/Ready", "ready/Ready/Ready"};
    for (const std::string& folder : folders) tree.folder(folder);
    for (const Row& row : rows) {
        RunOptions options;
        options.terminal = true;
        options.slow_folder = row.name;
        std::vector<std::string> arguments = {"--print", "--jobs", "1"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        const Outcome printed = run_heapwise(arguments, options);
        EXPECT_EQ(printed.exit_code, 0) << printed.err;
        EXPECT_EQ(progress_texts(printed.err), row.shown);
        EXPECT_EQ(last_terminal_line(printed.err), "");
    }
}

// Ctrl+C or SIGTERM while the progress line shows clears it, the signal still ending the program (128 + it,
// as shells report) unless ignored from the start (negative here); TERM dumb or unset gets no escape sequences.
TEST_F(PrintModeTest, ProgressLineClearedWhateverEndsTheProgram)
{
    SKIP_WITHOUT_SLOW_WALK();
    const std::tuple<std::string, int, int> rows[] = {{"xterm", SIGINT, 130}, {"xterm", SIGTERM, 143},
                                                      {"xterm", -SIGINT, 0},  {"dumb", 0, 0},
                                                      {"dumb", SIGTERM, 143}, {"", SIGINT, 130}};
    tree.folder("slow-folder");
    for (const auto& [term, signal_number, exit_code] : rows) {
        SCOPED_TRACE("TERM=" + term + " signal " + std::to_string(signal_number));
        RunOptions options;
        options.terminal = true;
        options.term = term;
        options.slow_folder = "slow-folder";
        options.signal = signal_number;
        const Outcome printed = run_heapwise({"--print", tree.root()}, options);
        EXPECT_EQ(printed.exit_code, exit_code) << printed.err;
        EXPECT_NE(printed.err.find("slow-folder"), std::string::npos) << printed.err;
        EXPECT_EQ(last_terminal_line(printed.err).find_first_not_of(' '), std::string::npos) << printed.err;
        EXPECT_TRUE(term == "xterm" || printed.err.find('\033') == std::string::npos) << printed.err;
        EXPECT_EQ(printed.out.empty(), exit_code != 0) << printed.out;
    }
}

// On a terminal narrower than the folder's path the line is cut between characters to fit, and it
// follows the terminal's width as it changes: here from 80 columns to 24 while the walk runs.
TEST_F(PrintModeTest, ProgressLineFitsTheTerminalAsItIsResized)
{
    SKIP_WITHOUT_SLOW_WALK();
    // ASCII, two-byte and wide characters: 20 characters, 26 columns at the third level.
    const std::string name = "abc\xc3\xa9\u65e5\u672c";
    const std::string path = tree.folder_chain(name, 3);
    RunOptions options;
    options.terminal = true;
    options.columns = 80;
    options.slow_folder = name;
    options.slow_columns = 24;  // from the second level on

    const Outcome printed = run_heapwise({"--print", tree.root() + "/"}, options);
    EXPECT_EQ(printed.exit_code, 0) << printed.err;
    const std::vector<std::string> texts = progress_texts(printed.err);
    ASSERT_FALSE(texts.empty()) << printed.err;
    for (const std::string& text : texts) {
        EXPECT_GE(display_width(text), 0) << text;
        EXPECT_LT(display_width(text), 80) << text;
    }
    // The third level is entered well after the terminal narrowed.
    const std::string& last = texts.back();
    EXPECT_EQ(path.rfind(last, 0), 0u) << last;
    EXPECT_GE(display_width(last), 1) << last;
    EXPECT_LT(display_width(last), 24) << last;
    EXPECT_EQ(last_terminal_line(printed.err), "");
}

// German groups with a full stop; French with a narrow no-break space, so
// its decimal comma is not taken for a thousands separator; a Latin-1
// terminal gets its own no-break space byte.
TEST_F(PrintModeTest, LocaleSeparatorsGroupTheTotal)
{
    tree.file("f", 1234);
    const std::pair<const char*, const char*> rows[] = {
        {"de_DE.UTF-8", "\nTotal Size:   1.234 bytes  (1,2 KB)\n"},
        {"fr_FR.UTF-8", "\nTotal Size:   1\u202F234 bytes  (1,2 KB)\n"},
        {"fr_FR", "\nTotal Size:   1\xA0" "234 bytes  (1,2 KB)\n"},
    };
    for (const auto& [locale, line] : rows) {
        const locale_t probe = newlocale(LC_ALL_MASK, locale, static_cast<locale_t>(0));
        if (probe == static_cast<locale_t>(0)) GTEST_SKIP() << "the " << locale << " locale is not installed";
        freelocale(probe);
        RunOptions options;
        options.locale = locale;

        const Outcome printed = run_heapwise({"--print", tree.path("f")}, options);
        EXPECT_NE(printed.out.find(line), std::string::npos) << printed.out;
        // JSON is for programs: no locale.
        EXPECT_EQ(json_fields(run_heapwise({"--json", tree.path("f")}, options).out).at("total_bytes"), "1234");
    }
}

}  // namespace
