#include <string>

#include <gtest/gtest.h>

#include "platform/disc_path.h"
#include "platform/ole_object.h"
#include "platform/picture.h"
#include "platform/process.h"
#include "platform/runtime.h"

namespace {

using platform::DescribeRuntimeError;
using platform::RuntimeError;

constexpr std::string_view kUntranslated = "無法完成操作";

TEST(RuntimeErrorMessage, NamesOperationPathAndCauseInBothLanguages) {
  auto text = DescribeRuntimeError(RuntimeError("LoadPicture", "setup\\images\\help.gif", "file not found"));
  EXPECT_EQ(text.english, "Run-time error: LoadPicture \"setup\\images\\help.gif\": file not found");
  EXPECT_NE(text.chinese.find("LoadPicture"), std::string::npos);
  EXPECT_NE(text.chinese.find("setup\\images\\help.gif"), std::string::npos) << "the path as written";
  EXPECT_NE(text.chinese.find("找不到檔案"), std::string::npos);
}

// Every cause the runtime can report must read in Chinese too.
TEST(RuntimeErrorMessage, EveryReportedCauseIsTranslated) {
  std::vector<std::string> causes;
  for (auto e : {platform::FileError::NotFound, platform::FileError::Unreadable, platform::FileError::TooLarge})
    causes.emplace_back(platform::Describe(e));
  for (auto e : {platform::PictureError::Empty, platform::PictureError::NotAPicture,
                 platform::PictureError::Truncated, platform::PictureError::BadField,
                 platform::PictureError::TooLarge, platform::PictureError::Unsupported})
    causes.emplace_back(platform::Describe(e));
  for (int e : {ENOENT, EACCES, ENOEXEC, EISDIR, ENOMEM}) causes.push_back(platform::DescribeSpawnError(e));
  causes.emplace_back("program interpreter not found");
  causes.emplace_back("program cannot be started");  // Windows: a start failure without a cause of its own
  causes.emplace_back("damaged picture object");
  for (const std::string& cause : causes) {
    SCOPED_TRACE(cause);
    auto text = DescribeRuntimeError(RuntimeError("Op", "path", cause));
    EXPECT_EQ(text.chinese.find(kUntranslated), std::string::npos);
  }
  auto unknown = DescribeRuntimeError(RuntimeError("Op", "path", "something new"));
  EXPECT_NE(unknown.chinese.find(kUntranslated), std::string::npos);
}

}  // namespace
