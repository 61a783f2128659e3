#include "assets/generator/generator.h"

#include <string>

#include "assets/encode.h"
#include "assets/generator/background.h"
#include "assets/generator/buttons.h"
#include "assets/generator/help_pictures.h"
#include "assets/generator/icons.h"
#include "assets/generator/quantise.h"
#include "assets/picture_object.h"

namespace assets {
namespace {

constexpr const char* kAssetDir = "assets/";
constexpr const char* kImageDir = "disc/Setup/images/";

std::vector<std::uint8_t> Gif(const Canvas& canvas) { return EncodeGif(Quantise(ToImage(canvas), 256)); }

void AddButtons(std::vector<GeneratedFile>& files, const Canvas& background, const Fonts& fonts) {
  const int size = ButtonTextSize(fonts);
  for (const ButtonDesign& b : kButtons) {
    const std::string stem(b.file_stem);
    auto normal = Gif(DrawButton(background, b, fonts, size, ButtonState::Normal));
    files.push_back({kImageDir + stem + ".gif", normal});
    files.push_back({kAssetDir + stem + ".gif", std::move(normal)});
    files.push_back({kImageDir + stem + "down.gif", Gif(DrawButton(background, b, fonts, size, ButtonState::Pressed))});
  }
}

void AddHelpPictures(std::vector<GeneratedFile>& files, const Fonts& fonts) {
  for (const HelpPage& h : kHelpPictures)
    files.push_back({kImageDir + std::string(h.file_name), Gif(DrawHelpPicture(h, fonts))});
}

std::vector<std::uint8_t> Hourglass() {
  std::vector<std::vector<std::uint8_t>> frames;
  for (int i = 0; i < kHourglassFrames; ++i)
    frames.push_back(EncodeCur1(ToImage(DrawHourglass(i, kHourglassFrames)), kHourglassHotspot, kHourglassHotspot));
  return EncodeAni(frames, kHourglassJiffies);
}

}  // namespace

std::vector<GeneratedFile> GenerateAll(const Fonts& fonts) {
  std::vector<GeneratedFile> files;
  const Canvas background = DrawBackground(fonts);
  const std::vector<std::uint8_t> bmp = EncodeBmp24(ToImage(background));
  files.push_back({std::string(kAssetDir) + "background.ole", BuildPictureObject(bmp, kPictureObjectTime)});
  files.push_back({std::string(kAssetDir) + "background.bmp", bmp});
  AddButtons(files, background, fonts);
  files.push_back({std::string(kAssetDir) + "autorun.ico", EncodeIco4(Quantise(ToImage(DrawWindowIcon()), 16))});
  files.push_back({std::string(kAssetDir) + "hand.cur",
                   EncodeCur1(ToImage(DrawHandPointer()), kHandHotspotX, kHandHotspotY)});
  AddHelpPictures(files, fonts);
  files.push_back({std::string(kImageDir) + "hourglas.ani", Hourglass()});
  return files;
}

}  // namespace assets
