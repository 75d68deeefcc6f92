#include "toolkit/Screen.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unordered_map>
#include <utility>
#include <vector>

#include "toolkit/Controllers.h"
#include "toolkit/KeyCodes.h"
#include "toolkit/LruCache.h"
#include "toolkit/PngWriter.h"
#include "toolkit/Services.h"

namespace kavro::toolkit {

namespace {

constexpr int kMaxSurfaceSide = 16384;
constexpr std::size_t kMaxTextTextures = 2048;
constexpr std::size_t kMaxPictureTextures = 256;
constexpr std::size_t kMaxPictureTextureBytes = std::size_t{512} * 1024 * 1024;
constexpr long kImageBorderColour = 0x808080;
// Events taken in one go before the frame is drawn again.
constexpr int kMaxEventsPerFrame = 256;

struct TextureDeleter {
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
struct RendererDeleter {
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
};
struct WindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};
struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using TexturePtr = std::unique_ptr<SDL_Texture, TextureDeleter>;
using RendererPtr = std::unique_ptr<SDL_Renderer, RendererDeleter>;
using WindowPtr = std::unique_ptr<SDL_Window, WindowDeleter>;
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// SDL counts subsystem starts, so each user holds its own.
class VideoGuard {
  public:
    VideoGuard() : ok_(SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {}
    ~VideoGuard() {
        if (ok_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    VideoGuard(const VideoGuard&) = delete;
    VideoGuard& operator=(const VideoGuard&) = delete;
    bool Ok() const { return ok_; }

  private:
    bool ok_;
};

bool Fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

// Twips to a pixel edge. Every edge goes through here, so a surface that starts where another
// ends starts on the very pixel row where the other stops. The small allowance absorbs float
// error in sums such as 14.99999 for 15.
int EdgePx(double twips) {
    const double px = std::floor(twips / 15.0 + 1e-4);
    if (!std::isfinite(px)) return px > 0 ? INT_MAX / 4 : -INT_MAX / 4;
    return static_cast<int>(std::clamp(px, -1.0e9, 1.0e9));
}

// A side of a whole surface in pixels.
int SidePx(float twips) {
    return std::clamp(EdgePx(twips), 1, kMaxSurfaceSide);
}

struct PxRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    PxRect Intersect(const PxRect& o) const {
        return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    }
    SDL_Rect Sdl() const { return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)}; }
};

// A rectangle given relative to an origin, both in twips, in window pixels. Edges are rounded
// from window twips, so what a container holds lines up exactly with other containers.
PxRect TwipsRect(double origin_x, double origin_y, double left, double top, double width,
                 double height) {
    return {EdgePx(origin_x + left), EdgePx(origin_y + top), EdgePx(origin_x + left + width),
            EdgePx(origin_y + top + height)};
}

PxRect ControlRect(double origin_x, double origin_y, const Control& c) {
    return TwipsRect(origin_x, origin_y, c.Left, c.Top, c.Width, c.Height);
}

SDL_Color Colour(long rgb) {
    const auto v = static_cast<unsigned long>(rgb);
    return {static_cast<Uint8>(v & 0xFF), static_cast<Uint8>((v >> 8) & 0xFF),
            static_cast<Uint8>((v >> 16) & 0xFF), 255};
}

struct TextKey {
    std::string text;
    int points;
    std::uint32_t rgb;
    FontEngine::LineMetrics metrics;  // a fallback face elsewhere in the label moves the baseline
    bool operator==(const TextKey&) const = default;
};
struct TextKeyHash {
    std::size_t operator()(const TextKey& k) const {
        return std::hash<std::string>()(k.text) ^ (static_cast<std::size_t>(k.points) << 24) ^
               static_cast<std::size_t>(k.rgb) * 0x9E3779B1u;
    }
};
struct TextTexture {
    TexturePtr texture;  // null for text that renders as nothing
    int w = 0, h = 0;
};
// A picture at one drawn size: clipped copies of a texture at its own size are exact, where
// a clipped stretch would resample it and break a band's pattern at a surface's edge.
struct PictureKey {
    const Picture* picture;
    int w, h;
    bool operator==(const PictureKey&) const = default;
};
struct PictureKeyHash {
    std::size_t operator()(const PictureKey& k) const {
        return std::hash<const void*>()(k.picture) ^ (std::size_t(k.w) * 1000003u) ^
               (std::size_t(k.h) * 7919u);
    }
};
// Larger drawn sizes are stretched by the renderer instead.
constexpr long long kMaxScaledPixels = 4096LL * 4096;

struct PictureTexture {
    std::weak_ptr<const Picture> owner;  // a freed picture's address may come back
    TexturePtr texture;
    std::size_t bytes = 0;
};

// What lies on one surface, in drawing order.
struct Contents {
    std::vector<const Image*> images;
    std::vector<const Label*> labels;
};

// Draws a form on a renderer and keeps the textures it made for the next frame.
class Painter {
  public:
    explicit Painter(SDL_Renderer* renderer) : r_(renderer) {}

