// Makes the manual page heapwise(1) at build time: copies the page's template
// (docs/heapwise.1.in, the version already filled in) and writes the texts of
// usage.h, in roff, where the template has a line ".\" usage: forms",
// "description", "options" or "exit codes".
//   make_manual TEMPLATE OUTPUT
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <set>
#include <string>

#include "shell/print/usage.h"

namespace {

// Words in capitals in the forms and option terms (PATH, N): what the user
// gives, set in italics wherever the page names them.
std::set<std::string> placeholders;

bool is_placeholder(const std::string& word)
{
    if (word.empty() || !isupper(static_cast<unsigned char>(word[0]))) return false;
    for (char c : word)
        if (!isupper(static_cast<unsigned char>(c)) && !isdigit(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

// Roff reads a backslash as an escape and '-' as a hyphen, which may break a
// line and is not the minus an option is typed with.
std::string escaped(const std::string& text, bool minus)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && minus)
            out += "\\-";
        else
            out += c;
    }
    return out;
}

// One word of running text or of a term, its punctuation kept in roman: an
// option in bold, a placeholder in italics.
std::string word_in_roff(const std::string& word)
{
    const size_t begin = word.find_first_not_of("['(");
    const size_t last = word.find_last_not_of("]').,:;");
    if (begin == std::string::npos || last == std::string::npos || last < begin) return escaped(word, false);
    const size_t end = last + 1;
    const std::string core = word.substr(begin, end - begin);
    std::string font;
    if (core[0] == '-')
        font = "\\fB";
    else if (placeholders.count(core) != 0)
        font = "\\fI";
    // A name such as WAYLAND_DISPLAY is not to be hyphenated.
    const std::string before = (core.find('_') != std::string::npos ? "\\%" : "") + escaped(word.substr(0, begin), false);
    const std::string after = escaped(word.substr(end), false);
    if (font.empty()) return before + escaped(core, false) + after;
    return before + font + escaped(core, true) + "\\fR" + after;
}

std::string text_in_roff(const std::string& text)
{
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        const size_t end = space == std::string::npos ? text.size() : space;
        if (!out.empty()) out += ' ';
        out += word_in_roff(text.substr(at, end - at));
        at = end == text.size() ? end : end + 1;
    }
    // A line that begins with a dot or an apostrophe would be read as a request.
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

// The short texts of --help as sentences: capital first, full stop last.
std::string as_sentence(std::string text)
{
    text[0] = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    return text + ".";
}

template <size_t count>
void write_entries(std::ostream& out, const UsageEntry (&entries)[count])
{
    for (const UsageEntry& entry : entries)
        out << ".TP\n" << text_in_roff(entry.term) << '\n' << text_in_roff(as_sentence(entry.text)) << '\n';
}

void collect_placeholders(const std::string& term)
{
    size_t at = 0;
    while (at < term.size()) {
        const size_t begin = term.find_first_not_of(" [],.", at);
        if (begin == std::string::npos) break;
        const size_t end = std::min(term.find_first_of(" [],.", begin), term.size());
        const std::string word = term.substr(begin, end - begin);
        if (is_placeholder(word)) placeholders.insert(word);
        at = end;
    }
}

// Writes what a marker names; false for an unknown marker.
bool write_part(std::ostream& out, const std::string& part)
{
    if (part == "forms") {
        for (const char* form : usage_forms) out << "\\fBheapwise\\fR " << text_in_roff(form) << "\n.br\n";
    } else if (part == "description") {
        const char* separator = "";
        for (const char* paragraph : usage_description) {
            out << separator << text_in_roff(paragraph) << '\n';
            separator = ".PP\n";
        }
    } else if (part == "options") {
        write_entries(out, usage_options);
    } else if (part == "exit codes") {
        write_entries(out, usage_exit_codes);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_manual TEMPLATE OUTPUT\n";
        return 2;
    }
    for (const char* form : usage_forms) collect_placeholders(form);
    for (const UsageEntry& option : usage_options) collect_placeholders(option.term);

    std::ifstream in(argv[1]);
    std::ofstream out(argv[2]);
    if (!in || !out) {
        std::cerr << "make_manual: cannot open " << (in ? argv[2] : argv[1]) << '\n';
        return 1;
    }
    const std::string marker = ".\\\" usage: ";
    std::set<std::string> written;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(marker, 0) != 0) {
            out << line << '\n';
            continue;
        }
        const std::string part = line.substr(marker.size());
        if (!write_part(out, part)) {
            std::cerr << "make_manual: " << argv[1] << ": unknown part '" << part << "'\n";
            return 1;
        }
        written.insert(part);
    }
    if (written.size() != 4) {
        std::cerr << "make_manual: " << argv[1] << " must place forms, description, options and exit codes\n";
        return 1;
    }
    out.close();
    return out ? 0 : 1;
}
