#include "manuals/ManualDocument.h"

#include <cmath>
#include <cstdio>

#include "import/DatConverter.h"

namespace kavro::manuals {

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

}  // namespace

std::string PageImageName(int n) {
    return "manual-page-" + std::to_string(n);
}

int PageWidthPixels(double area_width_twips) {
    const double pixels = std::round(area_width_twips * kPageWidthShare / 15.0);
    return pixels < 16 ? 16 : static_cast<int>(pixels);
}

std::string ManualXml(const std::vector<Page>& pages, const std::string& title, double area_width,
                      double area_height) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document>\n";
    xml += "<info caption=\"";
    import::AppendEscaped(xml, title, true);
    xml += "\"/>\n";
    xml +=
        "<head><textwidth>40</textwidth>"
        "<fontmacro size=\"100\" color=\"160,160,160\">page</fontmacro>"
        "<bgmacro name=\"page\" style=\"1\" color=\"0,0,0\"/></head>\n";
    const std::string total = std::to_string(pages.size());
    const double width_percent = kPageWidthShare * 100.0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const Page& page = pages[i];
        // An unknown shape is taken as a portrait page of A4's proportions.
        const double shape = page.width > 0 && page.height > 0
                                 ? static_cast<double>(page.height) / page.width
                                 : std::sqrt(2.0);
        const double height_percent =
            area_height > 0 ? kPageWidthShare * area_width * shape / area_height * 100.0 : 100.0;
        const std::string n = std::to_string(i + 1);
        xml += "<section bg=\"page\"><img src=\"" + PageImageName(static_cast<int>(i) + 1) +
               "\" width=\"" + Number(width_percent) + "\" height=\"" + Number(height_percent) +
               "\" stretch=\"0\">page " + n + " of " + total + "</img></section>\n";
    }
    xml += "</document>\n";
    return xml;
}

}  // namespace kavro::manuals