    void Paint(const Form& form, int width_px, int height_px) {
        const PxRect window{0, 0, width_px, height_px};
        SDL_RenderSetClipRect(r_, nullptr);
        SetColour(form.BackColor);
        SDL_RenderClear(r_);

        // Only what lies on a box in view, or on the form itself, is gathered: a long document
        // holds tens of thousands of controls, nearly all of them on boxes out of view.
        struct Shown {
            const PictureBox* box;
            PxRect rect, visible;
        };
        std::vector<Shown> shown;
        std::unordered_map<const PictureBox*, Contents> on{{nullptr, Contents{}}};
        for (const ControlArray<PictureBox>* boxes : form.SceneBoxes()) {
            if (!boxes) continue;
            boxes->ForEach([&](const PictureBox& box) {
                if (!box.Visible || box.Container != nullptr) return;
                const PxRect rect = ControlRect(0, 0, box);
                const PxRect visible = rect.Intersect(window);
                if (visible.Empty()) return;
                shown.push_back({&box, rect, visible});
                on.try_emplace(&box);
            });
        }
        const auto gather = [&on](const auto& arrays, auto into) {
            for (const auto* controls : arrays)
                if (controls)
                    controls->ForEach([&](const auto& c) {
                        if (!c.Visible) return;
                        if (auto it = on.find(c.Container); it != on.end())
                            (it->second.*into).push_back(&c);
                    });
        };
        gather(form.SceneImages(), &Contents::images);
        gather(form.SceneLabels(), &Contents::labels);

        for (const Shown& s : shown)
            PaintBox(form, *s.box, s.rect, s.visible, on);
        PaintContents(form, on.at(nullptr), 0, 0, window);
        SDL_RenderSetClipRect(r_, nullptr);
    }

  private:
    void SetColour(long rgb) {
        const SDL_Color c = Colour(rgb);
        SDL_SetRenderDrawColor(r_, c.r, c.g, c.b, 255);
    }

    void Clip(const PxRect& rect) {
        const SDL_Rect r = rect.Sdl();
        SDL_RenderSetClipRect(r_, &r);
    }

    void PaintBox(const Form& form, const PictureBox& box, const PxRect& rect,
                  const PxRect& visible,
                  const std::unordered_map<const PictureBox*, Contents>& on) {
        Clip(visible);
        SetColour(box.BackColor);
        const SDL_Rect fill = visible.Sdl();
        SDL_RenderFillRect(r_, &fill);
        if (box.Picture && !box.Picture->IsEmpty())
            DrawPicture(
                box.Picture,
                {rect.x0, rect.y0, rect.x0 + box.Picture->Width(), rect.y0 + box.Picture->Height()},
                visible);
        for (const PictureBox::Band& band : box.Bands()) {
            if (!band.picture || band.picture->IsEmpty()) continue;
            const PxRect dst = TwipsRect(box.Left, box.Top, band.x, band.y, band.w, band.h);
            DrawPicture(band.picture, dst, visible);
        }
        if (auto it = on.find(&box); it != on.end())
            PaintContents(form, it->second, box.Left, box.Top, visible);
    }

    void PaintContents(const Form& form, const Contents& contents, double origin_x, double origin_y,
                       const PxRect& clip) {
        for (const Image* image : contents.images) {
            const PxRect rect = ControlRect(origin_x, origin_y, *image);
            const PxRect visible = rect.Intersect(clip);
            if (visible.Empty()) continue;
            const PicturePtr& pic = image->Picture();
            if (pic && !pic->IsEmpty()) {
                const PxRect dst = image->Stretch ? rect
                                                  : PxRect{rect.x0, rect.y0, rect.x0 + pic->Width(),
                                                           rect.y0 + pic->Height()};
                DrawPicture(pic, dst, visible);
            }
            if (image->BorderStyle == 1) Outline(rect, visible, kImageBorderColour);
        }
        for (const Label* label : contents.labels) {
            const PxRect rect = ControlRect(origin_x, origin_y, *label);
            const PxRect visible = rect.Intersect(clip);
            if (visible.Empty()) continue;
            DrawText(form.Fonts(), *label, rect, visible);
            if (label->BorderStyle == 1) Outline(rect, visible, label->ForeColor);
        }
    }

