#pragma once

#include <string>
#include <string_view>

namespace mining::pictures {

// Where a text's position is: its start, middle or end.
enum class Anchor { Start, Middle, End };

// One SVG drawing, written as text. Coordinates are user units (CSS pixels); the drawing keeps
// its size. Every text given is escaped (markup.h); a `title`, when not empty, becomes the
// element's <title>, which browsers show on hover and screen readers read. `style` names CSS
// classes ("c0", "axis").
class Svg {
public:
    // Starts a drawing of `width` by `height`, labelled `label` for screen readers.
    Svg(double width, double height, std::string_view label);

    void rect(double x, double y, double width, double height, std::string_view style,
              std::string_view title = {});
    // A rectangle filled with `colour` ("#rrggbb").
    void filledRect(double x, double y, double width, double height, std::string_view colour,
                    std::string_view title = {});
    void line(double x1, double y1, double x2, double y2, std::string_view style);
    // A path of SVG path data `d` (built from coordinate()s).
    void path(std::string_view d, std::string_view style, std::string_view title = {});
    void circle(double x, double y, double r, std::string_view style, std::string_view title = {});
    void text(double x, double y, std::string_view text, std::string_view style = {},
              Anchor anchor = Anchor::Start, std::string_view title = {});
    // A text turned by `degrees` about its position (negative: counter-clockwise).
    void turnedText(double x, double y, double degrees, std::string_view text,
                    std::string_view style, Anchor anchor, std::string_view title = {});
    // Starts a group whose <title> covers what it holds; endGroup() ends it.
    void group(std::string_view title, std::string_view style = {});
    void endGroup();

    // Returns the drawing's markup. The drawing is left empty.
    std::string finish();

private:
    void open(std::string_view element, std::string_view attributes, std::string_view style,
              std::string_view title);

    std::string out_;
};

}  // namespace mining::pictures
