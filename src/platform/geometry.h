#pragma once
// Geometry shared by the contract and the core. Points, sizes and rectangles are in points, in global
// screen coordinates (origin at the top-left corner of the main screen, y growing downwards) unless a
// declaration says otherwise; pictures are measured in whole pixels.

namespace platform {

/// A point.
struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

/// A width and a height.
struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

/// A rectangle: its top-left corner and its size.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    Point centre() const { return {x + width / 2, y + height / 2}; }
    /// True when `point` lies inside: the left and top edges included, the right and bottom ones not.
    bool contains(Point point) const {
        return point.x >= x && point.y >= y && point.x < x + width && point.y < y + height;
    }
    static Rect of(Point origin, Size size) { return {origin.x, origin.y, size.width, size.height}; }
    bool operator==(const Rect&) const = default;
};

/// A picture's size in whole pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

/// An area of a picture in whole pixels, origin at the picture's top left.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

}  // namespace platform