    void Outline(const PxRect& rect, const PxRect& visible, long rgb) {
        Clip(visible);
        SetColour(rgb);
        const SDL_Rect r = rect.Sdl();
        SDL_RenderDrawRect(r_, &r);
    }

    void DrawPicture(const PicturePtr& pic, const PxRect& dst, const PxRect& clip) {
        if (dst.Empty() || dst.Intersect(clip).Empty()) return;
        const int w = dst.x1 - dst.x0, h = dst.y1 - dst.y0;
        const bool scaled = static_cast<long long>(w) * h <= kMaxScaledPixels;
        SDL_Texture* texture = scaled ? PictureTextureFor(pic, w, h) : PictureTextureFor(pic, 0, 0);
        if (!texture) return;
        Clip(clip);
        const SDL_Rect d = dst.Sdl();
        SDL_RenderCopy(r_, texture, nullptr, &d);
    }

    void DrawText(const FontEngine& fonts, const Label& label, const PxRect& rect,
                  const PxRect& clip) {
        if (!fonts.TtfFont(label.FontSize())) return;
        const int points = static_cast<int>(
            std::lround(std::clamp(label.FontSize(), FontEngine::kMinSize, FontEngine::kMaxSize)));
        const FontEngine::LineMetrics metrics = fonts.Metrics(label.Caption(), label.FontSize());
        const int line_height = metrics.height;
        if (line_height <= 0) return;
        const SDL_Color c = Colour(label.ForeColor);
        const std::uint32_t rgb = c.r | (std::uint32_t{c.g} << 8) | (std::uint32_t{c.b} << 16);
        Clip(clip);
        std::string line;
        int y = rect.y0;
        auto draw_line = [&] {
            if (!line.empty() && y < clip.y1 && y + line_height > clip.y0) {
                FitVisibleWidth(fonts, label.FontSize(), clip.x1 - rect.x0, &line);
                const TextTexture* t =
                    TextTextureFor(fonts, line, label.FontSize(), points, metrics, rgb, c);
                if (t && t->texture) {
                    const SDL_Rect d{rect.x0, y, t->w, t->h};
                    SDL_RenderCopy(r_, t->texture.get(), nullptr, &d);
                }
            }
            line.clear();
            y += line_height;
        };
        for (char ch : label.Caption()) {
            const auto u = static_cast<unsigned char>(ch);
            if (ch == '\n') {
                draw_line();
                if (y >= clip.y1) return;
            } else if (u >= 0x20 && u != 0x7F) {
                line.push_back(ch);
            }
        }
        draw_line();
    }

    // A line too wide for one texture is cut to what can show right of its start; the face is
    // monospace, so the average advance tells where to cut.
    static void FitVisibleWidth(const FontEngine& fonts, float size, int room_px,
                                std::string* line) {
        const int width = fonts.WidthPixels(*line, size);
        if (width <= kMaxSurfaceSide) return;
        std::size_t glyphs = 0;
        for (char ch : *line)
            if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++glyphs;
        const double advance = static_cast<double>(width) / static_cast<double>(glyphs);
        const double fit = std::min<double>(std::max(room_px, 0), kMaxSurfaceSide / 2);
        const auto keep = static_cast<std::size_t>(fit / advance) + 1;
        std::size_t seen = 0;
        for (std::size_t i = 0; i < line->size(); ++i) {
            if ((static_cast<unsigned char>((*line)[i]) & 0xC0) != 0x80 && seen++ == keep) {
                line->resize(i);
                return;
            }
        }
    }

    const TextTexture* TextTextureFor(const FontEngine& fonts, const std::string& line, float size,
                                      int points, FontEngine::LineMetrics metrics,
                                      std::uint32_t rgb, SDL_Color colour) {
        TextKey key{line, points, rgb, metrics};
        if (const TextTexture* hit = texts_.Find(key)) return hit;
        TextTexture entry;
        SurfacePtr surface = RenderLine(fonts, line, size, metrics, colour);
        if (surface) {
            entry.texture.reset(SDL_CreateTextureFromSurface(r_, surface.get()));
            if (entry.texture) SDL_SetTextureBlendMode(entry.texture.get(), SDL_BLENDMODE_BLEND);
            entry.w = surface->w;
            entry.h = surface->h;
        }
        return &texts_.Put(std::move(key), std::move(entry));
    }

