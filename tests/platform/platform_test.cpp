#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <winioctl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/platform.h"
#include "platform/wildcard.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// ---- what the system says about a folder, and links to make -----------------------------

#ifdef _WIN32

std::vector<unsigned char> currentUser() {
    std::vector<unsigned char> user;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    if (!size || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
    CloseHandle(token);
    return user;
}

// Empty when only the current user may enter the folder: its access list is protected from the
// parent's and each entry allows the current user; else what is wrong.
std::string notOwnerOnly(const std::string& dir) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(dir.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return "no security information";
    std::string fault;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const std::vector<unsigned char> user = currentUser();
    if (!acl || acl->AceCount == 0) fault = "no access list (everyone may enter)";
    else if (!(control & SE_DACL_PROTECTED)) fault = "the parent's entries are inherited";
    for (DWORD i = 0; fault.empty() && acl && i < acl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        GetAce(acl, i, reinterpret_cast<void**>(&ace));
        if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        PSID sid = &reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        if (user.empty() || !EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid))
            fault = "entry " + std::to_string(i) + " allows another account";
    }
    LocalFree(descriptor);
    return fault;
}

// Whether the file system keeps the access list a folder is given. Wine keeps none: it reports
// one made from the Linux mode bits, with the system account and everyone in it.
bool keepsAccessLists(const std::string& parent) {
    const std::string probe = parent + "access-probe";
    CreateDirectoryA(probe.c_str(), nullptr);
    std::vector<unsigned char> user = currentUser(), acl(1024);
    const bool set = !user.empty() && InitializeAcl(reinterpret_cast<ACL*>(acl.data()), 1024, ACL_REVISION) &&
                     AddAccessAllowedAce(reinterpret_cast<ACL*>(acl.data()), ACL_REVISION, GENERIC_ALL,
                                         reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) &&
                     SetNamedSecurityInfoA(&std::string(probe)[0], SE_FILE_OBJECT,
                                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                           nullptr, reinterpret_cast<ACL*>(acl.data()), nullptr) == ERROR_SUCCESS;
    const bool kept = set && notOwnerOnly(probe).empty();
    RemoveDirectoryA(probe.c_str());
    return kept;
}

bool isLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A junction (a mount point reparse point) at `link` to the folder `target`.
bool makeJunction(const std::string& target, const std::string& link) {
    if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
    HANDLE handle = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RemoveDirectoryA(link.c_str());
        return false;
    }
    char full[MAX_PATH];
    GetFullPathNameA(target.c_str(), MAX_PATH, full, nullptr);
    std::wstring substitute = L"\\??\\";
    for (const char* c = full; *c; ++c) substitute += static_cast<wchar_t>(*c);
    const std::wstring print = substitute.substr(4);
    // REPARSE_DATA_BUFFER's mount point form (the driver kit's header declares it).
    struct MountPoint {
        DWORD tag;
        WORD dataLength, reserved;
        WORD substituteOffset, substituteLength, printOffset, printLength;
        WCHAR path[1];
    };
    const size_t pathBytes = (substitute.size() + 1 + print.size() + 1) * sizeof(wchar_t);
    std::vector<unsigned char> buffer(offsetof(MountPoint, path) + pathBytes);
    auto* mount = reinterpret_cast<MountPoint*>(buffer.data());
    mount->tag = IO_REPARSE_TAG_MOUNT_POINT;
    mount->dataLength = static_cast<WORD>(buffer.size() - offsetof(MountPoint, substituteOffset));
    mount->substituteOffset = 0;
    mount->substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    mount->printOffset = static_cast<WORD>((substitute.size() + 1) * sizeof(wchar_t));
    mount->printLength = static_cast<WORD>(print.size() * sizeof(wchar_t));
    std::copy(substitute.begin(), substitute.end(), mount->path);
    std::copy(print.begin(), print.end(), mount->path + substitute.size() + 1);
    DWORD returned = 0;
    const bool made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      nullptr, 0, &returned, nullptr);
    CloseHandle(handle);
    if (!made) RemoveDirectoryA(link.c_str());
    return made && isLink(link);
}

