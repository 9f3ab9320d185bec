// The process-wide text buffer: growth, contents, release.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "textbuffer.h"

// Huge requests must come back as null under AddressSanitizer too.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

class TextBuffer : public ::testing::Test {
protected:
    void SetUp() override { txtbuf_Free(); }
    void TearDown() override { txtbuf_Free(); }
};

TEST_F(TextBuffer, StartsEmptyAndFreeIsHarmless)
{
    EXPECT_EQ(txtbuf_Get(), nullptr);
    EXPECT_EQ(txtbuf_GetSize(), 0u);
    txtbuf_Free();
    txtbuf_Clear();
    EXPECT_EQ(txtbuf_Get(), nullptr);
    EXPECT_EQ(txtbuf_Alloc(0), nullptr);
    EXPECT_EQ(txtbuf_GetSize(), 0u);
}

TEST_F(TextBuffer, FirstAppendTakesA512ByteBlockHoldingTheText)
{
    ASSERT_EQ(txtbuf_Append(""), 1);
    EXPECT_EQ(txtbuf_GetSize(), 512u);
    EXPECT_STREQ(txtbuf_Get(), "");
    ASSERT_EQ(txtbuf_Append("abc"), 1);
    EXPECT_STREQ(txtbuf_Get(), "abc");
}

TEST_F(TextBuffer, GrowsByDoublingAndKeepsContents)
{
    struct { size_t chars; size_t capacity; } cases[] = {
        {511, 512}, {512, 1024}, {1023, 1024}, {1024, 2048}, {5000, 8192},
    };
    for (auto c : cases) {
        txtbuf_Free();
        std::string want;
        for (size_t i = 0; i < c.chars; i++) {
            char ch[2] = {char('a' + i % 26), 0};
            want += ch[0];
            ASSERT_EQ(txtbuf_Append(ch), 1);
        }
        EXPECT_EQ(txtbuf_GetSize(), c.capacity) << c.chars << " chars";
        EXPECT_EQ(std::string(txtbuf_Get()), want);
    }
}

TEST_F(TextBuffer, AllocThatFitsKeepsBlockAndContents)
{
    ASSERT_EQ(txtbuf_Append("keep"), 1);
    char *block = txtbuf_Get();
    EXPECT_EQ(txtbuf_Alloc(100), block);
    EXPECT_EQ(txtbuf_Alloc(0), nullptr);
    EXPECT_EQ(txtbuf_Get(), block);
    EXPECT_STREQ(txtbuf_Get(), "keep");
    // Growing zero-fills the new bytes and keeps the string.
    char *grown = txtbuf_Alloc(3000);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(txtbuf_GetSize(), 4096u);
    EXPECT_STREQ(grown, "keep");
    for (size_t i = 5; i < 4096; i++)
        ASSERT_EQ(grown[i], 0) << i;
}

TEST_F(TextBuffer, HugeRequestsAreRefusedAndContentsSurvive)
{
    ASSERT_EQ(txtbuf_Append("precious"), 1);
    char *block = txtbuf_Get();
    // Doubling from 512 can never reach these without wrapping.
    EXPECT_EQ(txtbuf_Alloc(SIZE_MAX), nullptr);
    EXPECT_EQ(txtbuf_Alloc(SIZE_MAX / 2 + 2), nullptr);
    // Doubling reaches this one, but no allocator gives more than PTRDIFF_MAX
    // bytes (a quarter of the address space is there to be had on 32 bits).
    EXPECT_EQ(txtbuf_Alloc(SIZE_MAX / 2 + 1), nullptr);
    EXPECT_EQ(txtbuf_Get(), block);
    EXPECT_EQ(txtbuf_GetSize(), 512u);
    EXPECT_STREQ(txtbuf_Get(), "precious");
    EXPECT_EQ(txtbuf_AppendBytes("x", SIZE_MAX), 1); // stops at the text's NUL
    EXPECT_STREQ(txtbuf_Get(), "preciousx");
}

TEST_F(TextBuffer, ClearEmptiesTheStringButKeepsTheBlock)
{
    ASSERT_EQ(txtbuf_Append(std::string(600, 'x').c_str()), 1);
    txtbuf_Clear();
    EXPECT_EQ(txtbuf_GetSize(), 1024u);
    EXPECT_STREQ(txtbuf_Get(), "");
    ASSERT_EQ(txtbuf_Append("new"), 1);
    EXPECT_STREQ(txtbuf_Get(), "new");
    txtbuf_Free();
    EXPECT_EQ(txtbuf_Get(), nullptr);
    EXPECT_EQ(txtbuf_GetSize(), 0u);
}

TEST_F(TextBuffer, AppendBytesTakesALengthAndStopsAtANul)
{
    ASSERT_EQ(txtbuf_AppendBytes("abcdef", 3), 1);
    ASSERT_EQ(txtbuf_AppendBytes("x\0yz", 4), 1);
    ASSERT_EQ(txtbuf_AppendBytes("", 0), 1);
    ASSERT_EQ(txtbuf_Append("!"), 1);
    EXPECT_STREQ(txtbuf_Get(), "abcx!");
}

} // namespace
