#include "backend/Painter.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text/LruCache.h"
#include "backend/ScreenSupport.h"

namespace kavro::toolkit {

namespace {

constexpr std::size_t kMaxTextTextures = 2048;
constexpr std::size_t kMaxPictureTextures = 256;
// A dozen screens' worth of pictures: what is on screen and near it stays, while a manual's
// pages read one after another (a screen's width each) do not pile up.
constexpr std::size_t kMaxPictureTextureBytes = std::size_t{96} * 1024 * 1024;
constexpr long kImageBorderColour = 0x808080;

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

}  // namespace

struct Painter::Impl {
  public:
    explicit Impl(SDL_Renderer* renderer) : r_(renderer) {}

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

Painter::Painter(SDL_Renderer* renderer) : impl_(std::make_unique<Impl>(renderer)) {}
Painter::~Painter() = default;

void Painter::Paint(const Form& form, int width_px, int height_px) {
    impl_->Paint(form, width_px, height_px);
}

}  // namespace kavro::toolkit
