#pragma once

#include <QIcon>
#include <functional>
#include <string>
#include <string_view>

namespace frame {

// The maker's home page that OfferHomePage opens now and then.
inline constexpr std::string_view HomePageAddress = "https://www.quorvane.example/";

// The application title for a product name: cut at the last space at least
// once, then again while longer than 40 characters.
std::string ApplicationTitleFor(std::string_view productName);

// Sets the application title from the product name.
void SetApplicationTitle();

// The program's icon in 32, 48, 128 and 256 pixels.
QIcon ApplicationIcon();

// On about one start in a hundred opens the maker's home page.
void OfferHomePage();

// Tests replace the draw (a number in [0, 1)); empty: seeded from the time of day.
void SetRandomDraw(std::function<float()> draw);

}  // namespace frame
