// The splash screen's two roles: the start role opens the main window, the
// About role stays in front of it for a few ticks of its timer.
#pragma once

namespace kelvo::shell {

inline constexpr int kSplashIntervalMs = 2000;
inline constexpr int kAboutMenuIntervalMs = 4000;
inline constexpr int kAboutLogoIntervalMs = 2000;

enum class SplashAction { None, Close };

struct SplashState {
  bool open = false;
  bool AboutRole = false;
  int IntervalMs = kSplashIntervalMs;
};

// "&About" (4000 ms) or the logo (2000 ms). True when the window must be
// opened (and thunder.wav played); false when it is already shown, which
// only lengthens its stay.
bool OpenAbout(SplashState& splash, int intervalMs);
// The timer's tick: the first tick of the About role clears it, the next
// one closes the window.
SplashAction SplashTick(SplashState& splash);
// A click on the window or its label shortens the About role's stay.
void SplashClicked(SplashState& splash);

}  // namespace kelvo::shell
