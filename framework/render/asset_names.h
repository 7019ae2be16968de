// The interface pictures of the program package, by the entry names the program loads
// them with. Each is a "SYSTEM" image: a 24-bit bottom-up BMP and a 24-bit mask of the
// same size, both entries of Data/package. tools/assets (se-assets) draws them; the
// sound effects are named by the sound-effect ids ("pd/se/" + name + ".wav").
#pragma once

namespace NVireo::NRender::NPicture {

// The check-box pair, 32 x 32 each: a rounded box, the "on" picture with a check mark.
// Both masks are the same grey coverage of the box (255 inside, lower on the rounded
// edge, 0 outside and wherever less than a quarter of a pixel is covered), so a
// translucent texture (kind 2) gets smooth edges and a cut-out one (kind 1) the same
// outline; the colour is black wherever the mask is, so an additive glow over the
// picture stays inside the box. Hit tests use the mask: non-zero is part of the box.
inline constexpr char kCheckBoxOn[] = "pd/gui/check_on.bmp";
inline constexpr char kCheckBoxOnMask[] = "pd/gui/check_on_mask.bmp";
inline constexpr char kCheckBoxOff[] = "pd/gui/check_off.bmp";
inline constexpr char kCheckBoxOffMask[] = "pd/gui/check_off_mask.bmp";

// The title logo, 256 x 64: "SE Retimer" over a waveform, light on black, meant to be
// drawn additively (black adds nothing), so an opaque texture (kind 0) will do. Its
// mask is the brightest channel of each pixel: zero exactly where the logo is black.
inline constexpr char kTitleLogo[] = "pd/title/logo.bmp";
inline constexpr char kTitleLogoMask[] = "pd/title/logo_mask.bmp";

}  // namespace NVireo::NRender::NPicture
