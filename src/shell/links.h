// The project's web page and mail address, shown on the About panel and
// handed to the link launcher.
#pragma once

namespace kelvo::shell {

inline constexpr const char* kWebPage = "https://kelvo32.example.org/";
inline constexpr const char* kEmailAddress = "kelvo32@example.org";

}  // namespace kelvo::shell