bool makeSymbolicLink(const std::string& target, const std::string& link) {
    return CreateSymbolicLinkA(link.c_str(), target.c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
           isLink(link);
}

struct LinkKind {
    const char* name;
    bool (*make)(const std::string& target, const std::string& link);
};
const LinkKind kLinkKinds[] = {{"junction", makeJunction}, {"symbolic link", makeSymbolicLink}};

#else

std::string notOwnerOnly(const std::string& dir) {
    struct stat info;
    if (stat(dir.c_str(), &info) != 0) return "no such folder";
    if (info.st_uid != getuid()) return "owned by another user";
    if (info.st_mode & (S_IRWXG | S_IRWXO)) return "the group or others may enter";
    return "";
}

bool keepsAccessLists(const std::string&) { return true; }

bool makeSymbolicLink(const std::string& target, const std::string& link) { return symlink(target.c_str(), link.c_str()) == 0; }

struct LinkKind {
    const char* name;
    bool (*make)(const std::string& target, const std::string& link);
};
const LinkKind kLinkKinds[] = {{"symbolic link", makeSymbolicLink}};

#endif

// ---- listing -------------------------------------------------------------------------------

// Case never matters, on any system; a ? is one character; no short (8.3) name or trailing-dot
// rule of Windows' own wildcards applies.
TEST(Wildcards, MatchWithoutRegardToCase) {
    EXPECT_TRUE(platform::wildcardMatch("*.png", "mask.png"));
    EXPECT_TRUE(platform::wildcardMatch("*.png", "MASK.PNG"));
    EXPECT_TRUE(platform::wildcardMatch("*.jpg", "a.b.JpG"));
    EXPECT_FALSE(platform::wildcardMatch("*.png", "mask.png.bak"));
    EXPECT_TRUE(platform::wildcardMatch("tv_noise?.png", "tv_noise1.png"));
    EXPECT_FALSE(platform::wildcardMatch("tv_noise?.png", "tv_noise12.png"));
    EXPECT_TRUE(platform::wildcardMatch("*", ""));
    EXPECT_FALSE(platform::wildcardMatch("*.jpe", "picture.jpeg"));  // Windows would match its short name PICTUR~1.JPE
    EXPECT_FALSE(platform::wildcardMatch("*.", "noextension"));      // and "*." would list names without a dot
}

TEST(Listing, SortedAsACaseInsensitiveFileSystemReturnsThem) {
    TempDir dir;
    for (const char* name : {"b.jpg", "A.JPG", "c.png", "a_2.jpg", "Z.jpg", "long picture name.jpeg", "a.jpg.txt"})
        dir.write(std::string("pics/") + name, "x");
    fs::create_directory(dir.path() + "pics/folder.jpg");
    const auto names = platform::listFiles(dir.path() + "pics/*.jpg");
    EXPECT_EQ(names, (std::vector<std::string>{"A.JPG", "a_2.jpg", "b.jpg", "Z.jpg"}));
    EXPECT_EQ(platform::listFiles(dir.path() + "pics" + platform::pathSeparator() + "*.JPE"), std::vector<std::string>{});
    EXPECT_EQ(platform::listFiles(dir.path() + "pics/?.*"),
              (std::vector<std::string>{"A.JPG", "a.jpg.txt", "b.jpg", "c.png", "Z.jpg"}));
    EXPECT_TRUE(platform::listFiles(dir.path() + "nowhere/*.jpg").empty());
}

// ---- folders ----------------------------------------------------------------------------------

TEST(Folders, PrivateFolderIsTheUsersAlone) {
    TempDir parent;
    const std::string dir = platform::makePrivateDirectory(parent.path(), "run-");
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), platform::pathSeparator()[0]);
    EXPECT_NE(platform::makePrivateDirectory(parent.path(), "run-"), dir);  // fresh each time
    EXPECT_EQ(platform::makePrivateDirectory(parent.path() + "missing", "run-"), "");
    if (!keepsAccessLists(parent.path()))
        GTEST_SKIP() << "this file system keeps no access lists on folders (Wine reports one made from the Linux "
                        "mode bits), so the folder's rights cannot be read back here";
    EXPECT_EQ(notOwnerOnly(dir), "") << dir;
}