    // One surface for the line: each segment in its own face, every face's baseline on the
    // line's, so that the drawn text is exactly as wide and as high as it was measured.
    static SurfacePtr RenderLine(const FontEngine& fonts, const std::string& line, float size,
                                 FontEngine::LineMetrics metrics, SDL_Color colour) {
        const std::vector<FontEngine::Segment> segments = fonts.Segments(line, size);
        if (segments.empty()) return nullptr;
        auto render = [&](const FontEngine::Segment& s) {
            const FontEngine::ShapingScope shaping(s);
            const std::string piece = line.substr(s.begin, s.length);
            return SurfacePtr(
                TTF_RenderUTF8_Blended(static_cast<TTF_Font*>(s.font), piece.c_str(), colour));
        };
        if (segments.size() == 1 && segments[0].ascent == metrics.ascent)
            return render(segments[0]);
        const int width = std::min(segments.back().x + segments.back().width, kMaxSurfaceSide);
        if (width <= 0) return nullptr;
        SurfacePtr out(
            SDL_CreateRGBSurfaceWithFormat(0, width, metrics.height, 32, SDL_PIXELFORMAT_ARGB8888));
        if (!out) return nullptr;
        // Transparent pixels of the text's own colour, so blended edges keep that colour.
        SDL_FillRect(out.get(), nullptr, SDL_MapRGBA(out->format, colour.r, colour.g, colour.b, 0));
        for (const FontEngine::Segment& s : segments) {
            if (s.x >= width) continue;
            SurfacePtr part = render(s);
            if (!part) continue;
            SDL_SetSurfaceBlendMode(part.get(), SDL_BLENDMODE_BLEND);
            SDL_Rect at{s.x, metrics.ascent - s.ascent, part->w, part->h};
            SDL_BlitSurface(part.get(), nullptr, out.get(), &at);
        }
        return out;
    }

    // The picture's texture at w x h pixels (0 x 0: its own size).
    SDL_Texture* PictureTextureFor(const PicturePtr& pic, int w, int h) {
        const PictureKey key{pic.get(), w, h};
        if (PictureTexture* hit = pictures_.Find(key)) {
            if (hit->owner.lock() == pic) return hit->texture.get();
            picture_bytes_ -= hit->bytes;  // a new picture at a freed one's address
            pictures_.Erase(key);
        }
        const auto pixels = pic->PixelsToDraw();
        SurfacePtr source(SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(pixels->data()), pic->Width(), pic->Height(), 32,
            pic->Width() * static_cast<int>(sizeof(std::uint32_t)), SDL_PIXELFORMAT_ARGB8888));
        if (!source) return nullptr;
        SurfacePtr sized;
        if (w > 0 && h > 0 && (w != pic->Width() || h != pic->Height())) {
            sized.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888));
            if (!sized) return nullptr;
            SDL_SetSurfaceBlendMode(source.get(), SDL_BLENDMODE_NONE);
            if (SDL_BlitScaled(source.get(), nullptr, sized.get(), nullptr) != 0) return nullptr;
        }
        SDL_Surface* use = sized ? sized.get() : source.get();
        PictureTexture entry;
        entry.owner = pic;
        entry.bytes = static_cast<std::size_t>(use->w) * static_cast<std::size_t>(use->h) *
                      sizeof(std::uint32_t);
        entry.texture.reset(SDL_CreateTextureFromSurface(r_, use));
        if (!entry.texture) return nullptr;
        SDL_SetTextureBlendMode(entry.texture.get(), SDL_BLENDMODE_BLEND);
        while (pictures_.Size() > 0 && (picture_bytes_ + entry.bytes > kMaxPictureTextureBytes ||
                                        pictures_.Size() >= pictures_.Capacity())) {
            picture_bytes_ -= pictures_.Oldest()->bytes;
            pictures_.EvictOldest();
        }
        picture_bytes_ += entry.bytes;
        return pictures_.Put(key, std::move(entry)).texture.get();
    }

    SDL_Renderer* r_;
    LruCache<TextKey, TextTexture, TextKeyHash> texts_{kMaxTextTextures};
    LruCache<PictureKey, PictureTexture, PictureKeyHash> pictures_{kMaxPictureTextures};
    std::size_t picture_bytes_ = 0;
};

// Quarter turns clockwise for a rotation in degrees; anything but 90, 180 and 270 is none.
int QuarterTurns(int degrees) {
    return degrees == 90 ? 1 : degrees == 180 ? 2 : degrees == 270 ? 3 : 0;
}

