// The process buffer as the text engine sees it once the process runner has
// installed its hooks: the attached buffer is never closed.
#include "services/proc.h"

#include "tests/text/buffer_fixture.h"

namespace {

using buftest::BufferTest;

class ProcTest : public BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    proc_install_text_hooks();
  }
  void TearDown() override {
    proc_attach_buffer(nullptr);
    buf_hooks() = BufHooks{};
    BufferTest::TearDown();
  }
};

TEST_F(ProcTest, TheAttachedBufferIsNotClosed) {
  BufferRec* a = make("a", "a\n");
  BufferRec* b = make("b", "b\n");
  proc_attach_buffer(a);
  EXPECT_TRUE(proc_is_process_buffer(a));
  EXPECT_FALSE(proc_is_process_buffer(b));
  EXPECT_EQ(1, buf_close(a));
  EXPECT_EQ(0, buf_close(b));
  EXPECT_EQ(1, buf_live_count());
  proc_attach_buffer(nullptr);
  EXPECT_EQ(0, buf_close(a));
  EXPECT_EQ(0, buf_live_count());
}

}  // namespace
