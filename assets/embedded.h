#pragma once
// The pictures built into the executable, generated at build time.

#include <cstdint>
#include <span>

namespace assets {

std::span<const std::uint8_t> BackgroundObject();  // picture object holding the background BMP
std::span<const std::uint8_t> SetupWizardButton();
std::span<const std::uint8_t> ManualInstallationButton();
std::span<const std::uint8_t> DocumentationButton();
std::span<const std::uint8_t> ExitButton();
std::span<const std::uint8_t> WindowIcon();
std::span<const std::uint8_t> HandPointer();

}  // namespace assets
