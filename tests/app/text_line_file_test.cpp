#include "app/text_line_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/address_lists.h"
#include "temp_folder.h"

namespace clinora {
namespace {

using testing::TempFolder;
using List = std::vector<std::string>;

List ReadBack(const TempFolder& folder, const std::string& bytes) {
    folder.write("list.csv", bytes);
    List list{"stale"};
    ReadAddressList(folder.file("list.csv"), list);
    return list;
}

TEST(AddressFileReading, HeaderDroppedAndReadingStopsAtAnEmptyLine) {
    TempFolder folder;
    EXPECT_EQ(ReadBack(folder, "Header\r\n100\r\n\r\n200\r\n"), List{"100"});
    EXPECT_EQ(ReadBack(folder, "Header\r\n100\r\n100\r\n300"), (List{"100", "300"}));
    EXPECT_EQ(ReadBack(folder, "Header\r\n\t10\n1\r\n"), List{"101"});  // TAB, LF skipped
    EXPECT_EQ(ReadBack(folder, "H\r200\r"), List{"200"});               // CR alone ends a line
}

TEST(AddressFileReading, LargeFileKeepsEachLineOnceInFileOrder) {
    // 300000 different lines, then all of them again. Comparing every new line
    // with every kept one would take many minutes here; a start-up reads pool
    // files of this size.
    constexpr int kLines = 300000;
    std::string bytes = "Header\r\n";
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < kLines; ++i) bytes += std::to_string(kLines - i) + "\r\n";
    TempFolder folder;
    const List list = ReadBack(folder, bytes);
    ASSERT_EQ(list.size(), static_cast<size_t>(kLines));
    EXPECT_EQ(list.front(), std::to_string(kLines));
    EXPECT_EQ(list.back(), "1");
}

TEST(AddressFileReading, ShortFilesYieldNothing) {
    TempFolder folder;
    EXPECT_TRUE(ReadBack(folder, "").empty());
    EXPECT_TRUE(ReadBack(folder, "7").empty());
    EXPECT_TRUE(ReadBack(folder, "Header only\r\n").empty());
}

TEST(AddressFileReading, HighByteCutsTheLine) {
    TempFolder folder;
    EXPECT_EQ(ReadBack(folder,
                       "H\r\n12\xB0"
                       "34\r\n56\r\n"),
              (List{"12", "34", "56"}));
    EXPECT_EQ(ReadBack(folder,
                       "H\r\n12\x01"
                       "34\r\n"),
              (List{"12", "34"}));
}

TEST(AddressFileReading, MissingFileIsCreatedEmpty) {
    TempFolder folder;
    List list{"old"};
    ReadAddressList(folder.file("new.csv"), list);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(folder.exists("new.csv"));
    List untouched{"kept"};
    ReadAddressList("", untouched);
    EXPECT_EQ(untouched, List{"kept"});
}

TEST(TextLineFile, ReadListSetsLineBreakFlagAndNeedsAnOpenFile) {
    TempFolder folder;
    TextLineFile file;
    List list;
    EXPECT_FALSE(file.readList(list));
    folder.write("a.csv", "x\r\ny");
    ASSERT_TRUE(file.open(folder.file("a.csv"), false));
    EXPECT_TRUE(file.open(folder.file("other.csv"), true));  // already open: no reopen
    EXPECT_FALSE(folder.exists("other.csv"));
    EXPECT_TRUE(file.readList(list));
    EXPECT_FALSE(file.endsWithLineBreak());
    EXPECT_EQ(list, (List{"x", "y"}));
}

TEST(TextLineFile, WriteListReplacesTheFileAndReadingDropsTheFirstLine) {
    TempFolder folder;
    folder.write("a.csv", "Header\r\nold1\r\nold2\r\nold3\r\n");
    TextLineFile file;
    ASSERT_TRUE(file.open(folder.file("a.csv"), false));
    EXPECT_TRUE(file.writeList({"1", "2"}));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(folder.read("a.csv"), "1\r\n2\r\n");
    List list;
    ReadAddressList(folder.file("a.csv"), list);
    EXPECT_EQ(list, List{"2"});
}

TEST(TextLineFile, WriteListNeverLeavesTheOldFileHalfWritten) {
    // A reader holding the old file keeps the whole old content: the new list
    // is written beside it and renamed over it, not written into it.
    TempFolder folder;
    folder.write("a.csv", "Header\r\n100\r\n");
    int reader = ::open(folder.file("a.csv").c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    TextLineFile file;
    ASSERT_TRUE(file.open(folder.file("a.csv"), false));
    ASSERT_TRUE(file.writeList({"Header", "200"}));
    char old[64] = {};
    EXPECT_EQ(::pread(reader, old, sizeof old, 0), 13);
    EXPECT_STREQ(old, "Header\r\n100\r\n");
    ::close(reader);
    EXPECT_EQ(folder.read("a.csv"), "Header\r\n200\r\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.path()))
        ++entries;
    EXPECT_EQ(entries, 1);  // no temporary file left behind
}

TEST(TextLineFile, AppendedLinesStartOnTheirOwnLineAndGoToTheEnd) {
    TempFolder folder;
    folder.write("log.csv", "head");
    TextLineFile file;
    ASSERT_TRUE(file.open(folder.file("log.csv"), false));
    file.appendLine("a");  // file does not end with a line break
    file.setEndsWithLineBreak(true);
    file.appendLine("b");
    EXPECT_EQ(folder.read("log.csv"), "head");  // still buffered
    EXPECT_TRUE(file.flush());
    EXPECT_EQ(folder.read("log.csv"), "head\r\nab\r\n");
    EXPECT_EQ(file.length(), 10);
}

TEST(TextLineFile, FullBufferIsWrittenOut) {
    TempFolder folder;
    TextLineFile file;
    ASSERT_TRUE(file.open(folder.file("log.csv"), true));
    file.setEndsWithLineBreak(true);
    const std::string line(98, 'x');  // 100 bytes with CR LF
    for (int i = 0; i < 10; ++i) file.appendLine(line);
    EXPECT_EQ(file.length(), 0);
    file.appendLine(line);
    EXPECT_EQ(file.length(), 1024);
    file.close();  // close alone drops what is still buffered
    EXPECT_EQ(folder.read("log.csv").size(), 1024u);
}

TEST(TextLineFile, OpenWithoutCreateNeedsAnExistingFile) {
    TempFolder folder;
    TextLineFile file;
    EXPECT_FALSE(file.open(folder.file("none.csv"), false));
    EXPECT_FALSE(folder.exists("none.csv"));
    folder.write("full.csv", "abc");
    ASSERT_TRUE(file.open(folder.file("full.csv"), true));
    EXPECT_EQ(file.length(), 0);                              // created over it: emptied
    EXPECT_FALSE(TextLineFile().open(folder.path(), false));  // a folder is not a file
}

}  // namespace
}  // namespace clinora
