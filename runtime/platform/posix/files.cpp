// CreateFileA, positions, sizes, attributes, FindFirstFileA and SearchPathA on POSIX files.
#include "../win32.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fault_injection.h"

namespace {

using tarnfold::posix::SetLastErrorFromErrno;

// The folder part of a name ("" for a bare name), without its final separator.
std::string FolderOf(const std::string& name) {
    std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : name.substr(0, slash);
}

// Windows tells a missing file (2) from a missing folder on the way to it (3).
void SetNotFoundError(const std::string& name) {
    std::string folder = FolderOf(name);
    struct stat info;
    bool folderExists = folder.empty() || (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
    SetLastError(folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
}

void SetErrorFor(const std::string& name, int error) {
    if (error == ENOENT) SetNotFoundError(name);
    else SetLastErrorFromErrno(error);
}

// 100-nanosecond intervals since 1601-01-01.
FILETIME FileTimeOf(const timespec& time) {
    constexpr std::uint64_t kUnixEpochIn1601Seconds = 11644473600ull;
    std::uint64_t ticks = (static_cast<std::uint64_t>(time.tv_sec) + kUnixEpochIn1601Seconds) * 10000000ull +
                          static_cast<std::uint64_t>(time.tv_nsec) / 100;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    if ((info.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

// Fills the fields a directory entry and an attribute query share; folders have size 0.
template <typename Record>
void FillFileRecord(const struct stat& info, Record& record) {
    record.dwFileAttributes = AttributesOf(info);
    record.ftCreationTime = FileTimeOf(info.st_mtim);
    record.ftLastAccessTime = FileTimeOf(info.st_atim);
    record.ftLastWriteTime = FileTimeOf(info.st_mtim);
    std::uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::uint64_t>(info.st_size);
    record.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    record.nFileSizeLow = static_cast<DWORD>(size);
}

// '*' any run of characters, '?' any one character; everything else as is.
bool MatchesWildcards(const char* pattern, const char* name) {
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' || *pattern == *name) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

// Open searches: their handle values lie far above every file handle. The set grows as
// searches stay open (Windows sets no small limit; FindFile may leave each one open).
constexpr std::uintptr_t kFirstSearchHandle = 0x00100000;
constexpr std::size_t kSearchLimit = (0u - kFirstSearchHandle) / 4;
std::vector<bool> searchOpen;

HANDLE NewSearchHandle() {
    std::size_t i = 0;
    while (i < searchOpen.size() && searchOpen[i]) ++i;
    if (i == searchOpen.size()) {
        if (i >= kSearchLimit) return nullptr;
        searchOpen.push_back(false);
    }
    searchOpen[i] = true;
    return reinterpret_cast<HANDLE>(kFirstSearchHandle + 4 * static_cast<std::uintptr_t>(i));
}

bool FileExists(const std::string& name) {
    struct stat info;
    return stat(name.c_str(), &info) == 0;
}

std::string CurrentFolder() {
    char folder[4096];
    return getcwd(folder, sizeof folder) != nullptr ? folder : ".";
}

std::string ProgramFolder() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    return FolderOf(std::string(path, static_cast<std::size_t>(n)));
}

// The folders of a path list, each made absolute.
void AppendFolders(std::string list, char separator, std::string* folders, int& count, int limit) {
    std::size_t start = 0;
    while (start <= list.size() && count < limit) {
        std::size_t end = list.find(separator, start);
        if (end == std::string::npos) end = list.size();
        std::string folder = list.substr(start, end - start);
        if (!folder.empty()) folders[count++] = folder[0] == '/' ? folder : CurrentFolder() + "/" + folder;
        start = end + 1;
    }
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition,
                   DWORD, HANDLE) {
    if (name == nullptr || *name == '\0') {
        SetLastError(name == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (tarnfold::posix::FaultDue(tarnfold::posix::FaultPoint::Open)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC;
    bool reads = (access & GENERIC_READ) != 0, writes = (access & GENERIC_WRITE) != 0;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    // A file is emptied only once it has its handle: an open that fails leaves it whole.
    bool empties = false;
    switch (disposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT; empties = true; break;
        case OPEN_EXISTING: break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING:
            if (!writes) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return INVALID_HANDLE_VALUE;
            }
            empties = true;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    // Sharing is checked before anything is created or emptied.
    struct stat before;
    bool existed = stat(name, &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (existed && !tarnfold::posix::SharingAllows(before.st_dev, before.st_ino, access, share)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    int descriptor = open(name, flags, 0666);
    if (descriptor < 0 && tarnfold::posix::RaiseDescriptorLimit(errno)) descriptor = open(name, flags, 0666);
    if (descriptor < 0) {
        SetErrorFor(name, errno);
        return INVALID_HANDLE_VALUE;
    }
    struct stat info;
    if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(descriptor);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    tarnfold::posix::FileSharing sharing{true, static_cast<std::uint64_t>(info.st_dev),
                                         static_cast<std::uint64_t>(info.st_ino), access, share};
    HANDLE handle = tarnfold::posix::OpenHandle(descriptor, sharing);
    if (handle == nullptr) {
        close(descriptor);
        return INVALID_HANDLE_VALUE;
    }
    // Devices and pipes (/dev/null, /dev/full) have nothing to empty, as on Windows.
    if (empties && S_ISREG(info.st_mode) && ftruncate(descriptor, 0) != 0) {
        int error = errno;
        CloseHandle(handle);
        SetLastErrorFromErrno(error);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    int descriptor = tarnfold::posix::HandleDescriptor(file);
    if (descriptor < 0) return INVALID_SET_FILE_POINTER;
    std::int64_t move = distanceHigh != nullptr
                            ? static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                                        static_cast<DWORD>(distance))
                            : distance;
    std::int64_t base = 0;
    struct stat info;
    if (method == FILE_CURRENT) {
        base = lseek(descriptor, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        base = fstat(descriptor, &info) == 0 ? info.st_size : -1;
    } else if (method != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t target = base + move;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh == nullptr && target > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(descriptor, static_cast<off_t>(target), SEEK_SET) < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(target >> 32);
    // A low part that reads as the failure value is told apart by a zero last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(target);
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    int descriptor = tarnfold::posix::HandleDescriptor(file);
    if (descriptor < 0) return FALSE;
    struct stat info;
    if (fstat(descriptor, &info) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    size->QuadPart = S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : 0;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) return INVALID_FILE_SIZE;
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size.HighPart);
    SetLastError(ERROR_SUCCESS);
    return size.LowPart;
}

BOOL GetFileAttributesExA(LPCSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID information) {
    if (level != GetFileExInfoStandard || name == nullptr || information == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat info;
    if (*name == '\0' || stat(name, &info) != 0) {
        SetErrorFor(name, *name == '\0' ? ENOENT : errno);
        return FALSE;
    }
    FillFileRecord(info, *static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(information));
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (pattern == nullptr || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string full(pattern);
    std::size_t slash = full.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : full.substr(0, slash));
    std::string last = slash == std::string::npos ? full : full.substr(slash + 1);
    DIR* directory = last.empty() ? nullptr : opendir(folder.c_str());
    if (directory == nullptr && !last.empty() && tarnfold::posix::RaiseDescriptorLimit(errno))
        directory = opendir(folder.c_str());
    if (directory == nullptr) {
        if (last.empty()) SetLastError(ERROR_FILE_NOT_FOUND);
        else if (errno == ENOENT || errno == ENOTDIR) SetLastError(ERROR_PATH_NOT_FOUND);
        else SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    bool found = false;
    while (dirent* entry = readdir(directory)) {
        if (!MatchesWildcards(last.c_str(), entry->d_name)) continue;
        struct stat info;
        std::string path = folder + "/" + entry->d_name;
        if (stat(path.c_str(), &info) != 0 || std::strlen(entry->d_name) >= MAX_PATH) continue;
        std::memset(data, 0, sizeof *data);
        FillFileRecord(info, *data);
        std::strcpy(data->cFileName, entry->d_name);
        found = true;
        break;
    }
    closedir(directory);
    if (!found) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE search = NewSearchHandle();
    if (search == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return search;
}

BOOL FindClose(HANDLE search) {
    auto value = reinterpret_cast<std::uintptr_t>(search);
    std::uintptr_t index = (value - kFirstSearchHandle) / 4;
    if (value < kFirstSearchHandle || value % 4 != 0 || index >= searchOpen.size() || !searchOpen[index]) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    searchOpen[index] = false;
    return TRUE;
}

DWORD SearchPathA(LPCSTR path, LPCSTR name, LPCSTR extension, DWORD bufferLength, LPSTR buffer,
                  LPSTR* filePart) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string wanted(name);
    std::size_t lastElement = wanted.rfind('/');
    lastElement = lastElement == std::string::npos ? 0 : lastElement + 1;
    if (extension != nullptr && wanted.find('.', lastElement) == std::string::npos) wanted += extension;

    constexpr int kFolderLimit = 256;
    std::string folders[kFolderLimit];
    int count = 0;
    std::string found;
    if (wanted[0] == '/') {
        if (FileExists(wanted)) found = wanted;
    } else {
        if (path != nullptr) {
            AppendFolders(path, ';', folders, count, kFolderLimit);
        } else {
            folders[count++] = ProgramFolder();
            folders[count++] = CurrentFolder();
            if (const char* list = std::getenv("PATH")) AppendFolders(list, ':', folders, count, kFolderLimit);
        }
        for (int i = 0; i < count && found.empty(); ++i) {
            std::string candidate = (folders[i] == "/" ? "" : folders[i]) + "/" + wanted;
            if (FileExists(candidate)) found = candidate;
        }
    }
    if (found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (found.size() + 1 > bufferLength) return static_cast<DWORD>(found.size() + 1);
    std::memcpy(buffer, found.c_str(), found.size() + 1);
    if (filePart != nullptr) *filePart = buffer + found.rfind('/') + 1;
    return static_cast<DWORD>(found.size());
}
