#pragma once

#include <stdexcept>
#include <string>

#include "document/ContentHandler.h"

namespace kavro::document {

// A load that cannot go on: the file, where expat knows it the line and column, and the reason.
class LoadError : public std::runtime_error {
public:
    LoadError(std::string file, long line, long column, std::string reason);
    const std::string& File() const { return file_; }
    long Line() const { return line_; }      // 0 when unknown
    long Column() const { return column_; }  // 0 when unknown
    const std::string& Reason() const { return reason_; }

private:
    std::string file_;
    long line_;
    long column_;
    std::string reason_;
};

// The streaming XML reader: parses a whole file synchronously and delivers its events to the
// content handler. External entities and external DTDs are never read.
class SaxReader {
public:
    ContentHandler* contentHandler = nullptr;

    // Features: "prohibit-dtd" (false lets documents carry a document type declaration).
    void putFeature(const std::string& name, bool value);
    // Throws LoadError when the file cannot be read, is not well-formed, is over the size limit,
    // or the handler fails.
    void parseURL(const std::string& path);
    // The same for text in memory (tests, fuzzing); name stands for the file in messages.
    void parseText(const std::string& text, const std::string& name);

private:
    bool prohibit_dtd_ = true;
};

}  // namespace kavro::document
