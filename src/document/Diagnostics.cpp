#include "document/Diagnostics.h"

#include <algorithm>

#include "document/Conversions.h"

namespace kavro::document {

void Advance(SourcePosition& where, std::string_view text) {
    for (const char c : text) {
        if (c == '\n') {
            ++where.line;
            where.column = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++where.column;  // UTF-8 continuation bytes belong to the character before
        }
    }
}

SourcePosition SectionSource::At(std::string_view markup, std::size_t offset) const {
    SourcePosition where{file, 0, 0};
    if (anchors.empty()) return where;
    auto after = std::upper_bound(anchors.begin(), anchors.end(), offset,
                                  [](std::size_t at, const Anchor& a) { return at < a.offset; });
    const Anchor& anchor = after == anchors.begin() ? anchors.front() : *(after - 1);
    where.line = anchor.line;
    where.column = anchor.column;
    if (offset > anchor.offset && anchor.offset < markup.size())
        Advance(where,
                markup.substr(anchor.offset, std::min(offset, markup.size()) - anchor.offset));
    return where;
}

void Diagnostics::Report(SourcePosition where, Severity severity, std::string message) {
    findings.push_back(Finding{std::move(where), severity, std::move(message)});
}

void Diagnostics::Merge(const Diagnostics& other) {
    for (const Finding& f : other.findings)
        if (std::find(findings.begin(), findings.end(), f) == findings.end()) findings.push_back(f);
}

bool Diagnostics::Any(Severity at_least) const {
    return std::any_of(findings.begin(), findings.end(),
                       [at_least](const Finding& f) { return f.severity >= at_least; });
}

std::string FormatFinding(const Finding& finding) {
    std::string text = finding.where.file;
    if (finding.where.line > 0) {
        text += ":" + std::to_string(finding.where.line);
        if (finding.where.column > 0) text += ":" + std::to_string(finding.where.column);
    }
    text += ": ";
    switch (finding.severity) {
        case Severity::Info:
            text += "info: ";
            break;
        case Severity::Warning:
            text += "warning: ";
            break;
        case Severity::Error:
            text += "error: ";
            break;
    }
    return text + finding.message;
}

namespace {

// Edit distance with swapped neighbours counting as one edit (optimal string alignment):
// "widht" is one slip from "width". Names here are a few letters long, so the full table
// costs nothing, and no library the program uses offers it.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    const std::size_t columns = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * columns);
    const auto at = [&](std::size_t i, std::size_t j) -> std::size_t& {
        return d[i * columns + j];
    };
    for (std::size_t i = 0; i <= a.size(); ++i)
        at(i, 0) = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        at(0, j) = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
        }
    }
    return at(a.size(), b.size());
}

}  // namespace

std::string ClosestName(std::string_view word, const std::vector<std::string_view>& candidates) {
    const std::string lower = ToLower(word);
    std::string best;
    std::size_t best_distance = 0;
    for (std::string_view candidate : candidates) {
        const std::size_t d = EditDistance(lower, ToLower(candidate));
        if (best.empty() || d < best_distance) {
            best = std::string(candidate);
            best_distance = d;
        }
    }
    // A third of the longer name, at least one edit: "fnt" finds "font", "colour" finds
    // "color", while an unrelated word suggests nothing.
    const std::size_t longer = std::max(lower.size(), best.size());
    const std::size_t allowed = std::max<std::size_t>(1, longer / 3);
    if (best.empty() || best_distance == 0 || best_distance > allowed) return std::string();
    return best;
}

}  // namespace kavro::document
