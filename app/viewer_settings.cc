#include "app/viewer_settings.h"

#include "app/mem_ini_file.h"

const SettingDescriptor kSettingDescriptors[kSettingDescriptorCount] = {
    {SettingInt32, &ViewerSettings::Top, NotSet, "Top"},
    {SettingInt32, &ViewerSettings::Left, NotSet, "Left"},
    {SettingInt32, &ViewerSettings::Height, NotSet, "Height"},
    {SettingInt32, &ViewerSettings::Width, NotSet, "Width"},
    {SettingInt32, &ViewerSettings::SplitterPos, NotSet, "SplitterPos"},
    {SettingInt32, &ViewerSettings::FontSize, -1, "FontSize"},
    {SettingInt32, &ViewerSettings::Options, OptReadOnly | OptFormatFinalQuery, "Options"},
};

namespace {

// The tree width that is stored as NotSet, and the font heights around
// which the step size changes.
constexpr int32_t kSplitterDefault = 250;
constexpr int32_t kFontStepPivot = 13;

}  // namespace

void applySettingDefaults(ViewerSettings& settings) {
  for (int32_t i = 0; i < settings.descriptorCount; ++i) {
    const SettingDescriptor& d = settings.descriptors[i];
    settings.*d.field = d.defaultValue;
  }
}

void readSettings(ViewerSettings& settings, const SMemIniFile& file, const char* section) {
  for (int32_t i = 0; i < settings.descriptorCount; ++i) {
    const SettingDescriptor& d = settings.descriptors[i];
    const int32_t value = file.readInteger(section, d.key, NotSet);
    if (value != NotSet) settings.*d.field = value;
  }
}

int writeSettings(const ViewerSettings& settings, SMemIniFile& file, const char* section) {
  file.eraseSection(section);
  for (int32_t i = 0; i < settings.descriptorCount; ++i) {
    const SettingDescriptor& d = settings.descriptors[i];
    const int32_t value = settings.*d.field;
    if (value == d.defaultValue) continue;
    const int result = file.writeInteger(section, d.key, value);
    if (result != IniOk) return result;
  }
  return IniOk;
}

void storeWindowSize(ViewerSettings& settings, int32_t width, int32_t height) {
  settings.Width = width == defaultWidth ? NotSet : width;
  settings.Height = height == defaultHeight ? NotSet : height;
}

int32_t windowWidthFor(const ViewerSettings& settings) {
  return settings.Width > 0 ? settings.Width : defaultWidth;
}

int32_t windowHeightFor(const ViewerSettings& settings) {
  return settings.Height > 0 ? settings.Height : defaultHeight;
}

int32_t defaultTreeWidth(int32_t resolution) {
  return static_cast<int32_t>(static_cast<int64_t>(resolution) * 250 / 96);
}

int32_t treeWidthFor(const ViewerSettings& settings, int32_t resolution) {
  return settings.SplitterPos >= 0 ? settings.SplitterPos : defaultTreeWidth(resolution);
}

void storeSplitterPos(ViewerSettings& settings, int32_t treeWidth) {
  // 0 is stored as 1 so that a collapsed tree stays (almost) collapsed
  // rather than reading back as "no value".
  int32_t stored = treeWidth;
  if (treeWidth == kSplitterDefault) stored = NotSet;
  else if (treeWidth == 0) stored = 1;
  if (stored != settings.SplitterPos) settings.SplitterPos = stored;
}

int32_t defaultFontHeight(int32_t resolution) {
  return static_cast<int32_t>((static_cast<int64_t>(resolution) * 10 + 36) / 72);
}

int32_t fontHeightFor(const ViewerSettings& settings, int32_t resolution) {
  if (settings.FontSize < 1) return defaultFontHeight(resolution);
  return settings.FontSize < kMaxFontHeight ? settings.FontSize : kMaxFontHeight;
}

int32_t stepFontHeight(int32_t height, int direction) {
  if (direction > 0) {
    const int32_t step = height >= kFontStepPivot ? 2 : 1;
    return height > INT32_MAX - step ? INT32_MAX : height + step;
  }
  if (direction < 0 && height > kMinFontHeight) {
    return height - (height > kFontStepPivot ? 2 : 1);
  }
  return height;
}

int32_t stepFont(ViewerSettings& settings, int32_t resolution, int direction) {
  int32_t height = stepFontHeight(fontHeightFor(settings, resolution), direction);
  if (height > kMaxFontHeight) height = kMaxFontHeight;
  const int32_t stored = height == defaultFontHeight(resolution) ? -1 : height;
  if (stored != settings.FontSize) settings.FontSize = stored;
  return height;
}

namespace {

// A stored positive dimension within [minimum, maximum] (the maximum wins
// on a screen smaller than the minimum); NotSet when it lands on `standard`.
int32_t clampDimension(int32_t stored, int32_t minimum, int32_t maximum, int32_t standard) {
  if (stored == NotSet || stored <= 0) return stored;
  int32_t value = stored < minimum ? minimum : stored;
  if (value > maximum) value = maximum;
  return value == standard ? NotSet : value;
}

}  // namespace

void clampSettings(ViewerSettings& settings, int32_t maxWidth, int32_t maxHeight) {
  if (maxWidth < 1) maxWidth = 1;
  if (maxHeight < 1) maxHeight = 1;
  settings.Width = clampDimension(settings.Width, kMinWindowWidth, maxWidth, defaultWidth);
  settings.Height = clampDimension(settings.Height, kMinWindowHeight, maxHeight, defaultHeight);
  if (settings.SplitterPos > maxWidth) storeSplitterPos(settings, maxWidth);
  if (settings.FontSize > kMaxFontHeight) settings.FontSize = kMaxFontHeight;
}

void setOption(ViewerSettings& settings, int32_t bit, bool on) {
  if (on) settings.Options |= bit;
  else settings.Options &= ~bit;
}

bool hasOption(const ViewerSettings& settings, int32_t bit) { return (settings.Options & bit) != 0; }
