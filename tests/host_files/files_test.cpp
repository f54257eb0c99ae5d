// qhost's writes and reads of user files: every step of a write made to fail in turn must leave
// the old file as it was and no temporary behind; reads refuse what is no ordinary file or too big.
#include "files/bounded_read.h"
#include "files/replace_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qhost::files {
namespace {

namespace fs = std::filesystem;

/// The real file system with one failing step: the `failAt`-th call of the steps below fails
/// with `error`; every other call does what the system does.
class FaultyOutput final : public OutputSystem {
public:
    FaultyOutput(int failAt, int error) : failAt_(failAt), error_(error) {}
    int calls() const { return calls_; }

    bool createNew(const std::string& path, Handle& handle, int& error) override {
        return !fault(error) && real().createNew(path, handle, error);
    }
    bool write(Handle handle, const char* data, std::size_t size, int& error) override {
        // A failing write has still written part of its data, as a full disk does.
        if (fault(error)) return real().write(handle, data, size / 2, error), false;
        return real().write(handle, data, size, error);
    }
    bool flushAndClose(Handle handle, int& error) override {
        if (fault(error)) return real().flushAndClose(handle, error), false;
        return real().flushAndClose(handle, error);
    }
    bool replace(const std::string& from, const std::string& to, int& error) override {
        return !fault(error) && real().replace(from, to, error);
    }
    void remove(const std::string& path) override { real().remove(path); }
    void createFolders(const std::string& folder) override { real().createFolders(folder); }

private:
    static OutputSystem& real() { return systemOutput(); }
    bool fault(int& error) {
        if (++calls_ != failAt_) return false;
        error = error_;
        return true;
    }
    int failAt_;
    int error_;
    int calls_ = 0;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() /
            ("seg4-files-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string at(const std::string& name) const { return (folder_ / name).string(); }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }
    fs::path folder_;
};

TEST_F(Files, EveryFailingStepKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string target = at("document.json");
    replaceFile(target, "the old document");
    // Larger than one write request, so the write step is met more than once.
    const std::string replacement(3u << 20, 'x');
    for (const int error : {ENOSPC, EACCES, EIO}) {
        int failAt = 1;
        for (;; ++failAt) {
            FaultyOutput faulty(failAt, error);
            try {
                replaceFile(target, replacement, faulty);
            } catch (const WriteError& e) {
                EXPECT_EQ(std::string(e.what()), "cannot write " + target + ": " + reasonOf(error)) << failAt;
                EXPECT_EQ(slurp(target), "the old document") << "fault at step " << failAt;
                EXPECT_EQ(entries(), 1u) << "a temporary was left after a fault at step " << failAt;
                continue;
            }
            EXPECT_LT(faulty.calls(), failAt) << "a fault at step " << failAt << " was not reported";
            break;
        }
        EXPECT_GE(failAt, 6) << "create, three writes, close and rename are each made to fail";
        EXPECT_EQ(slurp(target), replacement);
        replaceFile(target, "the old document");
    }
    EXPECT_EQ(reasonOf(ENOSPC), "No space left on device");
}

TEST_F(Files, ATemporaryOfTheSameNameIsNeverReused) {
    // Another writer's temporary in the folder: the exclusive create moves on to a new name.
    class TakenOnce final : public OutputSystem {
    public:
        bool createNew(const std::string& path, Handle& handle, int& error) override {
            if (++creates == 1) return error = EEXIST, false;
            return systemOutput().createNew(path, handle, error);
        }
        bool write(Handle h, const char* d, std::size_t n, int& e) override {
            return systemOutput().write(h, d, n, e);
        }
        bool flushAndClose(Handle h, int& e) override { return systemOutput().flushAndClose(h, e); }
        bool replace(const std::string& f, const std::string& t, int& e) override {
            return systemOutput().replace(f, t, e);
        }
        void remove(const std::string& p) override { systemOutput().remove(p); }
        void createFolders(const std::string& f) override { systemOutput().createFolders(f); }
        int creates = 0;
    } taken;
    replaceFile(at("sub/dir/out.txt"), "made", taken);
    EXPECT_EQ(taken.creates, 2);
    EXPECT_EQ(slurp(at("sub/dir/out.txt")), "made");
}

TEST_F(Files, ReadsRefuseWhatIsNoOrdinaryFileOrTooLarge) {
    replaceFile(at("small.qhs"), "place\n");
    replaceFile(at("big.qhs"), std::string(2048, 'x'));
    struct Row {
        std::string path;
        std::uintmax_t limit;
        std::string error; // empty: read
    };
    const Row rows[] = {
        {at("small.qhs"), kMaxInputBytes, ""},
        {at("big.qhs"), 2048, ""},
        {at("big.qhs"), 2047, "it is larger than the 2047 bytes qhost reads"},
        {at("missing.qhs"), kMaxInputBytes, "No such file or directory"},
        {folder_.string(), kMaxInputBytes, "it is a folder, not a file"},
        {"/dev/zero", kMaxInputBytes, "it is not an ordinary file"},
    };
    for (const Row& r : rows) {
        try {
            const std::string bytes = readBounded(r.path, r.limit);
            EXPECT_EQ(r.error, "") << r.path;
            EXPECT_EQ(bytes, slurp(r.path));
        } catch (const ReadError& e) {
            EXPECT_EQ(std::string(e.what()), "cannot read " + r.path + ": " + r.error);
        }
    }
}

} // namespace
} // namespace qhost::files
