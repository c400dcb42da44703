#include "shell/splash.h"

#include <gtest/gtest.h>

namespace kelvo::shell {

TEST(Splash, StartRoleClosesAtItsFirstTick) {
  SplashState splash{true, false, kSplashIntervalMs};
  SplashClicked(splash);  // a click does nothing in the start role
  EXPECT_EQ(SplashTick(splash), SplashAction::Close);
  EXPECT_FALSE(splash.open);
}

TEST(Splash, AboutBoxClosesAtTheSecondTickOrTheFirstAfterAClick) {
  SplashState splash;
  EXPECT_TRUE(OpenAbout(splash, kAboutMenuIntervalMs));
  EXPECT_TRUE(splash.open);
  EXPECT_TRUE(splash.AboutRole);
  EXPECT_EQ(splash.IntervalMs, 4000);
  EXPECT_EQ(SplashTick(splash), SplashAction::None);
  EXPECT_TRUE(splash.open);
  EXPECT_EQ(SplashTick(splash), SplashAction::Close);
  EXPECT_FALSE(splash.open);

  EXPECT_TRUE(OpenAbout(splash, kAboutLogoIntervalMs));
  EXPECT_EQ(splash.IntervalMs, 2000);
  SplashClicked(splash);
  EXPECT_EQ(SplashTick(splash), SplashAction::Close);
}

TEST(Splash, AboutAgainWhileShownOnlyLengthensItsStay) {
  SplashState splash;
  ASSERT_TRUE(OpenAbout(splash, kAboutLogoIntervalMs));
  EXPECT_EQ(SplashTick(splash), SplashAction::None);
  // Shown already: no new window and no thunder, the role and the menu's
  // interval again.
  EXPECT_FALSE(OpenAbout(splash, kAboutMenuIntervalMs));
  EXPECT_TRUE(splash.AboutRole);
  EXPECT_EQ(splash.IntervalMs, 4000);
  EXPECT_EQ(SplashTick(splash), SplashAction::None);
  EXPECT_EQ(SplashTick(splash), SplashAction::Close);
  // Closed: the next "&About" opens it again.
  EXPECT_TRUE(OpenAbout(splash, kAboutMenuIntervalMs));
}

}  // namespace kelvo::shell
