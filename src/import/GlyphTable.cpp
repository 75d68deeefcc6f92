#include "import/GlyphTable.h"

#include <algorithm>
#include <array>
#include <string>

namespace kavro::import {

namespace {

struct Code {
    char c;
    Glyph glyph;
};

struct WordCode {
    std::string_view word;
    Glyph glyph;
};

// The letter buttons, shared by "_X" and "@X-button".
constexpr std::array<Glyph, 26> kLetters{{
    {"a", "[A]"}, {"b", "[B]"}, {"c", "[C]"}, {"d", "[D]"}, {"e", "[E]"}, {"f", "[F]"},
    {"g", "[G]"}, {"h", "[H]"}, {"i", "[I]"}, {"j", "[J]"}, {"k", "[K]"}, {"l", "[L]"},
    {"m", "[M]"}, {"n", "[N]"}, {"o", "[O]"}, {"p", "[P]"}, {"q", "[Q]"}, {"r", "[R]"},
    {"s", "[S]"}, {"t", "[T]"}, {"u", "[U]"}, {"v", "[V]"}, {"w", "[W]"}, {"x", "[X]"},
    {"y", "[Y]"}, {"z", "[Z]"},
}};

// Motions ("_" codes handled before the table below), in the order of "_k" ... "_z", "_L", "_M",
// "_Q", "_R"; the icon is named after the word the "@" table uses for it.
constexpr std::array<std::string_view, 20> kMotions{
    "hcb", "huf", "hcf", "hub", "qfd", "qdb", "qbu", "quf", "qbd", "qdf",
    "qfu", "qub", "fdf", "fub", "fuf", "fdb", "xff", "xbb", "dsf", "dsb",
};
constexpr std::string_view kMotionChars = "klmnopqrstuvwxyzLMQR";

constexpr Code kUnderscore[] = {
    {'A', kLetters[0]},
    {'B', kLetters[1]},
    {'C', kLetters[2]},
    {'D', kLetters[3]},
    {'H', kLetters[7]},
    {'Z', kLetters[25]},
    {'a', {"b1", "[1]"}},
    {'b', {"b2", "[2]"}},
    {'c', {"b3", "[3]"}},
    {'d', {"b4", "[4]"}},
    {'e', {"b5", "[5]"}},
    {'f', {"b6", "[6]"}},
    {'g', {"b7", "[7]"}},
    {'h', {"b8", "[8]"}},
    {'i', {"b9", "[9]"}},
    {'j', {"b10", "[10]"}},
    {'1', {"downleft", "↙"}},
    {'2', {"down", "↓"}},
    {'3', {"downright", "↘"}},
    {'4', {"left", "←"}},
    {'6', {"right", "→"}},
    {'7', {"upleft", "↖"}},
    {'8', {"up", "↑"}},
    {'9', {"upright", "↗"}},
    {'5', {"stick", "●"}},
    {'N', {"neutral", "N"}},
    {'+', {"plus", "+"}},
    {'.', {"dots", "…"}},
    {'!', {"arrow", "⇨"}},
    {'S', {"start", "[START]"}},
    {'P', {"punch", "[P]"}},
    {'K', {"kick", "[K]"}},
    {'G', {"guard", "[G]"}},
    {'^', {"word-air", "AIR"}},
    {'?', {"word-dir", "DIR"}},
    {'X', {"word-tap", "TAP"}},
    {'|', {"jump", "(jump)"}},
    {'O', {"hold", "(hold)"}},
    {'-', {"air", "(air)"}},
    {'=', {"sit", "(sit)"}},
    {'~', {"charge", "(charge)"}},
    {'`', {"dot", "·"}},
    {'@', {"ball2", "◎"}},
    {')', {"ring", "○"}},
    {'(', {"ball", "●"}},
    {'*', {"star-outline", "☆"}},
    {'&', {"star", "★"}},
    {'%', {"triangle", "△"}},
    {'$', {"triangle-solid", "▲"}},
    {'#', {"square2", "▣"}},
    {']', {"square", "□"}},
    {'[', {"square-solid", "■"}},
    {'{', {"triangle-down", "▽"}},
    {'}', {"triangle-down-solid", "▼"}},
    {'<', {"diamond", "◇"}},
    {'>', {"diamond-solid", "◆"}},
};

constexpr Code kCaret[] = {
    {'s', kLetters[18]},
    {'S', {"select", "[SELECT]"}},
    {'E', {"lp", "[LP]"}},
    {'F', {"mp", "[MP]"}},
    {'G', {"hp", "[HP]"}},
    {'H', {"lk", "[LK]"}},
    {'I', {"mk", "[MK]"}},
    {'J', {"hk", "[HK]"}},
    {'T', {"3k", "[3K]"}},
    {'U', {"3p", "[3P]"}},
    {'V', {"2k", "[2K]"}},
    {'W', {"2p", "[2P]"}},
    {'!', {"continue", "⇒"}},
    {'1', {"charge-downleft", "(↙)"}},
    {'2', {"charge-down", "(↓)"}},
    {'3', {"charge-downright", "(↘)"}},
    {'4', {"charge-left", "(←)"}},
    {'6', {"charge-right", "(→)"}},
    {'7', {"charge-upleft", "(↖)"}},
    {'8', {"charge-up", "(↑)"}},
    {'9', {"charge-upright", "(↗)"}},
    {'M', {"word-max", "MAX"}},
    {'-', {"close", "(close)"}},
    {'=', {"away", "(away)"}},
    {'*', {"tap", "(tap)"}},
    {'?', {"any", "(any)"}},
};

constexpr WordCode kWords[] = {
    {"decrease", {"decrease", "[−]"}},
    {"increase", {"increase", "[+]"}},
    {"BALL", {"stick", "●"}},
    {"start", {"start", "[START]"}},
    {"select", {"select", "[SELECT]"}},
    {"punch", {"punch", "[P]"}},
    {"kick", {"kick", "[K]"}},
    {"guard", {"guard", "[G]"}},
    {"L-punch", {"lp", "[LP]"}},
    {"M-punch", {"mp", "[MP]"}},
    {"S-punch", {"hp", "[HP]"}},
    {"L-kick", {"lk", "[LK]"}},
    {"M-kick", {"mk", "[MK]"}},
    {"S-kick", {"hk", "[HK]"}},
    {"3-kick", {"3k", "[3K]"}},
    {"3-punch", {"3p", "[3P]"}},
    {"2-kick", {"2k", "[2K]"}},
    {"2-punch", {"2p", "[2P]"}},
    {"custom1", {"custom1", "[C1]"}},
    {"custom2", {"custom2", "[C2]"}},
    {"custom3", {"custom3", "[C3]"}},
    {"custom4", {"custom4", "[C4]"}},
    {"custom5", {"custom5", "[C5]"}},
    {"custom6", {"custom6", "[C6]"}},
    {"custom7", {"custom7", "[C7]"}},
    {"custom8", {"custom8", "[C8]"}},
    {"up", {"cursor-up", "[↑]"}},
    {"down", {"cursor-down", "[↓]"}},
    {"left", {"cursor-left", "[←]"}},
    {"right", {"cursor-right", "[→]"}},
    {"lever", {"lever", "[lever]"}},
    {"nplayer", {"player-n", "[nP]"}},
    {"1player", {"player1", "[1P]"}},
    {"2player", {"player2", "[2P]"}},
    {"3player", {"player3", "[3P]"}},
    {"4player", {"player4", "[4P]"}},
    {"5player", {"player5", "[5P]"}},
    {"6player", {"player6", "[6P]"}},
    {"7player", {"player7", "[7P]"}},
    {"8player", {"player8", "[8P]"}},
    {"-->", {"arrow", "⇨"}},
    {"==>", {"continue", "⇒"}},
    {"AIR", {"word-air", "AIR"}},
    {"DIR", {"word-dir", "DIR"}},
    {"MAX", {"word-max", "MAX"}},
    {"TAP", {"word-tap", "TAP"}},
    {"jump", {"jump", "(jump)"}},
    {"hold", {"hold", "(hold)"}},
    {"air", {"air", "(air)"}},
    {"sit", {"sit", "(sit)"}},
    {"close", {"close", "(close)"}},
    {"away", {"away", "(away)"}},
    {"charge", {"charge", "(charge)"}},
    {"tap", {"tap", "(tap)"}},
};

constexpr Glyph kButtonWord{"button", "(button)"};
constexpr std::string_view kLetterButtonSuffix = "-button";

template <std::size_t N>
std::optional<Glyph> FindIn(const Code (&table)[N], char c) {
    for (const Code& code : table)
        if (code.c == c) return code.glyph;
    return std::nullopt;
}

}  // namespace

std::optional<Glyph> FindGlyph(char marker, char c) {
    if (marker == '_') {
        if (const std::size_t at = kMotionChars.find(c); c != '\0' && at != std::string_view::npos)
            return Glyph{kMotions[at], kMotions[at]};
        return FindIn(kUnderscore, c);
    }
    if (marker == '^') return FindIn(kCaret, c);
    return std::nullopt;
}

std::optional<Glyph> FindWordGlyph(std::string_view word) {
    if (word.size() == 1 + kLetterButtonSuffix.size() && word.ends_with(kLetterButtonSuffix) &&
        word[0] >= 'A' && word[0] <= 'Z')
        return kLetters[static_cast<std::size_t>(word[0] - 'A')];
    if (word == "button") return kButtonWord;
    for (std::string_view motion : kMotions)
        if (word == motion) return Glyph{motion, motion};
    for (const WordCode& code : kWords)
        if (code.word == word) return code.glyph;
    return std::nullopt;
}

std::vector<std::string> AllGlyphCodes() {
    std::vector<std::string> codes;
    for (char c : kMotionChars)
        codes.push_back(std::string("_") + c);
    for (const Code& code : kUnderscore)
        codes.push_back(std::string("_") + code.c);
    for (const Code& code : kCaret)
        codes.push_back(std::string("^") + code.c);
    // Appended, not "@" + text: GCC 12 at -O3 wrongly reports an overlapping copy there.
    const auto word_code = [](std::string_view first, std::string_view rest = {}) {
        std::string code("@");
        code.append(first).append(rest);
        return code;
    };
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        codes.push_back(word_code(std::string_view(&letter, 1), kLetterButtonSuffix));
    codes.push_back("@button");
    for (std::string_view motion : kMotions)
        codes.push_back(word_code(motion));
    for (const WordCode& code : kWords)
        codes.push_back(word_code(code.word));
    return codes;
}

std::vector<std::string_view> AllGlyphIcons() {
    std::vector<std::string_view> icons;
    for (const std::string& code : AllGlyphCodes()) {
        const auto glyph = code[0] == '@' ? FindWordGlyph(std::string_view(code).substr(1))
                                          : FindGlyph(code[0], code[1]);
        if (glyph) icons.push_back(glyph->icon);
    }
    std::sort(icons.begin(), icons.end());
    icons.erase(std::unique(icons.begin(), icons.end()), icons.end());
    return icons;
}

}  // namespace kavro::import
