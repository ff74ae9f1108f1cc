// The framing of LSP's JSON-RPC messages on a byte stream: a header block
// ("Content-Length: N", other fields ignored, each line ended by CR LF), a
// blank line, then exactly N bytes of JSON. Pure: bytes in, payloads out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zirvon::lsp {

/// The largest payload taken: four times the largest source the compiler
/// reads, room for a document at that limit with much of it escaped.
inline constexpr std::size_t kMaxPayload = std::size_t{256} << 20;

/// Cuts a stream into payloads. Bytes that are not a header (garbage, a
/// header without a usable Content-Length) are skipped up to the next
/// "Content-Length", and said so, so one bad frame costs only itself.
class FrameReader {
public:
    /// Appends bytes read from the stream.
    void feed(std::string_view bytes);
    /// The next whole payload, if one is there. `skipped` gets a message
    /// when bytes had to be thrown away on the way (empty otherwise).
    std::optional<std::string> next(std::string& skipped);
    /// Bytes of a frame begun but not finished: at the end of the stream,
    /// a truncated message.
    std::size_t pending() const { return buffer_.size() - start_; }

private:
    /// Drops what has been read, once it is most of the buffer.
    void compact();

    std::string buffer_;
    std::size_t start_ = 0;                ///< first byte not yet taken
    std::optional<std::size_t> length_;    ///< of the body whose header was read
};

/// A payload with its header, ready to write.
std::string frame(std::string_view payload);

}  // namespace zirvon::lsp
