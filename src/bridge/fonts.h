#pragma once

namespace lumavex {

/// Makes the Windows Japanese font names the program uses ("ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", ...)
/// resolve to the installed IPA fonts, through the alias file the program ships. Call it once
/// after the QGuiApplication exists and before any text is laid out. Returns false when the
/// alias file could not be loaded (the names then fall back to fontconfig's defaults).
bool installFonts();

}  // namespace lumavex
