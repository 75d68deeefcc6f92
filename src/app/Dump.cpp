#include "app/Dump.h"

#include <nlohmann/json.hpp>

namespace kavro::app {

namespace {

using Json = nlohmann::ordered_json;

Json FieldJson(const document::Field& field) {
    return field ? Json(*field) : Json(nullptr);
}

template <class T>
Json Optional(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json Macros(const document::MacroTable& table) {
    Json columns = Json::array();
    for (const auto& column : table.Columns()) {
        Json fields = Json::array();
        for (const auto& field : column)
            fields.push_back(FieldJson(field));
        columns.push_back(std::move(fields));
    }
    return columns;
}

Json Geometry(const toolkit::Control& c) {
    return Json{{"Left", c.Left}, {"Top", c.Top}, {"Width", c.Width}, {"Height", c.Height}};
}

Json ContainerOf(const toolkit::Control& c) {
    return c.Container ? Json(c.Container->Index) : Json(nullptr);
}

Json Common(const toolkit::Control& c) {
    Json j{{"index", c.Index}, {"container", ContainerOf(c)}};
    j.update(Geometry(c));
    j["Visible"] = c.Visible;
    return j;
}

Json PictureJson(const toolkit::PicturePtr& picture) {
    if (!picture || picture->IsEmpty()) return nullptr;
    return picture->Source().empty() ? Json("") : Json(picture->Source());
}

Json Labels(const toolkit::ControlArray<toolkit::Label>& array) {
    Json out = Json::array();
    array.ForEach([&](const toolkit::Label& l) {
        Json j = Common(l);
        j["Caption"] = l.Caption();
        j["FontSize"] = l.FontSize();
        j["ForeColor"] = l.ForeColor;
        j["BorderStyle"] = l.BorderStyle;
        out.push_back(std::move(j));
    });
    return out;
}

Json Images(const toolkit::ControlArray<toolkit::Image>& array) {
    Json out = Json::array();
    array.ForEach([&](const toolkit::Image& i) {
        Json j = Common(i);
        j["Stretch"] = i.Stretch;
        j["BorderStyle"] = i.BorderStyle;
        j["Picture"] = PictureJson(i.Picture());
        out.push_back(std::move(j));
    });
    return out;
}

Json Boxes(const toolkit::ControlArray<toolkit::PictureBox>& array) {
    Json out = Json::array();
    array.ForEach([&](const toolkit::PictureBox& p) {
        Json j = Common(p);
        j["BackColor"] = p.BackColor;
        j["AutoSize"] = p.AutoSize;
        Json bands = Json::array();
        for (const auto& band : p.Bands())
            bands.push_back(Json{{"x", band.x},
                                 {"y", band.y},
                                 {"w", band.w},
                                 {"h", band.h},
                                 {"src", PictureJson(band.picture)}});
        j["bands"] = std::move(bands);
        out.push_back(std::move(j));
    });
    return out;
}

}  // namespace

std::string DumpState(const Viewer& v) {
    const auto& f = v.form;
    Json j;
    j["RomName"] = v.RomName;
    j["DocName"] = v.DocName;
    j["StyleName"] = v.StyleName;
    j["settings"] = Json{{"ZoomKey", v.ZoomKey},
                         {"ExitKey", v.ExitKey},
                         {"RemoveImagesKey", v.RemoveImagesKey},
                         {"RemoveFormattingKey", v.RemoveFormattingKey},
                         {"ScrollUpKey", v.ScrollUpKey},
                         {"ScrollDownKey", v.ScrollDownKey},
                         {"PrevSectionKey", v.PrevSectionKey},
                         {"NextSectionKey", v.NextSectionKey},
                         {"PageUpKey", v.PageUpKey},
                         {"PageDownKey", v.PageDownKey},
                         {"FirstSectionKey", v.FirstSectionKey},
                         {"LastSectionKey", v.LastSectionKey},
                         {"BordersKey", Optional(v.BordersKey)},
                         {"Zoomed", v.Zoomed},
                         {"NoImages", v.NoImages},
                         {"NoFormatting", v.NoFormatting},
                         {"Rotate", v.Rotate},
                         {"Seconds", v.Seconds},
                         {"AnyKey", v.AnyKey},
                         {"Display", v.Display}};
    j["screen"] = Json{{"Width", v.sys.ScreenWidth()}, {"Height", v.sys.ScreenHeight()}};
    j["Form1"] = Json{{"Left", f.Left},
                      {"Top", f.Top},
                      {"Width", f.Width},
                      {"Height", f.Height},
                      {"Caption", f.Caption},
                      {"FontSize", f.FontSize()},
                      {"FontFile", f.Fonts().FontFile()}};
    j["fraScreenArea"] = Geometry(f.fraScreenArea);
    j["fraScreenArea"]["FontSize"] = f.fraScreenArea.FontSize;
    j["SectionMarkup"] = v.doc.SectionMarkup;
    j["FontMacros"] = Macros(v.doc.FontMacros);
    j["BgMacros"] = Macros(v.doc.BgMacros);
    j["LineChars"] = v.doc.LineChars;
    j["InfoText"] = v.doc.InfoText;
    Json regions = Json::array();
    for (const auto& row : v.BackgroundRegions)
        regions.push_back(
            Json::array({Optional(row.Colour), Optional(row.FirstLabel), Optional(row.LastLabel),
                         FieldJson(row.Source), FieldJson(row.Style)}));
    j["BackgroundRegions"] = std::move(regions);
    j["CurrentSection"] = v.CurrentSection;
    j["CenterPending"] = v.CenterPending;
    j["CenterOffset"] = v.CenterOffset;
    j["TileCarry"] = v.TileCarry;
    j["LastPlacedKind"] = v.LastPlacedKind;
    j["picSection"] = Boxes(f.picSection);
    j["lblText"] = Labels(f.lblText);
    j["imgIco"] = Images(f.imgIco);
    j["imgImage"] = Images(f.imgImage);
    j["imgPH"] = Images(f.imgPH);
    j["ErrorBar"] = f.picErrorBar[0].Visible ? Json(f.lblErrorBar[0].Caption()) : Json(nullptr);
    j["Countdown"] = v.countdown.running ? Json{{"left_ms", v.countdown.left_ms},
                                                {"paused", v.countdown.paused},
                                                {"BarWidth", f.picCountdown[0].Width}}
                                         : Json(nullptr);
    // Invalid UTF-8 in a document must not make the dump fail.
    return j.dump(1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace kavro::app
