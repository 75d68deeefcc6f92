#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavro::import {

// Lines of an information text as a document shows them. Plain text, with styled stretches
// between marks: kKeyOpen ... kKeyClose is a key cap ("[F2]"), kHeadOpen ... kHeadClose a
// heading. The marks are control characters, which cleaned lines never hold.
inline constexpr char kKeyOpen = '\x01';
inline constexpr char kKeyClose = '\x02';
inline constexpr char kHeadOpen = '\x03';
inline constexpr char kHeadClose = '\x04';

// The line with every HTML anchor (<a href="URL">label</a>, quoted or not) shown as its
// label; a tag cut short is dropped to the end of the line. only_link (when given) tells
// whether the line holds nothing but links: anchors, a bare URL, or "Edit this entry: URL".
std::string ShowAnchors(std::string_view line, bool* only_link = nullptr);

// A history ($bio, history.xml): anchors shown as labels, "- WORDS -" lines as headings, and a
// "- CONTRIBUTE -" block left out when all it holds is a link to edit the entry online.
std::vector<std::string> HistoryLines(const std::vector<std::string>& lines);

// Notes ($mame, $drv: mameinfo, messinfo, gameinit): runs of blank lines become one, lines
// "Words:" and a leading "CAPITALS:" are headings, "[ F2 ]" keys are key caps.
std::vector<std::string> NotesLines(const std::vector<std::string>& lines);

// High scores ($story): "NAME____123450" records as two aligned columns (name left, score
// right, each run of records aligned on its own), other text lines as headings.
std::vector<std::string> StoryLines(const std::vector<std::string>& lines);

}  // namespace kavro::import
