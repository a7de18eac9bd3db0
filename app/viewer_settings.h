// The viewer's persistent settings record, the table that describes it,
// and the arithmetic the main window and the trace frame use to update it.
#pragma once

#include <cstdint>

class SMemIniFile;

// No value stored: the computed default applies.
constexpr int32_t NotSet = INT32_MIN;

// Bits of ViewerSettings::Options. Other bits are kept as read.
constexpr int32_t OptWrapText = 1;
constexpr int32_t OptReadOnly = 2;
constexpr int32_t OptFormatFinalQuery = 4;

constexpr int32_t defaultWidth = 1194;  // outer window size in pixels
constexpr int32_t defaultHeight = 806;
constexpr int32_t kDefaultResolution = 96;  // dots per inch the window passes on
constexpr int32_t kMinFontHeight = 10;      // the font never steps below this
// Nor above this: larger glyphs show a word or two per screen, and far
// larger ones overflow the editor's own size arithmetic.
constexpr int32_t kMaxFontHeight = 288;
// The smallest outer window a stored size can ask for.
constexpr int32_t kMinWindowWidth = 320;
constexpr int32_t kMinWindowHeight = 240;

struct ViewerSettings;

enum SettingKind : int16_t { SettingInt32 = 0 };

struct SettingDescriptor {
  int16_t kind;                       // SettingInt32, the only kind in use
  int32_t ViewerSettings::*field;     // the field this row describes
  int32_t defaultValue;
  const char* key;                    // key in the settings file
};

constexpr int32_t kSettingDescriptorCount = 7;
// Top, Left, Height, Width, SplitterPos, FontSize, Options, in field order.
extern const SettingDescriptor kSettingDescriptors[kSettingDescriptorCount];

// The fields are zero until applySettingDefaults runs.
struct ViewerSettings {
  int32_t Top = 0;
  int32_t Left = 0;
  int32_t Height = 0;
  int32_t Width = 0;
  int32_t SplitterPos = 0;
  int32_t FontSize = 0;
  int32_t Options = 0;
  const SettingDescriptor* descriptors = kSettingDescriptors;
  int32_t descriptorCount = kSettingDescriptorCount;
};

// Sets every field to its descriptor's default, in table order.
void applySettingDefaults(ViewerSettings& settings);

// For each descriptor, reads its key from `section` with NotSet as the
// fallback; any other result replaces the field, NotSet leaves it.
void readSettings(ViewerSettings& settings, const SMemIniFile& file, const char* section);

// Erases `section`, then writes each field that differs from its default,
// in table order. Returns 0, or -3 when memory ran out (the file object is
// then incomplete and must not be written back).
int writeSettings(const ViewerSettings& settings, SMemIniFile& file, const char* section);

// Records the outer window size: a dimension equal to defaultWidth or
// defaultHeight is stored as NotSet.
void storeWindowSize(ViewerSettings& settings, int32_t width, int32_t height);

// The outer window size to apply: the stored value, or the default when it
// is NotSet or not positive.
int32_t windowWidthFor(const ViewerSettings& settings);
int32_t windowHeightFor(const ViewerSettings& settings);

// resolution * 250 / 96: 250 at 96 dots per inch.
int32_t defaultTreeWidth(int32_t resolution);

// The outline tree width to apply: SplitterPos, or defaultTreeWidth when it
// is NotSet or negative.
int32_t treeWidthFor(const ViewerSettings& settings, int32_t resolution);

// Records a tree width after the splitter moved: NotSet for 250, 1 for 0,
// else the width.
void storeSplitterPos(ViewerSettings& settings, int32_t treeWidth);

// (resolution * 10 + 36) / 72: ten points in whole pixels, 13 at 96 dpi.
int32_t defaultFontHeight(int32_t resolution);

// The editor font height to apply: FontSize, or defaultFontHeight when it
// is -1 (or any other value below 1, which no font can have); at most
// kMaxFontHeight.
int32_t fontHeightFor(const ViewerSettings& settings, int32_t resolution);

// One font step from `height`: upward by 1 below 13 and by 2 from 13 on
// (10, 11, 12, 13, 15, 17, ...), saturating at INT32_MAX; downward by 2
// above 13 and by 1 otherwise, never below 10 (a height of 10 or less is
// returned unchanged). direction 0 returns `height`.
int32_t stepFontHeight(int32_t height, int direction);

// Steps the editor font from fontHeightFor, up to kMaxFontHeight, and
// records the result in FontSize (-1 when it equals the default height).
// Returns the new height.
int32_t stepFont(ViewerSettings& settings, int32_t resolution, int direction);

// Brings the stored values within what a window of at most maxWidth ×
// maxHeight (the screen's usable area) and its controls can use, so that
// a hand-edited or stale file can neither make a window larger than the
// screen nor be saved back as it was: a positive Width or Height is kept
// between the minimum window size and the maximum (NotSet when that is
// the default), SplitterPos at most maxWidth and FontSize at most
// kMaxFontHeight. NotSet, non-positive sizes (the default applies to them),
// Options, Top and Left stay as read.
void clampSettings(ViewerSettings& settings, int32_t maxWidth, int32_t maxHeight);

// Sets or clears one Options bit.
void setOption(ViewerSettings& settings, int32_t bit, bool on);
bool hasOption(const ViewerSettings& settings, int32_t bit);