// The physical picture: the form's pixels turned clockwise by quarter turns.
SurfacePtr Turned(SDL_Surface* src, int turns) {
    const int w = src->w, h = src->h;
    const bool sideways = turns % 2 != 0;
    SurfacePtr out(SDL_CreateRGBSurfaceWithFormat(0, sideways ? h : w, sideways ? w : h, 32,
                                                  src->format->format));
    if (!out) return nullptr;
    const int src_stride = src->pitch / 4, out_stride = out->pitch / 4;
    const auto* from = static_cast<const std::uint32_t*>(src->pixels);
    auto* to = static_cast<std::uint32_t*>(out->pixels);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int tx = turns == 1 ? h - 1 - y : turns == 2 ? w - 1 - x : y;
            const int ty = turns == 1 ? x : turns == 2 ? h - 1 - y : w - 1 - x;
            to[ty * out_stride + tx] = from[y * src_stride + x];
        }
    }
    return out;
}

// Paints the form with the software renderer on a surface of the given size and turns it by
// the form's rotation. The surface has no alpha channel, as a screen has none: SDL's blending
// leaves alpha a little below opaque (253) where text is drawn on an opaque background, which
// would otherwise make the picture look partly transparent.
SurfacePtr PaintScreen(const Form& form, int width_px, int height_px, std::string* error) {
    SurfacePtr surface(
        SDL_CreateRGBSurfaceWithFormat(0, width_px, height_px, 32, SDL_PIXELFORMAT_RGB888));
    if (!surface) {
        Fail(error, std::string("cannot make a surface: ") + SDL_GetError());
        return nullptr;
    }
    {
        RendererPtr renderer(SDL_CreateSoftwareRenderer(surface.get()));
        if (!renderer) {
            Fail(error, std::string("cannot make a renderer: ") + SDL_GetError());
            return nullptr;
        }
        Painter painter(renderer.get());
        painter.Paint(form, width_px, height_px);
        SDL_RenderPresent(renderer.get());
    }
    if (const int turns = QuarterTurns(form.Rotation); turns != 0) {
        surface = Turned(surface.get(), turns);
        if (!surface) Fail(error, std::string("cannot turn the picture: ") + SDL_GetError());
    }
    return surface;
}

bool PaintToPng(const Form& form, int width_px, int height_px, const std::string& png_path,
                std::string* error) {
    const SurfacePtr screen = PaintScreen(form, width_px, height_px, error);
    return screen && WritePng(screen.get(), png_path, error);
}

struct TimerState {
    Timer* timer = nullptr;
    bool running = false;
    Uint64 since = 0;  // when it was enabled or last ticked
};

}  // namespace

void ScreenPictureFree::operator()(SDL_Surface* surface) const {
    SDL_FreeSurface(surface);
}

ScreenPicture PaintForm(const Form& form, std::string* error) {
    return ScreenPicture(
        PaintScreen(form, SidePx(form.Width), SidePx(form.Height), error).release());
}

bool RenderFormToPng(const Form& form, const std::string& png_path, std::string* error) {
    return PaintToPng(form, SidePx(form.Width), SidePx(form.Height), png_path, error);
}

bool QueryDisplaySize(int* width_px, int* height_px, std::string* error) {
    const std::unique_ptr<VideoSession> session = VideoSession::Start(error);
    if (!session) return false;
    if (width_px) *width_px = session->Width();
    if (height_px) *height_px = session->Height();
    return true;
}

VideoSession::VideoSession(PassKey, int width, int height) : width_(width), height_(height) {}

VideoSession::~VideoSession() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

namespace {

// The viewer reads key presses, never text. X's compose table (thousands of lines parsed as the
// video system starts) would only cost start-up time, and could swallow a dead key a cabinet
// maps to a button. Where no session bus runs, SDL's D-Bus use would try to launch one, which
// forks and may leave a bus daemon behind. Settings the user made stay as they are.
void KeepStartUpLean() {
    setenv("XCOMPOSEFILE", "/dev/null", 0);
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS")) return;
    std::error_code ec;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec)) return;
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

}  // namespace

std::string VideoDriversToTry(const std::vector<std::string>& available, bool x11_display,
                              bool wayland_display) {
    std::string list;
    for (const std::string& name : available) {
        if ((name == "x11" && !x11_display) || (name == "wayland" && !wayland_display) ||
            name == "offscreen" || name == "dummy" || name == "evdev")
            continue;
        if (!list.empty()) list += ',';
        list += name;
    }
    return list;
}

std::unique_ptr<VideoSession> VideoSession::Start(std::string* error) {
    KeepStartUpLean();
    if (!IsSet("SDL_VIDEODRIVER")) {
        std::vector<std::string> available;
        for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i)
            available.push_back(SDL_GetVideoDriver(i));
        const std::string drivers =
            VideoDriversToTry(available, IsSet("DISPLAY"), IsSet("WAYLAND_DISPLAY"));
        if (drivers.empty()) {
            Fail(error, "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)");
            return nullptr;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Fail(error, std::string("no display: ") + SDL_GetError());
        return nullptr;
    }
    // From here on the session owns the start, and gives it back on every way out.
    auto session = std::make_unique<VideoSession>(PassKey{}, 0, 0);
    // SDL falls back to drivers that show nothing; a user would see no window at all.
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver ? driver : "";
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if ((name == "offscreen" || name == "dummy" || name == "evdev") &&
        !(requested && name == requested)) {
        Fail(error, "no display (only the \"" + name + "\" video driver is available)");
        return nullptr;
    }
    if (!session->SelectDisplay(0, error)) return nullptr;
    return session;
}

