// The file calls of the runtime: dispositions, sharing, positions, 64-bit sizes, lookup and
// path search. The same expectations run against the emulation and against Windows.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/test_files.h"

namespace {

const char* const kName = "tf_platform_file.tmp";
const char* const kFolder = "tf_platform_folder";

using tarnfold::testing_support::ReadWholeFile;
using tarnfold::testing_support::WriteWholeFile;

class PlatformFiles : public ::testing::Test {
protected:
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove(kName, ignored);
        std::filesystem::remove_all(kFolder, ignored);
    }
};

struct DispositionCase {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD error;          // the last error after the call
    const char* content;  // the file afterwards; null when it must not exist
};

TEST_F(PlatformFiles, DispositionsOnExistingAndMissingFiles) {
    const DispositionCase cases[] = {
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "0123456789"},
        {CREATE_NEW, false, true, 0, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_EXISTING, true, true, 0, "0123456789"},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "0123456789"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, true, true, 0, ""},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
    };
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << (c.exists ? " existing" : " missing"));
        std::remove(kName);
        if (c.exists) WriteWholeFile(kName, "0123456789");
        SetLastError(0);
        HANDLE h = CreateFileA(kName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, c.disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_NE(h, nullptr);
            CloseHandle(h);
        }
        EXPECT_EQ(std::filesystem::exists(kName), c.content != nullptr);
        if (c.content != nullptr) {
            EXPECT_EQ(ReadWholeFile(kName), c.content);
        }
    }
}

