#pragma once

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Keys.h"
#include "app/LoadDriver.h"
#include "app/Startup.h"
#include "app/Viewer.h"
#include "app/WindowGeometry.h"
#include "backend/Screen.h"
#include "common/TempFolder.h"
#include "common/ToolkitTestSupport.h"
#include "forms/Services.h"

namespace kavro::testing {

// A fresh viewer on the headless toolkit with a program folder of its own.
class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The user's folders are the test's own: never those of whoever runs the tests.
        ::setenv("XDG_CONFIG_HOME", UserConfig().c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home_ / "user-data").c_str(), 1);
        std::filesystem::create_directories(home_ / "metadata" / "mk");
        std::filesystem::create_directories(home_ / "metadata" / "default" / "icons");
        std::filesystem::create_directories(home_ / "metadata" / "default" / "images");
    }
    void TearDown() override {
        viewer_.reset();
        services_.reset();
    }

    std::filesystem::path Home() const { return home_.Path(); }
    // $XDG_CONFIG_HOME and $XDG_DATA_HOME/kavro/metadata of the test's user.
    std::filesystem::path UserConfig() const { return home_ / "user-config"; }
    std::filesystem::path UserMetadata() const {
        return home_ / "user-data" / "kavro" / "metadata";
    }

    // Writes (making its folders) or reads back a file below the program folder.
    void Write(const std::string& relative, const std::string& content) {
        home_.Write(relative, content);
    }
    std::string ReadBack(const std::string& relative) const { return ReadFile(Home() / relative); }

    // A solid PNG picture of w x h pixels, whatever the name's ending.
    void WritePicture(const std::string& relative, int w, int h, Uint32 argb = 0xFF3366CC) {
        toolkit::testing::WritePng(home_ / relative, w, h, argb);
    }

    // Starts a viewer as "kavro <command_line>" on a screen of w x h pixels.
    app::Viewer& Start(const std::string& command_line = "mk command", int w = 1280, int h = 960) {
        services_ = std::make_unique<toolkit::HeadlessServices>(home_.path(), command_line,
                                                                w * 15.0f, h * 15.0f);
        std::string error;
        auto fonts = toolkit::FontEngine::Create(font_family_, &error);
        EXPECT_NE(fonts, nullptr) << error;
        viewer_ = std::make_unique<app::Viewer>(*services_, std::move(fonts));
        app::Viewer& v = *viewer_;
        v.form.Resize = [&v] { app::Form_Resize(v); };
        EXPECT_TRUE(app::Main(v));
        return v;
    }

    // Writes metadata/mk/command.xml with these head and section elements, starts and loads.
    app::Viewer& Load(const std::string& body, const std::string& command_line = "mk command",
                      int w = 1280, int h = 960) {
        Write("metadata/mk/command.xml", "<document>" + body + "</document>");
        app::Viewer& v = Start(command_line, w, h);
        app::timLoad_Timer(v);
        return v;
    }

    void Key(int code) { app::Form_KeyDown(*viewer_, code, 0); }

    // The screen as the headless renderer draws it, as 0xRRGGBB pixels.
    using Shot = toolkit::testing::Bitmap;
    Shot Render(const app::Viewer& v) {
        const std::string path = (Home() / "shot.png").string();
        std::string error;
        EXPECT_TRUE(toolkit::RenderFormToPng(v.form, path, &error)) << error;
        return toolkit::testing::ReadPng(path);
    }
    // A picture of horizontal stripes, each row its own colour.
    void StripedPicture(const std::string& relative, int w, int h) {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
        for (int y = 0; y < h; ++y) {
            SDL_Rect row{0, y, w, 1};
            SDL_FillRect(s, &row,
                         0xFF000000u | static_cast<Uint32>((y * 25) << 16 | (255 - y * 25)));
        }
        const auto path = Home() / relative;
        std::filesystem::create_directories(path.parent_path());
        IMG_SavePNG(s, path.string().c_str());
        SDL_FreeSurface(s);
    }

    toolkit::HeadlessServices& Services() { return *services_; }

    // The font family viewers started from now on ask for ("Consolas", as the program does).
    void UseFontFamily(std::string family) { font_family_ = std::move(family); }
    const std::string& FontFamily() const { return font_family_; }

    // A head with the usual macros: normal (100 %, white), big (200 %, red), small (50 %, green).
    static std::string Head(const std::string& extra = "") {
        return "<head><textwidth>40</textwidth>"
               "<fontmacro size=\"100\" color=\"255,255,255\">normal</fontmacro>"
               "<fontmacro size=\"200\" color=\"255,0,0\">big</fontmacro>"
               "<fontmacro size=\"50\" color=\"0,255,0\">small</fontmacro>"
               "<bgmacro name=\"plain\" style=\"0\" color=\"0,0,64\"/>" +
               extra + "</head>";
    }

  private:
    std::string font_family_ = "Consolas";
    TempFolder home_{"kavro-test-"};
    std::unique_ptr<toolkit::HeadlessServices> services_;
    std::unique_ptr<app::Viewer> viewer_;
};

}  // namespace kavro::testing
