#pragma once

#include <string>
#include <vector>

namespace kavro::testing {

// A PDF of pages pages, written here byte by byte: each page a filled rectangle in a colour of
// its own and its number drawn in Helvetica, so drawn pages differ from each other.
inline std::string SamplePdf(int pages, int width_pt = 420, int height_pt = 595) {
    std::vector<std::string> objects;
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; ++i)
        kids += std::to_string(4 + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                      " >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int i = 0; i < pages; ++i) {
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " +
                          std::to_string(width_pt) + " " + std::to_string(height_pt) +
                          "] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                          std::to_string(5 + 2 * i) + " 0 R >>");
        const double shade = (i % 7) / 7.0;
        const std::string content =
            std::to_string(0.2 + shade * 0.6) + " 0.3 " + std::to_string(0.8 - shade * 0.5) +
            " rg 30 60 " + std::to_string(width_pt - 60) + " " + std::to_string(height_pt - 160) +
            " re f 0 0 0 rg BT /F1 36 Tf 40 " + std::to_string(height_pt - 70) + " Td (Page " +
            std::to_string(i + 1) + ") Tj ET";
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" +
                          content + "\nendstream");
    }
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        std::string number = std::to_string(offset);
        pdf += std::string(10 - number.size(), '0') + number + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace kavro::testing
