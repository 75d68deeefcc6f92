#include "app/Unattended.h"

#include <algorithm>

#include "app/Navigation.h"

namespace kavro::app {

namespace {

// The bar moves on ten times a second: smooth enough to read, few frames to draw.
constexpr int kCountdownTickMs = 100;
constexpr float kBarHeight = 90.0f;  // twips: 6 pixels
constexpr long kRunningColour = 255 + 256 * 210 + 65536 * 80;
constexpr long kPausedColour = 128 + 256 * 128 + 65536 * 128;

}  // namespace

void StartUnattended(Viewer& v) {
    auto& f = v.form;
    if (v.Seconds > 0) {
        v.countdown.running = true;
        v.countdown.paused = false;
        v.countdown.total_ms = v.countdown.left_ms = std::int64_t{v.Seconds} * 1000;
        v.countdown.counted_at = v.sys.Milliseconds();
        f.timCountdown.Interval = kCountdownTickMs;
        f.timCountdown.Enabled = true;
        ShowCountdownBar(v);
    }
    if (v.CycleSeconds > 0) {
        f.timCycle.Interval = v.CycleSeconds * 1000;
        f.timCycle.Enabled = true;
    }
}

void timCountdown_Timer(Viewer& v) {
    auto& c = v.countdown;
    if (!c.running) return;
    // The clock, not the number of ticks: a tick may come late while a reload runs.
    const std::int64_t now = v.sys.Milliseconds();
    if (!c.paused) c.left_ms -= std::max<std::int64_t>(0, now - c.counted_at);
    c.counted_at = now;
    if (c.left_ms <= 0) {
        c.left_ms = 0;
        v.sys.End(0);
    }
    ShowCountdownBar(v);
}

void timCycle_Timer(Viewer& v) {
    if (v.Loaded) cmdNextSect_Click(v);
}

void AnyInput(Viewer& v) {
    if (v.AnyKey) v.sys.End(0);
    auto& c = v.countdown;
    if (!c.running) return;
    // Brought up to date first, so a pause keeps exactly the time that was left.
    const std::int64_t now = v.sys.Milliseconds();
    if (!c.paused) c.left_ms = std::max<std::int64_t>(1, c.left_ms - (now - c.counted_at));
    c.counted_at = now;
    c.paused = !c.paused;
    // A paused bar does not change: no ticks, no frames, until it runs on.
    v.form.timCountdown.Enabled = !c.paused;
    ShowCountdownBar(v);
}

void ShowCountdownBar(Viewer& v) {
    auto& f = v.form;
    toolkit::PictureBox& bar = f.picCountdown[0];
    const auto& c = v.countdown;
    const double share =
        c.total_ms > 0 ? static_cast<double>(c.left_ms) / static_cast<double>(c.total_ms) : 0.0;
    bar.BackColor = c.paused ? kPausedColour : kRunningColour;
    bar.Left = 0;
    bar.Width = static_cast<float>(f.Width * std::clamp(share, 0.0, 1.0));
    bar.Height = kBarHeight;
    bar.Top = f.Height - kBarHeight;
    bar.Visible = c.running && bar.Width > 0;
}

}  // namespace kavro::app
