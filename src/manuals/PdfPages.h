#pragma once

#include <string>

namespace kavro::manuals {

// The two poppler-utils programs a PDF manual is read with, run as programs of their own.
struct PdfTools {
    std::string pdfinfo;
    std::string pdftoppm;

    // Both found in the search path; throws ManualError (for the file pdf) naming the package
    // when one is not.
    static PdfTools Find(const std::string& pdf, const std::string& search_path);
};

// The number of pages of a PDF file. Throws ManualError when the file is not a readable PDF.
int PdfPageCount(const PdfTools& tools, const std::string& pdf);

// Page page (from 1) of the PDF as a PNG file of width_px pixels' width, its height following
// the page's shape. Throws ManualError.
void RasterisePdfPage(const PdfTools& tools, const std::string& pdf, int page, int width_px,
                      const std::string& png);

}  // namespace kavro::manuals
