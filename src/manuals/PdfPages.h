#pragma once

#include <string>
#include <vector>

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

// The file extension of drawn pages: JPEG, which pdftoppm writes several times faster than
// PNG (PNG's compression took most of a page's time) and which scanned pages are anyway.
inline constexpr const char* kDrawnPageExtension = ".jpg";

// How many pages one run of pdftoppm draws: starting it (its fonts found again) cost as much as
// drawing a page, and a run is awaited before the viewer can leave.
inline constexpr int kPagesPerRun = 6;

// Pages first to last (from 1) of the PDF drawn in one run of pdftoppm as JPEG files of
// width_px pixels' width, their height following each page's shape, kept in folder as names
// (one per page, first to last). Throws ManualError.
void RasterisePdfPages(const PdfTools& tools, const std::string& pdf, int first, int last,
                       int width_px, const std::string& folder,
                       const std::vector<std::string>& names);

}  // namespace kavro::manuals
