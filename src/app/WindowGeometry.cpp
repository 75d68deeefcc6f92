#include "app/WindowGeometry.h"

namespace kavro::app {

void Form_Resize(Viewer& v) {
    Form1& f = v.form;
    Frame& fra = f.fraScreenArea;
    const float screen_width = v.sys.ScreenWidth();
    const float screen_height = v.sys.ScreenHeight();
    const bool landscape = screen_width > screen_height;

    if (landscape && !v.Zoomed) {
        fra.Height = f.Height;
        fra.Width = static_cast<float>(fra.Height * 1.33);
        fra.Left = (f.Width - fra.Width) / 2;
        fra.Top = f.Top;
    } else if (landscape && v.Zoomed) {
        fra.Width = f.Width;
        fra.Height = static_cast<float>(f.Width * 0.75);
        fra.Left = 0;
        fra.Top = 0;
    } else if (!v.Zoomed) {
        fra.Width = f.Width;
        fra.Height = static_cast<float>(f.Height * 0.75);
        fra.Left = 0;
        fra.Top = (screen_height - fra.Height) / 2;
    } else {
        fra.Height = f.Height;
        fra.Width = static_cast<float>(fra.Height * 1.33);
        fra.Left = 0;
        fra.Top = f.Top;
    }

    f.cmdUp.Top = fra.Top;
    f.cmdUp.Left = fra.Width + fra.Left - f.cmdUp.Width;
    f.cmdDown.Left = f.cmdUp.Left;
    f.cmdDown.Top = fra.Height + fra.Top - f.cmdDown.Height;
    f.Cls();
}

}  // namespace kavro::app
