#pragma once

#include <QString>

#include <cstdint>

// The zoom's steps and limits: 0.25 to 3.75 in steps of 0.25.
inline constexpr float kZoomStep = 0.25f;
inline constexpr float kLowestZoom = 0.25f;
inline constexpr float kHighestZoom = 3.75f;

// The zoom the page is shown at (1 for its own size) and the sizes it works from, in
// twips, with the twips each scrollbar unit moves the page (0 when disabled).
struct ZoomState
{
    float zoom;
    std::int32_t baseWidth;
    std::int32_t baseHeight;
    std::int32_t zoomWidth;
    std::int32_t zoomHeight;
    std::int16_t hStep;
    std::int16_t vStep;
};

// What the page commands see of the preview window and ask of it.
class PageView
{
public:
    virtual ~PageView() = default;

    virtual ZoomState zoomState() const = 0;
    // One zoom step in or out; nothing beyond the limits.
    virtual void stepZoom(bool out) = 0;
    // The page at this zoom, when it lies within the limits.
    virtual void showAtZoom(float zoom) = 0;
    // The generated document the page shows.
    virtual QString wordFile() const = 0;
};