bool VideoSession::SelectDisplay(int display, std::string* error) {
    const int displays = SDL_GetNumVideoDisplays();
    if (display < 0 || display >= displays)
        return Fail(error, "there is no display " + std::to_string(display) +
                               " (this desktop has " + std::to_string(std::max(displays, 0)) +
                               ", counted from 0)");
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(display, &mode) != 0)
        return Fail(error, std::string("cannot read the display size: ") + SDL_GetError());
    width_ = mode.w;
    height_ = mode.h;
    return true;
}

struct Window::Impl {
    explicit Impl(Form& f) : form(f) {}

    Form& form;
    // Destroyed in reverse order: textures, renderer, window, then the video subsystem.
    VideoGuard video;
    WindowPtr window;
    RendererPtr renderer;
    std::unique_ptr<Painter> painter;
    TexturePtr turned;  // the form's picture on a rotated screen, before it is turned
    int turned_w = 0, turned_h = 0;
    std::vector<TimerState> timers;
    Uint64 shown_at = 0;
    std::function<void()> frame_hook;
    std::function<void()> wake_hook;
    Uint32 wake_event = SDL_RegisterEvents(1);  // (Uint32)-1 when SDL has none left
    std::string caption;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_Rect origin{};  // the display's place on the desktop
    // Game controllers start after the first frame, so they never delay it.
    bool controllers_wanted = false;
    std::string program_folder;
    std::unique_ptr<Controllers> controllers;
    // Keys held as the window appeared (the frontend's launch button) by scancode.
    HeldInputFilter<int> held_keys;
    bool focus_seen = false;

    void MarkHeldKeys() {
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        for (int i = 0; state && i < count && i < SDL_NUM_SCANCODES; ++i)
            if (state[i]) held_keys.MarkHeld(i);
    }

    // Runs once the first frame is shown.
    void StartInputs() {
        SDL_PumpEvents();
        MarkHeldKeys();
        if (!controllers_wanted) return;
        std::string error;
        controllers = Controllers::Start(program_folder, &error);
        if (!controllers) std::cerr << "kavro: " << error << '\n';
    }

    bool Deliver(const std::vector<ControllerInput>& presses) {
        for (const ControllerInput& press : presses)
            if (form.ControllerDown) form.ControllerDown(press);
        return !presses.empty();
    }

    // The window's size in pixels: the form's, turned with the screen.
    void PhysicalSize(int* pw, int* ph) const {
        const bool sideways = QuarterTurns(form.Rotation) % 2 != 0;
        *pw = SidePx(sideways ? form.Height : form.Width);
        *ph = SidePx(sideways ? form.Width : form.Height);
    }

