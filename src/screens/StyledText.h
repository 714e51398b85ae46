#pragma once

#include "TScreenMarker.h"

#include <string>

class QFont;
class QPaintDevice;
class QPainter;

namespace halvane {

class ProfileStore;

// Draws a value and its caption in text style `style` ("Style.N" of the configuration)
// into the object's rectangle; returns the rectangle the value text occupies.
// `highlighted` takes the highlighted component for the value; without `liveColours`
// both texts are grey; `framed` draws a frame around the value.
MarkerRect DrawStyledText(QPainter& painter, const ProfileStore& store, int style,
                          const MarkerRect& rect, const std::string& value,
                          const std::string& caption, bool highlighted, bool liveColours,
                          bool framed);

// Sets the painter's font and pen from one component of a style: 'M' the value, 'A' the
// highlighted value, 'D' the caption.
void LoadStyleFont(QPainter& painter, const ProfileStore& store, int style, char prefix,
                   bool liveColours);

// Sizes a font by a platform font height in pixels on `device`: a negative height is the
// character height (without internal leading), a positive one the cell height; 0 keeps
// the toolkit's default size. Heights beyond any screen are held at a harmless size.
void SetFontPixelHeight(QFont& font, int height, const QPaintDevice* device);

// The device's vertical dots per inch; 96 without a device or a resolution.
int DeviceDpi(const QPaintDevice* device);

} // namespace halvane
