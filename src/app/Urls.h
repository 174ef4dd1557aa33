#pragma once

namespace pictomat {

// The product's web page ("View in Corvane Website...").
inline constexpr const char* kWebsiteUrl = "https://www.corvane.com/pictomat/";
// The product in the application store ("View in Mac App Store..."): a search
// for it, as the program has no store page of its own on this desktop.
inline constexpr const char* kAppStoreUrl = "https://www.apple.com/search/Pictomat?src=globalnav";

} // namespace pictomat