    // Paints the form at its own size into a texture and shows that turned on the window of
    // w x h pixels. False when the renderer cannot draw into a texture.
    bool PaintTurned(int w, int h, int turns) {
        SDL_Renderer* r = renderer.get();
        const int fw = turns % 2 != 0 ? h : w, fh = turns % 2 != 0 ? w : h;
        if (!turned || turned_w != fw || turned_h != fh) {
            turned.reset(
                SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, fw, fh));
            turned_w = fw, turned_h = fh;
        }
        if (!turned || SDL_SetRenderTarget(r, turned.get()) != 0) return false;
        painter->Paint(form, fw, fh);
        SDL_SetRenderTarget(r, nullptr);
        SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
        SDL_RenderClear(r);
        // Turned about its centre, the form's rectangle covers the window exactly.
        const SDL_FRect dst{(static_cast<float>(w) - fw) / 2, (static_cast<float>(h) - fh) / 2,
                            static_cast<float>(fw), static_cast<float>(fh)};
        return SDL_RenderCopyExF(r, turned.get(), nullptr, &dst, 90.0 * turns, nullptr,
                                 SDL_FLIP_NONE) == 0;
    }

    // Notes timers switched on since the last look, so each counts from its own start.
    void RefreshTimers(Uint64 now) {
        const auto& slots = form.Timers();
        timers.resize(slots.size());
        for (std::size_t i = 0; i < slots.size(); ++i) {
            TimerState& s = timers[i];
            if (s.timer != slots[i].timer) s = TimerState{slots[i].timer, false, now};
            const bool on = s.timer && s.timer->Enabled && s.timer->Interval > 0;
            if (on && !s.running) s.since = now;
            s.running = on;
        }
    }

    // Milliseconds until the next timer is due; -1 when none runs.
    int WaitMs(Uint64 now) const {
        Uint64 best = UINT64_MAX;
        for (const TimerState& s : timers)
            if (s.running) best = std::min(best, s.since + static_cast<Uint64>(s.timer->Interval));
        if (best == UINT64_MAX) return -1;
        return best <= now ? 0 : static_cast<int>(std::min<Uint64>(best - now, INT_MAX));
    }

    // Ticks every due timer; true when one ticked.
    bool TickDue() {
        bool ticked = false;
        for (std::size_t i = 0; i < timers.size() && i < form.Timers().size(); ++i) {
            const Uint64 now = SDL_GetTicks64();
            TimerState& s = timers[i];
            if (!s.running || !s.timer->Enabled ||
                now < s.since + static_cast<Uint64>(s.timer->Interval))
                continue;
            s.since = now;
            const std::function<void()> tick = form.Timers()[i].tick;  // the tick may add timers
            if (tick) tick();
            ticked = true;
            RefreshTimers(SDL_GetTicks64());
        }
        return ticked;
    }

    // Returns true when the event asks for a redraw; sets *quit for SDL_QUIT.
    bool Handle(const SDL_Event& ev, bool* quit) {
        switch (ev.type) {
            case SDL_QUIT:
                *quit = true;
                return false;
            case SDL_KEYUP:
                held_keys.Release(ev.key.keysym.scancode);
                return false;
            case SDL_KEYDOWN: {
                if (!held_keys.Accept(ev.key.keysym.scancode)) return false;
                const Uint16 mod = ev.key.keysym.mod;
                const int vk = VirtualKeyFromSdl(ev.key.keysym.sym, (mod & KMOD_NUM) != 0);
                const int shift = ((mod & KMOD_SHIFT) ? 1 : 0) | ((mod & KMOD_CTRL) ? 2 : 0) |
                                  ((mod & KMOD_ALT) ? 4 : 0);
                if (vk != 0 && form.KeyDown) form.KeyDown(vk, shift);
                return true;
            }
            case SDL_MOUSEWHEEL: {
                int notches = ev.wheel.y;
                if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
                if (notches == 0 || !form.MouseWheel) return false;
                form.MouseWheel(notches);
                return true;
            }
            case SDL_WINDOWEVENT:
                switch (ev.window.event) {
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SHOWN:
                    case SDL_WINDOWEVENT_RESIZED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                    case SDL_WINDOWEVENT_RESTORED:
                        return true;
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        // The keyboard state is brought up to date as the focus comes: keys
                        // the frontend's user still holds show up only now.
                        if (!focus_seen) MarkHeldKeys();
                        focus_seen = true;
                        return false;
                    default:
                        return false;
                }
            default:
                if (ev.type == wake_event && wake_event != static_cast<Uint32>(-1)) {
                    if (wake_hook) wake_hook();
                    return true;
                }
                return controllers && Deliver(controllers->Handle(ev, SDL_GetTicks64()));
        }
    }

    // Follows the form's caption, position and size.
    void SyncWindow() {
        if (caption != form.Caption) {
            caption = form.Caption;
            SDL_SetWindowTitle(window.get(), caption.c_str());
        }
        const int nx = EdgePx(form.Left), ny = EdgePx(form.Top);
        int nw = 0, nh = 0;
        PhysicalSize(&nw, &nh);
        if (nx != x || ny != y) SDL_SetWindowPosition(window.get(), origin.x + nx, origin.y + ny);
        if (nw != w || nh != h) SDL_SetWindowSize(window.get(), nw, nh);
        x = nx, y = ny, w = nw, h = nh;
    }
};

