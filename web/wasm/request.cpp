#include "web/wasm/request.h"

#include <algorithm>
#include <utility>

#include "outputs/analysis.h"
#include "outputs/passage_errors.h"
#include "outputs/summary.h"
#include "tape/tape_image.h"

namespace zirvon::web {
namespace {

/// The file the request makes, which a summary names when errors stop it.
std::vector<std::string> unwritten(const Request& request) {
    if (request.output.empty()) return {};
    return {request.output};
}

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
    for (const auto& [name, value] : {std::pair{"from", &request.from}, std::pair{"to", &request.to},
                                      std::pair{"solo", &request.solo}, std::pair{"mute", &request.mute}}) {
        if (*value && !read_passage_option(name, **value, options, warnings, error)) errors.push_back(error);
    }
    if (!check_passage_options(options, request.image, error)) errors.push_back(error);
    if (!errors.empty()) return reply.fail(errors.front());
    for (std::string& warning : warnings) reply.warn(std::move(warning), "option");
    return true;
}

/// The song of the source, with a compile's problems and their summary.
bool make_song(const Request& request, Prepared& prepared, Reply& reply, std::string_view not_done,
               Errors errors) {
    std::string error;
    const SourceKind kind = request.image ? SourceKind::tape : SourceKind::mml;
    if (!make_build(kind, request.name, request.source, EventPlaces::recorded, prepared.build, error)) {
        return reply.fail(error);
    }
    const SourceAnalysis& analysis = prepared.build.analysis;
    reply.diagnostics.insert(reply.diagnostics.end(), analysis.diagnostics.begin(), analysis.diagnostics.end());
    reply.summary = problem_summary(analysis.counts, not_done, unwritten(request));
    if (!analysis.ok() && errors == Errors::refuse) return reply.fail(reply.summary);
    return true;
}

}  // namespace

bool read_request(WireReader& in, Request& request) {
    request.image = in.u8() != 0;
    request.source = in.text();
    request.name = in.text();
    request.tape_name = optional_text(in);
    if (request.tape_name) take_tape_name(*request.tape_name, request.tape_name_cut, request.tape_name_refused);
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

OutputSource Prepared::output_source(const Request& request, bool image_written) const {
    const std::string_view tape_name = request.tape_name ? std::string_view(*request.tape_name) : kDefaultTapeName;
    OutputSource source = build_output_source(build, request.name, tape_name, request.tape_name.has_value(),
                                              image_written);
    if (passage) {
        source.map = &map();
        source.passage = &*passage;
    }
    source.passage_given = options.given();
    return source;
}

std::optional<Prepared> prepare(const Request& request, Reply& reply, bool pick_passage,
                                std::string_view not_done, Errors errors) {
    Prepared prepared;
    if (pick_passage && !read_options(request, prepared.options, reply)) return std::nullopt;
    if (!request.tape_name_refused.empty()) {
        reply.fail(request.tape_name_refused);
        return std::nullopt;
    }
    if (!request.tape_name_cut.empty()) reply.warn(request.tape_name_cut, "tape-name");
    if (!make_song(request, prepared, reply, not_done, errors)) return std::nullopt;
    if (!pick_passage) return prepared;
    std::string error;
    std::optional<play::Passage> passage = build_passage(prepared.options, prepared.build, error);
    if (!passage) {
        reply.fail(error);
        return std::nullopt;
    }
    if (!prepared.build.analysis.ok()) {
        PassageVerdict verdict = play_around_errors(prepared.build.analysis, *passage, not_done, unwritten(request));
        reply.summary = std::move(verdict.summary);
        if (!verdict.plays) {
            reply.fail(reply.summary);
            return std::nullopt;
        }
    }
    prepared.passage = *passage;
    return prepared;
}

}  // namespace zirvon::web
