#include "platform/error_text.h"

#include <array>

namespace platform {
namespace {

struct Texts {
  Cause cause;
  std::string_view english;
  std::string_view chinese;
};

// Every cause in both languages, in the enumeration's order.
constexpr std::array<Texts, kCauseCount> kCauseTexts = {{
    {Cause::FileNotFound,         "file not found",                "找不到檔案"},
    {Cause::FileUnreadable,       "file cannot be read",           "無法讀取檔案"},
    {Cause::FileTooLarge,         "file too large",                "檔案太大"},
    {Cause::EmptyFile,            "empty file",                    "檔案是空的"},
    {Cause::NotAPicture,          "not a picture",                 "不是圖片"},
    {Cause::TruncatedPicture,     "truncated picture",             "圖片資料不完整"},
    {Cause::BadPictureHeader,     "bad picture header",            "圖片標頭錯誤"},
    {Cause::PictureTooLarge,      "picture too large",             "圖片太大"},
    {Cause::UnsupportedPicture,   "unsupported picture format",    "不支援的圖片格式"},
    {Cause::BadPictureData,       "bad picture data",              "圖片資料錯誤"},
    {Cause::DamagedPictureObject, "damaged picture object",        "圖片物件已損毀"},
    {Cause::PermissionDenied,     "permission denied",             "權限不足"},
    {Cause::NotAProgram,          "not an executable format",      "不是可執行的程式格式"},
    {Cause::InterpreterNotFound,  "program interpreter not found", "找不到程式的直譯器"},
    {Cause::ProgramNotStarted,    "program cannot be started",     "無法啟動程式"},
    {Cause::IsAFolder,            "is a folder",                   "是資料夾"},
    {Cause::OutOfResources,       "out of resources",              "系統資源不足"},
    {Cause::OutOfMemory,          "out of memory",                 "記憶體不足"},
    {Cause::Other,                "",                              ""},
}};

constexpr bool InEnumerationOrder() {
  for (std::size_t i = 0; i < kCauseTexts.size(); ++i)
    if (static_cast<std::size_t>(kCauseTexts[i].cause) != i) return false;
  return true;
}
static_assert(InEnumerationOrder());

// What the Chinese message says where the cause has no text of its own.
constexpr std::string_view kGeneralChinese = "無法完成操作";

const Texts& TextOf(Cause cause) { return kCauseTexts[static_cast<std::size_t>(cause)]; }

std::string EnglishCause(Cause cause, std::string system_text) {
  return cause == Cause::Other ? std::move(system_text) : std::string(EnglishText(cause));
}

}  // namespace

RuntimeError::RuntimeError(std::string operation, std::string path, Cause cause, std::string system_text)
    : std::runtime_error(operation + " \"" + path + "\": " + EnglishCause(cause, system_text)),
      operation_(std::move(operation)),
      path_(std::move(path)),
      cause_(cause),
      cause_text_(EnglishCause(cause, std::move(system_text))) {}

std::string_view EnglishText(Cause cause) { return TextOf(cause).english; }
std::string_view ChineseText(Cause cause) { return TextOf(cause).chinese; }

Cause CauseOf(pictures::PictureError error) {
  using pictures::PictureError;
  switch (error) {
    case PictureError::Empty: return Cause::EmptyFile;
    case PictureError::NotAPicture: return Cause::NotAPicture;
    case PictureError::Truncated: return Cause::TruncatedPicture;
    case PictureError::BadField: return Cause::BadPictureHeader;
    case PictureError::TooLarge: return Cause::PictureTooLarge;
    case PictureError::Unsupported: return Cause::UnsupportedPicture;
    case PictureError::BadData: return Cause::BadPictureData;
  }
  return Cause::NotAPicture;
}

ErrorText DescribeRuntimeError(const RuntimeError& error) {
  const std::string_view chinese = error.cause() == Cause::Other ? kGeneralChinese : ChineseText(error.cause());
  ErrorText text;
  text.chinese = "執行階段錯誤：" + error.operation() + "「" + error.path() + "」：" + std::string(chinese);
  text.english = "Run-time error: " + error.operation() + " \"" + error.path() + "\": " + error.cause_text();
  return text;
}

}  // namespace platform
