#pragma once

#include "DataRoot.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TDataChannel.h"
#include "TScreenMarker.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>

#include <functional>
#include <string>

// A temporary data root with a "cfg" folder and its config.cfg store.
class ScreenDataRootTest : public ::testing::Test {
protected:
    ScreenDataRootTest() {
        halvane::SetDataRoot(m_root.Path().string());
        halvane::SetDecimalSeparator('.');
        std::filesystem::create_directories(m_root / "cfg");
    }

    std::filesystem::path CfgFile(const std::string& name) const { return m_root / "cfg" / name; }

    TempDir m_root;
    halvane::ProfileStore m_config{m_root / "cfg" / "config.cfg"};
};

inline halvane::TDataChannel MakeTag(const std::string& name, double value, bool valid = true,
                                     const std::string& unit = "",
                                     const std::string& format = "%0.1f") {
    halvane::TDataChannel tag;
    tag.Name = name;
    tag.RealValue = value;
    tag.ValueValid = valid;
    tag.Unit = unit;
    tag.Format = format;
    return tag;
}

// What `action` writes to stderr.
inline std::string StderrOf(const std::function<void()>& action) {
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

// The bounding box of the pixels inside `area` that satisfy `ink`.
inline QRect InkBox(const QImage& image, const QRect& area,
                    const std::function<bool(const QColor&)>& ink) {
    QRect box;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (ink(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// An object of `type` on `rect`, drawn there: its Bounds are the rectangle.
inline halvane::TScreenMarker PlacedObject(int32_t type, halvane::MarkerRect rect) {
    halvane::TScreenMarker object;
    object.Type = type;
    object.Left = rect.Left;
    object.Top = rect.Top;
    object.Right = rect.Right;
    object.Bottom = rect.Bottom;
    object.Bounds = rect;
    return object;
}
