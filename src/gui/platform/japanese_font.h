// The font of the program's windows.
#pragma once

namespace pelldra {

// The windows' texts are Japanese: prefer a font that has every glyph of them in their Japanese forms. Call after
// the application object exists.
void UseJapaneseFont();

} // namespace pelldra
