#include "backend/Window.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "base/Failure.h"
#include "backend/Controllers.h"
#include "backend/KeyCodes.h"
#include "backend/Painter.h"
#include "backend/Screen.h"
#include "backend/ScreenSupport.h"

namespace kavro::toolkit {

using base::Fail;

namespace {

// Events taken in one go before the frame is drawn again.
constexpr int kMaxEventsPerFrame = 256;

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

struct TimerState {
    Timer* timer = nullptr;
    bool running = false;
    Uint64 since = 0;  // when it was enabled or last ticked
};

}  // namespace

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
