// Recall and Store: lines and records into arrays, arrays back into files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "arrays_text/array_fixture.h"
#include "files/line_split.h"
#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/guard_page.h"
#include "support/test_files.h"
#include "tarnfold.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>

#include <fstream>
#endif

namespace tarnfold {
namespace {

using testing_support::AssignOwned;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

std::string FileName(const char* tag) { return std::string("tarnfold_recall_") + tag + ".txt"; }

// Each element's text by its length (the sign only says who owns it), and its sign.
struct Elements {
    std::vector<std::string> texts;
    std::vector<int> signs;
    bool operator==(const Elements&) const = default;
};

Elements ElementsOf(std::int32_t number) {
    Elements out;
    StringArray* array = ArrayTable[number];
    for (std::int32_t i = 0; i < array->count; ++i) {
        const ElementRecord& e = *array->Element(i);
        std::int32_t length = e.length < 0 ? -e.length : e.length;
        out.texts.emplace_back(e.text, static_cast<std::size_t>(length));
        out.signs.push_back(e.length < 0 ? -1 : e.length > 0 ? 1 : 0);
        EXPECT_EQ(e.text[length], '\0') << "element " << i << " ends in place";
    }
    return out;
}

class RecallTest : public testing_support::StringArrayTest {};

struct SplitCase {
    const char* name;
    std::string bytes;
    std::optional<RecordMark> mark;  // none: line mode
    std::vector<std::string> texts;
};

// Line mode, record mode, and the files that do not end in CR LF (an unterminated last
// line is one more element of its true length; LF-only and CR-only texts are one line).
TEST_F(RecallTest, SplitsLinesAndRecords) {
    const RecordMark dashes = RecordMarker('-', '-');
    const SplitCase cases[] = {
        {"crlf", "a\r\nbc\r\n", {}, {"a", "bc"}},
        {"empty lines", "\r\n\r\n", {}, {"", ""}},
        {"bare lf", "x\ny\r\n", {}, {"x\ny"}},
        {"bare cr", "ab\rc\r\n", {}, {"ab\rc"}},
        {"empty file", "", {}, {}},
        {"bom", "\xEF\xBB\xBFone\r\ntwo\r\n", {}, {"\xEF\xBB\xBFone", "two"}},
        {"RecallDeliversAnUnterminatedLastLine", "a\r\nlast", {}, {"a", "last"}},
        {"lf only", "x\ny\n", {}, {"x\ny\n"}},
        {"cr only", "a\rb\r", {}, {"a\rb\r"}},
        {"one byte", "z", {}, {"z"}},
        {"records", "--a\r\nb\r\n--c\r\n", dashes, {"--a\r\nb", "--c"}},
        {"records unterminated", "--a\r\n--c", dashes, {"--a", "--c"}},
        {"records no mark", "a\r\nb\r\n", dashes, {"a\r\nb"}},
        {"mark cut by the end", "a\r\n-", dashes, {"a\r\n-"}},
        {"RecallRecordsOfAnEmptyFileGiveOneEmptyElement", "", dashes, {""}},
        {"RecallRecordsOfAOneByteFileGiveThatByte", "q", dashes, {"q"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string name = FileName("split");
        WriteWholeFile(name, c.bytes);
        RecallResult result =
            c.mark ? Recall(name.c_str(), 5, "lines", *c.mark) : Recall(name.c_str(), 5, "lines");
        EXPECT_EQ(result.size, c.bytes.size());
        EXPECT_EQ(result.count, static_cast<std::int32_t>(c.texts.size()));
        Elements got = ElementsOf(5);
        EXPECT_EQ(got.texts, c.texts);
        for (std::size_t i = 0; i < got.signs.size(); ++i)
            EXPECT_EQ(got.signs[i], c.texts[i].empty() ? 0 : -1) << "borrowed texts, element " << i;
        EXPECT_EQ(ArrayTable[0], kErasedArray);  // the work array is gone
        std::remove(name.c_str());
    }
}

// The two line-end choices over the same bytes: CrLf splits at CR LF only, CrLfOrLf at
// every LF, leaving out a CR right before it; a lone CR is text in both.
TEST_F(RecallTest, SplitsAtTheChosenLineEnds) {
    const struct {
        std::string bytes;
        std::vector<std::string> crLf, crLfOrLf;
    } cases[] = {
        {"a\nb\n", {"a\nb\n"}, {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}, {"a", "b"}},
        {"a\r\nb\nc\r\n", {"a", "b\nc"}, {"a", "b", "c"}},
        {"\n\r\n\n", {"\n", "\n"}, {"", "", ""}},
        {"a\rb\r\r\nc\r", {"a\rb\r", "c\r"}, {"a\rb\r", "c\r"}},
        {"\r\r\n\n", {"\r", "\n"}, {"\r", ""}},
        {"one\ntwo", {"one\ntwo"}, {"one", "two"}},
        {"x\r\nlast", {"x", "last"}, {"x", "last"}},
        {"", {}, {}},
        {"\n", {"\n"}, {""}},
        {"\r", {"\r"}, {"\r"}},
    };
    std::string name = FileName("ends");
    for (const auto& c : cases) {
        for (LineEnds ends : {LineEnds::CrLf, LineEnds::CrLfOrLf}) {
            SCOPED_TRACE(testing::PrintToString(c.bytes) + (ends == LineEnds::CrLf ? " CrLf" : " CrLfOrLf"));
            const std::vector<std::string>& texts = ends == LineEnds::CrLf ? c.crLf : c.crLfOrLf;
            WriteWholeFile(name, c.bytes);
            std::int32_t count = -1;
            RecallResult result = Recall(name.c_str(), 5, "lines", &count, ends);
            EXPECT_EQ(result.size, c.bytes.size());
            EXPECT_EQ(result.count, static_cast<std::int32_t>(texts.size()));
            EXPECT_EQ(count, result.count);
            EXPECT_EQ(ElementsOf(5).texts, texts);
            EXPECT_EQ(ArrayTable[0], kErasedArray);
        }
    }
    // Each text ends in place at the first byte of its line end; the rest stays.
    WriteWholeFile(name, "a\r\nb\nc");
    Recall(name.c_str(), 5, nullptr, nullptr, LineEnds::CrLfOrLf);
    EXPECT_EQ(std::string(ArrayTable[5]->sharedText, 7), std::string("a\0\nb\0c\0", 7));
    std::remove(name.c_str());
}

TEST_F(RecallTest, SplitsInPlaceAndReportsThroughTheCountVariable) {
    std::string name = FileName("inplace");
    WriteWholeFile(name, "a\r\nbc\r\n");
    testing_support::ArrayOf(5, {"old", "texts"});  // replaced, its blocks freed
    std::int32_t count = -1;
    Recall(name.c_str(), 5, "lines", &count);
    EXPECT_EQ(count, 2);
    StringArray* array = ArrayTable[5];
    EXPECT_EQ(std::string(array->sharedText, 7), std::string("a\0\nbc\0\n", 7));
    EXPECT_EQ(array->Element(0)->length, -1);
    EXPECT_EQ(array->Element(1)->length, -2);
    EXPECT_STREQ(array->name.text, "lines");
    std::remove(name.c_str());
}

// A read-write page whose address reads 0xFF91xxxx, as a 32-bit stack on Linux may, or
// none (with the reason) where the system places no page there.
class PageAtMarkerAddress {
public:
    static constexpr std::uintptr_t kFirst = 0xFF910000u;
    PageAtMarkerAddress() {
#ifdef _WIN32
        // Windows reserves address space in 64 KiB units: the one candidate is kFirst.
        page_ = VirtualAlloc(reinterpret_cast<void*>(kFirst), kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (page_ == nullptr) why_ = "VirtualAlloc refuses 0xFF910000 (no large address space for this program)";
#else
        // A page within the stack's guard gap (1 MiB) would stop it from growing: keep that
        // and a little room for the test's own calls clear.
        const std::uintptr_t stack = StackStart();
        for (std::uintptr_t at = kFirst; at < kFirst + 0x10000 && page_ == nullptr; at += kPage) {
            if (stack != 0 && at < stack && stack - at <= (5u << 18)) continue;
            void* got = mmap(reinterpret_cast<void*>(at), kPage, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
            if (got == MAP_FAILED) continue;
            if (got == reinterpret_cast<void*>(at)) page_ = got;
            else munmap(got, kPage);  // a kernel that took the address only as a hint
        }
        if (page_ == nullptr) why_ = "no page from 0xFF910000 to 0xFF91F000 is free (the stack lies there)";
#endif
    }
    ~PageAtMarkerAddress() {
        if (page_ == nullptr) return;
#ifdef _WIN32
        VirtualFree(page_, 0, MEM_RELEASE);
#else
        munmap(page_, kPage);
#endif
    }
    PageAtMarkerAddress(const PageAtMarkerAddress&) = delete;
    PageAtMarkerAddress& operator=(const PageAtMarkerAddress&) = delete;

    char* get() const { return static_cast<char*>(page_); }
    const std::string& why() const { return why_; }

private:
    static constexpr std::size_t kPage = 4096;
#ifndef _WIN32
    // The lowest address of the main thread's stack, or 0 when unknown.
    static std::uintptr_t StackStart() {
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line))
            if (line.find("[stack]") != std::string::npos) return std::stoul(line, nullptr, 16);
        return 0;
    }
#endif
    void* page_ = nullptr;
    std::string why_;
};

// Regression: Linux places 32-bit stacks at 0xFF8xxxxx-0xFFFxxxxx, so the address of a count
// variable could read as a record mark (upper half 0xFF91): Recall split records (N = 1)
// and left the count unset. A count variable and a mark are now different types.
TEST_F(RecallTest, RecallReadsACountVariableAtFF91xxxxAsARecordMark) {
    PageAtMarkerAddress page;
    if (page.get() == nullptr) GTEST_SKIP() << page.why();
    std::string name = FileName("marker_address");
    WriteWholeFile(name, "a\r\nb\r\nc\r\n");
    for (std::size_t offset : {std::size_t{0}, std::size_t{0x0A0C}, std::size_t{0x0FFC}}) {
        auto* count = reinterpret_cast<std::int32_t*>(page.get() + offset);
        SCOPED_TRACE(static_cast<const void*>(count));
        *count = -1;
        EXPECT_EQ(Recall(name.c_str(), 5, nullptr, count).count, 3);
        EXPECT_EQ(*count, 3);
        EXPECT_EQ(ElementsOf(5).texts, (std::vector<std::string>{"a", "b", "c"}));
    }
    std::remove(name.c_str());
}

TEST_F(RecallTest, TakesTheHandleOfASlotAndClosesIt) {
    std::string name = FileName("slot");
    WriteWholeFile(name, "one\r\ntwo\r\n");
    ASSERT_NE(OpenInput(4, name.c_str(), kNoSearch), kFailedSlot);
    EXPECT_EQ(Recall(FileRef{4}, 7).count, 2);
    EXPECT_EQ(FileSlotTable[4], kFreeSlot);
    EXPECT_EQ(std::remove(name.c_str()), 0);  // closed: Windows removes no open file
}

// The line-end scans and the LF count against a byte-at-a-time reference, over alignments,
// block borders and random texts; the data's end is the last byte before an unreadable page.
TEST(LineEndScan, FindsEveryPairOnceAndReadsNothingBeyondTheData) {
    std::mt19937 random(7);
    testing_support::GuardedPage page;
    for (std::size_t size = 0; size <= 300; ++size) {
        for (int round = 0; round < 4; ++round) {
            char* data = page.Tail(size);
            for (std::size_t i = 0; i < size; ++i) data[i] = "\r\nab"[random() % 4];
            std::vector<std::size_t> expected, got, lineFeeds, gotLineFeeds;
            for (std::size_t i = 0; i + 1 < size; ++i)
                if (data[i] == '\r' && data[i + 1] == '\n') expected.push_back(i);
            for (std::size_t i = 0; i < size; ++i)
                if (data[i] == '\n') lineFeeds.push_back(i);
            ASSERT_EQ(CountLineFeeds(data, size), lineFeeds.size()) << "size " << size;
            ForEachLineFeed(data, size, [&](char* at) { gotLineFeeds.push_back(static_cast<std::size_t>(at - data)); });
            ASSERT_EQ(gotLineFeeds, lineFeeds) << "size " << size;
            ForEachCrLf(data, size, [&](std::size_t at) {
                got.push_back(at);
                data[at] = '\0';  // as Recall does: the pair is still found once
            });
            ASSERT_EQ(got, expected) << "size " << size;
        }
    }
    // Every byte a LF, past the 63 steps of 64 bytes after which the count sums its lanes.
    for (std::size_t size : {4031u, 4032u, 4033u, 4095u, 4096u}) {
        char* data = page.Tail(size);
        std::memset(data, '\n', size);
        EXPECT_EQ(CountLineFeeds(data, size), size);
        EXPECT_EQ(CountLineFeeds(data + 1, size - 1), size - 1);
    }
}

TEST_F(RecallTest, FailuresAreFatal) {
    EXPECT_FATAL(Recall("no such file.txt", 3), -5,
                 "Could not open\nno such file.txt\nfor Recall, FileRead$ etc.");
    EXPECT_FATAL(Recall(FileRef{3}, 3), -5, "Could not open\n3\nfor Recall, FileRead$ etc.");
    // A slot opened for output cannot be read: no empty array to store back over the file.
    const std::string kept = FileName("kept");
    WriteWholeFile(kept, "data\r\n");
    EXPECT_FATAL(
        {
            OpenOutput(4, kept.c_str(), 'a');
            Recall(FileRef{4}, 3);
        },
        -5, "Could not open\n4\nfor Recall, FileRead$ etc.");
    EXPECT_EQ(ReadWholeFile(kept), "data\r\n");
    std::remove(kept.c_str());
    EXPECT_FATAL(
        {
            ErrorLine = 12;
            Recall(FileName("any").c_str(), 0);
        },
        -6, "Line 12: Count too high");
}

// Regression: the table was sized by the file, 2 x S + 4097 records of 8 bytes (a 300 MB file
// needed 4.8 GB, a 3 MB one 48 MB), whatever its lines. It is now sized by the LFs the file
// holds: LFs + 2 records, here for a sparse 3,000,000-byte file with one LF at its end.
TEST_F(RecallTest, RecallSizesItsTableByTheLineEndsNotByTheFile) {
    std::string name = FileName("sparse");
    std::FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 3000000L - 1, SEEK_SET);
    std::fputc('\n', file);
    std::fclose(file);
    for (LineEnds ends : {LineEnds::CrLf, LineEnds::CrLfOrLf}) {
        EXPECT_EQ(Recall(name.c_str(), 3, nullptr, nullptr, ends).count, 1);  // with or without its LF
        EXPECT_EQ(HeapSize(GetProcessHeap(), 0, ArrayTable[3]), ArrayBlockSize(1 + 2));
        EXPECT_EQ(-ArrayTable[3]->Element(0)->length, ends == LineEnds::CrLf ? 3000000 : 2999999);
    }
    std::remove(name.c_str());
}

class StoreTest : public testing_support::StringArrayTest {};

TEST_F(StoreTest, WritesEachElementWithCrLf) {
    std::string name = FileName("store");
    testing_support::ArrayOf(2, {"a", "", "bc"});
    Store(name.c_str(), 2);
    EXPECT_EQ(ReadWholeFile(name), "a\r\n\r\nbc\r\n");
    Store(name.c_str(), 2, 2);
    EXPECT_EQ(ReadWholeFile(name), "a\r\n\r\n");
    Store(name.c_str(), 2, 0);  // StoreOfCountZeroWritesNothing
    EXPECT_EQ(ReadWholeFile(name), "");
    Store(name.c_str(), 11);  // never created: an empty file
    EXPECT_EQ(ReadWholeFile(name), "");

    // Appending through a slot: the lines follow the file's bytes, the slot is free after.
    WriteWholeFile(name, "head\r\n");
    ASSERT_NE(OpenOutput(3, name.c_str(), 'a'), kFailedSlot);
    Store(FileRef{3}, 2, 1);
    EXPECT_EQ(FileSlotTable[3], kFreeSlot);
    EXPECT_EQ(ReadWholeFile(name), "head\r\na\r\n");
    // The next temporary starts at the ring's first byte.
    EXPECT_EQ(RecordTemp(RingPosition() + 3).start, ScratchRing);
    std::remove(name.c_str());
}

// Small edge texts, a generated text that crosses a batch border, and real texts: the
// system's licence files with CR LF line ends (Wine sees them on drive Z:).
TEST_F(StoreTest, RecalledFilesStoreBackIdentically) {
    std::vector<std::string> files = {"", "\r\n", "only\r\n", "a\r\n\r\nb\r\n", ""};
    std::mt19937 random(11);
    while (files.back().size() < 1500000) {
        files.back().append(random() % 300, static_cast<char>('a' + random() % 26));
        files.back() += "\r\n";
    }
#ifdef _WIN32
    const std::string licences = "Z:/usr/share/common-licenses/";
#else
    const std::string licences = "/usr/share/common-licenses/";
#endif
    for (const char* licence : {"Apache-2.0", "Artistic", "BSD", "GFDL-1.3", "GPL-2", "GPL-3", "MPL-2.0"}) {
        std::string text = ReadWholeFile(licences + licence);
        if (text == "<missing>") continue;
        std::string crlf;
        for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        files.push_back(crlf);
    }
    std::string in = FileName("roundtrip_in"), out = FileName("roundtrip_out");
    for (const std::string& bytes : files) {
        WriteWholeFile(in, bytes);
        Recall(in.c_str(), 4);
        Store(out.c_str(), 4);
        EXPECT_TRUE(ReadWholeFile(out) == bytes) << bytes.size() << " bytes";
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
}

TEST_F(StoreTest, LongElementsGoInBatchesOrStraightToTheFile) {
    std::string name = FileName("long");
    StringArray* array = CreateArray(6, 7);
    std::string hundredK(100000, 'h');
    for (int i = 0; i < 7; ++i) AssignOwned(array, i, hundredK.c_str());
    // StoreWritesAnElementTooLongForABatchStraightToTheFile
    std::string huge(639998, 'x');
    AssignOwned(array, 7, huge.c_str());
    Store(name.c_str(), 6);
    std::string expected;
    for (int i = 0; i < 7; ++i) expected += hundredK + "\r\n";
    expected += huge + "\r\n";
    EXPECT_TRUE(ReadWholeFile(name) == expected);
    std::remove(name.c_str());
}

// Regression: a Store by name that could not succeed created or emptied the file first and
// only then met the missing element or the erased array. The same fatal errors now come
// before the file is opened, so the file keeps its bytes (a batch already written included).
TEST_F(StoreTest, StoreEmptiesTheFileBeforeAFatalErrorItCouldRaiseFirst) {
    const std::string precious = "precious data\r\n";
    struct {
        const char* name;
        void (*arrange)();
        std::int32_t array;
        std::int32_t count;
        int code;
        const char* message;
    } const cases[] = {
        {"count beyond three elements", [] { testing_support::ArrayOf(3, {"a", "b", "c"}); }, 3, 5, -6,
         "Line 3: Count too high"},
        {"count beyond a written batch",
         [] {
             StringArray* array = CreateArray(3, 6);
             std::string text(100000, 'h');
             for (int i = 0; i < 7; ++i) AssignOwned(array, i, text.c_str());
         },
         3, 8, -6, "Line 7: Count too high"},
        {"erased, one element", [] { EraseArray((CreateArray(3, 1), 3)); }, 3, 1, -7, "Line 0: Array was erased"},
        {"erased, every element", [] { EraseArray((CreateArray(3, 1), 3)); }, 3, -1, -7,
         "Line 0: Array was erased"},
        {"array number beyond the table", [] {}, kArrayCount, 1, -6, "Line 0: Count too high"},
        {"erased, count 0", [] { EraseArray((CreateArray(3, 1), 3)); }, 3, 0, -7, "Line 0: Array was erased"},
        {"array number beyond the table, count 0", [] {}, kArrayCount, 0, -6, "Line 0: Count too high"},
    };
    std::string name = FileName("precious");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(name, precious);
        EXPECT_FATAL(
            {
                c.arrange();
                Store(name.c_str(), c.array, c.count);
            },
            c.code, c.message);
        std::string after = ReadWholeFile(name);
        EXPECT_TRUE(after == precious) << after.size() << " bytes: " << after.substr(0, 20);
    }
    std::remove(name.c_str());
}

TEST_F(StoreTest, FailuresAreFatal) {
    std::string name = FileName("fatal");
    EXPECT_FATAL(
        {
            testing_support::ArrayOf(2, {"a", "b", "c"});
            Store(name.c_str(), 2, 5);
        },
        -6, "Line 3: Count too high");
    EXPECT_EQ(ReadWholeFile(name), "<missing>");  // checked before the file is created
    EXPECT_FATAL(
        {
            CreateArray(2, 1);
            EraseArray(2);
            Store(name.c_str(), 2);
        },
        -7, "Line 0: Array was erased");
    EXPECT_FATAL(Store("no/such/folder/file.txt", 2), -4, "Could not open\nno/such/folder/file.txt\nfor Store");
    // A free slot fails alike with nothing to write and with a line.
    char invalid[256];
    const DWORD invalidLength = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_INVALID_HANDLE, 0,
                                               invalid, sizeof invalid, nullptr);
    for (std::int32_t count : {0, 1}) {
        EXPECT_FATAL(
            {
                testing_support::ArrayOf(2, {"a"});
                Store(FileRef{6}, 2, count);
            },
            kFatalUnknownExitCode, "GetLastError:\r\n" + std::string(invalid, invalidLength));
    }
#ifndef _WIN32
    // StoreReportsAFullDisk: a failed write is no success.
    EXPECT_FATAL(
        {
            testing_support::ArrayOf(2, {"a"});
            Store("/dev/full", 2);
        },
        kFatalUnknownExitCode, "GetLastError:\r\nThere is not enough space on the disk.\r\n");
#endif
    std::remove(name.c_str());
}

}  // namespace
}  // namespace tarnfold
