// The audio of a rewrite copied by the system: the padding that lines the
// audio's blocks up with the old track's, and the read and write loop that
// takes over wherever copy_file_range declines or a stream has no
// descriptor.  copy_file_range is replaced here by a wrapper that can fail
// a chosen call or copy less than asked.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "helpers.h"

namespace {

int calls;          // copy_file_range calls so far
int fail_at;        // the call that fails (0: none) ...
int fail_errno;     // ... with this error
size_t most;        // at most this many bytes per call (0: as asked)

} // namespace

extern "C" ssize_t copy_file_range(int in, off64_t *inpos, int out, off64_t *outpos, size_t n,
                                   unsigned int flags) noexcept
{
    using Real = ssize_t (*)(int, off64_t *, int, off64_t *, size_t, unsigned int);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "copy_file_range"));
    if (++calls == fail_at) {
        errno = fail_errno;
        return -1;
    }
    return real(in, inpos, out, outpos, most != 0 && n > most ? most : n, flags);
}

namespace {

const Bytes kAudio = audio(12000);

// A version-3 track whose audio starts at 1014, not at a block boundary.
const Bytes kTagged = make_tag(3, 0, frame3("TIT2", text0("Song")) + frame3("APIC", Bytes(900, 'p')), 79) + kAudio;

class SysCopy : public Core {
protected:
    int result = 0, err = 0;

