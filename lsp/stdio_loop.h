// `zirvon --lsp`: the language server on standard input and output.
#pragma once

namespace zirvon::lsp {

/// Serves one editor until `exit` or the end of its input; returns the
/// process's exit status. Messages about the stream itself (bytes that
/// were no message, a message cut short) go to standard error.
int run_language_server();

}  // namespace zirvon::lsp
