// Whole-file reads and replacing writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/FileBytes.h"

namespace mrk {
namespace {

namespace fs = std::filesystem;

class FileBytes : public ::testing::Test {
protected:
    FileBytes() {
        std::string t = (fs::temp_directory_path() / "mrk-filebytes-XXXXXX").string();
        dir_ = ::mkdtemp(t.data());
    }
    ~FileBytes() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string P(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Text(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> n;
        for (const auto& e : fs::directory_iterator(dir_)) n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    }
    fs::path dir_;
};

TEST_F(FileBytes, ReadsRegularFilesAndRefusesEverythingElse) {
    std::ofstream(P("f.bin"), std::ios::binary) << std::string("a\0b", 3);
    fs::create_directory(P("folder"));
    ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0600), 0);
    std::vector<uint8_t> bytes;
    int err = 0;
    ASSERT_TRUE(ReadRegularFile(P("f.bin"), bytes, err));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 0, 'b'}));
    struct Case {
        const char* name;
        const char* text;
    } cases[] = {{"folder", "это папка"}, {"pipe", "не обычный файл"}, {"absent", "нет такого файла"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadRegularFile(P(c.name), bytes, err));
        EXPECT_NE(FileErrorText(err).find(c.text), std::string::npos) << FileErrorText(err);
    }
}

TEST_F(FileBytes, ReplaceKeepsPermissionsFollowsLinksAndLeavesNoTemporaryFile) {
    std::ofstream(P("out.hex")) << "old";
    ::chmod(P("out.hex").c_str(), 0640);
    fs::create_symlink("out.hex", P("link.hex"));
    int err = 0;
    ASSERT_TRUE(ReplaceFile(P("link.hex"), std::string("new"), err)) << FileErrorText(err);
    EXPECT_EQ(Text(P("out.hex")), "new");
    EXPECT_TRUE(fs::is_symlink(P("link.hex")));
    struct stat st {};
    ASSERT_EQ(::stat(P("out.hex").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.hex", "out.hex"}));

    // A new file gets the usual permissions, not the temporary file's private ones.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(ReplaceFile(P("new.hex"), std::string("x"), err));
    ::umask(mask);
    ASSERT_EQ(::stat(P("new.hex").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(FileBytes, AFailedReplaceLeavesTheEarlierFileWhole) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    std::ofstream(P("out.hex")) << "earlier";
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
    int err = 0;
    EXPECT_FALSE(CanReplaceFile(P("out.hex"), err));
    EXPECT_FALSE(ReplaceFile(P("out.hex"), std::string("later"), err));
    EXPECT_EQ(err, EACCES);
    EXPECT_EQ(Text(P("out.hex")), "earlier");
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Names(), std::vector<std::string>{"out.hex"});
    EXPECT_TRUE(CanReplaceFile(P("out.hex"), err));
    EXPECT_EQ(Names(), std::vector<std::string>{"out.hex"});
}

// A file no image of these chips comes near is refused by its size, before a
// byte of it is read (the big one is sparse: it costs no disk and, read whole,
// would cost a gigabyte of memory).
TEST_F(FileBytes, AFileLargerThanAnyImageIsRefusedBeforeItIsRead) {
    std::vector<uint8_t> bytes{1, 2, 3};
    int err = 0;
    struct Case {
        const char* name;
        uintmax_t size;
        bool read;
    } cases[] = {{"limit.hex", kMaxInputFileBytes, true},
                 {"limit-plus-one.hex", kMaxInputFileBytes + 1, false},
                 {"gigabyte.hex", uintmax_t{1} << 30, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(P(c.name)).close();
        fs::resize_file(P(c.name), c.size);
        EXPECT_EQ(ReadRegularFile(P(c.name), bytes, err), c.read);
        if (c.read) {
            EXPECT_EQ(bytes.size(), c.size);
        } else {
            EXPECT_EQ(err, EFBIG);
            EXPECT_NE(FileErrorText(err).find("больше 4 МБ"), std::string::npos) << FileErrorText(err);
        }
    }
    // A smaller limit of the caller's own.
    std::ofstream(P("small.bin")) << "12345";
    EXPECT_FALSE(ReadRegularFile(P("small.bin"), bytes, err, 4));
    EXPECT_EQ(err, EFBIG);
    EXPECT_TRUE(ReadRegularFile(P("small.bin"), bytes, err, 5));
}

// Whatever sits at the temporary name (a link planted by someone else, a file
// of another station writing the same target) is neither followed nor removed.
TEST_F(FileBytes, ALinkAtTheTemporaryNameIsLeftAlone) {
    std::ofstream(P("victim.txt")) << "keep me";
    fs::create_symlink("victim.txt", P(".out.hex.tmp"));
    fs::create_symlink("victim.txt", P(".ready.hex.tmp"));
    int err = 0;
    ASSERT_TRUE(ReplaceFile(P("out.hex"), std::string("new"), err)) << FileErrorText(err);
    EXPECT_TRUE(CanReplaceFile(P("ready.hex"), err));
    EXPECT_EQ(Text(P("out.hex")), "new");
    EXPECT_EQ(Text(P("victim.txt")), "keep me");
    EXPECT_TRUE(fs::is_symlink(P(".out.hex.tmp")));
    EXPECT_TRUE(fs::is_symlink(P(".ready.hex.tmp")));
    EXPECT_EQ(Names(), (std::vector<std::string>{".out.hex.tmp", ".ready.hex.tmp", "out.hex", "victim.txt"}));
    // With the name free, the temporary file is made there and gone afterwards.
    fs::remove(P(".out.hex.tmp"));
    ASSERT_TRUE(ReplaceFile(P("out.hex"), std::string("newer"), err));
    EXPECT_EQ(Text(P("out.hex")), "newer");
    EXPECT_FALSE(fs::exists(fs::symlink_status(P(".out.hex.tmp"))));
}

} // namespace
} // namespace mrk
