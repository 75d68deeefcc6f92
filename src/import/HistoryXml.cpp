#include "import/HistoryXml.h"

#include <expat.h>

#include <cstring>

namespace kavro::import {

namespace {

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using ParserPtr = std::unique_ptr<XML_ParserStruct, ParserFree>;

// history.xml is UTF-8 whatever its declaration says: entries are read again on their own by
// their byte offsets, which only works in one known encoding.
ParserPtr NewParser(const std::string& name) {
    ParserPtr parser(XML_ParserCreate("UTF-8"));
    if (!parser) throw DatError("\"" + name + "\": cannot create the XML parser");
    // No external entity handler: nothing outside the file is ever opened.
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    return parser;
}

const char* Attribute(const XML_Char** attributes, const char* wanted) {
    for (; attributes[0] != nullptr; attributes += 2)
        if (std::strcmp(attributes[0], wanted) == 0) return attributes[1];
    return nullptr;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Where(const std::string& name, XML_Parser parser, long line_offset = 0) {
    return "\"" + name + "\": line " +
           std::to_string(static_cast<long>(XML_GetCurrentLineNumber(parser)) + line_offset) +
           ", column " + std::to_string(XML_GetCurrentColumnNumber(parser) + 1) + ": ";
}

}  // namespace

bool LooksLikeXml(std::string_view start) {
    if (start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
    while (!start.empty() && IsBlank(start.front()))
        start.remove_prefix(1);
    return start.starts_with('<');
}

struct HistoryXmlIndexer::Run {
    std::string name;
    ParserPtr parser;
    std::vector<DatEntry> entries;
    DatEntry current;
    int depth = 0;
    bool in_entry = false;
    bool in_text = false;
    bool has_text = false;
    std::string failure;  // why the parse was stopped

    void Stop(std::string why) {
        if (failure.empty()) failure = Where(name, parser.get()) + std::move(why);
        XML_StopParser(parser.get(), XML_FALSE);
    }

    static void XMLCALL OnStart(void* data, const XML_Char* element, const XML_Char** attributes) {
        auto& run = *static_cast<Run*>(data);
        ++run.depth;
        if (run.depth == 1) {
            if (std::strcmp(element, "history") != 0)
                run.Stop(std::string("the root element is <") + element +
                         ">: a history file (<history>) was expected");
            return;
        }
        if (run.depth == 2 && std::strcmp(element, "entry") == 0) {
            run.current = DatEntry{};
            run.current.offset =
                static_cast<std::uint64_t>(XML_GetCurrentByteIndex(run.parser.get()));
            run.current.line = static_cast<long>(XML_GetCurrentLineNumber(run.parser.get()));
            run.in_entry = true;
            run.has_text = false;
            return;
        }
        if (!run.in_entry) return;
        if (std::strcmp(element, "system") == 0) {
            if (const char* name = Attribute(attributes, "name"); name && *name)
                run.current.names.push_back(name);
        } else if (std::strcmp(element, "item") == 0) {
            const char* list = Attribute(attributes, "list");
            const char* name = Attribute(attributes, "name");
            if (list && *list && name && *name) run.current.names.push_back(ItemKey(list, name));
        } else if (std::strcmp(element, "text") == 0) {
            run.in_text = true;
        }
    }

    static void XMLCALL OnEnd(void* data, const XML_Char* element) {
        auto& run = *static_cast<Run*>(data);
        if (run.depth-- != 2 || !run.in_entry) {
            if (std::strcmp(element, "text") == 0) run.in_text = false;
            return;
        }
        XML_Parser p = run.parser.get();
        const auto end = static_cast<std::uint64_t>(XML_GetCurrentByteIndex(p)) +
                         static_cast<std::uint64_t>(XML_GetCurrentByteCount(p));
        run.current.length = end - run.current.offset;
        if (run.has_text) run.current.blocks.push_back("bio");
        run.entries.push_back(std::move(run.current));
        run.in_entry = false;
        run.in_text = false;
    }

    // Only whether an entry's text holds anything: the text itself is read when shown.
    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        auto& run = *static_cast<Run*>(data);
        if (!run.in_text || run.has_text) return;
        for (int i = 0; i < length; ++i)
            if (!IsBlank(text[i])) {
                run.has_text = true;
                return;
            }
    }

    static void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*,
                                  int) {
        // Entity declarations could make a small file expand without bound; none is needed.
        static_cast<Run*>(data)->Stop("a document type declaration is not read in history files");
    }
};

HistoryXmlIndexer::HistoryXmlIndexer(std::string name) : run_(std::make_unique<Run>()) {
    run_->name = std::move(name);
    run_->parser = NewParser(run_->name);
    XML_Parser p = run_->parser.get();
    XML_SetUserData(p, run_.get());
    XML_SetElementHandler(p, &Run::OnStart, &Run::OnEnd);
    XML_SetCharacterDataHandler(p, &Run::OnText);
    XML_SetStartDoctypeDeclHandler(p, &Run::OnDoctype);
}

HistoryXmlIndexer::~HistoryXmlIndexer() = default;

void HistoryXmlIndexer::Feed(std::string_view bytes, bool last) {
    XML_Parser p = run_->parser.get();
    if (XML_Parse(p, bytes.data(), static_cast<int>(bytes.size()), last ? XML_TRUE : XML_FALSE) ==
        XML_STATUS_OK)
        return;
    if (run_->failure.empty())
        run_->failure = Where(run_->name, p) + XML_ErrorString(XML_GetErrorCode(p));
    throw DatError(run_->failure);
}

std::vector<DatEntry> HistoryXmlIndexer::TakeEntries() {
    return std::move(run_->entries);
}

namespace {

struct TextRun {
    std::string text;
    int depth = 0;
    bool in_text = false;
};

}  // namespace

std::string HistoryXmlText(std::string_view entry, const std::string& name, long line) {
    ParserPtr parser = NewParser(name);
    TextRun run;
    XML_Parser p = parser.get();
    XML_SetUserData(p, &run);
    XML_SetElementHandler(
        p,
        [](void* data, const XML_Char* element, const XML_Char**) {
            auto& r = *static_cast<TextRun*>(data);
            if (++r.depth == 2 && std::strcmp(element, "text") == 0) r.in_text = true;
        },
        [](void* data, const XML_Char*) {
            auto& r = *static_cast<TextRun*>(data);
            if (r.depth-- == 2) r.in_text = false;
        });
    XML_SetCharacterDataHandler(p, [](void* data, const XML_Char* text, int length) {
        auto& r = *static_cast<TextRun*>(data);
        if (r.in_text) r.text.append(text, static_cast<std::size_t>(length));
    });
    if (XML_Parse(p, entry.data(), static_cast<int>(entry.size()), XML_TRUE) != XML_STATUS_OK)
        throw DatError(Where(name, p, line - 1) + XML_ErrorString(XML_GetErrorCode(p)) +
                       " (the file changed since it was indexed?)");
    return run.text;
}

}  // namespace kavro::import
