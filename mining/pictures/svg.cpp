#include "pictures/svg.h"

#include "pictures/markup.h"

namespace mining::pictures {

namespace {

std::string anchorAttribute(Anchor anchor) {
    switch (anchor) {
        case Anchor::Middle:
            return " text-anchor=\"middle\"";
        case Anchor::End:
            return " text-anchor=\"end\"";
        case Anchor::Start:
            break;
    }
    return "";
}

std::string at(double x, double y) {
    return "x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\"";
}

std::string box(double x, double y, double width, double height) {
    return at(x, y) + " width=\"" + coordinate(width) + "\" height=\"" + coordinate(height) + "\"";
}

}  // namespace

Svg::Svg(double width, double height, std::string_view label) {
    out_ = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + coordinate(width) +
           "\" height=\"" + coordinate(height) + "\" viewBox=\"0 0 " + coordinate(width) + " " +
           coordinate(height) + "\" role=\"img\" aria-label=\"" + escape(label) + "\">";
}

void Svg::open(std::string_view element, std::string_view attributes, std::string_view style,
               std::string_view title) {
    out_ += '<';
    out_ += element;
    out_ += ' ';
    out_ += attributes;
    if (!style.empty()) out_ += " class=\"" + escape(style) + "\"";
    if (title.empty()) {
        out_ += "/>";
        return;
    }
    out_ += "><title>" + escape(title) + "</title></";
    out_ += element;
    out_ += '>';
}

void Svg::rect(double x, double y, double width, double height, std::string_view style,
               std::string_view title) {
    open("rect", box(x, y, width, height), style, title);
}

void Svg::filledRect(double x, double y, double width, double height, std::string_view colour,
                     std::string_view title) {
    open("rect", box(x, y, width, height) + " fill=\"" + escape(colour) + "\"", {}, title);
}

void Svg::line(double x1, double y1, double x2, double y2, std::string_view style) {
    open("line",
         "x1=\"" + coordinate(x1) + "\" y1=\"" + coordinate(y1) + "\" x2=\"" + coordinate(x2) +
             "\" y2=\"" + coordinate(y2) + "\"",
         style, {});
}

void Svg::path(std::string_view d, std::string_view style, std::string_view title) {
    open("path", "d=\"" + escape(d) + "\"", style, title);
}

void Svg::circle(double x, double y, double r, std::string_view style, std::string_view title) {
    open("circle",
         "cx=\"" + coordinate(x) + "\" cy=\"" + coordinate(y) + "\" r=\"" + coordinate(r) + "\"",
         style, title);
}

void Svg::text(double x, double y, std::string_view text, std::string_view style, Anchor anchor,
               std::string_view title) {
    out_ += "<text " + at(x, y) + anchorAttribute(anchor);
    if (!style.empty()) out_ += " class=\"" + escape(style) + "\"";
    out_ += '>';
    if (!title.empty()) out_ += "<title>" + escape(title) + "</title>";
    out_ += escape(text) + "</text>";
}

void Svg::turnedText(double x, double y, double degrees, std::string_view text,
                     std::string_view style, Anchor anchor, std::string_view title) {
    out_ += "<g transform=\"translate(" + coordinate(x) + " " + coordinate(y) + ") rotate(" +
            coordinate(degrees) + ")\">";
    this->text(0, 0, text, style, anchor, title);
    out_ += "</g>";
}

void Svg::group(std::string_view title, std::string_view style) {
    out_ += "<g";
    if (!style.empty()) out_ += " class=\"" + escape(style) + "\"";
    out_ += '>';
    if (!title.empty()) out_ += "<title>" + escape(title) + "</title>";
}

void Svg::endGroup() { out_ += "</g>"; }

std::string Svg::finish() {
    std::string done = std::move(out_);
    done += "</svg>";
    out_.clear();
    return done;
}

}  // namespace mining::pictures
