#pragma once

namespace clinora {

// The colours the pages' models ask for; the widgets map them to RGB.
enum class Shade { White, LightRed, PaleYellow, LightCyan, Green, Red, LightGrey };

}  // namespace clinora
