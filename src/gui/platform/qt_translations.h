// Qt's own texts (file chooser, Yes/No buttons, edit menus) in Japanese, like the rest of the windows.
#pragma once

namespace pelldra {

// Loads Qt's Japanese translations from Qt's translations folder (Debian: qt6-translations-l10n). False when they
// are not installed; Qt's texts then stay English. Call after the application object exists.
bool UseJapaneseQtTexts();

} // namespace pelldra
