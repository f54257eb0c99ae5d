// How the property page's windows are found from outside the module: a container, qhost.exe
// and the tests look its child windows up by these identifiers and classes.
#pragma once

namespace seg4::com {

/// Window identifiers of the page's child windows (GetDlgItem on the page window finds them).
namespace page_ids {
inline constexpr int VersionLabel = 101;
inline constexpr int ColourLabel = 102;
inline constexpr int SizeLabel = 103;
inline constexpr int SizeText = 104;
inline constexpr int SizeScroll = 105;
inline constexpr int ColourList = 107; // the colour list control's own window
/// The four preview images, one per colour: PreviewFirst + colour. At most one is visible.
inline constexpr int PreviewFirst = 110;
} // namespace page_ids

/// A window property of each label: its font's size in points, the bits of the double the page
/// set it from (the window's own font holds it rounded to whole pixels).
inline constexpr wchar_t kFontPointsProperty[] = L"Seg4FontPoints";

/// Window classes of the page (for finding the windows from outside, in tests and qhost.exe).
inline constexpr wchar_t kPageWindowClass[] = L"Seg4PropertyPage";
inline constexpr wchar_t kPreviewWindowClass[] = L"Seg4PagePreview";

} // namespace seg4::com
