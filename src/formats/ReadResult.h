// What a reader of outside files hands back: whether the file's content went into the
// document, the lines for the log, and the error with the byte where reading stopped.
// Readers return it instead of showing anything; the caller decides what the user sees.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace formats {

struct ReadError {
    std::string text;
    std::uint64_t where = 0; // byte offset in the file the text names
};

// loaded: the file was what its extension says and what could be read is in the document.
// With loaded and an error, reading stopped early (a damaged or cut-off file) and the
// error says where; without loaded, the document is as it was.
struct ReadResult {
    bool loaded = false;
    std::vector<std::string> log;
    std::optional<ReadError> error;
};

// Called now and then with the bytes read so far and the total; false cancels the read,
// which then adds nothing.
using ReadProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

class TShapefile;

// What a reader may need to know besides the file: filled by whoever talks to the user
// before the read (the desktop program from its dialogs, the batch tool from its options).
struct TReadOptions {
    ReadProgress Progress;
    // Called between reading a shapefile's shapes and its table and making tracks of them:
    // the coordinate system and the depth column (the two import dialogs).
    std::function<void(TShapefile &)> PrepareShapefile;
};

} // namespace formats