Window::Window(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Window::Window(PassKey, std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Window::~Window() = default;

std::unique_ptr<Window> Window::Create(Form& form, std::string* error, WindowPlacement placement) {
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (placement.passive) SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "1");
    auto impl = std::make_unique<Impl>(form);
    if (!impl->video.Ok()) {
        Fail(error, std::string("cannot start the video subsystem: ") + SDL_GetError());
        return nullptr;
    }
    // The form is shown from now: its timers count from here, while the window is made.
    impl->shown_at = SDL_GetTicks64();
    impl->caption = form.Caption;
    impl->x = EdgePx(form.Left);
    impl->y = EdgePx(form.Top);
    impl->PhysicalSize(&impl->w, &impl->h);
    if (SDL_GetDisplayBounds(placement.display, &impl->origin) != 0) {
        Fail(error,
             "there is no display " + std::to_string(placement.display) + ": " + SDL_GetError());
        return nullptr;
    }
    Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
    // A passive window is left out of the task bar, where a click would bring it forward.
    if (placement.passive) flags |= SDL_WINDOW_SKIP_TASKBAR;
    impl->window.reset(SDL_CreateWindow(impl->caption.c_str(), impl->origin.x + impl->x,
                                        impl->origin.y + impl->y, impl->w, impl->h, flags));
    if (!impl->window) {
        Fail(error, std::string("cannot create the window: ") + SDL_GetError());
        return nullptr;
    }
    // The viewer draws a frame only after a key, so SDL's software renderer on the window's
    // own framebuffer (shared memory on X11) is quick enough, and it is ready at once where an
    // OpenGL context costs 60 ms and more before the first frame. SDL_RENDER_DRIVER still
    // chooses another.
    const char* chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (!chosen || !*chosen) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        impl->renderer.reset(SDL_CreateRenderer(impl->window.get(), -1, SDL_RENDERER_SOFTWARE));
    }
    if (!impl->renderer) impl->renderer.reset(SDL_CreateRenderer(impl->window.get(), -1, 0));
    if (!impl->renderer) {
        Fail(error, std::string("cannot create a renderer: ") + SDL_GetError());
        return nullptr;
    }
    impl->painter = std::make_unique<Painter>(impl->renderer.get());
    if (!placement.passive) {
        SDL_RaiseWindow(impl->window.get());
        SDL_SetWindowInputFocus(impl->window.get());
    }
    return std::make_unique<Window>(PassKey{}, std::move(impl));
}

int Window::Run() {
    Impl& s = *impl_;
    s.RefreshTimers(s.shown_at);
    Present();
    s.StartInputs();
    for (;;) {
        s.RefreshTimers(SDL_GetTicks64());
        int wait = s.WaitMs(SDL_GetTicks64());
        // Held controller presses repeat on the loop's own timeout.
        if (const int repeat = s.controllers ? s.controllers->WaitMs(SDL_GetTicks64()) : -1;
            repeat >= 0 && (wait < 0 || repeat < wait))
            wait = repeat;
        SDL_Event ev;
        const int got = wait < 0 ? SDL_WaitEvent(&ev) : SDL_WaitEventTimeout(&ev, wait);
        bool redraw = false;
        bool quit = false;
        if (got) {
            redraw = s.Handle(ev, &quit);
            for (int n = 0; !quit && n < kMaxEventsPerFrame && SDL_PollEvent(&ev); ++n)
                redraw = s.Handle(ev, &quit) || redraw;
        }
        if (quit) return 0;
        if (s.controllers && s.Deliver(s.controllers->DueRepeats(SDL_GetTicks64()))) redraw = true;
        s.RefreshTimers(SDL_GetTicks64());
        if (s.TickDue()) redraw = true;
        if (redraw) Present();
    }
}

void Window::Present() {
    Impl& s = *impl_;
    s.SyncWindow();
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(s.renderer.get(), &w, &h) != 0) return;
    const int turns = QuarterTurns(s.form.Rotation);
    if (turns == 0 || !s.PaintTurned(w, h, turns)) s.painter->Paint(s.form, w, h);
    SDL_RenderPresent(s.renderer.get());
    if (s.frame_hook) s.frame_hook();
}

bool Window::Screenshot(const std::string& png_path, std::string* error) {
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(impl_->renderer.get(), &w, &h) != 0 || w <= 0 || h <= 0)
        return Fail(error, std::string("cannot read the window size: ") + SDL_GetError());
    if (QuarterTurns(impl_->form.Rotation) % 2 != 0) std::swap(w, h);
    return PaintToPng(impl_->form, std::min(w, kMaxSurfaceSide), std::min(h, kMaxSurfaceSide),
                      png_path, error);
}

void Window::OnFrame(std::function<void()> hook) {
    impl_->frame_hook = std::move(hook);
}

void Window::OnWake(std::function<void()> hook) {
    impl_->wake_hook = std::move(hook);
}

std::function<void()> Window::Waker() const {
    const Uint32 type = impl_->wake_event;
    return [type] {
        if (type == static_cast<Uint32>(-1)) return;
        SDL_Event event{};
        event.type = type;
        SDL_PushEvent(&event);  // thread-safe
    };
}

void Window::UseControllers(const std::string& program_folder) {
    impl_->controllers_wanted = true;
    impl_->program_folder = program_folder;
}

}  // namespace kavro::toolkit
