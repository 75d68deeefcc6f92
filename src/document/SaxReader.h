#pragma once

#include <cstddef>
#include <cstdint>
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
    long Column() const { return column_; }  // 0 when unknown (counted from 1 otherwise)
    const std::string& Reason() const { return reason_; }

  private:
    std::string file_;
    long line_;
    long column_;
    std::string reason_;
};

// Bounds that keep a hostile or broken file from exhausting memory or time.
inline constexpr std::uint64_t kMaxDocumentBytes = 256ull * 1024 * 1024;
// Character data after entity expansion, for one file.
inline constexpr std::uint64_t kMaxTextBytes = 512ull * 1024 * 1024;
inline constexpr int kMaxNestingDepth = 10000;
inline constexpr std::size_t kDefaultChunkBytes = 64 * 1024;
inline constexpr std::size_t kMaxChunkBytes = 16 * 1024 * 1024;

struct ReaderLimits {
    std::uint64_t maxDocumentBytes = kMaxDocumentBytes;
    std::uint64_t maxTextBytes = kMaxTextBytes;
    int maxNestingDepth = kMaxNestingDepth;
};

// The streaming XML reader: parses a whole file synchronously and delivers its events to the
// content handler. External entities and external DTDs are never read.
//
// Character data between two markup events (tags, comments, processing instructions, the end
// of the document) reaches the handler as one characters() call, whatever the chunking of the
// input, so the converted result never depends on buffer boundaries.
class SaxReader {
  public:
    ContentHandler* contentHandler = nullptr;
    ReaderLimits limits;

    // Features: "prohibit-dtd" (false lets documents carry a document type declaration).
    // Any other name throws std::invalid_argument.
    void putFeature(const std::string& name, bool value);
    // Throws LoadError when the file cannot be read, is not well-formed, is over the size limit,
    // or the handler fails.
    void parseURL(const std::string& path);
    // The same for text in memory (tests, fuzzing); name stands for the file in messages.
    void parseText(const std::string& text, const std::string& name);
    // How many bytes are handed to expat at a time (at least 1); tests use tiny chunks.
    void setChunkSize(std::size_t bytes) {
        chunk_bytes_ = bytes == 0 ? 1 : bytes > kMaxChunkBytes ? kMaxChunkBytes : bytes;
    }

  private:
    bool prohibit_dtd_ = true;
    std::size_t chunk_bytes_ = kDefaultChunkBytes;
};

}  // namespace kavro::document
