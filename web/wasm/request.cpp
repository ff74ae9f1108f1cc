#include "web/wasm/request.h"

#include <algorithm>
#include <utility>

#include "mml/source_text.h"
#include "outputs/analysis.h"
#include "outputs/passage_errors.h"
#include "outputs/summary.h"
#include "play/passage_options.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"

namespace zirvon::web {
namespace {

std::optional<std::string> optional_text(WireReader& in) {
    const bool given = in.u8() != 0;
    std::string value = in.text();
    if (!given) return std::nullopt;
    return value;
}

/// The passage options as the command line reads them: every value, then
/// what they cannot do together. False, with the first error.
bool read_options(const Request& request, PassageOptions& options, Reply& reply) {
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
    std::string error;
    for (const auto& [name, value, bound] : {std::tuple{"from", &request.from, &options.from},
                                             std::tuple{"to", &request.to, &options.to}}) {
        if (!*value) continue;
        play::Bound b;
        if (parse_bound(name, **value, b, error)) *bound = b;
        else errors.push_back(error);
    }
    for (const auto& [name, value, tracks] : {std::tuple{"solo", &request.solo, &options.solo},
                                              std::tuple{"mute", &request.mute, &options.mute}}) {
        if (!*value) continue;
        play::TrackMask mask = 0;
        if (parse_track_list(name, **value, mask, warnings, error)) *tracks = mask;
        else errors.push_back(error);
    }
    if (!check_passage_options(options, request.image, error)) errors.push_back(error);
    if (!errors.empty()) return reply.fail(errors.front());
    for (std::string& warning : warnings) reply.warn(std::move(warning), "option");
    return true;
}

/// The song of an MML source, with its problems and their summary.
bool compile_source(const Request& request, Prepared& prepared, Reply& reply,
                    std::string_view not_done, Errors errors) {
    if (const std::string why = why_not_text(request.source); !why.empty()) {
        return reply.fail("'" + request.name + "' is not MML: " + why);
    }
    SourceAnalysis analysis = analyze_source(request.source, request.name);
    reply.diagnostics.insert(reply.diagnostics.end(), analysis.diagnostics.begin(),
                             analysis.diagnostics.end());
    std::vector<std::string> unwritten;
    if (!request.output.empty()) unwritten.push_back(request.output);
    reply.summary = problem_summary(analysis.counts, not_done, unwritten);
    if (!analysis.ok() && errors == Errors::refuse) return reply.fail(reply.summary);
    prepared.nothing_to_hear = std::any_of(analysis.diagnostics.begin(), analysis.diagnostics.end(),
                                           [](const Diagnostic& d) { return d.code == "nothing-to-hear"; });
    prepared.tape_name = tape_name_of(request);
    if (!analysis.ok()) {
        prepared.song = analysis.song;
        prepared.with_errors = std::move(analysis);
        return true;
    }
    prepared.song = std::move(analysis.song);
    return true;
}

/// The song of a tape image, read as the command line reads an image file.
bool load_image(const Request& request, Prepared& prepared, Reply& reply) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(request.source.data());
    const std::size_t size = std::min(request.source.size(), kTapeFileReadLimit);
    std::string error;
    if (!load_tape_file(request.name, {data, size}, prepared.song, error)) return reply.fail(error);
    prepared.image.assign(data, data + size);
    prepared.tape_name = read_tape_header(prepared.image).name();
    return true;
}

}  // namespace

bool read_request(WireReader& in, Request& request) {
    request.image = in.u8() != 0;
    request.source = in.text();
    request.name = in.text();
    request.tape_name = optional_text(in);
    if (request.tape_name) {
        request.tape_name_refused = tape_name_refusal(*request.tape_name);
        request.tape_name_cut = fit_tape_name(*request.tape_name);
    }
    request.from = optional_text(in);
    request.to = optional_text(in);
    request.solo = optional_text(in);
    request.mute = optional_text(in);
    request.output = in.text();
    request.cassette = optional_text(in);
    return in.good();
}

bool Reply::fail(std::string error) {
    ok = false;
    message = std::move(error);
    return false;
}

void Reply::warn(std::string text, std::string_view code) {
    diagnostics.push_back({Severity::warning, 0, 0, std::move(text), code});
}

void Reply::write(WireWriter& out) const {
    out.u8(ok ? 1 : 0);
    out.text(message);
    out.text(summary);
    out.u32(static_cast<std::uint32_t>(diagnostics.size()));
    for (const Diagnostic& d : diagnostics) {
        out.i32(d.line);
        out.i32(d.column);
        out.i32(d.line > 0 ? d.token_end() : 0);
        out.u8(static_cast<std::uint8_t>(d.severity));
        out.text(d.code);
        out.text(d.message);
    }
}

std::string tape_name_of(const Request& request) {
    return request.tape_name.value_or(kDefaultTapeName);
}

OutputSource Prepared::output_source(const Request& request) const {
    OutputSource source;
    source.song = &song;
    if (map) {
        source.map = &*map;
        source.passage = &passage;
    }
    source.passage_given = passage_given;
    source.file_name = request.name;
    // An image keeps its own name unless the request gives one.
    source.tape_name_given = request.tape_name.has_value();
    source.tape_name = source.tape_name_given ? std::string_view(*request.tape_name) : std::string_view(tape_name);
    source.title_tape_name = tape_name;
    source.image = image;
    return source;
}

std::optional<Prepared> prepare(const Request& request, Reply& reply, bool pick_passage,
                                std::string_view not_done, Errors errors) {
    PassageOptions options;
    if (pick_passage && !read_options(request, options, reply)) return std::nullopt;
    if (!request.tape_name_refused.empty()) {
        reply.fail(request.tape_name_refused);
        return std::nullopt;
    }
    if (!request.tape_name_cut.empty()) reply.warn(request.tape_name_cut, "tape-name");
    Prepared prepared;
    const bool loaded = request.image ? load_image(request, prepared, reply)
                                      : compile_source(request, prepared, reply, not_done, errors);
    if (!loaded) return std::nullopt;
    if (!pick_passage) return prepared;
    prepared.map = prepared.with_errors ? prepared.with_errors->map() : play::map_song(prepared.song);
    std::string error;
    std::optional<play::Passage> passage =
        play::resolve_passage(options.request(), prepared.song, *prepared.map, error);
    if (!passage) {
        reply.fail(error);
        return std::nullopt;
    }
    if (prepared.with_errors) {
        const std::string refusal = error_in_passage(*prepared.with_errors, *passage);
        std::vector<std::string> unwritten;
        if (!request.output.empty()) unwritten.push_back(request.output);
        if (!refusal.empty()) {
            reply.summary = problem_summary(prepared.with_errors->counts, std::string(not_done) + ": " + refusal,
                                            unwritten);
            reply.fail(reply.summary);
            return std::nullopt;
        }
        // What plays holds none of the errors: the summary counts them and
        // says only what is not written.
        reply.summary = problem_summary(prepared.with_errors->counts, {}, unwritten);
    }
    prepared.passage = *passage;
    prepared.passage_given = options.given();
    prepared.tracks_chosen = options.solo || options.mute;
    return prepared;
}

}  // namespace zirvon::web
