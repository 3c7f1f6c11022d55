// The platform layer's operating-system side on Windows: the display modes as the driver
// enumerates them, files and folders through the Win32 API (paths in the ANSI code page, which
// each program's manifest makes UTF-8), the performance counter, Ctrl+C and the console's close
// through a console control handler, and the debugger's output channel beside standard error.
#include "platform/platform.h"

#include <SDL.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <system_error>
#include <vector>

#include "platform/wildcard.h"

namespace platform {

namespace {

std::atomic<bool> g_programEnded{false};

// Runs on a thread of its own. Ctrl+C and Ctrl+Break become the same quit request as the
// window's close; when the console itself closes (or the session ends) Windows ends the
// process as soon as this returns, so it waits a little for the program to clean up first.
BOOL WINAPI onConsoleEvent(DWORD event) {
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        for (int waited = 0; waited < 4500 && !g_programEnded; waited += 50) Sleep(50);
    }
    return TRUE;
}

void noteProgramEnd() { g_programEnded = true; }

std::string withSeparator(std::string path) {
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    return path;
}

std::string withoutSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') && path[path.size() - 2] != ':') path.pop_back();
    return path;
}

DWORD attributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// A security descriptor whose list grants the current user everything and nobody else anything,
// not inheriting from the parent folder, inherited by what is created inside.
class OwnerOnlyDescriptor {
public:
    bool build() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_.resize(size);
        const bool got = size > 0 && GetTokenInformation(token, TokenUser, user_.data(), size, &size);
        CloseHandle(token);
        if (!got) return false;
        PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        return InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
               AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL, sid) &&
               InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
               SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    SECURITY_ATTRIBUTES attributes() {
        SECURITY_ATTRIBUTES a = {};
        a.nLength = sizeof a;
        a.lpSecurityDescriptor = &descriptor_;
        a.bInheritHandle = FALSE;
        return a;
    }

private:
    std::vector<unsigned char> user_;
    std::vector<unsigned char> acl_;
    SECURITY_DESCRIPTOR descriptor_ = {};
};

// Removes a link (junction or symbolic link) itself: it is opened as a link and deleted through
// that handle, so what it points to is never touched. A link that does not open as one is left
// where it is: Wine shows a Linux link to a folder as a link but opens its target.
bool removeLink(const std::string& path) {
    HANDLE link = CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (link == INVALID_HANDLE_VALUE) return false;
    FILE_ATTRIBUTE_TAG_INFO opened = {};
    FILE_DISPOSITION_INFO dispose = {TRUE};
    const bool removed = GetFileInformationByHandleEx(link, FileAttributeTagInfo, &opened, sizeof opened) &&
                         (opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                         SetFileInformationByHandle(link, FileDispositionInfo, &dispose, sizeof dispose);
    CloseHandle(link);
    return removed;
}

// Deletes one entry of a tree being removed: a link itself, a file, or a folder with what it
// holds.
bool removeEntry(const std::string& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return removeLink(path);
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileA(path.c_str()) != 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") removeEntry(path + "\\" + name, found.dwFileAttributes);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(path.c_str()) != 0;
}

DisplayMode modeOf(const DEVMODEA& m) {
    return {static_cast<int>(m.dmPelsWidth), static_cast<int>(m.dmPelsHeight), static_cast<int>(m.dmBitsPerPel),
            static_cast<int>(m.dmDisplayFrequency)};
}

}  // namespace

// The driver's own enumeration rather than SDL's, which drops duplicates and paletted modes.
std::vector<DisplayMode> displayModes() {
    std::vector<DisplayMode> modes;
    for (DWORD i = 0;; ++i) {
        DEVMODEA m = {};
        m.dmSize = sizeof m;
        if (!EnumDisplaySettingsA(nullptr, i, &m)) break;
        modes.push_back(modeOf(m));
    }
    return modes;
}

bool currentDisplayMode(DisplayMode& out) {
    DEVMODEA m = {};
    m.dmSize = sizeof m;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &m)) return false;
    out = modeOf(m);
    return true;
}

void installInterruptHandler() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    std::atexit(noteProgramEnd);
}

int64_t counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t counterFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

bool localTime(int& hours, int& minutes, int& seconds) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    hours = now.wHour;
    minutes = now.wMinute;
    seconds = now.wSecond;
    return true;
}

const char* pathSeparator() { return "\\"; }

std::string tempDirectory() {
    char buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length > MAX_PATH) return ".\\";
    return withSeparator(std::string(buffer, length));
}

std::string executableDirectory() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return ".\\";
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            const size_t slash = path.find_last_of("\\/");
            return slash == std::string::npos ? ".\\" : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string makePrivateDirectory(const std::string& parent, const std::string& prefix) {
    OwnerOnlyDescriptor owner;
    if (!owner.build()) return {};
    SECURITY_ATTRIBUTES attributes = owner.attributes();
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        const std::string dir = withSeparator(parent) + prefix + suffix;
        if (CreateDirectoryA(dir.c_str(), &attributes)) return withSeparator(dir);
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

std::vector<std::string> listFiles(const std::string& pattern) {
    // Every name of the folder, matched here rather than by FindFirstFile, whose wildcards also
    // match the short 8.3 names and treat a dot at the end specially.
    std::vector<std::string> names;
    const size_t slash = pattern.find_last_of("\\/");
    const std::string dir = slash == std::string::npos ? "." : pattern.substr(0, slash);
    const std::string filePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string name = found.cFileName;
        if (wildcardMatch(filePattern, name)) names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), listingLess);
    return names;
}

bool removeTree(const std::string& path) {
    const std::string target = withoutSeparator(path);
    if (target.empty()) return false;
    const DWORD attributes = attributesOf(target);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    removeEntry(target, attributes);
    return attributesOf(target) == INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeDirectory(const std::string& path) {
    return CreateDirectoryA(withoutSeparator(path).c_str(), nullptr) || isDirectory(path);
}

bool fileExists(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool replaceFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error) {
    const std::string partial = path + ".partial";
    DeleteFileA(partial.c_str());  // a link is deleted as a link
    // CREATE_NEW refuses a name that exists, a link included.
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = std::system_category().message(static_cast<int>(GetLastError()));
        return false;
    }
    DWORD cause = 0;
    for (size_t done = 0; done < bytes.size() && !cause;) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            cause = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        done += wrote;
    }
    if (!CloseHandle(file) && !cause) cause = GetLastError();
    // MoveFileEx replaces a link at `path` itself, as rename does.
    if (!cause && !MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) cause = GetLastError();
    if (!cause) return true;
    DeleteFileA(partial.c_str());
    error = std::system_category().message(static_cast<int>(cause));
    return false;
}

std::FILE* openRegularFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    // A device name (CON, NUL) or a pipe opens too: only a file on a disk is kept.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        std::fclose(file);
        errno = EINVAL;
        return nullptr;
    }
    return file;
}

uint64_t fileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return (ticks * 1000003u) ^ size ^ 1u;
}

void debugOutput(const char* text) {
    OutputDebugStringA(text);
    std::fputs(text, stderr);
    std::fflush(stderr);
}

bool standardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace platform
