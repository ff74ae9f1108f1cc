#include "lsp/server.h"

#include <algorithm>

#include "lsp/disk_text.h"
#include "lsp/features.h"
#include "lsp/play_request.h"

namespace zirvon::lsp {
namespace {

/// An error response on its way out of a handler; it never leaves this file.
struct RequestError {
    int code;
    std::string message;
};

json capabilities() {
    return {{"positionEncoding", "utf-16"},
            {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
            {"hoverProvider", true},
            {"inlayHintProvider", true},
            {"codeActionProvider", {{"codeActionKinds", {"quickfix", "refactor.rewrite"}}}},
            {"documentSymbolProvider", true},
            {"codeLensProvider", {{"resolveProvider", false}}},
            {"executeCommandProvider", {{"commands", {"zirvon.play", "zirvon.stop", "zirvon.entry"}}}}};
}

const json& field(const json& object, const char* name) {
    static const json kNull;
    return object.is_object() && object.contains(name) ? object[name] : kNull;
}

std::string uri_of(const json& params) { return field(params, "textDocument").at("uri").get<std::string>(); }

}  // namespace

void Server::handle(std::string_view payload) {
    try {
        const json message = parse_message(payload);
        if (message.is_discarded()) {
            respond_error(nullptr, kParseError, "the message is not JSON");
            return;
        }
        dispatch(message);
    } catch (const std::exception& e) {
        // Out of memory for a message, most likely: it is lost, not the server.
        respond_error(nullptr, kInternalError, e.what());
    }
}

void Server::dispatch(const json& message) {
    const json& method = field(message, "method");
    const json& id = field(message, "id");
    const bool has_id = message.is_object() && message.contains("id");
    if (!method.is_string() || (has_id && !id.is_number_integer() && !id.is_string())) {
        // A response to a request of ours: entry's applyEdit waits for its answer.
        if (has_id && (message.contains("result") || message.contains("error"))) {
            entry_.response(message);
            return;
        }
        respond_error(id.is_number_integer() || id.is_string() ? id : json(nullptr), kInvalidRequest,
                      "not a JSON-RPC request or notification");
        return;
    }
    const std::string name = method.get<std::string>();
    const json& params = field(message, "params");
    if (!has_id) {
        try {
            notification(name, params);
        } catch (...) {
            // A notification has no answer; a bad one changes nothing.
        }
        return;
    }
    try {
        respond(id, request(name, params));
    } catch (const RequestError& e) {
        respond_error(id, e.code, e.message);
    } catch (const json::exception& e) {
        respond_error(id, kInvalidParams, std::string("invalid params: ") + e.what());
    } catch (const std::exception& e) {
        respond_error(id, kInternalError, e.what());
    }
}

void Server::notification(const std::string& method, const json& params) {
    if (method == "exit") {
        exited_ = true;
        return;
    }
    if (!initialized_ || shutdown_) return;
    if (method == "textDocument/didOpen") {
        const json& doc = params.at("textDocument");
        const std::string uri = doc.at("uri").get<std::string>();
        Document opened(uri, doc.at("text").get<std::string>());
        if (doc.contains("version") && doc["version"].is_number_integer()) opened.set_version(doc["version"].get<std::int64_t>());
        check_disk(uri, opened.lines().text());
        documents_.insert_or_assign(uri, std::move(opened));
        changed_.insert(uri);
    } else if (method == "textDocument/didChange") {
        Document& doc = document(params);
        const json& version = field(params.at("textDocument"), "version");
        if (version.is_number_integer()) doc.set_version(version.get<std::int64_t>());
        disk_.erase(doc.uri());
        const std::int64_t v = version.is_number_integer() ? version.get<std::int64_t>() : doc.version();
        for (const json& change : params.at("contentChanges")) {
            const std::string& text = change.at("text").get_ref<const std::string&>();
            if (change.contains("range") && !change["range"].is_null()) {
                const json& range = change["range"];
                const auto span = std::pair{position_from(range.at("start")), position_from(range.at("end"))};
                const std::size_t start = doc.lines().offset_of(span.first);
                const std::size_t end = doc.lines().offset_of(span.second);
                entry_.moved(doc.uri(), std::min(start, end), std::max(start, end), text.size(), false);
                doc.change(span, text);
            } else {
                entry_.moved(doc.uri(), 0, 0, text.size(), true);
                doc.change(std::nullopt, text);
            }
        }
        changed_.insert(doc.uri());
        entry_.changed(doc.uri(), v);
        playback_.edited(doc.uri());
    } else if (method == "textDocument/didClose") {
        const std::string uri = uri_of(params);
        entry_.closed(uri);
        documents_.erase(uri);
        changed_.erase(uri);
        disk_.erase(uri);
        out_.send({{"jsonrpc", "2.0"},
                   {"method", "textDocument/publishDiagnostics"},
                   {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
    } else if (method == "textDocument/didSave") {
        // The text on disk is the editor's again.
        Document& doc = document(params);
        check_disk(doc.uri(), doc.lines().text());
        changed_.insert(doc.uri());
    } else if (method == "workspace/didChangeConfiguration") {
        const bool before = inlay_hints_;
        configure(field(field(params, "settings"), "zirvon"));
        // The client asks for hints again only when told to.
        if (before != inlay_hints_ && can_refresh_hints_) {
            out_.send({{"jsonrpc", "2.0"}, {"id", "zirvon-" + std::to_string(next_request_++)},
                       {"method", "workspace/inlayHint/refresh"}});
        }
    }
    // initialized, $/cancelRequest, $/setTrace...: nothing to do.
}

json Server::request(const std::string& method, const json& params) {
    if (method == "initialize") {
        if (initialized_) throw RequestError{kInvalidRequest, "the server is initialized already"};
        return initialize(params);
    }
    if (!initialized_) throw RequestError{kServerNotInitialized, "initialize comes first"};
    if (shutdown_) throw RequestError{kInvalidRequest, "the server is shut down; only exit is left"};
    if (method == "shutdown") {
        shutdown_ = true;
        entry_.stop();
        playback_.stop();
        return nullptr;
    }
    if (method == "textDocument/hover") {
        return hover_result(*document(params).snapshot(), position_from(params.at("position")));
    }
    if (method == "textDocument/inlayHint") {
        if (!inlay_hints_) return json::array();
        return inlay_hints(*document(params).snapshot(), params);
    }
    if (method == "textDocument/codeAction") return code_actions(*document(params).snapshot(), params);
    if (method == "textDocument/documentSymbol") return document_symbols(*document(params).snapshot());
    if (method == "textDocument/codeLens") return code_lenses(*document(params).snapshot());
    if (method == "workspace/executeCommand") return execute_command(params);
    throw RequestError{kMethodNotFound, "unknown method '" + method + "'"};
}

json Server::initialize(const json& params) {
    const json& port = field(field(params, "initializationOptions"), "port");
    if (port.is_string()) port_ = port.get<std::string>();
    if (port.is_number_integer()) port_ = std::to_string(port.get<std::int64_t>());
    configure(field(params, "initializationOptions"));
    const json& refresh = field(field(field(params, "capabilities"), "workspace"), "inlayHint");
    can_refresh_hints_ = field(refresh, "refreshSupport").is_boolean() && refresh["refreshSupport"].get<bool>();
    initialized_ = true;
    return {{"capabilities", capabilities()}, {"serverInfo", {{"name", "zirvon"}, {"version", ZIRVON_VERSION}}}};
}

json Server::execute_command(const json& params) {
    const std::string command = params.at("command").get<std::string>();
    if (command == "zirvon.stop") {
        playback_.stop();
        return nullptr;
    }
    if (command == "zirvon.entry") {
        const json& arguments = field(params, "arguments");
        if (!arguments.is_array() || arguments.empty() || !arguments[0].is_object()) {
            throw RequestError{kInvalidParams,
                               "zirvon.entry takes one object: {action, uri?, position?, length?, port?}"};
        }
        std::string error;
        json state = entry_.command(arguments[0], port_, error);
        if (!error.empty()) throw RequestError{kRequestFailed, error};
        return state;
    }
    if (command != "zirvon.play") throw RequestError{kInvalidParams, "unknown command '" + command + "'"};
    const json& arguments = field(params, "arguments");
    if (!arguments.is_array() || arguments.empty() || !arguments[0].is_object()) {
        throw RequestError{kInvalidParams, "zirvon.play takes one object: {uri, from?, to?, solo?, mute?, loop?}"};
    }
    const json& argument = arguments[0];
    PlayRequest play;
    play.snapshot = document(json{{"textDocument", {{"uri", argument.at("uri")}}}}).snapshot();
    std::string error;
    const auto passage = requested_passage(argument, *play.snapshot, error);
    if (!passage) throw RequestError{kRequestFailed, error};
    play.passage = *passage;
    play.loop = field(argument, "loop").is_boolean() && argument["loop"].get<bool>();
    play.port = port_;
    if (!playback_.play(play, error)) throw RequestError{kRequestFailed, error};
    const play::SongMap& map = play.snapshot->analysis.map();
    return {{"uri", play.snapshot->uri},
            {"start", passage->start},
            {"end", passage->end},
            {"startTime", tick_time(passage->start)},
            {"endTime", tick_time(passage->end)},
            {"block", map.block_of(passage->start)}};
}

Document& Server::document(const json& params) {
    const std::string uri = uri_of(params);
    const auto it = documents_.find(uri);
    if (it == documents_.end()) throw RequestError{kInvalidParams, "'" + uri + "' is not open"};
    return it->second;
}

void Server::configure(const json& settings) {
    entry_.configure(settings);
    const json& hints = field(settings, "inlayHints");
    if (hints.is_boolean()) inlay_hints_ = hints.get<bool>();
}

void Server::check_disk(const std::string& uri, const std::string& text) {
    disk_.erase(uri);
    std::optional<std::string> bytes = bytes_not_utf8(uri);
    if (!bytes || *bytes == text) return;
    disk_.emplace(uri, std::move(*bytes));
    if (!told_not_utf8_.insert(uri).second) return;
    const std::string path = file_path(uri);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    out_.send({{"jsonrpc", "2.0"},
               {"method", "window/showMessage"},
               {"params", {{"type", 2},
                           {"message", "zirvon: '" + name + "' is not UTF-8 on disk, so the editor shows it decoded "
                                       "while zirvon compiles its bytes; until it is changed, its problems are "
                                       "those of the bytes on disk, as the command line reports them"}}}});
}

void Server::idle() {
    for (const std::string& uri : changed_) {
        const auto it = documents_.find(uri);
        if (it == documents_.end()) continue;
        json params;
        if (const auto disk = disk_.find(uri); disk != disk_.end()) {
            Document on_disk(uri, disk->second);
            on_disk.set_version(it->second.version());
            params = diagnostics_params(*on_disk.snapshot());
        } else {
            params = diagnostics_params(*it->second.snapshot());
        }
        out_.send({{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"}, {"params", std::move(params)}});
    }
    changed_.clear();
}

void Server::respond(const json& id, json result) {
    out_.send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::respond_error(const json& id, int code, const std::string& message) {
    out_.send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

}  // namespace zirvon::lsp
