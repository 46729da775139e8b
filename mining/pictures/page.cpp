#include "pictures/page.h"

#include "pictures/markup.h"
#include "pictures/palette.h"

namespace mining::pictures {

namespace {

// The page's styles: system fonts, pictures that keep their size inside frames that scroll,
// the tree as nested lists drawn top-down with connecting lines.
constexpr const char* kStyles = R"(
body{font:14px/1.4 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;margin:16px 24px;color:#111;background:#fff;max-width:100%}
h1{font-size:18px;margin:0 0 4px}h2{font-size:16px;margin:28px 0 8px;border-bottom:1px solid #ccc}
h3{font-size:14px;margin:18px 0 6px}h4{font-size:13px;margin:10px 0 4px}
.result{font-size:15px;font-weight:600;margin:8px 0}.notes p{margin:4px 0;color:#333}
.caption{color:#444;max-width:60em}.more{color:#555;font-style:italic;margin:4px 0}
nav a{margin-right:12px}code,.mono{font-family:ui-monospace,"DejaVu Sans Mono",monospace}
.scroll{overflow-x:auto;max-width:100%}
.legend{display:flex;flex-wrap:wrap;gap:4px 14px;margin:8px 0}.legend span{white-space:nowrap}
.legend svg{vertical-align:middle;margin-right:4px}
svg text{font-family:system-ui,"DejaVu Sans",sans-serif;font-size:12px;fill:#111}
svg .small{font-size:10px}svg .axis{font-size:11px;fill:#444}svg .mono{font-size:12px}
svg .count{font-size:11px}svg .count.light{fill:#fff}svg .label{font-size:12px}
svg .baseline{stroke:#888;stroke-width:1}svg .grid{stroke:#e4e4e4;stroke-width:1}
svg .cut{stroke:#111;stroke-width:1.5;stroke-dasharray:3 2}svg .wedge{fill:#111}
svg .track{fill:#eee}svg .bar{fill:#0072B2}svg .curve{fill:none;stroke-width:2}
svg .whisker{stroke:#777;stroke-width:2}svg .dot{fill:#777}svg .chosen .dot{fill:#0072B2}
svg .chosen .whisker{stroke:#0072B2}svg .value.strong{font-weight:700}
svg .mean{stroke:#0072B2;stroke-width:1.5;stroke-dasharray:5 3}
table.per-class{border-collapse:collapse}table.per-class td,table.per-class th{padding:2px 8px;text-align:left}
table.per-class td.n{text-align:right}table.per-class td.figure svg{vertical-align:middle}
table.per-class tbody tr:nth-child(odd){background:#f6f6f6}
figure.attribute{margin:10px 0 16px}figure.attribute figcaption{margin-bottom:2px}
.tree-frame{padding:8px 0}
ul.tree,ul.tree ul{list-style:none;margin:0;padding:0;display:flex;justify-content:flex-start}
ul.tree ul{padding-top:14px;position:relative}
ul.tree li{display:flex;flex-direction:column;align-items:center;position:relative;padding:14px 4px 0}
ul.tree li::before,ul.tree li::after{content:"";position:absolute;top:0;border-top:1px solid #999;width:50%;height:14px}
ul.tree li::before{right:50%}ul.tree li::after{left:50%;border-left:1px solid #999}
ul.tree li:only-child::before,ul.tree li:only-child::after{display:none}
ul.tree li:only-child{padding-top:0}
ul.tree li:first-child::before,ul.tree li:last-child::after{border:0 none}
ul.tree li:last-child::before{border-right:1px solid #999}
ul.tree>li{padding-top:0}ul.tree>li::before,ul.tree>li::after{display:none}
ul.tree ul::before{content:"";position:absolute;top:0;left:50%;border-left:1px solid #999;height:14px}
details>ul{padding-top:14px}details{display:flex;flex-direction:column;align-items:center}
details>summary{cursor:pointer;color:#0060a0;font-size:12px;margin-top:6px;white-space:nowrap}
.node{border:1px solid #bbb;border-radius:4px;padding:4px 6px;background:#fff;font-size:12px;text-align:center}
.node.leaf{background:#fafafa;min-width:9em}.node .branch{font-family:ui-monospace,"DejaVu Sans Mono",monospace;color:#333;font-size:11px}
.node .head .n{font-weight:600}.node .strength{color:#555}.node .attribute{font-weight:600}
.node .facts{font-size:11px;color:#555}.rules ol{margin:2px 0 8px}.rules .figures{color:#555}
ul.left-out li{margin:2px 0}
)";

std::string legend(const std::vector<std::string>& classNames) {
    std::string html = "<div class=\"legend\" aria-label=\"the classes' colours\">";
    for (std::size_t c = 0; c < classNames.size(); ++c)
        html +=
            "<span><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"14\" height=\"14\" "
            "aria-hidden=\"true\"><rect width=\"14\" height=\"14\" class=\"c" +
            std::to_string(c) + "\"/></svg>" + escape(classNames[c]) + "</span>";
    return html + "</div>\n";
}

std::string headHtml(const PageHead& head) {
    std::string html = "<h1>" + escape(head.title) + "</h1>\n<p>Data: <code>" + escape(head.data) +
                       "</code>; run <code>" + escape(head.run) +
                       "</code></p>\n<p class=\"result\">" + escape(head.result) + "</p>\n";
    if (head.notes.empty()) return html;
    html += "<div class=\"notes\">";
    for (const std::vector<std::string>& group : head.notes) {
        if (group.empty()) continue;
        std::string text;
        for (const std::string& sentence : group) text += (text.empty() ? "" : " ") + sentence;
        html += "<p>" + escape(text) + "</p>";
    }
    return html + "</div>\n";
}

}  // namespace

std::string htmlPage(const PageHead& head, const std::vector<std::string>& classNames,
                     const std::vector<PageSection>& sections) {
    std::string html =
        "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">"
        "<head><meta charset=\"utf-8\"/><meta name=\"viewport\" content=\"width="
        "device-width, initial-scale=1\"/><title>" +
        escape(head.title) + ": " + escape(head.data) + "</title>\n<style>" + kStyles +
        classStyles(classNames.size()) + "</style></head>\n<body>\n" +
        patternDefinitions(classNames.size()) + headHtml(head) + legend(classNames);
    html += "<nav>";
    for (const PageSection& s : sections)
        html += "<a href=\"#" + escape(s.id) + "\">" + escape(s.heading) + "</a>";
    html += "</nav>\n";
    for (const PageSection& s : sections)
        html += "<section id=\"" + escape(s.id) + "\"><h2>" + escape(s.heading) + "</h2>\n" +
                s.html + "</section>\n";
    return html + "</body></html>\n";
}

}  // namespace mining::pictures