// A tree with a link to `precious` (which holds keep.txt) inside, and `planted`, a link to the
// folder `aside` (which holds note.txt) standing where a run folder would. Removing either never
// touches what the links point to, and says true exactly when it is gone; `linksGo`: the links
// themselves go.
void expectDeletionStopsAtLinks(const std::string& kind, const std::string& folder, bool linksGo) {
    for (const std::string name : {"tree", "planted"}) {
        const std::string path = folder + name + (name == "planted" ? platform::pathSeparator() : "");
        const bool removed = platform::removeTree(path);
        EXPECT_EQ(removed, !platform::isDirectory(folder + name)) << kind << ": " << name;
        if (linksGo) {
            EXPECT_TRUE(removed) << kind << ": " << name;
        }
        EXPECT_EQ(readFile(folder + "precious/keep.txt"), "keep") << "removing a " << kind << " touched its target";
        EXPECT_EQ(readFile(folder + "aside/note.txt"), "note") << "removing a " << kind << " emptied the folder it points at";
    }
}

// Each kind of link the system can make is tried. Under Wine, which makes neither junctions nor
// symbolic links, Linux links (made by Folders.MakeLinuxLinks) stand in: Wine shows them as
// links but opens their targets, so they are left in place, and the tree with them.
TEST(Folders, TreeDeletionStopsAtLinks) {
    std::string notes;
    int tried = 0;
    for (const LinkKind& kind : kLinkKinds) {
        TempDir parent;
        parent.write("precious/keep.txt", "keep");
        parent.write("tree/data/sub/file.bin", "x");
        parent.write("aside/note.txt", "note");
        if (!kind.make(parent.path() + "precious", parent.path() + "tree/data/link") ||
            !kind.make(parent.path() + "aside", parent.path() + "planted")) {
            notes += std::string(notes.empty() ? "" : "; ") + "the system made no " + kind.name;
            continue;
        }
        ++tried;
        expectDeletionStopsAtLinks(kind.name, parent.path(), true);
    }
    const char* data = std::getenv("VOLTARESCA_TEST_DATA");
    const std::string linuxLinks = std::string(data ? data : ".") + "/linux_links/";
    if (platform::isDirectory(linuxLinks + "tree")) {
        ++tried;
        expectDeletionStopsAtLinks("Linux link under Wine", linuxLinks, false);
        notes += std::string(notes.empty() ? "" : "; ") + "Linux links under Wine: the tree " +
                 (platform::isDirectory(linuxLinks + "tree") ? "stays with its link" : "went");
    }
    if (!notes.empty()) std::printf("[ note     ] %s\n", notes.c_str());
    if (tried == 0) GTEST_SKIP() << notes;
}

TEST(Paths, FoldersEndInTheSeparator) {
    EXPECT_EQ(platform::tempDirectory().back(), platform::pathSeparator()[0]);
    EXPECT_EQ(platform::executableDirectory().back(), platform::pathSeparator()[0]);
}

// Full screen takes the chosen mode exactly, bits per pixel and frequency included, or fails.
TEST(Window, FullScreenTakesTheChosenModeOrFailsNamingIt) {
    ASSERT_TRUE(platform::init()) << platform::lastError();
    platform::WindowDesc desc;
    desc.title = "mode";
    desc.width = 320;
    desc.height = 200;
    desc.hidden = true;
    desc.fullScreen = true;
    desc.mode = {320, 200, 32, 999};
    platform::Window* window = platform::createWindow(desc);
    EXPECT_EQ(window, nullptr);
    if (window) platform::destroyWindow(window);
    EXPECT_NE(platform::lastError().find("320x200x32bpp 999Hz"), std::string::npos) << platform::lastError();
    platform::quit();
}

TEST(Clock, CounterAdvances) {
    const int64_t a = platform::counter();
    ASSERT_GT(platform::counterFrequency(), 0);
    platform::sleepMilliseconds(20);
    // At least the time slept, and not wildly more (a busy machine may add a little).
    const double seconds = double(platform::counter() - a) / double(platform::counterFrequency());
    EXPECT_GE(seconds, 0.019);
    EXPECT_LT(seconds, 2.0);
}

}  // namespace
