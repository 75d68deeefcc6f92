// Bytes as a picture file: the bitmap wrapper and the control picture loader, under the
// names of every route (.gif through the toolkit, anything else through the bitmap wrapper).
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "imaging/PictureFiles.h"
#include "imaging/cBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const char* name : {"input.png", "input.gif"}) {
        const std::string path = (kavro::fuzz::ScratchDir() / name).string();
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        kavro::imaging::cBitmap bitmap;
        bitmap.LoadFromFile(path);
        auto picture = bitmap.Picture();
        if (picture && (picture->Width() != bitmap.Width() || picture->Height() != bitmap.Height()))
            __builtin_trap();
        kavro::toolkit::Image control;
        control.Width = 3000;
        control.Height = 3000;
        kavro::imaging::LoadControlPicture(path, control, 0, nullptr);
        kavro::imaging::LoadPictureFile(path, nullptr);
    }
    return 0;
}
