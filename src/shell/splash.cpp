#include "shell/splash.h"

namespace kelvo::shell {

bool OpenAbout(SplashState& splash, int intervalMs) {
  splash.AboutRole = true;
  splash.IntervalMs = intervalMs;
  if (splash.open) return false;
  splash.open = true;
  return true;
}

SplashAction SplashTick(SplashState& splash) {
  if (splash.AboutRole) {
    splash.AboutRole = false;
    return SplashAction::None;
  }
  splash.open = false;
  return SplashAction::Close;
}

void SplashClicked(SplashState& splash) {
  splash.AboutRole = false;
}

}  // namespace kelvo::shell
