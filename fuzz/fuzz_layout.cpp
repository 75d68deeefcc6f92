// Bytes as one section's markup: layout and painting on the headless toolkit, with the
// bundled icons and pictures.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/LoadDriver.h"
#include "app/Viewer.h"
#include "app/WindowGeometry.h"
#include "layout/LayoutSection.h"
#include "layout/PaintSection.h"

namespace {

struct Session {
    kavro::toolkit::HeadlessServices services{KAVRO_SOURCE_DIR, "mk command", 1280 * 15.0f,
                                              960 * 15.0f};
    std::unique_ptr<kavro::app::Viewer> viewer;
    Session() {
        std::string error;
        viewer = std::make_unique<kavro::app::Viewer>(
            services, kavro::toolkit::FontEngine::Create("Consolas", &error));
        auto& v = *viewer;
        v.RomName = "mk";
        v.form.Move(0, 0, services.ScreenWidth(), services.ScreenHeight());
        kavro::app::Form_Resize(v);
        auto& fonts = v.doc.FontMacros;
        const char* macros[][5] = {{"normal", "100", "255", "255", "255"},
                                   {"big", "250", "300", "0", "0"},
                                   {"tiny", "10", "0", "x", "0"}};
        for (const auto& m : macros) {
            const int c = fonts.AddColumn();
            for (int f = 0; f < 5; ++f)
                fonts.At(f, c) = m[f];
        }
        auto& bgs = v.doc.BgMacros;
        const char* backgrounds[][6] = {{"plain", "0", "0", "0", "64", ""},
                                        {"paper", "1", "0", "0", "0", "paper.png"},
                                        {"cont", "2", "0", "0", "0", "stripes.jpg"},
                                        {"wide", "3", "0", "0", "0", "fade.png"}};
        for (const auto& b : backgrounds) {
            const int c = bgs.AddColumn();
            for (int f = 0; f < 6; ++f)
                bgs.At(f, c) = b[f];
        }
        v.doc.LineChars = 40;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Session session;
    auto& v = *session.viewer;
    v.NoFormatting = size > 0 && (data[0] & 1);
    v.NoImages = size > 0 && (data[0] & 2);
    v.doc.SectionMarkup.assign(1, std::string());
    v.doc.SectionMarkup.emplace_back(reinterpret_cast<const char*>(data), size);
    v.doc.SectionMarkup.push_back("|bg=cont|\nsecond\n|bge|");
    kavro::app::ClearSection(v);
    v.pictures.NewLoad();
    v.fileLookups.clear();
    for (int k = 1; k <= 2; ++k) {
        kavro::layout::LayoutSection(v.Layout(), k - 1);
        kavro::layout::PaintSection(v.Layout(), k);
    }
    return 0;
}