    void SetUp() override
    {
        Core::SetUp();
        calls = fail_at = fail_errno = 0;
        most = 0;
    }
    // Short lyrics for the opened context, and the block size named.
    void lyrics(uint32_t block)
    {
        t.lrc = strdup("[00:01.00]La <00:01.50>la\n");
        EXPECT_EQ(lrc_tosylt(&t), 1);
        t.blocksize = block;
    }
    // A rewrite of old into a temporary file; the new file.
    Bytes rewrite(const Bytes &old, uint32_t block)
    {
        open(old);
        lyrics(block);
        FILE *out = tmpfile();
        result = id3_rewrite(out, &t);
        err = errno;
        Bytes b = read_all(out);
        fclose(out);
        return b;
    }
};

uint32_t tag_end(const Bytes &b)
{
    return b.compare(0, 3, "ID3") != 0 ? 0
           : 10 + (uint32_t(b[6] & 0x7F) << 21 | uint32_t(b[7] & 0x7F) << 14 |
                   uint32_t(b[8] & 0x7F) << 7 | uint32_t(b[9] & 0x7F));
}

// b with n zero bytes of padding at the end of its tag, counted in its size.
Bytes padded(const Bytes &b, size_t n)
{
    uint32_t end = tag_end(b);
    return b.substr(0, 6) + syncsafe(end - 10 + n) + b.substr(10, end - 10) + Bytes(n, '\0') + b.substr(end);
}

TEST_F(SysCopy, PaddingPutsTheAudioAtItsOldOffsetInABlock)
{
    const Bytes tracks[] = {
        kAudio,
        make_tag(2, 0, frame2("TT2", text0("Song"))) + kAudio,
        kTagged,
        make_tag(4, 0, frame4("TIT2", text0("Song")) + frame4("SYLT", payload0(item("old", 1)))) + kAudio,
    };
    for (const Bytes &old : tracks) {
        const Bytes plain = rewrite(old, 0);
        ASSERT_EQ(result, 1);
        for (uint32_t block : {512u, 4096u, 65536u}) {
            SCOPED_TRACE(testing::Message() << "version " << int(old[3]) << ", block " << block);
            Bytes out = rewrite(old, block);
            ASSERT_EQ(result, 1);
            ASSERT_GE(out.size(), plain.size());
            size_t n = out.size() - plain.size();
            EXPECT_LT(n, block);
            EXPECT_EQ(out, padded(plain, n));
            EXPECT_EQ(tag_end(out) % block, tag_end(old) % block);
            EXPECT_EQ(uint32_t(t.size), tag_end(out) - 10);

            // The padded track reads, and rewrites as the plain one does.
            FILE *again = tmpfile();
            ASSERT_EQ(fwrite(out.data(), 1, out.size(), again), out.size());
            Id3Tag back{};
            ASSERT_EQ(id3_init(again, &back), 1);
            ASSERT_EQ(id3_readsylt(&back), 1);
            EXPECT_EQ(sylt_of(back), sylt_of(t));
            id3_close(&back);
            fclose(again);
            EXPECT_EQ(rewrite(out, 0), rewrite(plain, 0));
        }
    }
}

TEST_F(SysCopy, NoPaddingWithoutAUsableBlockSizeOrRoomInTheSizeField)
{
    const Bytes plain = rewrite(kTagged, 0);
    for (uint32_t block : {1u, ID3_MAXBLOCK + 1u, UINT32_MAX})
        EXPECT_EQ(rewrite(kTagged, block), plain) << block;

    // A tag whose size field is nearly full.
    open(kTagged);
    ASSERT_EQ(id3_setsylt(&t, "x", 1), 1);
    FILE *out = tmpfile();
    ASSERT_EQ(id3_copytag(out, &t), 1);
    ASSERT_EQ(id3_writesylt(out, &t), 1);
    Bytes before = read_all(out);
    t.size = 0x0FFFFFFF - 100;
    t.blocksize = 4096;
    ASSERT_EQ(id3_appendmp3(out, &t), 1);
    EXPECT_EQ(read_all(out), before + kAudio);
    EXPECT_EQ(t.size, 0x0FFFFFFF - 100);
    fclose(out);
}

TEST_F(SysCopy, DeclinedCopiesAreLeftToTheLoopAndFailedOnesReported)
{
    const Bytes want = rewrite(kTagged, 4096);
    ASSERT_EQ(result, 1);
    ASSERT_EQ(calls, 2); // the audio's first partial block, then the rest
    for (int e : {EXDEV, ENOSYS, EOPNOTSUPP, EINVAL, EBADF, ENOSPC, EIO, EFBIG, ENOMEM})
        for (int at : {1, 2, 3}) {
            SCOPED_TRACE(testing::Message() << strerror(e) << " at call " << at);
            bool declined = e != ENOSPC && e != EIO && e != EFBIG && e != ENOMEM;
            calls = 0;
            fail_at = at;
            fail_errno = e;
            most = at == 3 ? 5000 : 0; // a third call only after a short copy
            Bytes out = rewrite(kTagged, 4096);
            EXPECT_EQ(result, declined ? 1 : 0);
            if (declined) {
                EXPECT_EQ(out, want);
            } else {
                EXPECT_EQ(t.reason, e == ENOMEM ? ID3_ENOMEM : ID3_EWRITE);
                EXPECT_EQ(err, e);
            }
        }
}

// Without padding the audio's offsets within a page differ: the kernel's
// copy of such pages is slower than plain reads and writes, which copy it.
TEST_F(SysCopy, OffsetsThatDoNotLineUpAreCopiedByReadsAndWrites)
{
    const Bytes out = rewrite(kTagged, 0);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(out.substr(tag_end(out)), kAudio);
    EXPECT_NE(tag_end(out) % 4096, tag_end(kTagged) % 4096);
}

TEST_F(SysCopy, StreamsWithoutDescriptorsAreCopiedByTheLoop)
{
    const Bytes want = rewrite(kTagged, 4096);
    Bytes old = kTagged;
    char *mem = nullptr;
    size_t len = 0;
    // From memory to a file, and from memory to memory.
    for (bool to_memory : {false, true}) {
        close();
        FILE *in = fmemopen(&old[0], old.size(), "r");
        FILE *out = to_memory ? open_memstream(&mem, &len) : tmpfile();
        ASSERT_TRUE(in != nullptr && out != nullptr);
        ASSERT_EQ(id3_init(in, &t), 1);
        lyrics(4096);
        calls = 0;
        EXPECT_EQ(id3_rewrite(out, &t), 1);
        EXPECT_EQ(calls, 0);
        fflush(out);
        EXPECT_TRUE((to_memory ? Bytes(mem, len) : read_all(out)) == want) << to_memory;
        fclose(out);
        fclose(in);
    }
    free(mem);
}

} // namespace
