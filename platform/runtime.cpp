#include "platform/program.h"
#include "platform/runtime.h"

namespace platform {

RuntimeError::RuntimeError(std::string operation, std::string path, std::string cause)
    : std::runtime_error(operation + " \"" + path + "\": " + cause),
      operation_(std::move(operation)),
      path_(std::move(path)),
      cause_(std::move(cause)) {}

const ControlLayout* FindControl(const WindowLayout& window, Control id) {
  for (const ControlLayout& c : window.controls)
    if (c.id == id) return &c;
  return nullptr;
}

}  // namespace platform

namespace platform {
namespace {

struct CauseTranslation {
  std::string_view english;
  std::string_view chinese;
};

// Every cause the runtime reports; an unlisted one keeps a general phrase.
constexpr CauseTranslation kCauses[] = {
    {"file not found", "找不到檔案"},
    {"file cannot be read", "無法讀取檔案"},
    {"file too large", "檔案太大"},
    {"empty file", "檔案是空的"},
    {"not a picture", "不是圖片"},
    {"truncated picture", "圖片資料不完整"},
    {"bad picture header", "圖片標頭錯誤"},
    {"picture too large", "圖片太大"},
    {"unsupported picture format", "不支援的圖片格式"},
    {"bad picture data", "圖片資料錯誤"},
    {"permission denied", "權限不足"},
    {"not an executable format", "不是可執行的程式格式"},
    {"program cannot be started", "無法啟動程式"},
    {"program interpreter not found", "找不到程式的直譯器"},
    {"is a folder", "是資料夾"},
    {"out of resources", "系統資源不足"},
    {"out of memory", "記憶體不足"},
    {"damaged picture object", "圖片物件已損毀"},
};

std::string_view ChineseCause(std::string_view english) {
  for (const CauseTranslation& t : kCauses)
    if (t.english == english) return t.chinese;
  return "無法完成操作";
}

}  // namespace

ErrorText DescribeRuntimeError(const RuntimeError& error) {
  ErrorText text;
  text.chinese = "執行階段錯誤：" + error.operation() + "「" + error.path() + "」：" +
                 std::string(ChineseCause(error.cause()));
  text.english = "Run-time error: " + error.operation() + " \"" + error.path() + "\": " + error.cause();
  return text;
}

}  // namespace platform