TEST_F(PlatformFiles, MissingFolderFoldersAndBadHandlesGiveWindowsCodes) {
    SetLastError(0);
    EXPECT_EQ(CreateFileA("tf_no_such_folder/x.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    std::filesystem::create_directory(kFolder);
    SetLastError(0);
    EXPECT_EQ(CreateFileA(kFolder, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // Reading a handle opened for writing only, and writing through a closed one.
    HANDLE h = CreateFileA(kName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char byte = 'x';
    DWORD count = 99;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(h, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(count, 0u);
    CloseHandle(h);
    SetLastError(0);
    EXPECT_FALSE(WriteFile(h, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A writer that shares reading only: readers that share reading are refused (they must
// share the writer's access), as is a second writer; readers that share writing get in.
TEST_F(PlatformFiles, ShareModesAreHonouredBetweenOpenHandles) {
    HANDLE writer = CreateFileA(kName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    struct {
        DWORD access, share;
        bool opens;
    } const cases[] = {
        {GENERIC_READ, FILE_SHARE_READ, false},
        {GENERIC_WRITE, FILE_SHARE_READ, false},
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "access " << c.access << " share " << c.share);
        SetLastError(0);
        HANDLE other = CreateFileA(kName, c.access, c.share, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(other != INVALID_HANDLE_VALUE, c.opens);
        if (other != INVALID_HANDLE_VALUE) {
            CloseHandle(other);
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        }
    }
    CloseHandle(writer);
    HANDLE reader = CreateFileA(kName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
}

TEST_F(PlatformFiles, PositionsAndSizesAre64Bit) {
    HANDLE h = CreateFileA(kName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 10u);
    SetLastError(0);
    EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    ASSERT_TRUE(WriteFile(h, "AB", 2, &written, nullptr));
    EXPECT_EQ(GetFileSize(h, nullptr), 12u);

    // One byte at 5,000,000,000 - 1: a sparse file of five billion bytes.
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 705032704 - 1, &high, FILE_BEGIN), 705032703u);
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(WriteFile(h, "z", 1, &written, nullptr));
    DWORD sizeHigh = 0;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 705032704u);
    EXPECT_EQ(sizeHigh, 1u);
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 5000000000LL);
    CloseHandle(h);

    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(kName, GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeHigh, 1u);
    EXPECT_EQ(data.nFileSizeLow, 705032704u);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    SetLastError(0);
    EXPECT_FALSE(GetFileAttributesExA("tf_no_such_file.tmp", GetFileExInfoStandard, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(GetFileSizeEx(nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(PlatformFiles, FindFirstFileMatchesWildcardsInTheLastElement) {
    std::filesystem::create_directory(kFolder);
    std::string file = std::string(kFolder) + "/report-7.txt";
    WriteWholeFile(file.c_str(), "12345");
    struct {
        const char* pattern;
        DWORD error;  // 0: found
    } const cases[] = {
        {"*.txt", 0}, {"report-?.txt", 0}, {"r*7*", 0},
        {"report-??.txt", ERROR_FILE_NOT_FOUND}, {"*.doc", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::string pattern = std::string(kFolder) + "/" + c.pattern;
        WIN32_FIND_DATAA data;
        SetLastError(0);
        HANDLE search = FindFirstFileA(pattern.c_str(), &data);
        if (c.error != 0) {
            EXPECT_EQ(search, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.error);
            continue;
        }
        ASSERT_NE(search, INVALID_HANDLE_VALUE);
        EXPECT_NE(search, nullptr);
        EXPECT_STREQ(data.cFileName, "report-7.txt");
        EXPECT_EQ(data.nFileSizeLow, 5u);
        EXPECT_EQ(data.nFileSizeHigh, 0u);
        EXPECT_TRUE(FindClose(search));
    }
    WIN32_FIND_DATAA data;
    SetLastError(0);
    EXPECT_EQ(FindFirstFileA("tf_no_such_folder/*.txt", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// Regression: the emulation had room for 4,096 open searches, after which FindFirstFileA
// reported an existing file as not found (FileRead$ then ends with "Could not open") in a
// program that keeps its FindFile searches open, which Windows allows.
TEST_F(PlatformFiles, SearchesLeftOpenRunOutAfter4096) {
    std::filesystem::create_directory(kFolder);
    std::string file = std::string(kFolder) + "/kept.txt";
    WriteWholeFile(file.c_str(), "1");
    std::vector<HANDLE> searches;
    for (int i = 0; i < 5000; ++i) {
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(file.c_str(), &data);
        ASSERT_NE(search, INVALID_HANDLE_VALUE) << "search " << i;
        searches.push_back(search);
    }
    for (HANDLE search : searches) EXPECT_TRUE(FindClose(search));
}

TEST_F(PlatformFiles, SearchPathFindsTheCurrentFolderAndGivenFolders) {
    WriteWholeFile(kName, "x");
    char found[MAX_PATH];
    char* filePart = nullptr;
    DWORD length = SearchPathA(nullptr, kName, nullptr, MAX_PATH, found, &filePart);
    ASSERT_GT(length, std::strlen(kName));
    EXPECT_EQ(std::strlen(found), length);
    EXPECT_STREQ(filePart, kName);
    EXPECT_NE(found[0], '.');  // a full name, not a relative one
    // A short buffer gets nothing; the result is the size needed with the terminator.
    char small[4] = "abc";
    EXPECT_EQ(SearchPathA(nullptr, kName, nullptr, sizeof small, small, nullptr), length + 1);

    std::filesystem::create_directory(kFolder);
    std::string inFolder = std::string(kFolder) + "/" + "tf_only_here.txt";
    WriteWholeFile(inFolder.c_str(), "y");
    std::string list = std::string("tf_no_such_folder;") + kFolder;
    length = SearchPathA(list.c_str(), "tf_only_here", ".txt", MAX_PATH, found, &filePart);
    ASSERT_GT(length, 0u);
    EXPECT_STREQ(filePart, "tf_only_here.txt");
    EXPECT_NE(std::string(found).find(kFolder), std::string::npos) << found;
    SetLastError(0);
    EXPECT_EQ(SearchPathA(nullptr, "tf_only_here.txt", nullptr, MAX_PATH, found, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Whether the Windows build runs under Wine, whose system texts are shorter than Windows'.
bool UnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// The texts FatalSystemError shows, each code with Windows' text and Wine's: the emulation
// gives Windows' text (CR LF included) for every code it produces; under Wine the real
// call gives Wine's text for the same code.
TEST(PlatformErrors, SystemTextsAreWindowsTextsForTheCodesTheLayerProduces) {
    struct {
        DWORD code;
        const char* windows;
        const char* wine;
    } const cases[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.", "File not found."},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.", "Path not found."},
        {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file.", "Too many open files."},
        {ERROR_ACCESS_DENIED, "Access is denied.", "Access denied."},
        {ERROR_INVALID_HANDLE, "The handle is invalid.", "Invalid handle."},
        {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command.",
         "Not enough memory."},
        {ERROR_SHARING_VIOLATION,
         "The process cannot access the file because it is being used by another process.",
         "Sharing violation."},
        {ERROR_FILE_EXISTS, "The file exists.", "File exists."},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect.", "Invalid parameter."},
        {ERROR_BROKEN_PIPE, "The pipe has been ended.", "Broken pipe."},
        {ERROR_DISK_FULL, "There is not enough space on the disk.", "Disk full."},
        {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.",
         "Insufficient buffer."},
        {ERROR_NEGATIVE_SEEK,
         "An attempt was made to move the file pointer before the beginning of the file.",
         "Negative seek."},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.",
         "File already exists."},
        {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long.", "File name is too long."},
        {ERROR_NO_DATA, "The pipe is being closed.", "Pipe closed."},
        {ERROR_NO_UNICODE_TRANSLATION,
         "No mapping for the Unicode character exists in the target multi-byte code page.",
         "No Unicode translation."},
        {ERROR_RESOURCE_NAME_NOT_FOUND,
         "The specified resource name cannot be found in the image file.", "Resource name not found."},
    };
    bool wine = UnderWine();
    for (const auto& c : cases) {
        char text[1024];
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, c.code, 0, text, sizeof text, nullptr);
        EXPECT_EQ(std::string(text, length), std::string(wine ? c.wine : c.windows) + "\r\n")
            << "code " << c.code;
    }
}

}  // namespace
