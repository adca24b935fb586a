// Temporary trees for the tests on Windows, under the user's temporary
// folder. Paths are UTF-8, as the walk takes them, and made with the wide
// calls under the "\\?\" prefix, so any name and any length can be made.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_tree.h"

namespace {

std::string error_text(DWORD error)
{
    return "error " + std::to_string(error);
}

// A UTF-8 path below the temporary folder (absolute and resolved) as the
// wide calls take it at any length.
std::wstring wide(const std::string& path)
{
    std::wstring text(path.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                                        text.data(), static_cast<int>(text.size()))));
    return L"\\\\?\\" + text;
}

std::string base_folder()
{
    wchar_t buffer[MAX_PATH + 1];
    const DWORD len = GetTempPathW(MAX_PATH + 1, buffer);
    char utf8[4 * MAX_PATH];
    const int bytes = len == 0 || len > MAX_PATH
        ? 0
        : WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(len), utf8, sizeof utf8, nullptr, nullptr);
    std::string base(utf8, static_cast<size_t>(bytes));
    while (!base.empty() && base.back() == '\\') base.pop_back();
    return base;
}

// Read-only files and folders must lose the bit before they can go.
void remove_tree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    const HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool descend = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (descend)
                remove_tree(path);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(path.c_str());
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(listing, &entry));
        FindClose(listing);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempTree::TempTree()
{
    const std::string base = base_folder();
    static unsigned made = 0;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = base + "\\heapwise-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++made);
        if (CreateDirectoryW(wide(candidate).c_str(), nullptr)) {
            root_ = candidate;
            return;
        }
    }
    ADD_FAILURE() << "no temporary folder under " << base << ": " << error_text(GetLastError());
}

TempTree::~TempTree()
{
    if (!root_.empty()) remove_tree(wide(root_));
}

std::string TempTree::path(const std::string& relative) const
{
    std::string windows = relative;
    for (char& c : windows)
        if (c == '/') c = '\\';
    return relative.empty() ? root_ : root_ + "\\" + windows;
}

void TempTree::folder(const std::string& relative, mode_t mode)
{
    if (!CreateDirectoryW(wide(path(relative)).c_str(), nullptr))
        ADD_FAILURE() << "CreateDirectoryW " << relative << ": " << error_text(GetLastError());
    chmod(relative, mode);
}

void TempTree::file(const std::string& relative, uint64_t size, mode_t mode)
{
    const HANDLE file = CreateFileW(wide(path(relative)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "CreateFileW " << relative << ": " << error_text(GetLastError());
        return;
    }
    const std::string content(size, 'x');
    DWORD written = 0;
    if (size != 0 && (!WriteFile(file, content.data(), static_cast<DWORD>(size), &written, nullptr) || written != size))
        ADD_FAILURE() << "WriteFile " << relative << ": " << error_text(GetLastError());
    CloseHandle(file);
    chmod(relative, mode);
}

void TempTree::sparse_file(const std::string& relative, uint64_t size)
{
    const HANDLE file = CreateFileW(wide(path(relative)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (file == INVALID_HANDLE_VALUE || !SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        ADD_FAILURE() << "sized file " << relative << ": " << error_text(GetLastError());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void TempTree::symlink(const std::string& relative, const std::string&)
{
    ADD_FAILURE() << "no link can be made here: " << relative;
}

void TempTree::fifo(const std::string& relative)
{
    ADD_FAILURE() << "no FIFO can be made here: " << relative;
}

void TempTree::socket(const std::string& relative)
{
    ADD_FAILURE() << "no socket can be made here: " << relative;
}

void TempTree::chmod(const std::string& relative, mode_t mode)
{
    const std::string where = path(relative);
    const size_t name = where.find_last_of('\\') + 1;
    DWORD attributes = 0;
    if ((mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    if (where.size() > name + 1 && where[name] == '.') attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (!SetFileAttributesW(wide(where).c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL))
        ADD_FAILURE() << "SetFileAttributesW " << relative << ": " << error_text(GetLastError());
}

uint32_t length(const std::string& text)
{
    return static_cast<uint32_t>(
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0));
}

bool long_paths_reachable()
{
    return false;
}

bool read_only_folders_can_be_made()
{
    static const bool kept = [] {
        TempTree probe;
        probe.folder("probe", 0555);
        const DWORD attributes = GetFileAttributesW(wide(probe.path("probe")).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    }();
    return kept;
}

std::string run_unprivileged(std::string (*)(const std::string&), const std::string&)
{
    ADD_FAILURE() << "no unprivileged child process here";
    return {};
}
