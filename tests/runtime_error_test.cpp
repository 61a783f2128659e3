#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/error_text.h"
#include "platform/runtime.h"

namespace {

using platform::Cause;
using platform::DescribeRuntimeError;
using platform::RuntimeError;

TEST(RuntimeErrorMessage, NamesOperationPathAndCauseInBothLanguages) {
  auto text = DescribeRuntimeError(RuntimeError("LoadPicture", "setup\\images\\help.gif", Cause::FileNotFound));
  EXPECT_EQ(text.english, "Run-time error: LoadPicture \"setup\\images\\help.gif\": file not found");
  EXPECT_EQ(text.chinese, "執行階段錯誤：LoadPicture「setup\\images\\help.gif」：找不到檔案");
  // A failure the runtime has no cause for keeps the system's words, and a general phrase in Chinese.
  auto other = DescribeRuntimeError(RuntimeError("Shell", "x.exe", Cause::Other, "Text file busy"));
  EXPECT_EQ(other.english, "Run-time error: Shell \"x.exe\": Text file busy");
  EXPECT_EQ(other.chinese, "執行階段錯誤：Shell「x.exe」：無法完成操作");
}

// Every cause the runtime can report reads in both languages, each its own.
TEST(RuntimeErrorMessage, EveryCauseHasBothTexts) {
  std::set<std::string_view> english, chinese;
  for (std::size_t i = 0; i + 1 < platform::kCauseCount; ++i) {
    const auto cause = static_cast<Cause>(i);
    SCOPED_TRACE(i);
    EXPECT_FALSE(platform::EnglishText(cause).empty());
    EXPECT_FALSE(platform::ChineseText(cause).empty());
    EXPECT_TRUE(english.insert(platform::EnglishText(cause)).second);
    EXPECT_TRUE(chinese.insert(platform::ChineseText(cause)).second);
  }
}

}  // namespace
