#pragma once

#include <string>
#include <vector>

namespace mining::pictures {

// One section of the page: its anchor, its heading and its HTML.
struct PageSection {
    std::string id;
    std::string heading;
    std::string html;
};

// What the page says first, as the report's first lines say it: the title ("tarnel 1.00:
// interval classifier"), the data file, the run's identifier, the result line, and the notes in
// their groups (each a list of sentences).
struct PageHead {
    std::string title;
    std::string data;
    std::string run;
    std::string result;
    std::vector<std::vector<std::string>> notes;
};

// Returns one self-contained HTML page: no script, no request to any other file or server (its
// styles inline, its drawings inline SVG, system fonts), well-formed XML as well as HTML. It
// holds the head's texts, a legend of the classes' colours, a list of the sections and the
// sections in order. Every text given in `head` and `classNames` is escaped; the sections' HTML
// goes in as it is.
std::string htmlPage(const PageHead& head, const std::vector<std::string>& classNames,
                     const std::vector<PageSection>& sections);

}  // namespace mining::pictures
